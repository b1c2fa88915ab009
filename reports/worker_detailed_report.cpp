#include "reports/worker_detailed_report.h"
#include "data/data_module.h"
#include "reports/report_style.h"
#include "rules/sheet_statements.h"

using namespace report_style;

namespace {

constexpr Column kTime{114, 16}, kBrk{130, 14},
    kKolvo{144, 22}, kSumma{166, 24};
// The worker's table of hours and amounts.
constexpr Column kRowName{62, 40}, kHours{102, 22}, kAmount{124, 33}, kNet{157, 33};
// The report footer's lines.
constexpr Column kTotalName{82, 42}, kTotal{124, 33}, kTotalNet{157, 33};

} // namespace

TForm20::TForm20(TDataModule6& dm, QObject* parent)
    : ReportWindow(dm, QStringLiteral("Form20"), PreviewZoom::PageWidth, parent), w_Report(dm.ADO_DB, sheet_statements::kWorkerDetailedReport)
{
    setReport(w_Report, QStringLiteral("w_Report"), QRLabel1, makeLayout(QRLabel1));
}

QString TForm20::titleFor(const QDate& from, const QDate& to)
{
    return periodTitle(QStringLiteral("Детальный отчет по рабочим"), from, to);
}

ReportLayout TForm20::makeLayout(const ReportLabel& title)
{
    const QString money = QStringLiteral("#0.00");
    ReportLayout r(QPageLayout::Portrait);

    Band& report = r.groupHeader({}, kLine + 3);
    report.label(title, {0, 190}).setBold().setFontSize(kTitleFont);
    r.child(report, kSpacer);

    Band& worker = r.groupHeader(QStringLiteral("fio"), kLine + 1).shaded(kGroupGrey);
    worker.expr(QStringLiteral("fio"), {0, 114}).setBold();
    worker.text(QStringLiteral("Часы"), kTime).right();
    worker.text(QStringLiteral("Брак"), kBrk).right();
    worker.text(QStringLiteral("Количество"), kKolvo).right();
    worker.text(QStringLiteral("Сумма"), kSumma).right();

    Band& detail = r.detail(kLine);
    addOperationColumns(detail);
    detail.expr(QStringLiteral("sum_time"), kTime).right();
    detail.expr(QStringLiteral("brk"), kBrk).right();
    detail.expr(QStringLiteral("kolvo"), kKolvo).right();
    detail.expr(QStringLiteral("summa"), kSumma).right().setMask(money);

    // Worker footer: the worker's sums, then the table of piecework and hour-paid work.
    Band& workerFooter = r.groupFooter(worker, 9 * kLine + 2).lines(9).resetAfterPrint().setBold();
    workerFooter.expr(QStringLiteral("sum(brk)"), kBrk).right();
    workerFooter.expr(QStringLiteral("sum(kolvo)"), kKolvo).right();
    workerFooter.expr(QStringLiteral("sum(summa)"), kSumma).right().setMask(money);
    workerFooter.text({}, kRowName).onLine(1).framed();
    workerFooter.text(QStringLiteral("Часы"), kHours).onLine(1).centre().framed();
    workerFooter.text(QStringLiteral("Сумма с р/к (р.)"), kAmount).onLine(1).centre().framed();
    workerFooter.text(QStringLiteral("Сумма без р/к (р.)"), kNet).onLine(1).centre().framed();
    struct TableLine {
        const char* name;
        const char* hours;
        const char* amount;
        const char* net;
        bool masked;
    };
    static const TableLine table[] = {
        {"Хоз. раб. (дн.)", "f_sum7h", "f_sum7", "f_sum7/1.2", false},
        {"Хоз. раб. (нч.)", "f_sum7h_n", "f_sum7_n", "f_sum7_n/1.2", false},
        {"Ср. сд. (дн.)", "f_sum8h", "f_sum8", "f_sum8/1.2", false},
        {"Ср. сд. (нч.)", "f_sum8h_n", "f_sum8_n", "f_sum8_n/1.2", false},
        {"Сдел.", "sum(sum_time)", "sum(summa)", "sum(summa)/1.2", true},
        {"Итого:", "sum(sum_time)+f_sum7h+f_sum7h_n+f_sum8h+f_sum8h_n",
         "sum(summa)+w_Report.f_sum7+w_Report.f_sum7_n + w_Report.f_sum8 + w_Report.f_sum8_n",
         "(sum(summa)+w_Report.f_sum7+w_Report.f_sum7_n + w_Report.f_sum8 + w_Report.f_sum8_n)/1.2", true},
        {"Цена ср. сд. за 1 ч.:", nullptr, "sum(summa)/sum(sum_time)", "sum(summa)/sum(sum_time)/1.2", true},
    };
    int line = 2;
    for (const TableLine& t : table) {
        workerFooter.text(QString::fromUtf8(t.name), kRowName).onLine(line).framed();
        if (t.hours) {
            ReportItem& hours = workerFooter.expr(QString::fromLatin1(t.hours), kHours).onLine(line).right().framed();
            if (t.masked) hours.setMask(money);
        } else {
            workerFooter.text({}, kHours).onLine(line).framed();
        }
        ReportItem& amount = workerFooter.expr(QString::fromLatin1(t.amount), kAmount).onLine(line).right().framed();
        if (t.masked) amount.setMask(money);
        // An amount divided by 1.2 is no field value: it always gets the money mask.
        workerFooter.expr(QString::fromLatin1(t.net), kNet).onLine(line).right().framed().setMask(money);
        ++line;
    }

    Band& reportFooter = r.groupFooter(report, 4 * kLine + 2).lines(4).setBold().framed();
    reportFooter.expr(QStringLiteral("sum(kolvo)"), kKolvo).right();
    reportFooter.expr(QStringLiteral("sum(summa)"), kSumma).right().setMask(money);
    reportFooter.text(QStringLiteral("Хоз.р.:"), kTotalName).onLine(1).right();
    reportFooter.expr(QStringLiteral("f_sum7_all"), kTotal).onLine(1).right().setMask(money);
    reportFooter.expr(QStringLiteral("f_sum7_all/1.2"), kTotalNet).onLine(1).right().setMask(money);
    reportFooter.text(QStringLiteral("Ср.сд.:"), kTotalName).onLine(2).right();
    reportFooter.expr(QStringLiteral("f_sum8_all"), kTotal).onLine(2).right().setMask(money);
    reportFooter.expr(QStringLiteral("f_sum8_all/1.2"), kTotalNet).onLine(2).right().setMask(money);
    reportFooter.text(QStringLiteral("Итого:"), kTotalName).onLine(3).right();
    reportFooter.expr(QStringLiteral("(sum(summa)+f_sum7_all+f_sum8_all)"), kTotal).onLine(3).right().setMask(money);
    reportFooter.expr(QStringLiteral("(sum(summa)+f_sum7_all+f_sum8_all)/1.2"), kTotalNet).onLine(3).right().setMask(money);

    r.pageFooter(kLine + 1).pageNumber({150, 40}).right();
    return r;
}
