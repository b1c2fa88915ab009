#include "reports/product_report.h"
#include "data/data_module.h"
#include "reports/report_style.h"
#include "rules/sheet_statements.h"

using namespace report_style;

namespace {

constexpr Column kKind{8, 34}, kVid{42, 48}, kColour{90, 36}, kMass{126, 30}, kKolvo{156, 34};

} // namespace

TForm17::TForm17(TDataModule6& dm, QObject* parent)
    : ReportWindow(dm, QStringLiteral("Form17"), PreviewZoom::PageWidth, parent), t_Report(dm.ADO_DB, sheet_statements::kProductReport)
{
    setReport(t_Report, QStringLiteral("t_Report"), QRLabel1, makeLayout(QRLabel1));
}

QString TForm17::titleFor(const QDate& from, const QDate& to)
{
    return periodTitle(QStringLiteral("Отчет по продукции"), from, to);
}

ReportLayout TForm17::makeLayout(const ReportLabel& title)
{
    ReportLayout r(QPageLayout::Portrait);

    // Report header: the title, the column headings; a narrow spacer under it.
    Band& report = r.groupHeader({}, 2 * kLine + 2).lines(2);
    report.label(title, {0, 190}).setBold().setFontSize(kTitleFont);
    report.text(QStringLiteral("Коробки"), kMass).onLine(1).right().setBold();
    report.text(QStringLiteral("Количество"), kKolvo).onLine(1).right().setBold();
    r.child(report, kSpacer);

    Band& product = r.groupHeader(QStringLiteral("nom"), kLine + 1).shaded(kGroupGrey);
    product.expr(QStringLiteral("nom"), {0, 190}).setBold();

    Band& detail = r.detail(kLine);
    detail.expr(kKindText, kKind);
    detail.expr(QStringLiteral("vid"), kVid);
    detail.expr(kColourText, kColour);
    detail.expr(QStringLiteral("mass"), kMass).right();
    detail.expr(QStringLiteral("kolvo"), kKolvo).right();

    Band& productFooter = r.groupFooter(product, kLine).resetAfterPrint().setBold();
    productFooter.expr(QStringLiteral("sum(mass)"), kMass).right();
    productFooter.expr(QStringLiteral("sum(kolvo)"), kKolvo).right();

    Band& reportFooter = r.groupFooter(report, kLine + 1).framed();
    reportFooter.text(QStringLiteral("Итого:"), kColour).right();
    reportFooter.expr(QStringLiteral("sum(mass)"), kMass).right().setMask(QStringLiteral("#0"));
    reportFooter.expr(QStringLiteral("sum(kolvo)"), kKolvo).right();

    r.pageFooter(kLine + 1).pageNumber({150, 40}).right();
    return r;
}
