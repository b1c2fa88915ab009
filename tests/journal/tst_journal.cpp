#include "data/access.h"
#include "data/connection.h"
#include "data/data_module.h"
#include "data/transaction.h"
#include "journal/journal_window.h"
#include "data/timesheet_cell.h"
#include "tests/journal/journal_fixture.h"
#include "tests/support/entries_fixture.h"
#include "tests/support/modal.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/test_database.h"
#include "ui/keyboard_style.h"
#include "ui/data_grid.h"
#include "ui/window_memory.h"

#include <QApplication>
#include <QClipboard>
#include <QItemSelection>
#include <QLineEdit>
#include <QMenuBar>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QStatusBar>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QDateEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QSqlError>
#include <QSqlQuery>
#include <QMenu>
#include <QTest>
#include <QHeaderView>
#include <QLabel>
#include <QThread>
#include <QWheelEvent>

using entries_fixture::kFriday;
using entries_fixture::kMonday;

namespace {
const QDate kSaturday(2024, 3, 16);
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
    void approvalMarkKeepsItsColourWhenSelected_data();
    void approvalMarkKeepsItsColourWhenSelected();
    void defaultWidthsShowTitlesAndTimesWhole();
    void everyDateChangeReloads_data();
    void everyDateChangeReloads();
    void aTypedDateIsTaken_data();
    void aTypedDateIsTaken();
    void everythingIsReachableByKeys();
    void deletionFollowsTheRowAsDeleted_data();
    void deletionFollowsTheRowAsDeleted();
    void deletingAnEntryAlreadyGone();
    void answeringNoChangesNothing();
    void failedCellUpdateLeavesBothTablesAsTheyWere();
    void concurrentDeletionsKeepTheInvariant();
    void cellUpkeepInsertsAMissingRow_data();
    void cellUpkeepInsertsAMissingRow();
    void endingTheRunAsksFirst_data();
    void endingTheRunAsksFirst();
    void approvalByKeyAndMenu();
    void approvingAShiftsWork();
    void gridKeysSortCopyAndSearch();
    void theLastShiftComesBackNextRun();

private:
    int entryId(int worker, int shift, int hours) const;
    QVariant cell(int worker, int shift, int day) const;
    using CellMap = QMap<QString, int>;
    static QString cellKey(int worker, int shift, int day) { return QStringLiteral("%1/%2/%3").arg(worker).arg(shift).arg(day); }
    /// Every filled day cell of March's journal rows, by worker/shift/day.
    CellMap cells() const;
    void selectEntry(int id);

    JournalTestData* m_data = nullptr;
    TestDatabase* m_db = nullptr;
    ScriptedPrompts m_prompts;
    TDataModule6* m_dm = nullptr;
    TForm1* m_form = nullptr;
};

void TestJournal::initTestCase()
{
    m_data = new JournalTestData(QStringLiteral("journal"), m_prompts);
    m_db = &m_data->db;
    m_dm = &m_data->dm;
}

