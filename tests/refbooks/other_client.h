#pragma once
// Another client at work while this one saves or deletes, for the tests of reference-book races.
#include "data/statement.h"
#include "data/transaction.h"
#include "tests/support/test_database.h"

#include <QSqlQuery>
#include <QStringList>
#include <QThread>
#include <atomic>
#include <functional>
#include <future>
#include <thread>

/// Another client's open transaction on a thread of its own: it does its work, then keeps
/// the transaction open until this client's session waits for one of its locks, or until
/// finish() is called (nothing here waited); then it commits.
class OtherClient {
public:
    OtherClient(const TestDatabase& db, std::function<void(const QSqlDatabase&)> work)
        : m_waiter(db.scalar(QStringLiteral("select pg_backend_pid()")).toInt())
    {
        std::promise<void> ready;
        std::future<void> started = ready.get_future();
        m_thread = std::thread([this, &db, work = std::move(work), ready = std::move(ready)]() mutable {
            {
                QSqlDatabase other = db.openAnother(QStringLiteral("other client"));
                bool running = false;
                try {
                    Transaction tx(other);
                    work(other);
                    running = true;
                    ready.set_value();
                    while (!m_finish) {
                        QSqlQuery waiting(other);
                        waiting.prepare(QStringLiteral("select count(*) from pg_locks where pid = ? and not granted"));
                        waiting.addBindValue(m_waiter);
                        if (waiting.exec() && waiting.next() && waiting.value(0).toInt() > 0) {
                            m_waited = true;
                            break;
                        }
                        QThread::msleep(5);
                    }
                    tx.commit();
                } catch (const DbError& e) {
                    m_error = e.text();
                    if (!running) ready.set_value();
                }
                other.close();
            }
            QSqlDatabase::removeDatabase(QStringLiteral("other client"));
        });
        started.wait();
    }
    ~OtherClient() { finish(); }
    OtherClient(const OtherClient&) = delete;
    OtherClient& operator=(const OtherClient&) = delete;

    /// Lets the transaction commit if it is still open and waits for the thread; whether this
    /// client's session had to wait for the transaction.
    bool finish()
    {
        m_finish = true;
        if (m_thread.joinable()) m_thread.join();
        return m_waited;
    }
    /// The refusal of the work, if any (the transaction then ended at once).
    QString error() const { return m_error; }

private:
    int m_waiter;
    std::thread m_thread;
    std::atomic<bool> m_finish{false};
    std::atomic<bool> m_waited{false};
    QString m_error;
};
