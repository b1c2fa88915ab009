#pragma once
#include "timesheets/timesheet_export.h"
#include "rules/month_rebuild.h"

#include <QList>
#include <functional>

class Dataset;
class Prompts;
class QProgressBar;
class QPushButton;

/// Runs a month's rebuild with the window's progress bar shown while it runs. The queries
/// the window shows are closed first and reopened afterwards, also when the rebuild fails
/// (its error goes on to the caller); the bar is hidden again either way.
void rebuildShowingProgress(QProgressBar* bar, Prompts& prompts, const QList<Dataset*>& shown,
                            const std::function<void(const month_rebuild::Progress&)>& rebuild);

/// Runs a spreadsheet export under the hourglass, its progress in the button's caption
/// ("Excel (k из N)") with the window repainted after each row.
void exportShowingProgress(QPushButton* button, const std::function<void(const ExportProgress&)>& write);
