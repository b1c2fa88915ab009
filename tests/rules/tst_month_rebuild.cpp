// The month rebuilds without a window, against the test server: the rows they make, against
// the long way row by row, a refusal halfway, and cells saved by another client meanwhile.
#include "data/connection.h"
#include "data/dataset.h"
#include "data/db_error.h"
#include "data/statement.h"
#include "data/timesheet_cell.h"
#include "data/transaction.h"
#include "rules/month_rebuild.h"
#include "tests/support/sheet_fixtures.h"
#include "tests/support/test_database.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QTest>
#include <QThread>

namespace {

/// The first column of a query's rows, as text.
QStringList firstColumn(const QSqlDatabase& db, const QString& text)
{
    QSqlQuery q(db);
    if (!q.exec(text)) qFatal("%s", qPrintable(q.lastError().text()));
    QStringList rows;
    while (q.next()) rows << q.value(0).toString();
    return rows;
}

/// The condition on smena of a family of timesheet rows: shift rows above 0, hour rows 0.
QString family(bool shifts) { return shifts ? QStringLiteral(">0") : QStringLiteral("=0"); }

/// The timesheet rows of a month and family (shift rows: smena above 0; hour rows: 0) as
/// "smena/w_id/i_type/i_night: day=hours …", sorted.
QStringList monthRows(const QSqlDatabase& db, bool shifts, int month, int year)
{
    QStringList days;
    for (int d = 1; d <= 31; ++d) days << QStringLiteral("case when d%1 is not null then '%1=' || d%1 end").arg(d);
    const QString text = QStringLiteral("select smena || '/' || w_id || '/' || i_type || '/' || i_night || ': ' || "
                                        "concat_ws(' ', %1) from accounts_dep.h_tabel "
                                        "where month=%2 and year=%3 and smena%4 order by 1");
    return firstColumn(db, text.arg(days.join(QStringLiteral(", "))).arg(month).arg(year).arg(family(shifts)));
}

/// Every other timesheet row than those of the month and family, for a check that they stay.
QStringList otherRows(const QSqlDatabase& db, bool shifts, int month, int year)
{
    const QString text = QStringLiteral("select h::text from accounts_dep.h_tabel h "
                                        "where not (month=%1 and year=%2 and smena%3) order by id");
    return firstColumn(db, text.arg(month).arg(year).arg(family(shifts)));
}

const QString kAllRows = QStringLiteral(
    "select concat_ws('|', month, year, smena, w_id, i_type, i_night, %1) as r from accounts_dep.h_tabel "
    "order by 1");

/// Every row of the timesheet table (ids left out), in a fixed order.
QStringList timesheetRows(const QSqlDatabase& db)
{
    QStringList days;
    for (int d = 1; d <= 31; ++d) days << QStringLiteral("coalesce(d%1::text, '-')").arg(d);
    return firstColumn(db, kAllRows.arg(days.join(QStringLiteral(", "))));
}

/// A month's rebuild done the long way: delete the month's rows of the family, then day by day
/// and key by key count the key's row, update its day or insert it.
struct RowByRow {
    QString remove;          ///< the month's rows, by :m and :y
    QString day;             ///< the day's totals by key, by :data; the total is tim
    QStringList keyFields;   ///< fields of the day's rows, bound in order as :k0, :k1 …
    QString count, update, insert;   ///< by the key, :m, :y (and :t the total); %1 the day
};

const RowByRow kShiftRows{
    "delete from accounts_dep.h_tabel where smena>0 and month=:m and year=:y",
    " select smena, w_id, sum(time) as tim from accounts_dep.smena where data=:data group by smena,w_id;",
    {"smena", "w_id"},
    "select count(w_id) as cnt from accounts_dep.h_tabel h_tabel where smena=:k0 and w_id=:k1 and month=:m and year=:y",
    "update accounts_dep.h_tabel set d%1=:t where smena=:k0 and w_id=:k1 and month=:m and year=:y",
    "insert into accounts_dep.h_tabel(smena, w_id, month, year, d%1) values(:k0, :k1, :m, :y, :t)"};

const RowByRow kHourRows{
    "delete from accounts_dep.h_tabel where smena=0 and month=:m and year=:y",
    " select f.id_p, f.id_o, f.i_night, sum(f.cnt) as tim from accounts_dep.fatigue f where f.d_date =:data "
    "group by f.id_p, f.id_o, f.i_night order by id_p;",
    {"id_p", "id_o", "i_night"},
    "select count(w_id) as cnt from accounts_dep.h_tabel h_tabel where w_id=:k0 and i_type=:k1 and i_night=:k2 "
    "and month=:m and year=:y",
    "update accounts_dep.h_tabel set d%1=:t where w_id=:k0 and i_type=:k1 and i_night=:k2 and month=:m and year=:y",
    "insert into accounts_dep.h_tabel(w_id, i_type, i_night, month, year, d%1) values(:k0, :k1, :k2, :m, :y, :t)"};

void rowByRow(const QSqlDatabase& db, const RowByRow& family, int month, int year)
{
    const Params monthKey{{"m", month}, {"y", year}};
    execSql(db, family.remove, monthKey);
    for (int i = 1; i <= QDate(year, month, 1).daysInMonth(); ++i) {
        Dataset dt(db, family.day);
        dt.setParam("data", QDate(year, month, i));
        dt.open();
        for (; !dt.eof(); dt.next()) {
            Params key = monthKey;
            for (int k = 0; k < family.keyFields.size(); ++k) key.append({QStringLiteral("k%1").arg(k), dt.value(family.keyFields[k])});
            Dataset control(db, family.count);
            control.setParams(key);
            control.open();
            key.append({"t", dt.isNull("tim") ? QVariant(QMetaType(QMetaType::Int)) : dt.value("tim")});
            execSql(db, (control.asInt("cnt") != 0 ? family.update : family.insert).arg(i), key);
        }
    }
}

void rowByRowShiftRebuild(const QSqlDatabase& db, int month, int year) { rowByRow(db, kShiftRows, month, year); }
void rowByRowHourRebuild(const QSqlDatabase& db, int month, int year) { rowByRow(db, kHourRows, month, year); }

/// Runs f on a connection of its own in another thread (a second client).
QThread* otherClient(const QString& dbName, std::function<void(QSqlDatabase)> f)
{
    return QThread::create([dbName, f] {
        ConnectionSettings s;
        s.host = QStringLiteral("127.0.0.1");
        s.port = TestDatabase::port();
        s.database = dbName;
        {
            QSqlDatabase db = openConnection(s, QStringLiteral("client_b"));
            f(db);
        }
        QSqlDatabase::removeDatabase(QStringLiteral("client_b"));
    });
}

} // namespace

