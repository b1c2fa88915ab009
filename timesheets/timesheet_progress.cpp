#include "timesheets/timesheet_progress.h"
#include "data/dataset.h"
#include "ui/guard.h"
#include "ui/job_progress.h"

#include <QApplication>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>

void rebuildInBackground(JobProgress& work, const QList<Dataset*>& shown,
                         std::function<void(const QSqlDatabase& db, const month_rebuild::Progress&)> rebuild)
{
    if (work.isRunning()) return;
    for (Dataset* q : shown) q->close();
    work.run(
        [rebuild = std::move(rebuild)](JobContext& context) {
            rebuild(context.db(), [&context](int done, int total) { context.progress(done, total); });
        },
        [shown](BackgroundJob::Outcome) {
            for (Dataset* q : shown) q->open();
        });
}

void exportShowingProgress(QPushButton* button, const std::function<void(const ExportProgress&)>& write)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const auto defaultCursor = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
    write([button](int written, int total) {
        button->setText(exportCaption(written, total));
        QApplication::processEvents();
    });
}
