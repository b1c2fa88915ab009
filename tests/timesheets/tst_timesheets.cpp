#include "data/connection.h"
#include "data/data_module.h"
#include "data/formats.h"
#include "data/statement.h"
#include "reports/time_timesheet_report.h"
#include "tests/support/modal.h"
#include "tests/support/recording_opener.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/sheet_fixtures.h"
#include "tests/support/test_database.h"
#include "tests/support/workbook_reader.h"
#include "timesheets/day_columns.h"
#include "timesheets/piecework_timesheet.h"
#include "timesheets/time_timesheet.h"
#include "rules/month_rebuild.h"
#include "rules/sheet_rows.h"
#include "ui/data_grid.h"
#include "ui/job_progress.h"

#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include "ui/window_memory.h"

using namespace timesheet_days;

namespace {

/// Exposes the painter's style option for one cell.
class PainterProbe : public TimesheetCellPainter {
public:
    QStyleOptionViewItem optionFor(const QModelIndex& index, bool selected) const
    {
        QStyleOptionViewItem o;
        if (selected) o.state |= QStyle::State_Selected;
        initStyleOption(&o, index);
        return o;
    }
};

} // namespace

class TestTimesheets : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void theLastMonthComesBackNextRun();

    // the painter
    void painterRules_data();
    void painterRules();
    void painterLeavesTheSelectedCell();
    void dayTitles_data();
    void dayTitles();

    // the time timesheet window
    void opensOnTheWorkingMonth();
    void februaryColumns();
    void decemberPeriod();
    void rebuildButton();
    void refusedRebuildInTheWindow();
    void stoppedRebuildLeavesTheMonthAsItWas();
    void timeTimesheetSheet();
    void exportCaptions();
    void printShowsTheMonth();

    // the piecework timesheets
    void modes_data();
    void modes();
    void nameColumnWidthOnEachMonth();
    void decemberInEveryQuery();
    void workerWithoutHoursHasRateZero();
    void dayAndNightRows_data();
    void dayAndNightRows();
    void totalsAddUp();
    void hourRowsRebuildButton();
    void pieceworkSheet_data();
    void pieceworkSheet();
    void workersByIdOrCode_data();
    void workersByIdOrCode();
    void moneyOfGoodPieces_data();
    void moneyOfGoodPieces();

private:
    /// Opens the piecework timesheet in a mode on "today", runs the checks, closes it.
    void withForm27(int tag, const QDate& today, const std::function<void()>& checks);

    /// Opens the time timesheet modally on the working date, runs the checks, closes it.
    void withForm19(const QDate& day, const std::function<void()>& checks);

    TestDatabase* m_db = nullptr;
    ScriptedPrompts m_prompts;
    TDataModule6* m_dm = nullptr;
    TForm15* m_form15 = nullptr;
    QTemporaryDir m_dir;
    RecordingOpener m_opener;
    ExcelApp* m_excel = nullptr;
    TForm19* m_form19 = nullptr;
    TForm27* m_form27 = nullptr;
};

void TestTimesheets::initTestCase()
{
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    m_db = new TestDatabase(QStringLiteral("timesheets"));
    m_dm = new TDataModule6(m_db->db(), m_prompts);
    m_form15 = new TForm15(*m_dm);
    m_excel = new ExcelApp(m_prompts, m_opener, m_dir.path());
}

void TestTimesheets::init()
{
    m_db->exec(QString::fromUtf8(sheet_fixtures::kTimesheetMonth));
    m_prompts.clear();
    m_opener.opened.clear();
    m_form19 = new TForm19(*m_dm, *m_excel, *m_form15);
    m_form27 = new TForm27(*m_dm, m_opener, m_dir.path());
}

void TestTimesheets::cleanup()
{
    QVERIFY(!m_prompts.unexpectedQuestion());
    delete m_form19;
    m_form19 = nullptr;
    delete m_form27;
    m_form27 = nullptr;
    QVERIFY(noWindowsLeftOpen());
}

// --- the rebuilds

// --- the painter

void TestTimesheets::painterRules_data()
{
    QTest::addColumn<int>("hours");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("text");   // "silver", "red", "normal", "background"
    QTest::addColumn<bool>("bold");
    QTest::addColumn<bool>("green");
    const int work = int(DayKind::Workday), weekend = int(DayKind::Weekend), past = int(DayKind::PastEnd);
    QTest::newRow("0 on a workday") << 0 << work << "silver" << false << false;
    QTest::newRow("0 on a weekend") << 0 << weekend << "red" << false << false;
    QTest::newRow("0 past the end") << 0 << past << "background" << false << false;
    QTest::newRow("5 on a workday") << 5 << work << "normal" << false << false;
    QTest::newRow("5 on a weekend") << 5 << weekend << "red" << false << false;
    QTest::newRow("8 on a workday") << 8 << work << "normal" << true << false;
    QTest::newRow("8 on a weekend") << 8 << weekend << "red" << true << false;
    QTest::newRow("9 on a workday") << 9 << work << "normal" << true << true;
    QTest::newRow("12 on a weekend") << 12 << weekend << "red" << true << true;
}

void TestTimesheets::painterRules()
{
    QFETCH(int, hours);
    QFETCH(int, kind);
    QFETCH(QString, text);
    QFETCH(bool, bold);
    QFETCH(bool, green);
    QPalette palette;
    palette.setColor(QPalette::Text, Qt::black);
    palette.setColor(QPalette::Base, Qt::white);
    const QMap<QString, QColor> colours = {
        {"silver", kSilver}, {"red", kRed}, {"normal", Qt::black}, {"background", Qt::white}};
    const CellLook look = cellLook(hours, DayKind(kind), palette);
    QCOMPARE(look.text, colours.value(text));
    QCOMPARE(look.bold, bold);
    QCOMPARE(look.background, green ? kLightGreen : QColor());
}

