#include "data/data_module.h"
#include "data/formats.h"
#include "journal/utility_works_dialog.h"
#include "journal/utility_works_register.h"
#include "tests/support/entries_fixture.h"
#include "tests/support/gui_steps.h"
#include "tests/support/modal.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/test_database.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using entries_fixture::kFriday;

namespace {

/// The worker, kind and night flag of a timesheet row, and its day.
struct Cell {
    int worker, kind, night, day;
};

} // namespace

/// The register of hour-paid work and its entry dialog.
class TestUtilityWorks : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void emptyListDeleteAsksNothing();
    void picksFillTheDialog();
    void savedEntryIsPricedAndCounted_data();
    void savedEntryIsPricedAndCounted();
    void incompleteInputIsRefused_data();
    void incompleteInputIsRefused();
    void nightHoursGetARowOfTheirOwn();
    void deletionLeavesTheOtherHours_data();
    void deletionLeavesTheOtherHours();
    void dayOffBoxFollowsThePickedDate();
    void changeRepricesAndMovesTheHours();
    void changeByAnotherClientIsNotOverwritten();
    void totalsTheSheetsCannotHoldWriteNothing_data();
    void totalsTheSheetsCannotHoldWriteNothing();
    void recalculationMatchesTheOriginalStatement_data();
    void recalculationMatchesTheOriginalStatement();
    void enterOnAPickOpensIt_data();
    void enterOnAPickOpensIt();
    void pickMovesToTheNextEmptyField_data();
    void pickMovesToTheNextEmptyField();
    void incompleteInputFocusesTheMissingPick_data();
    void incompleteInputFocusesTheMissingPick();
    void addWithEnterAndDigitsAlone();

private:
    /// Adds an entry through the dialog, as a user would.
    void add(int worker, int kind, int hours, bool night);
    QVariant cell(const Cell& c) const;
    void insertEntry(int worker, int kind, int hours, int night, double price = 150, const QDate& day = kFriday);
    /// Picks that open no list: each records its list and, when handBack, hands over worker 2
    /// or group 1 at once.
    void pickWithoutLists(bool handBack);

    TestDatabase* m_db = nullptr;
    ScriptedPrompts m_prompts;
    TDataModule6* m_dm = nullptr;
    TForm25* m_form25 = nullptr;
    TForm24* m_form24 = nullptr;
    QStringList m_opened;   // the lists the picks opened, in order
};

void TestUtilityWorks::initTestCase()
{
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    m_db = new TestDatabase(QStringLiteral("utility"));
    m_dm = new TDataModule6(m_db->db(), m_prompts);
    entries_fixture::utilityWorksBooks(*m_db);
    m_form25 = new TForm25(*m_dm);
    m_form24 = new TForm24(*m_dm, *m_form25);
    m_form25->Form24 = m_form24;
}

void TestUtilityWorks::cleanupTestCase()
{
    delete m_form24;
    delete m_form25;
    delete m_dm;
    delete m_db;
}

void TestUtilityWorks::init()
{
    m_db->exec(QStringLiteral("delete from accounts_dep.fatigue; delete from accounts_dep.h_tabel; delete from accounts_dep.smena;"
                              "update accounts_dep.norm set price = 150 where o_id = 1; update accounts_dep.norm set price = 157 where o_id = 2"));
    m_prompts.clear();
    m_opened.clear();
    m_form25->DTPcker1->setDate(kFriday);
    m_form25->CBox1->setChecked(false);
    m_form25->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form25));
}

void TestUtilityWorks::cleanup()
{
    m_form25->hide();
    m_form24->pickWorker = nullptr;
    m_form24->pickGroup = nullptr;
    QVERIFY2(m_prompts.nothingUnexpected(), qPrintable(m_prompts.unseenErrors().join(QStringLiteral("; "))));
    QVERIFY(noWindowsLeftOpen());
}

QVariant TestUtilityWorks::cell(const Cell& c) const
{
    return entries_fixture::hoursCell(*m_db, c.worker, c.kind, c.night, c.day);
}

