// The history window: opened for one entry from the journal and the register, and for a period
// from the menu, with its box, its search and its workbook.
#include "export/excel_export.h"
#include "journal/history_window.h"
#include "journal/journal_window.h"
#include "journal/utility_works_register.h"
#include "tests/journal/journal_fixture.h"
#include "tests/support/entries_fixture.h"
#include "tests/support/modal.h"
#include "tests/support/recording_opener.h"
#include "tests/support/workbook_reader.h"
#include "ui/data_grid.h"
#include "ui/job_progress.h"

#include <algorithm>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using entries_fixture::kFriday;
using entries_fixture::kMonday;

namespace {

/// The rows the grid shows, cells of the shown columns joined by "|".
QStringList shownRows(const DataGrid* grid, const QStringList& fields)
{
    QStringList rows;
    for (int r = 0; r < grid->model()->rowCount(); ++r) {
        QStringList cells;
        for (const QString& f : fields) cells << grid->model()->index(r, grid->gridModel()->columnOf(f)).data().toString();
        rows << cells.join(QLatin1Char('|'));
    }
    return rows;
}

/// Picks an item of the grid's context menu by its caption, as a user does with the keys.
void pickFromContextMenu(DataGrid* grid, const QString& caption)
{
    QTimer::singleShot(0, grid, [caption] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QVERIFY(menu);
        for (QAction* a : menu->actions())
            if (a->text() == caption) menu->setActiveAction(a);
        QCOMPARE(menu->activeAction() ? menu->activeAction()->text() : QString(), caption);
        QTest::keyClick(menu, Qt::Key_Return);
    });
    emit grid->customContextMenuRequested(grid->visualRect(grid->currentIndex()).center());
}

} // namespace

class TestHistory : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void anEntrysHistoryOpensFromItsWindow_data();
    void anEntrysHistoryOpensFromItsWindow();
    void aPeriodShowsApprovedEntriesOrEverything();
    void aFullSheetGoesOnOnTheNextSheet();

private:
    JournalTestData* m_data = nullptr;
    ScriptedPrompts m_prompts;
    QTemporaryDir m_folder;
    RecordingOpener m_opener;
    ExcelApp* m_excel = nullptr;
    TForm30* m_form30 = nullptr;
    TForm1* m_form1 = nullptr;
    TForm25* m_form25 = nullptr;
};

void TestHistory::initTestCase()
{
    m_data = new JournalTestData(QStringLiteral("history"), m_prompts);
    m_excel = new ExcelApp(m_prompts, m_opener, m_folder.path());
    m_form30 = new TForm30(m_data->dm, *m_excel);
}

void TestHistory::cleanupTestCase()
{
    delete m_form30;
    delete m_excel;
    delete m_data;
}

void TestHistory::init()
{
    // On the 20th of March from 10 o'clock.
    entries_fixture::historyOfMarch(m_data->db, QStringLiteral("2024-03-20 10:00"));
    m_prompts.clear();
    m_opener.opened.clear();
    m_form1 = new TForm1(m_data->dm);
    m_form1->today = [] { return kMonday; };
    m_form1->AccessCode = QStringLiteral("3851");
    m_form1->Form30 = m_form30;
    m_form25 = new TForm25(m_data->dm);
    m_form25->Form30 = m_form30;
}

void TestHistory::cleanup()
{
    delete m_form25;
    delete m_form1;
    QVERIFY2(m_prompts.nothingUnexpected(), qPrintable(m_prompts.unseenErrors().join(QStringLiteral("; "))));
    QVERIFY(noWindowsLeftOpen());
}

