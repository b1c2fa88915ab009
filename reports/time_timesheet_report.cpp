#include "reports/time_timesheet_report.h"
#include "data/data_module.h"
#include "data/formats.h"
#include "reports/report_style.h"

#include <QStringList>

using namespace report_style;

const QString kTimeTimesheet = QStringLiteral(
    "select person.s_caption fio,sum(d1) as sd1,sum(d2) as sd2,sum(d3) as sd3,sum(d4) as sd4,\n"
    "sum(d5) as sd5,sum(d6) as sd6,sum(d7) as sd7,sum(d8) as sd8,sum(d9) as sd9,\n"
    "sum(d10) as sd10,sum(d11) as sd11,sum(d12) as sd12,sum(d13) as sd13,\n"
    "sum(d14) as sd14,sum(d15) as sd15,sum(d16) as sd16,sum(d17) as sd17,\n"
    "sum(d18) as sd18,sum(d19) as sd19,sum(d20) as sd20,sum(d21) as sd21,\n"
    "sum(d22) as sd22,sum(d23) as sd23,sum(d24) as sd24,sum(d25) as sd25,\n"
    "sum(d26) as sd26,sum(d27) as sd27,sum(d28) as sd28,sum(d29) as sd29,\n"
    "sum(d30) as sd30,sum(d31) as sd31 from accounts_dep.h_tabel, cmn_contractor.person person where\n"
    "h_tabel.w_id=accounts_dep.person_code_id(person.s_code) and month=:mnth and\n"
    "year=:yea group by fio order by fio");

namespace {

constexpr Column kFio{0, 56};
constexpr double kDayX = 56, kDayWidth = 6.6;
constexpr Column kTotal{kDayX + 31 * kDayWidth, 277 - (kDayX + 31 * kDayWidth)};

Column day(int d) { return {kDayX + (d - 1) * kDayWidth, kDayWidth}; }

} // namespace

TForm15::TForm15(TDataModule6& dm, QObject* parent)
    : ReportWindow(dm, QStringLiteral("Form15"), PreviewZoom::WholePage, parent), H_Tabel(dm.ADO_DB, kTimeTimesheet)
{
    setReport(H_Tabel, QStringLiteral("H_Tabel"), QRLabel33, makeLayout(QRLabel33));
}

void TForm15::setMonth(int month, int year)
{
    H_Tabel.setParam(QStringLiteral("mnth"), month);
    H_Tabel.setParam(QStringLiteral("yea"), year);
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
