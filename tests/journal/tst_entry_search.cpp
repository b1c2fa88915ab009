// "Найти записи…": the journal entries of a period holding a text, what the journal's shifts
// leave out left out, their count and sums and workbook, and the way back to one in the journal.
#include "export/excel_export.h"
#include "journal/entry_search_window.h"
#include "journal/journal_window.h"
#include "tests/journal/journal_fixture.h"
#include "tests/support/entries_fixture.h"
#include "tests/support/modal.h"
#include "tests/support/recording_opener.h"
#include "tests/support/workbook_reader.h"
#include "ui/data_grid.h"
#include "ui/job_progress.h"

#include <QAction>
#include <QApplication>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

using entries_fixture::kFriday;

namespace {

/// The ids of the entries the grid shows, in its order.
QList<int> shownIds(const TForm34& window)
{
    QList<int> ids;
    for (int r = 0; r < window.Found.recordCount(); ++r) ids << int(Dataset::toLongLong(window.Found.valueAt(r, QStringLiteral("id"))));
    return ids;
}

} // namespace

class TestEntrySearch : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void findsByEachField_data();
    void findsByEachField();
    void leavesOutWhatTheJournalLeavesOut_data();
    void leavesOutWhatTheJournalLeavesOut();
    void goesToTheEntryInTheJournal_data();
    void goesToTheEntryInTheJournal();
    void countsSumsAndWritesTheRowsShown();

private:
    /// Opens the window from the journal by its shortcut, types the text, searches with Enter and
    /// runs the check on what it found; the window is closed afterwards unless the check did.
    void search(const QString& text, const std::function<void()>& check);

    JournalTestData* m_data = nullptr;
    TestDatabase* m_db = nullptr;
    ScriptedPrompts m_prompts;
    QTemporaryDir m_folder;
    RecordingOpener m_opener;
    ExcelApp* m_excel = nullptr;
    TForm1* m_journal = nullptr;
    TForm34* m_window = nullptr;
};

