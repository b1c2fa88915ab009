#pragma once
// What the journal's test classes share: their database and data module, a second client on a
// thread of its own, a timesheet closed by a trigger, and finding a field by its label.
#include "data/connection.h"
#include "data/data_module.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/gui_steps.h"
#include "tests/support/test_database.h"

#include <QLabel>
#include <QLocale>
#include <QScopeGuard>
#include <QThread>
#include <functional>

/// A database of the test's own with the data module over it, the shift queries showing every
/// marked entry as after the login, and the Russian locale.
struct JournalTestData {
    JournalTestData(const QString& tag, ScriptedPrompts& prompts) : db(tag), dm(db.db(), prompts)
    {
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
        for (int i = 1; i <= 4; ++i) dm.smenaQuery(i).setParam(QStringLiteral("OK"), QStringLiteral("ta"));
    }
    TestDatabase db;
    TDataModule6 dm;
};

/// Another client of the same database: the work runs on a thread with a connection of its own.
/// Started at once; the caller waits for it and deletes it.
inline QThread* startAnotherClient(const TestDatabase& database, std::function<void(const QSqlDatabase&)> work)
{
    const QString dbName = database.name();
    QThread* other = QThread::create([dbName, work = std::move(work)] {
        ConnectionSettings s;
        s.host = QStringLiteral("127.0.0.1");
        s.port = TestDatabase::port();
        s.database = dbName;
        work(openConnection(s, QStringLiteral("another_client")));
        QSqlDatabase::removeDatabase(QStringLiteral("another_client"));
    });
    other->start();
    return other;
}

/// Makes every write of a timesheet row fail with "табель закрыт" until the guard goes, however
/// the test ends.
[[nodiscard]] inline auto closeTheTimesheet(const TestDatabase& db)
{
    db.exec(QStringLiteral(R"(
        create or replace function accounts_dep.refuse() returns trigger language plpgsql as
          $$ begin raise exception 'табель закрыт'; end $$;
        create trigger refuse before update or insert on accounts_dep.h_tabel
          for each row execute function accounts_dep.refuse();
    )"));
    return qScopeGuard([&db] { db.exec(QStringLiteral("drop trigger refuse on accounts_dep.h_tabel")); });
}

