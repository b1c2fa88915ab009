#include "data/access.h"
#include "data/connection.h"
#include "data/data_module.h"
#include "data/transaction.h"
#include "journal/journal_window.h"
#include "data/timesheet_cell.h"
#include "tests/support/modal.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/test_database.h"
#include "ui/data_grid.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSqlQuery>
#include <QTest>
#include <QThread>

namespace {
const QDate kFriday(2024, 3, 15);
const QDate kSaturday(2024, 3, 16);
const QDate kMonday(2024, 3, 18);
} // namespace

class TestJournal : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void activationGoesToTodayAndReloads();
    void dayOffBox_data();
    void dayOffBox();
    void shiftButtonsChooseTheQuery();
    void approvalToggle_data();
    void approvalToggle();
    void foremenCannotApprove();
    void deleteKeepsTheTimesheetCell_data();
    void deleteKeepsTheTimesheetCell();
    void answeringNoChangesNothing();
    void failedCellUpdateLeavesBothTablesAsTheyWere();
    void concurrentDeletionsKeepTheInvariant();
    void cellUpkeepInsertsAMissingRow();

private:
    int entryId(int worker, int shift, int hours) const;
    QVariant cell(int worker, int shift, int day) const;
    void selectEntry(int id);

    TestDatabase* m_db = nullptr;
    ScriptedPrompts m_prompts;
    TDataModule6* m_dm = nullptr;
    TForm1* m_form = nullptr;
};

void TestJournal::initTestCase()
{
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    m_db = new TestDatabase(QStringLiteral("journal"));
    m_dm = new TDataModule6(m_db->db(), m_prompts);
    for (int i = 1; i <= 4; ++i) m_dm->smenaQuery(i).setParam(QStringLiteral("OK"), QStringLiteral("ta"));
}

void TestJournal::init()
{
    // Worker 1 has three entries in shift 1 on Friday (8 + 2 + 3 hours) and one on Monday;
    // worker 2 one entry in shift 1 and one in shift 2.
    m_db->exec(QStringLiteral(R"(
        truncate accounts_dep.smena, accounts_dep.h_tabel, cmn_contractor.person, accounts_dep.person,
                 cmn_gds_and_srv.gds_and_srv, accounts_dep.oper, accounts_dep.vid_oper restart identity;
        insert into cmn_contractor.person (id, s_caption, s_code) values (1, 'Иванов И.И.', '1'), (2, 'Петров П.П.', '2');
        insert into accounts_dep.person (id, fio) values (1, 'Иванов И.И.'), (2, 'Петров П.П.');
        insert into cmn_gds_and_srv.gds_and_srv (id, s_caption) values (10001, 'ДМ-1');
        insert into accounts_dep.vid_oper (id, vid) values (1, 'Сварка');
        insert into accounts_dep.oper (id, vid, naimen, i_id) values (1, 1, 0, 10001);
        insert into accounts_dep.smena (data, smena, w_id, i_id, o_id, cena, kol_vo, brak, time, ok) values
          ('2024-03-15', 1, 1, 10001, 1, 10, 10, 0, 8, 'ok'),
          ('2024-03-15', 1, 1, 10001, 1, 10, 10, 0, 2, 'да'),
          ('2024-03-15', 1, 1, 10001, 1, 10, 10, 0, 3, 'no'),
          ('2024-03-15', 1, 2, 10001, 1, 10, 10, 0, 5, 'xx'),
          ('2024-03-15', 2, 2, 10001, 1, 10, 10, 0, 6, 'no'),
          ('2024-03-18', 1, 1, 10001, 1, 10, 10, 0, 7, 'no');
        insert into accounts_dep.h_tabel (w_id, month, year, smena, d15, d18) values (1, 3, 2024, 1, 13, 7);
        insert into accounts_dep.h_tabel (w_id, month, year, smena, d15) values (2, 3, 2024, 1, 5), (2, 3, 2024, 2, 6);
    )"));
    m_prompts.clear();
    m_form = new TForm1(*m_dm);
    m_form->today = [] { return kFriday; };
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form));
}

