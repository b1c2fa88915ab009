#pragma once
#include "reports/report_kinds.h"

#include <functional>

class ExcelApp;
struct ReportRequest;

/// One spreadsheet the program makes, as it can be written without windows: its name on the
/// command line, what it is made for, the controls that open its window or make it there (the
/// role rule: a role may have the sheet when it may use any of them), and the writer that its
/// window uses.
struct SheetKind {
    QString name;   ///< "output"
    PeriodKind period;
    QList<StartedBy> startedBy;
    /// Starts a new workbook in excel and writes the sheet into it, as its window does (showing
    /// it does nothing on the command line's handle for files); -1 when no workbook could be
    /// started. Empty while the window's writer is not part of the build.
    std::function<int(TDataModule6& dm, ExcelApp& excel, const ReportRequest& request)> write;
    /// Whether a period's sheet is made for a product kind (--kind).
    bool byProductKind = true;
};

/// Whether the role may have the sheet: it can reach the window that makes it.
bool mayExport(const SheetKind& sheet, access_rights::Role role);

/// Every spreadsheet of the program.
const QList<SheetKind>& sheetKinds();
/// The sheet of that command-line name, or nullptr.
const SheetKind* findSheetKind(const QString& name);