class TestMonthRebuild : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void rebuilds_data();
    void rebuilds();
    void rebuildEqualsRowByRow_data();
    void rebuildEqualsRowByRow();
    void rebuildTwiceGivesTheSameRows_data();
    void rebuildTwiceGivesTheSameRows();
    void failedRebuildLeavesTheMonth_data();
    void failedRebuildLeavesTheMonth();
    void cellSavedBeforeTheRebuildIsKept();
    void cellSavedDuringTheRebuildIsKept();

private:
    TestDatabase* m_db = nullptr;
};

void TestMonthRebuild::initTestCase() { m_db = new TestDatabase(QStringLiteral("month_rebuild")); }

void TestMonthRebuild::cleanupTestCase()
{
    delete m_db;
    m_db = nullptr;
}

void TestMonthRebuild::init() { m_db->exec(QString::fromUtf8(sheet_fixtures::kTimesheetMonth)); }

void TestMonthRebuild::rebuilds_data()
{
    QTest::addColumn<bool>("shifts");
    QTest::addColumn<int>("month");
    QTest::addColumn<QStringList>("rows");
    // Shift 1 of worker 1 holds both entries of the 1st; worker 2's day with entries but no hours
    // (the 16th) is empty, so is his hour entry without hours on the 30th; the stale rows of
    // workers 9 and 7 go.
    QTest::newRow("shift rows, March") << true << 3
                                       << QStringList{"1/1/0/0: 1=10 4=8 31=5", "1/2/0/0: 15=4", "2/1/0/0: 2=8",
                                                      "3/3/0/0: 29=12", "4/2/0/0: 20=3"};
    QTest::newRow("hour rows, March") << false << 3
                                      << QStringList{"0/1/7777/0: 1=5", "0/1/7777/1: 5=6", "0/2/7778/0: 2=5",
                                                     "0/2/7778/1: 9=4"};
    QTest::newRow("shift rows, February (29 days)") << true << 2 << QStringList{"1/1/0/0: 29=6"};
    QTest::newRow("hour rows, a month without hour entries") << false << 2 << QStringList{};
    QTest::newRow("hour rows, April") << false << 4 << QStringList{"0/3/7777/0: 1=8"};
}

