// The history of changes read for people: an entry's records with what changed, and a period's
// changes of approved entries or of everything, with the months' closing and reopening.
#include "data/dataset.h"
#include "rules/change_history.h"
#include "rules/journal_entries.h"
#include "tests/support/entries_fixture.h"
#include "tests/support/history_fixture.h"
#include "tests/support/test_database.h"

#include <QFile>
#include <QLocale>
#include <QSqlQuery>
#include <QTest>

using namespace change_history;
using namespace entries_fixture;

Q_DECLARE_METATYPE(change_history::Scope)

namespace {

/// A record as the tests compare it: "what|action|entry|subject|reason".
QString line(const Record& r)
{
    return QStringList{r.what(), r.actionText(), r.rowId ? QString::number(r.rowId) : QString(), r.subject, r.reason}.join(QLatin1Char('|'));
}

QStringList lines(const QList<Record>& records)
{
    QStringList out;
    for (const Record& r : records) out << line(r);
    return out;
}

} // namespace

class TestChangeHistory : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase() { delete m_db; }
    void init();

    void anEntryChangedThroughTheClientShowsOldAndNewValues();
    void aPeriodsChanges_data();
    void aPeriodsChanges();
    void anHourEntryIsShownByItsNames();
    void everyKindOfChangeReadsAsItAlwaysDid_data();
    void everyKindOfChangeReadsAsItAlwaysDid();
    void anUpdateKeepsOnlyTheFieldsItChanged();
    void aChangeInAMonthWithoutItsPartitionIsKept();

private:
    TestDatabase* m_db = nullptr;
};

void TestChangeHistory::initTestCase()
{
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    m_db = new TestDatabase(QStringLiteral("change_history"));
}

void TestChangeHistory::init()
{
    utilityWorksBooks(*m_db);
    m_db->exec(QStringLiteral("truncate accounts_dep.closed_month, accounts_dep.change_log restart identity"));
}

void TestChangeHistory::anEntryChangedThroughTheClientShowsOldAndNewValues()
{
    shift_entry::Entry e;
    e.workerId = 1;
    e.productId = 10001;
    e.operationId = 3;
    e.day = kFriday;
    e.price = *Money::parse(u"10.5");
    e.quantity = 10;
    e.hours = 8;
    e.keyedIn = kFriday;
    shift_entry::Writer writer(m_db->db());
    QCOMPARE(writer.save(e), shift_entry::Outcome::Saved);
    e.id = m_db->scalar(QStringLiteral("select max(id) from accounts_dep.smena")).toInt();
    shift_entry::toggleApproval(m_db->db(), e.id, QStringLiteral("no"));

    // The approved entry goes to the other worker with two pieces more.
    Dataset shown(m_db->db(), QStringLiteral("select * from accounts_dep.smena where id=:id"));
    shown.setParam(QStringLiteral("id"), e.id);
    shown.open();
    e.version = shift_entry::versionOf(m_db->db(), shown);
    e.workerId = 2;
    e.quantity = 12;
    QCOMPARE(writer.save(e), shift_entry::Outcome::Saved);
    QCOMPARE(shift_entry::remove(m_db->db(), e.id), shift_entry::Removal::Deleted);

    const QList<Record> records = entryHistory(m_db->db(), Table::Journal, e.id);
    QCOMPARE(lines(records), (QStringList{
                                 QStringLiteral("Журнал|Добавлена|%1|15.03.2024, 1 Иванов И.И.|").arg(e.id),
                                 QStringLiteral("Журнал|Изменена|%1|15.03.2024, 1 Иванов И.И.|").arg(e.id),
                                 QStringLiteral("Журнал|Изменена|%1|15.03.2024, 2 Петров П.П.|").arg(e.id),
                                 QStringLiteral("Журнал|Удалена|%1|15.03.2024, 2 Петров П.П.|").arg(e.id),
                             }));
    QCOMPARE(records.at(1).changesText(), QStringLiteral("OK: no → ok"));
    QCOMPARE(records.at(2).changes, (QList<FieldChange>{{QStringLiteral("Фамилия И.О."), QStringLiteral("1 Иванов И.И."), QStringLiteral("2 Петров П.П.")},
                                                       {QStringLiteral("Кол-во"), QStringLiteral("10"), QStringLiteral("12")}}));
    QCOMPARE(records.at(2).changesText(), QStringLiteral("Фамилия И.О.: 1 Иванов И.И. → 2 Петров П.П.; Кол-во: 10 → 12"));
    // An added entry shows its values, a deleted one its last ones, the references by name.
    QVERIFY2(records.at(0).changesText().startsWith(QStringLiteral("Дата: 15.03.2024; Смена: 1; Фамилия И.О.: 1 Иванов И.И.; "
                                                                   "Марка изделия: ДМ-1; Операция: Сварка; Цвет: 0; Часы: 8; "
                                                                   "Кол-во: 10; Брак: 0; Цена: 10,5; Премия (%): 0; OK: no; Заведен: 15.03.2024")),
             qPrintable(records.at(0).changesText()));
    QVERIFY(records.at(3).changesText().contains(QStringLiteral("Кол-во: 12; Брак: 0; Цена: 10,5; Премия (%): 0; OK: ok")));
    for (const Record& r : records) QCOMPARE(r.dbUser, QStringLiteral("tabel_test"));   // the fixture's own login
    // Another entry's history is its own.
    QVERIFY(entryHistory(m_db->db(), Table::Journal, e.id + 1).isEmpty());
    QVERIFY(entryHistory(m_db->db(), Table::Hours, e.id).isEmpty());
}

