#pragma once
#include "data/money.h"

#include <QList>
#include <QSqlDatabase>
#include <QString>

/// "Сводка за месяц": a month's figures read in a few set-based statements, for the charts of
/// the month at a glance. Its sums are the sheets' and reports' own: the pieces and amounts of the
/// journal (good pieces, pieces less rejects, times the price), the hours of the journal and of
/// the hour entries, the approval marks; a month's piecework and hour-paid money as the piecework
/// sheets' totals reckon them (each worker's amount rounded to kopecks, then added up).
namespace month_summary {

/// Shifts 1 to 3 and overtime (4), as the journal has them.
inline constexpr int kShifts = 4;

/// The journal's figures of one day and shift.
struct DayShift {
    int day = 0;     ///< 1..31
    int shift = 0;   ///< 1..4
    qint64 pieces = 0;
    Money amount;    ///< exact
    qint64 hours = 0;
    int entries = 0;
    int approved = 0;
};

/// The hour entries of one day and work kind (7777 utility works, 7778 average piecework).
struct HourDay {
    int day = 0;
    int kind = 0;
    qint64 hours = 0;
    Money amount;
};

/// An amount of a named part of the month: a nomenclature group, an operation kind.
struct Share {
    QString name;
    Money amount;
};

/// One month of the last twelve.
struct MonthFigure {
    int month = 0, year = 0;
    Money piecework;          ///< as the piecework sheet's total "Сделка:"
    Money hourPaid;           ///< as the sheets' "Хоз. работы:" and "Ср. сдел.:" together
    qint64 hours = 0;         ///< the journal's and the hour entries' hours
};

/// What is asked: a month, and the product kind (0 all; 1 finished products, as the warehouse
/// has them; 2 blanks). With a product kind the hour entries, which belong to none, are left out.
struct Request {
    int month = 0, year = 0;
    int productKind = 0;
};

struct Summary {
    Request request;
    int daysInMonth = 0;
    QList<DayShift> days;       ///< days and shifts with entries, by day then shift
    QList<HourDay> hourDays;    ///< days and kinds with hour entries, by day then kind
    QList<Share> groups;        ///< every nomenclature group with entries, largest first
    QList<Share> kinds;         ///< every operation kind with entries, largest first
    QList<MonthFigure> months;  ///< the twelve months up to the month asked, oldest first

    /// Whether the hour entries are in (no product kind asked).
    bool withHours() const { return request.productKind == 0; }
    /// The month asked among the twelve (the last).
    const MonthFigure& thisMonth() const { return months.constLast(); }
};

/// Reads the month's figures; throws DbError.
Summary read(const QSqlDatabase& db, const Request& request);

/// The n largest shares and, when there are more, one more "Прочее" holding the rest.
QList<Share> largest(const QList<Share>& shares, int n = 10);

/// The statements, as read() runs them (the benchmarks run them through psql too): the journal of
/// the month by day and shift, by nomenclature group, by operation kind and its piecework money
/// by worker in one pass; the hour entries by day and kind; the eleven months before's piecework
/// (a closed month's as kept when it was closed, accounts_dep.month_figures) and the twelve
/// months' hour-paid money and hours. Parameters d_from, d_to (the month), h_from (the first day
/// of the first of the twelve months) and kind.
extern const QString kJournal, kHourEntries, kMonths;

} // namespace month_summary
