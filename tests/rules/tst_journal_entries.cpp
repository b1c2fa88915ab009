// Journal entries without a window: what a save makes of each case, the price rule, deletions
// and the approval mark, against the real database.
#include "data/codes.h"
#include "data/dataset.h"
#include "rules/journal_entries.h"
#include "rules/price_rule.h"
#include "tests/support/entries_fixture.h"
#include "tests/support/test_database.h"

#include <QTest>

using namespace entries_fixture;
using shift_entry::Outcome;
using shift_entry::Removal;

Q_DECLARE_METATYPE(shift_entry::Outcome)
Q_DECLARE_METATYPE(shift_entry::Removal)

namespace {

/// Worker 2's new welding on Friday in shift 1: 2 pieces at 10.5, 1 hour.
shift_entry::Entry newWelding()
{
    shift_entry::Entry e;
    e.workerId = 2;
    e.productId = 10001;
    e.operationId = 1;
    e.day = kFriday;
    e.shift = 1;
    e.price = *Money::parse(u"10.5");
    e.quantity = 2;
    e.hours = 1;
    e.keyedIn = kFriday;
    return e;
}

} // namespace

class TestJournalEntries : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void priceRule_data();
    void priceRule();
    void saveOutcomes_data();
    void saveOutcomes();
    void priceIsStoredWithEveryDigit_data();
    void priceIsStoredWithEveryDigit();
    void versionFollowsTheStoredEntry_data();
    void versionFollowsTheStoredEntry();
    void outcomesAreExplained();
    void removal_data();
    void removal();
    void approvalToggle_data();
    void approvalToggle();

private:
    int count(const QString& where = QStringLiteral("true")) const;
    /// The entry as the journal's grid reads it.
    QString versionOfEntry(int id) const;

    TestDatabase* m_db = nullptr;
};

void TestJournalEntries::initTestCase() { m_db = new TestDatabase(QStringLiteral("journal_entries")); }

void TestJournalEntries::cleanupTestCase() { delete m_db; }

