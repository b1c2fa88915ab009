#include "data/connection.h"
#include "data/db_error.h"
#include "data/formats.h"

#include <QMutex>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSysInfo>
#include <tuple>
#include <pwd.h>
#include <unistd.h>

#ifndef TABEL_DEFAULT_SERVER
#define TABEL_DEFAULT_SERVER "127.0.0.1"
#endif

QString ConnectionSettings::defaultServer() { return QStringLiteral(TABEL_DEFAULT_SERVER); }

ConnectionSettings ConnectionSettings::fromArguments(const QStringList& args, const FileSettings& files)
{
    ConnectionSettings s;
    QString server = namesServer(args) ? args.at(1).trimmed() : QString();
    if (server.isEmpty()) {
        if (!files.database.isEmpty()) s.database = files.database;
        server = files.server.isEmpty() ? defaultServer() : files.server;
    } else {
        s.database = args.at(0);
    }
    std::tie(s.host, s.port) = hostAndPort(server);
    s.setSslMode(files.sslmode);
    return s;
}

void ConnectionSettings::setPersonalUser(const QString& name)
{
    if (name.trimmed().isEmpty()) return;
    user = name.trimmed();
    password.clear();
}

void ConnectionSettings::setSslMode(const QString& mode)
{
    if (mode.isEmpty()) return;
    static const QRegularExpression ssl(QStringLiteral("sslmode=[^;]*"));
    options.replace(ssl, QStringLiteral("sslmode=") + mode);
}

std::pair<QString, int> ConnectionSettings::hostAndPort(const QString& server)
{
    const QString host = writtenHost(server), port = writtenPort(server);
    if (host.isEmpty() || (!port.isNull() && !portNumber(port))) return {server, 5432};
    return {host, port.isNull() ? 5432 : portNumber(port)};
}

QString ConnectionSettings::writtenPort(const QString& server)
{
    if (server.startsWith(QLatin1Char('['))) {
        const qsizetype close = server.indexOf(QLatin1Char(']'));
        return close > 0 && server.mid(close + 1).startsWith(QLatin1Char(':')) ? server.mid(close + 2) : QString();
    }
    const qsizetype colon = server.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0 || server.count(QLatin1Char(':')) != 1) return QString();
    return server.mid(colon + 1);
}

QString ConnectionSettings::writtenHost(const QString& server)
{
    if (server.startsWith(QLatin1Char('['))) {
        const qsizetype close = server.indexOf(QLatin1Char(']'));
        if (close < 0 || (close + 1 < server.size() && server.at(close + 1) != QLatin1Char(':'))) return QString();
        return server.mid(1, close - 1);
    }
    const QString port = writtenPort(server);
    return port.isNull() ? server : server.chopped(port.size() + 1);
}

QString errorText(const DbError& e)
{
    if (e.sqlState() == QLatin1String("57014")) return kTooLongText;
    if (e.sqlState() == QLatin1String("TB001")) {
        static const QRegularExpression month(QStringLiteral("\\d{2}\\.\\d{4}"));
        const QRegularExpressionMatch m = month.match(e.text());
        return kClosedMonthText.arg(m.hasMatch() ? QStringLiteral(" (%1)").arg(m.captured()) : QString());
    }
    return e.text();
}

int ConnectionSettings::portNumber(const QString& written)
{
    const std::optional<int> port = formats::parseDigits(written);
    return port && *port >= 1 && *port <= 65535 ? *port : 0;
}

namespace {
void applySessionSettings(const QSqlDatabase& db);
void applyLimits(const QSqlDatabase& db);
}

