#include "data/access.h"
#include "data/data_module.h"
#include "export/excel_export.h"
#include "reports/engine/report_engine.h"
#include "reports/report_window.h"
#include "reports/reports_hub.h"
#include "ui/job_progress.h"
#include "tests/reports/report_fixture.h"
#include "tests/support/modal.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/test_database.h"

#include <QDateEdit>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include "ui/window_memory.h"

namespace {

const QStringList kHeadings = {"Наименование", "Операция", "Вид продукции", "Коробки", "Кол-во"};

} // namespace

class TestReportsHub : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();
    void theLastPeriodComesBackNextRun();

    void menuOpensOnThePreviousMonth_data();
    void menuOpensOnThePreviousMonth();
    void buttonsPreviewTheirReports_data();
    void buttonsPreviewTheirReports();
    void blanksLeaveOnlyBlanksInThePreview();
    void spreadsheet_data();
    void spreadsheet();
    void roleLimits_data();
    void roleLimits();

private:
    /// The sheet the hub's "Excel" writes for the period and product kind.
    QList<QStringList> hubSheet(const QDate& from, const QDate& to, int kind, QString* caption = nullptr);

    TestDatabase* m_db = nullptr;
    ScriptedPrompts m_prompts;
    TDataModule6* m_dm = nullptr;
    QTemporaryDir m_tmp;
    RecordingOpener m_opener;
    ExcelApp* m_excel = nullptr;
    TForm18* m_form = nullptr;
};

void TestReportsHub::initTestCase()
{
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    QVERIFY(m_tmp.isValid());
    m_db = new TestDatabase(QStringLiteral("reports_hub"));
    loadReportFixture(*m_db);
    // A product in colour 3 beside the fixture's primer (1) and RAL 7035.
    m_db->exec(QStringLiteral("insert into accounts_dep.smena (data, smena, w_id, i_id, o_id, cena, kol_vo, brak, color, time, ok)"
                              " values ('2024-03-15', 1, 1, 10002, 2, 20, 1, 0, 3, 1, 'ok')"));
    m_dm = new TDataModule6(m_db->db(), m_prompts);
    m_excel = new ExcelApp(m_prompts, m_opener, m_tmp.path());
}

void TestReportsHub::cleanupTestCase()
{
    delete m_excel;
    delete m_dm;
    delete m_db;
}

void TestReportsHub::init() { m_form = new TForm18(*m_dm, *m_excel); }

void TestReportsHub::cleanup()
{
    delete m_form;
    QVERIFY(noWindowsLeftOpen());
    QVERIFY2(m_prompts.said().isEmpty(), qPrintable(m_prompts.texts().join(QLatin1Char('\n'))));
    m_prompts.clear();
}

void TestReportsHub::menuOpensOnThePreviousMonth_data()
{
    QTest::addColumn<QDate>("today");
    QTest::addColumn<QDate>("from");
    QTest::addColumn<QDate>("to");
    QTest::newRow("January") << QDate(2024, 1, 15) << QDate(2023, 12, 1) << QDate(2024, 1, 1);
    QTest::newRow("the first of March") << QDate(2024, 3, 1) << QDate(2024, 2, 1) << QDate(2024, 3, 1);
    QTest::newRow("the last of December") << QDate(2023, 12, 31) << QDate(2023, 11, 1) << QDate(2023, 12, 1);
}

void TestReportsHub::menuOpensOnThePreviousMonth()
{
    QFETCH(QDate, today);
    QFETCH(QDate, from);
    QFETCH(QDate, to);
    m_form->DTPicker1->setDate(QDate(2000, 1, 1));
    QString caption;
    QDate shownFrom, shownTo;
    whenModal([&](QWidget* w) {
        caption = w->windowTitle();
        shownFrom = m_form->DTPicker1->date();
        shownTo = m_form->DTPicker2->date();
        QTest::keyClick(w, Qt::Key_Escape);
    });
    m_form->openFromMenu(today);
    QCOMPARE(caption, QStringLiteral("Отчеты (8)"));
    QCOMPARE(shownFrom, from);
    QCOMPARE(shownTo, to);
}

