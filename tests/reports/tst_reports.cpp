#include "data/data_module.h"
#include "reports/product_detailed_report.h"
#include "reports/product_report.h"
#include "reports/engine/report_data.h"
#include "reports/engine/report_engine.h"
#include "reports/engine/report_pdf.h"
#include "reports/report_kinds.h"
#include "reports/engine/report_render.h"
#include "reports/time_timesheet_report.h"
#include "reports/worker_detailed_report.h"
#include "reports/worker_report.h"
#include "tests/reports/report_fixture.h"
#include "tests/support/modal.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/small_file_system.h"
#include "tests/support/test_database.h"

#include <QAction>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QScopeGuard>
#include <QScrollBar>
#include <QSet>
#include <QFileDialog>
#include <QGraphicsItem>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QPaintEngine>
#include <QStyleOptionGraphicsItem>
#include <QLineEdit>
#include <QMap>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPdfWriter>
#include <QPrinter>
#include <QAbstractButton>
#include <QMessageBox>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

const ReportRequest kMarch{QDate(2024, 3, 1), QDate(2024, 4, 1)};

/// The texts of a page line by line (top to bottom), each line's texts left to right joined
/// by " | ": how a reader scans the printed page.
QStringList pageLines(const ReportDocument& doc, int page)
{
    QMap<qint64, QMap<qint64, QString>> byLine;
    for (const PageElement& e : doc.pages.at(size_t(page)).elements) {
        if (e.text.isEmpty()) continue;
        byLine[qRound64(e.rect.top() * 100)][qRound64(e.rect.left() * 100)] = e.text;
    }
    QStringList out;
    for (const auto& line : byLine) out << QStringList(line.values()).join(QStringLiteral(" | "));
    return out;
}

QStringList allLines(const ReportDocument& doc)
{
    QStringList out;
    for (int p = 0; p < doc.pageCount(); ++p) out += pageLines(doc, p);
    return out;
}

/// Lines that the document must hold (each somewhere, in any order).
void expectLines(const ReportDocument& doc, const QStringList& expected)
{
    const QStringList lines = allLines(doc);
    for (const QString& line : expected)
        if (!lines.contains(line))
            QFAIL(qPrintable(QStringLiteral("missing line «%1» in:\n%2").arg(line, lines.join(QLatin1Char('\n')))));
}

const PageElement* findText(const ReportDocument& doc, int page, const QString& text, double top)
{
    for (const PageElement& e : doc.pages.at(size_t(page)).elements)
        if (e.text == text && qAbs(e.rect.top() - top) < 0.01) return &e;
    return nullptr;
}

} // namespace

class TestReports : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();

    // the engine on rows in memory
    void expressions_data();
    void expressions();
    void malformedExpressionsAndUnknownFieldsAreRefused_data();
    void malformedExpressionsAndUnknownFieldsAreRefused();
    void masks_data();
    void masks();
    void groupBreaksResetSumsAndChildBandsFollowTheirParents();
    void sumsAndSharesAreExactToTheirMask();
    void emptyReportPrintsTheUnbrokenGroupsOnly();
    void pageBreaksNumberPagesAndRepeatNothing();
    void groupHeaderOnTheLastFreeLineMovesWithItsRow();
    void framedBandIsPainted();
    void pagesLaidOutFromTheirStartEqualTheWholeReport_data();
    void pagesLaidOutFromTheirStartEqualTheWholeReport();
    void previewShowsALatePageAfterAJump();

    // the five layouts on the fixture
    void rowsReadAsTheyGoLayOutAlike_data();
    void rowsReadAsTheyGoLayOutAlike();
    void workerReport();
    void reportFootersShowTheDepartmentWhateverTheKindFilter_data();
    void reportFootersShowTheDepartmentWhateverTheKindFilter();
    void productReport();
    void productKindFilter_data();
    void productKindFilter();
    void workerDetailedReport();
    void productDetailedReport();
    void timeTimesheetPrintsMonthAndAlways31Days();
    void emptyPeriodPrintsHeadingsOnly_data();
    void emptyPeriodPrintsHeadingsOnly();
    void closedQueryIsAnErrorNotAnEmptyReport();
    void demoDatabaseTotalsAgreeWithTheJournal();

    // output
    void pdfCarriesTheTextsAndReplacesFilesWhole();
    void pdfPagesLookAsPrinted();
    void pdfTextCopiesAsPrinted();
    void rightToLeftLettersAreDrawnAsPrinted_data();
    void rightToLeftLettersAreDrawnAsPrinted();
    void aFailureWhilePaintingIsAFailedWrite();
    void previewOpensMaximisedZoomedAndSavesPdf_data();
    void previewOpensMaximisedZoomedAndSavesPdf();
    void aFullDiskKeepsTheOldPdf_data();
    void aFullDiskKeepsTheOldPdf();

private:
    TestDatabase* m_db = nullptr;
    ScriptedPrompts m_prompts;
    TDataModule6* m_dm = nullptr;
    QTemporaryDir m_tmp;
};

void TestReports::initTestCase()
{
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    QVERIFY(m_tmp.isValid());
    m_db = new TestDatabase(QStringLiteral("reports"));
    m_dm = new TDataModule6(m_db->db(), m_prompts);
    loadReportFixture(*m_db);
}

void TestReports::cleanupTestCase()
{
    delete m_dm;
    delete m_db;
}

void TestReports::cleanup()
{
    QVERIFY(noWindowsLeftOpen());
    QVERIFY2(m_prompts.said().isEmpty(), qPrintable(m_prompts.texts().join(QLatin1Char('\n'))));
    m_prompts.clear();
}

// ---------------------------------------------------------------- the engine

void TestReports::expressions_data()
{
    QTest::addColumn<QString>("expression");
    QTest::addColumn<QString>("printed");
    QTest::newRow("precedence") << "1+2*3" << "7";
    QTest::newRow("parentheses") << "(1+2)*3" << "9";
    QTest::newRow("division") << "10/4" << "2,5";
    QTest::newRow("general format") << "1/3" << "0,333333333333333";
    QTest::newRow("unary minus") << "-n+1" << "-6,5";
    QTest::newRow("division by zero prints empty") << "n/z" << "";
    QTest::newRow("and stays empty") << "(n/z)/1.2+1" << "";
    QTest::newRow("empty field alone") << "nul" << "";
    QTest::newRow("empty field counts 0") << "nul+1" << "1";
    QTest::newRow("strings join") << "s+'c'" << "abc";
    QTest::newRow("STR") << "' (RAL: '+STR(c)+')'" << " (RAL: 7035)";
    QTest::newRow("STR of a fraction") << "STR(n)" << "7,5";
    QTest::newRow("IF and >") << "IF(n>7,'да','нет')" << "да";
    QTest::newRow("IF and =") << "if(n=7.5,1,2)" << "1";
    QTest::newRow("empty equals 0") << "IF(nul=0,'ноль','нет')" << "ноль";
    QTest::newRow("comparisons") << "STR(n>=7.5)+STR(s<>'ab')+STR(z<n)+STR(n<=z)" << "1010";
    QTest::newRow("decimal text is a number") << "dec*2" << "24,5";
    QTest::newRow("query prefix") << "q.n + Q.N" << "15";
    QTest::newRow("quote in a string") << "'it''s'" << "it's";
    QTest::newRow("condition without value") << "IF(n/z>1,'a','b')" << "";
    QTest::newRow("text field") << "s" << "ab";
}

void TestReports::expressions()
{
    QFETCH(QString, expression);
    QFETCH(QString, printed);
    TableReportData data(QStringLiteral("q"), {"n", "z", "s", "nul", "c", "dec"}, {true, true, false, true, true, true});
    data.addRow({7.5, 0, QStringLiteral("ab"), QVariant(), 7035, QStringLiteral("12.25")});
    ReportExpression e(expression);
    int slot = 0;
    e.bind(data, slot);
    QCOMPARE(e.evaluate(EvalContext{&data, 0, nullptr}).toText(), printed);
}