QSqlDatabase addConnection(const ConnectionSettings& settings, const QString& name)
{
    if (QSqlDatabase::contains(name)) {
        QSqlDatabase::database(name, false).close();
        QSqlDatabase::removeDatabase(name);
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
    db.setHostName(settings.host);
    db.setPort(settings.port);
    db.setDatabaseName(settings.database);
    db.setUserName(settings.user);
    db.setPassword(settings.password);
    db.setConnectOptions(settings.options);
    setInTransaction(db, false);
    setLockWaitLimit(db, settings.lockWaitMs);
    setStatementTimeLimit(db, settings.statementTimeMs);
    return db;
}

void openWithPassword(QSqlDatabase& db, const QString& password)
{
    db.setPassword(password);
    if (!db.open()) {
        const QSqlError e = db.lastError();
        throw DbError(e.databaseText().isEmpty() ? e.text() : e.databaseText(), e.nativeErrorCode());
    }
    applyLimits(db);
}

QSqlDatabase openConnection(const ConnectionSettings& settings, const QString& name)
{
    QSqlDatabase db = addConnection(settings, name);
    openWithPassword(db, settings.password);
    return db;
}

bool isPasswordNeeded(const DbError& e)
{
    return e.text().contains(QLatin1String("no password supplied"));
}

QString loginFailureText(const DbError& e)
{
    if (isPasswordNeeded(e)) return QStringLiteral("сервер просит пароль, а он не введен");
    // The server says it in its own language: the state, where the driver passes it on, or the words.
    if (e.sqlState() == QLatin1String("28P01") || e.text().contains(QLatin1String("password authentication failed")) ||
        e.text().contains(QStringLiteral("проверку подлинности (по паролю)")))
        return QStringLiteral("неверный пароль");
    return e.text().section(QLatin1Char('\n'), 0, 0).trimmed();
}

QString connectionFailureText(const DbError& e)
{
    const QString text = e.text();
    const auto says = [&](std::initializer_list<const char*> words) {
        for (const char* w : words)
            if (text.contains(QString::fromUtf8(w), Qt::CaseInsensitive)) return true;
        return false;
    };
    if (says({"Connection refused", "в соединении отказано", "соединение отвергнуто"}))
        return QStringLiteral("сервер не принимает подключений (не запущен, или адрес или порт не те)");
    if (e.sqlState() == QLatin1String("3D000") || (says({"database", "база данных"}) && says({"does not exist", "не существует"})))
        return QStringLiteral("такой БД на сервере нет");
    if (says({"timeout expired", "тайм-аут", "timed out"})) return QStringLiteral("сервер не ответил вовремя");
    if (says({"could not translate host name", "не удалось преобразовать имя", "Name or service not known"}))
        return QStringLiteral("имя сервера неизвестно");
    return loginFailureText(e);
}

namespace {

// Dynamic properties of the connection's driver, which every copy of the connection shares and
// which outlives closing and opening it again.
constexpr const char* kLockWaitProperty = "tabel_lock_timeout";
constexpr const char* kStatementTimeProperty = "tabel_statement_timeout";
constexpr const char* kInTransactionProperty = "tabel_in_transaction";

// The name the client gives every session it opens (see setClientName); sessions of background
// work are opened in other threads.
QMutex clientNameLock;
QString clientNameOfProcess;

QString currentClientName()
{
    const QMutexLocker locker(&clientNameLock);
    return clientNameOfProcess;
}

QString errorText(const QSqlError& e)
{
    QString text = e.databaseText().isEmpty() ? e.text() : e.databaseText();
    // The driver appends "(SQLSTATE)" to the server's text; the code travels separately.
    const QString code = e.nativeErrorCode();
    if (!code.isEmpty()) {
        const QString tail = QStringLiteral("(%1)").arg(code);
        if (text.endsWith(tail)) text.chop(tail.size());
    }
    return text.trimmed();
}

void applyLimit(const QSqlDatabase& db, const char* setting, const QVariant& ms)
{
    if (!ms.isValid()) return;
    QSqlQuery q(db);
    if (!q.prepare(QStringLiteral("select set_config(:name, :value, false)"))) throwDatabaseError(db, q.lastError());
    q.bindValue(QStringLiteral(":name"), QString::fromLatin1(setting));
    q.bindValue(QStringLiteral(":value"), QStringLiteral("%1ms").arg(ms.toInt()));
    if (!q.exec()) throwDatabaseError(db, q.lastError());
}

void setLimit(const QSqlDatabase& db, const char* property, const char* setting, int ms)
{
    if (QSqlDriver* d = db.driver()) d->setProperty(property, ms);
    if (db.isOpen()) applyLimit(db, setting, ms);
}

/// What every session of the client sets on connecting, and again on connecting anew.
void applySessionSettings(const QSqlDatabase& db)
{
    // The client's statements are short; compiling them costs far more than it saves (a month's
    // general timesheet took 1.8 s of which 1.4 s were compilation).
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("select set_config('jit', 'off', false)"))) throwDatabaseError(db, q.lastError());
    const QString name = currentClientName();
    if (name.isEmpty()) return;
    if (!q.prepare(QStringLiteral("select set_config('application_name', :name, false)"))) throwDatabaseError(db, q.lastError());
    q.bindValue(QStringLiteral(":name"), name);
    if (!q.exec()) throwDatabaseError(db, q.lastError());
}

