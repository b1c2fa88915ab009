#include "reports/worker_report.h"
#include "data/data_module.h"
#include "reports/report_style.h"
#include "rules/sheet_statements.h"

using namespace report_style;

namespace {

constexpr Column kKind{8, 32}, kVid{40, 36}, kColour{76, 26}, kKolvo{102, 22}, kSumma{124, 32}, kNet{156, 34};
constexpr Column kLabel1{8, 14}, kValue1{22, 20}, kLabel2{44, 15}, kValue2{59, 20};

} // namespace

TForm16::TForm16(TDataModule6& dm, QObject* parent)
    : ReportWindow(dm, QStringLiteral("Form16"), PreviewZoom::PageWidth, parent), t_Report(dm.ADO_DB, sheet_statements::kWorkerReport)
{
    setReport(t_Report, QStringLiteral("t_Report"), QRLabel1, makeLayout(QRLabel1));
}

QString TForm16::titleFor(const QDate& from, const QDate& to)
{
    return periodTitle(QStringLiteral("Отчет по рабочим"), from, to);
}

ReportLayout TForm16::makeLayout(const ReportLabel& title)
{
    const QString money2 = QStringLiteral("#0.00"), money3 = QStringLiteral("#0.000");
    ReportLayout r(QPageLayout::Portrait);

    // Report header: the title on a light background; a narrow spacer under it.
    Band& report = r.groupHeader({}, kLine + 3).shaded(kTitleLight).setBold();
    report.label(title, {0, 190}).setFontSize(kTitleFont);
    r.child(report, kSpacer);

    Band& worker = r.groupHeader(QStringLiteral("t_Report.fio"), kLine + 1).shaded(kGroupGrey);
    worker.expr(QStringLiteral("fio"), {0, 150}).setBold();
    worker.text(QStringLiteral("Сумма без Р/К"), kNet).right();

    Band& product = r.groupHeader(QStringLiteral("t_Report.nom"), kLine + 0.5);
    product.expr(QStringLiteral("nom"), {4, 186}).setBold();

    Band& detail = r.detail(kLine);
    detail.expr(kKindText, kKind);
    detail.expr(QStringLiteral("vid"), kVid).centre();
    detail.expr(kColourText, kColour);
    detail.expr(QStringLiteral("kolvo"), kKolvo).right();
    detail.expr(QStringLiteral("summa"), kSumma).right().setMask(money3);

    Band& productFooter = r.groupFooter(product, 2 * kLine).lines(2).resetAfterPrint().setBold();
    productFooter.text(QStringLiteral("Хоз.р.:"), kLabel1);
    productFooter.expr(QStringLiteral("f_sum7"), kValue1).right();
    productFooter.text(QStringLiteral("Ср. сд.:"), kLabel2);
    productFooter.expr(QStringLiteral("f_sum8"), kValue2).right();
    productFooter.expr(QStringLiteral("sum(kolvo)"), kKolvo).right();
    productFooter.expr(QStringLiteral("sum(summa)"), kSumma).right().setMask(money3);
    productFooter.expr(QStringLiteral("sum(summa/1.2)"), kNet).right().setMask(money3);
    productFooter.text(QStringLiteral("Итого:"), kKolvo).onLine(1).right();
    productFooter.expr(QStringLiteral("sum(summa) + t_Report.f_sum7 + t_Report.f_sum8"), kSumma).onLine(1).right().setMask(money3);
    productFooter.expr(QStringLiteral("(sum(summa) + t_Report.f_sum7+ t_Report.f_sum8)/1.2"), kNet).onLine(1).right().setMask(money3);

    Band& workerFooter = r.groupFooter(worker, 2 * kLine + 1).lines(2).resetAfterPrint().setBold().framed(FrameBottom);
    workerFooter.expr(QStringLiteral("sum(summa)"), kSumma).right().setMask(money2);
    workerFooter.expr(QStringLiteral("sum(summa/1.2)"), kNet).right().setMask(money2);
    workerFooter.expr(QStringLiteral("sum(summa)+ t_Report.f_sum78"), kSumma).onLine(1).right().setMask(money3);
    workerFooter.expr(QStringLiteral("(sum(summa)+f_sum78)/1.2"), kNet).onLine(1).right().setMask(money3);

    Band& reportFooter = r.groupFooter(report, 4 * kLine + 2).lines(4).setBold().framed();
    reportFooter.expr(QStringLiteral("sum(summa)"), kSumma).right().setMask(money2);
    reportFooter.expr(QStringLiteral("sum(summa/1.2)"), kNet).right().setMask(money2);
    reportFooter.text(QStringLiteral("Хоз.р.:"), kKolvo).onLine(1).right();
    reportFooter.expr(QStringLiteral("f_sum7_all"), kSumma).onLine(1).right().setMask(money2);
    reportFooter.expr(QStringLiteral("f_sum7_all/1.2"), kNet).onLine(1).right().setMask(money2);
    reportFooter.text(QStringLiteral("Ср.сд.:"), kKolvo).onLine(2).right();
    reportFooter.expr(QStringLiteral("f_sum8_all"), kSumma).onLine(2).right().setMask(money2);
    reportFooter.expr(QStringLiteral("f_sum8_all/1.2"), kNet).onLine(2).right().setMask(money2);
    reportFooter.text(QStringLiteral("Итого:"), kKolvo).onLine(3).right();
    reportFooter.expr(QStringLiteral("(sum(summa)+f_sum7_all+f_sum8_all)"), kSumma).onLine(3).right().setMask(money2);
    reportFooter.expr(QStringLiteral("(sum(summa)+f_sum7_all+f_sum8_all)/1.2"), kNet).onLine(3).right().setMask(money2);

    r.pageFooter(kLine + 1).pageNumber({150, 40}).right();
    return r;
}
