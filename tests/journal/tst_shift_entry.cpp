#include "data/connection.h"
#include "data/data_module.h"
#include "data/transaction.h"
#include "journal/journal_window.h"
#include "journal/shift_entry_dialog.h"
#include "data/timesheet_cell.h"
#include "refbooks/worker_dialog.h"
#include "refbooks/workers_list.h"
#include "tests/journal/journal_fixture.h"
#include "tests/support/entries_fixture.h"
#include "tests/support/modal.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/test_database.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QSemaphore>
#include <QDeadlineTimer>
#include <QSqlQuery>
#include <QTest>
#include <QThread>

using entries_fixture::kFriday;
using entries_fixture::kMonday;

namespace {

PickedOperation welding(const QString& basePrice = QStringLiteral("10.5"))
{
    return {1, 10001, 0, QStringLiteral("Сварка "), basePrice};
}

PickedOperation painting(const QString& vid = QStringLiteral("Покраска"))
{
    return {2, 10001, 1, vid, QStringLiteral("12.34")};
}
} // namespace

class TestShiftEntry : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void priceRule_data();
    void priceRule();
    void colourRule_data();
    void colourRule();
    void completeness_data();
    void completeness();
    void tooLargeValues_data();
    void tooLargeValues();
    void zeroHoursStillMakeTheWorkersRow();
    void changePickingAnotherOperationPricesFromItsNorm();
    void referencedRowDeletedMeanwhile_data();
    void referencedRowDeletedMeanwhile();
    void workerTotalsTheSheetsCannotHold_data();
    void workerTotalsTheSheetsCannotHold();
    void twinsOnAdd_data();
    void twinsOnAdd();
    void twinsOnChange();
    void changeKeepsMarkAndPrice();
    void changeBringsBothCellsIntoStep_data();
    void changeBringsBothCellsIntoStep();
    void changeRefusedWhenSomeoneElseChangedTheEntry_data();
    void changeRefusedWhenSomeoneElseChangedTheEntry();
    void twoClientsSavingTheSameEntryAtOnce();
    void failureInTheCellUpkeepWritesNothing();
    void addFromTheJournalByKeyboard();
    void workerPickedInTheWorkersList();
    void activationPutsTheFocusOnTheWorkerPick();
    void savesAgainAfterTheConnectionWasOpenedAnew();
    void enterOnAPickOpensIt_data();
    void enterOnAPickOpensIt();
    void pickMovesToTheNextEmptyField_data();
    void pickMovesToTheNextEmptyField();
    void pickFromTheWorkersListMovesOn();
    void incompleteInputFocusesTheFirstEmptyField_data();
    void incompleteInputFocusesTheFirstEmptyField();
    void addWithEnterAndDigitsAlone();
    void aNewEntryShowsNoPriceOfAnother();

private:
    /// The dialog filled for a new entry of worker 2 with the operation; quantity 2, 1 hour.
    void fillNew(const PickedOperation& operation, int worker = 2);
    int count(const QString& where = QStringLiteral("true")) const;
    QVariant cell(int worker, int shift, int day) const;
    /// The journal row of an entry, as the grid shows it.
    const Dataset& journalRow(int id, int shift = 1);
    /// Picks that open no list: each records its list and, when handBack, hands over worker 2
    /// or the operation at once.
    void pickWithoutLists(bool handBack, const PickedOperation& operation = welding());
    /// The focused control's name, then Escape: the dialog closes without writing.
    QString focusedThenEscape() const;

    JournalTestData* m_data = nullptr;
    TestDatabase* m_db = nullptr;
    ScriptedPrompts m_prompts;
    TDataModule6* m_dm = nullptr;
    TForm1* m_journal = nullptr;
    TForm11* m_dialog = nullptr;
    QStringList m_opened;   // the lists the picks opened, in order
};

void TestShiftEntry::initTestCase()
{
    m_data = new JournalTestData(QStringLiteral("shift_entry"), m_prompts);
    m_db = &m_data->db;
    m_dm = &m_data->dm;
}

void TestShiftEntry::init()
{
    // Worker 1 has one approved welding entry of 8 hours in shift 1 on Friday.
    entries_fixture::journalBooks(*m_db);
    m_db->exec(QStringLiteral(R"(
        insert into accounts_dep.smena (data, smena, w_id, i_id, o_id, cena, kol_vo, brak, color, time, ok, vvod, prize, id_doc) values
          ('2024-03-15', 1, 1, 10001, 1, 10.12345, 10, 1, 0, 8, 'ok', '2024-03-01', 5, 7);
        insert into accounts_dep.h_tabel (w_id, month, year, smena, d15) values (1, 3, 2024, 1, 8);
    )"));
    m_prompts.clear();
    m_opened.clear();
    m_journal = new TForm1(*m_dm);
    m_journal->today = [] { return kFriday; };
    m_journal->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_journal));
    m_dialog = new TForm11(*m_dm, *m_journal, m_journal);
    m_journal->Form11 = m_dialog;
}

void TestShiftEntry::cleanup()
{
    QVERIFY(!m_prompts.unexpectedQuestion());
    delete m_journal;   // the dialog with it
    m_journal = nullptr;
    m_dialog = nullptr;
    QVERIFY(noWindowsLeftOpen());
}

void TestShiftEntry::fillNew(const PickedOperation& operation, int worker)
{
    m_dialog->fillForAdd(kFriday);
    m_dialog->cur_w_id = worker;
    m_dialog->Edit1->setText(worker == 1 ? QStringLiteral("Иванов И.И.") : QStringLiteral("Петров П.П."));
    m_dialog->takeOperation(operation);
    m_dialog->Edit3->setText(QStringLiteral("2"));
    m_dialog->Edit6->setText(QStringLiteral("1"));
    m_dialog->Edit6Exit();
}