void TestTimesheets::painterLeavesTheSelectedCell()
{
    // Worker 1's shift 2 row holds 8 on Saturday 2 March 2024; the total column is light blue.
    month_rebuild::shiftRows(m_db->db(), 3, 2024);
    withForm19(QDate(2024, 3, 15), [this] {
        auto* model = qobject_cast<TimesheetGridModel*>(m_form19->DBGrid2->gridModel());
        QVERIFY(model);
        QCOMPARE(model->rowCount(), 1);
        PainterProbe probe;
        const QModelIndex saturday = model->index(0, model->columnOf(QStringLiteral("d2")));
        const QStyleOptionViewItem plain = probe.optionFor(saturday, false);
        QCOMPARE(plain.palette.color(QPalette::Text), kRed);
        QVERIFY(plain.font.bold());
        const QStyleOptionViewItem selected = probe.optionFor(saturday, true);
        QVERIFY(selected.palette.color(QPalette::Text) != kRed);
        QVERIFY(!selected.font.bold());
        const QModelIndex total = model->index(0, model->columnOf(QStringLiteral("summ")));
        QCOMPARE(total.data().toString(), QStringLiteral("8"));
        QCOMPARE(total.data(Qt::BackgroundRole).value<QBrush>().color(), kLightBlue);
    });
}

void TestTimesheets::dayTitles_data()
{
    QTest::addColumn<int>("month");
    QTest::addColumn<int>("year");
    QTest::addColumn<QList<int>>("red");
    QTest::addColumn<QList<int>>("silver");
    QTest::newRow("February 2023") << 2 << 2023 << QList<int>{4, 5, 11, 12, 18, 19, 25, 26} << QList<int>{29, 30, 31};
    QTest::newRow("February 2024") << 2 << 2024 << QList<int>{3, 4, 10, 11, 17, 18, 24, 25} << QList<int>{30, 31};
    QTest::newRow("April 2024") << 4 << 2024 << QList<int>{6, 7, 13, 14, 20, 21, 27, 28} << QList<int>{31};
    QTest::newRow("March 2024") << 3 << 2024 << QList<int>{2, 3, 9, 10, 16, 17, 23, 24, 30, 31} << QList<int>{};
}

void TestTimesheets::dayTitles()
{
    QFETCH(int, month);
    QFETCH(int, year);
    QFETCH(QList<int>, red);
    QFETCH(QList<int>, silver);
    Dataset none(m_db->db());
    TimesheetGridModel model(&none, dayColumns());
    model.setMonth(month, year);
    for (int d = 1; d <= 31; ++d) {
        const QVariant colour = model.headerData(d - 1, Qt::Horizontal, Qt::ForegroundRole);
        const QColor expected = red.contains(d) ? kRed : silver.contains(d) ? kSilver : QColor();
        QCOMPARE(colour.isValid() ? colour.value<QBrush>().color() : QColor(), expected);
        QCOMPARE(model.kindOfColumn(d - 1) == DayKind::PastEnd, silver.contains(d));
    }
}

// --- the time timesheet window

void TestTimesheets::withForm19(const QDate& day, const std::function<void()>& checks)
{
    bool shown = false;
    whenModal([&](QWidget* modal) {
        shown = modal == m_form19;
        QVERIFY(m_form19->work()->wait());   // the month's sheets are read
        checks();
        m_form19->reject();
    });
    m_form19->openFor(day);
    QVERIFY(shown);
    QVERIFY(!m_dm->H_Tabel_1.isOpen() && !m_dm->H_Tabel_2.isOpen() && !m_dm->H_Tabel_3.isOpen());
}

void TestTimesheets::opensOnTheWorkingMonth()
{
    month_rebuild::shiftRows(m_db->db(), 3, 2024);
    m_db->exec(QStringLiteral("insert into accounts_dep.h_tabel (w_id, month, year, smena) values (1, 1, 2040, 1)"));
    withForm19(QDate(2031, 3, 15), [this] {
        QCOMPARE(m_form19->ComboBox1->currentText(), QStringLiteral("Март"));
        QCOMPARE(m_form19->ComboBox2->currentText(), QStringLiteral("2031"));
        QCOMPARE(m_form19->ComboBox2->itemText(0), QStringLiteral("2007"));
        QCOMPARE(m_form19->ComboBox2->itemText(m_form19->ComboBox2->count() - 1), QStringLiteral("2040"));
        QCOMPARE(m_form19->Button2->text(), QStringLiteral("Excel"));
        QCOMPARE(m_dm->H_Tabel_1.recordCount(), 0);
        m_form19->ComboBox2->setCurrentText(QStringLiteral("2024"));
        QVERIFY(m_form19->work()->wait());
        // Shift 1: Иванов and Петров; shift 3: Сидоров with 12 hours on the 29th.
        QCOMPARE(m_dm->H_Tabel_1.recordCount(), 2);
        QCOMPARE(m_dm->H_Tabel_1.asString(QStringLiteral("fio")), QStringLiteral("Иванов И.И."));
        QCOMPARE(m_dm->H_Tabel_1.asInt(QStringLiteral("summ")), 23);
        QCOMPARE(m_dm->H_Tabel_3.recordCount(), 1);
        QCOMPARE(m_dm->H_Tabel_3.asInt(QStringLiteral("d29")), 12);
    });
}

