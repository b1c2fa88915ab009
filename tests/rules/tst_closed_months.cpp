// The database's own guard of closed months and its history of changes, tried through plain SQL
// as any client or psql would write.
#include "data/connection.h"
#include "data/db_error.h"
#include "data/statement.h"
#include "rules/journal_entries.h"
#include "rules/month_close.h"
#include "rules/month_rebuild.h"
#include "tests/support/test_database.h"

#include <QDate>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>
#include <functional>
#include <thread>

class TestClosedMonths : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase() { delete m_db; }
    void init();
    void writesIntoAClosedMonthAreRefused_data();
    void writesIntoAClosedMonthAreRefused();
    void reopeningLetsThemThroughAndIsInTheHistory();
    void historyKeepsOldAndNewRows();
    void theUserIsToldTheMonthIsClosed();
    void theCheckFindsEveryCellThatDiffers_data();
    void theCheckFindsEveryCellThatDiffers();
    void closingRefusesADifferingMonthUntilRebuilt();
    void closingWaitsForAWriterInProgress();
    void aClosingHoldsUpOnlyItsOwnMonth();
    void anUpdateThatChangesNothingIsNoChange();
    void reopeningNeedsAReason();

private:
    /// The SQLSTATE a statement failed with, or empty when it ran.
    QString refusal(const QString& sql) const;
    TestDatabase* m_db = nullptr;
};

void TestClosedMonths::initTestCase() { m_db = new TestDatabase(QStringLiteral("closed_months")); }

void TestClosedMonths::init()
{
    m_db->exec(QStringLiteral(R"(
        truncate accounts_dep.smena, accounts_dep.fatigue, accounts_dep.h_tabel, accounts_dep.closed_month,
                 accounts_dep.change_log restart identity;
        insert into accounts_dep.smena (data, smena, w_id, i_id, o_id, cena, kol_vo, brak, time, ok) values
          ('2024-03-15', 1, 1, 10001, 1, 10, 10, 0, 8, 'ok'), ('2024-04-02', 1, 1, 10001, 1, 10, 5, 0, 4, 'no');
        insert into accounts_dep.fatigue (id_nom, id_o, id_p, d_date, i_mnth, i_year, cnt, price) values
          (1, 7777, 1, '2024-03-10', 3, 2024, 8, 100), (1, 7777, 1, '2024-04-10', 4, 2024, 8, 100);
        insert into accounts_dep.h_tabel (w_id, month, year, smena, d15) values (1, 3, 2024, 1, 8), (1, 4, 2024, 1, 4);
        insert into accounts_dep.closed_month (year, month) values (2024, 3);
    )"));
}

QString TestClosedMonths::refusal(const QString& sql) const
{
    QSqlQuery q(m_db->db());
    return q.exec(sql) ? QString() : q.lastError().nativeErrorCode();
}

void TestClosedMonths::writesIntoAClosedMonthAreRefused_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<bool>("refused");
    const auto row = [](const char* name, const char* sql, bool refused) { QTest::newRow(name) << QString::fromUtf8(sql) << refused; };
    row("entry added in March", "insert into accounts_dep.smena (data, smena, w_id, i_id, o_id, cena, kol_vo) "
                                "values ('2024-03-20', 1, 1, 10001, 1, 10, 1)", true);
    row("entry of March approved", "update accounts_dep.smena set ok='no' where data='2024-03-15'", true);
    row("entry of March deleted", "delete from accounts_dep.smena where data='2024-03-15'", true);
    row("entry of April moved into March", "update accounts_dep.smena set data='2024-03-31' where data='2024-04-02'", true);
    row("entry of March moved out into April", "update accounts_dep.smena set data='2024-04-01' where data='2024-03-15'", true);
    // The year's first and last months are months like any other (both closed below).
    row("entry added in December", "insert into accounts_dep.smena (data, smena, w_id, i_id, o_id, cena, kol_vo) "
                                   "values ('2023-12-31', 1, 1, 10001, 1, 10, 1)", true);
    row("entry added in January", "insert into accounts_dep.smena (data, smena, w_id, i_id, o_id, cena, kol_vo) "
                                  "values ('2025-01-01', 1, 1, 10001, 1, 10, 1)", true);
    row("entry added in the open December", "insert into accounts_dep.smena (data, smena, w_id, i_id, o_id, cena, kol_vo) "
                                            "values ('2024-12-31', 1, 1, 10001, 1, 10, 1)", false);
    row("hour entry of December by its month only", "insert into accounts_dep.fatigue (id_p, i_mnth, i_year, cnt) values (1, 12, 2023, 1)", true);
    row("timesheet row added to January", "insert into accounts_dep.h_tabel (w_id, month, year, smena) values (2, 1, 2025, 1)", true);
    row("entry of April approved", "update accounts_dep.smena set ok='ok' where data='2024-04-02'", false);
    row("hour entry of March changed", "update accounts_dep.fatigue set cnt=9 where i_mnth=3", true);
    row("hour entry dated by its month only", "insert into accounts_dep.fatigue (id_p, i_mnth, i_year, cnt) values (1, 3, 2024, 1)", true);
    row("hour entry of April deleted", "delete from accounts_dep.fatigue where i_mnth=4", false);
    row("timesheet row of March rebuilt", "delete from accounts_dep.h_tabel where month=3", true);
    row("timesheet row added to March", "insert into accounts_dep.h_tabel (w_id, month, year, smena) values (2, 3, 2024, 1)", true);
    row("timesheet row of April changed", "update accounts_dep.h_tabel set d15=5 where month=4", false);
}

