#pragma once
#include <QDate>
#include <QString>

class Dataset;

/// What a report or a sheet is asked for: the hub's half-open period with its product kind, or
/// a month.
struct ReportRequest {
    QDate from, to;        ///< from ≤ d < to
    int productKind = 0;   ///< 0 all, 1 finished products (naimen 0), 2 blanks (naimen 1)
    int month = 0, year = 0;
};

/// The day fields of the timesheet statements.
namespace timesheet_days {
/// The day fields of a statement, one line per day: pattern with %1 replaced by 1 … 31,
/// lines joined by separator.
QString dayLines(const QString& pattern, const QString& separator);

enum class DayKind { Workday, Weekend, PastEnd };

/// The kind of day d (1..31) of a month: Saturdays and Sundays are days off.
DayKind kindOf(int day, int month, int year);
} // namespace timesheet_days

/// The four piecework timesheets, by the Tag their openers give the window; their statements
/// and how a month is set on them.
namespace piecework_mode {
inline constexpr int kPiecework = 9;          ///< "Табель сделка": journal rows, one per worker
inline constexpr int kUtilityWorks = 14;      ///< "Табель хоз. работы": per worker and day/night
inline constexpr int kAveragePiecework = 15;  ///< "Табель ср. сдельная": per worker and day/night
inline constexpr int kGeneral = 17;           ///< "Общий табель": all of a worker's rows

/// The statement of a mode's sheet (fio, id, s_night where it has day/night, d1 … d31, i_time,
/// f_price, average_price where it has the rate); its parameters are set by setPeriod.
QString statement(int mode);
/// Sets a sheet or total's parameters for the month: the even d_date to its first day, the odd
/// ones to the first day of the next month, i_month and i_year where the statement has them.
void setPeriod(Dataset& query, int month, int year);
/// Whether a mode's sheet has the day/night column, and the hourly-rate column.
inline bool hasDayNight(int mode) { return mode == kUtilityWorks || mode == kAveragePiecework; }
inline bool hasRate(int mode) { return mode != kGeneral; }
} // namespace piecework_mode

/// The statements every sheet and report reads, as the windows, the spreadsheets and the
/// command line run them, and the setting of their periods. Amounts come back as numeric.
namespace sheet_statements {

/// The month's hours of every worker by day, all the worker's timesheet rows summed (fio,
/// sd1 … sd31; parameters mnth, yea): what the print and the time timesheet's spreadsheet show.
extern const QString kTimeTimesheet;

/// The piecework timesheets' totals of the month, each one row with one field "price": the
/// journal's piecework, the utility works, the average piecework, and all of them together.
extern const QString kTotals;

/// The hub's spreadsheet query: the period's good quantity and boxes by product, operation
/// kind, product kind and colour (parameters data1, data2).
extern const QString kXlsRep;

/// The four hub reports: by worker, by product, and each in detail.
extern const QString kWorkerReport, kProductReport, kWorkerDetailedReport, kProductDetailedReport;

/// The name of the worker an id column holds (the worker id of the journal and hour entries), as
/// the sheets name him: a subquery giving s_caption of the person row whose id or code is that id;
/// of several, the one whose code names him, then the lowest id. One probe through the primary key
/// or the person_code_id index.
QString workerNameOf(const QString& idColumn);

/// Sets the time timesheet's month (mnth, yea).
void setMonth(Dataset& query, int month, int year);

/// Sets every odd-numbered date parameter of a hub statement (data1, data3 …) to from and
/// every even-numbered one to to: the half-open period from ≤ d < to.
void setPeriod(Dataset& query, const QDate& from, const QDate& to);

/// The product-kind choice of the reports hub as a filter on a query's rows: 0 switches it off,
/// 1 keeps naimen=0 (finished products), 2 naimen=1 (blanks).
void setProductKindFilter(Dataset& query, int kind);

} // namespace sheet_statements