int TestShiftEntry::count(const QString& where) const
{
    return m_db->scalar(QStringLiteral("select count(*) from accounts_dep.smena where ") + where).toInt();
}

QVariant TestShiftEntry::cell(int worker, int shift, int day) const
{
    return entries_fixture::journalCell(*m_db, worker, shift, day);
}

const Dataset& TestShiftEntry::journalRow(int id, int shift)
{
    Dataset& q = m_dm->smenaQuery(shift);
    if (!q.locate(QStringLiteral("id"), id)) qFatal("entry %d not in the journal", id);
    return q;
}

void TestShiftEntry::priceRule_data()
{
    QTest::addColumn<QString>("base");
    QTest::addColumn<bool>("dayOff");
    QTest::addColumn<int>("shift");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<double>("stored");
    QTest::addColumn<QString>("amount");      // of 2 pieces, from the price before rounding
    QTest::addColumn<QString>("baseShown");
    QTest::newRow("day off in overtime") << "10.5" << true << 4 << "31,5" << 31.5 << "63" << "10,5";
    QTest::newRow("shift 3") << "12.34" << false << 3 << "14,808" << 14.808 << "29,616" << "12,34";
    QTest::newRow("day off in shift 3") << "1" << true << 3 << "2,4" << 2.4 << "4,8" << "1";
    QTest::newRow("shift 2 adds nothing") << "7.25" << false << 2 << "7,25" << 7.25 << "14,5" << "7,25";
    QTest::newRow("a half at the fifth decimal, down to even") << "1.00005" << false << 1 << "1" << 1.0 << "2,0001" << "1";
    QTest::newRow("a half at the fifth decimal, up to even") << "1.00015" << false << 1 << "1,0002" << 1.0002 << "2,0003" << "1,0002";
    QTest::newRow("a half made by the surcharges") << "0.12345" << true << 4 << "0,3704" << 0.3704 << "0,7407" << "0,1234";
}

void TestShiftEntry::priceRule()
{
    QFETCH(QString, base);
    QFETCH(bool, dayOff);
    QFETCH(int, shift);
    QFETCH(double, stored);
    m_journal->CBox1->setChecked(dayOff);
    m_journal->CurrentShift = shift;
    fillNew(welding(base));
    QTEST(m_dialog->Edit7->text(), "shown");
    QTEST(m_dialog->Edit9->text(), "amount");
    QTEST(m_dialog->Edit8->text(), "baseShown");
    // The price is fixed at the pick: the journal's state afterwards does not change it.
    m_journal->CBox1->setChecked(!dayOff);
    m_dialog->Button1Click();
    QCOMPARE(m_prompts.said().size(), 0);
    QCOMPARE(m_db->scalar(QStringLiteral("select cena from accounts_dep.smena where w_id=2")).toDouble(), stored);
    QCOMPARE(m_db->scalar(QStringLiteral("select smena from accounts_dep.smena where w_id=2")).toInt(), shift);
}

void TestShiftEntry::colourRule_data()
{
    QTest::addColumn<QString>("vid");
    QTest::addColumn<bool>("paints");
    QTest::newRow("Покраска") << "Покраска" << true;
    QTest::newRow("ПОКРАСКА") << "ПОКРАСКА" << true;
    QTest::newRow("покраска") << "покраска" << true;
    QTest::newRow("Сварка") << "Сварка" << false;
}

void TestShiftEntry::colourRule()
{
    QFETCH(QString, vid);
    QFETCH(bool, paints);
    m_dialog->Edit5->setEnabled(true);
    m_dialog->Edit5->setText(QStringLiteral("3"));
    fillNew(painting(vid));
    QCOMPARE(m_dialog->Edit5->isEnabled(), paints);
    QCOMPARE(m_dialog->Label6->isEnabled(), paints);
    QCOMPARE(m_dialog->Edit5->text(), QString());
    m_dialog->Button1Click();
    if (paints) {
        // A painting needs its colour.
        QCOMPARE(m_prompts.texts(), QStringList{QStringLiteral("Все поля должны быть заполнены!")});
        QCOMPARE(count(QStringLiteral("w_id=2")), 0);
        m_dialog->Edit5->setText(QStringLiteral("5"));
        m_dialog->Button1Click();
    }
    QCOMPARE(m_db->scalar(QStringLiteral("select color from accounts_dep.smena where w_id=2")).toInt(), paints ? 5 : 0);
}

void TestShiftEntry::completeness_data()
{
    QTest::addColumn<QString>("field");
    QTest::newRow("worker") << "Edit1";
    QTest::newRow("operation") << "Edit2";
    QTest::newRow("quantity") << "Edit3";
    QTest::newRow("defects") << "Edit4";
    QTest::newRow("colour of a painting") << "Edit5";
    QTest::newRow("hours") << "Edit6";
}

void TestShiftEntry::completeness()
{
    QFETCH(QString, field);
    fillNew(painting());
    m_dialog->Edit5->setText(QStringLiteral("4"));
    m_dialog->findChild<QLineEdit*>(field)->setText(QStringLiteral("  "));
    // Checked before anything else: a quantity too large would have its own message.
    if (field != QLatin1String("Edit3")) m_dialog->Edit3->setText(QStringLiteral("99999999999"));
    m_dialog->Button1Click();
    QCOMPARE(m_prompts.said().size(), 1);
    QCOMPARE(m_prompts.said().first().text, QStringLiteral("Все поля должны быть заполнены!"));
    QCOMPARE(m_prompts.said().first().title, QStringLiteral("Ошибка"));
    QCOMPARE(count(), 1);
}

