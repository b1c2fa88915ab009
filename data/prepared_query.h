#pragma once
#include "data/statement.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>

/// A statement prepared once on a connection and executed again and again with new values:
/// one round trip to the server an execution, where a fresh statement takes three (prepare,
/// execute, release). For the statements of a save that runs many times in a session.
/// Placeholders are read as every statement reads them (any case); values are given by name,
/// any case. The
/// statement is prepared again after a failure, and after renew() found the connection opened
/// anew.
class PreparedQuery {
public:
    PreparedQuery(const QSqlDatabase& db, const QString& text);

    /// Binds every parameter of the text and executes; throws DbError when the server refuses
    /// or when a parameter of the text was given no value. The query is returned positioned
    /// before its first row.
    QSqlQuery& exec(const Params& params);

    enum class Renewal {
        IfReconnected,  ///< when the connection was opened anew since the prepare
        Always,         ///< the server said it no longer knows the statement
    };
    /// Forgets the statement, to be prepared again at the next run: the new server session of a
    /// reopened connection does not know it. Call outside a transaction: letting the old
    /// statement go fails on the server, which would break a transaction in progress.
    void renew(Renewal when = Renewal::IfReconnected);

private:
    /// The server session the statement was prepared in, as the client library's connection and
    /// the server process serving it: a reconnected connection has lost it, even when the new
    /// connection object happens to reuse the old one's memory.
    struct Session {
        const void* connection = nullptr;
        int backend = 0;
        bool operator==(const Session&) const = default;
    };
    Session session() const;
    void reset();

    QSqlDatabase m_db;
    QSqlQuery m_query;
    QString m_text;   // as the driver binds it
    QStringList m_names;
    bool m_prepared = false;
    Session m_session;
};