void TestEntrySearch::initTestCase()
{
    m_data = new JournalTestData(QStringLiteral("entry_search"), m_prompts);
    m_db = &m_data->db;
    m_excel = new ExcelApp(m_prompts, m_opener, m_folder.path());
    // Workers 1 Иванов and 2 Петров by id, Сидоров known to the journal only by his code 3;
    // ДМ-1 and four marks with a % or a _ or what those would stand for; welding and painting.
    entries_fixture::journalBooks(*m_db);
    m_db->exec(QStringLiteral(R"(
        insert into cmn_contractor.person (id, s_caption, s_code) values (50, 'Сидоров С.С.', ' 003 ');
        insert into cmn_gds_and_srv.gds_and_srv (id, s_caption) values
          (10002, 'Шкаф 100%'), (10003, 'Шкаф 1000'), (10004, 'Ящик_2'), (10005, 'Ящик-2');
        insert into accounts_dep.oper (id, vid, naimen, i_id) values (3, 1, 0, 10002), (4, 1, 0, 10003), (5, 1, 0, 10004), (6, 1, 0, 10005);
        insert into accounts_dep.smena (id, data, smena, w_id, i_id, o_id, cena, kol_vo, brak, color, time, ok, vvod) values
          (1, '2024-03-15', 1, 1, 10001, 1, 10, 10, 0, 0, 8, 'ok', '2024-03-15 08:30:00'),
          (2, '2024-03-15', 2, 2, 10001, 2, 12, 5, 1, 17, 4, 'ok', '2024-03-15'),
          (3, '2024-03-18', 4, 3, 10002, 3, 2.5, 4, 0, 0, 2, 'no', '2024-03-18'),
          (4, '2024-03-18', 3, 1, 10003, 4, 1, 3, 0, 0, 8, 'no', '2024-03-18'),
          (5, '2024-03-20', 1, 2, 10004, 5, 3.333, 2, 0, 0, 4, 'no', '2024-03-20'),
          (6, '2024-03-20', 1, 2, 10005, 6, 0.005, 1, 0, 0, 4, 'no', '2024-03-20'),
          (7, '2024-04-01', 1, 1, 10001, 1, 10, 10, 0, 0, 8, 'no', '2024-04-01'),
          (8, '2024-03-05', 1, 1, 10001, 2, 12, 1, 0, 7, 1, 'ok', '2024-03-05');
    )"));
}

void TestEntrySearch::cleanupTestCase()
{
    delete m_excel;
    delete m_data;
}

void TestEntrySearch::init()
{
    m_prompts.clear();
    m_opener.opened.clear();
    m_journal = new TForm1(m_data->dm);
    m_journal->today = [] { return kFriday; };
    m_window = new TForm34(m_data->dm, *m_excel, m_journal->DBGrid2->gridModel()->columns(), m_journal);
    m_journal->Form34 = m_window;
    m_journal->FindEntriesAction->setEnabled(true);   // as the client's windows wire it
    m_journal->show();
    QVERIFY(QTest::qWaitForWindowActive(m_journal));
}

void TestEntrySearch::cleanup()
{
    for (int shift = 1; shift <= 4; ++shift) m_data->dm.smenaQuery(shift).setParam(QStringLiteral("ok"), QStringLiteral("ta"));
    QVERIFY2(m_prompts.nothingUnexpected(), qPrintable(m_prompts.unseenErrors().join(QStringLiteral("; "))));
    delete m_journal;   // the window with it
    m_journal = nullptr;
    m_window = nullptr;
    QVERIFY(noWindowsLeftOpen());
}

void TestEntrySearch::search(const QString& text, const std::function<void()>& check)
{
    whenModal([&](QWidget* modal) {
        const auto close = qScopeGuard([this] { if (m_window->isVisible()) m_window->reject(); });
        QCOMPARE(modal, m_window);
        QTRY_COMPARE(QApplication::activeWindow(), m_window);
        QCOMPARE(QApplication::focusWidget(), m_window->TextEdit);
        type(m_window->TextEdit, text);
        QTest::keyClick(m_window->TextEdit, Qt::Key_Return);
        QVERIFY(m_window->work()->wait());
        check();
    });
    QTest::keyClick(m_journal->DBGrid2, Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
}

void TestEntrySearch::findsByEachField_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QList<int>>("ids");   // by date, shift, name
    QTest::newRow("a worker, letter case aside") << "иванов" << QList<int>{8, 1, 4};
    QTest::newRow("a worker the journal knows by code") << "СИДОР" << QList<int>{3};
    QTest::newRow("a product, blanks around the text") << " дм-1 " << QList<int>{8, 1, 2};
    QTest::newRow("an operation") << "краск" << QList<int>{8, 2};
    QTest::newRow("a colour") << "7" << QList<int>{8, 2};
    QTest::newRow("% taken literally") << "100%" << QList<int>{3};
    QTest::newRow("_ taken literally") << "к_2" << QList<int>{5};
    QTest::newRow("\\ taken literally") << "\\" << QList<int>{};
    QTest::newRow("nothing") << "Кузнецов" << QList<int>{};
}

void TestEntrySearch::findsByEachField()
{
    QFETCH(QString, text);
    QFETCH(QList<int>, ids);
    search(text, [&] {
        // The month of today, to its last day: April's entry is not in it.
        QCOMPARE(fieldLabelled(m_window, QStringLiteral("С")), m_window->FromDate);
        QCOMPARE(m_window->FromDate->date(), QDate(2024, 3, 1));
        QCOMPARE(fieldLabelled(m_window, QStringLiteral("По")), m_window->ToDate);
        QCOMPARE(m_window->ToDate->date(), QDate(2024, 3, 31));
        QCOMPARE(fieldLabelled(m_window, QStringLiteral("Содержит:")), m_window->TextEdit);
        QCOMPARE(shownIds(*m_window), ids);
        // Found rows take the focus, for Enter; none leave it in the text.
        QCOMPARE(QApplication::focusWidget(), ids.isEmpty() ? static_cast<QWidget*>(m_window->TextEdit) : m_window->FoundGrid);
    });
}

void TestEntrySearch::leavesOutWhatTheJournalLeavesOut_data()
{
    QTest::addColumn<QStringList>("marks");   // the mark each shift of the journal leaves out
    QTest::addColumn<QList<int>>("ids");
    QTest::newRow("as after the login: nothing") << QStringList{"ta", "ta", "ta", "ta"} << QList<int>{8, 1, 2, 4, 3, 6, 5};
    QTest::newRow("shift 1 as the data module starts it: approved entries")
        << QStringList{"ok", "ta", "ta", "ta"} << QList<int>{2, 4, 3, 6, 5};
    QTest::newRow("shifts 2 and 3: approved and new entries") << QStringList{"ta", "ok", "no", "ta"} << QList<int>{8, 1, 3, 6, 5};
}

void TestEntrySearch::leavesOutWhatTheJournalLeavesOut()
{
    QFETCH(QStringList, marks);
    for (int shift = 1; shift <= 4; ++shift) m_data->dm.smenaQuery(shift).setParam(QStringLiteral("ok"), marks.at(shift - 1));
    // Every worker's name holds "ов": what the search finds is what the journal shows, day by
    // day and shift by shift.
    QList<int> found;
    search(QStringLiteral("ов"), [&] { found = shownIds(*m_window); });
    QList<int> journal;
    for (const QDate& day : {QDate(2024, 3, 5), kFriday, QDate(2024, 3, 18), QDate(2024, 3, 20)}) {
        m_journal->DateT->setDate(day);
        for (int shift = 1; shift <= 4; ++shift) {
            const Dataset& q = m_data->dm.smenaQuery(shift);
            for (int r = 0; r < q.recordCount(); ++r)
                if (Dataset::toText(q.valueAt(r, QStringLiteral("fio"))).contains(QStringLiteral("ов"))) journal << int(Dataset::toLongLong(q.valueAt(r, QStringLiteral("id"))));
        }
    }
    QTEST(found, "ids");
    QCOMPARE(found, journal);
}

void TestEntrySearch::goesToTheEntryInTheJournal_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("downs");
    QTest::addColumn<bool>("doubleClick");
    QTest::addColumn<int>("id");
    QTest::addColumn<QDate>("day");
    QTest::addColumn<int>("shift");
    QTest::addColumn<QString>("journalSearch");   // the text in the journal's own "Поиск:", in every shift
    QTest::addColumn<bool>("hidden");              // the entry hidden by it
    QTest::newRow("Enter on the second row") << "ящик" << 1 << false << 5 << QDate(2024, 3, 20) << 1 << "Иванов" << true;
    QTest::newRow("Enter on an overtime entry") << "сидоров" << 0 << false << 3 << QDate(2024, 3, 18) << 4 << "Сидоров" << false;
    QTest::newRow("a double click") << "дм-1" << 2 << true << 2 << kFriday << 2 << "Иванов" << true;
}