void TestShiftEntry::tooLargeValues_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("label");
    QTest::newRow("quantity") << "Edit3" << "2147483648" << "Кол-во";
    QTest::newRow("quantity, more digits than a number holds") << "Edit3" << "99999999999999999999999" << "Кол-во";
    QTest::newRow("defects") << "Edit4" << "32768" << "Брак";
    QTest::newRow("colour") << "Edit5" << "2147483648" << "Цвет";
    QTest::newRow("hours") << "Edit6" << "32768" << "Время";
    // Text put in by other means than typing passes no key filter.
    QTest::newRow("negative hours") << "Edit6" << "-7" << "Время";
    QTest::newRow("negative defects") << "Edit4" << "-2" << "Брак";
    QTest::newRow("signed quantity") << "Edit3" << "+5" << "Кол-во";
    QTest::newRow("fraction of hours") << "Edit6" << "1,5" << "Время";
    QTest::newRow("letters for a colour") << "Edit5" << "красный" << "Цвет";
}

void TestShiftEntry::tooLargeValues()
{
    QFETCH(QString, field);
    QFETCH(QString, value);
    QFETCH(QString, label);
    fillNew(painting());
    m_dialog->Edit5->setText(QStringLiteral("4"));
    m_dialog->findChild<QLineEdit*>(field)->setText(value);
    m_dialog->Button1Click();
    QCOMPARE(m_prompts.said().size(), 1);
    QVERIFY2(m_prompts.said().first().text.contains(label), qPrintable(m_prompts.said().first().text));
    QCOMPARE(count(), 1);
    QCOMPARE(m_dialog->findChild<QLineEdit*>(field)->text(), value);   // kept as typed
}

void TestShiftEntry::zeroHoursStillMakeTheWorkersRow()
{
    // Worker 2 has no timesheet row in March yet.
    fillNew(welding());
    m_dialog->Edit6->setText(QStringLiteral("0"));
    m_dialog->Button1Click();
    QVERIFY2(m_prompts.said().isEmpty(), qPrintable(m_prompts.texts().join(QLatin1Char('|'))));
    QCOMPARE(count(QStringLiteral("w_id=2")), 1);
    QVERIFY(!cell(2, 1, 15).isNull());
    QCOMPARE(cell(2, 1, 15).toInt(), 0);
}

void TestShiftEntry::changePickingAnotherOperationPricesFromItsNorm()
{
    // Entry 1 was welding at 10.12345; picking the painting prices it from the painting's norm.
    m_dialog->fillForChange(journalRow(1));
    m_dialog->takeOperation(painting());
    m_dialog->Edit5->setText(QStringLiteral("3"));
    m_dialog->Button1Click();
    QVERIFY2(m_prompts.said().isEmpty(), qPrintable(m_prompts.texts().join(QLatin1Char('|'))));
    QCOMPARE(m_db->scalar(QStringLiteral("select o_id from accounts_dep.smena where id=1")).toInt(), 2);
    QCOMPARE(m_db->scalar(QStringLiteral("select cena from accounts_dep.smena where id=1")).toDouble(), 12.34);
}

void TestShiftEntry::referencedRowDeletedMeanwhile_data()
{
    QTest::addColumn<QString>("deletion");
    QTest::addColumn<QString>("word");
    QTest::newRow("worker") << "delete from accounts_dep.person where id=2" << "Работник";
    QTest::newRow("operation") << "delete from accounts_dep.oper where id=1" << "Операция";
    QTest::newRow("product") << "delete from cmn_gds_and_srv.gds_and_srv where id=10001" << "Изделие";
}

void TestShiftEntry::referencedRowDeletedMeanwhile()
{
    QFETCH(QString, deletion);
    QFETCH(QString, word);
    for (bool change : {false, true}) {
        m_prompts.clear();
        if (change) {
            init();
            m_dialog->fillForChange(journalRow(1));
            m_dialog->cur_w_id = 2;
            m_dialog->Edit6->setText(QStringLiteral("5"));
        } else {
            fillNew(welding());
            m_dialog->Edit6->setText(QStringLiteral("5"));
        }
        // Another client deletes what the dialog picked while it was open.
        m_db->exec(deletion);
        m_dialog->Button1Click();
        QCOMPARE(m_prompts.said().size(), 1);
        QVERIFY2(m_prompts.said().first().text.startsWith(word), qPrintable(m_prompts.said().first().text));
        QCOMPARE(count(QStringLiteral("time=5")), 0);
        QVERIFY(cell(2, 1, 15).isNull());
        if (!change) cleanup();
    }
}

void TestShiftEntry::workerTotalsTheSheetsCannotHold_data()
{
    QTest::addColumn<QString>("quantity");
    QTest::addColumn<QString>("hours");
    QTest::addColumn<QString>("field");
    // Worker 1 has 8 hours on Friday in shift 1 already; each entry alone fits its columns.
    QTest::newRow("a day's hours past the cell") << "1" << "32760" << "«Время»";
    QTest::newRow("a month's money past the sheets") << "2000000000" << "1" << "«Кол-во»";
    QTest::newRow("a month's money just inside") << "800000" << "1" << "";
}

