#include "data/background_job.h"
#include "data/connection.h"
#include "data/read_server.h"
#include "data/statement.h"
#include "data/transaction.h"
#include "tests/support/test_database.h"

#include <QMutex>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>

#include <atomic>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

/// A port on 127.0.0.1 that takes every connection and closes it at once, as a server that is
/// no database server does, counting them.
class ClosingPort {
public:
    ClosingPort()
    {
        m_socket = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof a;
        if (::bind(m_socket, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(m_socket, 8) != 0 ||
            ::getsockname(m_socket, reinterpret_cast<sockaddr*>(&a), &size) != 0)
            return;
        m_port = ntohs(a.sin_port);
        m_thread = std::thread([this] {
            for (;;) {
                const int c = ::accept(m_socket, nullptr, nullptr);
                if (c < 0) return;
                if (m_stopping) {
                    ::close(c);
                    return;
                }
                ++m_connections;
                ::close(c);
            }
        });
    }
    ~ClosingPort()
    {
        m_stopping = true;
        // A last connection wakes the accepting thread.
        const int c = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(quint16(m_port));
        ::connect(c, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::close(c);
        if (m_thread.joinable()) m_thread.join();
        ::close(m_socket);
    }
    int port() const { return m_port; }
    int connections() const { return m_connections; }

private:
    int m_socket = -1;
    int m_port = 0;
    std::atomic<int> m_connections{0};
    std::atomic<bool> m_stopping{false};
    std::thread m_thread;
};

/// The warnings Qt gives, from any thread, while the object lives; they still reach the test's log.
class WarningsSeen {
public:
    WarningsSeen()
    {
        s_seen.clear();
        s_previous = qInstallMessageHandler(&WarningsSeen::handle);
    }
    ~WarningsSeen() { qInstallMessageHandler(s_previous); }
    QStringList seen() const
    {
        const QMutexLocker locker(&s_lock);
        return s_seen;
    }

private:
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& text)
    {
        if (type == QtWarningMsg) {
            const QMutexLocker locker(&s_lock);
            s_seen << text;
        }
        if (s_previous) s_previous(type, context, text);
    }
    static inline QtMessageHandler s_previous = nullptr;
    static inline QMutex s_lock;
    static inline QStringList s_seen;
};

} // namespace

Q_DECLARE_METATYPE(BackgroundJob::Outcome)

/// Long work on a session of its own: its outcome and progress reach the window's thread, a
/// second run cannot start beside the first, and a stopped run ends soon and writes nothing.
class TestBackgroundJob : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        qRegisterMetaType<BackgroundJob::Outcome>();
        m_db = std::make_unique<TestDatabase>(QStringLiteral("background_job"));
        m_db->exec(QStringLiteral("create table job_rows (n integer)"));
    }
    void cleanupTestCase() { m_db.reset(); }
    void init() { m_db->exec(QStringLiteral("delete from job_rows")); }

    void outcomesReachTheWindowsThread_data();
    void outcomesReachTheWindowsThread();
    void stoppedRunEndsSoonAndWritesNothing_data();
    void stoppedRunEndsSoonAndWritesNothing();
    void oneRunAtATime();
    void sessionEndsWithItsRun();
    void sessionsNameTheClient();
    void readsGoToTheStandby();

private:
    std::unique_ptr<TestDatabase> m_db;
};

void TestBackgroundJob::outcomesReachTheWindowsThread_data()
{
    QTest::addColumn<QString>("statement");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QString>("error");
    QTest::newRow("done") << "insert into job_rows values (1)" << int(BackgroundJob::Outcome::Done) << "";
    QTest::newRow("refused") << "insert into no_such_table values (1)" << int(BackgroundJob::Outcome::Failed)
                             << "no_such_table";
}