void TestJournal::init()
{
    // Worker 1 has three entries in shift 1 on Friday (8 + 2 + 3 hours) and one on Monday;
    // worker 2 one entry in shift 1 and one in shift 2.
    entries_fixture::journalBooks(*m_db);
    m_db->exec(QStringLiteral(R"(
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
    return entries_fixture::journalCell(*m_db, worker, shift, day);
}

TestJournal::CellMap TestJournal::cells() const
{
    CellMap out;
    QSqlQuery q(m_db->db());
    if (!q.exec(QStringLiteral("select * from accounts_dep.h_tabel where month=3 and year=2024 and i_type=0")))
        qFatal("%s", qPrintable(q.lastError().text()));
    while (q.next())
        for (int day = 1; day <= 31; ++day) {
            const QVariant hours = q.value(QStringLiteral("d%1").arg(day));
            if (!hours.isNull())
                out.insert(cellKey(q.value(QStringLiteral("w_id")).toInt(), q.value(QStringLiteral("smena")).toInt(), day),
                           hours.toInt());
        }
    return out;
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
    QTest::newRow("weekday activation unticks an earlier weekend's box") << kFriday << true << false << kSaturday << true;
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
    // Taking an approval back asks first.
    QFETCH(QString, after);
    if (after == QLatin1String("no")) m_prompts.answer(true);
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
    CellMap untouched = cells();
    untouched.remove(cellKey(worker, shift, 15));
    m_form->findChild<QRadioButton*>(QStringLiteral("RadioButton%1").arg(shift))->click();
    selectEntry(entryId(worker, shift, hours));
    m_prompts.answer(true);
    QTest::mouseClick(m_form->Button3, Qt::LeftButton);
    QCOMPARE(m_prompts.said().size(), 1);
    // The question's own words, then which entry: worker, product, quantity.
    QCOMPARE(m_prompts.said().first().text,
             QStringLiteral("Удалить позицию из списка?\n%1, ДМ-1, 10 шт.").arg(worker == 1 ? "Иванов И.И." : "Петров П.П."));
    QCOMPARE(m_prompts.said().first().title, QStringLiteral("Удаление"));
    QCOMPARE(cell(worker, shift, 15).isNull(), cellAfter.isNull());
    if (!cellAfter.isNull()) QCOMPARE(cell(worker, shift, 15).toInt(), cellAfter.toInt());
    // Other days and other workers keep their hours.
    QCOMPARE(cell(1, 1, 18).toInt(), 7);
    CellMap others = cells();
    others.remove(cellKey(worker, shift, 15));
    QCOMPARE(others, untouched);
    QCOMPARE(m_db->scalar(QStringLiteral("select count(*) from accounts_dep.smena")).toInt(), 5);
}

void TestJournal::approvalMarkKeepsItsColourWhenSelected_data()
{
    QTest::addColumn<int>("hours");
    QTest::addColumn<QColor>("colour");
    QTest::newRow("approved: green") << 8 << QColor(0, 128, 0);
    QTest::newRow("not approved: red") << 3 << QColor(255, 0, 0);
}

void TestJournal::approvalMarkKeepsItsColourWhenSelected()
{
    QFETCH(int, hours);
    QFETCH(QColor, colour);
    selectEntry(entryId(1, 1, hours));
    DataGrid* grid = m_form->DBGrid2;
    const QModelIndex mark = grid->model()->index(m_dm->Smena1.recNo() - 1, grid->gridModel()->columnOf(QStringLiteral("ok")));
    QVERIFY(grid->selectionModel()->isRowSelected(mark.row(), {}));
    grid->scrollTo(mark);   // on a small screen the journal is narrower than its columns
    const QImage shot = grid->viewport()->grab().toImage();
    const QRect cellRect = grid->visualRect(mark);
    int inColour = 0;
    for (int y = cellRect.top(); y <= cellRect.bottom(); ++y)
        for (int x = cellRect.left(); x <= cellRect.right(); ++x) {
            const QColor px = shot.pixelColor(x * shot.width() / grid->viewport()->width(),
                                              y * shot.height() / grid->viewport()->height());
            if (qAbs(px.red() - colour.red()) < 40 && qAbs(px.green() - colour.green()) < 40 &&
                qAbs(px.blue() - colour.blue()) < 40)
                ++inColour;
        }
    QVERIFY2(inColour >= 5, qPrintable(QStringLiteral("%1 pixels of the mark's colour").arg(inColour)));
}

void TestJournal::defaultWidthsShowTitlesAndTimesWhole()
{
    m_db->exec(QStringLiteral("update accounts_dep.smena set vvod='2024-03-15 23:58:59'"));
    m_form->Button8Click();
    DataGrid* grid = m_form->DBGrid2;
    for (const char* field : {"marka", "vvod", "fio", "kol_vo", "summa"}) {
        const int c = grid->gridModel()->columnOf(QLatin1String(field));
        QVERIFY2(grid->columnWidth(c) >= grid->horizontalHeader()->sectionSizeHint(c), field);
    }
    // An entry time with seconds fits too.
    const int vvod = grid->gridModel()->columnOf(QStringLiteral("vvod"));
    QVERIFY(grid->columnWidth(vvod) >= static_cast<QAbstractItemView*>(grid)->sizeHintForColumn(vvod));
}

void TestJournal::everyDateChangeReloads_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("arrow keys") << "keys";
    QTest::newRow("mouse wheel") << "wheel";
    QTest::newRow("typing") << "typing";
    QTest::newRow("calendar by keyboard") << "calendar";
}

void TestJournal::everyDateChangeReloads()
{
    // From Friday to Monday without Enter and without closing the calendar by a click.
    QFETCH(QString, how);
    auto* date = qobject_cast<QDateEdit*>(fieldLabelled(m_form, QStringLiteral("Дата")));
    QVERIFY(date);
    date->setFocus();
    date->setCurrentSection(QDateTimeEdit::DaySection);
    if (how == QLatin1String("keys")) {
        for (int i = 0; i < 3; ++i) QTest::keyClick(date, Qt::Key_Up);
    } else if (how == QLatin1String("wheel")) {
        for (int i = 0; i < 3; ++i) {
            QWheelEvent wheel(QPointF(5, 5), date->mapToGlobal(QPointF(5, 5)), {}, QPoint(0, 120), Qt::NoButton,
                              Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(date, &wheel);
        }
    } else if (how == QLatin1String("typing")) {
        date->setSelectedSection(QDateTimeEdit::DaySection);
        QTest::keyClicks(date, QStringLiteral("18"));
    } else {
        QTest::mouseClick(date, Qt::LeftButton, {}, QPoint(date->width() - 6, date->height() / 2));   // its arrow
        QCalendarWidget* calendar = date->calendarWidget();
        QVERIFY(calendar->isVisible());
        QWidget* days = calendar->focusWidget() ? calendar->focusWidget() : calendar;
        for (int i = 0; i < 3; ++i) QTest::keyClick(days, Qt::Key_Right);
        QTest::keyClick(days, Qt::Key_Return);
        QVERIFY(!calendar->isVisible());
    }
    QCOMPARE(m_form->date(), kMonday);
    QCOMPARE(m_dm->Smena1.recordCount(), 1);

    // "Удалить" now deletes Monday's entry and keeps Monday's cell in step, Friday's untouched.
    m_prompts.answer(true);
    m_form->Button3Click();
    QVERIFY(cell(1, 1, 18).isNull());
    QCOMPARE(cell(1, 1, 15).toInt(), 13);
}

void TestJournal::aTypedDateIsTaken_data()
{
    // From Friday 15.03.2024, the day part selected: what is typed, then the key that ends it.
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("key");
    QTest::addColumn<QDate>("shown");
    QTest::newRow("05 and Enter") << "05" << int(Qt::Key_Return) << QDate(2024, 3, 5);
    QTest::newRow("5 and Enter") << "5" << int(Qt::Key_Return) << QDate(2024, 3, 5);
    QTest::newRow("04 and Enter on the keypad") << "04" << int(Qt::Key_Enter) << QDate(2024, 3, 4);
    QTest::newRow("18 and Tab") << "18" << int(Qt::Key_Tab) << kMonday;
    QTest::newRow("the whole date and Enter") << "all:01.02.2024" << int(Qt::Key_Return) << QDate(2024, 2, 1);
    QTest::newRow("05 with the cursor after the day") << "cursor2:05" << int(Qt::Key_Return) << QDate(2024, 3, 5);
    QTest::newRow("05 with the cursor in the day") << "cursor1:05" << int(Qt::Key_Return) << QDate(2024, 3, 5);
    QTest::newRow("02 with the cursor in the month") << "cursor4:02" << int(Qt::Key_Tab) << QDate(2024, 2, 15);
    QTest::newRow("PageUp: a month on") << "" << int(Qt::Key_PageUp) << QDate(2024, 4, 15);
    QTest::newRow("PageDown: a month back") << "" << int(Qt::Key_PageDown) << QDate(2024, 2, 15);
}

void TestJournal::aTypedDateIsTaken()
{
    QFETCH(QString, typed);
    QFETCH(int, key);
    QFETCH(QDate, shown);
    m_form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_form));
    auto* date = qobject_cast<QDateEdit*>(fieldLabelled(m_form, QStringLiteral("Дата")));
    QVERIFY(date);
    date->setFocus();
    if (typed.startsWith(QLatin1String("all:"))) {
        date->selectAll();
        typed = typed.mid(4);
    } else if (typed.startsWith(QLatin1String("cursor"))) {
        // Clicked into the field: the cursor stands there, nothing selected.
        auto* line = date->findChild<QLineEdit*>();
        line->deselect();
        line->setCursorPosition(typed.mid(6, 1).toInt());
        typed = typed.mid(8);
    } else {
        date->setCurrentSection(QDateTimeEdit::DaySection);
        date->setSelectedSection(QDateTimeEdit::DaySection);
    }
    QTest::keyClicks(date, typed);
    QTest::keyClick(date, Qt::Key(key));
    QCOMPARE(m_form->date(), shown);
    QCOMPARE(date->text(), shown.toString(QStringLiteral("dd.MM.yyyy")));
    // The shifts show the day typed.
    for (int shift = 1; shift <= 4; ++shift) QCOMPARE(m_dm->smenaQuery(shift).param(QStringLiteral("data")).toDate(), shown);
}