void TestShiftEntry::workerTotalsTheSheetsCannotHold()
{
    QFETCH(QString, quantity);
    QFETCH(QString, hours);
    QFETCH(QString, field);
    fillNew(painting(), 1);
    m_dialog->Edit5->setText(QStringLiteral("7"));
    m_dialog->Edit3->setText(quantity);
    m_dialog->Edit6->setText(hours);
    m_dialog->Button1Click();
    if (field.isEmpty()) {
        QVERIFY2(m_prompts.said().isEmpty(), qPrintable(m_prompts.texts().join(QLatin1Char('|'))));
        QCOMPARE(count(), 2);
        return;
    }
    QCOMPARE(m_prompts.said().size(), 1);
    QVERIFY2(m_prompts.said().first().text.contains(field), qPrintable(m_prompts.said().first().text));
    QCOMPARE(count(), 1);
    QCOMPARE(cell(1, 1, 15).toInt(), 8);
}

void TestShiftEntry::twinsOnAdd_data()
{
    QTest::addColumn<bool>("sameColour");
    QTest::newRow("same colour: a twin") << true;
    QTest::newRow("only the colour differs: not a twin") << false;
}

void TestShiftEntry::twinsOnAdd()
{
    QFETCH(bool, sameColour);
    m_db->exec(QStringLiteral("insert into accounts_dep.smena (data, smena, w_id, i_id, o_id, cena, kol_vo, brak, color, time, ok) "
                              "values ('2024-03-15', 1, 2, 10001, 2, 1, 1, 0, 5, 1, 'no')"));
    fillNew(painting());
    m_dialog->Edit5->setText(sameColour ? QStringLiteral("5") : QStringLiteral("6"));
    m_dialog->Button1Click();
    QCOMPARE(m_prompts.texts(), sameColour ? QStringList{QStringLiteral("Позиция с такими параметрами уже заведена!")}
                                           : QStringList{});
    QCOMPARE(count(QStringLiteral("w_id=2")), sameColour ? 1 : 2);
}

void TestShiftEntry::twinsOnChange()
{
    // Worker 2's entry changed into worker 1's twin is refused; saved unchanged it is not.
    m_db->exec(QStringLiteral("insert into accounts_dep.smena (data, smena, w_id, i_id, o_id, cena, kol_vo, brak, color, time, ok) "
                              "values ('2024-03-15', 1, 2, 10001, 1, 1, 1, 0, 0, 1, 'no')"));
    m_journal->Button8Click();
    const int id = m_db->scalar(QStringLiteral("select id from accounts_dep.smena where w_id=2")).toInt();
    m_dialog->fillForChange(journalRow(id));
    m_dialog->Button1Click();
    QCOMPARE(m_prompts.said().size(), 0);

    m_dialog->fillForChange(journalRow(id));
    m_dialog->cur_w_id = 1;
    m_dialog->Button1Click();
    QCOMPARE(m_prompts.texts(), QStringList{QStringLiteral("Позиция с такими параметрами уже заведена!")});
    QCOMPARE(count(QStringLiteral("w_id=2")), 1);
}

void TestShiftEntry::changeKeepsMarkAndPrice()
{
    const int id = 1;
    m_dialog->fillForChange(journalRow(id));
    QCOMPARE(m_dialog->windowTitle(), QStringLiteral("Изменение данных о позиции (11)"));
    QCOMPARE(m_dialog->Edit1->text(), QStringLiteral("Иванов И.И."));
    QCOMPARE(m_dialog->Edit2->text(), QStringLiteral("ДМ-1; Сварка; Готовая продукция"));
    QCOMPARE(m_dialog->Edit7->text(), QStringLiteral("10,1234"));   // 10.12345: the half goes to even
    QCOMPARE(m_dialog->Edit3->text(), QStringLiteral("10"));
    QCOMPARE(m_dialog->DTimeP->date(), kFriday);
    QVERIFY(!m_dialog->Edit5->isEnabled());
    m_dialog->Edit3->setText(QStringLiteral("12"));
    m_dialog->Edit6Exit();
    QCOMPARE(m_dialog->Edit8->text(), QStringLiteral("0"));   // no operation picked since opening
    m_dialog->Button1Click();
    QCOMPARE(m_prompts.said().size(), 0);
    QSqlQuery q(m_db->db());
    QVERIFY(q.exec(QStringLiteral("select ok, prize, id_doc, vvod::date, cena, kol_vo from accounts_dep.smena where id=1")));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toString(), QStringLiteral("ok"));
    QCOMPARE(q.value(1).toDouble(), 0.0);
    QCOMPARE(q.value(2).toInt(), 0);
    QCOMPARE(q.value(3).toDate(), kFriday);
    QCOMPARE(q.value(4).toDouble(), 10.12345);   // no new pick: the stored price stays
    QCOMPARE(q.value(5).toInt(), 12);
    QCOMPARE(cell(1, 1, 15).toInt(), 8);
}

void TestShiftEntry::changeBringsBothCellsIntoStep_data()
{
    QTest::addColumn<int>("worker");
    QTest::addColumn<QDate>("day");
    QTest::addColumn<int>("shift");
    QTest::newRow("to another worker") << 2 << kFriday << 1;
    QTest::newRow("to another day") << 1 << kMonday << 1;
    QTest::newRow("to another shift") << 1 << kFriday << 2;
}

void TestShiftEntry::changeBringsBothCellsIntoStep()
{
    QFETCH(int, worker);
    QFETCH(QDate, day);
    QFETCH(int, shift);
    m_dialog->fillForChange(journalRow(1));
    m_dialog->cur_w_id = worker;
    m_dialog->DTimeP->setDate(day);
    m_journal->CurrentShift = shift;
    m_dialog->Button1Click();
    QCOMPARE(m_prompts.said().size(), 0);
    QVERIFY(cell(1, 1, 15).isNull());                           // the cell the entry left
    QCOMPARE(cell(worker, shift, day.day()).toInt(), 8);        // the cell it joined
}

