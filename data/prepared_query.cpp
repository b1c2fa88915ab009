#include "data/prepared_query.h"
#include "data/db_error.h"

#include <QRegularExpression>

PreparedQuery::PreparedQuery(const QSqlDatabase& db, const QString& text) : m_query(db), m_text(text)
{
    // ":name", but not the second colon of a cast ("xmin::text").
    static const QRegularExpression placeholder(QStringLiteral("(?<![:\\w]):([a-z_][a-z0-9_]*)"));
    for (const QRegularExpressionMatch& m : placeholder.globalMatch(text))
        if (!m_names.contains(m.captured(1))) m_names << m.captured(1);
    m_query.setForwardOnly(true);
    m_query.setNumericalPrecisionPolicy(QSql::HighPrecision);
}

QSqlQuery& PreparedQuery::exec(const Params& params)
{
    if (!m_prepared) {
        if (!m_query.prepare(m_text)) throwQueryError(m_query);
        m_prepared = true;
    }
    for (const QString& name : std::as_const(m_names)) {
        const auto given = std::find_if(params.cbegin(), params.cend(),
                                        [&name](const auto& p) { return p.first.compare(name, Qt::CaseInsensitive) == 0; });
        if (given == params.cend()) throw DbError(QStringLiteral("Параметру %1 не задано значение").arg(name));
        m_query.bindValue(QLatin1Char(':') + name, given->second);
    }
    if (!m_query.exec()) throwQueryError(m_query);
    return m_query;
}
