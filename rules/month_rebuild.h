#pragma once
#include <QSqlDatabase>
#include <functional>

/// Rebuilds of a month's timesheet rows from the entries they sum. Each is a few set-based
/// statements in one transaction: the month's rows of one family are replaced by one row per
/// key with entries in the month, each day the summed hours (empty where the day has none, or
/// only entries without hours). A failure leaves the month as it was. The timesheet table is
/// locked against other clients' cell upkeep for the transaction, so that a cell saved
/// meanwhile is neither lost nor doubled.
namespace month_rebuild {

/// Told the steps done out of all steps, as the rebuild goes on.
using Progress = std::function<void(int done, int total)>;

/// The journal-hours rows (shift above 0): one per shift and worker with journal entries.
void shiftRows(const QSqlDatabase& db, int month, int year, const Progress& progress = {});

/// The rows of hour-paid work (shift 0): one per worker, kind and night flag with hour entries.
void hourRows(const QSqlDatabase& db, int month, int year, const Progress& progress = {});

} // namespace month_rebuild
