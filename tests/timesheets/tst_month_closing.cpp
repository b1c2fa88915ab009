// Checking a month's timesheet against its entries, closing the month and opening it again, as
// the user does it in the windows; and what a closed month greys out.
#include "data/data_module.h"
#include "journal/journal_window.h"
#include "rules/month_close.h"
#include "rules/month_rebuild.h"
#include "tests/support/gui_steps.h"
#include "tests/support/modal.h"
#include "tests/support/recording_opener.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/sheet_fixtures.h"
#include "tests/support/test_database.h"
#include "timesheets/month_closing.h"
#include "timesheets/piecework_timesheet.h"
#include "ui/data_grid.h"
#include "ui/job_progress.h"

#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>

class TestMonthClosing : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void theCheckListsEveryDifference();
    void closingAndReopening();
    void aClosedMonthGreysOutItsRebuild();
    void theJournalSaysItsMonthIsClosed();
    void everyFieldIsKnownByItsLabel();

private:
    void rebuildMarch()
    {
        month_rebuild::shiftRows(m_db->db(), 3, 2024);
        month_rebuild::hourRows(m_db->db(), 3, 2024);
    }
    /// The grid's text in a row and column.
    QString cell(int row, int column) const
    {
        return m_check->DBGrid1->model()->index(row, column).data().toString();
    }

    TestDatabase* m_db = nullptr;
    ScriptedPrompts m_prompts;
    TDataModule6* m_dm = nullptr;
    TForm32* m_check = nullptr;
    TForm31* m_close = nullptr;
};

void TestMonthClosing::initTestCase()
{
    m_db = new TestDatabase(QStringLiteral("month_closing"));
    m_dm = new TDataModule6(m_db->db(), m_prompts);
    m_check = new TForm32(*m_dm);
    m_close = new TForm31(*m_dm, *m_check);
}

void TestMonthClosing::cleanupTestCase()
{
    delete m_close;
    delete m_check;
    delete m_dm;
    delete m_db;
}

void TestMonthClosing::init()
{
    m_db->exec(QStringLiteral("truncate accounts_dep.closed_month, accounts_dep.change_log"));
    m_db->exec(QString::fromUtf8(sheet_fixtures::kTimesheetMonth));
    m_prompts.clear();
}

void TestMonthClosing::theCheckListsEveryDifference()
{
    rebuildMarch();
    m_db->exec(QStringLiteral("update accounts_dep.h_tabel set d4=7 where month=3 and year=2024 and w_id=1 and smena=1"));
    whenModal([this](QWidget*) {
        QVERIFY(m_check->waitForCheck());
        QCOMPARE(m_check->DBGrid1->model()->rowCount(), 1);
        QCOMPARE((QStringList{cell(0, 0), cell(0, 1), cell(0, 2), cell(0, 3), cell(0, 4), cell(0, 5)}),
                 (QStringList{"Иванов И.И.", "1", "смена 1", "4", "7", "8"}));
        QVERIFY(m_check->ResultLabel->text().startsWith(QStringLiteral("Расхождений: 1.")));
        // Put right behind the window's back, and checked again.
        rebuildMarch();
        QTest::mouseClick(m_check->Button1, Qt::LeftButton);
        QVERIFY(m_check->waitForCheck());
        QCOMPARE(m_check->DBGrid1->model()->rowCount(), 0);
        QCOMPARE(m_check->ResultLabel->text(),
                 QStringLiteral("Расхождений нет: табель за 03.2024 сходится с журналом и часами."));
        m_check->reject();
    });
    m_check->openFor(QDate(2024, 3, 20));
    QVERIFY(m_prompts.nothingUnexpected());
}