void TestEntrySearch::goesToTheEntryInTheJournal()
{
    QFETCH(QString, text);
    QFETCH(int, downs);
    QFETCH(bool, doubleClick);
    QFETCH(int, id);
    QFETCH(QDate, day);
    QFETCH(int, shift);
    QFETCH(QString, journalSearch);
    QFETCH(bool, hidden);
    // Where the journal's own search would hide the entry, it gives way.
    m_journal->SearchBox->setText(journalSearch);
    search(text, [&] {
        for (int i = 0; i < downs; ++i) QTest::keyClick(m_window->FoundGrid, Qt::Key_Down);
        if (doubleClick) doubleClickRow(m_window->FoundGrid, downs);
        else QTest::keyClick(m_window->FoundGrid, Qt::Key_Return);
        QVERIFY(!m_window->isVisible());
    });
    QCOMPARE(m_journal->DateT->date(), day);
    QCOMPARE(m_journal->CurrentShift, shift);
    QVERIFY(m_journal->findChild<QRadioButton*>(QStringLiteral("RadioButton%1").arg(shift))->isChecked());
    QCOMPARE(m_journal->SearchBox->text().isEmpty(), hidden);
    QCOMPARE(m_data->dm.smenaQuery(shift).asInt(QStringLiteral("id")), id);
    QCOMPARE(m_journal->DBGrid2->currentIndex().row(), m_data->dm.smenaQuery(shift).recNo() - 1);
    QCOMPARE(m_journal->focusWidget(), m_journal->DBGrid2);
}

void TestEntrySearch::countsSumsAndWritesTheRowsShown()
{
    // Петров's entries: 5 - 1 pieces at 12, 2 at 3.333 (6.666: 6.67), 1 at 0.005 (0.01 by the
    // half away from zero).
    QString totals, limited;
    Workbook book;
    search(QStringLiteral("петров"), [&] {
        QCOMPARE(shownIds(*m_window), QList<int>({2, 6, 5}));
        totals = m_window->TotalsLabel->text();
        // At most the rows the window shows; the totals still of all found.
        m_window->shownLimit = 2;
        m_window->TextEdit->setFocus();
        QTest::keyClick(m_window->TextEdit, Qt::Key_Return);
        QVERIFY(m_window->work()->wait());
        QCOMPARE(shownIds(*m_window), QList<int>({2, 6}));
        limited = m_window->TotalsLabel->text();
        QTest::mouseClick(m_window->ExcelButton, Qt::LeftButton);
        QCOMPARE(m_opener.opened.size(), 1);
        QVERIFY(readWorkbook(m_opener.opened.first(), &book));
    });
    QCOMPARE(totals, QStringLiteral("Записей: 3, кол-во 8, на сумму 54,68"));
    QCOMPARE(limited, QStringLiteral("Записей: 3, кол-во 8, на сумму 54,68 (показаны первые 2)"));
    const QStringList titles = {"Дата", "Смена", "Фамилия И.О.", "Марка изделия", "Операция", "Вид", "Цвет",
                                "Часы", "Кол-во", "Брак", "Итого (р.)", "OK", "Заведен"};
    QCOMPARE(book.rows.value(0), titles);
    QCOMPARE(book.rows.size(), 3);
    QStringList second = book.rows.at(1).mid(1, 11);
    for (QString& cell : second) cell = cell.trimmed();
    QCOMPARE(second, QStringList({"2", "Петров П.П.", "ДМ-1", "Покраска", "Заготовки", "17", "4", "5", "1", "48", "ok"}));
    QCOMPARE(book.rows.at(2).at(3), QStringLiteral("Ящик-2"));
    QCOMPARE(book.cell(QStringLiteral("A2"))[QStringLiteral("shown")].toString(), QStringLiteral("15.03.2024"));
    QCOMPARE(book.cell(QStringLiteral("K3"))[QStringLiteral("shown")].toString(), QStringLiteral("0.01"));
    QCOMPARE(tableFaults(book, 1, titles.size(), 3), QStringList());
}

QTEST_MAIN(TestEntrySearch)
#include "tst_entry_search.moc"
