#pragma once
#include "timesheets/timesheet_export.h"
#include "rules/month_rebuild.h"

#include <QList>
#include <functional>

class Dataset;
class Prompts;
class QProgressBar;
class QPushButton;

class JobProgress;
class QSqlDatabase;

/// Runs a month's rebuild in the background on a session of its own, with the window's progress
/// bar and "Отмена" shown while it runs. The queries the window shows are closed first and
/// reopened when it ends, also when it fails (its error is shown) or is stopped (the month then
/// stays as it was: the rebuild is one transaction).
void rebuildInBackground(JobProgress& work, const QList<Dataset*>& shown,
                         std::function<void(const QSqlDatabase& db, const month_rebuild::Progress&)> rebuild);

/// Runs a spreadsheet export under the hourglass, its progress in the button's caption
/// ("Excel (k из N)") with the window repainted after each row.
void exportShowingProgress(QPushButton* button, const std::function<void(const ExportProgress&)>& write);
