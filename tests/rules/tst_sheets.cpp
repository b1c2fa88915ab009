// The sheets' rows and totals and the periods of the sheet and report statements, without a
// window, against the test server.
#include "data/dataset.h"
#include "data/formats.h"
#include "rules/month_rebuild.h"
#include "rules/sheet_rows.h"
#include "rules/sheet_statements.h"
#include "tests/support/sheet_fixtures.h"
#include "tests/support/test_database.h"

#include <QLocale>
#include <QTest>

namespace {

/// Day cells as "day=hours" with a blank between, the empty days left out.
QString daysText(const sheet_rows::DayHours& days)
{
    QStringList cells;
    for (int d = 1; d <= 31; ++d)
        if (days[d - 1]) cells << QStringLiteral("%1=%2").arg(d).arg(*days[d - 1]);
    return cells.join(QLatin1Char(' '));
}

} // namespace

class TestSheets : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void timeTimesheetRows();
    void pieceworkRows_data();
    void pieceworkRows();
    void pieceworkTotals_data();
    void pieceworkTotals();
    void periodOfEveryMonthStatement_data();
    void periodOfEveryMonthStatement();
    void periodOfReportStatements();
    void outputRows_data();
    void outputRows();

private:
    TestDatabase* m_db = nullptr;        // the timesheets' month
    TestDatabase* m_reports = nullptr;   // the reports' department
};

void TestSheets::initTestCase()
{
    QLocale::setDefault(QLocale::c());
    m_db = new TestDatabase(QStringLiteral("sheets"));
    m_reports = new TestDatabase(QStringLiteral("sheets_reports"), QStringLiteral("reports"));
    loadReportFixture(*m_reports);
}

void TestSheets::cleanupTestCase()
{
    delete m_reports;
    m_reports = nullptr;
    delete m_db;
    m_db = nullptr;
}

void TestSheets::init() { m_db->exec(QString::fromUtf8(sheet_fixtures::kTimesheetMonth)); }

// --- the rows of the sheets

void TestSheets::timeTimesheetRows()
{
    // All of a worker's timesheet rows summed by day: Иванов's shifts 1 and 2 and his utility
    // works by day and by night; Петров's shifts 1 and 4 and his average piecework.
    month_rebuild::shiftRows(m_db->db(), 3, 2024);
    month_rebuild::hourRows(m_db->db(), 3, 2024);
    QStringList actual;
    for (const sheet_rows::TimeTimesheetRow& row : sheet_rows::timeTimesheet(m_db->db(), 3, 2024))
        actual << QStringLiteral("%1: %2 = %3").arg(row.fio, daysText(row.days)).arg(row.total);
    QCOMPARE(actual, (QStringList{"Иванов И.И.: 1=15 2=8 4=8 5=6 31=5 = 42", "Петров П.П.: 2=5 9=4 15=4 20=3 = 16",
                                  "Сидоров С.С.: 29=12 = 12"}));
    QVERIFY(sheet_rows::timeTimesheet(m_db->db(), 1, 2020).isEmpty());
}

void TestSheets::pieceworkRows_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("month");
    QTest::addColumn<QString>("fio");
    QTest::addColumn<QString>("night");
    QTest::addColumn<QString>("days");
    QTest::addColumn<QString>("hours");
    QTest::addColumn<QString>("earnings");
    QTest::addColumn<QString>("rate");   // empty where the sheet has none
    using namespace piecework_mode;
    // Иванов: 31 h of journal entries at 10 × 10 pieces each, 500 in all.
    QTest::newRow("piecework") << kPiecework << 3 << "Иванов И.И." << "" << "1=10 2=8 4=8 31=5" << "31" << "500" << "16.13";
    // Петров: two entries without hours count for money, not for hours.
    QTest::newRow("piecework, entries without hours") << kPiecework << 3 << "Петров П.П." << "" << "15=4 20=3" << "7" << "400"
                                                      << "57.14";
    QTest::newRow("piecework, February") << kPiecework << 2 << "Иванов И.И." << "" << "29=6" << "6" << "100" << "16.67";
    QTest::newRow("utility works, day") << kUtilityWorks << 3 << "Иванов И.И." << "дн." << "1=5" << "5" << "500" << "100";
    QTest::newRow("utility works, night") << kUtilityWorks << 3 << "Иванов И.И." << "ноч." << "5=6" << "6" << "900" << "150";
    QTest::newRow("average piecework, day") << kAveragePiecework << 3 << "Петров П.П." << "дн." << "2=5" << "5" << "600" << "120";
    QTest::newRow("average piecework, night") << kAveragePiecework << 3 << "Петров П.П." << "ноч." << "9=4" << "4" << "520"
                                              << "130";
    QTest::newRow("general") << kGeneral << 3 << "Иванов И.И." << "" << "1=15 2=8 4=8 5=6 31=5" << "42" << "1900" << "";
}