void TestHistory::anEntrysHistoryOpensFromItsWindow_data()
{
    QTest::addColumn<QString>("way");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QString>("change");
    // The newest first.
    const QStringList rows = {"Изменена|15.03.2024, 1 Иванов И.И.", "Добавлена|15.03.2024, 1 Иванов И.И."};
    const QString journalTitle = QStringLiteral("История изменений — запись журнала №1: Иванов И.И., ДМ-1, 15.03.2024 (30)");
    QTest::newRow("journal, context menu") << "journal menu" << journalTitle << rows << "Кол-во: 10 → 12";
    QTest::newRow("journal, button") << "journal button" << journalTitle << rows << "Кол-во: 10 → 12";
    QTest::newRow("register, context menu") << "register menu" << "История изменений — часы №1: Иванов И.И., Двери, 15.03.2024 (30)"
                                            << rows << "Кол-во: 8 → 6";
}

void TestHistory::anEntrysHistoryOpensFromItsWindow()
{
    QFETCH(QString, way);
    QFETCH(QStringList, rows);
    const bool fromJournal = way.startsWith(QLatin1String("journal"));
    QWidget* opener = fromJournal ? static_cast<QWidget*>(m_form1) : m_form25;
    if (fromJournal) {
        m_form1->show();
        m_form1->DateT->setDate(kFriday);
        QVERIFY(m_data->dm.Smena1.locate(QStringLiteral("id"), 1));
    } else {
        m_form25->DTPcker1->setDate(kFriday);
        m_form25->show();
    }
    QVERIFY(QTest::qWaitForWindowExposed(opener));
    QString title, change;
    QStringList shown;
    bool periodShown = true, tableColumnsShown = true;
    whenModal([&](QWidget* w) {
        QVERIFY(m_form30->work()->wait());
        title = w->windowTitle();
        shown = shownRows(m_form30->HistoryGrid, {"action", "subject"});
        // The changes' whole text also on pointing at them.
        const QModelIndex changes = m_form30->HistoryGrid->model()->index(0, m_form30->HistoryGrid->gridModel()->columnOf(QStringLiteral("changes")));
        change = changes.data().toString();
        QCOMPARE(changes.data(Qt::ToolTipRole).toString(), change);
        periodShown = m_form30->FromDate->isVisibleTo(m_form30);
        tableColumnsShown = !m_form30->HistoryGrid->isColumnHidden(m_form30->HistoryGrid->gridModel()->columnOf(QStringLiteral("row_id")));
        w->close();
    });
    if (way == QLatin1String("journal button"))
        QTest::mouseClick(m_form1->HistoryButton, Qt::LeftButton);
    else
        pickFromContextMenu(fromJournal ? m_form1->DBGrid2 : m_form25->DBGrid1, QStringLiteral("История изменений"));
    QTEST(title, "title");
    QCOMPARE(shown, rows);
    QTEST(change, "change");
    QVERIFY(!periodShown);
    QVERIFY(!tableColumnsShown);
    // The journal stays on the entry's date.
    if (fromJournal) QCOMPARE(m_form1->DateT->date(), kFriday);
    opener->hide();
}