void TestJournal::everythingIsReachableByKeys()
{
    QApplication::setStyle(new KeyboardStyle);
    m_form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_form));
    const auto openMenu = [] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        return menu ? menu->menuAction() : nullptr;
    };
    const auto closeMenus = [this] {
        while (QWidget* popup = QApplication::activePopupWidget()) QTest::keyClick(popup, Qt::Key_Escape);
        QTest::keyClick(m_form->MainMenu1, Qt::Key_Escape);
        m_form->DBGrid2->setFocus();
    };
    m_form->DBGrid2->setFocus();
    // F10 opens the first menu; Alt with a menu's underlined letter opens that menu.
    QTest::keyClick(m_form->DBGrid2, Qt::Key_F10);
    QTRY_COMPARE(openMenu(), m_form->N2);
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Right);   // on to the next menu
    QTRY_COMPARE(openMenu(), m_form->N11);
    closeMenus();
    QTest::sendKeyEvent(QTest::Click, m_form->DBGrid2, Qt::Key(0x0422), QStringLiteral("т"), Qt::AltModifier);   // "Табель"
    QTRY_COMPARE(openMenu(), m_form->N11);
    closeMenus();
    QTest::sendKeyEvent(QTest::Click, m_form->DBGrid2, Qt::Key(0x041E), QStringLiteral("о"), Qt::AltModifier);   // "Отчеты"
    QTRY_COMPARE(openMenu(), m_form->N7);
    closeMenus();
    // Alt alone highlights the menu bar.
    QTest::keyPress(m_form->DBGrid2, Qt::Key_Alt, Qt::AltModifier);
    QTest::keyRelease(m_form->DBGrid2, Qt::Key_Alt);
    QTRY_VERIFY(m_form->MainMenu1->activeAction() != nullptr);
    closeMenus();

    // Tab leaves the grid for the next field, Shift+Tab comes back.
    QVERIFY(m_form->DBGrid2->hasFocus());
    QTest::keyClick(m_form->DBGrid2, Qt::Key_Tab);
    QWidget* next = QApplication::focusWidget();
    QVERIFY(next && next != m_form->DBGrid2);
    QTest::keyClick(next, Qt::Key_Backtab, Qt::ShiftModifier);
    QCOMPARE(QApplication::focusWidget(), m_form->DBGrid2);
    // Ctrl+F goes to "Поиск:".
    QTest::keyClick(m_form->DBGrid2, Qt::Key_F, Qt::ControlModifier);
    QCOMPARE(QApplication::focusWidget(), fieldLabelled(m_form, QStringLiteral("Поиск:")));
    // The buttons say their keys.
    QCOMPARE(m_form->Button1->toolTip(), QStringLiteral("Добавить (Ins)"));
    QCOMPARE(m_form->Button2->toolTip(), QStringLiteral("Изменить (Enter)"));
    QCOMPARE(m_form->Button3->toolTip(), QStringLiteral("Удалить (Del)"));
    QCOMPARE(m_form->Button8->toolTip(), QStringLiteral("Обновить (F5)"));
}