void TestTimesheets::februaryColumns()
{
    withForm19(QDate(2023, 2, 10), [this] {
        auto* model = qobject_cast<TimesheetGridModel*>(m_form19->DBGrid1->gridModel());
        QVERIFY(model);
        for (int d : {29, 30, 31}) {
            const int column = model->columnOf(QStringLiteral("d%1").arg(d));
            QCOMPARE(model->headerData(column, Qt::Horizontal, Qt::ForegroundRole).value<QBrush>().color(), kSilver);
            QVERIFY(!m_form19->DBGrid1->isColumnHidden(column));
        }
        QCOMPARE(model->headerData(model->columnOf(QStringLiteral("d4")), Qt::Horizontal, Qt::ForegroundRole)
                     .value<QBrush>().color(), kRed);
        QCOMPARE(m_dm->H_Tabel_1.param(QStringLiteral("date2")).toDate(), QDate(2023, 3, 1));
    });
}

void TestTimesheets::decemberPeriod()
{
    withForm19(QDate(2024, 12, 31), [this] {
        for (Dataset* q : {&m_dm->H_Tabel_1, &m_dm->H_Tabel_2, &m_dm->H_Tabel_3}) {
            QCOMPARE(q->param(QStringLiteral("mnth")).toInt(), 12);
            QCOMPARE(q->param(QStringLiteral("yea")).toInt(), 2024);
            QCOMPARE(q->param(QStringLiteral("date1")).toDate(), QDate(2024, 12, 1));
            QCOMPARE(q->param(QStringLiteral("date2")).toDate(), QDate(2025, 1, 1));
        }
    });
}

void TestTimesheets::rebuildButton()
{
    withForm19(QDate(2024, 3, 15), [this] {
        QCOMPARE(m_dm->H_Tabel_1.asInt(QStringLiteral("d1")), 99);   // a stale row of Иванов
        // Asked first; "Нет" leaves the month alone.
        m_prompts.answer(false);
        QTest::mouseClick(m_form19->Button1, Qt::LeftButton);
        QVERIFY(!m_form19->work()->isRunning());
        QCOMPARE(m_prompts.said().size(), 1);
        QCOMPARE(m_prompts.said().first().kind, ScriptedPrompts::Said::Question);
        QCOMPARE(m_prompts.said().first().title, QStringLiteral("Перестроить"));
        QVERIFY(m_prompts.said().first().text.startsWith(QStringLiteral("Перестроить табель за 03.2024?")));
        QCOMPARE(m_dm->H_Tabel_1.asInt(QStringLiteral("d1")), 99);
        m_prompts.clear();

        m_prompts.answer(true);
        QTest::mouseClick(m_form19->Button1, Qt::LeftButton);
        QVERIFY(m_form19->work()->wait());
        QCOMPARE(m_prompts.said().size(), 2);
        QCOMPARE(m_prompts.said().at(1).kind, ScriptedPrompts::Said::Information);
        // Иванов's stale row of shift 1 replaced; the rows of shifts without entries gone, the others new.
        QCOMPARE(m_prompts.said().at(1).text,
                 QStringLiteral("Табель за 03.2024 перестроен: строк изменено 1, добавлено 4, удалено 2."));
        QVERIFY(m_form19->PB->isHidden());
        QCOMPARE(m_dm->H_Tabel_1.recordCount(), 2);
        QCOMPARE(m_dm->H_Tabel_1.asInt(QStringLiteral("d1")), 10);
        m_dm->H_Tabel_1.last();
        QCOMPARE(m_dm->H_Tabel_1.asString(QStringLiteral("fio")), QStringLiteral("Петров П.П."));

        // Again: nothing differs now, and it says so.
        m_prompts.clear();
        m_prompts.answer(true);
        QTest::mouseClick(m_form19->Button1, Qt::LeftButton);
        QVERIFY(m_form19->work()->wait());
        QCOMPARE(m_prompts.texts().value(1),
                 QStringLiteral("Табель за 03.2024 перестроен: он уже совпадал с записями, ни одна строка не изменилась."));
    });
    QCOMPARE(m_db->scalar("select count(*) from accounts_dep.h_tabel where month=3 and year=2024 and smena>0").toInt(), 5);
}

void TestTimesheets::refusedRebuildInTheWindow()
{
    // The refusal is shown, the bar goes and the grids show the month as it was.
    const auto refusal = sheet_fixtures::refuseTimesheetRows(*m_db, QStringLiteral("true"));
    withForm19(QDate(2024, 3, 15), [this] {
        m_prompts.answer(true);
        QTest::mouseClick(m_form19->Button1, Qt::LeftButton);
        QVERIFY(m_form19->work()->wait());
        QCOMPARE(m_prompts.said().size(), 2);   // the question, then the refusal, and no report
        QVERIFY(m_prompts.said().at(1).text.contains(QStringLiteral("refused")));
        QVERIFY(m_form19->PB->isHidden());
        QVERIFY(m_dm->H_Tabel_1.isOpen());
        QCOMPARE(m_dm->H_Tabel_1.asInt(QStringLiteral("d1")), 99);
    });
}

