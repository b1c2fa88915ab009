#include "timesheets/timesheet_progress.h"
#include "data/dataset.h"
#include "ui/guard.h"
#include "ui/job_progress.h"

#include <QApplication>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>

namespace {

// The sheets' statements as they are when the read starts, and the rows read for them.
struct SheetRead {
    explicit SheetRead(const QList<Dataset*>& sheets) : sheets(sheets)
    {
        for (Dataset* d : sheets) statements << d->statement();
    }
    void fetch(JobContext& context, bool tellProgress)
    {
        for (const Statement& s : std::as_const(statements)) {
            if (tellProgress) context.progress(int(rows.size()), int(statements.size()));
            rows.push_back(Dataset::fetch(s, context.db()));
        }
    }
    /// Hands the rows over where all were read; else opens the sheets here.
    void adoptOrOpen()
    {
        const bool read = rows.size() == size_t(sheets.size());
        for (int i = 0; i < sheets.size(); ++i) {
            if (read) sheets[i]->adopt(std::move(rows[size_t(i)]));
            else sheets[i]->open();
        }
    }

    QList<Dataset*> sheets;
    QList<Statement> statements;
    std::vector<Dataset::Snapshot> rows;
};

} // namespace

void openInBackground(JobProgress& work, const QList<Dataset*>& sheets, std::function<void(JobContext&)> extra,
                      std::function<void()> done)
{
    work.stop();
    for (Dataset* d : sheets) d->close();
    auto read = std::make_shared<SheetRead>(sheets);
    work.run(
        [read, extra = std::move(extra)](JobContext& context) {
            read->fetch(context, true);
            if (extra) extra(context);
        },
        [read, done = std::move(done)](BackgroundJob::Outcome outcome) {
            if (outcome != BackgroundJob::Outcome::Done) return;
            read->adoptOrOpen();
            if (done) done();
        });
}

void rebuildInBackground(JobProgress& work, const QList<Dataset*>& shown, QList<QWidget*> locked,
                         std::function<void(const QSqlDatabase& db, const month_rebuild::Progress&)> rebuild)
{
    if (work.isRunning()) return;
    for (Dataset* q : shown) q->close();
    auto read = std::make_shared<SheetRead>(shown);
    work.run(
        [read, rebuild = std::move(rebuild)](JobContext& context) {
            rebuild(context.db(), [&context](int done, int total) { context.progress(done, total); });
            read->fetch(context, false);
        },
        [read](BackgroundJob::Outcome) { read->adoptOrOpen(); }, std::move(locked));
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