void TestJournal::deletionFollowsTheRowAsDeleted_data()
{
    // Another client moves worker 1's 8-hour entry after the grid was read, keeping the timesheet
    // in step; the deletion must then empty the cell the entry moved to.
    QTest::addColumn<QString>("move");
    QTest::addColumn<QString>("cellsAfter");   // worker/shift/day=hours, "-" for an empty cell
    QTest::newRow("to another worker")
        << "update accounts_dep.smena set w_id=2 where id=:id; "
           "update accounts_dep.h_tabel set d15=5 where w_id=1 and smena=1; "
           "update accounts_dep.h_tabel set d15=13 where w_id=2 and smena=1"
        << "1/1/15=5 2/1/15=5 1/1/18=7";
    QTest::newRow("to another date")
        << "update accounts_dep.smena set data='2024-03-18' where id=:id; "
           "update accounts_dep.h_tabel set d15=5, d18=15 where w_id=1 and smena=1"
        << "1/1/15=5 1/1/18=7 2/1/15=5";
    QTest::newRow("to another shift")
        << "update accounts_dep.smena set smena=2 where id=:id; "
           "update accounts_dep.h_tabel set d15=5 where w_id=1 and smena=1; "
           "insert into accounts_dep.h_tabel (w_id, month, year, smena, d15) values (1, 3, 2024, 2, 8)"
        << "1/1/15=5 1/2/15=- 2/1/15=5";
}

