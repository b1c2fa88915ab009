#include "tests/support/test_database.h"
#include "data/connection.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <stdexcept>

namespace {

QSqlDatabase adminConnection()
{
    const QString name = QStringLiteral("tabel_test_admin");
    if (QSqlDatabase::contains(name)) return QSqlDatabase::database(name);
    return openConnection(TestDatabase::adminSettings(QStringLiteral("postgres")), name);
}

void run(const QSqlDatabase& db, const QString& sql)
{
    QSqlQuery q(db);
    if (!q.exec(sql))
        throw std::runtime_error(("test database: " + q.lastError().text() + "\n" + sql.left(300)).toStdString());
}

// Waits (up to 20 s) until the standby on the session has replayed the primary's position.
bool replayedOn(QSqlDatabase& standby, const QString& position)
{
    QDeadlineTimer deadline(20000);
    for (;;) {
        QSqlQuery q(standby);
        if ((standby.isOpen() || standby.open()) && q.prepare(QStringLiteral("select pg_last_wal_replay_lsn() >= cast(:at as pg_lsn)"))) {
            q.bindValue(QStringLiteral(":at"), position);
            if (q.exec() && q.next() && q.value(0).toBool()) return true;
        }
        if (deadline.hasExpired()) return false;
        QThread::msleep(50);
    }
}

int portFrom(const char* variable)
{
    const QByteArray p = qgetenv(variable);
    if (p.isEmpty()) throw std::runtime_error(std::string(variable) + " is not set: run the suite through scripts/test.sh");
    return p.toInt();
}

// A session on the other cluster's primary or standby, in the database named.
QSqlDatabase foreignConnection(const QString& name, const char* portVariable, const QString& database)
{
    if (QSqlDatabase::contains(name)) {
        QSqlDatabase::database(name, false).close();
        QSqlDatabase::removeDatabase(name);
    }
    ConnectionSettings s = TestDatabase::adminSettings(database);
    s.port = portFrom(portVariable);
    return openConnection(s, name);
}

} // namespace

ConnectionSettings TestDatabase::adminSettings(const QString& database)
{
    ConnectionSettings s;
    s.host = QStringLiteral("127.0.0.1");
    s.port = port();
    s.database = database;
    s.user = QStringLiteral("tabel_test");
    s.password = QStringLiteral("tabel_test");
    return s;
}

int TestDatabase::port()
{
    const QByteArray p = qgetenv("TABEL_TEST_PORT");
    if (p.isEmpty()) throw std::runtime_error("TABEL_TEST_PORT is not set: run the suite through scripts/test.sh");
    return p.toInt();
}

QString TestDatabase::standbyServer()
{
    const QByteArray p = qgetenv("TABEL_TEST_STANDBY_PORT");
    if (p.isEmpty()) throw std::runtime_error("TABEL_TEST_STANDBY_PORT is not set: run the suite through scripts/test.sh");
    return QStringLiteral("127.0.0.1:%1").arg(QString::fromLatin1(p));
}

bool TestDatabase::waitForStandby() const
{
    const QString target = scalar(QStringLiteral("select pg_current_wal_lsn()::text")).toString();
    const QString name = m_connection + QStringLiteral("_standby_probe");
    bool replayed = false;
    {
        QSqlDatabase probe = QSqlDatabase::cloneDatabase(db(), name);
        probe.setPort(standbyServer().section(QLatin1Char(':'), 1).toInt());
        replayed = replayedOn(probe, target);
        probe.close();
    }
    QSqlDatabase::removeDatabase(name);
    return replayed;
}

TestDatabase::TestDatabase(const QString& tag, const QString& connectionName) : m_connection(connectionName)
{
    const QByteArray tmpl = qgetenv("TABEL_TEST_TEMPLATE");
    m_name = QStringLiteral("t_%1_%2").arg(tag.toLower(), QUuid::createUuid().toString(QUuid::Id128).left(8));
    run(adminConnection(), QStringLiteral("create database %1 template %2")
                               .arg(m_name, tmpl.isEmpty() ? QStringLiteral("tabel_template") : QString::fromLatin1(tmpl)));
    openConnection(adminSettings(m_name), m_connection);
}

ConnectionSettings TestDatabase::settings() const { return adminSettings(m_name); }

QSqlDatabase TestDatabase::openAnother(const QString& connectionName) const
{
    const_cast<TestDatabase*>(this)->m_others << connectionName;
    return openConnection(settings(), connectionName);
}

