#pragma once
#include "data/prepared_query.h"

#include <QDate>
#include <QList>
#include <QSqlDatabase>
#include <memory>
#include <utility>

class Transaction;

/// Brings one day cell (d1 … d31) of a monthly timesheet row into step with the entries it sums.
/// Runs inside the caller's transaction, beside the change that made the cell stale, and
/// serialises the upkeep of one worker's month across clients, so that concurrent saves and
/// deletions can neither lose nor double hours. The cell holds the day's total, 0 when the day's
/// entries have no hours; a day with no entries left is emptied (NULL), the row's other days keep
/// theirs. A month without a row gets one when the day has entries, never for an emptied day.
namespace timesheet_cell {

/// Takes the locks that serialise the upkeep of these workers' months (worker id, any day of the
/// month), in one fixed order whatever the order given, so that two clients never wait on each
/// other. Held to the end of the transaction; taking a held one again is harmless. For checks
/// that must see the same state as the upkeep (a duplicate check before a journal entry is written).
void lockMonths(const QSqlDatabase& db, Transaction& inside, QList<std::pair<int, QDate>> workerMonths);

/// A journal-hours row: the day's total of smena.time of the worker in the shift.
void syncJournal(const QSqlDatabase& db, Transaction& inside, int workerId, int shift, const QDate& day);

/// A row of hour-paid work: the day's total of fatigue.cnt of the worker, kind (7777 or 7778)
/// and night flag.
void syncHours(const QSqlDatabase& db, Transaction& inside, int workerId, int kind, int night, const QDate& day);

/// The same upkeep of journal-hours cells for a caller that keeps many cells in step on one
/// connection (the entry dialog): its statements are prepared once and reused.
class JournalCells {
public:
    explicit JournalCells(const QSqlDatabase& db);
    ~JournalCells();
    JournalCells(const JournalCells&) = delete;
    JournalCells& operator=(const JournalCells&) = delete;

    void lockMonths(Transaction& inside, QList<std::pair<int, QDate>> workerMonths);
    void sync(Transaction& inside, int workerId, int shift, const QDate& day);
    /// Before a transaction: statements prepared in a server session the connection has since
    /// left (or all, when the server said it forgot one) are prepared anew.
    void renew(PreparedQuery::Renewal when = PreparedQuery::Renewal::IfReconnected);

private:
    struct Statements;
    std::unique_ptr<Statements> m;
};

} // namespace timesheet_cell