void TestSheets::pieceworkRows()
{
    QFETCH(int, mode);
    QFETCH(int, month);
    QFETCH(QString, fio);
    QFETCH(QString, night);
    QFETCH(QString, days);
    QFETCH(QString, hours);
    QFETCH(QString, earnings);
    QFETCH(QString, rate);
    month_rebuild::shiftRows(m_db->db(), month, 2024);
    month_rebuild::hourRows(m_db->db(), month, 2024);
    const QList<sheet_rows::PieceworkRow> rows = sheet_rows::pieceworkTimesheet(m_db->db(), mode, month, 2024);
    const auto row = std::find_if(rows.begin(), rows.end(), [&](const sheet_rows::PieceworkRow& r) {
        return r.fio == fio && r.night == night;
    });
    QVERIFY(row != rows.end());
    QCOMPARE(daysText(row->days), days);
    QCOMPARE(sheet_rows::shown(row->hours), hours);
    QCOMPARE(sheet_rows::shown(row->earnings), earnings);
    QCOMPARE(row->earnings.value_or(Money()), *Money::parse(earnings));
    QCOMPARE(sheet_rows::shown(row->rate), rate);
    for (const sheet_rows::PieceworkRow& r : rows) {
        QCOMPARE(r.night.isEmpty(), !piecework_mode::hasDayNight(mode));
        QCOMPARE(r.rate.has_value(), piecework_mode::hasRate(mode));
    }
}

void TestSheets::pieceworkTotals_data()
{
    QTest::addColumn<QString>("entries");   // statements run before
    QTest::addColumn<int>("month");
    QTest::addColumn<QStringList>("totals");   // average piecework, utility works, piecework, all
    QTest::newRow("March") << "" << 3 << QStringList{"1120", "1400", "1000", "3520"};
    QTest::newRow("April: one journal entry, hour entries of one kind") << "" << 4 << QStringList{"", "800", "100", "900"};
    QTest::newRow("a month without entries: only the total, 0") << "" << 1 << QStringList{"", "", "", "0"};
    // The amount keeps its digits up to the shown 15: a half at the 16th goes up, as a decimal
    // does, where the nearest binary fraction lies below the half; the total of all as well.
    QTest::newRow("a total of 16 digits")
        << "insert into accounts_dep.fatigue (id_p, id_o, i_night, d_date, i_mnth, i_year, cnt, price) values "
           "(1, 7777, 0, '2024-05-02', 5, 2024, 1000, 12345678901.2344), (1, 7777, 0, '2024-05-03', 5, 2024, 1, 0.05)"
        << 5 << QStringList{"", "12345678901234.5", "", "12345678901234.5"};
}

void TestSheets::pieceworkTotals()
{
    QFETCH(QString, entries);
    QFETCH(int, month);
    QFETCH(QStringList, totals);
    if (!entries.isEmpty()) m_db->exec(entries);
    const sheet_rows::PieceworkTotals t = sheet_rows::pieceworkTotals(m_db->db(), month, 2024);
    const QStringList actual{sheet_rows::shown(t.averagePiecework), sheet_rows::shown(t.utilityWorks),
                             sheet_rows::shown(t.piecework), sheet_rows::shown(t.all)};
    QCOMPARE(actual, totals);
}

