#include "data/codes.h"
#include "data/data_module.h"
#include "data/dataset.h"
#include "reports/month_summary_charts.h"
#include "reports/month_summary_window.h"
#include "rules/month_rebuild.h"
#include "rules/month_summary.h"
#include "rules/sheet_rows.h"
#include "rules/sheet_statements.h"
#include "ui/job_progress.h"
#include "tests/reports/report_fixture.h"
#include "tests/support/gui_steps.h"
#include "tests/support/modal.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/test_database.h"

#include <QBarSet>
#include <QChartView>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSqlQuery>
#include <QStackedBarSeries>
#include <QTabWidget>
#include <QScopeGuard>
#include <QTest>

using namespace month_summary;

class TestMonthSummary : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();

    void figuresEqualTheSheets_data();
    void figuresEqualTheSheets();
    void closedMonthsReadAsTheirEntries_data();
    void closedMonthsReadAsTheirEntries();
    void largestKeepsTenAndTheRest_data();
    void largestKeepsTenAndTheRest();
    void totalsSayBothRoundingsWhereTheyDiffer_data();
    void totalsSayBothRoundingsWhereTheyDiffer();
    void windowByItsCaptions();

private:
    TestDatabase* m_db = nullptr;
    ScriptedPrompts m_prompts;
    TDataModule6* m_dm = nullptr;
};

void TestMonthSummary::initTestCase()
{
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    m_db = new TestDatabase(QStringLiteral("month_summary"));
    loadReportFixture(*m_db);
    // Beside the fixture: a price of three decimals in two workers' entries (the sheets round each
    // worker's amount), entries waiting for approval, overtime on a Saturday, a blank's entry,
    // and February's entries for the months before.
    m_db->exec(QStringLiteral(
        "insert into accounts_dep.smena (data, smena, w_id, i_id, o_id, cena, kol_vo, brak, color, time, ok) values"
        " ('2024-03-02', 4, 1, 10001, 1, 1.005, 3, 0, 0, 3, 'no'),"
        " ('2024-03-02', 4, 2, 10001, 1, 1.005, 1, 0, 0, 2, 'no'),"
        " ('2024-03-15', 3, 3, 10003, 3, 12.5, 6, 2, 0, 5, 'да'),"
        " ('2024-03-15', 1, 3, 10002, 2, 20, 2, 0, 0, 1, 'no'),"
        " ('2024-02-29', 1, 1, 10001, 1, 10, 7, 0, 0, 6, 'ok'),"
        " ('2024-02-10', 2, 2, 10002, 2, 2.345, 3, 0, 0, 7, 'ok');"
        "insert into accounts_dep.fatigue (id_nom, id_o, id_p, d_date, i_mnth, i_year, cnt, price, i_night) values"
        " (1, 7777, 2, '2024-02-12', 2, 2024, 4, 33.333, 0)"));
    // The timesheet rows in step with the entries, as a rebuild leaves them.
    for (int month : {2, 3, 4}) {
        month_rebuild::shiftRows(m_db->db(), month, 2024);
        month_rebuild::hourRows(m_db->db(), month, 2024);
    }
    m_dm = new TDataModule6(m_db->db(), m_prompts);
}

void TestMonthSummary::cleanupTestCase()
{
    delete m_dm;
    delete m_db;
}

void TestMonthSummary::cleanup()
{
    QVERIFY(noWindowsLeftOpen());
    QVERIFY2(m_prompts.said().isEmpty(), qPrintable(m_prompts.texts().join(QLatin1Char('\n'))));
    m_prompts.clear();
}

void TestMonthSummary::figuresEqualTheSheets_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("month");
    QTest::newRow("all, March (weekends, overtime)") << 0 << 3;
    QTest::newRow("finished products, as the warehouse") << 1 << 3;
    QTest::newRow("blanks") << 2 << 3;
    QTest::newRow("all, February") << 0 << 2;
    QTest::newRow("a month without entries") << 0 << 6;
}

