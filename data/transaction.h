#pragma once
#include "data/db_error.h"

#include <QSqlDatabase>
#include <QSqlError>

/// Statements of one user action that stand or fall together: begun on construction, rolled
/// back when the scope is left without commit() (an exception on the way included).
class Transaction {
public:
    explicit Transaction(QSqlDatabase db) : m_db(std::move(db))
    {
        if (!m_db.transaction()) throw DbError(m_db.lastError().text());
    }
    ~Transaction()
    {
        if (!m_done) m_db.rollback();
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    void commit()
    {
        m_done = true;
        if (!m_db.commit()) {
            const QString text = m_db.lastError().databaseText();
            m_db.rollback();
            throw DbError(text.isEmpty() ? m_db.lastError().text() : text);
        }
    }

private:
    QSqlDatabase m_db;
    bool m_done = false;
};
