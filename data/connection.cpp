#include "data/connection.h"
#include "data/db_error.h"

#include <QSqlError>

#ifndef TABEL_DEFAULT_SERVER
#define TABEL_DEFAULT_SERVER "127.0.0.1"
#endif

QString ConnectionSettings::defaultServer() { return QStringLiteral(TABEL_DEFAULT_SERVER); }

ConnectionSettings ConnectionSettings::fromArguments(const QStringList& args)
{
    ConnectionSettings s;
    const QString server = args.size() >= 2 ? args.at(1).trimmed() : QString();
    if (server.isEmpty()) {
        s.host = defaultServer();
        return s;
    }
    s.database = args.at(0);
    s.host = server;
    // host:port reaches a server on another port; a bare IPv6 address keeps its colons.
    const int colon = server.lastIndexOf(QLatin1Char(':'));
    if (colon > 0 && server.count(QLatin1Char(':')) == 1) {
        bool ok = false;
        const int port = server.mid(colon + 1).toInt(&ok);
        if (ok && port > 0 && port < 65536) {
            s.host = server.left(colon);
            s.port = port;
        }
    }
    return s;
}

QSqlDatabase openConnection(const ConnectionSettings& settings, const QString& name)
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
    if (!db.open()) {
        const QSqlError e = db.lastError();
        throw DbError(e.databaseText().isEmpty() ? e.text() : e.databaseText(), e.nativeErrorCode());
    }
    return db;
}
