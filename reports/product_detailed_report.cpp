#include "reports/product_detailed_report.h"
#include "data/data_module.h"
#include "reports/report_style.h"
#include "rules/sheet_statements.h"

using namespace report_style;

namespace {

constexpr Column kKind = kDetailKind, kBrk{114, 14}, kMass{128, 22},
    kKolvo{150, 18}, kSumma{168, 22};

} // namespace

TForm21::TForm21(TDataModule6& dm, QObject* parent)
    : ReportWindow(dm, QStringLiteral("Form21"), PreviewZoom::PageWidth, parent), i_Report(dm.ADO_DB, sheet_statements::kProductDetailedReport)
{
    setReport(i_Report, QStringLiteral("i_Report"), QRLabel1, makeLayout(QRLabel1));
}

QString TForm21::titleFor(const QDate& from, const QDate& to)
{
    return periodTitle(QStringLiteral("Детальный отчет по продукции"), from, to);
}

ReportLayout TForm21::makeLayout(const ReportLabel& title)
{
    const QString money2 = QStringLiteral("#0.00");
    ReportLayout r(QPageLayout::Portrait);

    // Report header: the title, the column headings; a narrow spacer under it.
    Band& report = r.groupHeader({}, 2 * kLine + 2).lines(2);
    report.label(title, {0, 190}).setBold().setFontSize(kTitleFont);
    report.text(QStringLiteral("Брак"), kBrk).onLine(1).right().setBold();
    report.text(QStringLiteral("Коробки"), kMass).onLine(1).right().setBold();
    report.text(QStringLiteral("Кол-во"), kKolvo).onLine(1).right().setBold();
    report.text(QStringLiteral("Сумма"), kSumma).onLine(1).right().setBold();
    r.child(report, kSpacer);

    Band& product = r.groupHeader(QStringLiteral("nom"), kLine + 1).shaded(kGroupGrey);
    product.expr(QStringLiteral("nom"), {0, 190}).setBold();

    Band& detail = r.detail(kLine);
    addOperationColumns(detail);
    detail.expr(QStringLiteral("brk"), kBrk).right();
    detail.expr(QStringLiteral("mass"), kMass).right();
    detail.expr(QStringLiteral("kolvo"), kKolvo).right();
    detail.expr(QStringLiteral("summa"), kSumma).right().setMask(QStringLiteral("#0.000"));

    Band& productFooter = r.groupFooter(product, kLine).resetAfterPrint().setBold();
    productFooter.expr(QStringLiteral("sum(brk)"), kBrk).right();
    productFooter.expr(QStringLiteral("sum(mass)"), kMass).right().setMask(money2);
    productFooter.expr(QStringLiteral("sum(kolvo)"), kKolvo).right();
    productFooter.expr(QStringLiteral("sum(summa)"), kSumma).right().setMask(money2);

    Band& reportFooter = r.groupFooter(report, kLine + 1).framed();
    reportFooter.text(QStringLiteral("Итого:"), kKind).right();
    reportFooter.expr(QStringLiteral("sum(brk)"), kBrk).right();
    reportFooter.expr(QStringLiteral("sum(mass)"), kMass).right();
    reportFooter.expr(QStringLiteral("sum(kolvo)"), kKolvo).right();
    reportFooter.expr(QStringLiteral("sum(summa)"), kSumma).right().setMask(money2);

    r.pageFooter(kLine + 1).pageNumber({150, 40}).right();
    return r;
}