void TestClosedMonths::writesIntoAClosedMonthAreRefused()
{
    QFETCH(QString, sql);
    QFETCH(bool, refused);
    m_db->exec(QStringLiteral("insert into accounts_dep.closed_month (year, month) values (2023, 12), (2025, 1)"));
    const int before = m_db->scalar(QStringLiteral("select count(*) from accounts_dep.smena where data='2024-03-15' and ok='ok'")).toInt();
    QCOMPARE(refusal(sql), refused ? QStringLiteral("TB001") : QString());
    QCOMPARE(m_db->scalar(QStringLiteral("select count(*) from accounts_dep.smena where data='2024-03-15' and ok='ok'")).toInt(), before);
}

void TestClosedMonths::reopeningLetsThemThroughAndIsInTheHistory()
{
    const QString change = QStringLiteral("update accounts_dep.smena set kol_vo=11 where data='2024-03-15'");
    QCOMPARE(refusal(change), QStringLiteral("TB001"));
    m_db->exec(QStringLiteral("begin; set local tabel.reason = 'ошибка в табеле'; "
                              "delete from accounts_dep.closed_month where year=2024 and month=3; commit"));
    QCOMPARE(refusal(change), QString());
    m_db->exec(QStringLiteral("insert into accounts_dep.closed_month (year, month) values (2024, 3)"));
    QCOMPARE(refusal(change), QStringLiteral("TB001"));
    QSqlQuery q(m_db->db());
    QVERIFY(q.exec(QStringLiteral("select act::text, coalesce(reason, ''), in_month, fields->>'month' from accounts_dep.change_log "
                                  "where tbl = 'm' order by id")));
    QStringList seen;
    while (q.next())
        seen << QStringLiteral("%1 %2 %3 %4").arg(q.value(0).toString(), q.value(1).toString(), q.value(2).toString(), q.value(3).toString());
    // The month's row is kept whole.
    QCOMPARE(seen, (QStringList{"c  3 3", "r ошибка в табеле 3 3", "c  3 3"}));
}

