#include "tests/support/sheet_fixtures.h"
#include "tests/support/test_database.h"

#include <QString>

namespace sheet_fixtures {

const char* const kTimesheetMonth = R"(
    truncate accounts_dep.smena, accounts_dep.fatigue, accounts_dep.h_tabel, cmn_contractor.person,
             accounts_dep.person restart identity;
    insert into cmn_contractor.person (id, s_caption, s_code) values
      (1, 'Иванов И.И.', '1'), (2, 'Петров П.П.', '2'), (3, 'Сидоров С.С.', '3'), (9, 'Уволен У.У.', '9');
    insert into accounts_dep.person (id, fio) select id, s_caption from cmn_contractor.person;
    insert into accounts_dep.smena (data, smena, w_id, i_id, o_id, cena, kol_vo, brak, time, ok) values
      ('2024-03-01', 1, 1, 10001, 1, 10, 10, 0, 8, 'ok'),
      ('2024-03-01', 1, 1, 10001, 1, 10, 10, 0, 2, 'no'),
      ('2024-03-04', 1, 1, 10001, 1, 10, 10, 0, 8, 'no'),
      ('2024-03-31', 1, 1, 10001, 1, 10, 10, 0, 5, 'no'),
      ('2024-03-02', 2, 1, 10001, 1, 10, 10, 0, 8, 'no'),
      ('2024-03-15', 1, 2, 10001, 1, 10, 10, 0, 4, 'no'),
      ('2024-03-15', 1, 2, 10001, 1, 10, 10, 0, null, 'no'),
      ('2024-03-16', 1, 2, 10001, 1, 10, 10, 0, null, 'no'),
      ('2024-03-20', 4, 2, 10001, 1, 10, 10, 0, 3, 'no'),
      ('2024-03-29', 3, 3, 10001, 1, 10, 10, 0, 12, 'no'),
      ('2024-02-29', 1, 1, 10001, 1, 10, 10, 0, 6, 'no'),
      ('2024-04-01', 1, 1, 10001, 1, 10, 10, 0, 7, 'no');
    insert into accounts_dep.fatigue (id_p, id_o, i_night, d_date, i_mnth, i_year, cnt, price) values
      (1, 7777, 0, '2024-03-01', 3, 2024, 3, 100), (1, 7777, 0, '2024-03-01', 3, 2024, 2, 100),
      (1, 7777, 1, '2024-03-05', 3, 2024, 6, 150), (2, 7778, 0, '2024-03-02', 3, 2024, 5, 120),
      (2, 7778, 0, '2024-03-30', 3, 2024, null, 120), (2, 7778, 1, '2024-03-09', 3, 2024, 4, 130),
      (3, 7777, 0, '2024-04-01', 4, 2024, 8, 100);
    insert into accounts_dep.h_tabel (w_id, month, year, smena, d1, d5) values
      (1, 3, 2024, 1, 99, null), (1, 3, 2024, 1, null, 1), (9, 3, 2024, 2, 4, null), (1, 4, 2024, 1, 7, null);
    insert into accounts_dep.h_tabel (w_id, month, year, smena, i_type, i_night, d1, d2) values
      (1, 3, 2024, 0, 7777, 0, 4, null), (2, 3, 2024, 0, 7778, 1, null, 2), (7, 2, 2024, 0, 7777, 0, 1, 1);
)";

const char* const kWorkersByCode = R"(
    insert into cmn_contractor.person (id, s_caption, s_code) values
      (2040, 'Кодов К.К.', '40'), (41, 'Чужой Ч.Ч.', '900041'), (2041, 'Двойнов Д.Д.', '41'),
      (2043, 'Нулев Н.Н.', ' 042'), (2042, 'Тёзкин Т.Т.', '42');
    insert into accounts_dep.smena (data, smena, w_id, i_id, o_id, cena, kol_vo, brak, time, ok) values
      ('2024-03-05', 1, 40, 10001, 1, 10, 7, 1, 6, 'no'),
      ('2024-03-06', 2, 41, 10001, 1, 20, 5, 0, 4, 'no'),
      ('2024-03-07', 1, 42, 10001, 1, 5, 4, 2, 3, 'no'),
      ('2024-03-08', 3, 42, 10001, 1, 5, 6, 0, 5, 'no');
    insert into accounts_dep.fatigue (id_p, id_o, i_night, d_date, i_mnth, i_year, cnt, price) values
      (40, 7777, 0, '2024-03-05', 3, 2024, 2, 100), (41, 7778, 1, '2024-03-06', 3, 2024, 3, 110),
      (42, 7777, 1, '2024-03-08', 3, 2024, 1, 90);
)";