void TestReportsHub::theLastPeriodComesBackNextRun()
{
    // In the program (a WindowMemory at work) the period of the last report made comes back,
    // also in the next run; before any report, the previous month.
    QTemporaryDir home;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, home.path());
    const auto shown = [this] {
        QDate from, to;
        whenModal([&](QWidget* w) {
            from = m_form->DTPicker1->date();
            to = m_form->DTPicker2->date();
            QTest::keyClick(w, Qt::Key_Escape);
        });
        m_form->openFromMenu(QDate(2024, 6, 10));
        return std::pair{from, to};
    };
    auto memory = std::make_unique<WindowMemory>();
    QCOMPARE(shown(), std::pair(QDate(2024, 5, 1), QDate(2024, 6, 1)));
    whenModal([&](QWidget* hub) {
        m_form->DTPicker1->setDate(QDate(2024, 3, 1));
        m_form->DTPicker2->setDate(QDate(2024, 4, 1));
        whenModal([hub](QWidget* preview) {
            preview->close();
            hub->close();
        });
        QTest::mouseClick(m_form->Button2, Qt::LeftButton);
    });
    m_form->openFromMenu(QDate(2024, 6, 10));
    memory.reset();   // the next run
    memory = std::make_unique<WindowMemory>();
    QCOMPARE(shown(), std::pair(QDate(2024, 3, 1), QDate(2024, 4, 1)));
    memory.reset();   // tests keep nothing
    QCOMPARE(shown(), std::pair(QDate(2024, 5, 1), QDate(2024, 6, 1)));
}

void TestReportsHub::buttonsPreviewTheirReports_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("title");
    QTest::newRow("Button2") << "Button2" << "Form17" << "Отчет по продукции за период с 01.03.2024 по 01.04.2024";
    QTest::newRow("Button4") << "Button4" << "Form16" << "Отчет по рабочим за период с 01.03.2024 по 01.04.2024";
    QTest::newRow("Button1") << "Button1" << "Form20" << "Детальный отчет по рабочим за период с 01.03.2024 по 01.04.2024";
    QTest::newRow("Button3") << "Button3" << "Form21" << "Детальный отчет по продукции за период с 01.03.2024 по 01.04.2024";
}

void TestReportsHub::buttonsPreviewTheirReports()
{
    QFETCH(QString, button);
    QFETCH(QString, window);
    QFETCH(QString, title);
    QString previewTitle;
    // The user opens the hub from the menu, picks March and presses the report's button.
    whenModal([&](QWidget* hub) {
        m_form->DTPicker1->setDate(QDate(2024, 3, 1));
        m_form->DTPicker2->setDate(QDate(2024, 4, 1));
        // The preview comes once the rows are read in the background, after the click returns.
        whenModal([&previewTitle, hub](QWidget* preview) {
            previewTitle = preview->windowTitle();
            preview->close();
            hub->close();
        });
        QTest::mouseClick(hub->findChild<QPushButton*>(button), Qt::LeftButton);
    });
    m_form->openFromMenu(QDate(2024, 6, 10));
    QCOMPARE(previewTitle, QStringLiteral("Предварительный просмотр: ") + title);
    ReportWindow* report = m_form->reportWindow(window);
    QVERIFY(report);
    // The title label keeps the three leading blanks; the query is closed with the preview.
    QVERIFY(report->document().texts(0).contains(QStringLiteral("   ") + title));
    QVERIFY(!report->reportQuery().isOpen());
}

void TestReportsHub::blanksLeaveOnlyBlanksInThePreview()
{
    m_form->DTPicker1->setDate(QDate(2024, 3, 1));
    m_form->DTPicker2->setDate(QDate(2024, 4, 1));
    m_form->setProductKind(2);
    for (const QString button : {"Button2", "Button3"}) {
        whenModal([](QWidget* preview) { preview->close(); });
        m_form->findChild<QPushButton*>(button)->click();
        QVERIFY(m_form->work()->wait());
        const ReportDocument& doc = m_form->reportWindow(button == QLatin1String("Button2") ? "Form17" : "Form21")->document();
        QStringList texts;
        for (int p = 0; p < doc.pageCount(); ++p) texts += doc.texts(p);
        QVERIFY2(texts.contains(QStringLiteral("Заготовки")), qPrintable(button));
        QVERIFY2(!texts.contains(QStringLiteral("Готовая продукция")), qPrintable(button));
    }
}

QList<QStringList> TestReportsHub::hubSheet(const QDate& from, const QDate& to, int kind, QString* caption)
{
    m_form->DTPicker1->setDate(from);
    m_form->DTPicker2->setDate(to);
    m_form->setProductKind(kind);
    m_opener.opened.clear();
    QTest::mouseClick(m_form->Button6, Qt::LeftButton);
    if (!m_form->work()->wait()) return {};
    if (caption) *caption = m_form->Button6->text();
    if (m_opener.opened.size() != 1) return {};
    return readSheet(m_opener.opened.constFirst());
}

