#include "data/timesheet_cell.h"
#include "data/codes.h"
#include "data/dataset.h"
#include "data/statement.h"
#include "data/transaction.h"

namespace timesheet_cell {
namespace {

// One lock per worker and month: the read of the day's total and the write of the cell must
// not interleave with another client's, or the later write carries a stale total.
const QString kLock = QStringLiteral("select pg_advisory_xact_lock(:worker, :month)");

const QString kJournalHours = QStringLiteral(
    "select sum(time) as tim from accounts_dep.smena where w_id=:w_id and smena=:smena and data=:data "
    "group by w_id, smena, data");
const QString kJournalUpdate = QStringLiteral(
    "update accounts_dep.h_tabel set d%1=:tim where w_id=:w_id and smena=:smena and month=:month and year=:year");
const QString kJournalInsert = QStringLiteral(
    "insert into accounts_dep.h_tabel(smena, w_id, month, year, d%1) values(:smena, :w_id, :month, :year, :tim)");

const QString kHours = QStringLiteral(
    "select sum(cnt) as tim from accounts_dep.fatigue where id_p=:w_id and id_o=:kind and i_night=:night "
    "and d_date=:data");
const QString kHoursUpdate = QStringLiteral(
    "update accounts_dep.h_tabel set d%1=:tim where w_id=:w_id and i_type=:kind and i_night=:night "
    "and month=:month and year=:year");
const QString kHoursInsert = QStringLiteral(
    "insert into accounts_dep.h_tabel(w_id, month, year, i_type, i_night, d%1) "
    "values(:w_id, :month, :year, :kind, :night, :tim)");

int total(const QSqlDatabase& db, const QString& text, const Params& params)
{
    Dataset q(db, text);
    q.setParams(params);
    q.open();
    return q.asInt(QStringLiteral("tim"));
}

void write(const QSqlDatabase& db, const QString& update, const QString& insert, const QDate& day, int tim,
           Params params)
{
    params.append({QStringLiteral("month"), day.month()});
    params.append({QStringLiteral("year"), day.year()});
    params.append({QStringLiteral("tim"), tim > 0 ? QVariant(tim) : QVariant(QMetaType(QMetaType::Int))});
    Statement up(update.arg(day.day()));
    up.setParams(params);
    QSqlQuery q = up.exec(db);
    if (q.numRowsAffected() > 0 || tim <= 0) return;
    Statement in(insert.arg(day.day()));
    in.setParams(params);
    in.exec(db);
}

void lock(const QSqlDatabase& db, int workerId, const QDate& day)
{
    execSql(db, kLock, {{QStringLiteral("worker"), workerId}, {QStringLiteral("month"), day.year() * 100 + day.month()}});
}

} // namespace

void syncJournal(const QSqlDatabase& db, Transaction&, int workerId, int shift, const QDate& day)
{
    lock(db, workerId, day);
    const Params key = {{QStringLiteral("w_id"), workerId}, {QStringLiteral("smena"), shift}};
    const int tim = total(db, kJournalHours, key + Params{{QStringLiteral("data"), day}});
    write(db, kJournalUpdate, kJournalInsert, day, tim, key);
}

void syncHours(const QSqlDatabase& db, Transaction&, int workerId, int kind, int night, const QDate& day)
{
    lock(db, workerId, day);
    const Params key = {{QStringLiteral("w_id"), workerId}, {QStringLiteral("kind"), kind}, {QStringLiteral("night"), night}};
    const int tim = total(db, kHours, key + Params{{QStringLiteral("data"), day}});
    write(db, kHoursUpdate, kHoursInsert, day, tim, key);
}

} // namespace timesheet_cell