void TestUtilityWorks::insertEntry(int worker, int kind, int hours, int night, double price, const QDate& day)
{
    entries_fixture::insertHourEntry(*m_db, worker, kind, hours, night, QString::number(price, 'f', 4), day);
}

void TestUtilityWorks::add(int worker, int kind, int hours, bool night)
{
    whenModal([=, this](QWidget*) {
        // What the two pickers hand over.
        m_form24->sel_id_p = worker;
        m_form24->Edit1->setText(worker == 1 ? QStringLiteral("Иванов И.И.") : QStringLiteral("Петров П.П."));
        m_form24->sel_id_nom = 1;
        m_form24->Edit2->setText(QStringLiteral("Двери"));
        m_form24->cb_type_work->setCurrentIndex(m_form24->cb_type_work->findData(kind));
        QTest::keyClick(m_form24->Edit6, Qt::Key_Backspace);
        QTest::keyClicks(m_form24->Edit6, QString::number(hours));
        m_form24->CBox1->setChecked(night);
        QTest::mouseClick(m_form24->Button1, Qt::LeftButton);
        if (m_form24->isVisible()) m_form24->reject();
    });
    QTest::mouseClick(m_form25->Button5, Qt::LeftButton);
}

void TestUtilityWorks::emptyListDeleteAsksNothing()
{
    QVERIFY(m_form25->fatigue.isEmpty());
    QTest::mouseClick(m_form25->Button7, Qt::LeftButton);
    QVERIFY(m_prompts.said().isEmpty());
}

void TestUtilityWorks::picksFillTheDialog()
{
    // The lists hand their pick to the dialog through its target interfaces.
    m_form24->pickWorker = [](WorkerPickTarget& t) {
        t.pickedWorkerId() = 2;
        t.pickedWorkerName()->setText(QStringLiteral("Петров П.П."));
    };
    m_form24->pickGroup = [](GroupPickTarget& t) {
        t.pickedGroupId() = 1;
        t.pickedGroupName()->setText(QStringLiteral("Двери"));
    };
    whenModal([this](QWidget*) {
        QTest::mouseClick(m_form24->Button3, Qt::LeftButton);
        QTest::mouseClick(m_form24->Button4, Qt::LeftButton);
        m_form24->Edit6->setText(QStringLiteral("2"));
        QTest::mouseClick(m_form24->Button1, Qt::LeftButton);
    });
    QTest::mouseClick(m_form25->Button5, Qt::LeftButton);
    m_form24->pickWorker = nullptr;
    m_form24->pickGroup = nullptr;
    QCOMPARE(m_form25->fatigue.recordCount(), 1);
    QCOMPARE(m_form25->fatigue.asString(QStringLiteral("fio")), QStringLiteral("Петров П.П."));
    QCOMPARE(m_form25->fatigue.asString(QStringLiteral("s_caption")), QStringLiteral("Двери"));
    QCOMPARE(cell({2, 7777, 0, 15}).toInt(), 2);
}

void TestUtilityWorks::savedEntryIsPricedAndCounted_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("dayOff");
    QTest::addColumn<bool>("night");
    QTest::addColumn<double>("norm");
    QTest::addColumn<QString>("price");
    QTest::addColumn<QString>("sum");   // of 3 hours, from the price before the column rounds it
    QTest::newRow("utility works") << 7777 << false << false << 150.0 << "150.0000" << "450";
    QTest::newRow("day off and night") << 7777 << true << true << 150.0 << "360.0000" << "1080";
    QTest::newRow("night") << 7778 << false << true << 157.0 << "188.4000" << "565,2";
    QTest::newRow("day off") << 7778 << true << false << 157.0 << "314.0000" << "942";
    // Exactly 0.00135 an hour: the column's rounding takes the half up, not a binary 0.0013499….
    QTest::newRow("a half at the fifth decimal") << 7777 << false << true << 0.001125 << "0.0014" << "0,00405";
}