void TestReports::malformedExpressionsAndUnknownFieldsAreRefused_data()
{
    QTest::addColumn<QString>("expression");
    QTest::newRow("dangling operator") << "1+";
    QTest::newRow("IF with two arguments") << "IF(1,2)";
    QTest::newRow("unknown function") << "foo(1)";
    QTest::newRow("open string") << "'abc";
    QTest::newRow("sum in a sum") << "sum(sum(n))";
    QTest::newRow("unbalanced") << "(1+2";
    QTest::newRow("unknown field") << "unknown";
    QTest::newRow("field of another query") << "other.n";
}

void TestReports::malformedExpressionsAndUnknownFieldsAreRefused()
{
    QFETCH(QString, expression);
    TableReportData data(QStringLiteral("q"), {"n"}, {true});
    ReportLayout layout;
    bool refused = false;
    try {
        layout.detail(5).expr(expression, {0, 50});
        layOutReport(layout, data);
    } catch (const ReportError& e) {
        refused = !e.text().isEmpty();
    }
    QVERIFY(refused);
}

void TestReports::masks_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("printed");
    const QString nbsp = QLocale().groupSeparator();
    QTest::newRow("two places") << 1390.0 << "#0.00" << "1390,00";
    QTest::newRow("half rounds up") << 2.675 << "#0.00" << "2,68";
    QTest::newRow("three places") << 250 / 1.2 << "#0.000" << "208,333";
    QTest::newRow("whole, half up") << 27.5 << "#0" << "28";
    QTest::newRow("whole, negative half") << -27.5 << "#0" << "-28";
    QTest::newRow("carry") << 99.995 << "#0.00" << "100,00";
    QTest::newRow("tiny negative is zero") << -0.001 << "#0.00" << "0,00";
    QTest::newRow("zero") << 0.0 << "#0.000" << "0,000";
    QTest::newRow("small") << 1e-7 << "#0.00" << "0,00";
    QTest::newRow("optional places") << 1.5 << "#0.##" << "1,5";
    QTest::newRow("grouping") << 1234567.891 << "#,##0.00" << "1" + nbsp + "234" + nbsp + "567,89";
    QTest::newRow("infinite is empty") << qInf() << "#0.00" << "";
}

void TestReports::masks()
{
    QFETCH(double, value);
    QFETCH(QString, mask);
    QFETCH(QString, printed);
    QCOMPARE(DisplayMask(mask).format(value), printed);
}

namespace {

/// A layout with every band kind: a report header (never breaks) with a child, two nested
/// groups whose footers reset their sums, a child after the outer footer, the detail, the
/// report footer and the page footer.
ReportLayout twoLevelLayout()
{
    ReportLayout r;
    r.title(6).text(QStringLiteral("Заголовок"), {0, 100});
    Band& report = r.groupHeader({}, 5);
    report.text(QStringLiteral("Отчет"), {0, 100});
    r.child(report, 5).text(QStringLiteral("Под заголовком"), {0, 100});
    Band& outer = r.groupHeader(QStringLiteral("q.g1"), 5);
    outer.expr(QStringLiteral("g1"), {0, 50});
    Band& inner = r.groupHeader(QStringLiteral("g2"), 5);
    inner.expr(QStringLiteral("g2"), {10, 50});
    r.detail(5).expr(QStringLiteral("v"), {20, 30});
    r.groupFooter(inner, 5).resetAfterPrint().expr(QStringLiteral("g2 + ': ' + STR(sum(v))"), {10, 50});
    Band& outerFooter = r.groupFooter(outer, 5).resetAfterPrint();
    outerFooter.expr(QStringLiteral("g1 + ': ' + STR(sum(v))"), {0, 50});
    r.child(outerFooter, 5).expr(QStringLiteral("'после ' + g1"), {0, 50});
    Band& reportFooter = r.groupFooter(report, 5);
    reportFooter.expr(QStringLiteral("'Всего: ' + STR(sum(v))"), {0, 50});
    reportFooter.expr(QStringLiteral("g1"), {60, 40});
    r.pageFooter(5).pageNumber({150, 40}).right();
    return r;
}

} // namespace

void TestReports::groupBreaksResetSumsAndChildBandsFollowTheirParents()
{
    TableReportData data(QStringLiteral("q"), {"g1", "g2", "v"}, {false, false, true});
    data.addRow({"A", "x", 1});
    data.addRow({"A", "x", 2});
    data.addRow({"A", "y", 4});
    data.addRow({"B", "x", 8});
    const ReportDocument doc = layOutReport(twoLevelLayout(), data);
    QCOMPARE(doc.pageCount(), 1);
    const QStringList expected = {"Заголовок", "Отчет", "Под заголовком",
                                  "A", "x", "1", "2", "x: 3", "y", "4", "y: 4", "A: 7", "после A",
                                  "B", "x", "8", "x: 8", "B: 8", "после B",
                                  "Всего: 15 | B", "1"};
    QCOMPARE(pageLines(doc, 0), expected);
}

void TestReports::sumsAndSharesAreExactToTheirMask()
{
    // Amounts as the server sends them (numeric digits as text). Their shares without the
    // coefficient are halves at the mask's last place and past a double's 15 digits: rounded once,
    // away from zero, from the exact quotient.
    ReportLayout layout;
    const Band& all = layout.groupHeader({}, 1);
    layout.detail(5).expr(QStringLiteral("summa/1.2"), {0, 60}).setMask(QStringLiteral("#0.000"));
    Band& footer = layout.groupFooter(all, 5);
    footer.expr(QStringLiteral("sum(summa)"), {0, 60}).setMask(QStringLiteral("#0.00"));
    footer.expr(QStringLiteral("sum(summa/1.2)"), {60, 60}).setMask(QStringLiteral("#0.000"));
    footer.expr(QStringLiteral("sum(summa)/1.2"), {120, 60}).setMask(QStringLiteral("#0.000"));
    TableReportData data(QStringLiteral("q"), {"summa"}, {true});
    data.addRow({QStringLiteral("120000000044.4018")});  // / 1.2 = 100000000037.0015
    data.addRow({QStringLiteral("0.0006")});             // / 1.2 = 0.0005
    for (int i = 0; i < 10; ++i) data.addRow({QStringLiteral("0.1")});
    const QStringList lines = pageLines(layOutReport(layout, data), 0);
    QCOMPARE(lines.at(0), QStringLiteral("100000000037,002"));
    QCOMPARE(lines.at(1), QStringLiteral("0,001"));
    QCOMPARE(lines.at(2), QStringLiteral("0,083"));
    // 120000000045.4024 in all; without the coefficient 100000000037.8353(3).
    QCOMPARE(lines.at(12), QStringLiteral("120000000045,40 | 100000000037,835 | 100000000037,835"));
}

void TestReports::emptyReportPrintsTheUnbrokenGroupsOnly()
{
    TableReportData data(QStringLiteral("q"), {"g1", "g2", "v"}, {false, false, true});
    const ReportDocument doc = layOutReport(twoLevelLayout(), data);
    QCOMPARE(doc.pageCount(), 1);
    // No row to read g1 from: it prints empty; the sum of nothing is 0.
    QCOMPARE(pageLines(doc, 0), QStringList({"Заголовок", "Отчет", "Под заголовком", "Всего: 0", "1"}));
}