void TestChangeHistory::aPeriodsChanges_data()
{
    QTest::addColumn<QDate>("from");
    QTest::addColumn<QDate>("to");
    QTest::addColumn<Scope>("scope");
    QTest::addColumn<QStringList>("shown");
    const QDate march(2024, 3, 1), april(2024, 4, 1), may(2024, 5, 1);
    // The records in the order they were made: the entries added, changed, the hour entry
    // added, changed, March closed and reopened.
    const QStringList h = historyOfMarchShown();
    QTest::newRow("March, approved") << march << april << Scope::ApprovedEntries << QStringList{h[0]};
    QTest::newRow("March, everything") << march << april << Scope::Everything << h.mid(0, 2);
    QTest::newRow("April, approved") << april << may << Scope::ApprovedEntries << QStringList{h[2], h[6], h[7]};
    QTest::newRow("April, everything") << april << may << Scope::Everything << h.mid(2);
    QTest::newRow("after") << april.addDays(1) << may << Scope::Everything << QStringList{};
    QTest::newRow("the last day of March alone") << april.addDays(-1) << april << Scope::ApprovedEntries << QStringList{h[0]};
    QTest::newRow("before") << march.addMonths(-1) << march << Scope::Everything << QStringList{};
}

void TestChangeHistory::aPeriodsChanges()
{
    QFETCH(QDate, from);
    QFETCH(QDate, to);
    QFETCH(Scope, scope);
    // From the last seconds of March on.
    historyOfMarch(*m_db, QStringLiteral("2024-03-31 23:59:58"));
    QTEST(lines(periodChanges(m_db->db(), from, to, scope)), "shown");
}

void TestChangeHistory::anHourEntryIsShownByItsNames()
{
    insertHourEntry(*m_db, 1, 7777, 8, 1);
    const int id = m_db->scalar(QStringLiteral("select max(id) from accounts_dep.fatigue")).toInt();
    m_db->exec(QStringLiteral("update accounts_dep.fatigue set cnt = 6, price = 157.5, id_o = 7778, d_date = null where id = %1").arg(id));
    const QList<Record> records = entryHistory(m_db->db(), Table::Hours, id);
    QCOMPARE(records.size(), 2);
    QCOMPARE(records.at(0).changesText(), QStringLiteral("Дата: 15.03.2024; ФИО: 1 Иванов И.И.; Номенклатура: Двери; Работа: хоз. работы; "
                                                         "Цена: 150; Кол-во: 8; Вых.: 0; Ноч.: 1; Месяц: 3; Год: 2024; Смена: 1"));
    QCOMPARE(records.at(1).changesText(), QStringLiteral("Дата: 15.03.2024 → —; Работа: хоз. работы → ср. сдельная; Цена: 150 → 157,5; Кол-во: 8 → 6"));
    // Dated by its month alone, the entry is named by the month.
    QCOMPARE(records.at(1).subject, QStringLiteral("03.2024, 1 Иванов И.И."));
}

void TestChangeHistory::everyKindOfChangeReadsAsItAlwaysDid_data()
{
    QTest::addColumn<QString>("view");
    QTest::addColumn<QStringList>("shown");
    using namespace history_fixture;
    QTest::newRow("the day, everything") << "everything" << everythingShown();
    QTest::newRow("the day, approved entries") << "approved" << approvedShown();
    QTest::newRow("an entry approved, moved, deleted") << "journal 9001" << entryShown(QStringLiteral("Журнал"), 9001);
    QTest::newRow("an entry whose mark needs quotes") << "journal 9003" << entryShown(QStringLiteral("Журнал"), 9003);
    QTest::newRow("an entry of a column since dropped") << "journal 9004" << entryShown(QStringLiteral("Журнал"), 9004);
    QTest::newRow("an hour entry dated by its month") << "hours 9002" << entryShown(QStringLiteral("Часы"), 9002);
}