void TestTimesheets::stoppedRebuildLeavesTheMonthAsItWas()
{
    // Another client holds the timesheet table, so the rebuild waits; "Отмена" ends it, and the
    // window is usable again with the month as it was. All from the keyboard: the rebuild's
    // button pressed with Space puts the focus on "Отмена", and back on the button at the end.
    QSqlDatabase holder = m_db->openAnother(QStringLiteral("holder"));
    QVERIFY(holder.transaction());
    execSql(holder, QStringLiteral("lock table accounts_dep.h_tabel in share mode"));
    withForm19(QDate(2024, 3, 15), [this] {
        m_form19->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_form19));
        m_form19->Button1->setFocus();
        m_prompts.answer(true);
        QTest::keyClick(m_form19->Button1, Qt::Key_Space);
        QVERIFY(m_form19->work()->isRunning());
        QVERIFY(!m_form19->Button1->isEnabled());   // no second run beside the first
        QVERIFY(!m_form19->PB->isHidden());
        QPushButton* cancel = m_form19->work()->cancelButton();
        QCOMPARE(cancel->text(), QStringLiteral("Отмена"));
        QVERIFY(!cancel->isHidden());
        QCOMPARE(QApplication::focusWidget(), cancel);
        QTest::qWait(200);
        QTest::keyClick(cancel, Qt::Key_Space);
        QVERIFY(m_form19->work()->wait());
        QTRY_COMPARE(QApplication::focusWidget(), m_form19->Button1);
        QCOMPARE(m_prompts.said().size(), 1);   // the question only: a stopped rebuild changed nothing
        QVERIFY(m_form19->PB->isHidden() && cancel->isHidden());
        QVERIFY(m_form19->Button1->isEnabled());
        QCOMPARE(m_dm->H_Tabel_1.asInt(QStringLiteral("d1")), 99);
    });
    holder.rollback();
}

void TestTimesheets::timeTimesheetSheet()
{
    month_rebuild::shiftRows(m_db->db(), 3, 2024);
    QCOMPARE(writeTimeTimesheet(m_db->db(), 3, 2024, *m_excel), 1);
    QCOMPARE(m_opener.opened.size(), 1);
    Workbook book;
    QVERIFY(readWorkbook(m_opener.opened.first(), &book));
    QCOMPARE(book.at(1, 1), QStringLiteral("Март 2024"));
    QCOMPARE(book.at(2, 1), QStringLiteral("Фамилия И.О."));
    for (int d = 1; d <= 31; ++d) QCOMPARE(book.at(2, d + 1), QString::number(d));
    QVERIFY(book.numericCells.contains(QStringLiteral("B2")));
    QCOMPARE(book.at(2, 33), QStringLiteral("Итого"));
    QCOMPARE(book.rows.size(), 5);
    // Иванов: his shift rows and his utility row, the 1st 10 + 4, the 2nd 8, the 4th 8, the 31st 5.
    QCOMPARE(book.at(3, 1), QStringLiteral("Иванов И.И."));
    QCOMPARE(book.at(3, 2), QStringLiteral("14"));
    QCOMPARE(book.at(3, 3), QStringLiteral("8"));
    QCOMPARE(book.at(3, 32), QStringLiteral("5"));
    QCOMPARE(book.at(3, 33), QStringLiteral("35"));
    // Петров: average-piecework night hours on the 2nd, the 15th, nothing on the 16th, overtime on the 20th.
    QCOMPARE(book.at(4, 1), QStringLiteral("Петров П.П."));
    QCOMPARE(book.at(4, 3), QStringLiteral("2"));
    QCOMPARE(book.at(4, 16), QStringLiteral("4"));
    QCOMPARE(book.at(4, 17), QString());
    QCOMPARE(book.at(4, 33), QStringLiteral("9"));
    QCOMPARE(book.at(5, 1), QStringLiteral("Сидоров С.С."));
    QCOMPARE(book.at(5, 30), QStringLiteral("12"));
    QVERIFY(book.numericCells.contains(QStringLiteral("AD5")));
    QVERIFY(book.bold.contains(QStringLiteral("A1")) && book.bold.contains(QStringLiteral("AG2")));
    QVERIFY(!book.bold.contains(QStringLiteral("A3")));
    // A table ready to use: hours as whole numbers, and no totals row, as the window has none.
    QCOMPARE(tableFaults(book, 2, 33, 5), QStringList());
    QCOMPARE(notInFormat(book, 2, 33, 3, 5, QStringLiteral("0")), QStringList());
}

void TestTimesheets::exportCaptions()
{
    // Before any rebuild the month has rows of Иванов, Петров and Уволен.
    QStringList captions;
    writeTimeTimesheet(m_db->db(), 3, 2024, *m_excel, [&](int k, int n) { captions << exportCaption(k, n); });
    QCOMPARE(captions, (QStringList{"Excel (0 из 3)", "Excel (1 из 3)", "Excel (2 из 3)", "Excel (3 из 3)"}));
    withForm19(QDate(2024, 3, 15), [this] {
        QTest::mouseClick(m_form19->Button2, Qt::LeftButton);
        QVERIFY(m_form19->work()->wait());   // the rows are read in the background
        QCOMPARE(m_form19->Button2->text(), QStringLiteral("Excel (3 из 3)"));
        QCOMPARE(m_opener.opened.size(), 2);
    });
}

void TestTimesheets::printShowsTheMonth()
{
    int pages = 0;
    withForm19(QDate(2024, 3, 15), [&] {
        whenModal([&](QWidget* preview) {
            pages = m_form15->pageCount();
            preview->close();
        });
        QTest::mouseClick(m_form19->Button6, Qt::LeftButton);
    });
    QCOMPARE(m_form15->QRLabel33.caption(), QStringLiteral("Март 2024 г."));
    QCOMPARE(pages, 1);
    QVERIFY(!m_form15->reportQuery().isOpen());
}

// --- the piecework timesheets

