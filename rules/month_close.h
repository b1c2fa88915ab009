#pragma once
#include "data/statement.h"

#include <QDateTime>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <optional>

/// Closed months and the check that comes before closing one. A closed month is one the
/// database keeps from every change: its journal entries, hour entries and timesheet rows are
/// refused whoever writes (SQLSTATE TB001). Closing and reopening are recorded in the history
/// of changes, a reopening with its reason.
namespace month_close {

/// A timesheet cell that differs from the sum of the entries it stands for.
struct Difference {
    int workerId = 0;
    QString worker;    ///< the name as the sheets give it; empty when no person row names him
    int shift = 0;     ///< 1 … 4 for the journal's hours, 0 for hour-paid work
    int kind = 0;      ///< hour-paid work: 7777 utility works, 7778 average piecework
    int night = 0;     ///< hour-paid work: 1 at night
    int day = 0;
    std::optional<int> cell;     ///< the timesheet's cell (summed over rows of one key); empty when blank
    std::optional<qint64> sum;   ///< the entries' hours of that day; empty when there are none
    QString family;              ///< "смена 2", "хоз. работы, ночь"
};

/// Every cell of the month's timesheet that differs from the hours of its journal entries (the
/// rows of shifts 1 … 4) or its hour entries (the rows of shift 0, by kind and night), by worker
/// name, worker, shift, kind, night and day. An empty cell counts as 0 hours, so a day whose
/// entries carry no hours agrees with a blank cell and with a 0 alike; a row of the same key
/// twice adds up, and so shows.
QList<Difference> differences(const QSqlDatabase& db, int month, int year);
/// The statement differences() reads, for a window's grid: columns w_id, fio, smena, i_type,
/// i_night, day, cell, total, family; its parameters from differencesParams.
extern const QString kDifferences;
Params differencesParams(int month, int year);

/// The differences as lines of text, one a cell: "Иванов И.И. (код 12), смена 1, 05: в табеле 8, по записям 9".
QStringList describe(const QList<Difference>& differences);

bool isClosed(const QSqlDatabase& db, int month, int year);

/// A closed month: when and by whom.
struct ClosedMonth {
    int year = 0, month = 0;
    QDateTime closedAt;
    QString closedBy;
};
/// Every closed month, the latest first.
QList<ClosedMonth> closedMonths(const QSqlDatabase& db);

/// The last reopening of a month, as the history keeps it: when, by which login, and why.
struct Reopening {
    QDateTime at;
    QString by;
    QString reason;
};
std::optional<Reopening> lastReopening(const QSqlDatabase& db, int month, int year);

enum class Outcome {
    Done,
    AlreadyClosed,   ///< closing: the month was closed already
    NotClosed,       ///< reopening: the month was not closed
    Inconsistent,    ///< closing: the timesheet differs from the entries (see CloseResult)
};

struct CloseResult {
    Outcome outcome = Outcome::Done;
    QList<Difference> differences;   ///< why it was refused (Inconsistent)
};

/// Closes the month unless its timesheet differs from its entries. One transaction: the entry
/// and timesheet tables are held against writes while the month is checked and closed, so that
/// no entry slips in between the check and the closing.
CloseResult close(const QSqlDatabase& db, int month, int year);

/// Opens a closed month again; the reason (not blank) goes to the history with the reopening.
Outcome reopen(const QSqlDatabase& db, int month, int year, const QString& reason);

/// "05.2026"
QString monthText(int month, int year);

} // namespace month_close
