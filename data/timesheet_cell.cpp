#include "data/timesheet_cell.h"
#include "data/codes.h"
#include "data/dataset.h"
#include "data/prepared_query.h"
#include "data/statement.h"
#include "data/transaction.h"

#include <algorithm>

namespace timesheet_cell {
namespace {

// One lock per worker and month: the read of the day's total and the write of the cell must
// not interleave with another client's, or the later write carries a stale total.
const QString kLock = QStringLiteral("select pg_advisory_xact_lock(:worker, :month)");

// The cell is kept by the database's own functions, owned by the schema's owner: a role that may
// write entries but not the timesheet (the foremen) still has its cells kept, and nobody can
// write a cell that disagrees with the entries. Each takes the worker's month lock first.
const QString kJournalCell = QStringLiteral("select accounts_dep.sync_journal_cell(:w_id, :smena, :data)");
const QString kHoursCell = QStringLiteral("select accounts_dep.sync_hours_cell(:w_id, :kind, :night, :data)");

int monthKey(const QDate& day) { return day.year() * 100 + day.month(); }

/// The upkeep of one kind of row, prepared once.
class RowStatements {
public:
    RowStatements(const QSqlDatabase& db, const QString& sync) : m_lock(db, kLock), m_sync(db, sync) {}

    void lockAll(QList<std::pair<int, QDate>> workerMonths)
    {
        QList<std::pair<int, int>> keys;
        for (const auto& [worker, day] : workerMonths) keys.append({worker, monthKey(day)});
        std::sort(keys.begin(), keys.end());
        keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
        for (const auto& [worker, month] : keys)
            m_lock.exec({{QStringLiteral("worker"), worker}, {QStringLiteral("month"), month}});
    }

    void sync(const QDate& day, const Params& key)
    {
        m_sync.exec(key + Params{{QStringLiteral("data"), day}}).finish();
    }

    void renew(PreparedQuery::Renewal when)
    {
        m_lock.renew(when);
        m_sync.renew(when);
    }

private:
    PreparedQuery m_lock;
    PreparedQuery m_sync;
};

RowStatements journalRows(const QSqlDatabase& db) { return {db, kJournalCell}; }

Params journalKey(int workerId, int shift) { return {{QStringLiteral("w_id"), workerId}, {QStringLiteral("smena"), shift}}; }

} // namespace

struct JournalCells::Statements {
    RowStatements rows;
};

JournalCells::JournalCells(const QSqlDatabase& db) : m(new Statements{journalRows(db)}) {}
JournalCells::~JournalCells() = default;

void JournalCells::lockMonths(Transaction&, QList<std::pair<int, QDate>> workerMonths)
{
    m->rows.lockAll(std::move(workerMonths));
}

void JournalCells::sync(Transaction&, int workerId, int shift, const QDate& day)
{
    m->rows.sync(day, journalKey(workerId, shift));
}

void JournalCells::renew(PreparedQuery::Renewal when) { m->rows.renew(when); }

void lockMonths(const QSqlDatabase& db, Transaction& inside, QList<std::pair<int, QDate>> workerMonths)
{
    JournalCells(db).lockMonths(inside, std::move(workerMonths));
}

void syncJournal(const QSqlDatabase& db, Transaction& inside, int workerId, int shift, const QDate& day)
{
    JournalCells(db).sync(inside, workerId, shift, day);
}

void syncHours(const QSqlDatabase& db, Transaction&, int workerId, int kind, int night, const QDate& day)
{
    RowStatements(db, kHoursCell)
        .sync(day, {{QStringLiteral("w_id"), workerId}, {QStringLiteral("kind"), kind}, {QStringLiteral("night"), night}});
}

} // namespace timesheet_cell
