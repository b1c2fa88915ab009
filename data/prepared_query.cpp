#include "data/prepared_query.h"
#include "data/connection.h"
#include "data/db_error.h"

#include <QSqlDriver>
#include <libpq-fe.h>

PreparedQuery::PreparedQuery(const QSqlDatabase& db, const QString& text) : m_db(db)
{
    BindableText parsed = bindableText(text);
    m_text = std::move(parsed.text);
    m_names = std::move(parsed.names);
    reset();
}

void PreparedQuery::renew(Renewal when)
{
    // A query that was ever prepared holds a statement of the session it was prepared in, even
    // after a failure: a new session must start from a fresh query.
    if (when == Renewal::Always || (m_session.connection && session() != m_session)) reset();
}

void PreparedQuery::reset()
{
    m_query = QSqlQuery(m_db);
    m_query.setForwardOnly(true);
    m_query.setNumericalPrecisionPolicy(QSql::HighPrecision);
    m_prepared = false;
    m_session = {};
}

PreparedQuery::Session PreparedQuery::session() const
{
    // The driver's handle is the client library's connection object.
    const QSqlDriver* driver = m_query.driver();
    if (!driver) return {};
    const QVariant handle = driver->handle();
    if (!handle.isValid()) return {};
    auto* connection = *static_cast<PGconn* const*>(handle.constData());
    return {connection, connection ? PQbackendPID(connection) : 0};
}

QSqlQuery& PreparedQuery::exec(const Params& params)
{
    // A connection lost earlier is opened anew first; its statements are then prepared anew.
    ensureConnected(m_db);
    renew();
    if (!m_prepared) {
        if (!m_query.prepare(m_text)) throwDatabaseError(m_db, m_query.lastError());
        m_prepared = true;
        m_session = session();
    }
    for (const QString& name : std::as_const(m_names)) {
        const auto given = std::find_if(params.cbegin(), params.cend(),
                                        [&name](const auto& p) { return p.first.compare(name, Qt::CaseInsensitive) == 0; });
        if (given == params.cend()) throw DbError(QStringLiteral("Параметру %1 не задано значение").arg(name));
        m_query.bindValue(QLatin1Char(':') + name, given->second);
    }
    if (!m_query.exec()) {
        m_prepared = false;   // whatever went wrong, the next run starts from a fresh prepare
        throwDatabaseError(m_db, m_query.lastError());
    }
    return m_query;
}
