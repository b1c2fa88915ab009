#include "data/background_job.h"
#include "data/connection.h"
#include "data/db_error.h"

#include <QSqlDriver>
#include <QThread>
#include <QVariant>
#include <libpq-fe.h>
#include <mutex>

struct BackgroundJob::Shared {
    std::atomic<bool> cancelRequested{false};
    std::mutex mutex;              // guards cancelHandle
    PGcancel* cancelHandle = nullptr;
    Outcome outcome = Outcome::Done;
    QString error;
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
    cancel();
    m_thread->wait();
    delete m_thread;
}

bool BackgroundJob::start(Work work)
{
    if (m_thread) return false;
    m_shared = std::make_shared<Shared>();
    QThread* thread = QThread::create([this, work = std::move(work)] { run(work); });
    m_thread = thread;
    const quint64 serial = ++m_runs;
    // Delivered on this object's thread; the late delivery of a run already waited for is
    // ignored (by its number: a new run's thread may have the old one's address).
    connect(thread, &QThread::finished, this, [this, serial] {
        if (m_thread && m_runs == serial) deliver();
    });
    thread->start();
    return true;
}

void BackgroundJob::cancel()
{
    if (!m_thread || !m_shared) return;
    m_shared->cancelRequested = true;
    const std::lock_guard lock(m_shared->mutex);
    if (m_shared->cancelHandle) {
        char reason[256];
        PQcancel(m_shared->cancelHandle, reason, sizeof reason);
    }
}

bool BackgroundJob::wait(int ms)
{
    if (!m_thread) return true;
    if (!m_thread->wait(QDeadlineTimer(ms))) return false;
    deliver();
    return true;
}

void BackgroundJob::run(const Work& work)
{
    Shared& shared = *m_shared;
    static std::atomic<int> runs{0};
    const QString name = QStringLiteral("background_job_%1").arg(++runs);
    try {
        QSqlDatabase db = openCopy(m_sourceName, name, m_lockWaitMs);
        const QVariant handle = db.driver()->handle();
        if (handle.isValid()) {
            auto* connection = *static_cast<PGconn* const*>(handle.constData());
            const std::lock_guard lock(shared.mutex);
            shared.cancelHandle = PQgetCancel(connection);
        }
        try {
            JobContext context(db, *this);
            context.checkCancelled();
            work(context);
            shared.outcome = Outcome::Done;
        } catch (...) {
            const std::lock_guard lock(shared.mutex);
            PQfreeCancel(shared.cancelHandle);
            shared.cancelHandle = nullptr;
            db.close();
            throw;
        }
        {
            const std::lock_guard lock(shared.mutex);
            PQfreeCancel(shared.cancelHandle);
            shared.cancelHandle = nullptr;
        }
        db.close();
    } catch (const JobCancelled&) {
        shared.outcome = Outcome::Cancelled;
    } catch (const DbError& e) {
        // A statement the server stopped on request is the cancellation, not a failure.
        shared.outcome = shared.cancelRequested ? Outcome::Cancelled : Outcome::Failed;
        shared.error = e.text();
    } catch (const std::exception& e) {
        shared.outcome = Outcome::Failed;
        shared.error = QString::fromUtf8(e.what());
    }
    QSqlDatabase::removeDatabase(name);
}

void BackgroundJob::deliver()
{
    QThread* thread = m_thread;
    thread->wait();
    m_thread = nullptr;
    delete thread;
    emit finished(m_shared->outcome, m_shared->error);
}
