#include "app/sheet_kinds.h"
#include "data/data_module.h"
#include "export/excel_export.h"
#include "refbooks/operations_list.h"
#include "reports/output_sheet.h"
#include "reports/report_window.h"
#include "timesheets/piecework_timesheet.h"
#include "timesheets/time_timesheet.h"

const QList<SheetKind>& sheetKinds()
{
    const StartedBy refBooks{QStringLiteral("Form1"), QStringLiteral("N2")};     // menu "Справочники"
    const StartedBy timesheets{QStringLiteral("Form1"), QStringLiteral("N11")};  // menu "Табель"
    const auto piecework = [timesheets](const QString& name, int mode) {
        return SheetKind{name, PeriodKind::Month, timesheets,
                         [mode](TDataModule6& dm, ExcelApp& excel, const ReportRequest& r) {
                             return writePieceworkTimesheet(dm.ADO_DB, mode, r.month, r.year, excel);
                         }};
    };
    static const QList<SheetKind> kinds = {
        {QStringLiteral("output"), PeriodKind::Range, {QStringLiteral("Form18"), QStringLiteral("Button6")},
         [](TDataModule6& dm, ExcelApp& excel, const ReportRequest& request) {
             Dataset XLS_Rep(dm.ADO_DB, kXlsRep);
             return writeOutputSheet(XLS_Rep, request, excel);
         }},
        // The operations list's and the timesheets' sheets, written by their windows' writers.
        {QStringLiteral("operations"), PeriodKind::None, refBooks,
         [](TDataModule6& dm, ExcelApp& excel, const ReportRequest&) {
             return writeOperationsSheet(dm.ADO_DB, excel) < 0 ? -1 : 1;
         }},
        {QStringLiteral("time-timesheet"), PeriodKind::Month, timesheets,
         [](TDataModule6& dm, ExcelApp& excel, const ReportRequest& r) {
             return writeTimeTimesheet(dm.ADO_DB, r.month, r.year, excel);
         }},
        piecework(QStringLiteral("piecework"), piecework_mode::kPiecework),
        piecework(QStringLiteral("utility-works"), piecework_mode::kUtilityWorks),
        piecework(QStringLiteral("average-piecework"), piecework_mode::kAveragePiecework),
        piecework(QStringLiteral("general"), piecework_mode::kGeneral),
    };
    return kinds;
}

const SheetKind* findSheetKind(const QString& name)
{
    for (const SheetKind& k : sheetKinds())
        if (k.name == name) return &k;
    return nullptr;
}