void TestJournal::deletionFollowsTheRowAsDeleted()
{
    QFETCH(QString, move);
    QFETCH(QString, cellsAfter);
    const int id = entryId(1, 1, 8);
    selectEntry(id);
    m_db->exec(QString(move).replace(QStringLiteral(":id"), QString::number(id)));
    m_prompts.answer(true);
    QTest::mouseClick(m_form->Button3, Qt::LeftButton);
    QCOMPARE(m_prompts.said().size(), 1);
    QCOMPARE(m_db->scalar(QStringLiteral("select count(*) from accounts_dep.smena where id=%1").arg(id)).toInt(), 0);
    for (const QString& expected : cellsAfter.split(QLatin1Char(' '))) {
        const QStringList key = expected.section(QLatin1Char('='), 0, 0).split(QLatin1Char('/'));
        const QString hours = expected.section(QLatin1Char('='), 1);
        const QVariant actual = cell(key.at(0).toInt(), key.at(1).toInt(), key.at(2).toInt());
        QVERIFY2(hours == QLatin1String("-") ? actual.isNull() : actual.toString() == hours,
                 qPrintable(expected + QStringLiteral(", found ") + actual.toString()));
    }
}

void TestJournal::deletingAnEntryAlreadyGone()
{
    const int id = entryId(1, 1, 8);
    selectEntry(id);
    m_db->exec(QStringLiteral("delete from accounts_dep.smena where id=%1").arg(id));
    m_prompts.answer(true);
    QTest::mouseClick(m_form->Button3, Qt::LeftButton);
    QCOMPARE(m_prompts.said().size(), 2);
    QCOMPARE(m_prompts.said().last().kind, ScriptedPrompts::Said::Error);
    QVERIFY(m_prompts.said().last().text.contains(QStringLiteral("уже удалена")));
    QCOMPARE(m_dm->Smena1.recordCount(), 3);   // the grid no longer shows it
    QCOMPARE(cell(1, 1, 15).toInt(), 13);      // nothing else was written
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
    const auto reopen = closeTheTimesheet(*m_db);
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

        QThread* other = startAnotherClient(*m_db, [second, day](const QSqlDatabase& db) {
            Transaction txb(db);
            execSql(db, QStringLiteral("delete from accounts_dep.smena where id=:id"), {{QStringLiteral("id"), second}});
            timesheet_cell::syncJournal(db, txb, 1, 1, day);
            txb.commit();
        });
        QVERIFY(!other->wait(500));   // B waits for A's lock on the worker's month
        tx.commit();
        QVERIFY(other->wait(10000));
        delete other;
    }
    QCOMPARE(cell(1, 1, 15).toInt(), 3);
}

void TestJournal::cellUpkeepInsertsAMissingRow_data()
{
    QTest::addColumn<QVariant>("hours");      // of the day's one entry; null: the day has no entry
    QTest::addColumn<QVariant>("cell");       // the day's cell afterwards; null: no row at all
    QTest::newRow("hours: a row with them") << QVariant(4) << QVariant(4);
    QTest::newRow("an entry of 0 hours: a row with 0") << QVariant(0) << QVariant(0);
    QTest::newRow("no entry left (a deletion): no empty row") << QVariant() << QVariant();
}

void TestJournal::cellUpkeepInsertsAMissingRow()
{
    QFETCH(QVariant, hours);
    QFETCH(QVariant, cell);
    if (!hours.isNull())
        m_db->exec(QStringLiteral("insert into accounts_dep.smena (data, smena, w_id, i_id, o_id, cena, kol_vo, brak, time, ok) "
                                  "values ('2024-04-02', 4, 2, 10001, 1, 1, 1, 0, %1, 'no')").arg(hours.toInt()));
    Transaction tx(m_db->db());
    timesheet_cell::syncJournal(m_db->db(), tx, 2, 4, QDate(2024, 4, 2));
    tx.commit();
    QCOMPARE(m_db->scalar(QStringLiteral("select count(*) from accounts_dep.h_tabel where w_id=2 and month=4")).toInt(),
             cell.isNull() ? 0 : 1);
    if (cell.isNull()) return;
    const QVariant d2 = m_db->scalar(QStringLiteral("select d2 from accounts_dep.h_tabel where w_id=2 and smena=4 and month=4 "
                                                    "and year=2024 and i_type=0 and i_night=0"));
    QVERIFY(!d2.isNull());
    QCOMPARE(d2.toInt(), cell.toInt());
}

void TestJournal::endingTheRunAsksFirst_data()
{
    QTest::addColumn<QString>("way");
    QTest::addColumn<bool>("yes");
    for (const char* way : {"Esc", "Выход", "menu", "close box"}) {
        QTest::addRow("%s, no", way) << QString::fromUtf8(way) << false;
        QTest::addRow("%s, yes", way) << QString::fromUtf8(way) << true;
    }
}

