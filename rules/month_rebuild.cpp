#include "rules/month_rebuild.h"
#include "data/statement.h"
#include "data/transaction.h"
#include "rules/sheet_statements.h"

#include <QDate>

namespace month_rebuild {
namespace {

// Every writer of the month's entries and timesheet rows holds the month's lock in shared mode
// until it commits; holding it exclusively waits for those writers and keeps new ones out until
// the rebuild commits, and a second rebuild of the month waits for the first. Other months go on.
const QString kLock = QStringLiteral("select accounts_dep.lock_month(:year, :month)");

const QString kDayColumns = timesheet_days::dayLines(QStringLiteral("d%1"), QStringLiteral(", "));
const QString kDayValues = timesheet_days::dayLines(QStringLiteral("max(tim) filter (where day=%1) as d%1"),
                                                    QStringLiteral(",\n"));

// The month's rows as the entries make them (wanted), against the rows it has: a row that is
// already exactly as wanted stays untouched (the first of its key, should there be several);
// every other row of the month goes, and the wanted rows not kept come in. An unchanged month
// writes nothing: no dead rows, no history of the timesheet, no trigger fired.
QString rebuild(const QString& wanted, const QString& which, const QString& key, const QString& kept, const QString& columns,
                const QString& values)
{
    const QString dayMatch = QStringLiteral("(%1) is not distinct from (%2)")
                                 .arg(timesheet_days::dayLines(QStringLiteral("h.d%1"), QStringLiteral(", ")),
                                      timesheet_days::dayLines(QStringLiteral("w.d%1"), QStringLiteral(", ")));
    QStringList keyMatch, keptMatch;
    // Keys compared as plain equalities (an empty one as -1), so that the server can hash them.
    for (const QString& k : key.split(QStringLiteral(", "))) {
        keyMatch << QStringLiteral("coalesce(h.%1, -1)=coalesce(w.%1, -1)").arg(k);
        keptMatch << QStringLiteral("coalesce(k.%1, -1)=coalesce(w.%1, -1)").arg(k);
    }
    return QStringLiteral(
               "with wanted as (%1),\n"
               "have as (select * from accounts_dep.h_tabel where %2 and month=:month and year=:year),\n"
               "keep as (select distinct on (%3) h.id, %4 from have h join wanted w on %5 and %6 and %7\n"
               "         order by %3, h.id),\n"
               "gone as (delete from accounts_dep.h_tabel t using have h where t.id=h.id\n"
               "         and not exists (select 1 from keep k where k.id=h.id) returning %13),\n"
               "added as (insert into accounts_dep.h_tabel(%8, month, year, %9)\n"
               "          select %10, :month::integer, :year::integer, %11 from wanted w\n"
               "          where not exists (select 1 from keep k where %12) returning %8),\n"
               "changed as (select %8 from gone intersect select %8 from added)\n"
               "select (select count(*) from changed), (select count(*) from added), (select count(*) from gone)")
        .arg(wanted, which, QStringLiteral("h.") + QString(key).replace(QStringLiteral(", "), QStringLiteral(", h.")),
             QStringLiteral("h.") + QString(key).replace(QStringLiteral(", "), QStringLiteral(", h.")), keyMatch.join(QStringLiteral(" and ")),
             kept, dayMatch)
        .arg(columns, kDayColumns, values, timesheet_days::dayLines(QStringLiteral("w.d%1"), QStringLiteral(", ")),
             keptMatch.join(QStringLiteral(" and ")))
        .arg(QStringLiteral("t.") + QString(columns).replace(QStringLiteral(", "), QStringLiteral(", t.")));
}

// Entries of shift 0 or below are left out: their rows would be taken for hour rows.
const QString kShiftRows = rebuild(
    QStringLiteral("select smena, w_id, %1\n"
                   "from (select smena, w_id, extract(day from data)::integer as day, sum(time) as tim\n"
                   "      from accounts_dep.smena where data>=:date1 and data<:date2 and smena>0\n"
                   "      group by smena, w_id, data) days\n"
                   "group by smena, w_id")
        .arg(kDayValues),
    QStringLiteral("smena>0"), QStringLiteral("smena, w_id"), QStringLiteral("h.i_type=0 and h.i_night=0"),
    QStringLiteral("smena, w_id"), QStringLiteral("w.smena, w.w_id"));

const QString kHourRows = rebuild(
    QStringLiteral("select id_o::integer as i_type, id_p::integer as w_id, i_night, %1\n"
                   "from (select id_p, id_o, i_night, extract(day from d_date)::integer as day, sum(cnt) as tim\n"
                   "      from accounts_dep.fatigue where d_date>=:date1 and d_date<:date2\n"
                   "      group by id_p, id_o, i_night, d_date) days\n"
                   "group by id_p, id_o, i_night")
        .arg(kDayValues),
    QStringLiteral("smena=0"), QStringLiteral("i_type, w_id, i_night"), QStringLiteral("true"),
    QStringLiteral("i_type, w_id, i_night"), QStringLiteral("w.i_type, w.w_id, w.i_night"));

Changes replaceMonth(const QSqlDatabase& db, const QString& text, int month, int year, const Progress& progress)
{
    const auto step = [&](int done) { if (progress) progress(done, 3); };
    const QDate first(year, month, 1);
    step(0);
    Transaction tx(db);
    execSql(db, kLock, {{QStringLiteral("month"), month}, {QStringLiteral("year"), year}});
    step(1);
    Statement s(text);
    s.setParams({{QStringLiteral("month"), month}, {QStringLiteral("year"), year}, {QStringLiteral("date1"), first},
                 {QStringLiteral("date2"), first.addMonths(1)}});
    QSqlQuery q = s.exec(db);
    Changes changes;
    if (q.next()) {
        changes.changed = q.value(0).toInt();
        changes.added = q.value(1).toInt() - changes.changed;
        changes.removed = q.value(2).toInt() - changes.changed;
    }
    q.finish();
    step(2);
    tx.commit();
    step(3);
    return changes;
}

} // namespace

Changes shiftRows(const QSqlDatabase& db, int month, int year, const Progress& progress)
{
    return replaceMonth(db, kShiftRows, month, year, progress);
}

Changes hourRows(const QSqlDatabase& db, int month, int year, const Progress& progress)
{
    return replaceMonth(db, kHourRows, month, year, progress);
}

QString changesText(const Changes& c, const QString& month)
{
    if (!c.any()) return QStringLiteral("Табель за %1 перестроен: он уже совпадал с записями, ни одна строка не изменилась.").arg(month);
    return QStringLiteral("Табель за %1 перестроен: строк изменено %2, добавлено %3, удалено %4.")
        .arg(month)
        .arg(c.changed)
        .arg(c.added)
        .arg(c.removed);
}

} // namespace month_rebuild