void TestReports::pageBreaksNumberPagesAndRepeatNothing()
{
    TableReportData data(QStringLiteral("q"), {"g1", "g2", "v"}, {false, false, true});
    int total = 0;
    for (int g = 1; g <= 3; ++g)
        for (int i = 1; i <= 45; ++i) {
            data.addRow({QStringLiteral("Группа %1").arg(g), QStringLiteral("п%1").arg(i / 10), i});
            total += i;
        }
    const ReportLayout layout = twoLevelLayout();
    const ReportDocument doc = layOutReport(layout, data);
    QVERIFY(doc.pageCount() >= 4);

    const double footerTop = 297 - 10 - 5;
    int outerHeaders = 0;
    for (int p = 0; p < doc.pageCount(); ++p) {
        const QStringList lines = pageLines(doc, p);
        QCOMPARE(lines.last(), QString::number(p + 1));              // the page number at the foot
        QCOMPARE(lines.contains(QStringLiteral("Заголовок")), p == 0);  // the title once
        QCOMPARE(lines.contains(QStringLiteral("Отчет")), p == 0);
        for (const PageElement& e : doc.pages[size_t(p)].elements) {
            if (e.text == QString::number(p + 1)) continue;
            QVERIFY2(e.rect.bottom() <= footerTop + 1e-9, qPrintable(e.text));
        }
        static const QRegularExpression outerHeader(QStringLiteral("^Группа \\d$")), header(QStringLiteral("^(Группа |п)\\d$"));
        outerHeaders += int(lines.filter(outerHeader).size());
        // A group header never closes a page: the row under it follows on the same page.
        const QString lastBand = lines.at(lines.size() - 2);
        QVERIFY2(!header.match(lastBand).hasMatch(), qPrintable(lastBand));
    }
    QCOMPARE(outerHeaders, 3);
    const QStringList lines = allLines(doc);
    QCOMPARE(lines.count(QStringLiteral("Под заголовком")), 1);
    QVERIFY(lines.contains(QStringLiteral("Группа 2: %1").arg((1 + 45) * 45 / 2)));
    QVERIFY(lines.contains(QStringLiteral("Всего: %1 | Группа 3").arg(total)));
}

void TestReports::groupHeaderOnTheLastFreeLineMovesWithItsRow()
{
    // 272 mm between the top margin and the page footer: group A's header and 32 rows of 8 mm
    // leave exactly one header's height, where B's header would still fit but not its row.
    ReportLayout layout;
    layout.groupHeader(QStringLiteral("g"), 8).expr(QStringLiteral("g"), {0, 50});
    layout.detail(8).expr(QStringLiteral("v"), {0, 50});
    layout.pageFooter(5).pageNumber({150, 40});
    TableReportData data(QStringLiteral("q"), {"g", "v"}, {false, true});
    for (int i = 1; i <= 32; ++i) data.addRow({"A", i});
    data.addRow({"B", 100});
    const ReportDocument doc = layOutReport(layout, data);
    QCOMPARE(doc.pageCount(), 2);
    const QStringList first = pageLines(doc, 0), second = pageLines(doc, 1);
    QCOMPARE(first.size(), 1 + 32 + 1);
    QCOMPARE(first.at(first.size() - 2), QStringLiteral("32"));
    QCOMPARE(second, QStringList({"B", "100", "2"}));
}

void TestReports::framedBandIsPainted()
{
    ReportLayout layout;
    layout.title(20).framed().expr(QStringLiteral("'Рамка'"), {60, 40});
    TableReportData data(QStringLiteral("q"), {"v"}, {true});
    const ReportDocument doc = layOutReport(layout, data);
    // A4 at 2 dots a millimetre: the band spans x 10..200 mm and y 10..30 mm.
    const double k = 2;
    QImage page(int(210 * k), int(297 * k), QImage::Format_RGB32);
    page.fill(Qt::white);
    {
        QPainter painter(&page);
        paintReportPage(painter, doc, 0, k);
    }
    const auto dark = [&](double xMm, double yMm) { return qGray(page.pixel(qRound(xMm * k), qRound(yMm * k))) < 128; };
    const auto darkNear = [&](double xMm, double yMm) {
        for (double d = -1; d <= 1; d += 0.5)
            if (dark(xMm + d, yMm) || dark(xMm, yMm + d)) return true;
        return false;
    };
    QVERIFY(darkNear(30, 10));    // top edge
    QVERIFY(darkNear(30, 30));    // bottom edge
    QVERIFY(darkNear(10, 20));    // left edge
    QVERIFY(darkNear(200, 20));   // right edge
    QVERIFY(!dark(30, 20));       // inside, away from the text
    QVERIFY(!darkNear(30, 45));   // below the band
}

namespace {

/// Everything of a page that is printed, element by element.
QStringList pageDump(const ReportPage& page)
{
    QStringList out;
    for (const PageElement& e : page.elements)
        out << QStringLiteral("%1,%2,%3,%4|%5|%6|%7|%8|%9|%10")
                   .arg(e.rect.x()).arg(e.rect.y()).arg(e.rect.width()).arg(e.rect.height())
                   .arg(e.text).arg(int(e.alignment)).arg(e.bold).arg(e.fontSize)
                   .arg(e.background.isValid() ? e.background.name() : QString()).arg(int(e.frame));
    return out;
}

/// Groups of rows for twoLevelLayout: groups × rows, the inner group changing every tenth row.
std::shared_ptr<TableReportData> groupedRows(int groups, int rows)
{
    auto data = std::make_shared<TableReportData>(QStringLiteral("q"), QStringList{"g1", "g2", "v"}, std::vector<bool>{false, false, true});
    for (int g = 1; g <= groups; ++g)
        for (int i = 1; i <= rows; ++i) data->addRow({QStringLiteral("Группа %1").arg(g), QStringLiteral("п%1").arg(i / 10), i});
    return data;
}

/// Records the texts a picture (a preview's page) draws.
class TextRecorder : public QPaintDevice {
public:
    QStringList texts;
    QPaintEngine* paintEngine() const override { return &m_engine; }

protected:
    int metric(PaintDeviceMetric metric) const override
    {
        switch (metric) {
        case PdmWidth: case PdmHeight: return 2000;
        case PdmWidthMM: case PdmHeightMM: return 500;
        case PdmDpiX: case PdmDpiY: case PdmPhysicalDpiX: case PdmPhysicalDpiY: return 96;
        case PdmDepth: return 32;
        case PdmNumColors: return INT_MAX;
        case PdmDevicePixelRatio: return 1;
        case PdmDevicePixelRatioScaled: return int(devicePixelRatioFScale());
        default: return 0;
        }
    }

private:
    class Engine : public QPaintEngine {
    public:
        explicit Engine(QStringList& texts) : m_texts(texts) {}
        bool begin(QPaintDevice*) override { return true; }
        bool end() override { return true; }
        void updateState(const QPaintEngineState&) override {}
        void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
        void drawPath(const QPainterPath&) override {}
        void drawPolygon(const QPointF*, int, PolygonDrawMode) override {}
        void drawTextItem(const QPointF&, const QTextItem& item) override { m_texts << item.text(); }
        Type type() const override { return User; }

    private:
        QStringList& m_texts;
    };
    mutable Engine m_engine{texts};
};

/// The texts the preview shows on one of its page items.
QStringList textsOf(QGraphicsItem* page)
{
    TextRecorder recorder;
    QPainter painter(&recorder);
    QStyleOptionGraphicsItem option;
    option.exposedRect = page->boundingRect();
    page->paint(&painter, &option, nullptr);
    return recorder.texts;
}

} // namespace

void TestReports::pagesLaidOutFromTheirStartEqualTheWholeReport_data()
{
    QTest::addColumn<int>("groups");
    QTest::addColumn<int>("rows");
    QTest::addColumn<bool>("pageTotals");
    QTest::newRow("no rows") << 0 << 0 << false;
    QTest::newRow("one row") << 1 << 1 << false;
    QTest::newRow("three groups over pages") << 3 << 45 << false;
    QTest::newRow("many pages") << 12 << 60 << false;
    // A page footer that sums the page's rows and clears them: the sums start again on every page.
    QTest::newRow("page totals") << 5 << 50 << true;
}

