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

/// What a rebuild did to the month's rows: a row whose days differ from its entries is replaced
/// (counted as changed, once per key), rows of keys without entries go, keys without a row come.
struct Changes {
    int changed = 0;
    int added = 0;
    int removed = 0;
    bool any() const { return changed || added || removed; }
};

/// The journal-hours rows (shift above 0): one per shift and worker with journal entries.
Changes shiftRows(const QSqlDatabase& db, int month, int year, const Progress& progress = {});

/// The rows of hour-paid work (shift 0): one per worker, kind and night flag with hour entries.
Changes hourRows(const QSqlDatabase& db, int month, int year, const Progress& progress = {});

/// The sentence a window reports a rebuild of the month ("MM.YYYY") with.
QString changesText(const Changes& changes, const QString& month);

} // namespace month_rebuild