void TestShiftEntry::changeRefusedWhenSomeoneElseChangedTheEntry_data()
{
    QTest::addColumn<QString>("other");
    QTest::addColumn<bool>("beforeOpening");
    QTest::newRow("changed while the dialog was open") << "update accounts_dep.smena set kol_vo=99 where id=1" << false;
    QTest::newRow("changed after the journal was read") << "update accounts_dep.smena set kol_vo=99 where id=1" << true;
    QTest::newRow("deleted while the dialog was open") << "delete from accounts_dep.smena where id=1" << false;
}

void TestShiftEntry::changeRefusedWhenSomeoneElseChangedTheEntry()
{
    QFETCH(QString, other);
    QFETCH(bool, beforeOpening);
    static int client = 0;
    QSqlDatabase second = m_db->openAnother(QStringLiteral("other_client_%1").arg(++client));
    const auto byOther = [&] { QSqlQuery q(second); QVERIFY(q.exec(other)); };
    if (beforeOpening) byOther();
    m_dialog->fillForChange(journalRow(1));
    if (!beforeOpening) byOther();
    m_dialog->Edit3->setText(QStringLiteral("12"));
    m_dialog->Button1Click();
    QCOMPARE(m_prompts.said().size(), 1);
    QVERIFY2(m_prompts.said().first().text.contains(QStringLiteral("другой пользователь")), qPrintable(m_prompts.said().first().text));
    QCOMPARE(count(QStringLiteral("kol_vo=12")), 0);
    QCOMPARE(cell(1, 1, 15).toInt(), 8);
    // The journal shows what the other client left.
    QCOMPARE(m_dm->Smena1.recordCount(), count());
    if (!m_dm->Smena1.isEmpty()) QCOMPARE(m_dm->Smena1.asInt(QStringLiteral("kol_vo")), 99);
    QCOMPARE(m_dialog->Edit3->text(), QStringLiteral("12"));
}

void TestShiftEntry::twoClientsSavingTheSameEntryAtOnce()
{
    // Client B is halfway through saving the very entry this dialog is about to save: it holds the
    // month's lock and has written its row, not yet committed. It commits once this client waits.
    fillNew(welding());
    QSemaphore bHasWritten;
    QThread* b = startAnotherClient(*m_db, [&bHasWritten](const QSqlDatabase& db) {
        {
            Transaction tx(db);
            timesheet_cell::lockMonths(db, tx, {{2, kFriday}});
            execSql(db, QStringLiteral("insert into accounts_dep.smena (data, smena, w_id, i_id, o_id, cena, kol_vo, brak, "
                                       "color, time, ok) values ('2024-03-15', 1, 2, 10001, 1, 10.5, 2, 0, 0, 1, 'no')"));
            bHasWritten.release();
            QDeadlineTimer deadline(10000);
            for (;;) {
                QSqlQuery waiting(db);
                waiting.exec(QStringLiteral("select count(*) from pg_locks where locktype='advisory' and not granted"));
                if ((waiting.next() && waiting.value(0).toInt() > 0) || deadline.hasExpired()) break;
                QThread::msleep(10);
            }
            timesheet_cell::syncJournal(db, tx, 2, 1, kFriday);
            tx.commit();
        }
    });
    bHasWritten.acquire();
    m_dialog->Button1Click();
    QVERIFY(b->wait(20000));
    delete b;
    QCOMPARE(count(QStringLiteral("w_id=2")), 1);
    QCOMPARE(m_prompts.texts(), QStringList{QStringLiteral("Позиция с такими параметрами уже заведена!")});
    QCOMPARE(cell(2, 1, 15).toInt(), 1);
}

void TestShiftEntry::failureInTheCellUpkeepWritesNothing()
{
    const auto reopen = closeTheTimesheet(*m_db);
    fillNew(welding());
    m_dialog->setResult(QDialog::Rejected);
    QTest::mouseClick(m_dialog->Button1, Qt::LeftButton);
    QCOMPARE(m_prompts.said().size(), 1);
    QVERIFY2(m_prompts.said().first().text.contains(QStringLiteral("табель закрыт")), qPrintable(m_prompts.said().first().text));
    QCOMPARE(count(), 1);
    QCOMPARE(m_db->scalar(QStringLiteral("select count(*) from accounts_dep.h_tabel")).toInt(), 1);
    // The dialog stays with what was typed.
    QCOMPARE(m_dialog->result(), int(QDialog::Rejected));
    QCOMPARE(m_dialog->Edit1->text(), QStringLiteral("Петров П.П."));
    QCOMPARE(m_dialog->Edit3->text(), QStringLiteral("2"));
}

