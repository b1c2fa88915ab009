#include "reports/time_timesheet_report.h"
#include "data/data_module.h"
#include "data/formats.h"
#include "reports/report_style.h"
#include "rules/sheet_statements.h"

#include <QStringList>

using namespace report_style;

namespace {

constexpr Column kFio{0, 56};
constexpr double kDayX = 56, kDayWidth = 6.6;
constexpr Column kTotal{kDayX + 31 * kDayWidth, 277 - (kDayX + 31 * kDayWidth)};

Column day(int d) { return {kDayX + (d - 1) * kDayWidth, kDayWidth}; }

} // namespace

TForm15::TForm15(TDataModule6& dm, QObject* parent)
    : ReportWindow(dm, QStringLiteral("Form15"), PreviewZoom::WholePage, parent), H_Tabel(dm.ADO_DB, sheet_statements::kTimeTimesheet)
{
    setReport(H_Tabel, QStringLiteral("H_Tabel"), QRLabel33, makeLayout(QRLabel33));
}

void TForm15::setMonth(int month, int year)
{
    sheet_statements::setMonth(H_Tabel, month, year);
}

QString TForm15::titleFor(int month, int year)
{
    return formats::monthName(month) + QLatin1Char(' ') + QString::number(year) + QStringLiteral(" г.");
}

ReportLayout TForm15::makeLayout(const ReportLabel& title)
{
    ReportLayout r(QPageLayout::Landscape);

    // Printed once at the start: the month, the day headings and the total's heading.
    Band& header = r.groupHeader({}, kLine + 1.5).framed(FrameTop | FrameBottom).setBold();
    header.label(title, kFio);
    for (int d = 1; d <= 31; ++d) header.text(QString::number(d), day(d)).centre().framed();
    header.text(QStringLiteral("Итого"), kTotal).centre();

    Band& detail = r.detail(kLine + 0.5).framed(FrameTop | FrameBottom);
    detail.expr(QStringLiteral("fio"), kFio);
    QStringList days;
    for (int d = 1; d <= 31; ++d) {
        detail.expr(QStringLiteral("sd%1").arg(d), day(d)).centre();
        days << QStringLiteral("sd%1").arg(d);
    }
    // An empty day counts as 0 in the total.
    detail.expr(days.join(QLatin1Char('+')), kTotal).centre().setBold();

    r.pageFooter(kLine + 1).pageNumber({237, 40}).right();
    return r;
}