TestDatabase::~TestDatabase()
{
    for (const QString& c : std::as_const(m_others) + QStringList{m_connection}) {
        if (QSqlDatabase::contains(c)) {
            QSqlDatabase::database(c, false).close();
            QSqlDatabase::removeDatabase(c);
        }
    }
    try {
        run(adminConnection(), QStringLiteral("drop database if exists %1 with (force)").arg(m_name));
    } catch (...) {
    }
}

void TestDatabase::exec(const QString& sql) const
{
    // The driver runs only the first statement of a batch: one statement at a time.
    static const QRegularExpression end(QStringLiteral(";\\s*(\\n|$)"));
    for (const QString& statement : sql.split(end, Qt::SkipEmptyParts))
        if (!statement.trimmed().isEmpty()) run(db(), statement);
}

QVariant TestDatabase::scalar(const QString& sql) const
{
    QSqlQuery q(db());
    if (!q.exec(sql)) throw std::runtime_error(("test database: " + q.lastError().text()).toStdString());
    return q.next() ? q.value(0) : QVariant();
}

void TestDatabase::loadDemo() const
{
    QProcess psql;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PGPASSWORD"), QStringLiteral("tabel_test"));
    psql.setProcessEnvironment(env);
    psql.start(QStringLiteral("psql"), {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-v"), QStringLiteral("ON_ERROR_STOP=1"),
                                        QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"), QString::number(port()),
                                        QStringLiteral("-U"), QStringLiteral("tabel_test"), QStringLiteral("-d"), m_name,
                                        QStringLiteral("-f"), QStringLiteral(TABEL_SOURCE_DIR "/db/demo.sql")});
    if (!psql.waitForFinished(120000) || psql.exitCode() != 0)
        throw std::runtime_error(("loading db/demo.sql failed: " + psql.readAllStandardError()).toStdString());
}

ForeignTwin::ForeignTwin(const TestDatabase& of, const QString& rows) : m_name(of.name())
{
    const QByteArray tmpl = qgetenv("TABEL_TEST_TEMPLATE");
    {
        QSqlDatabase admin = foreignConnection(QStringLiteral("tabel_test_foreign_admin"), "TABEL_TEST_FOREIGN_PORT", QStringLiteral("postgres"));
        run(admin, QStringLiteral("create database %1 template %2").arg(m_name, tmpl.isEmpty() ? QStringLiteral("tabel_template") : QString::fromLatin1(tmpl)));
        QSqlDatabase twin = foreignConnection(QStringLiteral("tabel_test_foreign"), "TABEL_TEST_FOREIGN_PORT", m_name);
        static const QRegularExpression end(QStringLiteral(";\\s*(\\n|$)"));
        for (const QString& statement : rows.split(end, Qt::SkipEmptyParts))
            if (!statement.trimmed().isEmpty()) run(twin, statement);
        QSqlQuery at(twin);
        if (!at.exec(QStringLiteral("select pg_current_wal_lsn()::text")) || !at.next()) throw std::runtime_error("foreign twin: no position");
        const QString target = at.value(0).toString();
        twin.close();
        // Replayed by the other cluster's standby before it is read.
        // Asked in a database the standby has had all along: the new one may not be there yet.
        QSqlDatabase standby = foreignConnection(QStringLiteral("tabel_test_foreign_standby"), "TABEL_TEST_FOREIGN_STANDBY_PORT",
                                                 QStringLiteral("postgres"));
        const bool replayed = replayedOn(standby, target);
        standby.close();
        if (!replayed) throw std::runtime_error("foreign twin: the other cluster's standby did not replay it");
    }
    QSqlDatabase::removeDatabase(QStringLiteral("tabel_test_foreign"));
    QSqlDatabase::removeDatabase(QStringLiteral("tabel_test_foreign_standby"));
}

ForeignTwin::~ForeignTwin()
{
    try {
        QSqlDatabase admin = QSqlDatabase::database(QStringLiteral("tabel_test_foreign_admin"));
        run(admin, QStringLiteral("drop database if exists %1 with (force)").arg(m_name));
    } catch (...) {
    }
}

QString ForeignTwin::standbyServer() { return QStringLiteral("127.0.0.1:%1").arg(portFrom("TABEL_TEST_FOREIGN_STANDBY_PORT")); }
