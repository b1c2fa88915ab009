#pragma once
#include "data/settings_file.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QString>
#include <QStringList>

#include <utility>

/// Where and how the client connects: the translation of the department's connection keyword
/// list into the PostgreSQL driver's settings.
struct ConnectionSettings {
    QString database = QStringLiteral("vorteks");
    QString host;
    int port = 5432;
    QString user = QStringLiteral("sys");
    QString password = QStringLiteral("vultsab");
    /// libpq options: SSL when the server offers it, UTF-8, and a bounded wait for an unreachable server.
    QString options = QStringLiteral("sslmode=allow;client_encoding=UTF8;connect_timeout=5");
    /// How long an interactive statement waits for a row or table another client holds, in
    /// milliseconds, before it is refused with kLockedText; 0 waits without end.
    int lockWaitMs = 5000;
    /// How long an interactive statement may run before the server stops it (SQLSTATE 57014), in
    /// milliseconds; 0 without end. Long work runs in the background on sessions without it.
    int statementTimeMs = 60000;

    /// From the command line (arguments without the program name): argument 1 the database,
    /// argument 2 the server, written host or host:port. Without argument 2 (argument 1 alone is
    /// ignored) the database and the server the settings files name, each key the files leave
    /// out the default: database "vorteks" on the build's default server.
    static ConnectionSettings fromArguments(const QStringList& args, const FileSettings& files = {});
    /// Logs in as a person: the user given, and no password of the program's (libpq's own means
    /// give one, or the login window asks); an empty user keeps the code login "sys".
    void setPersonalUser(const QString& name);
    /// libpq's sslmode ("allow" unless the settings say otherwise).
    void setSslMode(const QString& mode);
    static QString defaultServer();
    /// Whether the arguments name the server themselves (argument 2), rather than leaving it to
    /// the settings files or the build.
    static bool namesServer(const QStringList& args) { return args.size() >= 2 && !args.at(1).trimmed().isEmpty(); }
    /// The port of a server written host:port or [IPv6 address]:port, as written; a null string
    /// when none is written (a bare IPv6 address keeps its colons).
    static QString writtenPort(const QString& server);
    /// The host of a server written host, host:port, a bare IPv6 address, [IPv6 address] or
    /// [IPv6 address]:port: without the port and the brackets. Empty when there is none, or when
    /// the brackets are not written so ("[::1", "[::1]5432").
    static QString writtenHost(const QString& server);
    /// The host and the port a server written as above names, 5432 where no port is written.
    /// What is no host with a port from 1 to 65535 is kept whole as the host, and connecting
    /// then says that host is unknown.
    static std::pair<QString, int> hostAndPort(const QString& server);
    /// The number of a written port: digits only, from 1 to 65535; 0 when it is no port.
    static int portNumber(const QString& written);
};

/// The name of the client's one connection.
inline constexpr const char* kConnectionName = "ADO_DB";

/// Adds (or replaces) the named connection with these settings and opens it; throws DbError
/// with the driver's text when it cannot be opened.
QSqlDatabase openConnection(const ConnectionSettings& settings, const QString& name = QString::fromLatin1(kConnectionName));
/// Adds (or replaces) the named connection with these settings without opening it, for a login
/// whose password is asked first.
QSqlDatabase addConnection(const ConnectionSettings& settings, const QString& name = QString::fromLatin1(kConnectionName));
/// Opens a connection added so with the password given (empty: libpq's own means); throws
/// DbError with the server's or the driver's text when it cannot.
void openWithPassword(QSqlDatabase& db, const QString& password);
/// Whether the server refused a connection for want of a password (the login then asks for it).
bool isPasswordNeeded(const class DbError& e);
/// Why a person's login failed, in words: no password given, a wrong password, or the server's
/// first line.
QString loginFailureText(const class DbError& e);

/// Why a connection could not be made, as people read it: the server refuses connections, has no
/// such database, wants a password or another one, did not answer in time, or its name is
/// unknown; otherwise the first line of what was said.
QString connectionFailureText(const class DbError& e);