void TestReportsHub::spreadsheet_data()
{
    QTest::addColumn<QDate>("from");
    QTest::addColumn<QDate>("to");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QList<QStringList>>("rows");
    const QStringList blanks = {"Ворота", "Сварка", "Заготовки", "6", "4"};
    // The entry of 1 March is in, the one of 1 April is not (it would make 109 of the 9).
    const QList<QStringList> finished = {
        {"Двери", "Покраска (грунт)", "Готовая продукция", "10", "5"},
        {"Двери", "Покраска (цвет: 3)", "Готовая продукция", "2", "1"},
        {"Двери", "Покраска (цвет: 7035)", "Готовая продукция", "6", "3"},
        {"Двери", "Сварка", "Готовая продукция", "1", "2"},
        {"Двери", "Сварка", "Готовая продукция", "4.5", "9"},
    };
    const QDate march(2024, 3, 1), april(2024, 4, 1);
    QTest::newRow("Все") << march << april << 0 << (QList<QStringList>{kHeadings, blanks} + finished);
    QTest::newRow("Готовая продукция") << march << april << 1 << (QList<QStringList>{kHeadings} + finished);
    QTest::newRow("Заготовки") << march << april << 2 << QList<QStringList>{kHeadings, blanks};
    QTest::newRow("a period without entries") << QDate(2020, 1, 1) << QDate(2020, 2, 1) << 0 << QList<QStringList>{kHeadings};
}

void TestReportsHub::spreadsheet()
{
    QFETCH(QDate, from);
    QFETCH(QDate, to);
    QFETCH(int, kind);
    QFETCH(QList<QStringList>, rows);
    QString caption;
    QList<QStringList> sheet = hubSheet(from, to, kind, &caption);
    QVERIFY(!sheet.isEmpty());
    // Products come in name order; rows of one product in no set order.
    std::sort(sheet.begin() + 1, sheet.end());
    QCOMPARE(sheet, rows);
    const int n = int(rows.size()) - 1;
    QCOMPARE(caption, QStringLiteral("Excel (%1 из %1)").arg(n));
    QVERIFY(!m_form->XLS_Rep.isOpen());
    // Ready to use: the headings bold and frozen, a filter over the rows, widths that fit.
    Workbook book;
    QVERIFY(readWorkbook(m_opener.opened.constFirst(), &book));
    QCOMPARE(tableFaults(book, 1, 5, n + 1), QStringList());
}

void TestReportsHub::roleLimits_data()
{
    using access_rights::Role;
    QTest::addColumn<int>("role");
    QTest::addColumn<QStringList>("disabled");
    QTest::addColumn<int>("kind");
    QTest::newRow("full access") << int(Role::Full) << QStringList{} << 2;
    QTest::newRow("planner") << int(Role::Planner) << QStringList{} << 2;
    QTest::newRow("foremen") << int(Role::Foremen) << QStringList{"Button1", "Button2", "Button4", "Button6"} << 2;
    QTest::newRow("warehouse") << int(Role::Warehouse) << QStringList{"Button1", "Button2", "Button4", "Button6", "RadioGroup1"} << 1;
}

void TestReportsHub::roleLimits()
{
    QFETCH(int, role);
    QFETCH(QStringList, disabled);
    QFETCH(int, kind);
    QStringList table = access_rights::disabledControls(access_rights::Role(role), QStringLiteral("Form18"));
    table.sort();
    QCOMPARE(table, disabled);
    // Every control the table names is one of the hub's.
    for (const QString& name : table) QVERIFY2(m_form->findChild<QWidget*>(name), qPrintable(name));
    // The warehouse is held to finished products; the others keep what they chose.
    m_form->setProductKind(2);
    m_form->holdToRole(access_rights::Role(role));
    QCOMPARE(m_form->productKind(), kind);
    // A report read in the background locks the hub's controls while it runs and gives back
    // only those it took: what the role disabled stays disabled.
    for (const QString& name : table) m_form->findChild<QWidget*>(name)->setEnabled(false);
    whenModal([](QWidget* preview) { preview->close(); });
    m_form->Button3->click();
    QVERIFY(!m_form->Button3->isEnabled());
    QVERIFY(m_form->work()->wait());
    QVERIFY(m_form->Button3->isEnabled());
    for (const QString& name : table) QVERIFY2(!m_form->findChild<QWidget*>(name)->isEnabled(), qPrintable(name));
}

QTEST_MAIN(TestReportsHub)
#include "tst_reports_hub.moc"
