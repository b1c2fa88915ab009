#pragma once
#include "data/statement.h"
#include "data/transaction.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <optional>

/// The rows of a statement read a batch at a time through a cursor of the server: however many
/// rows there are, only one batch is on the client at a time, and other statements may run on
/// the connection between batches. The cursor lives in the connection's open transaction (the
/// one snapshot of a month-end run) or, where none is open, in a transaction of its own that ends
/// with it. Every value of the statement travels as a bound parameter.
class Cursor {
public:
    /// Declares the cursor over the statement with the values it was given; throws DbError on
    /// refusal, and when a parameter of the text was given no value.
    Cursor(const QSqlDatabase& db, const Statement& statement);
    ~Cursor();
    Cursor(const Cursor&) = delete;
    Cursor& operator=(const Cursor&) = delete;

    /// The next rows, up to `rows` of them, to be read through before the next fetch; none once
    /// every row was read. Throws DbError.
    QSqlQuery fetch(int rows);

private:
    QSqlDatabase m_db;
    std::optional<Transaction> m_own;
    QString m_name;
};
