#pragma once
#include <QDate>
#include <QDateTime>
#include <QList>
#include <QSqlDatabase>
#include <QString>

#include <functional>

/// The history the database keeps of every change of journal entries, hour entries and the
/// closing of months (accounts_dep.change_log), read for people: when, by whom, what was done
/// and which fields went from what to what. Only read here: the database alone writes it.
namespace change_history {

/// The tables whose rows have a history of their own.
enum class Table {
    Journal,  ///< accounts_dep.smena
    Hours,    ///< accounts_dep.fatigue
};

/// A field of a record under its name in the windows, with its value before and after as
/// people read it: a worker by code and name, a product, operation or group by name, dates as
/// dd.MM.yyyy, an empty value as "—". An added row has values after only, a deleted one
/// values before only.
struct FieldChange {
    QString field;
    QString before;
    QString after;
    bool operator==(const FieldChange&) const = default;
};

struct Record {
    qlonglong id = 0;            ///< of the history row
    QDateTime at;                ///< to the second, as the session's clock read (held as UTC: shown as it is)
    QString dbUser;
    QString client;              ///< the application name of the session that wrote
    QString table;               ///< "smena", "fatigue" or "closed_month"
    QString action;              ///< "insert", "update", "delete", "close" or "reopen"
    qlonglong rowId = 0;         ///< the entry's id; 0 for a month
    QString reason;
    QString subject;             ///< the entry by its date and worker, or the month ("03.2024")
    QList<FieldChange> changes;  ///< an update's fields that differ; the row's fields otherwise

    QString what() const;        ///< "Журнал", "Часы", "Месяц"
    QString actionText() const;  ///< "Добавлена", "Изменена", "Удалена", "Месяц закрыт", "Месяц открыт"
    /// One line: "Поле: было → стало; …" for an update, "Поле: значение; …" otherwise.
    QString changesText() const;
};

/// The records of one entry, oldest first. Throws DbError.
QList<Record> entryHistory(const QSqlDatabase& db, Table table, qlonglong rowId);

enum class Scope {
    ApprovedEntries,  ///< changes of journal entries approved before or after them, and every
                      ///< closing and reopening of a month
    Everything,       ///< every change of journal entries, hour entries and months
};

/// The changes made on the days from up to, not including, the day to, oldest first.
/// Throws DbError.
QList<Record> periodChanges(const QSqlDatabase& db, const QDate& from, const QDate& to, Scope scope);

enum class Order { OldestFirst, NewestFirst };

/// The same changes (in the order asked) handed to take one at a time as they are read, a batch at a time through a
/// cursor of the server: a period of millions of changes takes the memory of a batch. Inside the
/// connection's open transaction, if any (one snapshot with the rest of a run). Throws DbError,
/// and whatever take throws (which stops the reading).
void eachPeriodChange(const QSqlDatabase& db, const QDate& from, const QDate& to, Scope scope,
                      const std::function<void(const Record&)>& take, Order order = Order::OldestFirst);

} // namespace change_history
