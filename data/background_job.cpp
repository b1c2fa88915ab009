#include "data/background_job.h"
#include "data/connection.h"
#include "data/db_error.h"
#include "data/read_server.h"

#include <QSemaphore>
#include <QSqlDriver>
#include <QThread>
#include <QVariant>
#include <libpq-fe.h>
#include <mutex>

// One run: whether it was asked to stop, how it ended, and a signal that it has ended.
struct BackgroundJob::Shared {
    std::atomic<bool> cancelRequested{false};
    Outcome outcome = Outcome::Done;
    QString error;
    bool reads = false;
    QString readOnPrimary;   // why work that reads ran on the primary
    QSemaphore ended;
};

// The job's session, used only on the job's thread; its cancel handle also from the window's.
struct BackgroundJob::Session {
    QString name;
    QSqlDatabase db;
    QSqlDatabase readDb;              // on the read server, for work that reads
    std::mutex mutex;                 // guards cancel
    PGcancel* cancel = nullptr;

    void setCancel(PGcancel* handle)
    {
        const std::lock_guard lock(mutex);
        if (cancel) PQfreeCancel(cancel);
        cancel = handle;
    }

    /// Ends the run's sessions on the job's thread, which opened them: closed, and no copy of
    /// them left when their names are removed (Qt would keep a connection still in use).
    void close()
    {
        setCancel(nullptr);
        for (auto [session, connection] : {std::pair{&db, name}, std::pair{&readDb, name + QStringLiteral("_read")}}) {
            if (session->isValid()) session->close();
            *session = QSqlDatabase();
            QSqlDatabase::removeDatabase(connection);
        }
    }
};

void JobContext::checkCancelled() const
{
    if (cancelled()) throw JobCancelled{};
}

bool JobContext::cancelled() const { return m_job.m_shared->cancelRequested.load(); }

void JobContext::progress(int done, int total)
{
    checkCancelled();
    emit m_job.progressed(done, total);
}

BackgroundJob::BackgroundJob(const QSqlDatabase& source, QObject* parent)
    : QObject(parent), m_sourceName(source.connectionName()), m_lockWaitMs(lockWaitLimit(source))
{
}

BackgroundJob::~BackgroundJob()
{
    if (!m_thread) return;
    // A run closes its sessions before it ends: once it has, none is left to close here.
    if (m_running) {
        cancel();
        m_shared->ended.acquire();
    }
    m_thread->quit();
    m_thread->wait();
    delete m_worker;
    delete m_thread;
}

bool BackgroundJob::start(Work work, Access access)
{
    if (m_running) return false;
    if (!m_thread) {
        static std::atomic<int> jobs{0};
        m_session = std::make_shared<Session>();
        m_session->name = QStringLiteral("background_job_%1").arg(++jobs);
        m_thread = new QThread;
        m_worker = new QObject;
        m_worker->moveToThread(m_thread);
        m_thread->start();
    }
    m_running = true;
    m_shared = std::make_shared<Shared>();
    m_shared->reads = access == Access::Reads;
    // Where the primary's writes stand now, for the standby to have replayed: read here, on
    // the window's own session.
    read_server::Primary primary;
    if (m_shared->reads) {
        try {
            primary = read_server::primary(QSqlDatabase::database(m_sourceName, false));
        } catch (const DbError&) {
            // The work's own session will say what is wrong with the server.
        }
    }
    const quint64 serial = ++m_runs;
    const std::shared_ptr<Shared> shared = m_shared;
    QMetaObject::invokeMethod(m_worker, [this, shared, serial, primary, work = std::move(work)] {
        run(work, *shared, primary);
        shared->ended.release();
        // Delivered on this object's thread; the late notice of a run already waited for is ignored.
        QMetaObject::invokeMethod(this, [this, serial] {
            if (m_running && m_runs == serial) deliver();
        }, Qt::QueuedConnection);
    }, Qt::QueuedConnection);
    return true;
}

void BackgroundJob::cancel()
{
    if (!m_running) return;
    m_shared->cancelRequested = true;
    const std::lock_guard lock(m_session->mutex);
    if (m_session->cancel) {
        char reason[256];
        PQcancel(m_session->cancel, reason, sizeof reason);
    }
}

bool BackgroundJob::wait(int ms)
{
    if (!m_running) return true;
    if (!m_shared->ended.tryAcquire(1, ms)) return false;
    deliver();
    return true;
}

void BackgroundJob::run(const Work& work, Shared& shared, const read_server::Primary& primary)
{
    Session& session = *m_session;
    try {
        QSqlDatabase* db = &session.db;
        if (shared.reads && !primary.isEmpty()) {
            const QString why = read_server::openSession(session.readDb, m_sourceName, session.name + QStringLiteral("_read"),
                                                         m_lockWaitMs, primary);
            if (why.isEmpty()) db = &session.readDb;
            if (read_server::tellOnce(why)) shared.readOnPrimary = why;
        }
        if (db == &session.db) session.db = openCopy(m_sourceName, session.name, m_lockWaitMs);
        // The cancel handle of the server process the session has now.
        const QVariant handle = db->driver()->handle();
        session.setCancel(handle.isValid() ? PQgetCancel(*static_cast<PGconn* const*>(handle.constData())) : nullptr);
        JobContext context(*db, *this);
        context.checkCancelled();
        work(context);
        shared.outcome = Outcome::Done;
    } catch (const JobCancelled&) {
        shared.outcome = Outcome::Cancelled;
    } catch (const DbError& e) {
        // A statement the server stopped on request is the cancellation, not a failure.
        shared.outcome = shared.cancelRequested ? Outcome::Cancelled : Outcome::Failed;
        shared.error = errorText(e);
    } catch (const std::exception& e) {
        shared.outcome = Outcome::Failed;
        shared.error = QString::fromUtf8(e.what());
    }
    // The work and its context are gone by now: nothing of the run holds the sessions any more.
    session.close();
}

void BackgroundJob::deliver()
{
    m_running = false;
    if (!m_shared->readOnPrimary.isEmpty()) emit readOnPrimary(m_shared->readOnPrimary);
    emit finished(m_shared->outcome, m_shared->error);
}
