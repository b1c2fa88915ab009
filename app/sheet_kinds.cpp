#include "app/sheet_kinds.h"
#include "data/data_module.h"
#include "export/excel_export.h"
#include "reports/output_sheet.h"

const QList<SheetKind>& sheetKinds()
{
    const StartedBy refBooks{QStringLiteral("Form1"), QStringLiteral("N2")};     // menu "Справочники"
    const StartedBy timesheets{QStringLiteral("Form1"), QStringLiteral("N11")};  // menu "Табель"
    static const QList<SheetKind> kinds = {
        {QStringLiteral("output"), PeriodKind::Range, {QStringLiteral("Form18"), QStringLiteral("Button6")},
         [](TDataModule6& dm, ExcelApp& excel, const ReportRequest& request) {
             Dataset XLS_Rep(dm.ADO_DB, kXlsRep);
             return writeOutputSheet(XLS_Rep, request, excel);
         }},
        // The operations list's and the timesheets' sheets, written by their windows' writers.
        {QStringLiteral("operations"), PeriodKind::None, refBooks, {}},
        {QStringLiteral("time-timesheet"), PeriodKind::Month, timesheets, {}},
        {QStringLiteral("piecework"), PeriodKind::Month, timesheets, {}},
        {QStringLiteral("utility-works"), PeriodKind::Month, timesheets, {}},
        {QStringLiteral("average-piecework"), PeriodKind::Month, timesheets, {}},
        {QStringLiteral("general"), PeriodKind::Month, timesheets, {}},
    };
    return kinds;
}

const SheetKind* findSheetKind(const QString& name)
{
    for (const SheetKind& k : sheetKinds())
        if (k.name == name) return &k;
    return nullptr;
}