void TestClosedMonths::historyKeepsOldAndNewRows()
{
    // April is open: an approval of an entry and a deletion of an hour entry are recorded with
    // the rows before and after, the user and the client that wrote them (an application name
    // is ASCII: the server turns other letters into "?").
    QSqlDatabase other = m_db->openAnother(QStringLiteral("other"));
    QSqlQuery(other).exec(QStringLiteral("set application_name = 'tabel warehouse frumo@host'"));
    const int id = m_db->scalar(QStringLiteral("select id from accounts_dep.smena where data='2024-04-02'")).toInt();
    QVERIFY(QSqlQuery(other).exec(QStringLiteral("update accounts_dep.smena set ok='ok' where id=%1").arg(id)));
    QVERIFY(QSqlQuery(other).exec(QStringLiteral("delete from accounts_dep.fatigue where i_mnth=4")));
    QSqlQuery q(m_db->db());
    // An update keeps the fields it changed, before and after; a deletion the row.
    QVERIFY(q.exec(QStringLiteral("select l.tbl::text, l.act::text, l.row_id, l.fields->'ok'->>0, l.fields->'ok'->>1, a.client, "
                                  "a.db_user, l.entry from accounts_dep.change_log l join accounts_dep.change_author a on a.id = l.author "
                                  "where a.client <> '' order by l.id")));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toString(), QStringLiteral("s"));
    QCOMPARE(q.value(1).toString(), QStringLiteral("u"));
    QCOMPARE(q.value(2).toInt(), id);
    QCOMPARE(q.value(3).toString(), QStringLiteral("no"));
    QCOMPARE(q.value(4).toString(), QStringLiteral("ok"));
    QCOMPARE(q.value(5).toString(), QStringLiteral("tabel warehouse frumo@host"));
    QCOMPARE(q.value(6).toString(), QStringLiteral("tabel_test"));   // the login, not the claimed client
    QVERIFY(q.value(7).isNull());
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toString(), QStringLiteral("f"));
    QCOMPARE(q.value(1).toString(), QStringLiteral("d"));
    QVERIFY(q.value(4).isNull());
    QVERIFY2(q.value(7).toString().startsWith(QLatin1Char('(')), qPrintable(q.value(7).toString()));
    QVERIFY(!q.next());
    other.close();
}

void TestClosedMonths::theUserIsToldTheMonthIsClosed()
{
    // Through the client's own statements the refusal becomes its message, naming the month.
    Statement approve(QStringLiteral("update accounts_dep.smena set ok=:ok where data=:day"));
    approve.setParams({{QStringLiteral("ok"), QStringLiteral("no")}, {QStringLiteral("day"), QDate(2024, 3, 15)}});
    try {
        approve.exec(m_db->db());
        QFAIL("a write into a closed month went through");
    } catch (const DbError& e) {
        QCOMPARE(e.sqlState(), QStringLiteral("TB001"));
        QCOMPARE(errorText(e), QStringLiteral("Месяц закрыт (03.2024): его записи, часы и табель не изменяются. "
                                              "Открыть месяц может полный доступ."));
    }
    // Other refusals keep the server's text.
    const DbError other(QStringLiteral("нарушение ограничения"), QStringLiteral("23505"));
    QCOMPARE(errorText(other), QStringLiteral("нарушение ограничения"));
}

void TestClosedMonths::theCheckFindsEveryCellThatDiffers_data()
{
    // April as init() leaves it agrees: shift 1 of worker 1 has 4 hours on the 2nd in the
    // journal, but the row says 4 on the 15th; put right first, then spoiled one way or another.
    QTest::addColumn<QString>("spoil");
    QTest::addColumn<QStringList>("found");
    const auto row = [](const char* name, const char* sql, const QStringList& found) {
        QTest::newRow(name) << QString::fromUtf8(sql) << found;
    };
    row("consistent", "", {});
    row("a cell changed behind the client's back", "update accounts_dep.h_tabel set d2=5 where month=4 and smena=1",
        {"Иванов И.И. (код 1), смена 1, 02 число: в табеле 5, по записям 4"});
    row("a day without its cell", "update accounts_dep.h_tabel set d2=null where month=4 and smena=1",
        {"Иванов И.И. (код 1), смена 1, 02 число: в табеле пусто, по записям 4"});
    row("a row of the same key twice", "insert into accounts_dep.h_tabel (w_id, month, year, smena, d2) values (1, 4, 2024, 1, 4)",
        {"Иванов И.И. (код 1), смена 1, 02 число: в табеле 8, по записям 4"});
    row("hours on a day without entries, of a worker no one names",
        "insert into accounts_dep.h_tabel (w_id, month, year, smena, i_type, i_night, d30) values (9, 4, 2024, 0, 7778, 1, 3)",
        {"рабочий с кодом 9, ср. сдельная, ночь, 30 число: в табеле 3, по записям пусто"});
    row("an hour entry the rows miss", "delete from accounts_dep.h_tabel where month=4 and smena=0",
        {"Иванов И.И. (код 1), хоз. работы, день, 10 число: в табеле пусто, по записям 8"});
    row("entries without hours agree with a blank and with a 0",
        "insert into accounts_dep.smena (data, smena, w_id, i_id, o_id, cena, kol_vo) values "
        "('2024-04-03', 2, 1, 10001, 1, 10, 1), ('2024-04-04', 2, 1, 10001, 1, 10, 1);"
        "insert into accounts_dep.h_tabel (w_id, month, year, smena, d4) values (1, 4, 2024, 2, 0)",
        {});
}