void TestReports::pagesLaidOutFromTheirStartEqualTheWholeReport()
{
    QFETCH(int, groups);
    QFETCH(int, rows);
    QFETCH(bool, pageTotals);
    ReportLayout layout = twoLevelLayout();
    if (pageTotals) {
        Band& footer = layout.bands().back();
        footer.expr(QStringLiteral("'Страница: ' + STR(sum(v))"), {0, 60});
        footer.resetAfterPrint();
    }
    const std::shared_ptr<TableReportData> data = groupedRows(groups, rows);
    const ReportDocument whole = layOutReport(layout, *data);
    const PagedReport paged(layout, data, QStringLiteral("Отчет"));
    QCOMPARE(paged.pageCount(), whole.pageCount());
    QCOMPARE(paged.format().title, QStringLiteral("Отчет"));

    // Each page on its own, from where it starts, and runs of pages from any page on.
    for (int p = 0; p < whole.pageCount(); ++p) {
        QList<QStringList> got;
        paged.layOutPages(p, p, [&](const ReportDocument&, ReportPage&& page) { got << pageDump(page); });
        QCOMPARE(got.size(), 1);
        QCOMPARE(got.at(0), pageDump(whole.pages[size_t(p)]));
    }
    for (int first = 0; first < whole.pageCount(); first += 3) {
        int at = first;
        paged.layOutPages(first, first + 3, [&](const ReportDocument&, ReportPage&& page) {
            QCOMPARE(pageDump(page), pageDump(whole.pages[size_t(at++)]));
        });
        QCOMPARE(at, std::min(first + 4, whole.pageCount()));
    }
    const ReportDocument again = paged.document();
    QCOMPARE(again.pageCount(), whole.pageCount());
    for (int p = 0; p < whole.pageCount(); ++p) QCOMPARE(pageDump(again.pages[size_t(p)]), pageDump(whole.pages[size_t(p)]));
}

void TestReports::previewShowsALatePageAfterAJump()
{
    const std::shared_ptr<TableReportData> data = groupedRows(30, 60);
    const ReportLayout layout = twoLevelLayout();
    const ReportDocument whole = layOutReport(layout, *data);
    const PagedReport paged(layout, data, QStringLiteral("Отчет"));
    QVERIFY(whole.pageCount() > 40);
    const int late = whole.pageCount() - 5;

    int pages = -1;
    QStringList shown, first;
    whenModal([&](QWidget* w) {
        auto* preview = w->findChild<QPrintPreviewWidget*>();
        auto* view = preview ? preview->findChild<QGraphicsView*>() : nullptr;
        if (!view) {
            w->close();
            return;
        }
        pages = preview->pageCount();
        preview->setCurrentPage(late);
        // The preview draws the pages near the view again shortly after the jump.
        for (int waited = 0; waited < 5000 && shown != whole.texts(late - 1); waited += 20) {
            QTest::qWait(20);
            if (QGraphicsItem* page = view->itemAt(view->viewport()->rect().center())) shown = textsOf(page);
        }
        first = textsOf(view->scene()->items(Qt::AscendingOrder).first());
        w->close();
    });
    showReportPreview(paged, PreviewZoom::WholePage, m_prompts);
    QCOMPARE(pages, whole.pageCount());
    QCOMPARE(shown, whole.texts(late - 1));
    // The first page, far from the view, is no longer held painted.
    QVERIFY(first.isEmpty());
}

// ---------------------------------------------------------------- the layouts

void TestReports::rowsReadAsTheyGoLayOutAlike_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QDate>("from");
    QTest::newRow("all products, March") << 0 << QDate(2024, 3, 1);
    QTest::newRow("finished products, March") << 1 << QDate(2024, 3, 1);
    QTest::newRow("blanks, March") << 2 << QDate(2024, 3, 1);
    QTest::newRow("a month without entries") << 0 << QDate(2023, 3, 1);
}

void TestReports::rowsReadAsTheyGoLayOutAlike()
{
    // A report written page by page from rows read as they come prints what the same report
    // prints from all its rows held: every page, every text; the filter and the footers of a
    // report the filter leaves empty included.
    QFETCH(int, kind);
    QFETCH(QDate, from);
    ReportRequest request;
    request.from = from;
    request.to = from.addMonths(1);
    request.productKind = kind;
    for (const ReportKind& k : reportKinds()) {
        if (k.period != PeriodKind::Range) continue;
        const std::unique_ptr<ReportWindow> window = k.make(*m_dm);
        window->prepareFor(request);
        window->reportQuery().close();
        const ReportDocument held = window->document();
        const Statement statement = window->statementFor(request);
        const QueryReportData streamed(window->reportQuery().objectName(), statement.exec(m_db->db()),
                                       window->reportQuery().activeFilter());
        QStringList pages;
        const int count = layOutReportPages(window->layout(), streamed, [&](const ReportDocument&, ReportPage&& page) {
            ReportDocument one;
            one.pages.push_back(std::move(page));
            pages << one.texts(0).join(QLatin1Char('|'));
        });
        QCOMPARE(count, held.pageCount());
        for (int p = 0; p < held.pageCount(); ++p) QCOMPARE(pages.at(p), held.texts(p).join(QLatin1Char('|')));
    }
}

void TestReports::workerReport()
{
    TForm16 form(*m_dm);
    form.setPeriod(QDate(2024, 3, 1), QDate(2024, 4, 1));
    QCOMPARE(form.t_Report.param(QStringLiteral("data3")).toDate(), QDate(2024, 3, 1));
    QCOMPARE(form.t_Report.param(QStringLiteral("data4")).toDate(), QDate(2024, 4, 1));
    form.setProductKind(0);
    form.t_Report.open();
    form.QRLabel1.setCaption(TForm16::titleFor(QDate(2024, 3, 1), QDate(2024, 4, 1)));
    form.prepare();
    form.t_Report.close();
    const ReportDocument& doc = form.document();
    QCOMPARE(doc.orientation, QPageLayout::Portrait);
    QCOMPARE(doc.pageCount(), 1);
    const QStringList lines = pageLines(doc, 0);
    QCOMPARE(lines.first(), QStringLiteral("   Отчет по рабочим за период с 01.03.2024 по 01.04.2024"));
    // The entry on the period's last bound (1 April) is left out.
    expectLines(doc, {
        "Антонов А.А. | Сумма без Р/К",
        "Двери",
        "Готовая продукция | Сварка |   | 9 | 90,000",
        "Готовая продукция | Покраска |  (грунт) | 5 | 100,000",
        "Готовая продукция | Покраска |  (RAL: 7035) | 3 | 60,000",
        "Хоз.р.: | 540 | Ср. сд.: | 0 | 17 | 250,000 | 208,333",
        "Итого: | 790,000 | 658,333",
        "250,00 | 208,33",
        "1390,000 | 1158,333",
        "Борисов Б.Б. | Сумма без Р/К",
        "Ворота",
        "Заготовки | Сварка |   | 4 | 30,000",
        "Хоз.р.: | 0 | Ср. сд.: | 90 | 4 | 30,000 | 25,000",
        "Итого: | 120,000 | 100,000",
        // the product footer's sums start again for the next product
        "Готовая продукция | Сварка |   | 2 | 20,000",
        "Хоз.р.: | 0 | Ср. сд.: | 0 | 2 | 20,000 | 16,667",
        "Итого: | 20,000 | 16,667",
        "50,00 | 41,67",
        "140,000 | 116,667",
        "300,00 | 250,00",
        "Хоз.р.: | 1040,00 | 866,67",
        "Ср.сд.: | 690,00 | 575,00",
        "Итого: | 2030,00 | 1691,67",
    });
    QCOMPARE(lines.count(QStringLiteral("Двери")), 2);
    QCOMPARE(lines.last(), QStringLiteral("1"));
}

void TestReports::reportFootersShowTheDepartmentWhateverTheKindFilter_data()
{
    QTest::addColumn<QDate>("to");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QStringList>("footer");
    const QDate april(2024, 4, 1);
    QTest::newRow("all") << april << 0
                         << QStringList{"300,00 | 250,00", "Хоз.р.: | 1040,00 | 866,67", "Ср.сд.: | 690,00 | 575,00", "Итого: | 2030,00 | 1691,67"};
    QTest::newRow("finished") << april << 1
                              << QStringList{"270,00 | 225,00", "Хоз.р.: | 1040,00 | 866,67", "Ср.сд.: | 690,00 | 575,00", "Итого: | 2000,00 | 1666,67"};
    QTest::newRow("blanks") << april << 2
                            << QStringList{"30,00 | 25,00", "Хоз.р.: | 1040,00 | 866,67", "Ср.сд.: | 690,00 | 575,00", "Итого: | 1760,00 | 1466,67"};
    // Up to 10 March there are no blanks at all: the department's lines still print.
    QTest::newRow("filter leaves no row") << QDate(2024, 3, 10) << 2
                                          << QStringList{"0,00 | 0,00", "Хоз.р.: | 1040,00 | 866,67", "Ср.сд.: | 0,00 | 0,00", "Итого: | 1040,00 | 866,67"};
}