void TestTimesheets::withForm27(int tag, const QDate& today, const std::function<void()>& checks)
{
    bool shown = false;
    m_form27->today = [today] { return today; };
    whenModal([&](QWidget* modal) {
        shown = modal == m_form27;
        QVERIFY(m_form27->work()->wait());   // the month's sheet and totals are read
        checks();
        m_form27->reject();
    });
    m_form27->openMode(tag);
    QVERIFY(shown);
    QVERIFY(!m_form27->CurrentTabel->isOpen() && !m_form27->q_year.isOpen());
}

void TestTimesheets::theLastMonthComesBackNextRun()
{
    // In the program the sheets open on the month the user looked at last, in this run and the
    // next; in the time timesheet too. Without it, on today's month.
    QTemporaryDir home;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, home.path());
    auto memory = std::make_unique<WindowMemory>();
    withForm27(9, QDate(2024, 5, 20), [this] { m_form27->ComboBox1->setCurrentIndex(2); });   // March
    int month = 0, year = 0;
    withForm27(9, QDate(2024, 5, 20), [&] { month = m_form27->month(), year = m_form27->year(); });
    QCOMPARE(std::pair(month, year), std::pair(3, 2024));
    withForm19(QDate(2024, 5, 20), [&] { month = m_form19->ComboBox1->currentIndex() + 1; });
    QCOMPARE(month, 3);
    memory.reset();
    withForm27(9, QDate(2024, 5, 20), [&] { month = m_form27->month(); });
    QCOMPARE(month, 5);
}

void TestTimesheets::modes_data()
{
    QTest::addColumn<int>("tag");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("dayNight");
    QTest::addColumn<bool>("rate");
    QTest::addColumn<int>("nameWidth");
    QTest::newRow("9") << 9 << "Табель сделка (27)" << false << true << 238;
    QTest::newRow("14") << 14 << "Табель хоз. работы (27)" << true << true << 208;
    QTest::newRow("15") << 15 << "Табель ср. сдельная (27)" << true << true << 208;
    QTest::newRow("17") << 17 << "Общий табель (27)" << false << false << 304;
}

void TestTimesheets::modes()
{
    QFETCH(int, tag);
    QFETCH(QString, caption);
    QFETCH(bool, dayNight);
    QFETCH(bool, rate);
    QFETCH(int, nameWidth);
    // April 2024 has 30 days: day 31 is hidden and the name column 20 wider.
    withForm27(tag, QDate(2024, 4, 10), [&] {
        const GridModel* model = m_form27->DBGrid->gridModel();
        QCOMPARE(m_form27->windowTitle(), caption);
        QCOMPARE(m_form27->Tag, tag);
        QCOMPARE(m_form27->ComboBox1->currentText(), QStringLiteral("Апрель"));
        QCOMPARE(m_form27->cb_year->currentText(), QStringLiteral("2024"));
        QCOMPARE(!m_form27->DBGrid->isColumnHidden(model->columnOf(QStringLiteral("s_night"))), dayNight);
        QCOMPARE(!m_form27->DBGrid->isColumnHidden(model->columnOf(QStringLiteral("average_price"))), rate);
        QCOMPARE(m_form27->DBGrid->columnWidth(model->columnOf(QStringLiteral("fio"))), nameWidth + 20);
        QVERIFY(!m_form27->DBGrid->isColumnHidden(model->columnOf(QStringLiteral("d30"))));
        QVERIFY(m_form27->DBGrid->isColumnHidden(model->columnOf(QStringLiteral("d31"))));
        QVERIFY(m_form27->Button4->isHidden());
        QVERIFY(m_form27->PB->isHidden());
    });
}

void TestTimesheets::nameColumnWidthOnEachMonth()
{
    withForm27(piecework_mode::kPiecework, QDate(2023, 4, 10), [this] {
        const GridModel* model = m_form27->DBGrid->gridModel();
        const int fio = model->columnOf(QStringLiteral("fio"));
        m_form27->ComboBox1->setCurrentIndex(1);   // February 2023: 29 to 31 hidden
        QCOMPARE(m_form27->DBGrid->columnWidth(fio), 238 + 60);
        for (int d = 1; d <= 31; ++d)
            QCOMPARE(m_form27->DBGrid->isColumnHidden(model->columnOf(QStringLiteral("d%1").arg(d))), d > 28);
        m_form27->ComboBox1->setCurrentIndex(3);
        m_form27->ComboBox1->setCurrentIndex(1);
        QCOMPARE(m_form27->DBGrid->columnWidth(fio), 238 + 60);
        m_form27->ComboBox1->setCurrentIndex(2);
        QCOMPARE(m_form27->DBGrid->columnWidth(fio), 238);
    });
}

void TestTimesheets::decemberInEveryQuery()
{
    for (int tag : {9, 14, 15, 17}) {
        withForm27(tag, QDate(2024, 12, 20), [this] {
            for (int n = 1; n <= 8; ++n) {
                const QString name = QStringLiteral("d_date%1").arg(n);
                if (!m_form27->CurrentTabel->hasParameter(name)) continue;
                QCOMPARE(m_form27->CurrentTabel->param(name).toDate(), n % 2 ? QDate(2025, 1, 1) : QDate(2024, 12, 1));
            }
            QCOMPARE(m_form27->CurrentTabel->param(QStringLiteral("i_month")).toInt(), 12);
            QCOMPARE(m_form27->CurrentTabel->param(QStringLiteral("i_year")).toInt(), 2024);
        });
    }
    QVERIFY(m_form27->H_Tabel_all.hasParameter(QStringLiteral("d_date8")));
}

