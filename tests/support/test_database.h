#pragma once
#include "data/connection.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>

/// A database of the test's own, copied from the reference schema's template on the test
/// server (TABEL_TEST_PORT, TABEL_TEST_TEMPLATE), connected under a connection name, and
/// dropped again when the object goes. No server is a failure, never a skip.
class TestDatabase {
public:
    explicit TestDatabase(const QString& tag, const QString& connectionName = QStringLiteral("ADO_DB"));
    ~TestDatabase();
    TestDatabase(const TestDatabase&) = delete;
    TestDatabase& operator=(const TestDatabase&) = delete;

    QSqlDatabase db() const { return QSqlDatabase::database(m_connection, false); }
    const QString& name() const { return m_name; }
    static int port();
    /// How the tests' fixtures connect: the throwaway cluster's superuser "tabel_test", which
    /// writes what no role of the client may (enterprise tables, closed months, the history).
    /// The client's own runs log in as "sys", an ordinary member of full access.
    static ConnectionSettings adminSettings(const QString& database);
    /// The streaming standby of the test server ("127.0.0.1:PORT", TABEL_TEST_STANDBY_PORT).
    static QString standbyServer();
    /// Waits (up to 20 s) until the standby has replayed all the server has written so far;
    /// false when it has not.
    bool waitForStandby() const;
    /// How a client connects to this database (for a connection of another thread's own).
    ConnectionSettings settings() const;
    /// A second connection to the same database (for concurrency tests).
    QSqlDatabase openAnother(const QString& connectionName) const;
    /// Runs statements (separated by ";" at line ends are fine) and fails the test on error.
    void exec(const QString& sql) const;
    /// The first column of the first row of a query, or an invalid variant.
    QVariant scalar(const QString& sql) const;
    /// Loads db/demo.sql into this database.
    void loadDemo() const;

private:
    QString m_name;
    QString m_connection;
    QStringList m_others;
};

/// A database named as another test's, on another cluster of the suite's (TABEL_TEST_FOREIGN_PORT)
/// made from the same template, with rows of its own, and replayed by that cluster's streaming
/// standby (TABEL_TEST_FOREIGN_STANDBY_PORT): a read server that serves another plant's database
/// under the same name. Dropped when the object goes.
class ForeignTwin {
public:
    ForeignTwin(const TestDatabase& of, const QString& rows);
    ~ForeignTwin();
    ForeignTwin(const ForeignTwin&) = delete;
    ForeignTwin& operator=(const ForeignTwin&) = delete;

    /// The other cluster's standby ("127.0.0.1:PORT").
    static QString standbyServer();

private:
    QString m_name;
};
