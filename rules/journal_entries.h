#pragma once
#include "data/money.h"
#include "data/prepared_query.h"

#include <QDate>
#include <QList>
#include <QSqlDatabase>
#include <QList>
#include <QString>
#include <memory>

class Dataset;

/// Writing, deleting and approving journal entries (accounts_dep.smena), each with everything
/// that must stand or fall with it: the referenced rows held, the twin and edit-conflict checks,
/// the bounds of the worker's day and month, and the timesheet cells the entry feeds. Every
/// refusal comes back as an outcome with its reason; a refusal of the server throws DbError.
namespace shift_entry {

/// The values a save writes into accounts_dep.smena.
struct Entry {
    int id = 0;              ///< the entry changed; 0 adds a new one
    QString version;         ///< the changed entry's row version as the journal showed it; empty: stale
    int workerId = 0;
    int productId = 0;
    int operationId = 0;
    QDate day;
    int shift = 1;
    Money price;             ///< price per piece, written with every digit it has
    int quantity = 0;
    int defects = 0;
    int colour = 0;
    int hours = 0;
    QDate keyedIn;           ///< vvod: the day the entry was keyed in
};

enum class Outcome {
    Saved,
    Duplicate,      ///< an entry of the same worker, operation, product, date, shift and colour exists
    Stale,          ///< the changed entry was changed or deleted by someone else since it was read
    WorkerGone,     ///< the worker was deleted from the workers' book meanwhile
    ProductGone,    ///< the product was deleted meanwhile
    OperationGone,  ///< the operation was deleted meanwhile
    DayHoursTooMany,    ///< the worker's hours of that day and shift would not fit the timesheet cell
    MonthAmountTooLarge ///< the worker's money of that month would pass entry_limits::kMonthAmount
};

/// What the user is told when a save ends in the outcome; empty for Saved.
QString outcomeMessage(Outcome outcome);

/// How a save of several entries ended: Saved, or the first entry (0-based, in the order given)
/// that was refused and why.
struct BatchOutcome {
    Outcome outcome = Outcome::Saved;
    int entry = -1;
    QList<int> ids;   ///< when Saved: each entry's id, in the order given
};

/// An operation as the entry dialogs show it: "марка; вид; Готовая продукция" (mark and kind
/// trimmed).
QString operationCaption(const QString& marka, const QString& vid, int naimen);
/// Whether an entry of the operation takes a colour: a painting, "КРАСКА" in the operation's
/// caption (or its kind), letter case aside.
bool takesColour(const QString& operationCaption);
/// The product's mark as stored; empty for a product that is gone.
QString productMark(const QSqlDatabase& db, int productId);

/// The row version of the journal row the grid shows (its id), when the stored entry still holds
/// what the grid shows; empty when it was changed or deleted since the grid was read.
QString versionOf(const QSqlDatabase& db, const Dataset& journalRow);

/// Saves entries on one connection, its statements prepared once for the whole run.
class Writer {
public:
    explicit Writer(const QSqlDatabase& db);
    ~Writer();
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

    /// In one transaction, under the worker's month lock (both workers' months when the entry
    /// moves): the worker, product and operation held against deletion to the end of it, the
    /// check that a changed entry is as it was read, the duplicate check, the insert or update,
    /// the bounds of the worker's day and month, and the timesheet cells of the entry's old and
    /// new place. Nothing is written unless Saved; a refusal of the server throws DbError.
    Outcome save(const Entry& entry);
    /// Saves the entries in one transaction, each as save() saves one, under the locks of all
    /// their months at once; the first refusal writes none of them and names its entry.
    BatchOutcome saveAll(const QList<Entry>& entries);

private:
    void renew(PreparedQuery::Renewal when = PreparedQuery::Renewal::IfReconnected);
    BatchOutcome write(const QList<Entry>& entries);

    struct Statements;
    std::unique_ptr<Statements> m;
};

enum class Removal {
    Deleted,
    AlreadyGone,    ///< another client deleted the entry first: nothing was written
};

/// What the user is told when a deletion ends so; empty for Deleted.
QString removalMessage(Removal removal);

/// Deletes the entry and, in the same transaction, brings into step the timesheet cell of the
/// entry as it was deleted (wherever another client may have moved it since it was read).
Removal remove(const QSqlDatabase& db, int id);

/// Turns the entry's approval mark over: an approved one (as the journal shows it) becomes new,
/// anything else approved.
void toggleApproval(const QSqlDatabase& db, int id, const QString& shownMark);

/// An entry as the journal shows it: its id and its approval mark.
struct ShownMark {
    int id = 0;
    QString mark;
};

/// Approves the entries, or withdraws their approval, in one transaction, each only where it
/// still has the mark the journal showed: one that another client changed or deleted meanwhile is
/// left as it is. Returns the ids so left, in the order given.
QList<int> setMarks(const QSqlDatabase& db, const QList<ShownMark>& entries, bool approved);

} // namespace shift_entry
