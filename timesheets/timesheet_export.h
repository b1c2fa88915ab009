#pragma once
#include "export/excel_export.h"

#include <QString>
#include <functional>

/// Told the rows written out of all rows, as a timesheet export goes on.
using ExportProgress = std::function<void(int written, int total)>;

/// The caption of an export button while it runs: "Excel (k из N)".
inline QString exportCaption(int written, int total)
{
    return QStringLiteral("Excel (") + QString::number(written) + QStringLiteral(" из ") + QString::number(total) +
           QLatin1Char(')');
}