void TestMonthSummary::figuresEqualTheSheets()
{
    QFETCH(int, kind);
    QFETCH(int, month);
    const QDate from(2024, month, 1), to = from.addMonths(1);
    const Summary s = read(m_db->db(), {month, 2024, kind});
    QCOMPARE(s.daysInMonth, from.daysInMonth());

    // The pieces and money of the product reports under the hub's product-kind filter: the
    // detailed report's rows, and the hub's workbook for the pieces.
    Dataset detailed(m_db->db(), sheet_statements::kProductDetailedReport);
    sheet_statements::setPeriod(detailed, from, to);
    sheet_statements::setProductKindFilter(detailed, kind);
    detailed.open();
    qint64 pieces = 0;
    Money money;
    QMap<QString, Money> groups, kinds;
    for (detailed.first(); !detailed.eof(); detailed.next()) {
        pieces += detailed.asInt(QStringLiteral("kolvo")) - detailed.asInt(QStringLiteral("brk"));
        const Money summa = Money::fromValue(detailed.value(QStringLiteral("summa")));
        money += summa;
        groups[detailed.asString(QStringLiteral("nom")).trimmed()] += summa;
        kinds[detailed.asString(QStringLiteral("vid")).trimmed()] += summa;
    }
    qint64 output = 0;
    for (const sheet_rows::OutputRow& r : sheet_rows::output(m_db->db(), ReportRequest{from, to, kind}))
        output += r.quantity;
    qint64 ourPieces = 0;
    Money ourMoney;
    for (const DayShift& d : s.days) {
        ourPieces += d.pieces;
        ourMoney += d.amount;
    }
    QCOMPARE(ourPieces, pieces);
    QCOMPARE(ourPieces, output);
    QVERIFY2(ourMoney == money, qPrintable(ourMoney.toString() + " / " + money.toString()));
    const auto sameShares = [](const QList<Share>& ours, const QMap<QString, Money>& theirs) {
        QCOMPARE(ours.size(), theirs.size());
        for (const Share& sh : ours) QVERIFY2(theirs.value(sh.name) == sh.amount, qPrintable(sh.name));
        for (qsizetype i = 1; i < ours.size(); ++i) QVERIFY(ours.at(i - 1).amount >= ours.at(i).amount);
    };
    sameShares(s.groups, groups);
    sameShares(s.kinds, kinds);

    // The journal's entries and approval marks by shift, as its shift grids show them.
    for (int shift = 1; shift <= kShifts; ++shift) {
        int entries = 0, approved = 0;
        Dataset& grid = m_dm->smenaQuery(shift);
        for (QDate day = from; day < to; day = day.addDays(1)) {
            grid.close();
            grid.setParam(QStringLiteral("data"), day);
            grid.setParam(QStringLiteral("OK"), codes::kMarkNone);
            grid.open();
            for (grid.first(); !grid.eof(); grid.next()) {
                if (kind != 0 && grid.asInt(QStringLiteral("naimen")) != kind - 1) continue;
                ++entries;
                approved += codes::isApproved(grid.asString(QStringLiteral("ok")));
            }
        }
        grid.close();
        int ourEntries = 0, ourApproved = 0;
        for (const DayShift& d : s.days) {
            if (d.shift != shift) continue;
            ourEntries += d.entries;
            ourApproved += d.approved;
        }
        QCOMPARE(ourEntries, entries);
        QCOMPARE(ourApproved, approved);
    }

    // The twelve months end on this one, each as the piecework sheets reckon it.
    QCOMPARE(s.months.size(), 12);
    QCOMPARE(s.thisMonth().month, month);
    QCOMPARE(s.months.first().month, from.addMonths(-11).month());
    if (kind != 0) {
        QVERIFY(s.hourDays.isEmpty());
        for (const MonthFigure& m : s.months) QVERIFY(m.hourPaid.isZero());
        return;
    }
    for (const MonthFigure& m : s.months) {
        const sheet_rows::PieceworkTotals totals = sheet_rows::pieceworkTotals(m_db->db(), m.month, m.year);
        QVERIFY2(m.piecework == totals.piecework.value_or(Money()), qPrintable(m.piecework.toString()));
        QVERIFY(m.hourPaid == totals.utilityWorks.value_or(Money()) + totals.averagePiecework.value_or(Money()));
        qint64 hours = 0;
        for (const sheet_rows::PieceworkRow& r : sheet_rows::pieceworkTimesheet(m_db->db(), piecework_mode::kGeneral, m.month, m.year))
            hours += r.hours.value_or(0);
        QCOMPARE(m.hours, hours);
    }
    // Each day's hours as the piecework and the hour sheets' day columns have them.
    const auto sheetDays = [&](std::initializer_list<int> modes) {
        std::array<qint64, 31> days{};
        for (int mode : modes)
            for (const sheet_rows::PieceworkRow& r : sheet_rows::pieceworkTimesheet(m_db->db(), mode, month, 2024))
                for (int d = 0; d < 31; ++d) days[size_t(d)] += r.days[size_t(d)].value_or(0);
        return days;
    };
    const std::array<qint64, 31> piecework = sheetDays({piecework_mode::kPiecework});
    const std::array<qint64, 31> hourPaid = sheetDays({piecework_mode::kUtilityWorks, piecework_mode::kAveragePiecework});
    std::array<qint64, 31> ourPiecework{}, ourHourPaid{};
    for (const DayShift& d : s.days) ourPiecework[size_t(d.day - 1)] += d.hours;
    for (const HourDay& h : s.hourDays) ourHourPaid[size_t(h.day - 1)] += h.hours;
    QCOMPARE(ourPiecework, piecework);
    QCOMPARE(ourHourPaid, hourPaid);
}

