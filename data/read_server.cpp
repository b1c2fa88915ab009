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

QString primaryPosition(const QSqlDatabase& primary)
{
    if (!current() || isReadOnlyServer(primary)) return {};
    QSqlQuery q(primary);
    if (!q.exec(QStringLiteral("select pg_current_wal_lsn()::text"))) throwDatabaseError(primary, q.lastError());
    return q.next() ? q.value(0).toString() : QString();
}

QString lagProblem(const QSqlDatabase& standby, const QString& primaryPosition)
{
    const std::optional<Settings> s = current();
    const QString name = s ? s->shown() : standby.hostName();
    QSqlQuery q(standby);
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
        if (position(q.value(1).toString()) >= position(primaryPosition)) return {};
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
                    const QString& primaryPosition)
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
    const QString why = lagProblem(session, primaryPosition);
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