void TestSheets::periodOfEveryMonthStatement_data()
{
    QTest::addColumn<QString>("statement");
    using namespace piecework_mode;
    QTest::newRow("piecework") << statement(kPiecework);
    QTest::newRow("utility works") << statement(kUtilityWorks);
    QTest::newRow("average piecework") << statement(kAveragePiecework);
    QTest::newRow("general") << statement(kGeneral);
    QTest::newRow("the totals") << sheet_statements::kTotals;
}

void TestSheets::periodOfEveryMonthStatement()
{
    // December: every period ends on the first day of January of the next year.
    QFETCH(QString, statement);
    Dataset query(m_db->db(), statement);
    piecework_mode::setPeriod(query, 12, 2024);
    int dates = 0;
    for (int n = 1; n <= 8; ++n) {
        const QString name = QStringLiteral("d_date%1").arg(n);
        if (!query.hasParameter(name)) continue;
        QCOMPARE(query.param(name).toDate(), n % 2 ? QDate(2025, 1, 1) : QDate(2024, 12, 1));
        ++dates;
    }
    QVERIFY(dates >= 2);
    if (query.hasParameter(QStringLiteral("i_month"))) {
        QCOMPARE(query.param(QStringLiteral("i_month")).toInt(), 12);
        QCOMPARE(query.param(QStringLiteral("i_year")).toInt(), 2024);
    }
    query.open();   // every parameter is given
}

void TestSheets::periodOfReportStatements()
{
    const QDate from(2024, 3, 1), to(2024, 4, 1);
    for (const QString* text : {&sheet_statements::kWorkerReport, &sheet_statements::kProductReport,
                                &sheet_statements::kWorkerDetailedReport, &sheet_statements::kProductDetailedReport,
                                &sheet_statements::kXlsRep}) {
        Dataset query(m_db->db(), *text);
        sheet_statements::setPeriod(query, from, to);
        int n = 1;
        for (; query.hasParameter(QStringLiteral("data%1").arg(n)); ++n)
            QCOMPARE(query.param(QStringLiteral("data%1").arg(n)).toDate(), n % 2 ? from : to);
        QVERIFY(n > 2);
        query.open();   // every parameter is given
    }
}

void TestSheets::outputRows_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QStringList>("rows");
    const QString blanks = "Ворота | Сварка | Заготовки | 6 | 4";
    // The entry of 1 March is in, the one of 1 April is not.
    const QStringList finished = {
        "Двери | Покраска (грунт) | Готовая продукция | 10 | 5",
        "Двери | Покраска (цвет: 7035) | Готовая продукция | 6 | 3",
        "Двери | Сварка | Готовая продукция | 1 | 2",
        "Двери | Сварка | Готовая продукция | 4.5 | 9",
    };
    QTest::newRow("all") << 0 << (QStringList{blanks} + finished);
    QTest::newRow("finished products") << 1 << finished;
    QTest::newRow("blanks") << 2 << QStringList{blanks};
}

void TestSheets::outputRows()
{
    QFETCH(int, kind);
    QFETCH(QStringList, rows);
    Dataset XLS_Rep(m_reports->db(), sheet_statements::kXlsRep);
    ReportRequest request;
    request.from = QDate(2024, 3, 1);
    request.to = QDate(2024, 4, 1);
    request.productKind = kind;
    QStringList actual;
    for (const sheet_rows::OutputRow& r : sheet_rows::output(XLS_Rep, request))
        actual << QStringList{r.nom, r.operation, r.productKind, formats::general(r.mass), QString::number(r.quantity)}.join(" | ");
    actual.sort();   // products come in name order; rows of one product in no set order
    QCOMPARE(actual, rows);
    QVERIFY(!XLS_Rep.isOpen());
}

QTEST_GUILESS_MAIN(TestSheets)
#include "tst_sheets.moc"