/// Said when the server is gone (restarted, the network dropped): the action wrote nothing, and
/// the next one connects again.
inline const QString kConnectionLostText = QStringLiteral(
    "Соединение с сервером потеряно. Действие не выполнено; повторите его, и программа подключится к серверу снова.");
/// Said when connecting again fails as well.
inline const QString kNoConnectionText = QStringLiteral(
    "Нет соединения с сервером. Проверьте сеть и повторите действие позже.");
/// Said in a window when the server stopped a statement that ran past the connection's limit.
inline const QString kTooLongText = QStringLiteral(
    "Запрос выполнялся слишком долго и остановлен сервером. Действие не выполнено; повторите его позже.");
/// Said when the database refused a write into a closed month (SQLSTATE TB001); %1 is the month
/// as the server named it (MM.YYYY).
inline const QString kClosedMonthText = QStringLiteral(
    "Месяц закрыт%1: его записи, часы и табель не изменяются. Открыть месяц может полный доступ.");
/// What the user is told of a database error: the texts above for a statement stopped for its
/// time and for a closed month, the server's own text otherwise.
QString errorText(const class DbError& e);
/// Said when a statement waited for another client's lock longer than the connection allows.
inline const QString kLockedText = QStringLiteral("Запись изменяется другим пользователем, попробуйте позже.");

/// Before a statement: a connection found lost earlier is opened again with its own settings
/// and limits. Throws DbError with kNoConnectionText when the server is still out of reach, and
/// with kConnectionLostText when the connection was lost inside a transaction that is still
/// open (what follows must not run outside it).
void ensureConnected(const QSqlDatabase& db);

/// Throws the DbError for a refusal of the connection's server: the server's text as it is,
/// a lock wait given up as kLockedText, and a lost connection as kConnectionLostText (the
/// connection is then closed, to be opened again by the next statement).
[[noreturn]] void throwDatabaseError(const QSqlDatabase& db, const QSqlError& error);

/// Opens a second session on the same server as the named connection, under its own name, in the
/// thread that calls it (a session belongs to the thread that opened it): the same session
/// settings, the given limit on lock waits (see lockWaitLimit), no limit on the running time.
/// Throws DbError when it cannot be opened.
/// With a host given, the session is opened on that server (and port) instead: a standby for reading.
QSqlDatabase openCopy(const QString& sourceName, const QString& name, int lockWaitMs, const QString& host = {}, int port = 0);
/// Whether the connection's server takes no writes: a hot standby, or a session read-only by default.
bool isReadOnlyServer(const QSqlDatabase& db);
/// The connection's limit on lock waits in milliseconds (0: none).
int lockWaitLimit(const QSqlDatabase& db);

/// Limits how long a statement of the connection may wait for another client's lock; 0 lifts
/// the limit. Kept when the connection is opened again.
void setLockWaitLimit(const QSqlDatabase& db, int ms);
/// Limits how long any statement of the connection may run (for unattended runs); 0 lifts the
/// limit. A statement cut short is refused with SQLSTATE 57014. Kept when the connection is
/// opened again.
void setStatementTimeLimit(const QSqlDatabase& db, int ms);

/// Names the client to the server (its application_name, which the history of changes keeps
/// with every change), for this connection now and for every session the client opens from now
/// on: opened again, copies (openCopy), other connections. Letters other than ASCII ones, digits,
/// blanks and ".@/-_:" become "_" (the server would turn them into "?"), and the name is cut to the
/// server's 63 characters.
void setClientName(const QSqlDatabase& db, const QString& name);
/// The name of this client's copy for the history: "tabel ROLE USER@HOST BUILD", where ROLE is
/// the access code's role in ASCII ("login" before the code is typed).
QString clientName(const QString& role, const QString& build);

/// Marks the connection as inside a transaction (or out of it again): a connection lost inside
/// one is not silently opened again for the rest of its statements.
void setInTransaction(const QSqlDatabase& db, bool inside);
/// Whether the connection was marked as inside a transaction.
bool isInTransaction(const QSqlDatabase& db);