void TestJournalEntries::init()
{
    // Worker 1 has one approved welding entry of 8 hours in shift 1 on Friday, worth 9 × 10.12345.
    journalBooks(*m_db);
    m_db->exec(QStringLiteral(R"(
        insert into accounts_dep.smena (data, smena, w_id, i_id, o_id, cena, kol_vo, brak, color, time, ok, vvod, prize, id_doc) values
          ('2024-03-15', 1, 1, 10001, 1, 10.12345, 10, 1, 0, 8, 'ok', '2024-03-01', 5, 7);
        insert into accounts_dep.h_tabel (w_id, month, year, smena, d15) values (1, 3, 2024, 1, 8);
    )"));
}

int TestJournalEntries::count(const QString& where) const
{
    return m_db->scalar(QStringLiteral("select count(*) from accounts_dep.smena where ") + where).toInt();
}

QString TestJournalEntries::versionOfEntry(int id) const
{
    Dataset row(m_db->db(), QStringLiteral("select * from accounts_dep.smena where id=:id"));
    row.setParam(QStringLiteral("id"), id);
    row.open();
    return shift_entry::versionOf(m_db->db(), row);
}

void TestJournalEntries::priceRule_data()
{
    QTest::addColumn<QString>("base");
    QTest::addColumn<bool>("dayOff");
    QTest::addColumn<int>("shift");
    QTest::addColumn<QString>("final");      // before rounding
    QTest::addColumn<QString>("rounded");    // 4 decimals, halves to even
    QTest::addColumn<QString>("amount");     // of 3 pieces
    QTest::newRow("shift 1 adds nothing") << "7.25" << false << 1 << "7.25" << "7.25" << "21.75";
    QTest::newRow("shift 2 adds nothing") << "7.25" << false << 2 << "7.25" << "7.25" << "21.75";
    QTest::newRow("shift 3: 20 %") << "12.34" << false << 3 << "14.808" << "14.808" << "44.424";
    QTest::newRow("overtime: 50 %") << "10" << false << 4 << "15" << "15" << "45";
    QTest::newRow("day off doubles") << "10.5" << true << 1 << "21" << "21" << "63";
    QTest::newRow("day off in shift 3 compounds") << "1" << true << 3 << "2.4" << "2.4" << "7.2";
    QTest::newRow("day off in overtime compounds") << "10.5" << true << 4 << "31.5" << "31.5" << "94.5";
    QTest::newRow("a half at the fifth decimal, down to even") << "1.00005" << false << 1 << "1.00005" << "1" << "3.0002";
    QTest::newRow("a half at the fifth decimal, up to even") << "1.00015" << false << 1 << "1.00015" << "1.0002" << "3.0004";
    QTest::newRow("a half made by the surcharges") << "0.12345" << true << 4 << "0.37035" << "0.3704" << "1.111";
    QTest::newRow("no binary noise: 0.1 in shift 3") << "0.1" << false << 3 << "0.12" << "0.12" << "0.36";
    QTest::newRow("an unreadable base counts as 0") << "abc" << true << 3 << "0" << "0" << "0";
}

void TestJournalEntries::priceRule()
{
    QFETCH(QString, base);
    QFETCH(bool, dayOff);
    QFETCH(int, shift);
    const QString final = entry_price::withSurcharges(base, dayOff, shift);
    QTEST(final, "final");
    QTEST(entry_price::rounded(final), "rounded");
    QTEST(entry_price::amount(3, final), "amount");
}

void TestJournalEntries::saveOutcomes_data()
{
    QTest::addColumn<QString>("before");      // what another client did before the save
    QTest::addColumn<int>("changed");         // the entry changed; 0 a new one
    QTest::addColumn<int>("worker");
    QTest::addColumn<int>("operation");
    QTest::addColumn<int>("colour");
    QTest::addColumn<int>("quantity");
    QTest::addColumn<int>("hours");
    QTest::addColumn<Outcome>("outcome");
    QTest::addColumn<QString>("after");       // the entries afterwards, "worker:quantity:hours" by id
    QTest::addColumn<QVariant>("cell");       // worker 1's cell of Friday in shift 1 afterwards
    const QString none;
    QTest::newRow("new entry") << none << 0 << 2 << 1 << 0 << 2 << 1 << Outcome::Saved << "1:10:8 2:2:1" << QVariant(8);
    QTest::newRow("new entry of worker 1 adds to his cell")
        << none << 0 << 1 << 2 << 3 << 2 << 4 << Outcome::Saved << "1:10:8 1:2:4" << QVariant(12);
    QTest::newRow("twin: same worker, operation, product, day, shift and colour")
        << none << 0 << 1 << 1 << 0 << 2 << 1 << Outcome::Duplicate << "1:10:8" << QVariant(8);
    QTest::newRow("only the colour differs: no twin")
        << none << 0 << 1 << 1 << 5 << 2 << 1 << Outcome::Saved << "1:10:8 1:2:1" << QVariant(9);
    QTest::newRow("worker deleted meanwhile") << "delete from accounts_dep.person where id=2"
        << 0 << 2 << 1 << 0 << 2 << 1 << Outcome::WorkerGone << "1:10:8" << QVariant(8);
    QTest::newRow("product deleted meanwhile") << "delete from cmn_gds_and_srv.gds_and_srv where id=10001"
        << 0 << 2 << 1 << 0 << 2 << 1 << Outcome::ProductGone << "1:10:8" << QVariant(8);
    QTest::newRow("operation deleted meanwhile") << "delete from accounts_dep.oper where id=1"
        << 0 << 2 << 1 << 0 << 2 << 1 << Outcome::OperationGone << "1:10:8" << QVariant(8);
    QTest::newRow("a day's hours past the cell")
        << none << 0 << 1 << 2 << 0 << 2 << 32760 << Outcome::DayHoursTooMany << "1:10:8" << QVariant(8);
    QTest::newRow("a day's hours just inside")
        << none << 0 << 1 << 2 << 0 << 2 << 32759 << Outcome::Saved << "1:10:8 1:2:32759" << QVariant(32767);
    // 9 × 10.12345 = 91.11105 already; 810 000 × 12.34 = 9 995 400 more, 811 000 × 12.34 = 10 007 740.
    QTest::newRow("a month's money past the sheets")
        << none << 0 << 1 << 2 << 0 << 811000 << 1 << Outcome::MonthAmountTooLarge << "1:10:8" << QVariant(8);
    QTest::newRow("a month's money just inside")
        << none << 0 << 1 << 2 << 0 << 810000 << 1 << Outcome::Saved << "1:10:8 1:810000:1" << QVariant(9);
    QTest::newRow("change as read") << none << 1 << 1 << 1 << 0 << 12 << 6 << Outcome::Saved << "1:12:6" << QVariant(6);
    QTest::newRow("change moving the entry to another worker")
        << none << 1 << 2 << 1 << 0 << 12 << 6 << Outcome::Saved << "2:12:6" << QVariant();
    QTest::newRow("change after another client changed it") << "update accounts_dep.smena set kol_vo=99 where id=1"
        << 1 << 1 << 1 << 0 << 12 << 6 << Outcome::Stale << "1:99:8" << QVariant(8);
    QTest::newRow("change after another client deleted it") << "delete from accounts_dep.smena where id=1"
        << 1 << 1 << 1 << 0 << 12 << 6 << Outcome::Stale << "" << QVariant(8);
}

void TestJournalEntries::saveOutcomes()
{
    QFETCH(QString, before);
    QFETCH(int, changed);
    QFETCH(QString, after);
    QFETCH(QVariant, cell);
    shift_entry::Entry e = newWelding();
    e.id = changed;
    if (changed) e.version = versionOfEntry(changed);
    QFETCH(int, worker);
    QFETCH(int, operation);
    e.workerId = worker;
    e.operationId = operation;
    QFETCH(int, colour);
    QFETCH(int, quantity);
    QFETCH(int, hours);
    e.colour = colour;
    e.quantity = quantity;
    e.hours = hours;
    if (operation == 2) e.price = *Money::parse(u"12.34");
    if (!before.isEmpty()) m_db->exec(before);
    shift_entry::Writer writer(m_db->db());
    QTEST(writer.save(e), "outcome");
    QCOMPARE(m_db->scalar(QStringLiteral("select coalesce(string_agg(w_id || ':' || kol_vo || ':' || time, ' ' order by id), '') "
                                         "from accounts_dep.smena")).toString(), after);
    const QVariant actual = journalCell(*m_db, 1, 1, 15);
    QCOMPARE(actual.isNull(), cell.isNull());
    if (!cell.isNull()) QCOMPARE(actual.toInt(), cell.toInt());
    // Whatever the outcome, every cell holds what its entries sum to.
    QCOMPARE(m_db->scalar(QStringLiteral(
        "select count(*) from (select w_id, smena, data, sum(time) as t from accounts_dep.smena group by 1, 2, 3) s "
        "left join accounts_dep.h_tabel h on h.w_id=s.w_id and h.smena=s.smena and h.month=3 and h.year=2024 "
        "where h.d15 is distinct from s.t")).toInt(), 0);
}

void TestJournalEntries::priceIsStoredWithEveryDigit_data()
{
    QTest::addColumn<QString>("price");
    QTest::addColumn<QString>("stored");
    QTest::newRow("four decimals") << "14.808" << "14.808";
    QTest::newRow("kept unrounded on a change without a pick") << "10.12345" << "10.12345";
    QTest::newRow("a tenth, not its binary neighbour") << "0.1" << "0.1";
    QTest::newRow("whole") << "31" << "31";
}

void TestJournalEntries::priceIsStoredWithEveryDigit()
{
    QFETCH(QString, price);
    shift_entry::Entry e = newWelding();
    e.price = *Money::parse(price);
    shift_entry::Writer writer(m_db->db());
    QCOMPARE(writer.save(e), Outcome::Saved);
    QTEST(m_db->scalar(QStringLiteral("select cena::text from accounts_dep.smena where w_id=2")).toString(), "stored");
}

void TestJournalEntries::versionFollowsTheStoredEntry_data()
{
    QTest::addColumn<QString>("meanwhile");
    QTest::addColumn<bool>("current");
    QTest::newRow("untouched") << "" << true;
    QTest::newRow("quantity changed") << "update accounts_dep.smena set kol_vo=11 where id=1" << false;
    QTest::newRow("price changed") << "update accounts_dep.smena set cena=10.1234 where id=1" << false;
    QTest::newRow("deleted") << "delete from accounts_dep.smena where id=1" << false;
}

void TestJournalEntries::versionFollowsTheStoredEntry()
{
    // The grid read the entry; another client may have changed it before the dialog asked.
    QFETCH(QString, meanwhile);
    QFETCH(bool, current);
    Dataset row(m_db->db(), QStringLiteral("select * from accounts_dep.smena where id=1"));
    row.open();
    if (!meanwhile.isEmpty()) m_db->exec(meanwhile);
    QCOMPARE(!shift_entry::versionOf(m_db->db(), row).isEmpty(), current);
}

void TestJournalEntries::outcomesAreExplained()
{
    QVERIFY(shift_entry::outcomeMessage(Outcome::Saved).isEmpty());
    QCOMPARE(shift_entry::outcomeMessage(Outcome::Duplicate), QStringLiteral("Позиция с такими параметрами уже заведена!"));
    for (Outcome o : {Outcome::Stale, Outcome::WorkerGone, Outcome::ProductGone, Outcome::OperationGone,
                      Outcome::DayHoursTooMany, Outcome::MonthAmountTooLarge})
        QVERIFY(shift_entry::outcomeMessage(o).contains(QStringLiteral("Позици")));
    QVERIFY(shift_entry::outcomeMessage(Outcome::DayHoursTooMany).contains(QStringLiteral("32767")));
    QVERIFY(shift_entry::outcomeMessage(Outcome::MonthAmountTooLarge).contains(QStringLiteral("10 000 000")));
    QVERIFY(shift_entry::removalMessage(Removal::Deleted).isEmpty());
    QCOMPARE(shift_entry::removalMessage(Removal::AlreadyGone),
             QStringLiteral("Эта позиция уже удалена другим пользователем. Журнал обновлён."));
}

void TestJournalEntries::removal_data()
{
    QTest::addColumn<QString>("meanwhile");
    QTest::addColumn<Removal>("removal");
    QTest::addColumn<QString>("cells");   // worker 1's and 2's cell of Friday in shift 1, "-" empty
    QTest::newRow("the day's last entry: the day empties") << "" << Removal::Deleted << "- -";
    QTest::newRow("already deleted by another client: nothing else written")
        << "delete from accounts_dep.smena where id=1" << Removal::AlreadyGone << "8 -";
    QTest::newRow("moved to another worker meanwhile: the cell it moved to")
        << "update accounts_dep.smena set w_id=2 where id=1; "
           "insert into accounts_dep.h_tabel (w_id, month, year, smena, d15) values (2, 3, 2024, 1, 8)"
        << Removal::Deleted << "8 -";
}

void TestJournalEntries::removal()
{
    QFETCH(QString, meanwhile);
    QFETCH(QString, cells);
    m_db->exec(QStringLiteral("insert into accounts_dep.smena (data, smena, w_id, i_id, o_id, cena, kol_vo, brak, color, time, ok) "
                              "values ('2024-03-18', 1, 1, 10001, 1, 1, 1, 0, 0, 3, 'no')"));
    m_db->exec(QStringLiteral("update accounts_dep.h_tabel set d18=3 where w_id=1"));
    if (!meanwhile.isEmpty()) m_db->exec(meanwhile);
    QTEST(shift_entry::remove(m_db->db(), 1), "removal");
    const auto shown = [](const QVariant& v) { return v.isNull() ? QStringLiteral("-") : v.toString(); };
    QCOMPARE(shown(journalCell(*m_db, 1, 1, 15)) + QLatin1Char(' ') + shown(journalCell(*m_db, 2, 1, 15)), cells);
    QCOMPARE(journalCell(*m_db, 1, 1, 18).toInt(), 3);   // another day keeps its hours
    QCOMPARE(count(QStringLiteral("id=1")), 0);
}

void TestJournalEntries::approvalToggle_data()
{
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("after");
    QTest::newRow("ok becomes no") << "ok" << "no";
    QTest::newRow("да becomes no") << "да" << "no";
    QTest::newRow("no becomes ok") << "no" << "ok";
    QTest::newRow("anything else becomes ok") << "xx" << "ok";
}

void TestJournalEntries::approvalToggle()
{
    // The mark as the journal shows it decides, not what is stored now.
    QFETCH(QString, shown);
    shift_entry::toggleApproval(m_db->db(), 1, shown);
    QTEST(m_db->scalar(QStringLiteral("select ok from accounts_dep.smena where id=1")).toString(), "after");
}

QTEST_GUILESS_MAIN(TestJournalEntries)
#include "tst_journal_entries.moc"
