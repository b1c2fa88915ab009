#include "app/sheet_kinds.h"
#include "data/data_module.h"
#include "export/excel_export.h"
#include "journal/history_window.h"
#include "refbooks/operations_list.h"
#include "reports/output_sheet.h"
#include "reports/report_window.h"
#include "timesheets/piecework_timesheet.h"
#include "timesheets/time_timesheet.h"

#include <algorithm>

bool mayExport(const SheetKind& sheet, access_rights::Role role)
{
    return std::any_of(sheet.startedBy.begin(), sheet.startedBy.end(), [role](const StartedBy& s) { return s.allows(role); });
}

const QList<SheetKind>& sheetKinds()
{
    const auto journalMenu = [](const char* item) { return StartedBy{QStringLiteral("Form1"), QString::fromLatin1(item)}; };
    const auto piecework = [journalMenu](const QString& name, const char* item, int mode) {
        return SheetKind{name, PeriodKind::Month, {journalMenu(item)},
                         [mode](TDataModule6& dm, ExcelApp& excel, const ReportRequest& r) {
                             return writePieceworkTimesheet(dm.ADO_DB, mode, r.month, r.year, excel);
                         }};
    };
    static const QList<SheetKind> kinds = {
        {QStringLiteral("output"), PeriodKind::Range, {{QStringLiteral("Form18"), QStringLiteral("Button6")}},
         [](TDataModule6& dm, ExcelApp& excel, const ReportRequest& request) {
             Dataset XLS_Rep(dm.ADO_DB, sheet_statements::kXlsRep);
             return writeOutputSheet(XLS_Rep, request, excel);
         }},
        // The operations list's and the timesheets' sheets, written by their windows' writers.
        // The operations list opens from "Справочники" → "Цены", and as the operation picker of
        // a new journal entry ("Добавить"), where its "Excel" stays.
        {QStringLiteral("operations"), PeriodKind::None, {journalMenu("N4"), journalMenu("Button1")},
         [](TDataModule6& dm, ExcelApp& excel, const ReportRequest&) {
             return writeOperationsSheet(dm.ADO_DB, excel) < 0 ? -1 : 1;
         }},
        {QStringLiteral("time-timesheet"), PeriodKind::Month, {journalMenu("N13")},
         [](TDataModule6& dm, ExcelApp& excel, const ReportRequest& r) {
             return writeTimeTimesheet(dm.ADO_DB, r.month, r.year, excel);
         }},
        piecework(QStringLiteral("piecework"), "N9", piecework_mode::kPiecework),
        piecework(QStringLiteral("utility-works"), "N14", piecework_mode::kUtilityWorks),
        piecework(QStringLiteral("average-piecework"), "N15", piecework_mode::kAveragePiecework),
        piecework(QStringLiteral("general"), "N17", piecework_mode::kGeneral),
        // Every change of the period, as the history window shows them with its box unticked.
        {QStringLiteral("history"), PeriodKind::Range, {journalMenu("N20")},
         [](TDataModule6& dm, ExcelApp& excel, const ReportRequest& r) {
             // A plant's month of changes goes from the server into the workbook's file a
             // batch at a time.
             using namespace change_history;
             HistorySheet sheet(excel);
             if (!sheet.started()) return -1;
             eachPeriodChange(dm.ADO_DB, r.from, r.to, Scope::Everything, [&](const Record& record) { sheet.add(record); });
             return sheet.finish();
         },
         false},
    };
    return kinds;
}

const SheetKind* findSheetKind(const QString& name)
{
    for (const SheetKind& k : sheetKinds())
        if (k.name == name) return &k;
    return nullptr;
}