void applyLimits(const QSqlDatabase& db)
{
    applySessionSettings(db);
    if (QSqlDriver* d = db.driver()) {
        applyLimit(db, "lock_timeout", d->property(kLockWaitProperty));
        applyLimit(db, "statement_timeout", d->property(kStatementTimeProperty));
    }
}

bool isLost(const QSqlDatabase& db, const QSqlError& e)
{
    const QString state = e.nativeErrorCode();
    // Connection exceptions, and the server shutting down or not yet accepting connections.
    if (state.startsWith(QLatin1String("08")) || state == QLatin1String("57P01") || state == QLatin1String("57P02") ||
        state == QLatin1String("57P03"))
        return true;
    if (!state.isEmpty()) return false;
    // A failure without a SQLSTATE is the client library's own: ask whether the server still answers.
    if (!db.isOpen()) return true;
    QSqlQuery probe(db);
    return !probe.exec(QStringLiteral("select 1"));
}

} // namespace

void ensureConnected(const QSqlDatabase& connection)
{
    if (connection.isOpen()) return;
    QSqlDatabase db = connection;
    if (QSqlDriver* d = db.driver(); d && d->property(kInTransactionProperty).toBool())
        throw DbError(kConnectionLostText, QStringLiteral("08006"));
    if (!db.open()) throw DbError(kNoConnectionText, QStringLiteral("08001"));
    applyLimits(db);
}

void throwDatabaseError(const QSqlDatabase& connection, const QSqlError& error)
{
    const QString state = error.nativeErrorCode();
    if (state == QLatin1String("55P03")) throw DbError(kLockedText, state);
    if (isLost(connection, error)) {
        QSqlDatabase db = connection;
        db.close();
        throw DbError(kConnectionLostText, QStringLiteral("08006"));
    }
    throw DbError(errorText(error), state);
}

QSqlDatabase openCopy(const QString& sourceName, const QString& name, int lockWaitMs, const QString& host, int port)
{
    QSqlDatabase db = QSqlDatabase::cloneDatabase(sourceName, name);
    if (!host.isEmpty()) {
        db.setHostName(host);
        db.setPort(port);
    }
    if (!db.open()) {
        const QSqlError e = db.lastError();
        throw DbError(e.databaseText().isEmpty() ? e.text() : e.databaseText(), e.nativeErrorCode());
    }
    setInTransaction(db, false);
    applySessionSettings(db);
    setLockWaitLimit(db, lockWaitMs);
    return db;
}

int lockWaitLimit(const QSqlDatabase& db)
{
    const QSqlDriver* d = db.driver();
    return d ? d->property(kLockWaitProperty).toInt() : 0;
}

void setLockWaitLimit(const QSqlDatabase& db, int ms) { setLimit(db, kLockWaitProperty, "lock_timeout", ms); }

void setStatementTimeLimit(const QSqlDatabase& db, int ms)
{
    setLimit(db, kStatementTimeProperty, "statement_timeout", ms);
}

void setInTransaction(const QSqlDatabase& db, bool inside)
{
    if (QSqlDriver* d = db.driver()) d->setProperty(kInTransactionProperty, inside);
}

bool isInTransaction(const QSqlDatabase& db)
{
    const QSqlDriver* d = db.driver();
    return d && d->property(kInTransactionProperty).toBool();
}

void setClientName(const QSqlDatabase& db, const QString& name)
{
    QString ascii;
    for (const QChar c : name) {
        const bool plain = c.unicode() < 128 && (c.isLetterOrNumber() || QStringLiteral(" .@/-_:").contains(c));
        ascii += plain ? c : QLatin1Char('_');
    }
    ascii.truncate(63);
    {
        const QMutexLocker locker(&clientNameLock);
        clientNameOfProcess = ascii;
    }
    if (db.isOpen()) applySessionSettings(db);
}

QString clientName(const QString& role, const QString& build)
{
    QString user = qEnvironmentVariable("USER");
    if (user.isEmpty()) user = qEnvironmentVariable("LOGNAME");
    if (user.isEmpty())
        if (const passwd* account = getpwuid(getuid())) user = QString::fromLocal8Bit(account->pw_name);
    return QStringLiteral("tabel %1 %2@%3 %4").arg(role, user, QSysInfo::machineHostName(), build);
}

bool isReadOnlyServer(const QSqlDatabase& db)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("select pg_is_in_recovery() or current_setting('default_transaction_read_only') = 'on'")))
        throwDatabaseError(db, q.lastError());
    return q.next() && q.value(0).toBool();
}
