#pragma once
#include "data/background_job.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <functional>

class Prompts;
class QProgressBar;
class QPushButton;
class QWidget;

/// A window's long work run in the background (see BackgroundJob), shown as the window shows it:
/// its progress bar while it runs, an "Отмена" button beside the bar that stops it, and the
/// controls the run names disabled until it ends, so a second click cannot start a second run.
/// A failure is shown in the error box with the server's text; a stopped run says nothing (the
/// user asked for it). The window stays responsive meanwhile.
class JobProgress : public QObject {
    Q_OBJECT
public:
    /// A window's bar for its background work ("PB", hidden until work runs), to hand to the
    /// constructor below.
    static QProgressBar* newBar(QWidget* parent);

    using Done = std::function<void(BackgroundJob::Outcome)>;

    /// The bar belongs to the window; the "Отмена" button is made here, placed right after the
    /// bar in the bar's layout, and shown only while work runs.
    JobProgress(const QSqlDatabase& db, Prompts& prompts, QProgressBar* bar, QObject* parent);

    bool isRunning() const { return m_job.isRunning(); }
    /// Starts the work unless some runs, with the controls given disabled while it runs;
    /// afterwards (whatever the outcome, on the window's thread) done runs: to show the result
    /// or to reopen what the window closed for the run.
    bool run(BackgroundJob::Work work, Done done = {}, QList<QWidget*> locked = {},
             BackgroundJob::Access access = BackgroundJob::Access::Writes);
    /// The same for work that only reads: on the read server when one is set and serves; when
    /// it does not, the user is told why once, and the work reads the primary.
    bool read(BackgroundJob::Work work, Done done = {}, QList<QWidget*> locked = {})
    {
        return run(std::move(work), std::move(done), std::move(locked), BackgroundJob::Access::Reads);
    }
    /// Stops a running job and waits for it to end (for a window that closes).
    void stop();
    /// Waits for a running job to end (for tests and unattended runs); true when none runs.
    bool wait(int ms = 30000);
    QPushButton* cancelButton() const { return m_cancel; }

private:
    void finish(BackgroundJob::Outcome outcome, const QString& error);

    BackgroundJob m_job;
    Prompts& m_prompts;
    QPointer<QProgressBar> m_bar;
    QList<QPointer<QWidget>> m_locked;
    bool m_cancelHadFocus = false;
    QPointer<QWidget> m_refocus;   // the locked control that had the focus when the work began
    QPushButton* m_cancel = nullptr;
    Done m_done;
};
