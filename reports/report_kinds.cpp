#include "reports/report_kinds.h"
#include "reports/product_detailed_report.h"
#include "reports/month_summary_charts.h"
#include "reports/product_report.h"
#include "reports/time_timesheet_report.h"
#include "reports/worker_detailed_report.h"
#include "reports/worker_report.h"

namespace {

template <class Form>
std::unique_ptr<ReportWindow> make(TDataModule6& dm)
{
    return std::make_unique<Form>(dm);
}

} // namespace

const QList<ReportKind>& reportKinds()
{
    const QString hub = QStringLiteral("Form18");
    static const QList<ReportKind> kinds = {
        {QStringLiteral("products"), QStringLiteral("Form17"), PeriodKind::Range, {hub, QStringLiteral("Button2")}, &make<TForm17>},
        {QStringLiteral("workers"), QStringLiteral("Form16"), PeriodKind::Range, {hub, QStringLiteral("Button4")}, &make<TForm16>},
        {QStringLiteral("workers-detailed"), QStringLiteral("Form20"), PeriodKind::Range, {hub, QStringLiteral("Button1")}, &make<TForm20>},
        {QStringLiteral("products-detailed"), QStringLiteral("Form21"), PeriodKind::Range, {hub, QStringLiteral("Button3")}, &make<TForm21>},
        // Printed from the time timesheet, which the menu "Табель" opens.
        {QStringLiteral("time-timesheet"), QStringLiteral("Form15"), PeriodKind::Month, {QStringLiteral("Form1"), QStringLiteral("N11")}, &make<TForm15>},
        // "Отчеты" → "Сводка за месяц": charts, no banded layout.
        {QStringLiteral("summary"), QStringLiteral("Form35"), PeriodKind::Month, {QStringLiteral("Form1"), QStringLiteral("SummaryAction")},
         nullptr, &writeSummaryPdfFor, true},
    };
    return kinds;
}

const ReportKind* findReportKind(const QString& name)
{
    for (const ReportKind& k : reportKinds())
        if (k.name == name) return &k;
    return nullptr;
}
