// "Добавить бригаду…": a brigade's entries keyed in at once from the journal, saved together
// through the shift entry's checks, price rule and timesheet upkeep, or not at all.
#include "journal/brigade_dialog.h"
#include "journal/journal_window.h"
#include "tests/journal/journal_fixture.h"
#include "tests/support/entries_fixture.h"
#include "tests/support/modal.h"
#include "ui/data_grid.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QScopeGuard>
#include <QTest>

using entries_fixture::kFriday;

namespace {

const QDate kSaturday(2024, 3, 16);

PickedOperation welding() { return {1, 10001, 0, QStringLiteral("Сварка "), QStringLiteral("10.5")}; }

/// The control that has the focus in the dialog open now.
QWidget* focused()
{
    QWidget* dialog = QApplication::activeModalWidget();
    return dialog ? dialog->focusWidget() : QApplication::focusWidget();
}

/// Each character as a key press on whatever has the focus at that moment (a cell's editor
/// takes the focus at the first digit).
void keys(const QString& text)
{
    for (const QChar c : text) type(focused(), QString(c));
}

void key(int k, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QTest::keyClick(focused(), Qt::Key(k), modifiers);
}

} // namespace

class TestBrigade : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void aBrigadeOfThreeByKeys_data();
    void aBrigadeOfThreeByKeys();
    void oneRowRefusedSavesNone_data();
    void oneRowRefusedSavesNone();
    void pickingByTheListAndTakingBack();
    void theButtonFollowsTheMonth();

private:
    /// The dialog filled with the welding and workers 1, 2, 3 (quantities 10, 20, 30, 8 hours
    /// each), without showing it.
    void fillThree();
    int count(const QString& where = QStringLiteral("true")) const;
    QVariant cell(int worker, int shift, int day) const { return entries_fixture::journalCell(*m_db, worker, shift, day); }

    JournalTestData* m_data = nullptr;
    TestDatabase* m_db = nullptr;
    ScriptedPrompts m_prompts;
    TForm1* m_journal = nullptr;
    TForm33* m_dialog = nullptr;
    int m_picks = 0;
};

void TestBrigade::initTestCase()
{
    m_data = new JournalTestData(QStringLiteral("brigade"), m_prompts);
    m_db = &m_data->db;
}