void TestShiftEntry::addFromTheJournalByKeyboard()
{
    // The picks hand back at once here; the lists themselves are tested with the reference books.
    m_dialog->openWorkerPick = [](WorkerPickTarget& target) {
        target.pickedWorkerId() = 2;
        target.pickedWorkerName()->setText(QStringLiteral("Петров П.П."));
    };
    QList<int> pickedFrom;
    m_dialog->openOperationPick = [&pickedFrom](OperationPickTarget& target, int operationId) {
        pickedFrom << operationId;
        target.takeOperation(welding());
    };
    QStringList order;
    whenModal([&](QWidget* modal) {
        QCOMPARE(modal, m_dialog);
        QCOMPARE(m_dialog->windowTitle(), QStringLiteral("Заведение новой позиции (11)"));
        QCOMPARE(m_dialog->DTimeP->date(), kFriday);
        // Tab walks the date's day, month and year before it leaves the date box.
        for (int i = 0; i < 12 && !order.endsWith(QStringLiteral("Button2")); ++i) {
            QWidget* focus = QApplication::focusWidget();
            QVERIFY(focus);
            if (!order.endsWith(focus->objectName())) order << focus->objectName();
            if (focus == m_dialog->Button3 || focus == m_dialog->Button4) {
                QTest::keyClick(focus, Qt::Key_Space);   // the pick moves the focus on by itself
                continue;
            }
            if (focus == fieldLabelled(m_dialog, QStringLiteral("Кол-во"))) QTest::keyClicks(focus, QStringLiteral("1x5"));
            if (focus == fieldLabelled(m_dialog, QStringLiteral("Время"))) QTest::keyClicks(focus, QStringLiteral("8"));
            QTest::keyClick(focus, Qt::Key_Tab);
        }
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);   // leaves without writing
    });
    m_journal->Button1Click();
    // The colour box of a welding is disabled and skipped.
    QCOMPARE(order, QStringList({"Button3", "Button4", "Edit3", "Edit6", "DTimeP", "Edit4", "Button1", "Button2"}));
    QCOMPARE(count(QStringLiteral("w_id=2")), 0);

    whenModal([&](QWidget*) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);   // worker
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);   // operation
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("15"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(m_dialog->Edit9->text(), QStringLiteral("157,5"));
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("8"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);   // "Запись" is the default
    });
    m_journal->Button1Click();
    QVERIFY(!m_dialog->isVisible());
    QCOMPARE(count(QStringLiteral("w_id=2 and kol_vo=15 and time=8 and ok='no' and smena=1 and cena=10.5")), 1);
    QCOMPARE(cell(2, 1, 15).toInt(), 8);
    QCOMPARE(m_dm->Smena1.recordCount(), 2);
    QVERIFY(m_dialog->Edit1->text().isEmpty());

    // "Изменить" on worker 1's painting: the operations list opens on the entry's operation.
    m_db->exec(QStringLiteral("update accounts_dep.smena set o_id=2, color=3 where id=1"));
    m_journal->Button8Click();
    QVERIFY(m_dm->Smena1.locate(QStringLiteral("id"), 1));
    const int recNo = m_dm->Smena1.recNo();
    whenModal([&](QWidget*) {
        QCOMPARE(m_dialog->windowTitle(), QStringLiteral("Изменение данных о позиции (11)"));
        QVERIFY(m_dialog->Edit5->isEnabled());
        QCOMPARE(m_dialog->Edit5->text(), QStringLiteral("3"));
        QTest::mouseClick(m_dialog->Edit2, Qt::LeftButton);   // a click on the operation opens the pick
        m_dialog->close();
    });
    m_journal->Button2Click();
    QCOMPARE(pickedFrom, QList<int>({0, 0, 2}));
    QCOMPARE(m_dm->Smena1.recNo(), recNo);
    QCOMPARE(count(QStringLiteral("id=1 and o_id=2")), 1);   // closed without writing
}

void TestShiftEntry::workerPickedInTheWorkersList()
{
    TForm2 form2(*m_dm);
    TForm5 form5(*m_dm, form2);
    m_dialog->openWorkerPick = [&form5](WorkerPickTarget& target) { form5.openPick(1, target); };
    m_dialog->fillForAdd(kFriday);
    whenModal([&](QWidget* list) {
        QCOMPARE(list, &form5);
        QCOMPARE(form5.Button2->text(), QStringLiteral("Выбрать"));
        QVERIFY(m_dm->Workers.locate(QStringLiteral("id"), 2));
        QTest::mouseClick(form5.Button2, Qt::LeftButton);
    });
    QTest::mouseClick(m_dialog->Edit1, Qt::LeftButton);   // a click on the name opens the pick
    QCOMPARE(m_dialog->cur_w_id, 2);
    QCOMPARE(m_dialog->Edit1->text(), QStringLiteral("Петров П.П."));
    QCOMPARE(m_dialog->Edit3->text(), QStringLiteral("0"));   // the displays were recomputed
    QVERIFY(!m_dm->Workers.isOpen());
}

void TestShiftEntry::activationPutsTheFocusOnTheWorkerPick()
{
    // Becoming active again puts the focus where opening puts it.
    m_dialog->fillForAdd(kFriday);
    m_dialog->show();
    QApplication::setActiveWindow(m_dialog);
    QCOMPARE(m_dialog->focusWidget(), m_dialog->Button3);
    m_dialog->Edit3->setFocus();
    QApplication::setActiveWindow(m_journal);
    QApplication::setActiveWindow(m_dialog);
    QCOMPARE(m_dialog->focusWidget(), m_dialog->Button3);
    m_dialog->hide();
}

void TestShiftEntry::savesAgainAfterTheConnectionWasOpenedAnew()
{
    // The dialog's statements are prepared once; a new server session no longer knows them.
    fillNew(welding());
    m_dialog->Button1Click();
    QSqlDatabase db = m_db->db();
    db.close();
    QVERIFY(db.open());
    fillNew(welding());
    m_dialog->DTimeP->setDate(kMonday);
    m_dialog->Button1Click();
    QVERIFY2(m_prompts.said().isEmpty(), qPrintable(m_prompts.texts().join(QLatin1Char('|'))));
    QCOMPARE(count(QStringLiteral("o_id=1 and kol_vo=2")), 2);

    // A session that forgot them in a way the connection does not show: one save fails with the
    // server's word, the next one prepares afresh.
    QSqlQuery(db).exec(QStringLiteral("deallocate all"));
    fillNew(welding());
    m_dialog->DTimeP->setDate(kFriday.addDays(1));
    m_dialog->Button1->click();
    QCOMPARE(m_prompts.said().size(), 1);
    QCOMPARE(count(QStringLiteral("o_id=1 and kol_vo=2")), 2);
    m_dialog->Button1->click();
    QCOMPARE(m_prompts.said().size(), 1);
    QCOMPARE(count(QStringLiteral("o_id=1 and kol_vo=2")), 3);
}