void TestUtilityWorks::savedEntryIsPricedAndCounted()
{
    QFETCH(int, kind);
    QFETCH(bool, dayOff);
    QFETCH(bool, night);
    QFETCH(double, norm);
    QFETCH(QString, price);
    m_db->exec(QStringLiteral("update accounts_dep.norm set price = %1 where o_id = %2")
                   .arg(QString::number(norm, 'g', QLocale::FloatingPointShortest)).arg(kind == 7777 ? 1 : 2));
    m_form25->CBox1->setChecked(dayOff);
    QString shownSum;
    whenModal([&](QWidget*) {
        m_form24->sel_id_p = 1;
        m_form24->sel_id_nom = 1;
        QCOMPARE(m_form24->cb_type_work->currentData().toInt(), 7777);   // a new entry starts on utility works
        m_form24->cb_type_work->setCurrentIndex(m_form24->cb_type_work->findData(kind));
        QCOMPARE(m_form24->DBEdit1->text(), formats::general(norm));
        m_form24->Edit6->setText(QStringLiteral("3"));
        m_form24->CBox1->setChecked(night);
        shownSum = m_form24->DBEdit2->text();
        QTest::mouseClick(m_form24->Button1, Qt::LeftButton);
    });
    QTest::mouseClick(m_form25->Button5, Qt::LeftButton);
    QCOMPARE(m_db->scalar(QStringLiteral("select price::text from accounts_dep.fatigue")).toString(), price);
    QCOMPARE(m_db->scalar(QStringLiteral("select i_holiday from accounts_dep.fatigue")).toInt(), dayOff ? 1 : 0);
    QCOMPARE(m_db->scalar(QStringLiteral("select i_night from accounts_dep.fatigue")).toInt(), night ? 1 : 0);
    QCOMPARE(m_db->scalar(QStringLiteral("select d_date from accounts_dep.fatigue")).toDate(), kFriday);
    QTEST(shownSum, "sum");
    QCOMPARE(cell({1, kind, night ? 1 : 0, 15}).toInt(), 3);
    QCOMPARE(m_form25->fatigue.recordCount(), 1);
}

void TestUtilityWorks::incompleteInputIsRefused_data()
{
    QTest::addColumn<int>("worker");
    QTest::addColumn<int>("group");
    QTest::addColumn<QString>("hours");
    QTest::addColumn<QString>("message");
    QTest::newRow("no worker") << 0 << 1 << "3" << "Все поля должны быть заполнены!";
    QTest::newRow("no hours") << 1 << 1 << "0" << "Нужно завести количество!";
    QTest::newRow("empty hours") << 1 << 1 << "" << "Нужно завести количество!";
    // Text put in by other means than typing passes no key filter.
    QTest::newRow("negative hours") << 1 << 1 << "-7" << "В поле «ч.» должно быть целое число не меньше 0.";
    QTest::newRow("fraction of hours") << 1 << 1 << "1,5" << "В поле «ч.» должно быть целое число не меньше 0.";
    QTest::newRow("more hours than the field takes") << 1 << 1 << "1000" << "Слишком большое значение в поле «ч.»: не больше 999.";
    // Picked, then deleted by another client before the save.
    QTest::newRow("worker deleted meanwhile") << 99 << 1 << "3"
        << "Работник удалён из справочника другим пользователем. Запись не сохранена: выберите работника заново.";
    QTest::newRow("group deleted meanwhile") << 1 << 99 << "3"
        << "Номенклатурная группа удалена другим пользователем. Запись не сохранена: выберите группу заново.";
}

void TestUtilityWorks::incompleteInputIsRefused()
{
    QFETCH(int, worker);
    QFETCH(int, group);
    QFETCH(QString, hours);
    QFETCH(QString, message);
    bool stayedOpen = false;
    whenModal([&](QWidget*) {
        m_form24->sel_id_p = worker;
        m_form24->sel_id_nom = group;
        m_form24->Edit6->setText(hours);
        QTest::mouseClick(m_form24->Button1, Qt::LeftButton);
        stayedOpen = m_form24->isVisible();
        m_form24->reject();
    });
    QTest::mouseClick(m_form25->Button5, Qt::LeftButton);
    QVERIFY(stayedOpen);
    QCOMPARE(m_prompts.texts(), QStringList{message});
    QCOMPARE(m_db->scalar(QStringLiteral("select count(*) from accounts_dep.fatigue")).toInt(), 0);
}

