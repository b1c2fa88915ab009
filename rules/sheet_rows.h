#pragma once
#include "data/money.h"
#include "rules/sheet_statements.h"

#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <array>
#include <optional>

class Dataset;

/// The rows the sheets and the output spreadsheet show, as plain values read from their
/// statements: hours as whole numbers, every amount as exact Money, an empty database value as
/// nothing (shown empty). The windows, the spreadsheets and the command line read the same rows.
namespace sheet_rows {

/// Hours of the days 1 … 31; nothing where the day has no hours.
using DayHours = std::array<std::optional<qint64>, 31>;

/// A worker's month in the time timesheet: all the worker's timesheet rows summed by day.
struct TimeTimesheetRow {
    QString fio;
    DayHours days;
    qint64 total = 0;   ///< the days' sum, an empty day counting 0
};

/// The time timesheet of the month, by name.
QList<TimeTimesheetRow> timeTimesheet(const QSqlDatabase& db, int month, int year);

/// A row of a piecework timesheet: a worker (with day/night in the utility works and average
/// piecework), the month's hours by day, the hours, the earnings and the hourly rate.
struct PieceworkRow {
    QString fio;
    QString night;                   ///< "дн." or "ноч." where the sheet has day/night, else empty
    DayHours days;
    std::optional<qint64> hours;     ///< "Итого (ч.)"
    std::optional<Money> earnings;   ///< "Итого (р.)"
    std::optional<Money> rate;       ///< "Час (р.)", nothing where the sheet has no rate
};

/// The current row of an open piecework sheet of that mode.
PieceworkRow pieceworkRow(const Dataset& sheet, int mode);
/// A piecework timesheet (piecework_mode) of the month, in the sheet's order.
QList<PieceworkRow> pieceworkTimesheet(const QSqlDatabase& db, int mode, int month, int year);

/// The department's totals of the month under the piecework timesheets; nothing where the
/// month has no such entries.
struct PieceworkTotals {
    std::optional<Money> averagePiecework;   ///< "Ср. сдел.:"
    std::optional<Money> utilityWorks;       ///< "Хоз. работы:"
    std::optional<Money> piecework;          ///< "Сделка:"
    std::optional<Money> all;                ///< "Итого:"
};

/// The piecework timesheets' totals of the month.
PieceworkTotals pieceworkTotals(const QSqlDatabase& db, int month, int year);

/// A row of the hub's output spreadsheet: a product's operation kind with its colour.
struct OutputRow {
    QString nom;           ///< "Наименование"
    QString operation;     ///< "Операция": the operation kind and outputColourText
    QString productKind;   ///< "Готовая продукция" or "Заготовки"
    Money mass;            ///< "Коробки"
    qint64 quantity = 0;   ///< "Кол-во": the good pieces
};

/// The text after the operation kind in the output: " (грунт)" for colour 1, " (цвет: n)"
/// for a colour above 1, nothing otherwise.
QString outputColourText(int color);

/// Fills the output query (kXlsRep) from the request, period and product-kind filter, opens
/// it, reads its visible rows and closes it again.
QList<OutputRow> output(Dataset& XLS_Rep, const ReportRequest& request);
/// The same on a session of its own (in the background).
QList<OutputRow> output(const QSqlDatabase& db, const ReportRequest& request);

/// A nullable amount for people: empty for nothing, else the general format.
QString shown(const std::optional<Money>& amount);
/// A nullable number of hours for people: empty for nothing.
QString shown(const std::optional<qint64>& hours);

} // namespace sheet_rows
