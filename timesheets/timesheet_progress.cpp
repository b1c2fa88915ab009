#include "timesheets/timesheet_progress.h"
#include "data/prompts.h"
#include "data/dataset.h"
#include "data/db_error.h"
#include "ui/guard.h"
#include "ui/job_progress.h"

#include <QComboBox>

#include <QApplication>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <optional>

namespace {

// The sheets' statements as they are when the read starts, and the rows read for them.
struct SheetRead {
    explicit SheetRead(const ShownSheets& shown) : sheets(shown.sheets), part(shown.part)
    {
        if (!shown.together.isEmpty() && !sheets.isEmpty()) {
            Statement together(shown.together);
            const Statement& first = sheets.first()->statement();
            for (const QString& name : together.parameterNames()) together.setParam(name, first.param(name));
            statements << together;
        } else {
            for (Dataset* d : sheets) statements << d->statement();
        }
    }
    void fetch(JobContext& context, bool tellProgress)
    {
        for (const Statement& s : std::as_const(statements)) {
            if (tellProgress) context.progress(int(rows.size()), int(statements.size()));
            rows.push_back(Dataset::fetch(s, context.db()));
        }
        if (!part.isEmpty() && rows.size() == 1) rows = split(std::move(rows.front()));
    }
    /// The rows of one statement for all sheets dealt out to each by the number in the part column.
    std::vector<Dataset::Snapshot> split(Dataset::Snapshot all) const
    {
        std::vector<Dataset::Snapshot> out(size_t(sheets.size()));
        for (Dataset::Snapshot& s : out) {
            s.fields = all.fields;
            s.types = all.types;
        }
        const qsizetype width = all.fields.size();
        qsizetype column = -1;
        for (qsizetype c = 0; c < width; ++c)
            if (all.fields.at(c).compare(part, Qt::CaseInsensitive) == 0) column = c;
        if (column < 0) throw DbError(QStringLiteral("Нет поля %1").arg(part));
        for (int r = 0; r < all.rowCount; ++r) {
            const auto row = all.cells.begin() + r * width;
            const int sheet = row[column].toInt() - 1;
            if (sheet < 0 || sheet >= sheets.size()) continue;
            Dataset::Snapshot& to = out[size_t(sheet)];
            to.cells.insert(to.cells.end(), std::make_move_iterator(row), std::make_move_iterator(row + width));
            ++to.rowCount;
        }
        return out;
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
    QString part;
    QList<Statement> statements;
    std::vector<Dataset::Snapshot> rows;
};

} // namespace

void openInBackground(JobProgress& work, const ShownSheets& shown, std::function<void(JobContext&)> extra,
                      std::function<void()> done)
{
    work.stop();
    for (Dataset* d : shown.sheets) d->close();
    auto read = std::make_shared<SheetRead>(shown);
    work.read(
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

void rebuildInBackground(JobProgress& work, Prompts& prompts, const QString& question, const QString& monthShown,
                         const ShownSheets& shown, QList<QWidget*> locked,
                         std::function<month_rebuild::Changes(const QSqlDatabase& db, const month_rebuild::Progress&)> rebuild)
{
    if (work.isRunning()) return;
    if (!prompts.question(question, QStringLiteral("Перестроить"))) return;
    for (Dataset* q : shown.sheets) q->close();
    auto read = std::make_shared<SheetRead>(shown);
    // Set once the rebuild committed: told even if reading the month again fails or is stopped.
    auto changes = std::make_shared<std::optional<month_rebuild::Changes>>();
    work.run(
        [read, changes, rebuild = std::move(rebuild)](JobContext& context) {
            *changes = rebuild(context.db(), [&context](int done, int total) { context.progress(done, total); });
            read->fetch(context, false);
        },
        [read, changes, &prompts, monthShown](BackgroundJob::Outcome) {
            read->adoptOrOpen();
            if (*changes) prompts.information(month_rebuild::changesText(**changes, monthShown), QStringLiteral("Перестроить"));
        },
        std::move(locked));
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