void TestReports::reportFootersShowTheDepartmentWhateverTheKindFilter()
{
    QFETCH(QDate, to);
    QFETCH(int, kind);
    QFETCH(QStringList, footer);
    const QDate from(2024, 3, 1);
    {
        TForm16 form(*m_dm);
        form.setPeriod(from, to);
        form.setProductKind(kind);
        form.t_Report.open();
        form.prepare();
        const QStringList lines = allLines(form.document());
        QCOMPARE(lines.mid(lines.size() - 5, 4), footer);
        QCOMPARE(lines.contains(QStringLiteral("Ворота")), kind != 1 && to == QDate(2024, 4, 1));
    }
    {
        // The detailed worker report's footer holds the same department lines.
        TForm20 form(*m_dm);
        form.setPeriod(from, to);
        form.setProductKind(kind);
        form.w_Report.open();
        form.prepare();
        const QStringList lines = allLines(form.document());
        QCOMPARE(lines.mid(lines.size() - 4, 3), footer.mid(1));
    }
}

void TestReports::productReport()
{
    TForm17 form(*m_dm);
    form.prepareFor(kMarch);
    form.t_Report.close();
    const QStringList lines = pageLines(form.document(), 0);
    QCOMPARE(lines.mid(0, 2), QStringList({"   Отчет по продукции за период с 01.03.2024 по 01.04.2024", "Коробки | Количество"}));
    expectLines(form.document(), {
        "Ворота",
        "Заготовки | Сварка |   | 6 | 4",
        "6 | 4",
        "Двери",
        "Готовая продукция | Сварка |   | 4,5 | 9",
        "Готовая продукция | Сварка |   | 1 | 2",
        "Готовая продукция | Покраска |  (грунт) | 10 | 5",
        "Готовая продукция | Покраска |  (RAL: 7035) | 6 | 3",
        "21,5 | 19",
        // 27.5 boxes under the mask "#0"
        "Итого: | 28 | 23",
    });
    // The colour text of colour 0, -1 and none is a single space.
    int spaces = 0;
    for (const PageElement& e : form.document().pages[0].elements) spaces += e.text == QLatin1String(" ") ? 1 : 0;
    QCOMPARE(spaces, 3);
}

void TestReports::productKindFilter_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QList<int>>("naimen");
    QTest::newRow("Все") << 0 << QList<int>{0, 1, 2};
    QTest::newRow("Готовая продукция") << 1 << QList<int>{0};
    // Blanks are naimen 1; any other kind number is neither.
    QTest::newRow("Заготовки") << 2 << QList<int>{1};
}

void TestReports::productKindFilter()
{
    QFETCH(int, kind);
    QFETCH(QList<int>, naimen);
    m_db->exec(QStringLiteral(
        "insert into accounts_dep.oper (id, vid, naimen, i_id) values (90, 2, 2, 10001);"
        "insert into accounts_dep.smena (data, smena, w_id, i_id, o_id, cena, kol_vo, brak, color, time, ok)"
        " values ('2024-03-20', 1, 1, 10001, 90, 1, 7, 0, 0, 1, 'ok')"));
    const auto drop = qScopeGuard([this] {
        m_db->exec(QStringLiteral("delete from accounts_dep.smena where o_id = 90; delete from accounts_dep.oper where id = 90"));
    });
    for (const ReportKind& k : reportKinds()) {
        if (k.period != PeriodKind::Range) continue;
        const std::unique_ptr<ReportWindow> form = k.make(*m_dm);
        form->prepareFor(ReportRequest{QDate(2024, 3, 1), QDate(2024, 4, 1), kind});
        Dataset& q = form->reportQuery();
        QSet<int> seen;
        for (int r = 0; r < q.recordCount(); ++r) seen.insert(q.valueAt(r, q.fieldIndex(QStringLiteral("naimen"))).toInt());
        form->reportQuery().close();
        QList<int> sorted = seen.values();
        std::sort(sorted.begin(), sorted.end());
        QVERIFY2(sorted == naimen, qPrintable(k.window));
    }
}

void TestReports::workerDetailedReport()
{
    TForm20 form(*m_dm);
    form.setPeriod(QDate(2024, 3, 1), QDate(2024, 4, 1));
    QCOMPARE(form.w_Report.param(QStringLiteral("data4")).toDate(), QDate(2024, 4, 1));
    form.w_Report.open();
    form.QRLabel1.setCaption(TForm20::titleFor(QDate(2024, 3, 1), QDate(2024, 4, 1)));
    form.prepare();
    const ReportDocument& doc = form.document();
    QCOMPARE(pageLines(doc, 0).first(), QStringLiteral("   Детальный отчет по рабочим за период с 01.03.2024 по 01.04.2024"));
    expectLines(doc, {
        "Антонов А.А. | Часы | Брак | Количество | Сумма",
        "ДМ-1 | Сварка | 0 | Готовая продукция | 8 | 1 | 10 | 90,00",
        "ДМ-2 | Покраска | 1 | Готовая продукция | 4 | 0 | 5 | 100,00",
        "ДМ-2 | Покраска | 7035 | Готовая продукция | 2 | 0 | 3 | 60,00",
        "1 | 18 | 250,00",
        "Часы | Сумма с р/к (р.) | Сумма без р/к (р.)",
        "Хоз. раб. (дн.) | 3 | 300 | 250,00",
        "Хоз. раб. (нч.) | 2 | 240 | 200,00",
        "Ср. сд. (дн.) | 4 | 600 | 500,00",
        "Ср. сд. (нч.) | 0 | 0 | 0,00",
        "Сдел. | 14,00 | 250,00 | 208,33",
        "Итого: | 23,00 | 1390,00 | 1158,33",
        "Цена ср. сд. за 1 ч.: | 17,86 | 14,88",
        "Борисов Б.Б. | Часы | Брак | Количество | Сумма",
        "ВС-1 | Сварка | -1 | Заготовки | 0 | 0 | 4 | 30,00",
        "ДМ-1 | Сварка | Готовая продукция | 0 | 0 | 2 | 20,00",
        "0 | 6 | 50,00",
        "Ср. сд. (нч.) | 1 | 90 | 75,00",
        "Сдел. | 0,00 | 50,00 | 41,67",
        "Итого: | 1,00 | 140,00 | 116,67",
        // no hours to divide by: the rate's cells stay empty
        "Цена ср. сд. за 1 ч.:",
        "24 | 300,00",
        "Хоз.р.: | 1040,00 | 866,67",
        "Итого: | 2030,00 | 1691,67",
    });
    for (const QString& t : doc.texts(0)) {
        QVERIFY2(!t.contains(QLatin1String("inf")) && !t.contains(QLatin1String("nan")), qPrintable(t));
    }
}

void TestReports::productDetailedReport()
{
    TForm21 form(*m_dm);
    form.prepareFor(kMarch);
    form.i_Report.close();
    QCOMPARE(pageLines(form.document(), 0).mid(0, 2),
             QStringList({"   Детальный отчет по продукции за период с 01.03.2024 по 01.04.2024", "Брак | Коробки | Кол-во | Сумма"}));
    expectLines(form.document(), {
        "Ворота",
        "ВС-1 | Сварка | -1 | Заготовки | 0 | 6 | 4 | 30,000",
        "0 | 6,00 | 4 | 30,00",
        "Двери",
        "ДМ-1 | Сварка | 0 | Готовая продукция | 1 | 5 | 10 | 90,000",
        "ДМ-1 | Сварка | Готовая продукция | 0 | 1 | 2 | 20,000",
        "ДМ-2 | Покраска | 1 | Готовая продукция | 0 | 10 | 5 | 100,000",
        "ДМ-2 | Покраска | 7035 | Готовая продукция | 0 | 6 | 3 | 60,000",
        "1 | 22,00 | 20 | 270,00",
        "Итого: | 1 | 28 | 24 | 300,00",
    });
}