void TestUtilityWorks::nightHoursGetARowOfTheirOwn()
{
    add(1, 7777, 4, false);
    add(1, 7777, 2, true);
    add(1, 7777, 1, false);
    QCOMPARE(cell({1, 7777, 0, 15}).toInt(), 5);
    QCOMPARE(cell({1, 7777, 1, 15}).toInt(), 2);
    QCOMPARE(m_db->scalar(QStringLiteral("select count(*) from accounts_dep.h_tabel")).toInt(), 2);
    QCOMPARE(m_form25->fatigue.recordCount(), 3);
}

void TestUtilityWorks::deletionLeavesTheOtherHours_data()
{
    QTest::addColumn<int>("deletedNight");
    QTest::addColumn<int>("dayHours");
    QTest::addColumn<QVariant>("nightHours");
    QTest::newRow("one of two day entries") << 0 << 2 << QVariant(5);
    QTest::newRow("the night entry") << 1 << 6 << QVariant();
}

void TestUtilityWorks::deletionLeavesTheOtherHours()
{
    QFETCH(int, deletedNight);
    QFETCH(int, dayHours);
    QFETCH(QVariant, nightHours);
    add(1, 7778, 4, false);
    add(1, 7778, 2, false);
    add(1, 7778, 5, true);
    QVERIFY(m_form25->fatigue.locate(QStringLiteral("cnt"), deletedNight ? 5 : 4));
    m_prompts.answer(true);
    QTest::mouseClick(m_form25->Button7, Qt::LeftButton);
    QCOMPARE(m_prompts.said().size(), 1);
    QCOMPARE(m_prompts.said().first().text, QStringLiteral("Удалить позицию из списка?"));
    QCOMPARE(m_prompts.said().first().title, QStringLiteral("Удаление"));
    QCOMPARE(cell({1, 7778, 0, 15}).toInt(), dayHours);
    QCOMPARE(cell({1, 7778, 1, 15}).isNull(), nightHours.isNull());
    if (!nightHours.isNull()) QCOMPARE(cell({1, 7778, 1, 15}).toInt(), nightHours.toInt());
    QCOMPARE(m_form25->fatigue.recordCount(), 2);

    // Answered No: nothing goes.
    m_prompts.answer(false);
    QTest::mouseClick(m_form25->Button7, Qt::LeftButton);
    QCOMPARE(m_form25->fatigue.recordCount(), 2);
    m_prompts.clear();
}

void TestUtilityWorks::dayOffBoxFollowsThePickedDate()
{
    m_form25->DTPcker1->setDate(QDate(2024, 3, 16));   // Saturday
    QVERIFY(m_form25->CBox1->isChecked());
    QVERIFY(m_form25->CBox1->font().bold());
    m_form25->DTPcker1->setDate(QDate(2024, 3, 17));   // Sunday
    QVERIFY(m_form25->CBox1->isChecked());
    m_form25->DTPcker1->setDate(QDate(2024, 3, 18));   // Monday
    QVERIFY(!m_form25->CBox1->isChecked());
    m_form25->CBox1->setChecked(true);                 // by hand, then another weekday
    m_form25->DTPcker1->setDate(QDate(2024, 3, 19));
    QVERIFY(!m_form25->CBox1->isChecked());
    // The list follows every change of the date.
    insertEntry(1, 7777, 3, 0, 150, QDate(2024, 3, 20));
    m_form25->DTPcker1->setDate(QDate(2024, 3, 20));
    QCOMPARE(m_form25->fatigue.recordCount(), 1);

    // Opened from the journal on a Saturday: the box is left as it was.
    m_form25->hide();
    m_form25->CBox1->setChecked(false);
    whenModal([this](QWidget*) { m_form25->reject(); });
    m_form25->openFor(QDate(2024, 3, 16));
    QVERIFY(!m_form25->CBox1->isChecked());
    QCOMPARE(m_form25->DTPcker1->date(), QDate(2024, 3, 16));
    QCOMPARE(m_form25->smena_no, 1);
}