void TestClosedMonths::theCheckFindsEveryCellThatDiffers()
{
    QFETCH(QString, spoil);
    QFETCH(QStringList, found);
    m_db->exec(QStringLiteral("insert into cmn_contractor.person (id, s_caption, s_code) values (1, 'Иванов И.И.', '1')"));
    month_rebuild::shiftRows(m_db->db(), 4, 2024);
    month_rebuild::hourRows(m_db->db(), 4, 2024);
    if (!spoil.isEmpty()) m_db->exec(spoil);
    QCOMPARE(month_close::describe(month_close::differences(m_db->db(), 4, 2024)), found);
    m_db->exec(QStringLiteral("delete from cmn_contractor.person"));
}

void TestClosedMonths::closingRefusesADifferingMonthUntilRebuilt()
{
    // April's row has the 4 hours of the 2nd on the 15th: two cells differ.
    const month_close::CloseResult refused = month_close::close(m_db->db(), 4, 2024);
    QCOMPARE(refused.outcome, month_close::Outcome::Inconsistent);
    QCOMPARE(refused.differences.size(), 3);   // the two cells, and the unbuilt hour entry
    QVERIFY(!month_close::isClosed(m_db->db(), 4, 2024));

    month_rebuild::shiftRows(m_db->db(), 4, 2024);
    month_rebuild::hourRows(m_db->db(), 4, 2024);
    QCOMPARE(month_close::close(m_db->db(), 4, 2024).outcome, month_close::Outcome::Done);
    QVERIFY(month_close::isClosed(m_db->db(), 4, 2024));
    QCOMPARE(month_close::close(m_db->db(), 4, 2024).outcome, month_close::Outcome::AlreadyClosed);

    // Now the client's own save and removal of an April entry are refused by the database, and a
    // rebuild that would change a row as well; the month keeps its entries. A rebuild of the
    // month as its entries make it writes nothing, and so is no write.
    const int id = m_db->scalar(QStringLiteral("select id from accounts_dep.smena where data='2024-04-02'")).toInt();
    const QString rows = m_db->scalar(QStringLiteral("select string_agg(ctid::text, ';' order by id) from accounts_dep.h_tabel")).toString();
    month_rebuild::shiftRows(m_db->db(), 4, 2024);
    QCOMPARE(m_db->scalar(QStringLiteral("select string_agg(ctid::text, ';' order by id) from accounts_dep.h_tabel")).toString(), rows);
    for (const auto& write : std::initializer_list<std::function<void()>>{
             [&] { shift_entry::remove(m_db->db(), id); },
             [&] { shift_entry::toggleApproval(m_db->db(), id, QStringLiteral("no")); },
             [&] {
                 // An entry of April that the rebuild would add to its timesheet.
                 m_db->exec(QStringLiteral("set session_replication_role = replica;\n"
                                           "insert into accounts_dep.smena (data, smena, w_id, i_id, o_id, cena, kol_vo, time) "
                                           "values ('2024-04-03', 1, 1, 10001, 1, 10, 1, 3);\n"
                                           "set session_replication_role = origin"));
                 month_rebuild::shiftRows(m_db->db(), 4, 2024);
             }}) {
        try {
            write();
            QFAIL("a write into a closed month went through");
        } catch (const DbError& e) {
            QCOMPARE(e.sqlState(), QStringLiteral("TB001"));
        }
    }
    QCOMPARE(m_db->scalar(QStringLiteral("select ok from accounts_dep.smena where id=%1").arg(id)).toString(), QStringLiteral("no"));
    QCOMPARE(month_close::closedMonths(m_db->db()).size(), 2);
    QCOMPARE(month_close::closedMonths(m_db->db()).constFirst().month, 4);
}

