#include "rules/month_rebuild.h"
#include "data/statement.h"
#include "data/transaction.h"
#include "rules/sheet_statements.h"

#include <QDate>

namespace month_rebuild {
namespace {

// The cell upkeep writes the table under row-exclusive locks; this mode waits for those
// writers to commit and keeps new ones out until the rebuild commits, and a second rebuild
// waits for the first.
const QString kLock = QStringLiteral("lock table accounts_dep.h_tabel in share row exclusive mode");

const QString kDeleteShiftRows = QStringLiteral(
    "delete from accounts_dep.h_tabel where smena>0 and month=:month and year=:year");
const QString kDeleteHourRows = QStringLiteral(
    "delete from accounts_dep.h_tabel where smena=0 and month=:month and year=:year");

const QString kDayColumns = timesheet_days::dayLines(QStringLiteral("d%1"), QStringLiteral(", "));
const QString kDayValues = timesheet_days::dayLines(QStringLiteral("max(tim) filter (where day=%1)"),
                                                    QStringLiteral(",\n"));

// Entries of shift 0 or below are left out: their rows would be taken for hour rows.
const QString kInsertShiftRows = QStringLiteral(
    "insert into accounts_dep.h_tabel(smena, w_id, month, year, %1)\n"
    "select smena, w_id, :month::integer, :year::integer,\n%2\n"
    "from (select smena, w_id, extract(day from data)::integer as day, sum(time) as tim\n"
    "      from accounts_dep.smena where data>=:date1 and data<:date2 and smena>0\n"
    "      group by smena, w_id, data) days\n"
    "group by smena, w_id")
    .arg(kDayColumns, kDayValues);

const QString kInsertHourRows = QStringLiteral(
    "insert into accounts_dep.h_tabel(i_type, w_id, i_night, month, year, %1)\n"
    "select id_o, id_p, i_night, :month::integer, :year::integer,\n%2\n"
    "from (select id_p, id_o, i_night, extract(day from d_date)::integer as day, sum(cnt) as tim\n"
    "      from accounts_dep.fatigue where d_date>=:date1 and d_date<:date2\n"
    "      group by id_p, id_o, i_night, d_date) days\n"
    "group by id_p, id_o, i_night")
    .arg(kDayColumns, kDayValues);

void replaceMonth(const QSqlDatabase& db, const QString& deleteText, const QString& insertText, int month, int year,
                  const Progress& progress)
{
    const auto step = [&](int done) { if (progress) progress(done, 3); };
    const QDate first(year, month, 1);
    const Params monthKey = {{QStringLiteral("month"), month}, {QStringLiteral("year"), year}};
    step(0);
    Transaction tx(db);
    execSql(db, kLock);
    step(1);
    execSql(db, deleteText, monthKey);
    step(2);
    execSql(db, insertText,
            monthKey + Params{{QStringLiteral("date1"), first}, {QStringLiteral("date2"), first.addMonths(1)}});
    tx.commit();
    step(3);
}

} // namespace

void shiftRows(const QSqlDatabase& db, int month, int year, const Progress& progress)
{
    replaceMonth(db, kDeleteShiftRows, kInsertShiftRows, month, year, progress);
}

void hourRows(const QSqlDatabase& db, int month, int year, const Progress& progress)
{
    replaceMonth(db, kDeleteHourRows, kInsertHourRows, month, year, progress);
}

} // namespace month_rebuild
