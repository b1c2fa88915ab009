#pragma once
#include "timesheets/timesheet_export.h"
#include "rules/month_rebuild.h"
#include "ui/month_choice.h"

#include <QList>
#include <functional>

class Dataset;
class Prompts;
class QComboBox;
class QProgressBar;
class QPushButton;

class JobProgress;
class JobContext;
class QSqlDatabase;
class QWidget;

/// The sheets a window shows, read one statement each; or all through one statement (together,
/// with the first sheet's parameter values) whose rows carry in the column part the number of
/// the sheet they belong to, from 1, in each sheet's own order.
struct ShownSheets {
    ShownSheets(const QList<Dataset*>& sheets) : sheets(sheets) {}
    ShownSheets(const QList<Dataset*>& sheets, const QString& together, const QString& part)
        : sheets(sheets), together(together), part(part)
    {
    }
    QList<Dataset*> sheets;
    QString together;
    QString part;
};

/// Reads the window's sheets in the background (see JobProgress): the datasets are closed, their
/// rows fetched on the job's session with their statements as they are now, and handed to them
/// when the read ends; also (on the job's thread) whatever more the window reads (extra), and
/// then shown (done, on the window's thread). A read stopped or failed leaves them closed. A
/// read still running is stopped first: the newest choice of month wins.
void openInBackground(JobProgress& work, const ShownSheets& sheets,
                      std::function<void(JobContext&)> extra = {}, std::function<void()> done = {});

/// Runs a month's rebuild in the background on a session of its own, with the window's progress
/// bar and "Отмена" shown and the controls given locked while it runs, once the user agreed to
/// the question (what will be rebuilt; title "Перестроить"). The queries the window shows are
/// closed first and read again when it ends, also when it fails (its error is shown) or is
/// stopped (the month then stays as it was: the rebuild is one transaction); a rebuild that ends
/// says how many rows of the month (monthShown, "MM.YYYY") it changed.
void rebuildInBackground(JobProgress& work, Prompts& prompts, const QString& question, const QString& monthShown,
                         const ShownSheets& shown, QList<QWidget*> locked,
                         std::function<month_rebuild::Changes(const QSqlDatabase& db, const month_rebuild::Progress&)> rebuild);


/// Runs a spreadsheet export under the hourglass, its progress in the button's caption
/// ("Excel (k из N)") with the window repainted after each row.
void exportShowingProgress(QPushButton* button, const std::function<void(const ExportProgress&)>& write);