void TestShiftEntry::pickWithoutLists(bool handBack, const PickedOperation& operation)
{
    m_dialog->openWorkerPick = [this, handBack](WorkerPickTarget& target) {
        m_opened << QStringLiteral("workers");
        if (!handBack) return;
        target.pickedWorkerId() = 2;
        target.pickedWorkerName()->setText(QStringLiteral("Петров П.П."));
    };
    m_dialog->openOperationPick = [this, handBack, operation](OperationPickTarget& target, int) {
        m_opened << QStringLiteral("operations");
        if (handBack) target.takeOperation(operation);
    };
}

QString TestShiftEntry::focusedThenEscape() const
{
    // On a busy machine the dialog may become the active window only now: its focus is read then.
    if (!QTest::qWaitForWindowActive(m_dialog)) return QStringLiteral("(the dialog never became active)");
    const QWidget* focus = QApplication::focusWidget();
    const QString name = focus ? focus->objectName() : QString();
    QTest::keyClick(m_dialog, Qt::Key_Escape);   // leaves without writing
    return name;
}

void TestShiftEntry::enterOnAPickOpensIt_data()
{
    QTest::addColumn<QString>("pick");
    QTest::addColumn<QString>("list");
    QTest::newRow("worker") << "Button3" << "workers";
    QTest::newRow("operation") << "Button4" << "operations";
}

void TestShiftEntry::enterOnAPickOpensIt()
{
    QFETCH(QString, pick);
    QFETCH(QString, list);
    // The lists are left without a pick: a save would find the entry incomplete.
    pickWithoutLists(false);
    bool stayedOpen = false;
    whenModal([&](QWidget*) {
        enterOn(m_dialog, pick);
        stayedOpen = m_dialog->isVisible();
        focusedThenEscape();
    });
    m_journal->Button1Click();
    QCOMPARE(m_opened, QStringList{list});
    QVERIFY(stayedOpen);
    QVERIFY2(m_prompts.said().isEmpty(), qPrintable(m_prompts.texts().join(QLatin1Char('|'))));
    QCOMPARE(count(), 1);
}

void TestShiftEntry::pickMovesToTheNextEmptyField_data()
{
    QTest::addColumn<bool>("change");          // entry 1, a welding with every field filled
    QTest::addColumn<QString>("quantity");     // typed before the picks
    QTest::addColumn<QStringList>("picks");    // the "..." pressed with Enter, in order
    QTest::addColumn<QString>("operation");    // what the operation pick hands over
    QTest::addColumn<bool>("handBack");        // false: the lists are left without a pick
    QTest::addColumn<QString>("focus");
    const QStringList worker{"Button3"}, operation{"Button4"}, both{"Button3", "Button4"};
    QTest::newRow("worker: the operation") << false << "" << worker << "Сварка" << true << "Button4";
    QTest::newRow("operation: the quantity shown as an untyped 0") << false << "" << operation << "Сварка" << true << "Edit3";
    QTest::newRow("both: the quantity") << false << "" << both << "Сварка" << true << "Edit3";
    QTest::newRow("a painting: its colour") << false << "5" << both << "Покраска" << true << "Edit5";
    QTest::newRow("nothing after it empty: back to the worker") << false << "5" << operation << "Сварка" << true << "Button3";
    QTest::newRow("nothing empty: the save") << false << "5" << both << "Сварка" << true << "Button1";
    QTest::newRow("a typed 0 is a quantity") << false << "0" << both << "Сварка" << true << "Button1";
    QTest::newRow("given up: its own pick") << false << "" << worker << "Сварка" << false << "Button3";
    QTest::newRow("change: the save") << true << "" << worker << "Сварка" << true << "Button1";
    QTest::newRow("change to a painting: its colour") << true << "" << operation << "Покраска" << true << "Edit5";
}

void TestShiftEntry::pickMovesToTheNextEmptyField()
{
    QFETCH(bool, change);
    QFETCH(QString, quantity);
    QFETCH(QStringList, picks);
    QFETCH(QString, operation);
    QFETCH(bool, handBack);
    pickWithoutLists(handBack, operation == QStringLiteral("Покраска") ? painting() : welding());
    QString focused;
    whenModal([&](QWidget*) {
        if (!quantity.isEmpty()) {
            QWidget* field = fieldLabelled(m_dialog, QStringLiteral("Кол-во"));
            field->setFocus();
            QTest::keyClicks(field, quantity);
        }
        for (const QString& pick : std::as_const(picks)) enterOn(m_dialog, pick);
        focused = focusedThenEscape();
    });
    if (change) {
        QVERIFY(m_dm->Smena1.locate(QStringLiteral("id"), 1));
        m_journal->Button2Click();
    } else {
        m_journal->Button1Click();
    }
    QTEST(focused, "focus");
    QCOMPARE(count(), 1);
}

void TestShiftEntry::pickFromTheWorkersListMovesOn()
{
    // The window system makes the dialog active again once the list's window has gone: the focus
    // goes on, not back to the worker pick.
    TForm2 form2(*m_dm);
    TForm5 form5(*m_dm, form2);
    m_dialog->openWorkerPick = [&form5](WorkerPickTarget& target) { form5.openPick(1, target); };
    QString focused;
    whenModal([&](QWidget*) {
        whenModal([&](QWidget* list) {
            QCOMPARE(list, &form5);
            QVERIFY(m_dm->Workers.locate(QStringLiteral("id"), 2));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);   // Enter picks
        });
        QTest::keyClick(m_dialog->Button3, Qt::Key_Return);
        // The dialog is active again at once, then the window system takes it away and gives it
        // back once the list's window has gone.
        QApplication::setActiveWindow(m_dialog);
        QApplication::setActiveWindow(m_journal);
        QApplication::setActiveWindow(m_dialog);
        focused = QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString();
        m_dialog->reject();
    });
    m_journal->Button1Click();
    QCOMPARE(m_dialog->cur_w_id, 2);
    QCOMPARE(focused, QStringLiteral("Button4"));
}

