#pragma once
#include <QDate>
#include <QSqlDatabase>

class Transaction;

/// Brings one day cell (d1 … d31) of a monthly timesheet row into step with the entries it sums.
/// Runs inside the caller's transaction, beside the change that made the cell stale, and
/// serialises the upkeep of one worker's month across clients, so that concurrent saves and
/// deletions can neither lose nor double hours. A day with no hours left is emptied (NULL),
/// the row's other days keep theirs; a month without a row gets one.
namespace timesheet_cell {

/// A journal-hours row: the day's total of smena.time of the worker in the shift.
void syncJournal(const QSqlDatabase& db, Transaction& inside, int workerId, int shift, const QDate& day);

/// A row of hour-paid work: the day's total of fatigue.cnt of the worker, kind (7777 or 7778)
/// and night flag.
void syncHours(const QSqlDatabase& db, Transaction& inside, int workerId, int kind, int night, const QDate& day);

} // namespace timesheet_cell