void TestClosedMonths::closingWaitsForAWriterInProgress()
{
    // Another client has saved an entry of May without its timesheet and not yet committed: the
    // closing waits for it and then finds the month differs, rather than closing a month that
    // the entry then lands in.
    QSqlDatabase other = m_db->openAnother(QStringLiteral("writer"));
    QVERIFY(other.transaction());
    QVERIFY(QSqlQuery(other).exec(QStringLiteral("insert into accounts_dep.smena (data, smena, w_id, i_id, o_id, cena, kol_vo, time) "
                                                 "values ('2024-05-06', 1, 1, 10001, 1, 10, 1, 8)")));
    month_close::Outcome outcome = month_close::Outcome::Done;
    QString failure;
    std::thread closer([&] {
        {
            QSqlDatabase db = openConnection(m_db->settings(), QStringLiteral("closer"));
            try {
                outcome = month_close::close(db, 5, 2024).outcome;
            } catch (const DbError& e) {
                failure = e.text();
            }
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("closer"));
    });
    bool waiting = false;
    for (int i = 0; i < 200 && !waiting; ++i) {
        waiting = m_db->scalar(QStringLiteral("select count(*) from pg_locks where not granted")).toInt() > 0;
        if (!waiting) QTest::qWait(25);
    }
    QVERIFY(other.commit());
    closer.join();
    other.close();
    QVERIFY2(waiting, "the closing did not wait for the writer");
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    QCOMPARE(outcome, month_close::Outcome::Inconsistent);
    QVERIFY(!month_close::isClosed(m_db->db(), 5, 2024));
}

void TestClosedMonths::aClosingHoldsUpOnlyItsOwnMonth()
{
    // A closing of April is under way (checked, closed, not yet committed). Every write of
    // another month goes through at once, whatever table; a write that touches April, an entry
    // moved into it included, waits for the closing and is then refused.
    m_db->exec(QStringLiteral("delete from accounts_dep.h_tabel where month = 4"));
    m_db->exec(QStringLiteral("insert into accounts_dep.h_tabel (w_id, month, year, smena, d2) values (1, 4, 2024, 1, 4);"
                              "insert into accounts_dep.h_tabel (w_id, month, year, i_type, d10) values (1, 4, 2024, 7777, 8)"));
    QSqlDatabase closer = m_db->openAnother(QStringLiteral("closer"));
    QVERIFY(closer.transaction());
    QVERIFY(QSqlQuery(closer).exec(QStringLiteral("select accounts_dep.lock_month(2024, 4)")));
    QCOMPARE(month_close::differences(closer, 4, 2024).size(), 0);
    QVERIFY(QSqlQuery(closer).exec(QStringLiteral("select accounts_dep.close_month(2024, 4)")));

    QSqlDatabase writer = m_db->openAnother(QStringLiteral("writer"));
    const auto outcome = [&](const QString& sql) {
        QSqlQuery q(writer);
        const bool done = q.exec(QStringLiteral("set lock_timeout = '300ms'")) && q.exec(sql);
        return done ? QStringLiteral("done") : q.lastError().nativeErrorCode();
    };
    const QString lockTimeout = QStringLiteral("55P03");
    const QStringList others = {
        "insert into accounts_dep.smena (data, smena, w_id, i_id, o_id, cena, kol_vo, time) values ('2024-05-06', 1, 1, 10001, 1, 10, 1, 8)",
        "update accounts_dep.smena set kol_vo = 7 where data = '2024-05-06'",
        "insert into accounts_dep.fatigue (id_nom, id_o, id_p, d_date, i_mnth, i_year, cnt, price) values (1, 7777, 1, '2024-06-10', 6, 2024, 8, 100)",
        "insert into accounts_dep.h_tabel (w_id, month, year, smena, d6) values (1, 5, 2024, 1, 8)",
        "delete from accounts_dep.smena where data = '2024-05-06'",
        "insert into accounts_dep.smena (data, smena, w_id, i_id, o_id, cena, kol_vo, time) values ('2024-05-07', 1, 1, 10001, 1, 10, 1, 8)",
    };
    for (const QString& sql : others) QVERIFY2(outcome(sql) == QStringLiteral("done"), qPrintable(sql));
    const QStringList april = {
        "insert into accounts_dep.smena (data, smena, w_id, i_id, o_id, cena, kol_vo, time) values ('2024-04-06', 1, 1, 10001, 1, 10, 1, 8)",
        "update accounts_dep.smena set kol_vo = 6 where data = '2024-04-02'",
        "update accounts_dep.fatigue set cnt = 9 where d_date = '2024-04-10'",
        "update accounts_dep.h_tabel set d3 = 1 where month = 4",
        // an entry of May cannot move into April
        "update accounts_dep.smena set data = '2024-04-07' where data = '2024-05-07'",
    };
    for (const QString& sql : april) QVERIFY2(outcome(sql) == lockTimeout, qPrintable(sql));

    // A writer of April that waits meanwhile finds the month closed once the closing commits.
    QString late;
    std::thread waiting([&] {
        {
            QSqlDatabase db = openConnection(m_db->settings(), QStringLiteral("late"));
            QSqlQuery q(db);
            if (!q.exec(QStringLiteral("update accounts_dep.smena set kol_vo = 6 where data = '2024-04-02'")))
                late = q.lastError().nativeErrorCode();
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("late"));
    });
    bool held = false;
    for (int i = 0; i < 200 && !held; ++i) {
        held = m_db->scalar(QStringLiteral("select count(*) from pg_locks where locktype = 'advisory' and not granted")).toInt() > 0;
        if (!held) QTest::qWait(25);
    }
    QVERIFY(closer.commit());
    waiting.join();
    QVERIFY2(held, "the writer of April did not wait for its closing");
    QCOMPARE(late, QStringLiteral("TB001"));
    QVERIFY(month_close::isClosed(m_db->db(), 4, 2024));
    QCOMPARE(m_db->scalar(QStringLiteral("select kol_vo from accounts_dep.smena where data = '2024-04-02'")).toInt(), 5);
    writer.close();
    closer.close();
}