void TestReports::timeTimesheetPrintsMonthAndAlways31Days()
{
    TForm15 form(*m_dm);
    form.prepareFor(ReportRequest{{}, {}, 0, 3, 2024});
    form.H_Tabel.close();
    const ReportDocument& doc = form.document();
    QCOMPARE(doc.orientation, QPageLayout::Landscape);
    QCOMPARE(doc.pageSize, QSizeF(297, 210));
    QStringList heading{"Март 2024 г."};
    for (int d = 1; d <= 31; ++d) heading << QString::number(d);
    heading << "Итого";
    // Shift rows and hour rows of a worker add up in one line; empty days stay empty.
    QCOMPARE(pageLines(doc, 0), QStringList({heading.join(" | "), "Антонов А.А. | 11 | 4 | 2 | 2 | 19", "Борисов Б.Б. | 5 | 5", "1"}));
    const PageElement* day5 = findText(doc, 0, QStringLiteral("4"), 10 + 6);
    QVERIFY(day5);
    QCOMPARE(day5->rect.left(), 10 + 56 + 4 * 6.6);
    QCOMPARE(day5->alignment, Qt::AlignHCenter);
    const PageElement* total = findText(doc, 0, QStringLiteral("19"), 10 + 6);
    QVERIFY(total && total->bold);

    form.prepareFor(ReportRequest{{}, {}, 0, 2, 2023});
    form.H_Tabel.close();
    heading[0] = QStringLiteral("Февраль 2023 г.");
    QCOMPARE(pageLines(form.document(), 0), QStringList({heading.join(" | "), "Антонов А.А. | 8 | 8", "1"}));
    QVERIFY(findText(form.document(), 0, QStringLiteral("31"), 10));
}

void TestReports::emptyPeriodPrintsHeadingsOnly_data()
{
    QTest::addColumn<QString>("report");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("Form16") << "Form16" << QStringList{"   Отчет по рабочим за период с 01.01.2020 по 01.02.2020", "0,00 | 0,00", "Хоз.р.:", "Ср.сд.:", "Итого:", "1"};
    QTest::newRow("Form17") << "Form17" << QStringList{"   Отчет по продукции за период с 01.01.2020 по 01.02.2020", "Коробки | Количество", "Итого: | 0 | 0", "1"};
    QTest::newRow("Form20") << "Form20" << QStringList{"   Детальный отчет по рабочим за период с 01.01.2020 по 01.02.2020", "0 | 0,00", "Хоз.р.:", "Ср.сд.:", "Итого:", "1"};
    QTest::newRow("Form21") << "Form21" << QStringList{"   Детальный отчет по продукции за период с 01.01.2020 по 01.02.2020", "Брак | Коробки | Кол-во | Сумма", "Итого: | 0 | 0 | 0 | 0,00", "1"};
    QStringList heading{"Январь 2020 г."};
    for (int d = 1; d <= 31; ++d) heading << QString::number(d);
    heading << "Итого";
    QTest::newRow("Form15") << "Form15" << QStringList{heading.join(" | "), "1"};
}

void TestReports::emptyPeriodPrintsHeadingsOnly()
{
    QFETCH(QString, report);
    QFETCH(QStringList, expected);
    const auto kind = std::find_if(reportKinds().begin(), reportKinds().end(),
                                   [&](const ReportKind& k) { return k.window == report; });
    QVERIFY(kind != reportKinds().end());
    const std::unique_ptr<ReportWindow> form = kind->make(*m_dm);
    QCOMPARE(form->objectName(), report);
    form->prepareFor(ReportRequest{QDate(2020, 1, 1), QDate(2020, 2, 1), 0, 1, 2020});
    QCOMPARE(form->reportQuery().recordCount(), 0);
    form->reportQuery().close();
    QCOMPARE(form->pageCount(), 1);
    QCOMPARE(pageLines(form->document(), 0), expected);
}

void TestReports::closedQueryIsAnErrorNotAnEmptyReport()
{
    TForm17 form(*m_dm);
    QVERIFY_THROWS_EXCEPTION(ReportError, form.prepare());
}

void TestReports::demoDatabaseTotalsAgreeWithTheJournal()
{
    TestDatabase demo(QStringLiteral("reports_demo"), QStringLiteral("reports_demo"));
    demo.loadDemo();
    TDataModule6 dm(demo.db(), m_prompts);
    const QDate to(QDate::currentDate().year(), QDate::currentDate().month(), 1);
    const QDate from = to.addMonths(-1);
    const QString bounds = QStringLiteral(">= '%1' and %3 < '%2' ").arg(from.toString(Qt::ISODate), to.toString(Qt::ISODate));
    const QString period = QStringLiteral(" data ") + bounds.arg(QStringLiteral("data"));
    const auto number = [&](const QString& sql) { return demo.scalar(sql).toDouble(); };
    const auto money = [](double v) { return DisplayMask(QStringLiteral("#0.00")).format(v); };

    // Every page numbered, and the report footer's line before the page number as the journal says.
    const auto check = [&](ReportWindow& form, const QString& footer) {
        form.setPeriod(from, to);
        form.reportQuery().open();
        form.prepare();
        form.reportQuery().close();
        const ReportDocument& doc = form.document();
        QVERIFY(doc.pageCount() > 1);
        for (int p = 0; p < doc.pageCount(); ++p) QCOMPARE(pageLines(doc, p).last(), QString::number(p + 1));
        const QStringList lines = allLines(doc);
        QCOMPARE(lines.at(lines.size() - 2), footer);
    };
    const double good = number("select sum(kol_vo-brak) from accounts_dep.smena where" + period);
    const double made = number("select sum(kol_vo) from accounts_dep.smena where" + period);
    const double rejects = number("select sum(brak) from accounts_dep.smena where" + period);
    const double summa = number("select sum((kol_vo-brak)*cena) from accounts_dep.smena where" + period);
    const double hourly = number("select sum(cnt*price) from accounts_dep.fatigue where d_date " + bounds.arg(QStringLiteral("d_date")));
    const auto boxes = [&](const QString& quantity) {
        return number("select sum(round(massa * q, 2)) from (select i.massa, sum(" + quantity + ") q from accounts_dep.smena s"
                      " join accounts_dep.izdel i on i.id = s.i_id join accounts_dep.oper o on o.id = s.o_id where" + period +
                      " group by i.nom, i.marka, o.vid, o.naimen, s.color, i.massa) x");
    };
    // The worker report rounds each of its rows to kopecks before summing.
    const double rounded = number(
        "select sum(s) from (select sum((kol_vo-brak)*cena)::numeric(10,2) s from accounts_dep.smena sm"
        " join accounts_dep.izdel i on i.id = sm.i_id join accounts_dep.oper o on o.id = sm.o_id"
        " join cmn_contractor.person p on sm.w_id = p.s_code::integer where" + period +
        " group by p.s_caption, i.nom, o.vid, sm.w_id, i.id_nom, o.naimen, sm.color) x");

    TForm17 f17(dm);
    check(f17, "Итого: | " + DisplayMask(QStringLiteral("#0")).format(boxes("kol_vo-brak")) + " | " + generalNumber(good));
    TForm21 f21(dm);
    check(f21, "Итого: | " + generalNumber(rejects) + " | " + generalNumber(boxes("kol_vo")) + " | " + generalNumber(made) +
                   " | " + money(summa));
    TForm20 f20(dm);
    check(f20, "Итого: | " + money(summa + hourly) + " | " + money((summa + hourly) / 1.2));
    TForm16 f16(dm);
    check(f16, "Итого: | " + money(rounded + hourly) + " | " + money((rounded + hourly) / 1.2));

    TForm15 f15(dm);
    f15.setMonth(from.month(), from.year());
    f15.H_Tabel.open();
    f15.prepare();
    // The heading once, one line per worker, a page number per page.
    QCOMPARE(allLines(f15.document()).size(), 1 + f15.H_Tabel.recordCount() + f15.pageCount());
    QVERIFY(f15.H_Tabel.recordCount() >= 30);
}

// ---------------------------------------------------------------- output

