#include "data/cursor.h"
#include "data/connection.h"
#include "data/db_error.h"

#include <QDate>
#include <QDateTime>
#include <QSqlDriver>
#include <QSqlError>

#include <atomic>
#include <vector>

#include <libpq-fe.h>

namespace {

PGconn* connectionOf(const QSqlDatabase& db)
{
    const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
    PGconn* conn = handle.isValid() ? *static_cast<PGconn* const*>(handle.constData()) : nullptr;
    if (!conn) throw DbError(kNoConnectionText);
    return conn;
}

/// A value as the server reads a parameter of unspecified type: dates and moments in ISO form,
/// truth as true/false, numbers with a point.
std::optional<QByteArray> parameterText(const QVariant& v)
{
    if (v.isNull()) return std::nullopt;
    switch (v.typeId()) {
    case QMetaType::QDate: return v.toDate().toString(Qt::ISODate).toLatin1();
    case QMetaType::QDateTime: return v.toDateTime().toString(Qt::ISODateWithMs).toLatin1();
    case QMetaType::Bool: return QByteArray(v.toBool() ? "true" : "false");
    case QMetaType::Double: return QByteArray::number(v.toDouble(), 'g', 17);
    default: return v.toString().toUtf8();
    }
}

std::atomic<int> cursors{0};

} // namespace

Cursor::Cursor(const QSqlDatabase& db, const Statement& statement) : m_db(db)
{
    ensureConnected(m_db);
    if (PQtransactionStatus(connectionOf(m_db)) == PQTRANS_IDLE) m_own.emplace(m_db);
    m_name = QStringLiteral("rows_%1").arg(++cursors);
    const BindableText text = bindableText(statement.text());
    std::vector<std::optional<QByteArray>> values;
    for (const QString& name : text.names) {
        if (!statement.isSet(name)) throw DbError(QStringLiteral("Параметру %1 не задано значение").arg(name));
        values.push_back(parameterText(statement.param(name)));
    }
    std::vector<const char*> pointers;
    for (const auto& v : values) pointers.push_back(v ? v->constData() : nullptr);
    const QByteArray declare = QStringLiteral("declare %1 no scroll cursor for %2").arg(m_name, text.positional).toUtf8();
    PGresult* result = PQexecParams(connectionOf(m_db), declare.constData(), int(pointers.size()), nullptr, pointers.data(),
                                    nullptr, nullptr, 0);
    const bool declared = PQresultStatus(result) == PGRES_COMMAND_OK;
    const QString message = QString::fromUtf8(PQresultErrorMessage(result)).trimmed();
    const QString state = QString::fromLatin1(PQresultErrorField(result, PG_DIAG_SQLSTATE));
    PQclear(result);
    if (!declared)
        throwDatabaseError(m_db, QSqlError(message, message, QSqlError::StatementError, state));
}

Cursor::~Cursor()
{
    // A transaction of its own ends with the cursor; in the caller's, the cursor is closed and the
    // transaction goes on (a failed one is rolled back by its owner anyway).
    if (m_own) return;
    PGconn* conn = m_db.isOpen() && m_db.driver() ? *static_cast<PGconn* const*>(m_db.driver()->handle().constData()) : nullptr;
    if (conn && PQtransactionStatus(conn) == PQTRANS_INTRANS) {
        const QByteArray close = QStringLiteral("close %1").arg(m_name).toUtf8();
        PQclear(PQexec(conn, close.constData()));
    }
}

QSqlQuery Cursor::fetch(int rows)
{
    return Statement(QStringLiteral("fetch forward %1 from %2").arg(rows).arg(m_name)).exec(m_db);
}