void TestTimesheets::workerWithoutHoursHasRateZero()
{
    // Уволен has a shift row but no journal entries; Петров's entries in March earn nothing.
    m_db->exec(QStringLiteral("update accounts_dep.smena set cena=0 where w_id=2"));
    month_rebuild::shiftRows(m_db->db(), 3, 2024);
    m_db->exec(QStringLiteral("insert into accounts_dep.h_tabel (w_id, month, year, smena, d3) values (9, 3, 2024, 2, 4)"));
    withForm27(piecework_mode::kPiecework, QDate(2024, 3, 1), [this] {
        Dataset& sheet = *m_form27->CurrentTabel;
        QCOMPARE(sheet.recordCount(), 4);
        QVERIFY(sheet.locate(QStringLiteral("fio"), QStringLiteral("Уволен У.У.")));
        QVERIFY(!sheet.isNull(QStringLiteral("average_price")));
        QCOMPARE(sheet.asDouble(QStringLiteral("average_price")), 0.0);
        QVERIFY(sheet.locate(QStringLiteral("fio"), QStringLiteral("Петров П.П.")));
        QCOMPARE(sheet.asDouble(QStringLiteral("average_price")), 0.0);
        QCOMPARE(sheet.asInt(QStringLiteral("i_time")), 7);
        QVERIFY(sheet.locate(QStringLiteral("fio"), QStringLiteral("Иванов И.И.")));
        QCOMPARE(sheet.asInt(QStringLiteral("i_time")), 31);
        QCOMPARE(sheet.asDouble(QStringLiteral("f_price")), 500.0);
        QCOMPARE(sheet.asDouble(QStringLiteral("average_price")), 16.13);
        QCOMPARE(sheet.asInt(QStringLiteral("d1")), 10);
    });
}

void TestTimesheets::dayAndNightRows_data()
{
    QTest::addColumn<int>("tag");
    QTest::addColumn<QStringList>("rows");
    QTest::newRow("utility works") << 14 << QStringList{"Иванов И.И. дн. 5 5 500 100", "Иванов И.И. ноч. 6 6 900 150"};
    QTest::newRow("average piecework") << 15 << QStringList{"Петров П.П. дн. 5 5 600 120", "Петров П.П. ноч. 4 4 520 130"};
}

void TestTimesheets::dayAndNightRows()
{
    QFETCH(int, tag);
    QFETCH(QStringList, rows);
    month_rebuild::hourRows(m_db->db(), 3, 2024);
    withForm27(tag, QDate(2024, 3, 1), [&] {
        Dataset& sheet = *m_form27->CurrentTabel;
        QStringList actual;
        for (sheet.first(); !sheet.eof(); sheet.next()) {
            qlonglong days = 0;
            for (int d = 1; d <= 31; ++d) days += sheet.asLongLong(QStringLiteral("d%1").arg(d));
            actual << QStringList{sheet.asString("fio"), sheet.asString("s_night"), QString::number(days),
                                  sheet.asString("i_time"), QString::number(sheet.asDouble("f_price")),
                                  QString::number(sheet.asDouble("average_price"))}.join(' ');
        }
        actual.sort();   // a worker's day and night rows come in either order
        QCOMPARE(actual, rows);
    });
}

void TestTimesheets::totalsAddUp()
{
    m_db->exec(QStringLiteral("delete from accounts_dep.smena where data>='2024-04-01'"));
    withForm27(piecework_mode::kGeneral, QDate(2024, 3, 1), [this] {
        QCOMPARE(m_form27->priceText->text(), QStringLiteral("1000"));
        QCOMPARE(m_form27->price7Text->text(), QStringLiteral("1400"));
        QCOMPARE(m_form27->price8Text->text(), QStringLiteral("1120"));
        QCOMPARE(m_form27->all_priceText->text(), QStringLiteral("3520"));
        // A month of hour entries only still has its total.
        m_form27->ComboBox1->setCurrentIndex(3);
        QVERIFY(m_form27->work()->wait());
        QCOMPARE(m_form27->priceText->text(), QString());
        QCOMPARE(m_form27->price7Text->text(), QStringLiteral("800"));
        QCOMPARE(m_form27->all_priceText->text(), QStringLiteral("800"));
        // The general sheet: Иванов's journal and hour-paid hours and earnings together.
        m_form27->ComboBox1->setCurrentIndex(2);
        QVERIFY(m_form27->work()->wait());
        Dataset& sheet = *m_form27->CurrentTabel;
        QVERIFY(sheet.locate(QStringLiteral("fio"), QStringLiteral("Иванов И.И.")));
        QCOMPARE(sheet.asInt(QStringLiteral("i_time")), 31 + 11);
        QCOMPARE(sheet.asDouble(QStringLiteral("f_price")), 500.0 + 1400.0);
    });
}

void TestTimesheets::hourRowsRebuildButton()
{
    withForm27(piecework_mode::kUtilityWorks, QDate(2024, 3, 1), [this] {
        QCOMPARE(m_form27->CurrentTabel->recordCount(), 1);
        m_prompts.answer(true);
        QTest::mouseClick(m_form27->Button3, Qt::LeftButton);
        QVERIFY(m_form27->work()->wait());
        QCOMPARE(m_prompts.said().size(), 2);
        QVERIFY(m_prompts.said().first().text.contains(QStringLiteral("хоз. работ")));
        QVERIFY(m_prompts.said().at(1).text.startsWith(QStringLiteral("Табель за 03.2024 перестроен: строк")));
        QVERIFY(m_form27->PB->isHidden());
        QCOMPARE(m_form27->CurrentTabel->recordCount(), 2);
    });
    QCOMPARE(m_db->scalar("select count(*) from accounts_dep.h_tabel where month=3 and year=2024 and smena=0").toInt(), 4);
    QCOMPARE(m_db->scalar("select count(*) from accounts_dep.h_tabel where month=3 and year=2024 and smena>0").toInt(), 3);
}