void TestReports::pdfCarriesTheTextsAndReplacesFilesWhole()
{
    TForm20 form(*m_dm);
    form.prepareFor(kMarch);
    form.w_Report.close();
    const QString path = m_tmp.filePath(QStringLiteral("form20.pdf"));
    {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old");
    }
    form.savePdf(path);
    const QString text = pdfText(path);
    for (const char* expected : {"Детальный отчет по рабочим за период с 01.03.2024 по 01.04.2024", "Антонов А.А.",
                                 "Цена ср. сд. за 1 ч.:", "Сумма без р/к (р.)", "1158,33", "2030,00"})
        QVERIFY2(text.contains(QString::fromUtf8(expected)), expected);
    QCOMPARE(QDir(m_tmp.path()).entryList(QDir::Files), QStringList{QStringLiteral("form20.pdf")});

    QVERIFY_THROWS_EXCEPTION(ReportError, form.savePdf(m_tmp.filePath(QStringLiteral("no/such/folder.pdf"))));
}

namespace {

/// A page of a PDF as pdftoppm draws it in grey at 50 dots an inch, or at dpi.
QImage pdfPage(const QString& path, int page, int dpi = 50)
{
    QProcess p;
    p.start(QStringLiteral("pdftoppm"), {QStringLiteral("-gray"), QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-f"),
                                         QString::number(page), QStringLiteral("-l"), QString::number(page), path});
    p.waitForFinished(30000);
    return QImage::fromData(p.readAllStandardOutput()).convertToFormat(QImage::Format_Grayscale8);
}

/// The document as the printer's painter draws it, into a PDF of the toolkit's.
void writePrintedPdf(const ReportDocument& doc, const QString& path)
{
    QPdfWriter pdf(path);
    pdf.setResolution(600);
    pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
    QPainter painter(&pdf);
    paintReport(painter, pdf, doc);
}

} // namespace

void TestReports::pdfPagesLookAsPrinted()
{
    // Frames, shading, bold and large type, right and centred text, letters built of parts
    // (Ё, É), text cut at its box, on two pages.
    ReportDocument doc;
    doc.fontFamily = QStringLiteral("DejaVu Sans");
    doc.title = QStringLiteral("Проба");
    ReportPage page;
    const FrameSides all(FrameTop | FrameBottom | FrameLeft | FrameRight);
    for (int row = 0; row < 40; ++row) {
        const double y = 20 + row * 6;
        page.elements.push_back({QRectF(15, y, 80, 6), QStringLiteral("Ёлкин Эмиль Éдуардович %1").arg(row), Qt::AlignLeft, false, 8, {}, all});
        page.elements.push_back({QRectF(95, y, 30, 6), QStringLiteral("1 234,%1").arg(row, 2, 10, QLatin1Char('0')), Qt::AlignRight,
                                 row % 5 == 0, 8, row % 2 ? QColor(220, 220, 220) : QColor(), all});
        page.elements.push_back({QRectF(125, y, 18, 6), QStringLiteral("Не помещается в клетку"), Qt::AlignLeft, false, 8, {}, all});
    }
    page.elements.push_back({QRectF(15, 270, 180, 14), QStringLiteral("Итого: 49 383,20 ₽"), Qt::AlignHCenter, true, 16, {}, FrameTop});
    doc.pages.push_back(page);
    doc.pages.push_back(page);
    const QString ours = m_tmp.filePath(QStringLiteral("ours.pdf")), printed = m_tmp.filePath(QStringLiteral("printed.pdf"));
    writeReportPdf(doc, ours);
    writePrintedPdf(doc, printed);
    for (int n : {1, 2}) {
        const QImage a = pdfPage(ours, n), b = pdfPage(printed, n);
        QVERIFY(!a.isNull());
        QCOMPARE(a.size(), b.size());
        // Alike to the eye: the ink in about the same amount and places, pixel by pixel.
        qint64 inkA = 0, inkB = 0, apart = 0;
        for (int y = 0; y < a.height(); ++y) {
            const uchar* la = a.constScanLine(y);
            const uchar* lb = b.constScanLine(y);
            for (int x = 0; x < a.width(); ++x) {
                inkA += 255 - la[x];
                inkB += 255 - lb[x];
                apart += std::abs(int(la[x]) - int(lb[x]));
            }
        }
        QVERIFY2(inkA > 0 && std::abs(inkA - inkB) < inkB / 10, qPrintable(QStringLiteral("%1 %2").arg(inkA).arg(inkB)));
        QVERIFY2(apart < inkB / 6, qPrintable(QStringLiteral("%1 of %2").arg(apart).arg(inkB)));
    }
    const QString text = pdfText(ours);
    for (const char* expected : {"Ёлкин Эмиль Éдуардович 39", "1 234,07", "Итого: 49 383,20 ₽"})
        QVERIFY2(text.contains(QString::fromUtf8(expected)), expected);
}

void TestReports::pdfTextCopiesAsPrinted()
{
    // Letters the face has no glyph for (drawn as its box), each of them different, in both
    // weights, beside letters it has; tabs and line breaks in names are drawn as blanks.
    // Hebrew is drawn from right to left, as printed, and a reader copies it in the order written.
    const QStringList written = {QStringLiteral("Иванов\tИван 🚀 漢字"), QStringLiteral("Петров\nП.П. नमस्ते"),
                                 QStringLiteral("Коэн שלום"), QStringLiteral("ไทย Сидоров\vС.С. 🦀")};
    const QStringList copied = {QStringLiteral("Иванов Иван 🚀 漢字"), QStringLiteral("Петров П.П. नमस्ते"),
                                QStringLiteral("Коэн שלום"), QStringLiteral("ไทย Сидоров С.С. 🦀")};
    const auto document = [](const QStringList& texts) {
        ReportDocument doc;
        doc.title = QStringLiteral("Проба");
        ReportPage page;
        for (int i = 0; i < texts.size(); ++i)
            page.elements.push_back({QRectF(15, 20 + i * 10, 150, 8), texts.at(i), Qt::AlignLeft, i % 2 == 1, 10, {}, {}});
        doc.pages.push_back(page);
        return doc;
    };
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("letters.pdf")), blanks = dir.filePath(QStringLiteral("blanks.pdf"));
    writeReportPdf(document(written), path);
    QStringList withBlanks = written;
    for (QString& text : withBlanks) text.replace(QRegularExpression(QStringLiteral("[\\t\\v\\n]")), QStringLiteral(" "));
    writeReportPdf(document(withBlanks), blanks);

    QProcess check;
    check.start(QStringLiteral("qpdf"), {QStringLiteral("--check"), path});
    QVERIFY(check.waitForFinished(30000));
    QVERIFY2(check.exitCode() == 0, check.readAllStandardOutput() + check.readAllStandardError());
    // The reader marks where the direction changes; the marks are its own.
    const QString text = pdfText(path).remove(QRegularExpression(QStringLiteral("[\\x{202A}-\\x{202E}]")));
    for (const QString& line : copied) QVERIFY2(text.contains(line), qPrintable(line + QStringLiteral(" in:\n") + text));
    QCOMPARE(pdfPage(path, 1), pdfPage(blanks, 1));
}

void TestReports::rightToLeftLettersAreDrawnAsPrinted_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("a Hebrew word") << QStringLiteral("שלום");
    QTest::newRow("after a Russian name") << QStringLiteral("Коэн שלום עולם");
    QTest::newRow("numbers among the letters") << QStringLiteral("Коэн שלום 12,5 עולם 30% Иван");
    QTest::newRow("a line begun in Hebrew, with brackets") << QStringLiteral("שלום (עולם) Иван");
    QTest::newRow("points over the letters") << QStringLiteral("Иван עִבְרִית Иван");
}