void TestUtilityWorks::changeRepricesAndMovesTheHours()
{
    add(1, 7778, 4, true);
    // The month's recalculation gave it another price; the norm has changed since.
    m_db->exec(QStringLiteral("update accounts_dep.fatigue set price = 999; update accounts_dep.norm set price = 160 where o_id = 2"));
    m_form25->reloadKeepingPlace();
    bool nightLocked = false;
    whenModal([&](QWidget*) {
        QCOMPARE(m_form24->Edit1->text(), QStringLiteral("Иванов И.И."));
        QCOMPARE(m_form24->Edit6->text(), QStringLiteral("4"));
        QCOMPARE(m_form24->cb_type_work->currentData().toInt(), 7778);
        nightLocked = m_form24->CBox1->isChecked() && !m_form24->CBox1->isEnabled();
        m_form24->sel_id_p = 2;   // picked another worker
        m_form24->Edit1->setText(QStringLiteral("Петров П.П."));
        QTest::mouseClick(m_form24->Button1, Qt::LeftButton);
    });
    QTest::mouseClick(m_form25->Button6, Qt::LeftButton);
    QVERIFY(nightLocked);
    QCOMPARE(m_db->scalar(QStringLiteral("select price::text from accounts_dep.fatigue")).toString(), QStringLiteral("192.0000"));
    QCOMPARE(m_db->scalar(QStringLiteral("select id_p from accounts_dep.fatigue")).toInt(), 2);
    QVERIFY(cell({1, 7778, 1, 15}).isNull());   // the cell the entry left
    QCOMPARE(cell({2, 7778, 1, 15}).toInt(), 4);
    QCOMPARE(m_form25->fatigue.recNo(), 1);
}

void TestUtilityWorks::changeByAnotherClientIsNotOverwritten()
{
    add(1, 7777, 4, false);
    whenModal([&](QWidget*) {
        // Another client changes the entry while this dialog is open.
        m_db->exec(QStringLiteral("update accounts_dep.fatigue set cnt = 6"));
        m_form24->Edit6->setText(QStringLiteral("5"));
        QTest::mouseClick(m_form24->Button1, Qt::LeftButton);
    });
    QTest::mouseClick(m_form25->Button6, Qt::LeftButton);
    QCOMPARE(m_prompts.texts(), QStringList{QStringLiteral("Запись изменена или удалена другим пользователем. Список обновлён.")});
    QCOMPARE(m_db->scalar(QStringLiteral("select cnt from accounts_dep.fatigue")).toInt(), 6);
    QCOMPARE(m_form25->fatigue.asInt(QStringLiteral("cnt")), 6);
}

void TestUtilityWorks::totalsTheSheetsCannotHoldWriteNothing_data()
{
    QTest::addColumn<int>("hoursBefore");
    QTest::addColumn<double>("priceBefore");
    QTest::addColumn<QString>("message");
    QTest::newRow("a day's hours past the cell") << 32000 << 150.0
        << "У работника за этот день набралось бы больше 32767 ч. Запись не сохранена: проверьте часы.";
    QTest::newRow("a month's money past the sheets") << 1 << 9999990.0
        << "Сумма работника за месяц превысила бы 10 000 000 р. Запись не сохранена: проверьте часы.";
}

void TestUtilityWorks::totalsTheSheetsCannotHoldWriteNothing()
{
    // A save whose day or month the timesheet cell and the sheets cannot hold writes neither the
    // entry nor the cell, and says which.
    QFETCH(int, hoursBefore);
    QFETCH(double, priceBefore);
    QFETCH(QString, message);
    insertEntry(1, 7777, hoursBefore, 0, priceBefore);
    add(1, 7777, 999, false);
    QCOMPARE(m_prompts.texts(), QStringList{message});
    QCOMPARE(m_db->scalar(QStringLiteral("select count(*) from accounts_dep.fatigue")).toInt(), 1);
    QCOMPARE(m_db->scalar(QStringLiteral("select count(*) from accounts_dep.h_tabel")).toInt(), 0);
}

void TestUtilityWorks::recalculationMatchesTheOriginalStatement_data()
{
    QTest::addColumn<QDate>("day");
    QTest::newRow("March") << kFriday;
    QTest::newRow("December, to the first of January") << QDate(2023, 12, 15);
}

