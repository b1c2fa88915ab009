#pragma once
#include "data/access.h"
#include "rules/sheet_statements.h"

#include <QList>
#include <QString>
#include <memory>

class ReportWindow;
class TDataModule6;

/// What a report or a sheet is made for: a half-open period with a product kind, a month, or
/// nothing (the whole book).
enum class PeriodKind { Range, Month, None };

/// The control that starts a report or a sheet in its window; a role that has the control
/// disabled may not have the report or the sheet by any other way either.
struct StartedBy {
    QString window;   ///< "Form18"
    QString control;  ///< "Button2"
    bool allows(access_rights::Role role) const { return access_rights::mayUse(role, window, control); }
};

/// One printed report: its name on the command line, its report window and layout, what it
/// is made for, and what starts it.
struct ReportKind {
    QString name;       ///< "products"
    QString window;     ///< "Form17"
    PeriodKind period;
    StartedBy startedBy;
    std::unique_ptr<ReportWindow> (*make)(TDataModule6& dm);
    /// A report that is no banded layout (the month's summary of charts) reads and writes its PDF
    /// itself: make is then nullptr. Throws DbError, ReportError.
    int (*writePdf)(TDataModule6& dm, const ReportRequest& request, const QString& path) = nullptr;
    /// Whether a month's report is held to the product kind a role is held to (the warehouse's
    /// finished products), as the hub's period reports are.
    bool byProductKind = false;
};

/// Every printed report, in the hub's order; then the time timesheet's and the month's summary.
const QList<ReportKind>& reportKinds();
/// The report of that command-line name, or nullptr.
const ReportKind* findReportKind(const QString& name);