void TestShiftEntry::incompleteInputFocusesTheFirstEmptyField_data()
{
    QTest::addColumn<QStringList>("emptied");
    QTest::addColumn<QString>("focus");
    QTest::addColumn<QString>("named");   // what the status line says
    QTest::newRow("worker") << QStringList{"Edit1"} << "Button3" << "ФИО";
    QTest::newRow("operation") << QStringList{"Edit2"} << "Button4" << "Операция";
    QTest::newRow("quantity") << QStringList{"Edit3"} << "Edit3" << "Кол-во";
    QTest::newRow("hours") << QStringList{"Edit6"} << "Edit6" << "Время";
    QTest::newRow("colour of a painting") << QStringList{"Edit5"} << "Edit5" << "Цвет";
    QTest::newRow("defects") << QStringList{"Edit4"} << "Edit4" << "Брак";
    // The first in keyboard order, whatever order the check goes in.
    QTest::newRow("defects and hours") << QStringList{"Edit4", "Edit6"} << "Edit6" << "Время, Брак";
    QTest::newRow("quantity and worker") << QStringList{"Edit3", "Edit1"} << "Button3" << "ФИО, Кол-во";
}

void TestShiftEntry::incompleteInputFocusesTheFirstEmptyField()
{
    QFETCH(QStringList, emptied);
    pickWithoutLists(true, painting());
    QString focused;
    whenModal([&](QWidget*) {
        QTest::keyClick(m_dialog->Button3, Qt::Key_Return);
        QTest::keyClick(m_dialog->Button4, Qt::Key_Return);
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("2"));   // the quantity
        QWidget* colour = fieldLabelled(m_dialog, QStringLiteral("Цвет"));
        colour->setFocus();
        QTest::keyClicks(colour, QStringLiteral("4"));
        for (const QString& name : std::as_const(emptied)) child<QLineEdit>(m_dialog, qPrintable(name))->clear();
        QWidget* defects = fieldLabelled(m_dialog, QStringLiteral("Брак"));
        defects->setFocus();
        QTest::keyClick(defects, Qt::Key_Return);
        // Each empty field is marked and named; typing into one takes its mark away.
        QFETCH(QString, named);
        QCOMPARE(m_dialog->StatusLine->text(), QStringLiteral("Не заполнено: %1").arg(named));
        for (QLineEdit* e : m_dialog->findChildren<QLineEdit*>())
            QCOMPARE(e->property("missing").toBool(), emptied.contains(e->objectName()));
        if (emptied.contains(QStringLiteral("Edit3"))) {
            child<QLineEdit>(m_dialog, "Edit3")->setText(QStringLiteral("5"));
            QVERIFY(!child<QLineEdit>(m_dialog, "Edit3")->property("missing").toBool());
            child<QLineEdit>(m_dialog, "Edit3")->clear();
        }
        focused = focusedThenEscape();
    });
    m_journal->Button1Click();
    QCOMPARE(m_prompts.texts(), QStringList{QStringLiteral("Все поля должны быть заполнены!")});
    QTEST(focused, "focus");
    QCOMPARE(count(), 1);
    // The next entry starts unmarked.
    m_dialog->fillForAdd(kFriday);
    QVERIFY(m_dialog->StatusLine->text().isEmpty());
    for (QLineEdit* e : m_dialog->findChildren<QLineEdit*>()) QVERIFY(!e->property("missing").toBool());
}

void TestShiftEntry::aNewEntryShowsNoPriceOfAnother()
{
    // The approved welding shown for a change, then "Добавить": no price until an operation is picked.
    QVERIFY(m_dm->Smena1.locate(QStringLiteral("id"), 1));
    m_dialog->fillForChange(m_dm->Smena1);
    QVERIFY(!m_dialog->Edit7->text().isEmpty() && !m_dialog->Edit9->text().isEmpty());
    m_dialog->fillForAdd(kFriday);
    for (QLineEdit* price : {m_dialog->Edit7, m_dialog->Edit8, m_dialog->Edit9}) QVERIFY2(price->text().isEmpty(), qPrintable(price->objectName()));
    // Typing a quantity before the pick reckons nothing from an earlier entry's price.
    m_dialog->Edit3->setText(QStringLiteral("4"));
    m_dialog->Edit6Exit();
    QCOMPARE(m_dialog->Edit9->text(), QStringLiteral("0"));
}

void TestShiftEntry::addWithEnterAndDigitsAlone()
{
    // Enter picks the worker, Enter picks the operation, the quantity's 0 is typed over, Enter saves.
    pickWithoutLists(true);
    whenModal([&](QWidget*) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("15"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        if (m_dialog->isVisible()) m_dialog->reject();
    });
    m_journal->Button1Click();
    QVERIFY(!m_dialog->isVisible());
    QCOMPARE(m_opened, QStringList({"workers", "operations"}));
    QVERIFY2(m_prompts.said().isEmpty(), qPrintable(m_prompts.texts().join(QLatin1Char('|'))));
    QCOMPARE(count(QStringLiteral("w_id=2 and kol_vo=15 and time=0 and cena=10.5")), 1);
}

QTEST_MAIN(TestShiftEntry)
#include "tst_shift_entry.moc"