void TestBackgroundJob::outcomesReachTheWindowsThread()
{
    QFETCH(QString, statement);
    QFETCH(int, outcome);
    QFETCH(QString, error);
    BackgroundJob job(m_db->db());
    QSignalSpy finished(&job, &BackgroundJob::finished);
    QSignalSpy progressed(&job, &BackgroundJob::progressed);
    Qt::HANDLE workThread = nullptr;
    QVERIFY(job.start([&](JobContext& context) {
        workThread = QThread::currentThreadId();
        context.progress(0, 1);
        execSql(context.db(), statement);
        context.progress(1, 1);
    }));
    QVERIFY(finished.wait(10000));
    QVERIFY(workThread && workThread != QThread::currentThreadId());
    QCOMPARE(int(finished.at(0).at(0).value<BackgroundJob::Outcome>()), outcome);
    const QString text = finished.at(0).at(1).toString();
    if (error.isEmpty()) {
        QCOMPARE(text, QString());
        QCOMPARE(progressed.size(), 2);
        QCOMPARE(m_db->scalar(QStringLiteral("select count(*) from job_rows")).toInt(), 1);
    } else {
        // The server's own text, naming what it refused.
        QVERIFY2(text.contains(error), qPrintable(text));
    }
    QVERIFY(!job.isRunning());
}

void TestBackgroundJob::stoppedRunEndsSoonAndWritesNothing_data()
{
    // Where the run is when it is stopped: inside a statement the server is running, or between
    // two statements of its transaction.
    QTest::addColumn<bool>("insideStatement");
    QTest::newRow("inside a statement") << true;
    QTest::newRow("between statements") << false;
}

void TestBackgroundJob::stoppedRunEndsSoonAndWritesNothing()
{
    QFETCH(bool, insideStatement);
    BackgroundJob job(m_db->db());
    QSignalSpy finished(&job, &BackgroundJob::finished);
    std::atomic<bool> written{false};
    QVERIFY(job.start([&](JobContext& context) {
        Transaction tx(context.db());
        execSql(context.db(), QStringLiteral("insert into job_rows values (1)"));
        written = true;
        if (insideStatement) {
            execSql(context.db(), QStringLiteral("select pg_sleep(30)"));
        } else {
            while (true) {
                context.progress(1, 2);
                QThread::msleep(10);
            }
        }
        tx.commit();
    }));
    QTRY_VERIFY_WITH_TIMEOUT(written, 10000);
    QTest::qWait(100);
    job.cancel();
    // Unstopped, the run would sleep for 30 s or loop for ever.
    QVERIFY(finished.wait(10000));
    QCOMPARE(int(finished.at(0).at(0).value<BackgroundJob::Outcome>()), int(BackgroundJob::Outcome::Cancelled));
    QCOMPARE(m_db->scalar(QStringLiteral("select count(*) from job_rows")).toInt(), 0);
}

void TestBackgroundJob::oneRunAtATime()
{
    BackgroundJob job(m_db->db());
    QSignalSpy finished(&job, &BackgroundJob::finished);
    QVERIFY(job.start([](JobContext& context) { execSql(context.db(), QStringLiteral("select pg_sleep(0.3)")); }));
    QVERIFY(job.isRunning());
    QVERIFY(!job.start([](JobContext&) { QFAIL("a second run started"); }));
    QVERIFY(finished.wait(10000));
    QCOMPARE(finished.size(), 1);
    // Once ended, the next run starts.
    QVERIFY(job.start([](JobContext& context) { execSql(context.db(), QStringLiteral("insert into job_rows values (2)")); }));
    QVERIFY(job.wait(10000));
    QCOMPARE(finished.size(), 2);
    QCOMPARE(m_db->scalar(QStringLiteral("select count(*) from job_rows")).toInt(), 1);
    // A run waited for and then followed at once by another: the first run's late notice must
    // not be taken for the second's end (their threads may share an address).
    QVERIFY(job.start([](JobContext& context) { execSql(context.db(), QStringLiteral("select pg_sleep(0.5)")); }));
    QTest::qWait(100);
    QVERIFY(job.isRunning());
    QCOMPARE(finished.size(), 2);
    QVERIFY(finished.wait(10000));
}

