#pragma once
#include "data/statement.h"

#include <QSqlDatabase>

/// A statement executed without a result set (any rows that come back are released unread).
class Command {
public:
    explicit Command(const QSqlDatabase& db, const QString& sql = {}) : m_db(db), m_stmt(sql) {}
    /// Replaces the text; parameter values given for the previous text are dropped.
    void setSql(const QString& text) { m_stmt.setText(text); }
    const QString& sql() const { return m_stmt.text(); }
    void setParam(const QString& name, const QVariant& value) { m_stmt.setParam(name, value); }
    void setParams(const Params& params) { m_stmt.setParams(params); }
    /// Throws DbError with the server's text on refusal.
    void execute() const { m_stmt.exec(m_db); }
    /// Sets the text and parameters and executes.
    void execute(const QString& text, const Params& params = {})
    {
        setSql(text);
        setParams(params);
        execute();
    }

private:
    QSqlDatabase m_db;
    Statement m_stmt;
};