std::shared_ptr<void> refuseTimesheetRows(const TestDatabase& db, const QString& condition)
{
    db.exec(QStringLiteral(R"(
        create or replace function refuse() returns trigger language plpgsql as
          $$ begin if %1 then raise exception 'refused'; end if; return new; end $$;
        create trigger refuse before insert on accounts_dep.h_tabel for each row execute function refuse();
    )").arg(condition));
    return std::shared_ptr<void>(nullptr, [&db](void*) { db.exec(QStringLiteral("drop trigger refuse on accounts_dep.h_tabel")); });
}

} // namespace sheet_fixtures

void loadReportFixture(const TestDatabase& db)
{
    // Worked out by hand in the tests: three workers, two nomenclature groups, six journal
    // entries (one on the period's first day, one on the day after it), hour entries of both kinds
    // by day and by night, one of a worker with no journal entries.
    db.exec(QStringLiteral(R"(
        insert into cmn_contractor.person (id, s_caption, s_code) values
          (1, 'Антонов А.А.', '1'), (2, 'Борисов Б.Б.', '2'), (3, 'Власов В.В.', '3');
        insert into accounts_dep.person (id, fio) values (1, 'Антонов А.А.'), (2, 'Борисов Б.Б.'), (3, 'Власов В.В.');
        insert into cmn_classifier.item (id, s_caption) values (1, 'Двери'), (2, 'Ворота');
        insert into cmn_gds_and_srv.gds_and_srv (id, s_caption, massa, id_class_item) values
          (10001, 'ДМ-1', 0.5, 1), (10002, 'ДМ-2', 2, 1), (10003, 'ВС-1', 1.5, 2);
        insert into accounts_dep.vid_oper (id, vid) values
          (1, 'Сварка'), (2, 'Покраска'), (7777, 'хоз. работы'), (7778, 'ср. сдельная');
        insert into accounts_dep.oper (id, vid, naimen, i_id) values (1, 1, 0, 10001), (2, 2, 0, 10002), (3, 1, 1, 10003);
        insert into accounts_dep.smena (data, smena, w_id, i_id, o_id, cena, kol_vo, brak, color, time, ok) values
          ('2024-03-01', 1, 1, 10001, 1, 10, 10, 1, 0, 8, 'ok'),
          ('2024-03-05', 1, 1, 10002, 2, 20, 5, 0, 1, 4, 'ok'),
          ('2024-03-06', 1, 1, 10002, 2, 20, 3, 0, 7035, 2, 'ok'),
          ('2024-04-01', 1, 1, 10001, 1, 10, 100, 0, 0, 8, 'ok'),
          ('2024-03-10', 2, 2, 10003, 3, 7.5, 4, 0, -1, 0, 'ok'),
          ('2024-03-11', 2, 2, 10001, 1, 10, 2, 0, null, 0, 'ok');
        insert into accounts_dep.fatigue (id_nom, id_o, id_p, d_date, i_mnth, i_year, cnt, price, i_night) values
          (1, 7777, 1, '2024-03-04', 3, 2024, 3, 100, 0),
          (1, 7777, 1, '2024-03-05', 3, 2024, 2, 120, 1),
          (2, 7778, 1, '2024-03-12', 3, 2024, 4, 150, 0),
          (2, 7778, 2, '2024-03-15', 3, 2024, 1, 90, 1),
          (1, 7777, 3, '2024-03-02', 3, 2024, 5, 100, 0),
          (1, 7777, 1, '2024-04-01', 4, 2024, 10, 100, 0);
        insert into accounts_dep.h_tabel (w_id, month, year, smena, i_type, d1, d5, d6) values (1, 3, 2024, 1, 0, 8, 4, 2);
        insert into accounts_dep.h_tabel (w_id, month, year, smena, i_type, d1, d7) values (1, 3, 2024, 0, 7777, 3, 2);
        insert into accounts_dep.h_tabel (w_id, month, year, smena, i_type, d10) values (2, 3, 2024, 2, 0, 5);
        insert into accounts_dep.h_tabel (w_id, month, year, smena, i_type, d28) values (1, 2, 2023, 1, 0, 8);
    )"));
}