void TestBackgroundJob::sessionEndsWithItsRun()
{
    // Each run opens a session and closes it before its outcome arrives: once a run has ended,
    // the server shows only the client's main session, and no connection of the job is left in
    // the client, nor one Qt had to keep because a copy still used it. A session the server
    // drops during a run fails that run alone, said as the window's own session says it; the
    // next run opens a new one.
    const WarningsSeen warnings;
    setClientName(m_db->db(), QStringLiteral("tabel sessions of one client"));
    const auto sessions = [this] {
        return m_db->scalar(QStringLiteral("select count(*) from pg_stat_activity where datname = current_database() "
                                           "and application_name = 'tabel sessions of one client'"))
            .toInt();
    };
    QCOMPARE(sessions(), 1);
    QStringList connections = QSqlDatabase::connectionNames();
    connections.sort();
    const auto sameConnections = [&connections] {
        QStringList now = QSqlDatabase::connectionNames();
        now.sort();
        return now == connections;
    };
    BackgroundJob job(m_db->db());
    QSignalSpy finished(&job, &BackgroundJob::finished);
    std::atomic<int> pid{0};
    const auto serverProcess = [&pid](JobContext& context) {
        QSqlQuery q = Statement(QStringLiteral("select pg_backend_pid()")).exec(context.db());
        pid = q.next() ? q.value(0).toInt() : 0;
    };
    const auto gone = [this](int process) {
        return m_db->scalar(QStringLiteral("select count(*) from pg_stat_activity where pid = %1").arg(process)).toInt() == 0;
    };
    for (int run = 0; run < 2; ++run) {
        pid = 0;
        QVERIFY(job.start(serverProcess) && job.wait(10000));
        QCOMPARE(int(finished.last().at(0).value<BackgroundJob::Outcome>()), int(BackgroundJob::Outcome::Done));
        QVERIFY(pid > 0);
        QVERIFY(sameConnections());
        QTRY_VERIFY(gone(pid));
        QCOMPARE(sessions(), 1);
    }

    QVERIFY(job.start([&pid](JobContext& context) {
        QSqlQuery q = Statement(QStringLiteral("select pg_backend_pid()")).exec(context.db());
        pid = q.next() ? q.value(0).toInt() : 0;
        execSql(context.db(), QStringLiteral("select pg_sleep(30)"));
    }));
    QTRY_VERIFY_WITH_TIMEOUT(pid > 0 && sessions() == 2, 10000);
    m_db->exec(QStringLiteral("select pg_terminate_backend(%1)").arg(pid.load()));
    QVERIFY(job.wait(10000));
    QCOMPARE(int(finished.last().at(0).value<BackgroundJob::Outcome>()), int(BackgroundJob::Outcome::Failed));
    QCOMPARE(finished.last().at(1).toString(), kConnectionLostText);
    QVERIFY(sameConnections());
    const int dropped = pid;
    QVERIFY(job.start(serverProcess) && job.wait(10000));
    QCOMPARE(int(finished.last().at(0).value<BackgroundJob::Outcome>()), int(BackgroundJob::Outcome::Done));
    QVERIFY(pid > 0 && pid != dropped);
    QVERIFY(sameConnections());
    QTRY_COMPARE(sessions(), 1);

    // Work that reads closes its session on the read server as well.
    QVERIFY(m_db->waitForStandby());
    read_server::set(TestDatabase::standbyServer());
    const auto restore = qScopeGuard([] { read_server::set({}); });
    bool inRecovery = false;
    QVERIFY(job.start([&inRecovery](JobContext& context) {
        QSqlQuery q = Statement(QStringLiteral("select pg_is_in_recovery()")).exec(context.db());
        inRecovery = q.next() && q.value(0).toBool();
    }, BackgroundJob::Access::Reads) && job.wait(10000));
    QVERIFY(inRecovery);
    QVERIFY(sameConnections());
    QVERIFY2(warnings.seen().isEmpty(), qPrintable(warnings.seen().join(QLatin1Char('\n'))));
}