void TestUtilityWorks::recalculationMatchesTheOriginalStatement()
{
    QFETCH(QDate, day);
    const QDate first(day.year(), day.month(), 1);
    // Worker 1's journal of the month (and entries just outside it); worker 2 has no journal hours.
    m_db->exec(QStringLiteral(
        "insert into accounts_dep.smena (data, smena, w_id, i_id, o_id, cena, kol_vo, brak, time, ok) values "
        "('%1', 1, 1, 10001, 3, 12.5, 10, 0, 8, 'ok'), ('%2', 2, 1, 10001, 3, 3.25, 7, 1, 3, 'no'), "
        "('%3', 1, 1, 10001, 3, 99, 10, 0, 1, 'ok'), ('%4', 1, 1, 10001, 3, 99, 10, 0, 1, 'ok')")
                   .arg(first.toString(Qt::ISODate), first.addMonths(1).addDays(-1).toString(Qt::ISODate),
                        first.addDays(-1).toString(Qt::ISODate), first.addMonths(1).toString(Qt::ISODate)));
    m_db->exec(QStringLiteral(
        "insert into accounts_dep.fatigue (id_nom, id_o, id_p, d_date, i_mnth, i_year, cnt, price, i_holiday, i_night) values "
        "(1, 7778, 1, '%1', %2, %3, 2, 1, 0, 0), (1, 7778, 1, '%1', %2, %3, 2, 1, 1, 0), (1, 7778, 1, '%1', %2, %3, 2, 1, 0, 1),"
        "(1, 7778, 1, '%1', %2, %3, 2, 1, 1, 1), (1, 7778, 2, '%1', %2, %3, 2, 1, 0, 0), (1, 7777, 1, '%1', %2, %3, 2, 1, 0, 0)")
                   .arg(day.toString(Qt::ISODate)).arg(day.month()).arg(day.year()));
    m_form25->DTPcker1->setDate(day);
    QTest::mouseClick(m_form25->Button1, Qt::LeftButton);
    const QString prices = QStringLiteral(
        "select string_agg(price::text, ' ' order by id_p, i_holiday, i_night, id_o) from accounts_dep.fatigue");
    const QString ours = m_db->scalar(prices).toString();
    // (10 × 12.5 + 6 × 3.25) / 11 = 13.136…; twice on a day off, 1.2 times at night, 2.2 times both.
    QCOMPARE(ours, QStringLiteral("1.0000 13.1400 15.7600 26.2700 28.9000 0.0000"));

    // The statement as it was first written, joining the products, on the same data.
    m_db->exec(QStringLiteral("update accounts_dep.fatigue set price = 1"));
    entries_fixture::runOriginalRecalculation(*m_db, first);
    QCOMPARE(m_db->scalar(prices).toString(), ours);
}

void TestUtilityWorks::pickWithoutLists(bool handBack)
{
    m_form24->pickWorker = [this, handBack](WorkerPickTarget& t) {
        m_opened << QStringLiteral("workers");
        if (!handBack) return;
        t.pickedWorkerId() = 2;
        t.pickedWorkerName()->setText(QStringLiteral("Петров П.П."));
    };
    m_form24->pickGroup = [this, handBack](GroupPickTarget& t) {
        m_opened << QStringLiteral("groups");
        if (!handBack) return;
        t.pickedGroupId() = 1;
        t.pickedGroupName()->setText(QStringLiteral("Двери"));
    };
}

void TestUtilityWorks::enterOnAPickOpensIt_data()
{
    QTest::addColumn<QString>("pick");
    QTest::addColumn<QString>("list");
    QTest::newRow("worker") << "Button3" << "workers";
    QTest::newRow("group") << "Button4" << "groups";
}

void TestUtilityWorks::enterOnAPickOpensIt()
{
    QFETCH(QString, pick);
    QFETCH(QString, list);
    // The lists are left without a pick: a save would find the entry incomplete.
    pickWithoutLists(false);
    bool stayedOpen = false;
    whenModal([&](QWidget*) {
        enterOn(m_form24, pick);
        stayedOpen = m_form24->isVisible();
        m_form24->reject();
    });
    QTest::mouseClick(m_form25->Button5, Qt::LeftButton);
    QCOMPARE(m_opened, QStringList{list});
    QVERIFY(stayedOpen);
    QVERIFY(m_prompts.said().isEmpty());
    QCOMPARE(m_db->scalar(QStringLiteral("select count(*) from accounts_dep.fatigue")).toInt(), 0);
}