// What happens after February and March are closed (their figures kept): an operation of theirs
// made a blank, or an operation added that one of their entries named before it came.
enum Change { None, Naimen, Added };

void TestMonthSummary::closedMonthsReadAsTheirEntries_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("month");
    QTest::addColumn<int>("change");
    QTest::addColumn<int>("kept");   // figures kept of the two months and three product kinds
    QTest::newRow("all, April") << 0 << 4 << int(None) << 6;
    QTest::newRow("finished products, April") << 1 << 4 << int(None) << 6;
    QTest::newRow("blanks, April") << 2 << 4 << int(None) << 6;
    QTest::newRow("March itself closed") << 0 << 3 << int(None) << 6;
    QTest::newRow("finished products, an operation made a blank") << 1 << 4 << int(Naimen) << 2;
    QTest::newRow("blanks, an operation made a blank") << 2 << 4 << int(Naimen) << 2;
    QTest::newRow("all, an operation made a blank") << 0 << 4 << int(Naimen) << 2;
    QTest::newRow("blanks, an operation added, February's only") << 2 << 4 << int(Added) << 4;
}

void TestMonthSummary::closedMonthsReadAsTheirEntries()
{
    QFETCH(int, kind);
    QFETCH(int, month);
    QFETCH(int, change);
    QFETCH(int, kept);
    const auto undo = qScopeGuard([&] {
        m_db->exec(QStringLiteral("select accounts_dep.reopen_month(2024, m, 'проверка') from unnest(array[2, 3]) m;"
                                  "update accounts_dep.oper set naimen = 0 where id = 1;"
                                  "delete from accounts_dep.oper where id = 77; delete from accounts_dep.smena where o_id = 77"));
    });
    if (change == Added)
        m_db->exec(QStringLiteral("insert into accounts_dep.smena (data, smena, w_id, i_id, o_id, cena, kol_vo, brak, color, time, ok)"
                                  " values ('2024-02-20', 1, 2, 10003, 77, 3.333, 5, 0, 0, 4, 'ok')"));
    m_db->exec(QStringLiteral("select accounts_dep.close_month(2024, 2), accounts_dep.close_month(2024, 3)"));
    if (change == Naimen) m_db->exec(QStringLiteral("update accounts_dep.oper set naimen = 1 where id = 1"));
    if (change == Added) m_db->exec(QStringLiteral("insert into accounts_dep.oper (id, vid, naimen, i_id) values (77, 1, 1, 10003)"));
    QCOMPARE(m_db->scalar(QStringLiteral("select count(*) from accounts_dep.month_figures")).toInt(), kept);
    const Summary stored = read(m_db->db(), {month, 2024, kind});

    // Reopened, the months have no figures kept and are read from their entries.
    m_db->exec(QStringLiteral("select accounts_dep.reopen_month(2024, m, 'проверка') from unnest(array[2, 3]) m"));
    QCOMPARE(m_db->scalar(QStringLiteral("select count(*) from accounts_dep.month_figures")).toInt(), 0);
    const Summary live = read(m_db->db(), {month, 2024, kind});
    QCOMPARE(stored.months.size(), live.months.size());
    for (qsizetype i = 0; i < live.months.size(); ++i) {
        const MonthFigure &k = stored.months.at(i), &l = live.months.at(i);
        QVERIFY2(k.piecework == l.piecework && k.hourPaid == l.hourPaid && k.hours == l.hours,
                 qPrintable(QStringLiteral("%1.%2: %3 %4 %5 / %6 %7 %8").arg(l.month).arg(l.year)
                                .arg(k.piecework.toString(), k.hourPaid.toString()).arg(k.hours)
                                .arg(l.piecework.toString(), l.hourPaid.toString()).arg(l.hours)));
    }
    // February's figure is there to compare (it has no blanks of its own).
    const MonthFigure& february = live.months.at(live.months.size() - month + 1);
    QCOMPARE(february.month, 2);
    QCOMPARE(february.piecework.isZero(), kind == 2 && change == None);
}

void TestMonthSummary::largestKeepsTenAndTheRest_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QString>("rest");
    QTest::newRow("none") << 0 << QStringList{} << QString();
    QTest::newRow("ten") << 10 << QStringList{"s0", "s1", "s2", "s3", "s4", "s5", "s6", "s7", "s8", "s9"} << QString();
    QTest::newRow("thirteen") << 13 << QStringList{"s0", "s1", "s2", "s3", "s4", "s5", "s6", "s7", "s8", "s9", "Прочее"}
                              << QStringLiteral("33");   // 12 + 11 + 10
}

