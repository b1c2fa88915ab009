#include "rules/month_close.h"
#include "data/codes.h"
#include "data/db_error.h"
#include "data/statement.h"
#include "data/transaction.h"
#include "rules/sheet_statements.h"

#include <QDate>
#include <QSqlQuery>

namespace month_close {

// The month's cells, one a key and day (rows of one key summed), against the entries' hours of
// the same key and day, summed as the rebuild sums them: the journal's by shift (above 0), the
// hour entries' by kind and night. Keys of rows with neither are left out.
const QString kDifferences = QStringLiteral(
    "with cells as (\n"
    "  select h.w_id, h.smena, coalesce(h.i_type, 0) i_type, coalesce(h.i_night, 0) i_night, c.day::integer as day,\n"
    "         sum(c.v) cell\n"
    "  from accounts_dep.h_tabel h\n"
    "  cross join lateral unnest(array[%1]) with ordinality c(v, day)\n"
    "  where h.year=:year and h.month=:month and h.smena>=0 and c.v is not null\n"
    "  group by 1, 2, 3, 4, 5),\n"
    "entries as (\n"
    "  select w_id, smena, 0 i_type, 0 i_night, extract(day from data)::integer as day, sum(time) total\n"
    "  from accounts_dep.smena where data>=:first and data<:next and smena>0\n"
    "  group by w_id, smena, data\n"
    "  union all\n"
    "  select id_p::integer, 0, id_o::integer, coalesce(i_night, 0), extract(day from d_date)::integer, sum(cnt)\n"
    "  from accounts_dep.fatigue where d_date>=:first and d_date<:next\n"
    "  group by id_p, id_o, coalesce(i_night, 0), d_date),\n"
    "diff as (\n"
    "  select coalesce(c.w_id, e.w_id) w_id, coalesce(c.smena, e.smena) smena, coalesce(c.i_type, e.i_type) i_type,\n"
    "         coalesce(c.i_night, e.i_night) i_night, coalesce(c.day, e.day) as day, c.cell, e.total\n"
    "  from cells c full join entries e\n"
    "    on e.w_id=c.w_id and e.smena=c.smena and e.i_type=c.i_type and e.i_night=c.i_night and e.day=c.day\n"
    "  where coalesce(c.cell, 0) <> coalesce(e.total, 0))\n"
    "select d.w_id, %2 fio, d.smena, d.i_type, d.i_night, d.day, d.cell, d.total,\n"
    "       case when d.smena>0 then 'смена '||d.smena\n"
    "            when d.i_type=%3 then 'хоз. работы' when d.i_type=%4 then 'ср. сдельная' else 'вид '||d.i_type end ||\n"
    "       case when d.smena>0 then '' when d.i_night<>0 then ', ночь' else ', день' end as family\n"
    "from diff d\n"
    "order by fio nulls last, d.w_id, d.smena desc, d.i_type, d.i_night, d.day")
    .arg(timesheet_days::dayLines(QStringLiteral("h.d%1"), QStringLiteral(", ")),
         sheet_statements::workerNameOf(QStringLiteral("d.w_id")))
    .arg(codes::kUtilityWorks)
    .arg(codes::kAveragePiecework);

namespace {

// Waits for the writers of the month's entries and timesheet rows in progress and keeps new ones
// out until the closing commits; readers, and writers of other months, go on.
const QString kHoldMonth = QStringLiteral("select accounts_dep.lock_month(:year, :month)");

Params monthKey(int month, int year)
{
    return {{QStringLiteral("month"), month}, {QStringLiteral("year"), year}};
}

std::optional<qint64> optionalNumber(const QVariant& v)
{
    if (v.isNull()) return std::nullopt;
    return v.toLongLong();
}

} // namespace

Params differencesParams(int month, int year)
{
    const QDate first(year, month, 1);
    return monthKey(month, year) + Params{{QStringLiteral("first"), first}, {QStringLiteral("next"), first.addMonths(1)}};
}

QString monthText(int month, int year)
{
    return QStringLiteral("%1.%2").arg(month, 2, 10, QLatin1Char('0')).arg(year);
}

QList<Difference> differences(const QSqlDatabase& db, int month, int year)
{
    Statement s(kDifferences);
    s.setParams(differencesParams(month, year));
    QSqlQuery q = s.exec(db);
    QList<Difference> out;
    while (q.next()) {
        Difference d;
        d.workerId = q.value(0).toInt();
        d.worker = q.value(1).toString();
        d.shift = q.value(2).toInt();
        d.kind = q.value(3).toInt();
        d.night = q.value(4).toInt();
        d.day = q.value(5).toInt();
        const std::optional<qint64> cell = optionalNumber(q.value(6));
        if (cell) d.cell = int(*cell);
        d.sum = optionalNumber(q.value(7));
        d.family = q.value(8).toString();
        out << d;
    }
    return out;
}

QStringList describe(const QList<Difference>& differences)
{
    QStringList lines;
    const auto number = [](const auto& v) { return v ? QString::number(*v) : QStringLiteral("пусто"); };
    for (const Difference& d : differences) {
        const QString who = d.worker.isEmpty() ? QStringLiteral("рабочий с кодом %1").arg(d.workerId)
                                               : QStringLiteral("%1 (код %2)").arg(d.worker).arg(d.workerId);
        lines << QStringLiteral("%1, %2, %3 число: в табеле %4, по записям %5")
                     .arg(who, d.family)
                     .arg(d.day, 2, 10, QLatin1Char('0'))
                     .arg(number(d.cell), number(d.sum));
    }
    return lines;
}

bool isClosed(const QSqlDatabase& db, int month, int year)
{
    Statement s(QStringLiteral("select 1 from accounts_dep.closed_month where year=:year and month=:month"));
    s.setParams(monthKey(month, year));
    return s.exec(db).next();
}

QList<ClosedMonth> closedMonths(const QSqlDatabase& db)
{
    Statement s(QStringLiteral("select year, month, closed_at, closed_by from accounts_dep.closed_month "
                               "order by year desc, month desc"));
    QSqlQuery q = s.exec(db);
    QList<ClosedMonth> out;
    while (q.next()) out << ClosedMonth{q.value(0).toInt(), q.value(1).toInt(), q.value(2).toDateTime(), q.value(3).toString()};
    return out;
}

std::optional<Reopening> lastReopening(const QSqlDatabase& db, int month, int year)
{
    Statement s(QStringLiteral("select l.at, a.db_user, coalesce(l.reason, '') from accounts_dep.change_log l\n"
                               "join accounts_dep.change_author a on a.id = l.author\n"
                               "where l.tbl = 'm' and l.act = 'r' and l.in_year = :year and l.in_month = :month\n"
                               "order by l.id desc limit 1"));
    s.setParams({{QStringLiteral("year"), year}, {QStringLiteral("month"), month}});
    QSqlQuery q = s.exec(db);
    if (!q.next()) return std::nullopt;
    return Reopening{q.value(0).toDateTime(), q.value(1).toString(), q.value(2).toString()};
}

CloseResult close(const QSqlDatabase& db, int month, int year)
{
    Transaction tx(db);
    execSql(db, kHoldMonth, monthKey(month, year));
    if (isClosed(db, month, year)) return {Outcome::AlreadyClosed, {}};
    CloseResult result;
    result.differences = differences(db, month, year);
    if (!result.differences.isEmpty()) {
        result.outcome = Outcome::Inconsistent;
        return result;
    }
    // Only the database's function closes a month (full access may call it). Two closings at
    // once: the second finds the row there and says so.
    Statement insert(QStringLiteral("select accounts_dep.close_month(:year, :month)"));
    insert.setParams(monthKey(month, year));
    QSqlQuery closed = insert.exec(db);
    if (!closed.next() || !closed.value(0).toBool()) return {Outcome::AlreadyClosed, {}};
    tx.commit();
    return result;
}

Outcome reopen(const QSqlDatabase& db, int month, int year, const QString& reason)
{
    if (reason.trimmed().isEmpty()) throw DbError(QStringLiteral("Укажите причину, по которой месяц открывается."));
    Transaction tx(db);
    // The function keeps the reason for the history in the same transaction.
    Statement remove(QStringLiteral("select accounts_dep.reopen_month(:year, :month, :reason)"));
    remove.setParams(monthKey(month, year) + Params{{QStringLiteral("reason"), reason.trimmed()}});
    QSqlQuery reopened = remove.exec(db);
    if (!reopened.next() || !reopened.value(0).toBool()) return Outcome::NotClosed;
    tx.commit();
    return Outcome::Done;
}

} // namespace month_close