void TestClosedMonths::anUpdateThatChangesNothingIsNoChange()
{
    // April is open: an update that writes the values the row holds is no change of the history;
    // one that changes a value is.
    const auto records = [&] { return m_db->scalar(QStringLiteral("select count(*) from accounts_dep.change_log where act = 'u'")).toInt(); };
    m_db->exec(QStringLiteral("update accounts_dep.smena set ok=ok, kol_vo=kol_vo where data='2024-04-02'"));
    m_db->exec(QStringLiteral("update accounts_dep.fatigue set cnt=cnt where i_mnth=4"));
    QCOMPARE(records(), 0);
    m_db->exec(QStringLiteral("update accounts_dep.smena set kol_vo=kol_vo+1 where data='2024-04-02'"));
    QCOMPARE(records(), 1);
    // In a closed month it is still a write, and refused.
    QCOMPARE(refusal(QStringLiteral("update accounts_dep.smena set ok=ok where data='2024-03-15'")), QStringLiteral("TB001"));
}

void TestClosedMonths::reopeningNeedsAReason()
{
    QVERIFY_THROWS_EXCEPTION(DbError, month_close::reopen(m_db->db(), 3, 2024, QStringLiteral("  ")));
    QVERIFY(month_close::isClosed(m_db->db(), 3, 2024));
    QCOMPARE(month_close::reopen(m_db->db(), 5, 2024, QStringLiteral("ошибка")), month_close::Outcome::NotClosed);
    QCOMPARE(month_close::reopen(m_db->db(), 3, 2024, QStringLiteral(" пересчет премии ")), month_close::Outcome::Done);
    QVERIFY(!month_close::isClosed(m_db->db(), 3, 2024));
    QCOMPARE(m_db->scalar(QStringLiteral("select reason from accounts_dep.change_log where act = 'r'")).toString(),
             QStringLiteral("пересчет премии"));
}

QTEST_GUILESS_MAIN(TestClosedMonths)
#include "tst_closed_months.moc"