void TestBackgroundJob::sessionsNameTheClient()
{
    // The history of changes keeps each writer's application_name: the window's session, a job's
    // session and a session opened again after a drop all carry the client's name, in ASCII.
    setClientName(m_db->db(), QStringLiteral("tabel full Иванов@host 20261211.3600 ") + QString(80, QLatin1Char('x')));
    const QString expected = (QStringLiteral("tabel full ______@host 20261211.3600 ") + QString(80, QLatin1Char('x'))).left(63);
    const QString name = QStringLiteral("select current_setting('application_name')");
    QCOMPARE(m_db->scalar(name).toString(), expected);
    BackgroundJob job(m_db->db());
    QString inJob;
    QVERIFY(job.start([&](JobContext& context) {
        QSqlQuery q = Statement(name).exec(context.db());
        inJob = q.next() ? q.value(0).toString() : QString();
    }) && job.wait(10000));
    QCOMPARE(inJob, expected);
    QSqlDatabase window = m_db->db();
    window.close();
    ensureConnected(window);
    QCOMPARE(m_db->scalar(name).toString(), expected);
}

void TestBackgroundJob::readsGoToTheStandby()
{
    // Work that reads runs on the standby, work that writes on the primary; a standby out of
    // reach is said once, and the primary read.
    QVERIFY(m_db->waitForStandby());
    read_server::set(TestDatabase::standbyServer());
    const auto restore = qScopeGuard([] { read_server::set({}); });
    BackgroundJob job(m_db->db());
    QSignalSpy told(&job, &BackgroundJob::readOnPrimary);
    bool inRecovery = false;
    const auto probe = [&inRecovery](JobContext& context) {
        QSqlQuery q = Statement(QStringLiteral("select pg_is_in_recovery()")).exec(context.db());
        inRecovery = q.next() && q.value(0).toBool();
    };
    QVERIFY(job.start(probe, BackgroundJob::Access::Reads) && job.wait(10000));
    QVERIFY(inRecovery);
    QVERIFY(job.start(probe, BackgroundJob::Access::Writes) && job.wait(10000));
    QVERIFY(!inRecovery);
    QVERIFY(job.start(probe, BackgroundJob::Access::Reads) && job.wait(10000));
    QVERIFY(inRecovery);

    read_server::set(QStringLiteral("127.0.0.1:1"));
    for (int run = 0; run < 2; ++run) {
        QVERIFY(job.start(probe, BackgroundJob::Access::Reads) && job.wait(10000));
        QVERIFY(!inRecovery);
    }
    QCOMPARE(told.size(), 1);
    QVERIFY2(told.at(0).at(0).toString().startsWith(QStringLiteral("Сервер чтения 127.0.0.1:1 недоступен")),
             qPrintable(told.at(0).at(0).toString()));
    QVERIFY(told.at(0).at(0).toString().endsWith(QStringLiteral("отчеты и табели читаются с основного сервера.")));
    QTRY_COMPARE(told.size(), 1);

    // A read server found out of reach is left alone for a while, not tried again on every read.
    {
        const ClosingPort closing;
        QVERIFY(closing.port() > 0);
        read_server::set(QStringLiteral("127.0.0.1:%1").arg(closing.port()));
        int tried = 0;
        for (int run = 0; run < 3; ++run) {
            QVERIFY(job.start(probe, BackgroundJob::Access::Reads) && job.wait(10000));
            QVERIFY(!inRecovery);
            if (run == 0) tried = closing.connections();   // one attempt (the driver may knock twice)
        }
        QVERIFY(tried > 0);
        QCOMPARE(closing.connections(), tried);
    }

    // A standby of another cluster, with a database of the same name, is no copy of this one.
    const ForeignTwin twin(*m_db, QStringLiteral("insert into accounts_dep.vid_oper (id, vid) values (1, 'чужая')"));
    read_server::set(ForeignTwin::standbyServer());
    QVERIFY(job.start(probe, BackgroundJob::Access::Reads) && job.wait(10000));
    QVERIFY(!inRecovery);
    QCOMPARE(told.size(), 3);
    QVERIFY2(told.at(2).at(0).toString().startsWith(QStringLiteral("Сервер чтения %1 — копия другой БД").arg(ForeignTwin::standbyServer())),
             qPrintable(told.at(2).at(0).toString()));
}

QTEST_GUILESS_MAIN(TestBackgroundJob)
#include "tst_background_job.moc"