void TestHistory::aPeriodShowsApprovedEntriesOrEverything()
{
    const QStringList fields = {"what", "action", "row_id", "subject", "reason"};
    QStringList approved, everything, searched, titles;
    Workbook book;
    whenModal([&](QWidget* w) {
        QVERIFY(m_form30->work()->wait());
        // The month of the day given, up to that day and with it.
        QCOMPARE(fieldLabelled(w, QStringLiteral("С")), m_form30->FromDate);
        QCOMPARE(m_form30->FromDate->date(), QDate(2024, 3, 1));
        QCOMPARE(fieldLabelled(w, QStringLiteral("По")), m_form30->ToDate);
        QCOMPARE(m_form30->ToDate->date(), QDate(2024, 3, 20));
        QVERIFY(m_form30->ApprovedOnly->isChecked());
        approved = shownRows(m_form30->HistoryGrid, fields);
        m_form30->ApprovedOnly->setChecked(false);
        QTest::mouseClick(m_form30->RefreshButton, Qt::LeftButton);
        QVERIFY(m_form30->work()->wait());
        everything = shownRows(m_form30->HistoryGrid, fields);
        // The workbook holds the rows as shown: after a search, those found.
        auto* search = qobject_cast<QLineEdit*>(fieldLabelled(w, QStringLiteral("Поиск:")));
        QVERIFY(search);
        type(search, QStringLiteral("Петров"));
        QStringList all;
        for (const ColumnSpec& c : m_form30->HistoryGrid->gridModel()->columns()) {
            all << c.field;
            titles << c.title;
        }
        searched = shownRows(m_form30->HistoryGrid, all);
        QTest::mouseClick(m_form30->ExcelButton, Qt::LeftButton);
        QCOMPARE(m_opener.opened.size(), 1);
        QVERIFY(readWorkbook(m_opener.opened.constFirst(), &book));
        search->clear();
        w->close();
    });
    m_form30->openForPeriod(QDate(2024, 3, 20));
    // The newest first.
    QStringList h = entries_fixture::historyOfMarchShown();
    std::reverse(h.begin(), h.end());
    QCOMPARE(approved, (QStringList{h[0], h[1], h[5], h[7]}));
    QCOMPARE(everything, h);
    QCOMPARE(searched.size(), 2);
    QVERIFY(searched.constLast().startsWith(QStringLiteral("20.03.2024 10:00:01|tabel_test|")));
    QCOMPARE(book.rows.size(), 3);
    QCOMPARE(book.rows.at(0), titles);
    for (int r = 0; r < 2; ++r) {
        // "Когда" a date-time, for the filter to sort by; the rest as shown.
        const QJsonObject when = book.cell(QStringLiteral("A%1").arg(r + 2));
        QCOMPARE(when[QStringLiteral("type")].toString(), QStringLiteral("d"));
        QCOMPARE(when[QStringLiteral("format")].toString(), QStringLiteral("dd.mm.yyyy hh:mm:ss"));
        QCOMPARE(QDateTime::fromString(when[QStringLiteral("value")].toString(), QStringLiteral("yyyy-MM-dd hh:mm:ss"))
                     .toString(QStringLiteral("dd.MM.yyyy hh:mm:ss")),
                 searched.at(r).section(QLatin1Char('|'), 0, 0));
        QCOMPARE(book.rows.at(r + 1).mid(1).join(QLatin1Char('|')), searched.at(r).section(QLatin1Char('|'), 1));
    }
    QCOMPARE(tableFaults(book, 1, int(titles.size()), 3), QStringList());
}

void TestHistory::aFullSheetGoesOnOnTheNextSheet()
{
    // Sheets of three rows: the March's eight records on four sheets of two, each under the
    // titles again, in their order, each a table of its own.
    using namespace change_history;
    const QList<Record> records = periodChanges(m_data->db.db(), QDate(2024, 3, 20), QDate(2024, 3, 21), Scope::Everything);
    QCOMPARE(records.size(), 8);
    QCOMPARE(writeHistorySheet(records, *m_excel, {}, 3), 1);
    QCOMPARE(m_excel->SetExcelVisible(true), 1);
    QCOMPARE(m_opener.opened.size(), 1);
    QStringList names, whats;
    QStringList titles;
    for (int sheet = 0; sheet < 4; ++sheet) {
        Workbook book;
        QVERIFY(readWorkbook(m_opener.opened.constFirst(), &book, sheet));
        names = book.sheets;
        if (titles.isEmpty()) titles = book.rows.value(0);
        QCOMPARE(book.rows.value(0), titles);
        QCOMPARE(book.rows.size(), 3);
        QCOMPARE(tableFaults(book, 1, int(titles.size()), 3), QStringList());
        for (const QStringList& row : book.rows.mid(1)) whats << row.mid(3, 4).join(QLatin1Char('|'));
    }
    QCOMPARE(names, (QStringList{"История", "История (2)", "История (3)", "История (4)"}));
    QCOMPARE(titles.value(0), QStringLiteral("Когда"));
    QStringList expected;
    for (const QString& h : entries_fixture::historyOfMarchShown()) expected << h.section(QLatin1Char('|'), 0, 3);
    QCOMPARE(whats, expected);
}

QTEST_MAIN(TestHistory)
#include "tst_history.moc"
