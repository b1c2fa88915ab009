// Hour entries without a window: the hourly price, what a save makes of each case, deletions and
// the month's average-piecework recalculation, against the real database.
#include "data/dataset.h"
#include "rules/hour_entries.h"
#include "tests/support/entries_fixture.h"
#include "tests/support/test_database.h"

#include <QScopeGuard>
#include <QTest>

using namespace entries_fixture;
using hour_entry::Outcome;
using hour_entry::Removal;

Q_DECLARE_METATYPE(hour_entry::Outcome)
Q_DECLARE_METATYPE(hour_entry::Removal)

class TestHourEntries : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void hourlyPrice_data();
    void hourlyPrice();
    void saveOutcomes_data();
    void saveOutcomes();
    void removal_data();
    void removal();
    void recalculationMatchesTheOriginalStatementOnVariedData_data();
    void recalculationMatchesTheOriginalStatementOnVariedData();

private:
    /// The stored entries, "worker:kind:hours:price" by id.
    QString entries() const;
    /// The cell of each March row of hour-paid work on the 15th, "worker/kind/night=hours" by row.
    QString cells() const;

    TestDatabase* m_db = nullptr;
};

void TestHourEntries::initTestCase() { m_db = new TestDatabase(QStringLiteral("hour_entries")); }

void TestHourEntries::cleanupTestCase() { delete m_db; }

void TestHourEntries::init() { utilityWorksBooks(*m_db); }

QString TestHourEntries::entries() const
{
    return m_db->scalar(QStringLiteral(
        "select coalesce(string_agg(id_p || ':' || id_o || ':' || cnt || ':' || price, ' ' order by id), '') "
        "from accounts_dep.fatigue")).toString();
}

QString TestHourEntries::cells() const
{
    return m_db->scalar(QStringLiteral(
        "select coalesce(string_agg(w_id || '/' || i_type || '/' || i_night || '=' || coalesce(d15::text, '-'), ' ' "
        "order by w_id, i_type, i_night), '') from accounts_dep.h_tabel where month=3 and year=2024")).toString();
}

void TestHourEntries::hourlyPrice_data()
{
    QTest::addColumn<QString>("norm");
    QTest::addColumn<bool>("dayOff");
    QTest::addColumn<bool>("night");
    QTest::addColumn<QString>("price");
    QTest::addColumn<QString>("sum");   // of 3 hours
    QTest::newRow("weekday") << "150" << false << false << "150" << "450";
    QTest::newRow("day off doubles") << "157" << true << false << "314" << "942";
    QTest::newRow("night: 20 %") << "157" << false << true << "188.4" << "565.2";
    QTest::newRow("day off and night compound") << "150" << true << true << "360" << "1080";
    QTest::newRow("no binary noise: 0.1 at night") << "0.1" << false << true << "0.12" << "0.36";
    QTest::newRow("kopecks at night on a day off") << "33.33" << true << true << "79.992" << "239.976";
    QTest::newRow("a half at the fifth decimal stays a half") << "0.001125" << false << true << "0.00135" << "0.00405";
}

void TestHourEntries::hourlyPrice()
{
    QFETCH(QString, norm);
    QFETCH(bool, dayOff);
    QFETCH(bool, night);
    const Money normPrice = *Money::parse(norm);
    QTEST(hour_entry::hourlyPrice(normPrice, dayOff, night).toString(), "price");
    QTEST(hour_entry::sum(3, normPrice, dayOff, night).toString(), "sum");
}

