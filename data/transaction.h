#pragma once
#include "data/connection.h"
#include "data/db_error.h"

#include <QSqlDatabase>
#include <QSqlError>

/// Statements of one user action that stand or fall together: begun on construction, rolled
/// back when the scope is left without commit() (an exception on the way included). A
/// connection lost on the way is not opened again until the transaction is left, so nothing
/// of the action is written outside it.
class Transaction {
public:
    explicit Transaction(QSqlDatabase db) : m_db(std::move(db))
    {
        ensureConnected(m_db);
        if (!m_db.transaction()) throwDatabaseError(m_db, m_db.lastError());
        setInTransaction(m_db, true);
    }
    ~Transaction()
    {
        if (m_done) return;
        if (m_db.isOpen()) m_db.rollback();
        setInTransaction(m_db, false);
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    void commit()
    {
        m_done = true;
        setInTransaction(m_db, false);
        if (!m_db.commit()) {
            const QSqlError e = m_db.lastError();
            if (m_db.isOpen()) m_db.rollback();
            throwDatabaseError(m_db, e);
        }
    }

private:
    QSqlDatabase m_db;
    bool m_done = false;
};
