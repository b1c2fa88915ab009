#pragma once
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

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

    /// From the command line (arguments without the program name): argument 1 the database,
    /// argument 2 the server, written host or host:port. Without argument 2 the default database
    /// on the build's default server (argument 1 alone is ignored).
    static ConnectionSettings fromArguments(const QStringList& args);
    static QString defaultServer();
};

/// The name of the client's one connection.
inline constexpr const char* kConnectionName = "ADO_DB";

/// Adds (or replaces) the named connection with these settings and opens it; throws DbError
/// with the driver's text when it cannot be opened.
QSqlDatabase openConnection(const ConnectionSettings& settings, const QString& name = QString::fromLatin1(kConnectionName));
