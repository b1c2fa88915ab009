#pragma once
#include "data/read_server.h"

#include <QObject>
#include <QSqlDatabase>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>

class QThread;

/// What a piece of long work sees while it runs on its own thread: a session of its own on the
/// server, a way to tell its progress, and whether it was asked to stop.
class JobContext {
public:
    /// The job's own session (opened for this run, closed after it).
    const QSqlDatabase& db() const { return m_db; }
    /// Tells the window the steps done out of all steps; throws JobCancelled once the job was
    /// asked to stop, so that work between statements ends at the next step.
    void progress(int done, int total);
    /// Throws JobCancelled once the job was asked to stop.
    void checkCancelled() const;
    bool cancelled() const;

private:
    friend class BackgroundJob;
    JobContext(QSqlDatabase db, class BackgroundJob& job) : m_db(std::move(db)), m_job(job) {}
    QSqlDatabase m_db;
    class BackgroundJob& m_job;
};

/// Thrown inside a job asked to stop.
struct JobCancelled {};

/// Long work (a month's rebuild, a sheet or report of a whole plant month, an export) run off
/// the window's thread on a session of its own, so the window stays responsive, with its
/// progress and a way to stop it. One run at a time: start() refuses a second while one runs.
/// Each run opens its session and closes it when the work ends, before its outcome is delivered:
/// a client whose windows have finished their work holds only its main session on the server.
/// The thread is made at the first run and kept for the next ones.
///
/// cancel() asks the server to stop the statement running now and makes the job end at its
/// next step: work that writes runs in one transaction, which then rolls back, so a stopped job
/// leaves nothing half-written. The outcome arrives once, on the thread that owns the job,
/// through finished(); results the work produced are handed over by the work function itself
/// (captured state read in the finished slot).
class BackgroundJob : public QObject {
    Q_OBJECT
public:
    enum class Outcome { Done, Failed, Cancelled };
    /// Work that only reads runs on the read server when one is set and serves (see read_server);
    /// work that writes always on the primary.
    enum class Access { Writes, Reads };
    using Work = std::function<void(JobContext&)>;

    /// Jobs open their sessions like this connection (server, database, user, lock limit).
    explicit BackgroundJob(const QSqlDatabase& source, QObject* parent = nullptr);
    /// Stops a running job and waits for it to end.
    ~BackgroundJob() override;

    bool isRunning() const { return m_running; }
    /// Starts the work on a new thread; false (and nothing started) while a run is going on.
    bool start(Work work, Access access = Access::Writes);
    /// Asks the running job to stop (nothing when none runs).
    void cancel();
    /// Waits up to ms for the running job to end, delivering its outcome; true when none runs.
    bool wait(int ms);

signals:
    void progressed(int done, int total);
    /// The run ended: Done, Failed with the error's text, or Cancelled (by cancel()).
    void finished(BackgroundJob::Outcome outcome, const QString& error);
    /// Work that reads ran on the primary although a read server is set: why (said once, see
    /// read_server::tellOnce), before finished().
    void readOnPrimary(const QString& why);

private:
    friend class JobContext;
    struct Shared;
    struct Session;
    void run(const Work& work, Shared& shared, const read_server::Primary& primary);
    void deliver();

    QString m_sourceName;
    int m_lockWaitMs = 0;
    QThread* m_thread = nullptr;      // made at the first run, ended with the job
    QObject* m_worker = nullptr;      // lives in m_thread: runs the work there
    std::shared_ptr<Session> m_session;
    bool m_running = false;
    quint64 m_runs = 0;
    std::shared_ptr<Shared> m_shared;
};
