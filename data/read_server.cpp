#include "data/read_server.h"
#include "data/connection.h"
#include "data/db_error.h"

#include <QDeadlineTimer>
#include <QMutex>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <tuple>

namespace read_server {
namespace {

// Set from the window's thread, read from the jobs' threads.
QMutex lock;
std::optional<Settings> settings;
QDeadlineTimer unreachableUntil;   // a server found unreachable is left alone for a while
QString told;

// A write position "16/B374D848" as a number; 0 when it is none.
quint64 position(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char('/'));
    if (parts.size() != 2) return 0;
    bool high = false, low = false;
    const quint64 value = (parts.at(0).toULongLong(&high, 16) << 32) | parts.at(1).toULongLong(&low, 16);
    return high && low ? value : 0;
}

// A server's write (or replayed) position with what makes its data its own: the cluster's system
// identifier, the same on a streaming standby as on its primary and different for every other
// cluster, and the database's oid, the same on both for the one database.
constexpr const char* kIdentity =
    "select %1, (select system_identifier::text from pg_control_system()), "
    "(select oid::text from pg_database where datname = current_database())";

QString fallback(const QString& why) { return why + QStringLiteral(": отчеты и табели читаются с основного сервера."); }

// The server's or the driver's first line, for the user: "could not connect to server: Connection refused".
QString firstLine(const QString& text)
{
    return text.section(QLatin1Char('\n'), 0, 0).remove(QStringLiteral("FATAL:")).trimmed();
}

} // namespace

void set(const QString& server, int lagLimitSeconds)
{
    const QMutexLocker locker(&lock);
    unreachableUntil = QDeadlineTimer();
    told.clear();
    if (server.trimmed().isEmpty()) {
        settings.reset();
        return;
    }
    Settings s;
    std::tie(s.host, s.port) = ConnectionSettings::hostAndPort(server.trimmed());
    s.lagLimitSeconds = lagLimitSeconds;
    settings = s;
}

std::optional<Settings> current()
{
    const QMutexLocker locker(&lock);
    return settings;
}

Primary primary(const QSqlDatabase& db)
{
    if (!current() || isReadOnlyServer(db)) return {};
    QSqlQuery q(db);
    if (!q.exec(QString::fromLatin1(kIdentity).arg(QStringLiteral("pg_current_wal_lsn()::text")))) throwDatabaseError(db, q.lastError());
    if (!q.next()) return {};
    return {q.value(0).toString(), q.value(1).toString(), q.value(2).toString(),
            QStringLiteral("%1:%2").arg(db.hostName()).arg(db.port() > 0 ? db.port() : 5432)};
}

QString lagProblem(const QSqlDatabase& standby, const Primary& primary)
{
    const std::optional<Settings> s = current();
    const QString name = s ? s->shown() : standby.hostName();
    QSqlQuery q(standby);
    if (!q.exec(QString::fromLatin1(kIdentity).arg(QStringLiteral("pg_last_wal_replay_lsn()::text"))) || !q.next())
        return fallback(QStringLiteral("Сервер чтения %1 не ответил (%2)").arg(name, firstLine(q.lastError().databaseText())));
    if (q.value(1).toString() != primary.systemIdentifier || q.value(2).toString() != primary.databaseOid)
        return fallback(QStringLiteral("Сервер чтения %1 — копия другой БД, а не БД основного сервера %2 "
                                       "(кластер %3, а у основного %4)")
                            .arg(name, primary.shown, q.value(1).toString(), primary.systemIdentifier));
    // What the user has just written is normally replayed within milliseconds: it is waited for
    // a moment, so that a sheet read after its rebuild shows the rebuild.
    QDeadlineTimer moment(1000);
    for (;;) {
        if (!q.exec(QStringLiteral("select pg_is_in_recovery(), pg_last_wal_replay_lsn()::text, "
                                   "extract(epoch from now() - pg_last_xact_replay_timestamp())::float8")) ||
            !q.next())
            return fallback(QStringLiteral("Сервер чтения %1 не ответил (%2)").arg(name, firstLine(q.lastError().databaseText())));
        if (!q.value(0).toBool())
            return fallback(QStringLiteral("Сервер чтения %1 — не резервная копия основного сервера").arg(name));
        if (position(q.value(1).toString()) >= position(primary.position)) return {};
        if (moment.hasExpired()) break;
        QThread::msleep(20);
    }
    const int limit = s ? s->lagLimitSeconds : 0;
    if (!q.value(2).isNull() && q.value(2).toDouble() <= limit) return {};
    return fallback(q.value(2).isNull()
                        ? QStringLiteral("Сервер чтения %1 еще не получил данные основного сервера").arg(name)
                        : QStringLiteral("Сервер чтения %1 отстает от основного на %2 с (допустимо %3 с)")
                              .arg(name)
                              .arg(qRound(q.value(2).toDouble()))
                              .arg(limit));
}

QString openSession(QSqlDatabase& session, const QString& sourceName, const QString& name, int lockWaitMs,
                    const Primary& primary)
{
    const std::optional<Settings> s = current();
    if (!s) return QStringLiteral("no read server");
    {
        const QMutexLocker locker(&lock);
        if (!unreachableUntil.hasExpired())
            return fallback(QStringLiteral("Сервер чтения %1 недоступен").arg(s->shown()));
    }
    try {
        // A session on another server than the one set now (the setting changed) is left.
        if (!session.isValid() || !session.isOpen() || session.hostName() != s->host || session.port() != s->port) {
            if (session.isValid()) session.close();
            session = QSqlDatabase();
            QSqlDatabase::removeDatabase(name);
            session = openCopy(sourceName, name, lockWaitMs, s->host, s->port);
        }
    } catch (const DbError& e) {
        session = QSqlDatabase();
        QSqlDatabase::removeDatabase(name);
        const QMutexLocker locker(&lock);
        unreachableUntil = QDeadlineTimer(60 * 1000);
        return fallback(QStringLiteral("Сервер чтения %1 недоступен (%2)").arg(s->shown(), firstLine(e.text())));
    }
    const QString why = lagProblem(session, primary);
    if (!why.isEmpty()) session.close();
    return why;
}

bool tellOnce(const QString& why)
{
    const QMutexLocker locker(&lock);
    if (why.isEmpty()) {
        told.clear();
        return false;
    }
    if (!told.isEmpty()) return false;
    told = why;
    return true;
}

} // namespace read_server