void TestJournal::cleanup()
{
    QVERIFY(!m_prompts.unexpectedQuestion());
    delete m_form;
    m_form = nullptr;
    QVERIFY(noWindowsLeftOpen());
}

int TestJournal::entryId(int worker, int shift, int hours) const
{
    return m_db->scalar(QStringLiteral("select id from accounts_dep.smena where w_id=%1 and smena=%2 and time=%3 "
                                       "and data='2024-03-15'").arg(worker).arg(shift).arg(hours)).toInt();
}

QVariant TestJournal::cell(int worker, int shift, int day) const
{
    return m_db->scalar(QStringLiteral("select d%3 from accounts_dep.h_tabel where w_id=%1 and smena=%2 "
                                       "and month=3 and year=2024").arg(worker).arg(shift).arg(day));
}

void TestJournal::selectEntry(int id)
{
    Dataset& q = m_dm->smenaQuery(m_form->CurrentShift);
    QVERIFY(q.locate(QStringLiteral("id"), id));
}

void TestJournal::activationGoesToTodayAndReloads()
{
    QCOMPARE(m_form->date(), kFriday);
    QCOMPARE(m_dm->Smena1.recordCount(), 4);
    QCOMPARE(m_dm->Smena2.recordCount(), 1);

    m_form->DateT->setDate(kMonday);
    QTest::keyClick(m_form->DateT, Qt::Key_Return);
    QCOMPARE(m_dm->Smena1.recordCount(), 1);

    // A message box answered does not count as coming back to the window.
    m_prompts.answer(false);
    QTest::mouseClick(m_form->Button3, Qt::LeftButton);
    QCOMPARE(m_form->date(), kMonday);

    // Coming back from a window opened from here does.
    m_db->exec(QStringLiteral("insert into accounts_dep.smena (data, smena, w_id, i_id, o_id, cena, kol_vo, brak, time, ok) "
                              "values ('2024-03-15', 2, 1, 10001, 1, 1, 1, 0, 1, 'no')"));
    whenModal([](QWidget* w) { w->close(); });
    m_form->runChild([] { QDialog child; child.exec(); });
    QCOMPARE(m_form->date(), kFriday);
    QCOMPARE(m_dm->Smena2.recordCount(), 2);
}

void TestJournal::dayOffBox_data()
{
    QTest::addColumn<QDate>("today");
    QTest::addColumn<bool>("tickedBefore");
    QTest::addColumn<bool>("afterActivation");
    QTest::addColumn<QDate>("picked");
    QTest::addColumn<bool>("afterPick");
    QTest::newRow("weekend activation ticks") << kSaturday << false << true << kMonday << false;
    QTest::newRow("weekday activation leaves it ticked") << kFriday << true << true << kSaturday << true;
    QTest::newRow("weekday activation leaves it clear") << kFriday << false << false << QDate(2024, 3, 17) << true;
}

void TestJournal::dayOffBox()
{
    QFETCH(QDate, today);
    QFETCH(bool, tickedBefore);
    QFETCH(QDate, picked);
    m_form->today = [today] { return today; };
    m_form->CBox1->setChecked(tickedBefore);
    m_form->FormActivate();
    QTEST(m_form->CBox1->isChecked(), "afterActivation");
    m_form->DateT->setDate(picked);
    QTest::keyClick(m_form->DateT, Qt::Key_Return);
    QTEST(m_form->CBox1->isChecked(), "afterPick");
    QCOMPARE(m_form->CBox1->font().bold(), m_form->CBox1->isChecked());
}

void TestJournal::shiftButtonsChooseTheQuery()
{
    QVERIFY(m_form->RadioButton1->font().bold());
    QTest::mouseClick(m_form->RadioButton2, Qt::LeftButton);
    QCOMPARE(m_form->CurrentShift, 2);
    QCOMPARE(m_form->DBGrid2->gridModel()->dataset(), &m_dm->Smena2);
    QCOMPARE(m_form->DBGrid2->model()->rowCount(), 1);
    QVERIFY(m_form->RadioButton2->font().bold());
    QVERIFY(!m_form->RadioButton1->font().bold());
    QVERIFY(m_form->RadioButton2->styleSheet().contains(QStringLiteral("rgb(0, 128, 0)")));
    QVERIFY(m_form->RadioButton1->styleSheet().isEmpty());
}