void TestUtilityWorks::pickMovesToTheNextEmptyField_data()
{
    QTest::addColumn<QString>("hours");        // typed before the picks
    QTest::addColumn<QStringList>("picks");    // the "..." pressed with Enter, in order
    QTest::addColumn<bool>("handBack");        // false: the lists are left without a pick
    QTest::addColumn<QString>("focus");
    const QStringList worker{"Button3"}, group{"Button4"}, both{"Button3", "Button4"};
    QTest::newRow("worker: the group") << "" << worker << true << "Button4";
    QTest::newRow("both: the hours, 0 until typed") << "" << both << true << "Edit6";
    QTest::newRow("group first: the hours") << "" << group << true << "Edit6";
    QTest::newRow("group first, hours typed: back to the worker") << "3" << group << true << "Button3";
    QTest::newRow("hours typed: the save") << "3" << both << true << "Button1";
    QTest::newRow("given up: its own pick") << "" << worker << false << "Button3";
}

void TestUtilityWorks::pickMovesToTheNextEmptyField()
{
    QFETCH(QString, hours);
    QFETCH(QStringList, picks);
    QFETCH(bool, handBack);
    pickWithoutLists(handBack);
    QString focused;
    whenModal([&](QWidget*) {
        if (!hours.isEmpty()) {
            QWidget* field = fieldLabelled(m_form24, QStringLiteral("ч."));
            field->setFocus();
            QTest::keyClick(field, Qt::Key_Backspace);
            QTest::keyClicks(field, hours);
        }
        for (const QString& pick : std::as_const(picks)) enterOn(m_form24, pick);
        focused = QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString();
        m_form24->reject();
    });
    QTest::mouseClick(m_form25->Button5, Qt::LeftButton);
    QTEST(focused, "focus");
}

void TestUtilityWorks::incompleteInputFocusesTheMissingPick_data()
{
    QTest::addColumn<int>("worker");
    QTest::addColumn<int>("group");
    QTest::addColumn<QString>("focus");
    QTest::newRow("no worker") << 0 << 1 << "Button3";
    QTest::newRow("no group") << 1 << 0 << "Button4";
    QTest::newRow("neither: the first") << 0 << 0 << "Button3";
}

void TestUtilityWorks::incompleteInputFocusesTheMissingPick()
{
    QFETCH(int, worker);
    QFETCH(int, group);
    QString focused;
    whenModal([&](QWidget*) {
        m_form24->sel_id_p = worker;
        m_form24->sel_id_nom = group;
        QWidget* hours = fieldLabelled(m_form24, QStringLiteral("ч."));
        hours->setFocus();
        QTest::keyClicks(hours, QStringLiteral("3"));
        QTest::keyClick(hours, Qt::Key_Return);
        focused = QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString();
        m_form24->reject();
    });
    QTest::mouseClick(m_form25->Button5, Qt::LeftButton);
    QCOMPARE(m_prompts.texts(), QStringList{QStringLiteral("Все поля должны быть заполнены!")});
    QTEST(focused, "focus");
}

void TestUtilityWorks::addWithEnterAndDigitsAlone()
{
    // From the worker pick: Enter picks the worker, Enter the group, the hours' 0 is typed over,
    // Enter saves.
    pickWithoutLists(true);
    whenModal([&](QWidget*) {
        m_form24->Button3->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("3"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        if (m_form24->isVisible()) m_form24->reject();
    });
    QTest::mouseClick(m_form25->Button5, Qt::LeftButton);
    QCOMPARE(m_opened, QStringList({"workers", "groups"}));
    QVERIFY2(m_prompts.said().isEmpty(), qPrintable(m_prompts.texts().join(QLatin1Char('|'))));
    QCOMPARE(cell({2, 7777, 0, 15}).toInt(), 3);
}

QTEST_MAIN(TestUtilityWorks)
#include "tst_utility_works.moc"