void TestTimesheets::pieceworkSheet_data()
{
    QTest::addColumn<int>("tag");
    QTest::addColumn<int>("month");
    QTest::addColumn<QStringList>("row3");   // columns 1, 2, 3 (day 1), 34, 35, 36 of a row
    QTest::newRow("average piecework, March") << 15 << 3 << QStringList{"Петров П.П.", "дн.", "", "5", "600", "120"};
    QTest::newRow("general, March") << 17 << 3 << QStringList{"Иванов И.И.", "", "15", "42", "1900", ""};
    QTest::newRow("piecework, February") << 9 << 2 << QStringList{"Иванов И.И.", "", "", "6", "100", "16.67"};
}

void TestTimesheets::pieceworkSheet()
{
    QFETCH(int, tag);
    QFETCH(int, month);
    QFETCH(QStringList, row3);
    month_rebuild::hourRows(m_db->db(), 3, 2024);
    month_rebuild::shiftRows(m_db->db(), 3, 2024);
    month_rebuild::shiftRows(m_db->db(), 2, 2024);
    int records = 0;
    QStringList windowTotals;   // as the window shows them, left to right
    withForm27(tag, QDate(2024, month, 1), [&] {
        records = m_form27->CurrentTabel->recordCount();
        for (const QLabel* total : {m_form27->price8Text, m_form27->price7Text, m_form27->priceText, m_form27->all_priceText})
            windowTotals << total->text();
        QTest::mouseClick(m_form27->Button2, Qt::LeftButton);
        QVERIFY(m_form27->work()->wait());   // the rows are read in the background
        QVERIFY(m_form27->Button2->text().endsWith(QStringLiteral(" из %1)").arg(records)));
    });
    QCOMPARE(m_form27->Button2->text(), QStringLiteral("Excel"));
    QCOMPARE(m_opener.opened.size(), 1);
    Workbook book;
    QVERIFY(readWorkbook(m_opener.opened.first(), &book));
    QCOMPARE(book.at(1, 1), formats::monthName(month) + QStringLiteral(" 2024"));
    QCOMPARE(book.at(2, 1), QStringLiteral("Фамилия И.О."));
    for (int d = 1; d <= 31; ++d) QCOMPARE(book.at(2, d + 2), QString::number(d));
    QCOMPARE(book.at(2, 34), QStringLiteral("Итого (ч.)"));
    QCOMPARE(book.at(2, 35), QStringLiteral("Итого (р.)"));
    QCOMPARE(book.at(2, 36), tag == 17 ? QString() : QStringLiteral("Час (р.)"));
    // A worker's day and night rows come in either order: the expected row is the first of its
    // worker and mark.
    int row = 3;
    while (row <= book.rows.size() && (book.at(row, 1) != row3[0] || book.at(row, 2) != row3[1])) ++row;
    const QList<int> columns{1, 2, 3, 34, 35, 36};
    for (int i = 0; i < columns.size(); ++i) QCOMPARE(book.at(row, columns[i]), row3.at(i));
    const int lastRow = 2 + records;
    for (int r = 3; r <= lastRow; ++r) {
        QCOMPARE(book.at(r, 2).isEmpty(), !piecework_mode::hasDayNight(tag));
        QCOMPARE(book.at(r, 36).isEmpty(), tag == 17);
    }
    QVERIFY(book.numericCells.contains(QStringLiteral("AH3")) && book.bold.contains(QStringLiteral("AH2")));

    // A table ready to use: hours as whole numbers, money with two decimals.
    const int lastColumn = tag == 17 ? 35 : 36;
    QCOMPARE(tableFaults(book, 2, lastColumn, lastRow), QStringList());
    QCOMPARE(notInFormat(book, 3, 34, 3, lastRow, QStringLiteral("0")), QStringList());
    QCOMPARE(notInFormat(book, 35, lastColumn, 3, lastRow, QStringLiteral("0.00")), QStringList());
    QVERIFY(book.numericCells.contains(QStringLiteral("AI3")));
    // A row apart, the month's totals the window shows, under the earnings.
    QVERIFY(book.rows.value(lastRow).join(QString()).isEmpty());
    const QStringList captions{"Ср. сдел.:", "Хоз. работы:", "Сделка:", "Итого:"};
    QCOMPARE(book.rows.size(), lastRow + 1 + captions.size());
    for (int i = 0; i < captions.size(); ++i) {
        const int row = lastRow + 2 + i;
        QCOMPARE(book.at(row, 1), captions[i]);
        const QString amount = QStringLiteral("AI%1").arg(row);
        QCOMPARE(book.cell(amount)["shown"].toString().isEmpty(), windowTotals[i].isEmpty());
        if (windowTotals[i].isEmpty()) continue;
        QCOMPARE(book.cell(amount)["value"].toDouble(), formats::parseNumber(windowTotals[i]).value());
        QCOMPARE(notInFormat(book, 35, 35, row, row, QStringLiteral("0.00")), QStringList());
        QVERIFY(book.bold.contains(amount) && book.bold.contains(QStringLiteral("A%1").arg(row)));
    }
    QVERIFY(windowTotals.last().size() > 0);
}