void TestMonthRebuild::rebuilds()
{
    // A rebuild replaces the month's rows of its family by the entries' sums and leaves every
    // other row as it was; a second rebuild gives the same rows.
    QFETCH(bool, shifts);
    QFETCH(int, month);
    QFETCH(QStringList, rows);
    const QStringList others = otherRows(m_db->db(), shifts, month, 2024);
    int steps = 0;
    const month_rebuild::Progress progress = [&steps](int done, int total) {
        QCOMPARE(total, 3);
        QCOMPARE(done, steps++);
    };
    shifts ? month_rebuild::shiftRows(m_db->db(), month, 2024, progress) : month_rebuild::hourRows(m_db->db(), month, 2024, progress);
    QCOMPARE(steps, 4);
    QCOMPARE(monthRows(m_db->db(), shifts, month, 2024), rows);
    QCOMPARE(otherRows(m_db->db(), shifts, month, 2024), others);
    shifts ? month_rebuild::shiftRows(m_db->db(), month, 2024) : month_rebuild::hourRows(m_db->db(), month, 2024);
    QCOMPARE(monthRows(m_db->db(), shifts, month, 2024), rows);
}

void TestMonthRebuild::rebuildEqualsRowByRow_data()
{
    QTest::addColumn<bool>("shifts");
    QTest::newRow("shift rows") << true;
    QTest::newRow("hour rows") << false;
}

void TestMonthRebuild::rebuildEqualsRowByRow()
{
    QFETCH(bool, shifts);
    shifts ? rowByRowShiftRebuild(m_db->db(), 3, 2024) : rowByRowHourRebuild(m_db->db(), 3, 2024);
    const QStringList expected = timesheetRows(m_db->db());
    m_db->exec(QString::fromUtf8(sheet_fixtures::kTimesheetMonth));
    shifts ? month_rebuild::shiftRows(m_db->db(), 3, 2024) : month_rebuild::hourRows(m_db->db(), 3, 2024);
    const QStringList actual = timesheetRows(m_db->db());
    QCOMPARE(actual, expected);
    // The fixture's stale rows are gone and the sums are there: shift 1 of worker 1 holds 10 on
    // the 1st, worker 2's day with entries but no hours is empty; utility night hours of worker 1.
    if (shifts) {
        QCOMPARE(m_db->scalar("select d1 from accounts_dep.h_tabel where w_id=1 and smena=1 and month=3").toInt(), 10);
        QVERIFY(m_db->scalar("select d16 from accounts_dep.h_tabel where w_id=2 and smena=1 and month=3").isNull());
        QCOMPARE(m_db->scalar("select count(*) from accounts_dep.h_tabel where w_id=9").toInt(), 0);
    } else {
        QCOMPARE(m_db->scalar("select d5 from accounts_dep.h_tabel where w_id=1 and i_type=7777 and i_night=1").toInt(), 6);
    }
}

void TestMonthRebuild::rebuildTwiceGivesTheSameRows_data() { rebuildEqualsRowByRow_data(); }

void TestMonthRebuild::rebuildTwiceGivesTheSameRows()
{
    QFETCH(bool, shifts);
    const auto rebuild = [&] {
        return shifts ? month_rebuild::shiftRows(m_db->db(), 3, 2024) : month_rebuild::hourRows(m_db->db(), 3, 2024);
    };
    // The other family's rows are not touched.
    const QString others = shifts ? QStringLiteral("smena=0") : QStringLiteral("smena>0");
    const auto otherRows = [&] {
        return m_db->scalar("select string_agg(concat_ws(',', id, w_id, d1, d2, d5), ';' order by id) "
                            "from accounts_dep.h_tabel where " + others).toString();
    };
    const QString before = otherRows();
    rebuild();
    const QStringList once = timesheetRows(m_db->db());
    // The second finds the month as the entries make it and writes no row: every row keeps its
    // version (ctid and xmin), so the table grows no dead rows.
    const auto versions = [&] {
        return m_db->scalar(QStringLiteral("select string_agg(ctid::text || xmin::text, ';' order by id) from accounts_dep.h_tabel")).toString();
    };
    const QString written = versions();
    QVERIFY(!rebuild().any());   // and says so
    QCOMPARE(timesheetRows(m_db->db()), once);
    QCOMPARE(versions(), written);
    QCOMPARE(otherRows(), before);
    // A cell spoiled behind the client's back is put right, and only its row is written anew.
    m_db->exec(QStringLiteral("update accounts_dep.h_tabel set d5 = coalesce(d5, 0) + 1 where id = (select min(id) from accounts_dep.h_tabel "
                              "where month = 3 and year = 2024 and %1)").arg(shifts ? QStringLiteral("smena>0") : QStringLiteral("smena=0")));
    const QStringList spoiledVersions = versions().split(QLatin1Char(';'));
    const month_rebuild::Changes put = rebuild();
    QCOMPARE((QList<int>{put.changed, put.added, put.removed}), (QList<int>{1, 0, 0}));
    QCOMPARE(timesheetRows(m_db->db()), once);
    const QStringList after = versions().split(QLatin1Char(';'));
    QCOMPARE(after.size(), spoiledVersions.size());
    int rewritten = 0;
    for (const QString& v : after) rewritten += !spoiledVersions.contains(v);
    QCOMPARE(rewritten, 1);
}