void TestJournal::approvalToggle_data()
{
    QTest::addColumn<int>("worker");
    QTest::addColumn<int>("hours");
    QTest::addColumn<QString>("after");
    QTest::newRow("ok becomes no") << 1 << 8 << "no";
    QTest::newRow("да becomes no") << 1 << 2 << "no";
    QTest::newRow("no becomes ok") << 1 << 3 << "ok";
    QTest::newRow("anything else becomes ok") << 2 << 5 << "ok";
}

void TestJournal::approvalToggle()
{
    QFETCH(int, worker);
    QFETCH(int, hours);
    const int id = entryId(worker, 1, hours);
    selectEntry(id);
    const int recNo = m_dm->Smena1.recNo();
    const QRect r = m_form->DBGrid2->visualRect(m_form->DBGrid2->model()->index(recNo - 1, 0));
    QTest::mouseClick(m_form->DBGrid2->viewport(), Qt::LeftButton, {}, r.center());
    QTest::mouseDClick(m_form->DBGrid2->viewport(), Qt::LeftButton, {}, r.center());
    QTEST(m_db->scalar(QStringLiteral("select ok from accounts_dep.smena where id=%1").arg(id)).toString(), "after");
    QCOMPARE(m_dm->Smena1.recNo(), recNo);
    QCOMPARE(m_form->CurrentQuery, &m_dm->Smena1);
}

void TestJournal::foremenCannotApprove()
{
    m_form->AccessCode = access_rights::kForemenCode;
    const int id = entryId(1, 1, 3);
    selectEntry(id);
    m_form->DBGrid2DblClick();
    QCOMPARE(m_db->scalar(QStringLiteral("select ok from accounts_dep.smena where id=%1").arg(id)).toString(), QStringLiteral("no"));
}

void TestJournal::deleteKeepsTheTimesheetCell_data()
{
    QTest::addColumn<int>("worker");
    QTest::addColumn<int>("shift");
    QTest::addColumn<int>("hours");
    QTest::addColumn<QVariant>("cellAfter");
    QTest::newRow("one of several: the rest stays") << 1 << 1 << 8 << QVariant(5);
    QTest::newRow("the last one: the day empties") << 2 << 2 << 6 << QVariant();
}

void TestJournal::deleteKeepsTheTimesheetCell()
{
    QFETCH(int, worker);
    QFETCH(int, shift);
    QFETCH(int, hours);
    QFETCH(QVariant, cellAfter);
    m_form->findChild<QRadioButton*>(QStringLiteral("RadioButton%1").arg(shift))->click();
    selectEntry(entryId(worker, shift, hours));
    m_prompts.answer(true);
    QTest::mouseClick(m_form->Button3, Qt::LeftButton);
    QCOMPARE(m_prompts.said().size(), 1);
    QCOMPARE(m_prompts.said().first().text, QStringLiteral("Удалить позицию из списка?"));
    QCOMPARE(m_prompts.said().first().title, QStringLiteral("Удаление"));
    QCOMPARE(cell(worker, shift, 15).isNull(), cellAfter.isNull());
    if (!cellAfter.isNull()) QCOMPARE(cell(worker, shift, 15).toInt(), cellAfter.toInt());
    // Other days and other workers keep their hours.
    QCOMPARE(cell(1, 1, 18).toInt(), 7);
    QCOMPARE(cell(2, 1, 15).toInt(), worker == 2 ? 5 : 5);
    QCOMPARE(m_db->scalar(QStringLiteral("select count(*) from accounts_dep.smena")).toInt(), 5);
}