void TestHourEntries::saveOutcomes_data()
{
    QTest::addColumn<QString>("before");    // what is stored, or another client did, before the save
    QTest::addColumn<bool>("change");       // a change of entry 1 as first read, or a new entry
    QTest::addColumn<int>("worker");
    QTest::addColumn<int>("group");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("hours");
    QTest::addColumn<QString>("norm");
    QTest::addColumn<bool>("night");
    QTest::addColumn<Outcome>("outcome");
    QTest::addColumn<QString>("entries");
    QTest::addColumn<QString>("cells");
    const QString none;
    const QString one = QStringLiteral(
        "insert into accounts_dep.fatigue (id_nom, id_o, id_p, d_date, i_mnth, i_year, i_smena, cnt, price, i_holiday, i_night) "
        "values (1, 7778, 1, '2024-03-15', 3, 2024, 1, 4, 999, 0, 0);"
        "insert into accounts_dep.h_tabel (w_id, month, year, smena, i_type, i_night, d15) values (1, 3, 2024, 0, 7778, 0, 4)");
    QTest::newRow("new entry") << none << false << 1 << 1 << 7777 << 3 << "150" << false << Outcome::Saved
                               << "1:7777:3:150.0000" << "1/7777/0=3";
    QTest::newRow("night hours get a row of their own") << one << false << 1 << 1 << 7778 << 2 << "157" << true
        << Outcome::Saved << "1:7778:4:999.0000 1:7778:2:188.4000" << "1/7778/0=4 1/7778/1=2";
    QTest::newRow("a price's half at the fifth decimal goes up, as the column rounds") << none << false << 1 << 1 << 7777
        << 3 << "0.001125" << true << Outcome::Saved << "1:7777:3:0.0014" << "1/7777/1=3";
    QTest::newRow("worker deleted meanwhile") << "delete from accounts_dep.person where id=2" << false << 2 << 1 << 7777
        << 3 << "150" << false << Outcome::WorkerGone << "" << "";
    QTest::newRow("group deleted meanwhile") << "delete from cmn_classifier.item where id=1" << false << 1 << 1 << 7777
        << 3 << "150" << false << Outcome::GroupGone << "" << "";
    QTest::newRow("a day's hours past the cell")
        << "insert into accounts_dep.fatigue (id_nom, id_o, id_p, d_date, i_mnth, i_year, cnt, price) "
           "values (1, 7777, 1, '2024-03-15', 3, 2024, 32000, 1)"
        << false << 1 << 1 << 7777 << 999 << "150" << false << Outcome::DayHoursTooMany << "1:7777:32000:1.0000" << "";
    QTest::newRow("a month's money past the sheets")
        << "insert into accounts_dep.fatigue (id_nom, id_o, id_p, d_date, i_mnth, i_year, cnt, price) "
           "values (1, 7777, 1, '2024-03-02', 3, 2024, 1, 9999990)"
        << false << 1 << 1 << 7777 << 999 << "150" << false << Outcome::MonthAmountTooLarge << "1:7777:1:9999990.0000" << "";
    QTest::newRow("change as read, to another worker") << one << true << 2 << 1 << 7778 << 4 << "160" << false
        << Outcome::Saved << "2:7778:4:160.0000" << "1/7778/0=- 2/7778/0=4";
    QTest::newRow("change to another kind") << one << true << 1 << 1 << 7777 << 5 << "150" << false
        << Outcome::Saved << "1:7777:5:150.0000" << "1/7777/0=5 1/7778/0=-";
    QTest::newRow("change after another client changed it") << one + QStringLiteral("; update accounts_dep.fatigue set cnt=6")
        << true << 1 << 1 << 7778 << 5 << "157" << false << Outcome::ChangedMeanwhile << "1:7778:6:999.0000" << "1/7778/0=4";
    QTest::newRow("change after another client deleted it") << one + QStringLiteral("; delete from accounts_dep.fatigue")
        << true << 1 << 1 << 7778 << 5 << "157" << false << Outcome::ChangedMeanwhile << "" << "1/7778/0=4";
}

void TestHourEntries::saveOutcomes()
{
    QFETCH(QString, before);
    QFETCH(bool, change);
    QFETCH(QString, norm);
    hour_entry::Stored stored;
    if (change) {
        // Read as the register shows it, before whatever another client does.
        m_db->exec(before.section(QLatin1Char(';'), 0, 1));
        Dataset row(m_db->db(), QStringLiteral("select * from accounts_dep.fatigue where id=1"));
        row.open();
        stored = hour_entry::storedOf(row);
        before = before.section(QLatin1Char(';'), 2);
    }
    if (!before.isEmpty()) m_db->exec(before);
    hour_entry::Entry e;
    QFETCH(int, worker);
    QFETCH(int, group);
    QFETCH(int, kind);
    QFETCH(int, hours);
    QFETCH(bool, night);
    e.workerId = worker;
    e.groupId = group;
    e.kind = kind;
    e.hours = hours;
    e.normPrice = *Money::parse(norm);
    e.night = night;
    e.day = kFriday;
    QTEST(hour_entry::save(m_db->db(), e, change ? &stored : nullptr), "outcome");
    QTEST(entries(), "entries");
    QTEST(cells(), "cells");
}

