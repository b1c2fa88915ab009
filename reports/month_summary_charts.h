#pragma once
#include "rules/month_summary.h"
#include "rules/sheet_statements.h"

#include <QChart>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

class QPainter;
class QPagedPaintDevice;
class TDataModule6;

/// One chart of the month's summary and the small table of its figures shown under it.
struct SummaryFigure {
    QString name;                    ///< the object name of its view: "DayPiecesChart"
    std::unique_ptr<QChart> chart;
    QStringList headings;
    QList<QStringList> rows;
};

/// A page of the printed summary, a tab of the window: its figures one above the other, or side
/// by side.
struct SummaryPage {
    QString caption;                 ///< "По дням"
    std::vector<SummaryFigure> figures;
    bool sideBySide = false;
};

/// Where a click on a day's bar goes: the day of the month and the shift (1..4).
using DayClick = std::function<void(int day, int shift)>;

/// The summary's charts, in Russian and in the program's number format, each series told apart
/// by its pattern as well as by its colour (a monochrome printer keeps them apart), the days off
/// of the day charts shaded as the timesheets colour them, every bar's figures in its tooltip.
/// A click on a bar of the day charts calls onDay. The window shows these pages, the print and
/// the PDF paint them.
std::vector<SummaryPage> summaryPages(const month_summary::Summary& summary, const DayClick& onDay = {});

/// "Сводка за месяц: Март 2024", with " (готовая продукция)" or " (заготовки)" for a product kind.
QString summaryTitle(const month_summary::Request& request);
/// The month's totals in one line: pieces, piecework money (the timesheet's, and the entries' sum
/// where it differs by the rounding), hour-paid money, hours, entries still to approve.
QString summaryTotals(const month_summary::Summary& summary);

/// Paints the summary's pages on a printer or a PDF writer set to A4 landscape, a page each, the
/// title on each; the charts drawn by the toolkit's own painter, the tables under them.
void paintSummary(QPainter& painter, QPagedPaintDevice& device, const month_summary::Summary& summary);

/// Writes the summary as a PDF on A4 landscape; the file takes its name only once it is whole.
/// Throws ReportError when it cannot be written.
void writeSummaryPdf(const month_summary::Summary& summary, const QString& path);

/// The month's summary of the request (its month, year and product kind) read on the module's
/// connection and written as a PDF: the command line's and the month-end batch's. Throws DbError,
/// ReportError. Returns the pages written.
int writeSummaryPdfFor(TDataModule6& dm, const ReportRequest& request, const QString& path);
