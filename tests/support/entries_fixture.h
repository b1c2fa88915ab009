#pragma once
// The books that journal entries and hour entries point to, as the journal's and the utility
// works' suites set them up, and reading the timesheet cells those entries feed.
#include "tests/support/test_database.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace entries_fixture {

inline const QDate kFriday(2024, 3, 15);
inline const QDate kMonday(2024, 3, 18);

/// Empties the journal, the hour-paid work, the timesheets and the books entries point to.
inline void clear(const TestDatabase& db)
{
    db.exec(QStringLiteral(
        "truncate accounts_dep.smena, accounts_dep.fatigue, accounts_dep.h_tabel, cmn_contractor.person, "
        "accounts_dep.person, cmn_gds_and_srv.gds_and_srv, cmn_classifier.item, accounts_dep.oper, "
        "accounts_dep.vid_oper, accounts_dep.norm restart identity"));
}

/// Workers 1 "Иванов И.И." and 2 "Петров П.П." in both workers' tables.
inline void addWorkers(const TestDatabase& db)
{
    db.exec(QStringLiteral(R"(
        insert into cmn_contractor.person (id, s_caption, s_code) values (1, 'Иванов И.И.', '1'), (2, 'Петров П.П.', '2');
        insert into accounts_dep.person (id, fio) values (1, 'Иванов И.И.'), (2, 'Петров П.П.');
    )"));
}

/// From empty: the workers; product 10001 " ДМ-1 " (blanks around, as the books may keep it);
/// welding (operation 1 of kind 1, finished goods, norm 10.5) and painting (operation 2 of
/// kind 2, norm 12.34) of that product.
inline void journalBooks(const TestDatabase& db)
{
    clear(db);
    addWorkers(db);
    db.exec(QStringLiteral(R"(
        insert into cmn_gds_and_srv.gds_and_srv (id, s_caption) values (10001, ' ДМ-1 ');
        insert into accounts_dep.vid_oper (id, vid) values (1, 'Сварка'), (2, 'Покраска');
        insert into accounts_dep.oper (id, vid, naimen, i_id) values (1, 1, 0, 10001), (2, 2, 1, 10001);
        insert into accounts_dep.norm (o_id, price) values (1, 10.5), (2, 12.34);
    )"));
}

/// From empty: the workers; nomenclature group 1 "Двери"; utility works (operation 1, kind and
/// product 7777, norm 150), average piecework (operation 2, kind and product 7778, norm 157) and
/// a piecework welding (operation 3 of product 10001) for journal entries.
inline void utilityWorksBooks(const TestDatabase& db)
{
    clear(db);
    addWorkers(db);
    db.exec(QStringLiteral(R"(
        insert into cmn_classifier.item (id, s_caption, b_excluded) values (1, 'Двери', 0);
        insert into cmn_gds_and_srv.gds_and_srv (id, s_caption, massa) values (7777, 'Хоз. работы', 0), (7778, 'Ср. сдельная', 0), (10001, 'ДМ-1', 1);
        insert into accounts_dep.vid_oper (id, vid) values (1, 'Сварка'), (7777, 'хоз. работы'), (7778, 'ср. сдельная');
        insert into accounts_dep.oper (id, vid, naimen, i_id) values (1, 7777, 0, 7777), (2, 7778, 0, 7778), (3, 1, 0, 10001);
        insert into accounts_dep.norm (o_id, price, norma, prize) values (1, 150, 0, 0), (2, 157, 0, 0);
    )"));
}

/// An hour entry of group 1 written straight into the table, as another client would.
inline void insertHourEntry(const TestDatabase& db, int worker, int kind, int hours, int night,
                            const QString& price = QStringLiteral("150"), const QDate& day = kFriday)
{
    db.exec(QStringLiteral("insert into accounts_dep.fatigue (id_nom, id_o, id_p, d_date, i_mnth, i_year, i_smena, cnt, price, "
                           "i_holiday, i_night) values (1, %1, %2, '%3', %4, %5, 1, %6, %7, 0, %8)")
                .arg(kind).arg(worker).arg(day.toString(Qt::ISODate)).arg(day.month()).arg(day.year())
                .arg(hours).arg(price).arg(night));
}

/// Closes a month and opens it again, each with its reason, as the months' window would.
inline void closeAndReopen(const TestDatabase& db, int year, int month, const QString& closing, const QString& reopening)
{
    db.exec(QStringLiteral(R"(
        begin;
        select set_config('tabel.reason', '%3', true);
        insert into accounts_dep.closed_month (year, month) values (%1, %2);
        commit;
        begin;
        select set_config('tabel.reason', '%4', true);
        delete from accounts_dep.closed_month where year = %1 and month = %2;
        commit;
    )").arg(year).arg(month).arg(closing, reopening));
}

/// From the utility works' books, a history of eight changes dated a second apart from `first`
/// on: entry 1 (approved) and entry 2 (never approved) of Friday added, then each given two
/// pieces more; an hour entry of worker 1 added and cut from 8 hours to 6; March closed "по
/// ведомости" and reopened for "ошибка в табеле".
inline void historyOfMarch(const TestDatabase& db, const QString& first)
{
    utilityWorksBooks(db);
    db.exec(QStringLiteral(R"(
        truncate accounts_dep.closed_month, accounts_dep.change_log restart identity;
        insert into accounts_dep.smena (data, smena, w_id, i_id, o_id, cena, kol_vo, brak, time, ok) values
          ('2024-03-15', 1, 1, 10001, 3, 10, 10, 0, 8, 'ok'), ('2024-03-15', 1, 2, 10001, 3, 10, 5, 0, 4, 'no');
        update accounts_dep.smena set kol_vo = kol_vo + 2 where id = 1;
        update accounts_dep.smena set kol_vo = kol_vo + 2 where id = 2;
    )"));
    insertHourEntry(db, 1, 7777, 8, 0);
    db.exec(QStringLiteral("update accounts_dep.fatigue set cnt = 6"));
    closeAndReopen(db, 2024, 3, QStringLiteral("по ведомости"), QStringLiteral("ошибка в табеле"));
    db.exec(QStringLiteral("update accounts_dep.change_log set at = timestamp '%1' + (id - 1) * interval '1 second'").arg(first));
}

/// The changes historyOfMarch makes, in order, as "what|action|entry|subject|reason" (a month
/// has no entry number).
inline QStringList historyOfMarchShown()
{
    return {
        QStringLiteral("Журнал|Добавлена|1|15.03.2024, 1 Иванов И.И.|"),
        QStringLiteral("Журнал|Добавлена|2|15.03.2024, 2 Петров П.П.|"),
        QStringLiteral("Журнал|Изменена|1|15.03.2024, 1 Иванов И.И.|"),
        QStringLiteral("Журнал|Изменена|2|15.03.2024, 2 Петров П.П.|"),
        QStringLiteral("Часы|Добавлена|1|15.03.2024, 1 Иванов И.И.|"),
        QStringLiteral("Часы|Изменена|1|15.03.2024, 1 Иванов И.И.|"),
        QStringLiteral("Месяц|Месяц закрыт||03.2024|по ведомости"),
        QStringLiteral("Месяц|Месяц открыт||03.2024|ошибка в табеле"),
    };
}

/// A day cell of a worker's journal-hours row of March 2024 in the shift; null when empty or absent.
inline QVariant journalCell(const TestDatabase& db, int worker, int shift, int day)
{
    return db.scalar(QStringLiteral("select d%3 from accounts_dep.h_tabel where w_id=%1 and smena=%2 "
                                    "and month=3 and year=2024 and i_type=0").arg(worker).arg(shift).arg(day));
}

/// A day cell of a worker's hour-paid row of March 2024 (kind 7777 or 7778, night flag).
inline QVariant hoursCell(const TestDatabase& db, int worker, int kind, int night, int day)
{
    return db.scalar(QStringLiteral("select d%1 from accounts_dep.h_tabel where w_id=%2 and i_type=%3 and i_night=%4 "
                                    "and month=3 and year=2024").arg(day).arg(worker).arg(kind).arg(night));
}

/// The month's average-piecework recalculation as the statement was first written, joining the
/// products, text dates read day-month-year: the reference the register's statement must agree with.
inline void runOriginalRecalculation(const TestDatabase& db, const QDate& first)
{
    const QDate next = first.addMonths(1);
    db.exec(QStringLiteral("set datestyle = 'ISO, DMY'"));
    db.exec(QStringLiteral(
        "UPDATE accounts_dep.fatigue f SET price=coalesce((select case when coalesce(sum(s.time),0)::numeric(10,2)=0 then 0 else  "
        "coalesce(sum((s.kol_vo-s.brak)*(s.cena+s.cena*f.i_holiday+s.cena*f.i_night*0.2))/sum(time),0)::numeric(10,2) end as price  "
        "from accounts_dep.smena s, accounts_dep.izdel gas, accounts_dep.person p where  s.data<'01.%1.%2' and s.data>='01.%3.%4' "
        "and p.id=s.w_id and p.id=f.id_p group by p.id order by fio),0) where i_mnth = %3 and i_year = %4 and id_o =7778")
                .arg(next.month()).arg(next.year()).arg(first.month()).arg(first.year()));
    db.exec(QStringLiteral("set datestyle = 'ISO, MDY'"));
}

} // namespace entries_fixture
