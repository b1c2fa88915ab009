#include "tests/reports/report_fixture.h"
#include "tests/support/test_database.h"

#include <QProcess>

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

QString pdfText(const QString& path)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput());
}