void TestTimesheets::workersByIdOrCode_data()
{
    QTest::addColumn<int>("tag");
    QTest::addColumn<QStringList>("rows");   // fio and day/night mark, sorted
    QTest::addColumn<QString>("hours");      // the month's hours of the sheet's entries
    const QString journalHours = "select sum(time) from accounts_dep.smena where data>='2024-03-01' and data<'2024-04-01'";
    const QString hourEntries = "select sum(cnt) from accounts_dep.fatigue where d_date>='2024-03-01' and d_date<'2024-04-01'";
    const QStringList everyone{"Двойнов Д.Д. ", "Иванов И.И. ", "Кодов К.К. ", "Петров П.П. ", "Сидоров С.С. ", "Тёзкин Т.Т. "};
    QTest::newRow("piecework") << 9 << everyone << journalHours;
    QTest::newRow("utility works")
        << 14 << QStringList{"Иванов И.И. дн.", "Иванов И.И. ноч.", "Кодов К.К. дн.", "Тёзкин Т.Т. ноч."}
        << hourEntries + " and id_o=7777";
    QTest::newRow("average piecework") << 15 << QStringList{"Двойнов Д.Д. ноч.", "Петров П.П. дн.", "Петров П.П. ноч."}
                                       << hourEntries + " and id_o=7778";
    QTest::newRow("general") << 17 << everyone << QString("select (%1) + (%2)").arg(journalHours, hourEntries);
}

void TestTimesheets::workersByIdOrCode()
{
    // Each worker is one row (per day/night mark), named by the row whose code names him, and
    // the rows add up to the department's totals: money, hours and day cells alike.
    QFETCH(int, tag);
    QFETCH(QStringList, rows);
    QFETCH(QString, hours);
    m_db->exec(QString::fromUtf8(sheet_fixtures::kWorkersByCode));
    month_rebuild::shiftRows(m_db->db(), 3, 2024);
    month_rebuild::hourRows(m_db->db(), 3, 2024);
    const qlonglong monthHours = m_db->scalar(hours).toLongLong();
    QStringList names;
    withForm27(tag, QDate(2024, 3, 1), [&] {
        Dataset& sheet = *m_form27->CurrentTabel;
        qlonglong cents = 0, time = 0, dayCells = 0;
        for (sheet.first(); !sheet.eof(); sheet.next()) {
            const QString mark = piecework_mode::hasDayNight(tag) ? sheet.asString("s_night") : QString();
            names << sheet.asString("fio") + QLatin1Char(' ') + mark;
            cents += qRound64(sheet.asDouble("f_price") * 100);
            time += sheet.asLongLong("i_time");
            for (int d = 1; d <= 31; ++d) dayCells += sheet.asLongLong(QStringLiteral("d%1").arg(d));
        }
        const sheet_rows::PieceworkTotals totals = sheet_rows::pieceworkTotals(m_db->db(), 3, 2024);
        const std::optional<Money> total = tag == 9    ? totals.piecework
                                           : tag == 14 ? totals.utilityWorks
                                           : tag == 15 ? totals.averagePiecework
                                                       : totals.all;
        QCOMPARE(cents, qRound64(total.value_or(Money()).toDouble() * 100));
        QCOMPARE(time, monthHours);
        QCOMPARE(dayCells, monthHours);
    });
    names.sort();
    QCOMPARE(names, rows);

    // The spreadsheet lists the same workers.
    QCOMPARE(writePieceworkTimesheet(m_db->db(), tag, 3, 2024, *m_excel), 1);
    Workbook book;
    QVERIFY(readWorkbook(m_opener.opened.last(), &book));
    QStringList written;
    for (int r = 3; r <= 2 + rows.size(); ++r) written << book.at(r, 1) + QLatin1Char(' ') + book.at(r, 2);
    written.sort();
    QCOMPARE(written, rows);
}

void TestTimesheets::moneyOfGoodPieces_data()
{
    QTest::addColumn<int>("tag");
    QTest::addColumn<QString>("fio");
    QTest::addColumn<double>("money");
    QTest::addColumn<double>("rate");   // -1 where the sheet has none
    // Кодов: (7 − 1) × 10 for 6 h, and 2 h at 100 besides; Тёзкин: (4 − 2) × 5 + 6 × 5 for 8 h.
    QTest::newRow("piecework") << 9 << "Кодов К.К." << 60.0 << 10.0;
    QTest::newRow("piecework, two entries") << 9 << "Тёзкин Т.Т." << 40.0 << 5.0;
    QTest::newRow("general") << 17 << "Кодов К.К." << 260.0 << -1.0;
}

void TestTimesheets::moneyOfGoodPieces()
{
    // A worker is paid for the pieces less the rejects, at the entry's price.
    QFETCH(int, tag);
    QFETCH(QString, fio);
    QFETCH(double, money);
    QFETCH(double, rate);
    m_db->exec(QString::fromUtf8(sheet_fixtures::kWorkersByCode));
    month_rebuild::shiftRows(m_db->db(), 3, 2024);
    month_rebuild::hourRows(m_db->db(), 3, 2024);
    withForm27(tag, QDate(2024, 3, 1), [&] {
        Dataset& sheet = *m_form27->CurrentTabel;
        QVERIFY(sheet.locate(QStringLiteral("fio"), fio));
        QCOMPARE(sheet.asDouble(QStringLiteral("f_price")), money);
        if (rate >= 0) QCOMPARE(sheet.asDouble(QStringLiteral("average_price")), rate);
    });
}

QTEST_MAIN(TestTimesheets)
#include "tst_timesheets.moc"