void TestMonthClosing::closingAndReopening()
{
    // The fixture's March differs from its entries: closing is refused, and the differences offered.
    whenModal([this](QWidget*) {
        QCOMPARE(m_close->period.monthNumber(), 3);   // the month before the working date
        QCOMPARE(m_close->StateLabel->text(), QStringLiteral("Месяц 03.2024 открыт: его записи можно изменять."));
        m_prompts.answer(true);
        m_prompts.answer(false);
        QTest::mouseClick(m_close->Button1, Qt::LeftButton);
        QVERIFY(m_close->waitForWork());
        QCOMPARE(m_prompts.said().size(), 2);
        QVERIFY(m_prompts.said().at(1).text.startsWith(QStringLiteral("Месяц 03.2024 не закрыт: его табель расходится")));
        QVERIFY(!month_close::isClosed(m_db->db(), 3, 2024));

        rebuildMarch();
        m_prompts.clear();
        m_prompts.answer(true);
        QTest::mouseClick(m_close->Button1, Qt::LeftButton);
        QVERIFY(m_close->waitForWork());
        QCOMPARE(m_prompts.texts().constLast(), QStringLiteral("Месяц 03.2024 закрыт."));
        QVERIFY(month_close::isClosed(m_db->db(), 3, 2024));
        QVERIFY(m_close->StateLabel->text().startsWith(QStringLiteral("Месяц 03.2024 закрыт ")));
        QVERIFY(!m_close->Button1->isEnabled() && m_close->Button2->isEnabled());
        QCOMPARE(m_close->ClosedList->rowCount(), 1);
        QCOMPARE(m_close->ClosedList->item(0, 0)->text(), QStringLiteral("03.2024"));

        // Opening again wants a reason, and the history keeps it.
        m_prompts.clear();
        QTest::mouseClick(m_close->Button2, Qt::LeftButton);
        QCOMPARE(m_prompts.texts(), QStringList{QStringLiteral("Укажите причину, по которой месяц 03.2024 открывается.")});
        QVERIFY(month_close::isClosed(m_db->db(), 3, 2024));
        m_close->ReasonEdit->setText(QStringLiteral("забыли премию"));
        QTest::mouseClick(m_close->Button2, Qt::LeftButton);
        QCOMPARE(m_prompts.texts().constLast(), QStringLiteral("Месяц 03.2024 открыт."));
        QVERIFY(!month_close::isClosed(m_db->db(), 3, 2024));
        QVERIFY(m_close->Button1->isEnabled() && !m_close->Button2->isEnabled());
        QCOMPARE(m_close->ClosedList->rowCount(), 0);
        // The window says who opened it again, and why, as the history keeps it.
        const QString state = m_close->StateLabel->text();
        QVERIFY2(state.startsWith(QStringLiteral("Месяц 03.2024 открыт: его записи можно изменять. Открыт снова ")) &&
                     state.endsWith(QStringLiteral("(%1): забыли премию.").arg(TestDatabase::adminSettings({}).user)),
                 qPrintable(state));
        m_close->reject();
    });
    m_close->openFor(QDate(2024, 4, 10));
    QCOMPARE(m_db->scalar(QStringLiteral("select string_agg(act::text || ':' || coalesce(reason, ''), ' ' order by id) "
                                         "from accounts_dep.change_log where tbl = 'm'"))
                 .toString(),
             QStringLiteral("c: r:забыли премию"));
    QVERIFY(m_prompts.nothingUnexpected());
}

void TestMonthClosing::aClosedMonthGreysOutItsRebuild()
{
    m_db->exec(QStringLiteral("insert into accounts_dep.closed_month (year, month) values (2024, 3)"));
    RecordingOpener opener;
    TForm27 form27(*m_dm, opener);
    form27.today = [] { return QDate(2024, 3, 20); };
    whenModal([&](QWidget*) {
        QVERIFY(form27.work()->wait());
        QVERIFY(!form27.Button3->isEnabled());
        QVERIFY(form27.Button3->toolTip().startsWith(QStringLiteral("Месяц закрыт")));
        form27.ComboBox1->setCurrentIndex(3);   // April is open
        QVERIFY(form27.work()->wait());
        QVERIFY(form27.Button3->isEnabled());
        QCOMPARE(form27.Button3->toolTip(), QString());
        form27.ComboBox1->setCurrentIndex(2);
        QVERIFY(form27.work()->wait());
        QVERIFY(!form27.Button3->isEnabled());
        form27.reject();
    });
    form27.openMode(9);
    QVERIFY(m_prompts.nothingUnexpected());
}

void TestMonthClosing::theJournalSaysItsMonthIsClosed()
{
    // Adding, changing and deleting entries are greyed out on a date of a closed month, and given
    // back on an open one; the status bar says which month is closed.
    m_db->exec(QStringLiteral("insert into accounts_dep.closed_month (year, month) values (2024, 3)"));
    TForm1 journal(*m_dm);
    journal.today = [] { return QDate(2024, 3, 20); };
    for (QPushButton* b : {journal.Button1, journal.Button2, journal.Button3}) b->setEnabled(true);   // as wired
    journal.show();
    QVERIFY(QTest::qWaitForWindowExposed(&journal));
    auto* label = journal.findChild<QLabel*>(QStringLiteral("MonthLabel"));
    QVERIFY(label && label->isVisible());
    QCOMPARE(label->text(), QStringLiteral("Месяц 03.2024 закрыт"));
    for (QPushButton* b : {journal.Button1, journal.Button2, journal.Button3}) QVERIFY(!b->isEnabled());
    journal.DateT->setDate(QDate(2024, 4, 1));
    journal.DateTChange();
    QVERIFY(!label->isVisible());
    for (QPushButton* b : {journal.Button1, journal.Button2, journal.Button3}) QVERIFY(b->isEnabled());
    // Coming back from another window brings the working date, and its month's state, back.
    journal.FormActivate();
    QVERIFY(label->isVisible() && !journal.Button1->isEnabled());
    journal.hide();
}

void TestMonthClosing::everyFieldIsKnownByItsLabel()
{
    QCOMPARE(fieldLabelled(m_close, QStringLiteral("Месяц:")), static_cast<QWidget*>(m_close->period.month));
    QCOMPARE(fieldLabelled(m_close, QStringLiteral("Год:")), static_cast<QWidget*>(m_close->period.year));
    QCOMPARE(fieldLabelled(m_close, QStringLiteral("Причина:")), static_cast<QWidget*>(m_close->ReasonEdit));
    QCOMPARE(fieldLabelled(m_close, QStringLiteral("Закрытые месяцы:")), static_cast<QWidget*>(m_close->ClosedList));
    QCOMPARE(fieldLabelled(m_check, QStringLiteral("Месяц:")), static_cast<QWidget*>(m_check->period.month));
    QCOMPARE(fieldLabelled(m_check, QStringLiteral("Год:")), static_cast<QWidget*>(m_check->period.year));
}

QTEST_MAIN(TestMonthClosing)
#include "tst_month_closing.moc"
