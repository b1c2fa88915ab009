#include "timesheets/timesheet_progress.h"
#include "data/dataset.h"
#include "ui/guard.h"

#include <QApplication>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>

void rebuildShowingProgress(QProgressBar* bar, Prompts& prompts, const QList<Dataset*>& shown,
                            const std::function<void(const month_rebuild::Progress&)>& rebuild)
{
    for (Dataset* q : shown) q->close();
    const auto restore = qScopeGuard([&] {
        bar->hide();
        runGuarded(prompts, [&] {
            for (Dataset* q : shown) q->open();
        });
    });
    bar->setValue(bar->minimum());
    bar->show();
    rebuild([bar](int done, int total) {
        bar->setMaximum(bar->minimum() + total);
        bar->setValue(bar->minimum() + done);
        bar->repaint();
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