void TestJournal::endingTheRunAsksFirst()
{
    QFETCH(QString, way);
    QFETCH(bool, yes);
    m_prompts.answer(yes);
    if (way == QLatin1String("Esc")) QTest::keyClick(m_form->DBGrid2, Qt::Key_Escape);
    else if (way == QLatin1String("Выход")) QTest::mouseClick(m_form->Button4, Qt::LeftButton);
    else if (way == QLatin1String("menu")) m_form->N5->trigger();
    else m_form->close();
    QCOMPARE(m_prompts.texts(), QStringList{QStringLiteral("Завершить работу?")});
    QCOMPARE(m_prompts.said().first().kind, ScriptedPrompts::Said::Question);
    QCOMPARE(m_form->isVisible(), !yes);
}

void TestJournal::approvalByKeyAndMenu()
{
    const int id = entryId(1, 1, 3);   // marked "no"
    const auto mark = [&] { return m_db->scalar(QStringLiteral("select ok from accounts_dep.smena where id=%1").arg(id)).toString(); };
    selectEntry(id);
    m_form->AccessCode = QStringLiteral("3851");
    m_form->DBGrid2->setFocus();
    const int ok = m_form->DBGrid2->gridModel()->columnOf(QStringLiteral("ok"));
    // Space elsewhere in the row does nothing; on the mark it switches it, as a double-click does.
    m_form->DBGrid2->setCurrentIndex(m_form->DBGrid2->model()->index(m_dm->Smena1.recNo() - 1, 0));
    QTest::keyClick(m_form->DBGrid2, Qt::Key_Space);
    QCOMPARE(mark(), QStringLiteral("no"));
    m_form->DBGrid2->setCurrentIndex(m_form->DBGrid2->model()->index(m_dm->Smena1.recNo() - 1, ok));
    QTest::keyClick(m_form->DBGrid2, Qt::Key_Space);
    QCOMPARE(mark(), QStringLiteral("ok"));
    QCOMPARE(m_form->StatusBar->currentMessage(), QStringLiteral("Запись %1 (Иванов И.И., ДМ-1): утверждена").arg(id));
    QCOMPARE(m_dm->Smena1.asInt(QStringLiteral("id")), id);
    // The menu offers what is not yet so, and its items never switch back and forth.
    QVERIFY(!m_form->ApproveAction->isEnabled() && m_form->WithdrawAction->isEnabled());
    m_form->ApproveAction->trigger();
    QCOMPARE(mark(), QStringLiteral("ok"));
    m_prompts.answer(true);
    m_form->WithdrawAction->trigger();
    QCOMPARE(mark(), QStringLiteral("no"));
    QVERIFY(m_form->StatusBar->currentMessage().endsWith(QStringLiteral("отметка снята")));
    QVERIFY(m_form->ApproveAction->isEnabled() && !m_form->WithdrawAction->isEnabled());
    // Foremen may not approve, by any way.
    m_form->AccessCode = access_rights::kForemenCode;
    m_dm->Smena1.refresh();
    QVERIFY(!m_form->ApproveAction->isEnabled() && !m_form->WithdrawAction->isEnabled());
    m_form->ApproveAction->trigger();
    QTest::keyClick(m_form->DBGrid2, Qt::Key_Space);
    QCOMPARE(mark(), QStringLiteral("no"));
}