void TestJournal::answeringNoChangesNothing()
{
    selectEntry(entryId(1, 1, 8));
    m_prompts.answer(false);
    m_form->Button3Click();
    QCOMPARE(m_db->scalar(QStringLiteral("select count(*) from accounts_dep.smena")).toInt(), 6);
    QCOMPARE(cell(1, 1, 15).toInt(), 13);
}

void TestJournal::failedCellUpdateLeavesBothTablesAsTheyWere()
{
    m_db->exec(QStringLiteral(R"(
        create or replace function accounts_dep.refuse() returns trigger language plpgsql as
          $$ begin raise exception 'табель закрыт'; end $$;
        create trigger refuse before update or insert on accounts_dep.h_tabel
          for each row execute function accounts_dep.refuse();
    )"));
    selectEntry(entryId(1, 1, 8));
    m_prompts.answer(true);
    QTest::mouseClick(m_form->Button3, Qt::LeftButton);
    QCOMPARE(m_prompts.said().size(), 2);
    QCOMPARE(m_prompts.said().last().kind, ScriptedPrompts::Said::Error);
    QVERIFY2(m_prompts.said().last().text.contains(QStringLiteral("табель закрыт")), qPrintable(m_prompts.said().last().text));
    QCOMPARE(m_db->scalar(QStringLiteral("select count(*) from accounts_dep.smena")).toInt(), 6);
    QCOMPARE(cell(1, 1, 15).toInt(), 13);
    // The window goes on: the grid still shows the entry.
    QCOMPARE(m_dm->Smena1.recordCount(), 4);
    m_db->exec(QStringLiteral("drop trigger refuse on accounts_dep.h_tabel"));
}

void TestJournal::concurrentDeletionsKeepTheInvariant()
{
    // Client A deletes one entry of worker 1 and holds its transaction open while client B
    // deletes another; B's recount must see A's deletion.
    const int first = entryId(1, 1, 8), second = entryId(1, 1, 2);
    const QDate day = kFriday;
    {
        Transaction tx(m_db->db());
        execSql(m_db->db(), QStringLiteral("delete from accounts_dep.smena where id=:id"), {{QStringLiteral("id"), first}});
        timesheet_cell::syncJournal(m_db->db(), tx, 1, 1, day);

        const QString dbName = m_db->name();
        QThread* other = QThread::create([dbName, second, day] {
            ConnectionSettings s;
            s.host = QStringLiteral("127.0.0.1");
            s.port = TestDatabase::port();
            s.database = dbName;
            {
                QSqlDatabase db = openConnection(s, QStringLiteral("client_b"));
                Transaction txb(db);
                execSql(db, QStringLiteral("delete from accounts_dep.smena where id=:id"), {{QStringLiteral("id"), second}});
                timesheet_cell::syncJournal(db, txb, 1, 1, day);
                txb.commit();
            }
            QSqlDatabase::removeDatabase(QStringLiteral("client_b"));
        });
        other->start();
        QVERIFY(!other->wait(500));   // B waits for A's lock on the worker's month
        tx.commit();
        QVERIFY(other->wait(10000));
        delete other;
    }
    QCOMPARE(cell(1, 1, 15).toInt(), 3);
}

void TestJournal::cellUpkeepInsertsAMissingRow()
{
    m_db->exec(QStringLiteral("insert into accounts_dep.smena (data, smena, w_id, i_id, o_id, cena, kol_vo, brak, time, ok) "
                              "values ('2024-04-02', 4, 2, 10001, 1, 1, 1, 0, 4, 'no')"));
    Transaction tx(m_db->db());
    timesheet_cell::syncJournal(m_db->db(), tx, 2, 4, QDate(2024, 4, 2));
    tx.commit();
    QCOMPARE(m_db->scalar(QStringLiteral("select d2 from accounts_dep.h_tabel where w_id=2 and smena=4 and month=4 "
                                         "and year=2024 and i_type=0 and i_night=0")).toInt(), 4);
    QCOMPARE(m_db->scalar(QStringLiteral("select count(*) from accounts_dep.h_tabel where w_id=2 and month=4")).toInt(), 1);
}

QTEST_MAIN(TestJournal)
#include "tst_journal.moc"