void TestHourEntries::removal_data()
{
    QTest::addColumn<QString>("meanwhile");
    QTest::addColumn<Removal>("removal");
    QTest::addColumn<QString>("cells");
    QTest::newRow("one of two day entries: the rest stays") << "" << Removal::Deleted << "1/7778/0=2 1/7778/1=5";
    QTest::newRow("already deleted by another client: nothing else written")
        << "delete from accounts_dep.fatigue where id=1" << Removal::AlreadyGone << "1/7778/0=6 1/7778/1=5";
    QTest::newRow("moved to the night meanwhile: the cell it moved to")
        << "update accounts_dep.fatigue set i_night=1 where id=1" << Removal::Deleted << "1/7778/0=6 1/7778/1=5";
}

void TestHourEntries::removal()
{
    QFETCH(QString, meanwhile);
    insertHourEntry(*m_db, 1, 7778, 4, 0);
    insertHourEntry(*m_db, 1, 7778, 2, 0);
    insertHourEntry(*m_db, 1, 7778, 5, 1);
    m_db->exec(QStringLiteral("insert into accounts_dep.h_tabel (w_id, month, year, smena, i_type, i_night, d15) values "
                              "(1, 3, 2024, 0, 7778, 0, 6), (1, 3, 2024, 0, 7778, 1, 5)"));
    if (!meanwhile.isEmpty()) m_db->exec(meanwhile);
    QTEST(hour_entry::remove(m_db->db(), 1), "removal");
    QTEST(cells(), "cells");
    QCOMPARE(m_db->scalar(QStringLiteral("select count(*) from accounts_dep.fatigue where id=1")).toInt(), 0);
}

void TestHourEntries::recalculationMatchesTheOriginalStatementOnVariedData_data()
{
    QTest::addColumn<int>("moreProducts");
    QTest::newRow("three products") << 0;
    QTest::newRow("five products") << 2;
}

void TestHourEntries::recalculationMatchesTheOriginalStatementOnVariedData()
{
    QFETCH(int, moreProducts);
    // Workers with varied journal prices, rejects and hours in March; workers with journal entries
    // but no person row; every combination of the flags; entries without a worker or a flag, and
    // flags beyond 1.
    m_db->exec(QStringLiteral(R"(
        insert into cmn_gds_and_srv.gds_and_srv (id, s_caption) select 20000 + g, 'И-' || g from generate_series(1, %1) g;
        insert into accounts_dep.person (id, fio) select g, 'Работник ' || g from generate_series(4, 7) g;
        insert into accounts_dep.smena (data, smena, w_id, i_id, o_id, cena, kol_vo, brak, time, ok)
        select date '2024-02-25' + n % 40, 1 + n % 4, 1 + n % 7, 10001, 3, round((7 + (n * 37 % 113) / 7.0)::numeric, 2),
               1 + n * 13 % 29, n % 3, n % 9, 'no'
          from generate_series(1, 400) n;
        insert into accounts_dep.smena (data, smena, w_id, i_id, o_id, cena, kol_vo, brak, time, ok)
        values ('2024-03-05', 1, 9, 10001, 3, 12.5, 10, 0, 4, 'no');
        insert into accounts_dep.fatigue (id_nom, id_o, id_p, d_date, i_mnth, i_year, cnt, price, i_holiday, i_night)
        select 1, 7777 + (w + h + n) % 2, w, '2024-03-10', 3, 2024, 1, 1, h, n
          from generate_series(1, 9) w, generate_series(0, 1) h, generate_series(0, 1) n;
        insert into accounts_dep.fatigue (id_nom, id_o, id_p, d_date, i_mnth, i_year, cnt, price, i_holiday, i_night) values
          (1, 7778, null, '2024-03-11', 3, 2024, 1, 1, 0, 0), (1, 7778, 2, '2024-03-11', 3, 2024, 1, 1, null, 0),
          (1, 7778, 4, '2024-03-11', 3, 2024, 1, 1, 0, null), (1, 7778, 5, '2024-03-11', 3, 2024, 1, 1, 2, 3);
    )").arg(moreProducts));
    const QString prices = QStringLiteral("select string_agg(id || ':' || price::text, ' ' order by id) from accounts_dep.fatigue");
    runOriginalRecalculation(*m_db, QDate(2024, 3, 1));
    const QString original = m_db->scalar(prices).toString();
    QVERIFY(m_db->scalar(QStringLiteral("select count(distinct price) from accounts_dep.fatigue where id_o=7778")).toInt() > 5);

    m_db->exec(QStringLiteral("update accounts_dep.fatigue set price=1"));
    hour_entry::recalculateAveragePiecework(m_db->db(), QDate(2024, 3, 31));
    QCOMPARE(m_db->scalar(prices).toString(), original);
}

QTEST_GUILESS_MAIN(TestHourEntries)
#include "tst_hour_entries.moc"
