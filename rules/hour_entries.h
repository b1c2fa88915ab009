#pragma once
#include "data/money.h"
#include "data/statement.h"

#include <QDate>
#include <QSqlDatabase>
#include <QString>

class Dataset;

/// Hour-paid work (accounts_dep.fatigue): utility works (kind 7777) and average piecework (7778)
/// of a worker for a nomenclature group on a date. Saving and deleting an entry keep the
/// worker's timesheet cell in step in the same transaction; the hourly price is exact; the
/// month's average-piecework prices are recalculated by one set-based statement. Refusals come
/// back as outcomes with their reasons; a refusal of the server throws DbError.
namespace hour_entry {

/// The hourly price: the norm price, × 2.0 on a day off, then × 1.2 for night hours; exact, not
/// rounded (the price column keeps 4 decimals, more than the rule makes of a norm of kopecks).
Money hourlyPrice(const Money& normPrice, bool dayOff, bool night);
/// hours × the hourly price: the sum the entry is worth.
Money sum(qint64 hours, const Money& normPrice, bool dayOff, bool night);

/// An entry as it was read for a change: a change writes only over these values.
struct Stored {
    int id = 0;
    int workerId = 0;
    int kind = 0;
    Params values;   ///< the compared columns, as read, under the names the change binds them
};
/// The entry of a register row (a row of accounts_dep.fatigue with its columns).
Stored storedOf(const Dataset& row);

/// What a save writes: the price is the hourly price of the norm with the flags.
struct Entry {
    int workerId = 0;
    int groupId = 0;     ///< the nomenclature group
    int kind = 7777;
    int hours = 0;
    Money normPrice;
    bool dayOff = false;
    bool night = false;
    QDate day;           ///< a new entry's date (a change keeps the stored one)
    int shift = 1;       ///< a new entry's i_smena
};

enum class Outcome {
    Saved,
    WorkerGone,          ///< the worker was deleted from the workers' book meanwhile
    GroupGone,           ///< the nomenclature group was deleted meanwhile
    ChangedMeanwhile,    ///< the changed entry was changed or deleted by another client since it was read
    DayHoursTooMany,     ///< the worker's hours of the day in that timesheet row would not fit its cell
    MonthAmountTooLarge, ///< the worker's hour-paid money of the month would pass entry_limits::kMonthAmount
};

/// What the user is told when a save ends in the outcome; empty for Saved.
QString outcomeMessage(Outcome outcome);

/// In one transaction: the worker and the group held against deletion to the end of it, the
/// insert (changed: nullptr) or the update over the entry as it was read, the bounds of the
/// worker's day and month, and the timesheet cells of the entry's new and old place. Nothing is
/// written unless Saved.
Outcome save(const QSqlDatabase& db, const Entry& entry, const Stored* changed = nullptr);

enum class Removal {
    Deleted,
    AlreadyGone,    ///< another client deleted the entry first: nothing was written
};

/// What the user is told when a deletion ends so; empty for Deleted.
QString removalMessage(Removal removal);

/// Deletes the entry and, in the same transaction, brings into step the timesheet cell of the
/// entry as it was deleted.
Removal remove(const QSqlDatabase& db, int id);

/// The statement that recalculates a month's average-piecework prices (parameters date1, date2:
/// the month's first day and the next month's; mnth, yea: the month repriced). Every 7778 entry
/// gets the worker's piecework earnings of the month over his journal hours, each journal entry
/// raised by the entry's day-off (× 2) and night (× 1.2) flags; 0 without journal hours.
extern const QString kRecalculateAveragePiecework;

/// Recalculates the average-piecework prices of the month of that day, in one transaction.
void recalculateAveragePiecework(const QSqlDatabase& db, const QDate& dayOfMonth);

} // namespace hour_entry