void TestChangeHistory::everyKindOfChangeReadsAsItAlwaysDid()
{
    // The changes recorded compact (the rows added and deleted as their text, an update's fields
    // alone) read as the whole rows every earlier build kept read.
    QFETCH(QString, view);
    QFile changes(history_fixture::kChanges);
    QVERIFY(changes.open(QIODevice::ReadOnly));
    m_db->exec(QString::fromUtf8(changes.readAll()));
    const QDate day(2024, 3, 20);
    QList<Record> records;
    if (view == QLatin1String("everything")) records = periodChanges(m_db->db(), day, day.addDays(1), Scope::Everything);
    else if (view == QLatin1String("approved")) records = periodChanges(m_db->db(), day, day.addDays(1), Scope::ApprovedEntries);
    else records = entryHistory(m_db->db(), view.startsWith(QLatin1String("hours")) ? Table::Hours : Table::Journal,
                                view.section(QLatin1Char(' '), 1).toLongLong());
    QTEST(history_fixture::lines(records), "shown");
    // The same records handed over one at a time.
    if (view == QLatin1String("everything")) {
        QList<Record> each;
        eachPeriodChange(m_db->db(), day, day.addDays(1), Scope::Everything, [&](const Record& r) { each << r; });
        QTEST(history_fixture::lines(each), "shown");
    }
}

void TestChangeHistory::anUpdateKeepsOnlyTheFieldsItChanged()
{
    QFile changes(history_fixture::kChanges);
    QVERIFY(changes.open(QIODevice::ReadOnly));
    m_db->exec(QString::fromUtf8(changes.readAll()));
    // The move of entry 9001: four fields, the colour emptied; no row of it.
    QCOMPARE(m_db->scalar(QStringLiteral("select fields::text from accounts_dep.change_log where row_id = 9001 and act = 'u' "
                                         "and fields ? 'w_id'")).toString(),
             QStringLiteral("{\"data\": [\"2024-03-18\", \"2024-03-19\"], \"w_id\": [901, 902], \"color\": [3005, null], "
                            "\"kol_vo\": [10, 12]}"));
    QCOMPARE(m_db->scalar(QStringLiteral("select count(*) from accounts_dep.change_log where act = 'u' and entry is not null")).toInt(), 0);
    // An added entry is the text of its row.
    QCOMPARE(m_db->scalar(QStringLiteral("select entry from accounts_dep.change_log where row_id = 9003 and act = 'i'")).toString(),
             QStringLiteral("(9003,2024-03-20,1,902,90001,902,7,3,0,,2,\"\"\"(\",\"2024-03-20 08:00:00\",0,0,0,0,0,0)"));
}

void TestChangeHistory::aChangeInAMonthWithoutItsPartitionIsKept()
{
    // This month's part of the history is gone (as if nobody had made it): a save still goes
    // through, its record waits in the default part, reads as any other, and the next closing
    // of a month gives the month its part again with the record in it.
    const QDate today = QDate::currentDate();
    const QString part = QStringLiteral("accounts_dep.change_log_%1").arg(today.toString(QStringLiteral("yyyy_MM")));
    m_db->exec(QStringLiteral("drop table %1").arg(part));
    insertHourEntry(*m_db, 1, 7777, 8, 1, QStringLiteral("150"), today);
    const auto where = [&] {
        return m_db->scalar(QStringLiteral("select tableoid::regclass::text from accounts_dep.change_log where tbl = 'f'")).toString();
    };
    QCOMPARE(where(), QStringLiteral("accounts_dep.change_log_default"));
    // The hour entry's records (the closing below has its own).
    const auto shown = [&] {
        return lines(periodChanges(m_db->db(), today, today.addDays(1), Scope::Everything)).filter(QStringLiteral("Часы|"));
    };
    const QStringList added = {QStringLiteral("Часы|Добавлена|1|%1, 1 Иванов И.И.|").arg(today.toString(QStringLiteral("dd.MM.yyyy")))};
    QCOMPARE(shown(), added);
    QCOMPARE(m_db->scalar(QStringLiteral("select accounts_dep.close_month(2001, 1)")).toBool(), true);
    QCOMPARE(where(), part);
    QCOMPARE(m_db->scalar(QStringLiteral("select count(*) from accounts_dep.change_log_default")).toInt(), 0);
    QCOMPARE(shown(), added);
    // A month far ahead has no part either until a closing reaches it: its records wait too.
    m_db->exec(QStringLiteral("update accounts_dep.change_log set at = '2031-05-10 12:00+00' where tbl = 'f'"));
    QCOMPARE(where(), QStringLiteral("accounts_dep.change_log_default"));
    QCOMPARE(lines(periodChanges(m_db->db(), QDate(2031, 5, 10), QDate(2031, 5, 11), Scope::Everything)), added);
}

QTEST_GUILESS_MAIN(TestChangeHistory)
#include "tst_change_history.moc"