void TestBrigade::init()
{
    // Workers 1 Иванов, 2 Петров and 3 Сидоров; the welding of ДМ-1 at 10.5; Петров has an
    // entry of the welding in shift 1 on Friday already, of colour 5.
    entries_fixture::journalBooks(*m_db);
    m_db->exec(QStringLiteral(R"(
        insert into cmn_contractor.person (id, s_caption, s_code) values (3, 'Сидоров С.С.', '3');
        insert into accounts_dep.person (id, fio) values (3, 'Сидоров С.С.');
        insert into accounts_dep.smena (data, smena, w_id, i_id, o_id, cena, kol_vo, brak, color, time, ok) values
          ('2024-03-15', 1, 2, 10001, 1, 10.5, 1, 0, 5, 1, 'no');
        insert into accounts_dep.h_tabel (w_id, month, year, smena, d15) values (2, 3, 2024, 1, 1);
    )"));
    m_prompts.clear();
    m_picks = 0;
    m_journal = new TForm1(m_data->dm);
    m_journal->today = [] { return kFriday; };
    m_dialog = new TForm33(m_data->dm, m_journal);
    m_dialog->openOperationPick = [this](OperationPickTarget& target, int) {
        ++m_picks;
        target.takeOperation(welding());
    };
    m_journal->Form33 = m_dialog;
    m_journal->BrigadeButton->setEnabled(true);   // as the client's windows wire it
    m_journal->show();
    QVERIFY(QTest::qWaitForWindowActive(m_journal));
}

void TestBrigade::cleanup()
{
    QVERIFY2(m_prompts.nothingUnexpected(), qPrintable(m_prompts.unseenErrors().join(QStringLiteral("; "))));
    delete m_journal;   // the dialog with it
    m_journal = nullptr;
    m_dialog = nullptr;
    QVERIFY(noWindowsLeftOpen());
}

int TestBrigade::count(const QString& where) const
{
    return m_db->scalar(QStringLiteral("select count(*) from accounts_dep.smena where ") + where).toInt();
}

void TestBrigade::fillThree()
{
    m_dialog->fillForAdd(kFriday, 1, false, kFriday);
    m_dialog->takeOperation(welding());
    for (int id : {1, 2, 3}) {
        QVERIFY(m_dialog->Workers.locate(QStringLiteral("id"), id));
        m_dialog->pickCurrentWorker();
    }
    QTableWidget* grid = m_dialog->BrigadeGrid;
    for (int r = 0; r < 3; ++r) {
        grid->item(r, TForm33::QuantityColumn)->setText(QString::number(10 * (r + 1)));
        grid->item(r, TForm33::HoursColumn)->setText(QStringLiteral("8"));
    }
}

void TestBrigade::aBrigadeOfThreeByKeys_data()
{
    QTest::addColumn<QDate>("day");
    QTest::addColumn<int>("shift");
    QTest::addColumn<double>("price");   // as the single entry's save fixes it for the day and shift
    QTest::newRow("a weekday's first shift") << kFriday << 1 << 10.5;
    QTest::newRow("the third shift: 1.2 times") << kFriday << 3 << 12.6;
    QTest::newRow("overtime on a day off: 2 and 1.5 times") << kSaturday << 4 << 31.5;
}

void TestBrigade::aBrigadeOfThreeByKeys()
{
    QFETCH(QDate, day);
    QFETCH(int, shift);
    QFETCH(double, price);
    m_journal->DateT->setDate(day);
    m_journal->findChild<QRadioButton*>(QStringLiteral("RadioButton%1").arg(shift))->click();
    QCOMPARE(m_journal->CBox1->isChecked(), day == kSaturday);
    m_journal->DBGrid2->setFocus();
    // The keys a foreman presses today for one entry in the shift entry dialog, from the
    // journal's grid: Insert; Enter on the worker's "…", three letters of the name, Enter; Enter
    // on the operation's "…", three letters of the mark, Enter; the quantity's two digits, Tab,
    // the hours' digit, Enter: 16 keys, 160 for a brigade of ten. Here: Alt+Insert; Enter
    // on the operation's "…", three letters and Enter in its list (6 in all); three letters and
    // Enter for each worker (40 for ten); Tab, Tab to the grid (2); the first worker's quantity,
    // Tab, hours, Enter (5), and the others' quantity and Enter only, their hours following the
    // first's (27); Enter on "Запись" (1): 81 keys for a brigade of ten.
    QStringList focusPath;
    whenModal([&](QWidget* modal) {
        const auto close = qScopeGuard([this] { if (m_dialog->isVisible()) m_dialog->reject(); });
        QCOMPARE(modal, m_dialog);
        QTRY_COMPARE(QApplication::activeWindow(), m_dialog);
        QCOMPARE(m_dialog->DayEdit->date(), day);
        QCOMPARE(m_dialog->ShiftBox->currentIndex(), shift - 1);
        QCOMPARE(m_dialog->DayOffBox->isChecked(), day == kSaturday);
        focusPath << focused()->objectName();
        key(Qt::Key_Return);   // the operations list hands the welding back at once here
        focusPath << focused()->objectName();
        for (const QString& name : {QStringLiteral("Ив"), QStringLiteral("Пе"), QStringLiteral("Си")}) {
            keys(name);
            key(Qt::Key_Return);
        }
        key(Qt::Key_Tab);
        key(Qt::Key_Tab);
        focusPath << focused()->objectName();
        keys(QStringLiteral("12"));
        key(Qt::Key_Tab);
        keys(QStringLiteral("8"));
        key(Qt::Key_Return);
        keys(QStringLiteral("7"));
        key(Qt::Key_Tab);
        key(Qt::Key_Tab);
        keys(QStringLiteral("1"));    // one piece of defects
        key(Qt::Key_Return);
        keys(QStringLiteral("5"));
        key(Qt::Key_Tab);
        keys(QStringLiteral("4"));    // his own hours
        key(Qt::Key_Return);
        focusPath << focused()->objectName();
        QCOMPARE(m_dialog->PriceEdit->text(), QLocale().toString(price));
        key(Qt::Key_Return);
    });
    // The button's shortcut clicks it as a click does, a moment later; a text field with the
    // focus (the date, as the journal opens) does not take it for a paste.
    QTest::keyClick(shift == 3 ? static_cast<QWidget*>(m_journal->DateT) : m_journal->DBGrid2, Qt::Key_Insert, Qt::AltModifier);
    QTRY_COMPARE(focusPath.size(), 4);
    QVERIFY2(m_prompts.said().isEmpty(), qPrintable(m_prompts.texts().join(QLatin1Char('|'))));
    QCOMPARE(focusPath, QStringList({"OperationButton", "WorkerSearch", "BrigadeGrid", "Button1"}));
    QCOMPARE(m_picks, 1);

    const QString where = QStringLiteral("data='%1' and smena=%2 and o_id=1 and i_id=10001 and color=0 and ok='no' "
                                         "and vvod='2024-03-15' and cena=%3 and ")
                              .arg(day.toString(Qt::ISODate))
                              .arg(shift)
                              .arg(price);
    QCOMPARE(count(where + QStringLiteral("w_id=1 and kol_vo=12 and time=8 and brak=0")), 1);
    QCOMPARE(count(where + QStringLiteral("w_id=2 and kol_vo=7 and time=8 and brak=1")), 1);
    QCOMPARE(count(where + QStringLiteral("w_id=3 and kol_vo=5 and time=4 and brak=0")), 1);
    QCOMPARE(count(), 4);
    // Each worker's timesheet cell holds his day in that shift: Петров's entry of Friday's first
    // shift adds to the hour he had there.
    const int extra = day == kFriday && shift == 1 ? 1 : 0;
    QCOMPARE(cell(1, shift, day.day()).toInt(), 8);
    QCOMPARE(cell(2, shift, day.day()).toInt(), 8 + extra);
    QCOMPARE(cell(3, shift, day.day()).toInt(), 4);
    // The journal shows the brigade's day and shift, standing on its first worker's entry.
    QCOMPARE(m_journal->DateT->date(), day);
    QCOMPARE(m_journal->CurrentShift, shift);
    QVERIFY(m_journal->findChild<QRadioButton*>(QStringLiteral("RadioButton%1").arg(shift))->isChecked());
    const Dataset& shown = m_data->dm.smenaQuery(shift);
    QCOMPARE(shown.recordCount(), 3 + extra);
    QCOMPARE(shown.asInt(QStringLiteral("w_id")), 1);
    QCOMPARE(shown.asString(QStringLiteral("fio")), QStringLiteral("Иванов И.И."));
}

void TestBrigade::oneRowRefusedSavesNone_data()
{
    QTest::addColumn<QString>("setup");    // SQL run before the save
    QTest::addColumn<int>("row");          // 0-based row changed, and the cell refused
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("text");     // what the cell holds however it got there
    QTest::addColumn<int>("colour");
    QTest::addColumn<QString>("message");
    using B = TForm33;
    const QString petrov = QStringLiteral("Строка 2 (Петров П.П.): ");
    QTest::newRow("a quantity not given") << "" << 1 << int(B::QuantityColumn) << "" << 0
                                          << petrov + "Все поля должны быть заполнены!";
    QTest::newRow("hours past the column") << "" << 1 << int(B::HoursColumn) << "40000" << 0
                                           << petrov + "Слишком большое значение в поле «Время»: не больше 32767.";
    QTest::newRow("negative defects") << "" << 1 << int(B::DefectsColumn) << "-1" << 0
                                      << petrov + "В поле «Брак» должно быть целое число не меньше 0.";
    QTest::newRow("a twin of an entry keyed in before") << "" << 1 << int(B::QuantityColumn) << "20" << 5
                                                        << petrov + "Позиция с такими параметрами уже заведена!";
    QTest::newRow("the day's hours past the timesheet cell")
        << "update accounts_dep.smena set time=32760" << 1 << int(B::HoursColumn) << "8" << 0
        << petrov + "У работника за этот день в этой смене набралось бы больше 32767 ч. Позиция не записана: проверьте поле «Время».";
    QTest::newRow("the month's money past what the sheets hold")
        << "" << 2 << int(B::QuantityColumn) << "1000000" << 0
        << QStringLiteral("Строка 3 (Сидоров С.С.): Сумма работника за месяц превысила бы 10 000 000 р. Позиция не записана: "
                          "проверьте поля «Кол-во» и «Брак».");
    QTest::newRow("a worker deleted meanwhile")
        << "delete from accounts_dep.person where id=3" << 2 << int(B::QuantityColumn) << "30" << 0
        << QStringLiteral("Строка 3 (Сидоров С.С.): Работник удалён из справочника другим пользователем. Позиция не записана: "
                          "выберите работника заново.");
}

void TestBrigade::oneRowRefusedSavesNone()
{
    QFETCH(QString, setup);
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(QString, text);
    QFETCH(int, colour);
    fillThree();
    if (colour) {
        // A painting takes a colour; Петров's entry of the welding is made a painting of it.
        m_db->exec(QStringLiteral("update accounts_dep.smena set o_id=2"));
        m_dialog->takeOperation({2, 10001, 1, QStringLiteral("Покраска"), QStringLiteral("12.34")});
        m_dialog->ColourEdit->setText(QString::number(colour));
    }
    m_dialog->BrigadeGrid->item(row, column)->setText(text);
    if (!setup.isEmpty()) m_db->exec(setup);
    const QVariant before = cell(1, 1, 15);
    whenModal([&](QWidget*) {
        const auto close = qScopeGuard([this] { m_dialog->reject(); });
        m_dialog->Button1->setFocus();
        key(Qt::Key_Return);
        QTEST(m_prompts.texts().value(0), "message");
        // The focus on the row's cell, to be put right.
        QCOMPARE(focused(), m_dialog->BrigadeGrid);
        QCOMPARE(m_dialog->BrigadeGrid->currentRow(), row);
        QCOMPARE(m_dialog->BrigadeGrid->currentColumn(), column);
    });
    m_dialog->exec();
    QCOMPARE(m_prompts.texts().size(), 1);
    m_prompts.clear();
    // Nothing of the brigade: not the rows before the refused one, not their timesheet cells.
    QCOMPARE(count(QStringLiteral("w_id<>2")), 0);
    QCOMPARE(count(), 1);
    QCOMPARE(cell(1, 1, 15), before);
    QVERIFY(cell(3, 1, 15).isNull());
}

void TestBrigade::pickingByTheListAndTakingBack()
{
    whenModal([&](QWidget*) {
        const auto close = qScopeGuard([this] { m_dialog->reject(); });
        QTRY_COMPARE(QApplication::activeWindow(), m_dialog);
        // Every field is known by its label.
        for (const auto& [caption, field] : {std::pair<QString, QWidget*>{"Операция", m_dialog->OperationEdit},
                                             {"Цвет", m_dialog->ColourEdit}, {"Дата", m_dialog->DayEdit},
                                             {"Смена", m_dialog->ShiftBox}, {"Поиск:", m_dialog->WorkerSearch},
                                             {"Рабочие", m_dialog->WorkersGrid}, {"Бригада", m_dialog->BrigadeGrid},
                                             {"Цена база", m_dialog->BasePriceEdit}, {"Цена итог", m_dialog->PriceEdit}})
            QCOMPARE(fieldLabelled(m_dialog, caption), field);
        // "Запись" with nothing picked: the operation first.
        m_dialog->Button1->setFocus();
        key(Qt::Key_Return);
        QCOMPARE(m_prompts.texts(), QStringList{QStringLiteral("Все поля должны быть заполнены!")});
        m_prompts.clear();
        QCOMPARE(focused(), m_dialog->OperationButton);
        key(Qt::Key_Space);
        // In the list: typing finds, Space picks and takes back, Ctrl+Space too, Enter picks.
        key(Qt::Key_Tab);
        QCOMPARE(focused(), m_dialog->WorkersGrid);
        keys(QStringLiteral("С"));
        key(Qt::Key_Space);
        key(Qt::Key_Up);
        key(Qt::Key_Space, Qt::ControlModifier);
        QCOMPARE(m_dialog->brigade(), QList<int>({3, 2}));
        key(Qt::Key_Space);
        QCOMPARE(m_dialog->brigade(), QList<int>({3}));
        key(Qt::Key_Return);
        key(Qt::Key_Return);   // picked already: stays picked
        QCOMPARE(m_dialog->brigade(), QList<int>({3, 2}));
        // The ticks in the list are the brigade.
        const QModelIndex petrov = m_dialog->WorkersGrid->currentIndex();
        QCOMPARE(petrov.data(Qt::CheckStateRole).value<Qt::CheckState>(), Qt::Checked);
        QCOMPARE(petrov.siblingAtRow(0).data(Qt::CheckStateRole).value<Qt::CheckState>(), Qt::Unchecked);
        // In the search box Ctrl+Space takes a picked worker back.
        m_dialog->WorkerSearch->setFocus();
        keys(QStringLiteral("Сид"));
        key(Qt::Key_Space, Qt::ControlModifier);
        QCOMPARE(m_dialog->brigade(), QList<int>({2}));
        QCOMPARE(m_dialog->CountLabel->text(), QStringLiteral("Рабочих: 1"));
    });
    m_journal->DateT->setDate(entries_fixture::kMonday);
    QTest::mouseClick(m_journal->BrigadeButton, Qt::LeftButton);
    QTRY_VERIFY(!m_dialog->isVisible());
    QCOMPARE(count(), 1);
    // Back from the dialog without a save, the journal comes back as from any window: to today.
    QCOMPARE(m_journal->DateT->date(), kFriday);
}

void TestBrigade::theButtonFollowsTheMonth()
{
    // Greyed in a closed month, as "Добавить" is.
    m_db->exec(QStringLiteral("insert into accounts_dep.closed_month (year, month) values (2024, 3)"));
    const auto reopen = qScopeGuard([this] { m_db->exec(QStringLiteral("delete from accounts_dep.closed_month")); });
    m_journal->Button1->setEnabled(true);
    m_journal->DateT->setDate(kFriday.addDays(1));
    QVERIFY(!m_journal->BrigadeButton->isEnabled());
    QVERIFY(!m_journal->Button1->isEnabled());
    m_journal->DateT->setDate(QDate(2024, 4, 1));
    QVERIFY(m_journal->BrigadeButton->isEnabled());
    QVERIFY(m_journal->Button1->isEnabled());
}

QTEST_MAIN(TestBrigade)
#include "tst_brigade.moc"
