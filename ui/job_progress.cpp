#include "ui/job_progress.h"
#include "data/prompts.h"
#include "ui/guard.h"

#include <QApplication>
#include <QBoxLayout>
#include <QProgressBar>
#include <QPushButton>

QProgressBar* JobProgress::newBar(QWidget* parent)
{
    auto* bar = new QProgressBar(parent);
    bar->setObjectName(QStringLiteral("PB"));
    bar->setMinimum(1);
    bar->hide();
    return bar;
}

JobProgress::JobProgress(const QSqlDatabase& db, Prompts& prompts, QProgressBar* bar, QObject* parent)
    : QObject(parent), m_job(db), m_prompts(prompts), m_bar(bar)
{
    m_cancel = new QPushButton(QStringLiteral("Отмена"), bar->parentWidget());
    m_cancel->setObjectName(QStringLiteral("CancelWork"));
    m_cancel->setAutoDefault(false);
    m_cancel->hide();
    if (QWidget* holder = bar->parentWidget()) {
        for (QBoxLayout* row : holder->findChildren<QBoxLayout*>()) {
            if (const int at = row->indexOf(bar); at >= 0) {
                row->insertWidget(at + 1, m_cancel);
                break;
            }
        }
    }
    connect(m_cancel, &QPushButton::clicked, this, [this] {
        m_cancelHadFocus = m_cancel->hasFocus();   // disabling it moves the focus on
        m_cancel->setEnabled(false);
        m_job.cancel();
    });
    connect(&m_job, &BackgroundJob::progressed, this, [this](int done, int total) {
        if (!m_bar) return;
        m_bar->setMaximum(m_bar->minimum() + total);
        m_bar->setValue(m_bar->minimum() + done);
    });
    connect(&m_job, &BackgroundJob::finished, this, &JobProgress::finish);
    connect(&m_job, &BackgroundJob::readOnPrimary, this,
            [this](const QString& why) { m_prompts.information(why, QStringLiteral("Сервер чтения")); });
}

bool JobProgress::run(BackgroundJob::Work work, Done done, QList<QWidget*> locked, BackgroundJob::Access access)
{
    if (m_job.isRunning()) return false;
    m_done = std::move(done);
    m_locked.clear();
    // Whoever started the work from the keyboard finds "Отмена" under his fingers, and his
    // control again when it ends.
    QWidget* focused = QApplication::focusWidget();
    m_refocus = focused && locked.contains(focused) ? focused : nullptr;
    // Controls disabled already (by the role, say) are left as they are, and stay disabled after.
    for (QWidget* w : locked) {
        if (w->testAttribute(Qt::WA_ForceDisabled)) continue;
        m_locked << w;
        w->setEnabled(false);
    }
    if (m_bar) {
        m_bar->setMaximum(m_bar->minimum() + 1);
        m_bar->setValue(m_bar->minimum());
        m_bar->show();
    }
    m_cancel->setEnabled(true);
    m_cancel->show();
    if (m_refocus) m_cancel->setFocus(Qt::OtherFocusReason);
    return m_job.start(std::move(work), access);
}

void JobProgress::stop()
{
    if (!m_job.isRunning()) return;
    m_job.cancel();
    m_job.wait(60000);
}

bool JobProgress::wait(int ms) { return m_job.wait(ms); }

void JobProgress::finish(BackgroundJob::Outcome outcome, const QString& error)
{
    const bool cancelFocused = m_cancel->hasFocus() || std::exchange(m_cancelHadFocus, false);
    for (const QPointer<QWidget>& w : std::exchange(m_locked, {}))
        if (w) w->setEnabled(true);
    if (m_refocus && (cancelFocused || !QApplication::focusWidget()) && m_refocus->isEnabled())
        m_refocus->setFocus(Qt::OtherFocusReason);
    m_refocus = nullptr;
    if (m_bar) m_bar->hide();
    m_cancel->hide();
    const Done done = std::exchange(m_done, {});
    runGuarded(m_prompts, [&] {
        if (done) done(outcome);
    });
    if (outcome == BackgroundJob::Outcome::Failed) m_prompts.error(errorBoxText(error));
}