void TestJournal::approvingAShiftsWork()
{
    // Friday's shift 1: worker 1's entries marked "ok", "да" and "no", worker 2's "xx"; 100 each.
    m_form->AccessCode = QStringLiteral("3851");
    m_dm->Smena1.refresh();
    DataGrid* grid = m_form->DBGrid2;
    const int ok = grid->gridModel()->columnOf(QStringLiteral("ok"));
    const auto marks = [&] {
        return m_db->scalar(QStringLiteral("select string_agg(ok, ',' order by id) from accounts_dep.smena "
                                           "where data='2024-03-15' and smena=1")).toString();
    };
    const auto rowOf = [&](int id) {
        for (int row = 0; row < m_dm->Smena1.recordCount(); ++row)
            if (m_dm->Smena1.valueAt(row, QStringLiteral("id")).toInt() == id) return row;
        return -1;
    };
    const int first = entryId(1, 1, 3), second = entryId(2, 1, 5);   // the two not approved
    QCOMPARE(marks(), QStringLiteral("ok,да,no,xx"));

    // Space, Down, Space… approves row after row: the cell stays in the mark's column.
    grid->setFocus();
    grid->setCurrentIndex(grid->model()->index(rowOf(first), ok));
    QTest::keyClick(grid, Qt::Key_Space);
    QCOMPARE(grid->currentIndex().column(), ok);
    QCOMPARE(m_dm->Smena1.valueAt(grid->currentIndex().row(), QStringLiteral("id")).toInt(), first);
    grid->setCurrentIndex(grid->model()->index(rowOf(second), ok));
    QTest::keyClick(grid, Qt::Key_Space);
    QCOMPARE(grid->currentIndex().column(), ok);
    QCOMPARE(marks(), QStringLiteral("ok,да,ok,ok"));

    // "Снять отметку" on three selected rows asks once, with their count and sum; "Нет" keeps them.
    grid->selectAll();
    QVERIFY(m_form->WithdrawAction->isEnabled() && !m_form->ApproveAction->isEnabled());
    m_prompts.answer(false);
    m_form->WithdrawAction->trigger();
    QCOMPARE(m_prompts.texts().last(), QStringLiteral("Снять отметку с записей (4) на сумму 400?"));
    QCOMPARE(marks(), QStringLiteral("ok,да,ok,ok"));
    m_prompts.answer(true);
    m_form->WithdrawAction->trigger();
    QCOMPARE(marks(), QStringLiteral("no,no,no,no"));
    QCOMPARE(grid->selectionModel()->selectedRows().size(), 4);   // the selection stays
    QCOMPARE(m_form->StatusBar->currentMessage(), QStringLiteral("Отметка снята с записей: 4"));

    // Another client approves one of the selected rows meanwhile and writes another unchanged:
    // "Утвердить" writes the other three in one go and names the first, left as the other client
    // left it.
    grid->clearSelection();
    grid->selectionModel()->select(QItemSelection(grid->model()->index(rowOf(first), 0), grid->model()->index(rowOf(second), 0)),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    for (const int id : {entryId(1, 1, 8), entryId(1, 1, 2)})
        grid->selectionModel()->select(grid->model()->index(rowOf(id), 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    m_db->exec(QStringLiteral("update accounts_dep.smena set ok='да' where id=%1").arg(first));
    m_db->exec(QStringLiteral("update accounts_dep.smena set kol_vo=kol_vo where id=%1").arg(second));   // no change: still written
    m_prompts.answer(true);
    m_form->ApproveAction->trigger();
    QCOMPARE(m_prompts.texts().at(m_prompts.texts().size() - 2), QStringLiteral("Утвердить записи (4) на сумму 400?"));
    QVERIFY2(m_prompts.texts().last().contains(QStringLiteral("%1 (Иванов И.И.").arg(first)), qPrintable(m_prompts.texts().last()));
    QVERIFY(!m_prompts.texts().last().contains(QStringLiteral("%1 (").arg(second)));
    QCOMPARE(marks(), QStringLiteral("ok,ok,да,ok"));

    // "Утвердить все записи смены": every entry shown that is not yet approved, after one question.
    m_db->exec(QStringLiteral("update accounts_dep.smena set ok='no' where data='2024-03-15' and smena=1"));
    m_dm->Smena1.refresh();
    m_prompts.answer(true);
    m_form->ApproveAllAction->trigger();
    QCOMPARE(m_prompts.texts().last(), QStringLiteral("Утвердить все записи смены (4) на сумму 400?"));
    QCOMPARE(marks(), QStringLiteral("ok,ok,ok,ok"));

    // The foremen approve by none of them.
    m_db->exec(QStringLiteral("update accounts_dep.smena set ok='no' where data='2024-03-15' and smena=1"));
    m_form->AccessCode = access_rights::kForemenCode;
    m_dm->Smena1.refresh();
    grid->selectAll();
    QVERIFY(!m_form->ApproveAllAction->isEnabled() && !m_form->ApproveAction->isEnabled());
    m_form->ApproveAllAction->trigger();
    m_form->ApproveAction->trigger();
    QCOMPARE(marks(), QStringLiteral("no,no,no,no"));
}

void TestJournal::gridKeysSortCopyAndSearch()
{
    DataGrid* grid = m_form->DBGrid2;
    grid->setFocus();
    // The keys click the window's buttons: Insert "Добавить", Enter "Изменить", F5 "Обновить",
    // Delete "Удалить" with its question.
    for (const auto& [key, button] : {std::pair{Qt::Key_Insert, m_form->Button1}, std::pair{Qt::Key_Return, m_form->Button2},
                                      std::pair{Qt::Key_F5, m_form->Button8}, std::pair{Qt::Key_Delete, m_form->Button3}}) {
        button->setEnabled(true);
        QSignalSpy clicked(button, &QPushButton::clicked);
        if (key == Qt::Key_Delete) m_prompts.answer(false);
        QTest::keyClick(grid, key);
        QCOMPARE(clicked.count(), 1);
    }
    QCOMPARE(m_prompts.texts().size(), 1);
    QVERIFY(m_prompts.texts().first().startsWith(QStringLiteral("Удалить позицию из списка?\n")));
    m_prompts.clear();
    // A title sorts, a second click the other way round.
    const int hours = grid->gridModel()->columnOf(QStringLiteral("time"));
    const auto shownHours = [&] {
        QStringList out;
        for (int r = 0; r < grid->model()->rowCount(); ++r) out << grid->model()->index(r, hours).data().toString();
        return out;
    };
    const QPoint title(grid->horizontalHeader()->sectionViewportPosition(hours) + 5, 5);
    QTest::mouseClick(grid->horizontalHeader()->viewport(), Qt::LeftButton, {}, title);
    QCOMPARE(shownHours(), (QStringList{"2", "3", "5", "8"}));
    QTest::mouseClick(grid->horizontalHeader()->viewport(), Qt::LeftButton, {}, title);
    QCOMPARE(shownHours(), (QStringList{"8", "5", "3", "2"}));
    // The order holds when the date is chosen again.
    m_form->DateTChange();
    QCOMPARE(shownHours(), (QStringList{"8", "5", "3", "2"}));
    // Ctrl+C: the selected rows' shown cells, tab-separated.
    grid->selectAll();
    QTest::keyClick(grid, Qt::Key_C, Qt::ControlModifier);
    const QStringList lines = QApplication::clipboard()->text().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 4);
    QVERIFY2(lines.first().startsWith(QStringLiteral("Иванов И.И.\t ДМ-1 \tСварка\t")), qPrintable(lines.first()));
    // The search box keeps the rows holding its text; the status bar counts and sums them.
    QCOMPARE(m_form->findChild<QStatusBar*>()->findChild<QLabel*>(QStringLiteral("TotalsLabel"))->text(),
             QStringLiteral("Записей: 4, на сумму 400"));
    m_form->SearchBox->setText(QStringLiteral("петров"));
    QCOMPARE(m_dm->Smena1.recordCount(), 1);
    QCOMPARE(m_form->findChild<QLabel*>(QStringLiteral("TotalsLabel"))->text(), QStringLiteral("Записей: 1, на сумму 100"));
    m_form->SearchBox->clear();
    QCOMPARE(m_dm->Smena1.recordCount(), 4);
    // The text goes on applying when another shift is shown, and leaves it when cleared there.
    QTest::mouseClick(m_form->RadioButton2, Qt::LeftButton);
    const int shift2 = m_dm->Smena2.recordCount();
    QVERIFY(shift2 > 0);
    QTest::mouseClick(m_form->RadioButton1, Qt::LeftButton);
    m_form->SearchBox->setText(QStringLiteral("нет такого"));
    QCOMPARE(m_dm->Smena1.recordCount(), 0);
    QTest::mouseClick(m_form->RadioButton2, Qt::LeftButton);
    QCOMPARE(m_dm->Smena2.recordCount(), 0);
    QCOMPARE(m_form->findChild<QLabel*>(QStringLiteral("TotalsLabel"))->text(), QStringLiteral("Записей: 0, на сумму 0"));
    m_form->SearchBox->clear();
    QCOMPARE(m_dm->Smena2.recordCount(), shift2);
    QTest::mouseClick(m_form->RadioButton1, Qt::LeftButton);
    QCOMPARE(m_dm->Smena1.recordCount(), 4);
}

void TestJournal::theLastShiftComesBackNextRun()
{
    QTemporaryDir home;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, home.path());
    auto memory = std::make_unique<WindowMemory>();
    QTest::mouseClick(m_form->RadioButton3, Qt::LeftButton);
    QCOMPARE(m_form->CurrentShift, 3);
    // The next run's journal opens on shift 3.
    delete m_form;
    m_form = new TForm1(*m_dm);
    m_form->today = [] { return kFriday; };
    m_form->show();
    QCOMPARE(m_form->CurrentShift, 3);
    QVERIFY(m_form->RadioButton3->isChecked());
    QCOMPARE(m_form->DBGrid2->gridModel()->dataset(), &m_dm->Smena3);
    memory.reset();
}

QTEST_MAIN(TestJournal)
#include "tst_journal.moc"