void TestMonthSummary::largestKeepsTenAndTheRest()
{
    QFETCH(int, count);
    QFETCH(QStringList, names);
    QFETCH(QString, rest);
    QList<Share> shares;
    for (int i = 0; i < count; ++i) shares << Share{QStringLiteral("s%1").arg(i), Money::units(count - i - 1 + 10)};
    const QList<Share> kept = largest(shares);
    QStringList got;
    for (const Share& sh : kept) got << sh.name;
    QCOMPARE(got, names);
    if (!rest.isEmpty()) QCOMPARE(kept.last().amount.toString(), rest);
}

void TestMonthSummary::totalsSayBothRoundingsWhereTheyDiffer_data()
{
    QTest::addColumn<QString>("timesheet");   // the month's piecework as the timesheet rounds it, per worker
    QTest::addColumn<QStringList>("entries"); // the exact amounts of the days
    QTest::addColumn<QString>("said");
    QTest::newRow("the same") << "100,5" << QStringList{"40,25", "60,25"} << "сделка: 100,5 р.; почасовые";
    // Two workers of 0,005 р. each: 0,01 р. by the timesheet, 0,01 р. by the entries (0,010) too.
    QTest::newRow("the same after rounding") << "0,01" << QStringList{"0,005", "0,005"} << "сделка: 0,01 р.; почасовые";
    QTest::newRow("two kopecks apart") << "480382,95" << QStringList{"480000,004", "382,926"}
                                       << "сделка: 480382,95 р. (по табелю сдельщины, с округлением по каждому работнику; "
                                          "по записям 480382,93 р.); почасовые";
}

void TestMonthSummary::totalsSayBothRoundingsWhereTheyDiffer()
{
    QFETCH(QString, timesheet);
    QFETCH(QStringList, entries);
    QFETCH(QString, said);
    month_summary::Summary s;
    s.request = {3, 2024, 0};
    int day = 0;
    for (const QString& amount : entries) s.days << month_summary::DayShift{++day, 1, 1, *Money::parse(amount), 8, 1, 1};
    s.months << month_summary::MonthFigure{3, 2024, *Money::parse(timesheet), {}, 16};
    QVERIFY2(summaryTotals(s).contains(said), qPrintable(summaryTotals(s)));
}

void TestMonthSummary::windowByItsCaptions()
{
    TForm35 form(*m_dm);
    form.holdToRole(access_rights::Role::Full);
    std::optional<TForm35::Place> chosen;
    QStringList shown;
    bool cancelled = false;
    whenModal([&](QWidget* w) {
        QCOMPARE(w->windowTitle(), QStringLiteral("Сводка за месяц"));
        form.work()->wait();
        // The month and year chosen by their labels, read in the background.
        auto* year = qobject_cast<QComboBox*>(fieldLabelled(w, QStringLiteral("Год:")));
        auto* month = qobject_cast<QComboBox*>(fieldLabelled(w, QStringLiteral("Месяц:")));
        QVERIFY(year && month);
        // Another client holds the hour entries, so the read waits: "Отмена" stops it, and
        // nothing is shown; the month chosen again is read whole.
        QSqlDatabase holder = m_db->openAnother(QStringLiteral("holder"));
        QVERIFY(holder.transaction());
        QVERIFY(QSqlQuery(holder).exec(QStringLiteral("lock table accounts_dep.fatigue in access exclusive mode")));
        year->setCurrentText(QStringLiteral("2024"));
        month->setCurrentIndex(2);
        QVERIFY(form.work()->isRunning());
        QPushButton* cancel = form.work()->cancelButton();
        QCOMPARE(cancel->text(), QStringLiteral("Отмена"));
        QTest::qWait(200);
        cancel->click();
        QVERIFY(form.work()->wait());
        cancelled = !form.summary() && form.Pages->count() == 0 && !form.PdfButton->isEnabled();
        holder.rollback();
        month->setCurrentIndex(1);
        month->setCurrentIndex(2);
        QVERIFY(form.work()->wait());
        QVERIFY(form.summary());
        for (int i = 0; i < form.Pages->count(); ++i) shown << form.Pages->tabText(i);
        QVERIFY(form.TotalsLabel->text().contains(QStringLiteral("ждут утверждения: 3")));
        // A click on the second shift's bar of the 10th: the journal on that day and shift.
        auto* view = form.findChild<QChartView*>(QStringLiteral("DayPiecesChart"));
        QVERIFY(view);
        auto* series = qobject_cast<QStackedBarSeries*>(view->chart()->series().first());
        emit series->barSets().at(1)->clicked(9);
    });
    chosen = form.openFor(QDate(2024, 5, 20));
    QVERIFY(chosen);
    QCOMPARE(chosen->day, QDate(2024, 3, 10));
    QCOMPARE(chosen->shift, 2);
    QCOMPARE(shown, (QStringList{"По дням", "Группы и операции", "Двенадцать месяцев", "Часы и утверждение"}));
    QVERIFY(cancelled);
}

QTEST_MAIN(TestMonthSummary)
#include "tst_month_summary.moc"