void TestReports::rightToLeftLettersAreDrawnAsPrinted()
{
    // The letters in the order and places the printer's painter puts them: the same ink in the
    // same places, strip by strip across the line, each strip let move a little to its best fit
    // (the two painters' letters drift apart by a dot or two along a line).
    QFETCH(QString, text);
    ReportDocument doc;
    ReportPage page;
    page.elements.push_back({QRectF(15, 20, 180, 12), text, Qt::AlignLeft, false, 20, {}, {}});
    doc.pages.push_back(page);
    QTemporaryDir dir;
    const QString ours = dir.filePath(QStringLiteral("ours.pdf")), printed = dir.filePath(QStringLiteral("printed.pdf"));
    writeReportPdf(doc, ours);
    writePrintedPdf(doc, printed);
    const QImage a = pdfPage(ours, 1, 100), b = pdfPage(printed, 1, 100);
    QVERIFY(!a.isNull() && a.size() == b.size());
    constexpr int kStrip = 16, kDrift = 3;
    qint64 ink = 0, apart = 0;
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x) ink += 255 - b.constScanLine(y)[x];
    for (int left = 0; left < b.width(); left += kStrip) {
        qint64 best = -1;
        for (int shift = -kDrift; shift <= kDrift; ++shift) {
            qint64 off = 0;
            for (int y = 0; y < b.height(); ++y)
                for (int x = left; x < std::min(left + kStrip, b.width()); ++x) {
                    const int ours = x + shift >= 0 && x + shift < a.width() ? 255 - a.constScanLine(y)[x + shift] : 0;
                    off += std::abs(ours - (255 - b.constScanLine(y)[x]));
                }
            if (best < 0 || off < best) best = off;
        }
        apart += best;
    }
    QVERIFY2(ink > 0 && apart < ink * 3 / 10, qPrintable(QStringLiteral("%1 of %2").arg(apart).arg(ink)));
}

void TestReports::aFailureWhilePaintingIsAFailedWrite()
{
    // The disk runs full while the pages are painted on the file's own thread: the caller is told
    // the file cannot be written, by the next page it hands over, and the old file stays.
    SmallFileSystem disk(64);
    QVERIFY2(disk.error().isEmpty(), qPrintable(disk.error()));
    const QString path = disk.filePath(QStringLiteral("workers.pdf"));
    {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
    }
    ReportDocument format;
    format.title = QStringLiteral("Проба");
    quint32 seed = 1;
    const auto name = [&seed] {
        QString out;
        for (int i = 0; i < 24; ++i) {
            seed = seed * 1103515245 + 12345;
            out += QChar(u'А' + (seed >> 16) % 64);
        }
        return out;
    };
    constexpr int kPages = 1000;
    int handedOver = 0;
    QString failure;
    try {
        ReportPdfFile file(path);
        for (; handedOver < kPages; ++handedOver) {
            ReportPage page;
            for (int row = 0; row < 40; ++row)
                page.elements.push_back({QRectF(15, 20 + row * 6, 180, 6), name(), Qt::AlignLeft, row % 2 == 0, 8, {}, {}});
            file.addPage(format, std::move(page));
        }
        file.commit();
    } catch (const ReportError& e) {
        failure = e.text();
    }
    QVERIFY2(failure.startsWith(QStringLiteral("Не удалось записать файл %1: ").arg(path)), qPrintable(failure));
    QVERIFY2(handedOver < kPages, "every page was laid out after the painting had stopped");
    QFile written(path);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QCOMPARE(written.readAll(), QByteArray("old"));
    QCOMPARE(QDir(QFileInfo(path).path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("workers.pdf")});
}

void TestReports::previewOpensMaximisedZoomedAndSavesPdf_data()
{
    QTest::addColumn<bool>("timesheet");
    QTest::addColumn<int>("zoom");
    QTest::newRow("Form15 whole page") << true << int(QPrintPreviewWidget::FitInView);
    QTest::newRow("Form17 page width") << false << int(QPrintPreviewWidget::FitToWidth);
}

void TestReports::previewOpensMaximisedZoomedAndSavesPdf()
{
    QFETCH(bool, timesheet);
    QFETCH(int, zoom);
    const std::unique_ptr<ReportWindow> form = findReportKind(timesheet ? QStringLiteral("time-timesheet") : QStringLiteral("products"))->make(*m_dm);
    const QString path = m_tmp.filePath(timesheet ? QStringLiteral("preview15.pdf") : QStringLiteral("preview17.pdf"));

    QString name;
    bool maximised = false, atTop = false;
    int zoomMode = -1, pages = -1;
    whenModal([&](QWidget* w) {
        name = w->objectName();
        maximised = w->windowState().testFlag(Qt::WindowMaximized);
        // At the top of the first page.
        if (auto* view = w->findChild<QGraphicsView*>()) {
            QTest::qWait(200);
            atTop = view->verticalScrollBar()->value() == view->verticalScrollBar()->minimum();
        }
        if (auto* preview = w->findChild<QPrintPreviewWidget*>()) {
            zoomMode = int(preview->zoomMode());
            pages = preview->pageCount();
        }
        whenModal([&](QWidget* dialog) {
            // The user types the file's name and presses Enter.
            auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            if (!name) {
                dialog->close();
                return;
            }
            name->setText(path);
            QTest::keyClick(name, Qt::Key_Return);
        });
        if (auto* save = w->findChild<QAction*>(QStringLiteral("savePdfAction"))) save->trigger();
        w->close();
    });
    form->run(ReportRequest{QDate(2024, 3, 1), QDate(2024, 4, 1), 0, 3, 2024});
    QVERIFY(!form->reportQuery().isOpen());
    QCOMPARE(name, QStringLiteral("ReportPreview"));
    QVERIFY(maximised);
    QVERIFY(atTop);
    QCOMPARE(zoomMode, zoom);
    QCOMPARE(pages, form->pageCount());
    QVERIFY(pdfText(path).contains(timesheet ? QStringLiteral("Март 2024 г.") : QStringLiteral("Отчет по продукции")));
}

void TestReports::aFullDiskKeepsTheOldPdf_data()
{
    QTest::addColumn<bool>("print");
    QTest::newRow("saved from the preview") << false;
    QTest::newRow("printed to a file") << true;
}

void TestReports::aFullDiskKeepsTheOldPdf()
{
    QFETCH(bool, print);
    SmallFileSystem disk(64);
    QVERIFY2(disk.error().isEmpty(), qPrintable(disk.error()));
    const std::unique_ptr<ReportWindow> form = findReportKind(QStringLiteral("products"))->make(*m_dm);
    // An empty period: a PDF of some 15 KB, written out in one piece when the file is closed.
    const ReportRequest empty{QDate(2030, 1, 1), QDate(2030, 1, 2), 0, 1, 2030};
    form->prepareFor(empty);
    form->reportQuery().close();
    const QString path = disk.filePath(QStringLiteral("products.pdf"));
    form->savePdf(path);
    const auto contents = [&] {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    const QByteArray last = contents();
    QVERIFY(!last.isEmpty());

    QVERIFY(disk.fill());
    if (print) {
        QPrinter printer;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(path);
        printReport(form->document(), printer, m_prompts);
    } else {
        whenModal([&](QWidget* w) {
            whenModal([&](QWidget* dialog) {
                auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                if (!name) {
                    dialog->close();
                    return;
                }
                // The file is there: the user agrees to replace it.
                whenModal([](QWidget* box) {
                    if (auto* question = qobject_cast<QMessageBox*>(box)) question->button(QMessageBox::Yes)->click();
                    else box->close();
                });
                name->setText(path);
                QTest::keyClick(name, Qt::Key_Return);
            });
            if (auto* save = w->findChild<QAction*>(QStringLiteral("savePdfAction"))) save->trigger();
            w->close();
        });
        form->run(empty);
    }
    QCOMPARE(m_prompts.said().size(), 1);
    QCOMPARE(m_prompts.said()[0].kind, ScriptedPrompts::Said::Error);
    QCOMPARE(m_prompts.said()[0].title, QStringLiteral("Ошибка"));
    QVERIFY2(m_prompts.said()[0].text.contains(path), qPrintable(m_prompts.said()[0].text));
    m_prompts.clear();
    QCOMPARE(contents(), last);
    QCOMPARE(QDir(QFileInfo(path).path()).entryList(QDir::Files | QDir::Hidden),
             (QStringList{QStringLiteral("filler"), QStringLiteral("products.pdf")}));
}

QTEST_MAIN(TestReports)
#include "tst_reports.moc"
