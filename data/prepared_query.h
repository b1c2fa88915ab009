#pragma once
#include "data/statement.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>

/// A statement prepared once on a connection and executed again and again with new values:
/// one round trip to the server an execution, where a fresh statement takes three (prepare,
/// execute, release). For the statements of a save that runs many times in a session.
/// Placeholders are written in lower case (:w_id); values are given by name, any case.
class PreparedQuery {
public:
    PreparedQuery(const QSqlDatabase& db, const QString& text);

    /// Binds every parameter of the text and executes; throws DbError when the server refuses
    /// or when a parameter of the text was given no value. The query is returned positioned
    /// before its first row.
    QSqlQuery& exec(const Params& params);

private:
    QSqlQuery m_query;
    QString m_text;
    QStringList m_names;
    bool m_prepared = false;
};