void TestMonthRebuild::failedRebuildLeavesTheMonth_data() { rebuildEqualsRowByRow_data(); }

void TestMonthRebuild::failedRebuildLeavesTheMonth()
{
    QFETCH(bool, shifts);
    // The server refuses the rows of worker 2 after the month's rows have been deleted.
    const auto refusal = sheet_fixtures::refuseTimesheetRows(*m_db, QStringLiteral("new.w_id = 2"));
    const QStringList before = timesheetRows(m_db->db());
    bool refused = false;
    try {
        shifts ? month_rebuild::shiftRows(m_db->db(), 3, 2024) : month_rebuild::hourRows(m_db->db(), 3, 2024);
    } catch (const DbError& e) {
        refused = e.text().contains(QStringLiteral("refused"));
    }
    QVERIFY(refused);
    QCOMPARE(timesheetRows(m_db->db()), before);
}

void TestMonthRebuild::cellSavedBeforeTheRebuildIsKept()
{
    // Client A saves an entry of worker 3 for the 6th and keeps its transaction open; the
    // rebuild started meanwhile waits for it and then counts the entry once.
    {
        Transaction tx(m_db->db());
        m_db->exec(QStringLiteral("insert into accounts_dep.smena (data, smena, w_id, time, ok) "
                                  "values ('2024-03-06', 3, 3, 7, 'no')"));
        timesheet_cell::syncJournal(m_db->db(), tx, 3, 3, QDate(2024, 3, 6));
        QThread* rebuild = otherClient(m_db->name(), [](QSqlDatabase db) { month_rebuild::shiftRows(db, 3, 2024); });
        rebuild->start();
        const QSqlDatabase observer = m_db->openAnother(QStringLiteral("observer"));
        QTRY_VERIFY_WITH_TIMEOUT(QSqlQuery(QStringLiteral("select 1 from pg_locks where not granted"), observer).next(),
                                 10000);
        tx.commit();
        QVERIFY(rebuild->wait(10000));
        delete rebuild;
    }
    QCOMPARE(m_db->scalar("select count(*) from accounts_dep.h_tabel where w_id=3 and smena=3 and month=3").toInt(), 1);
    QCOMPARE(m_db->scalar("select d6 from accounts_dep.h_tabel where w_id=3 and smena=3 and month=3").toInt(), 7);
    QCOMPARE(m_db->scalar("select d29 from accounts_dep.h_tabel where w_id=3 and smena=3 and month=3").toInt(), 12);
}

void TestMonthRebuild::cellSavedDuringTheRebuildIsKept()
{
    // While the rebuild holds the month, client B saves entries of worker 3 in shift 3 (which
    // has a row) and of worker 1 in shift 3 (which has none); each waits and then keeps its cell.
    QThread* client = nullptr;
    const QSqlDatabase observer = m_db->openAnother(QStringLiteral("observer"));
    month_rebuild::shiftRows(m_db->db(), 3, 2024, [&](int done, int) {
        if (done != 1) return;
        client = otherClient(m_db->name(), [](QSqlDatabase db) {
            Transaction tx(db);
            execSql(db, QStringLiteral("insert into accounts_dep.smena (data, smena, w_id, time, ok) values "
                                       "('2024-03-06', 3, 3, 7, 'no'), ('2024-03-07', 3, 1, 6, 'no')"));
            timesheet_cell::syncJournal(db, tx, 3, 3, QDate(2024, 3, 6));
            timesheet_cell::syncJournal(db, tx, 1, 3, QDate(2024, 3, 7));
            tx.commit();
        });
        client->start();
        QTRY_VERIFY_WITH_TIMEOUT(QSqlQuery(QStringLiteral("select 1 from pg_locks where not granted"), observer).next(),
                                 10000);
    });
    QVERIFY(client);
    QVERIFY(client->wait(10000));
    delete client;
    QCOMPARE(m_db->scalar("select count(*) from accounts_dep.h_tabel where w_id=3 and smena=3 and month=3").toInt(), 1);
    QCOMPARE(m_db->scalar("select d6 from accounts_dep.h_tabel where w_id=3 and smena=3 and month=3").toInt(), 7);
    QCOMPARE(m_db->scalar("select d29 from accounts_dep.h_tabel where w_id=3 and smena=3 and month=3").toInt(), 12);
    QCOMPARE(m_db->scalar("select count(*) from accounts_dep.h_tabel where w_id=1 and smena=3 and month=3").toInt(), 1);
    QCOMPARE(m_db->scalar("select d7 from accounts_dep.h_tabel where w_id=1 and smena=3 and month=3").toInt(), 6);
}

QTEST_GUILESS_MAIN(TestMonthRebuild)
#include "tst_month_rebuild.moc"
