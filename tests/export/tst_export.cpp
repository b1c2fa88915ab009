#include "export/excel_export.h"
#include "tests/support/recording_opener.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/workbook_reader.h"

#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QScopeGuard>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Fixture {
    QTemporaryDir dir;
    ScriptedPrompts prompts;
    RecordingOpener opener;
    ExcelApp excel{prompts, opener, dir.path()};
};

QJsonObject cell(const Workbook& book, const QString& address) { return book.cell(address); }

double width(const Workbook& book, const QString& column) { return book.widths[column].toDouble(); }

QString cellError(int sheet, int column, int row)
{
    return QStringLiteral("Ошибка при записи: лист %1, столбец %2, строка %3").arg(sheet).arg(column).arg(row);
}

}  // namespace

class TestExport : public QObject {
    Q_OBJECT

private slots:
    void cellValues_data();
    void cellValues();
    void rewritingACell();
    void characterCodesStayAsTyped_data();
    void characterCodesStayAsTyped();
    void charactersXmlForbidsAreReplaced_data();
    void charactersXmlForbidsAreReplaced();
    void dateTimesAreDates_data();
    void dateTimesAreDates();
    void emptyTextWritesNothing_data();
    void emptyTextWritesNothing();
    void wrongSheetOrCell_data();
    void wrongSheetOrCell();
    void columnWidthsFitContent();
    void columnNumberFormat_data();
    void columnNumberFormat();
    void frozenHeaderWithFilter();
    void sheetLayoutFailures_data();
    void sheetLayoutFailures();
    void handOverNeverOverwrites();
    void unfinishedExportShownWithNext();
    void noSpreadsheetProgram();
    void outputFolderUnusable();
    void saveFailureKeepsWorkbook();
    void openNamedFile();
    void saveAsWritesTheWholeFileOrNothing();
    void desktopOpener_data();
    void desktopOpener();
    void rowsGoOnOnTheNextSheet();
    void aRowThatCannotBeWrittenIsToldOnce();
};

void TestExport::cellValues_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("basic");
    QTest::addColumn<bool>("asText");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("format");

    const QString General = QStringLiteral("General");
    QTest::newRow("whole number") << "5" << false << false << "n" << QVariant(5.0) << General;
    QTest::newRow("number as text") << "5" << false << true << "s" << QVariant("5") << "@";
    QTest::newRow("basic variant") << "8" << true << false << "n" << QVariant(8.0) << General;
    QTest::newRow("decimal comma") << "7,5" << false << false << "n" << QVariant(7.5) << General;
    QTest::newRow("decimal point") << "7.5" << false << false << "n" << QVariant(7.5) << General;
    QTest::newRow("decimal as text") << "7,5" << false << true << "s" << QVariant("7,5") << "@";
    QTest::newRow("bare separators") << ",5" << false << false << "n" << QVariant(0.5) << General;
    QTest::newRow("negative") << "-12,25" << false << false << "n" << QVariant(-12.25) << General;
    QTest::newRow("leading zeros") << "007" << false << false << "n" << QVariant(7.0) << General;
    QTest::newRow("exponent") << "1,5E3" << false << false << "n" << QVariant(1500.0) << General;
    QTest::newRow("Cyrillic") << "Фамилия И.О." << false << false << "s" << QVariant("Фамилия И.О.") << General;
    QTest::newRow("markup characters") << "Ёлкин & «Сын» <b>\"1\"</b>" << true << false << "s"
                                       << QVariant("Ёлкин & «Сын» <b>\"1\"</b>") << General;
    QTest::newRow("date stays text") << "12.03.2024" << false << false << "s" << QVariant("12.03.2024") << General;
    QTest::newRow("two separators") << "1,5,3" << false << false << "s" << QVariant("1,5,3") << General;
    QTest::newRow("sign alone") << "-" << false << false << "s" << QVariant("-") << General;
    QTest::newRow("digits a number would lose") << "12345678901234567" << false << false << "s"
                                                << QVariant("12345678901234567") << General;
}

void TestExport::cellValues()
{
    QFETCH(QString, text);
    QFETCH(bool, basic);
    QFETCH(bool, asText);
    QFETCH(QString, type);
    QFETCH(QVariant, value);
    QFETCH(QString, format);

    Fixture f;
    QCOMPARE(f.excel.OpenExcel(QString()), 1);
    const int result = basic ? f.excel.WriteExcelCell(1, 2, 3, text)
                             : f.excel.WriteExcelCell(1, 2, 3, text, asText, false, false);
    QCOMPARE(result, 1);
    QCOMPARE(f.excel.SetExcelVisible(true), 1);
    QVERIFY(f.prompts.said().isEmpty());

    Workbook book;
    QVERIFY(readWorkbook(f.opener.opened.value(0), &book));
    QCOMPARE(book.sheets, QStringList{QStringLiteral("Лист1")});
    const QJsonObject b3 = cell(book, QStringLiteral("B3"));
    QCOMPARE(b3[QStringLiteral("type")].toString(), type);
    if (type == QLatin1String("n"))
        QCOMPARE(b3[QStringLiteral("value")].toDouble(), value.toDouble());
    else
        QCOMPARE(b3[QStringLiteral("value")].toString(), value.toString());
    QCOMPARE(b3[QStringLiteral("format")].toString(), format);
    QCOMPARE(b3[QStringLiteral("bold")].toBool(), false);
}

void TestExport::rewritingACell()
{
    Fixture f;
    QCOMPARE(f.excel.OpenExcel(QString()), 1);
    // bold switched off explicitly
    f.excel.WriteExcelCell(1, 1, 1, QStringLiteral("Итого"), true, false, true);
    f.excel.WriteExcelCell(1, 1, 1, QStringLiteral("Итого"), true, false, false);
    // the basic write leaves the font alone
    f.excel.WriteExcelCell(1, 2, 1, QStringLiteral("Январь"), true, false, true);
    f.excel.WriteExcelCell(1, 2, 1, QStringLiteral("Февраль"));
    // the text format stays on the cell, so a later number lands as text
    f.excel.WriteExcelCell(1, 3, 1, QStringLiteral("5"), true, false, false);
    f.excel.WriteExcelCell(1, 3, 1, QStringLiteral("6"), false, false, false);
    // an empty value leaves what is there
    f.excel.WriteExcelCell(1, 4, 1, QStringLiteral("8"), false, false, true);
    QCOMPARE(f.excel.WriteExcelCell(1, 4, 1, QString(), false, false, false), 1);
    QCOMPARE(f.excel.SetExcelVisible(true), 1);
    QVERIFY(f.prompts.said().isEmpty());

    Workbook book;
    QVERIFY(readWorkbook(f.opener.opened.value(0), &book));
    QCOMPARE(cell(book, "A1")["bold"].toBool(), false);
    QCOMPARE(cell(book, "A1")["value"].toString(), QStringLiteral("Итого"));
    QCOMPARE(cell(book, "B1")["bold"].toBool(), true);
    QCOMPARE(cell(book, "B1")["value"].toString(), QStringLiteral("Февраль"));
    QCOMPARE(cell(book, "C1")["type"].toString(), QStringLiteral("s"));
    QCOMPARE(cell(book, "C1")["value"].toString(), QStringLiteral("6"));
    QCOMPARE(cell(book, "C1")["format"].toString(), QStringLiteral("@"));
    QCOMPARE(cell(book, "D1")["value"].toDouble(), 8.0);
    QCOMPARE(cell(book, "D1")["bold"].toBool(), true);
}

void TestExport::characterCodesStayAsTyped_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("a code alone") << "_x0041_";
    QTest::newRow("a code inside") << "Марка_x00e9_1";
    QTest::newRow("two in a row") << "_x0041__x0042_";
    QTest::newRow("the underscore's own code") << "_x005F_";
    QTest::newRow("not a code") << "_x41_ и x0041_";
}

void TestExport::characterCodesStayAsTyped()
{
    QFETCH(QString, text);
    Fixture f;
    QCOMPARE(f.excel.OpenExcel(QString()), 1);
    QCOMPARE(f.excel.WriteExcelCell(1, 1, 1, text), 1);
    QCOMPARE(f.excel.SetExcelVisible(true), 1);
    Workbook book;
    QVERIFY(readWorkbook(f.opener.opened.value(0), &book));
    // The reader gives the stored text; a spreadsheet shows it with every "_xHHHH_" decoded.
    QString shown = cell(book, "A1")["value"].toString();
    static const QRegularExpression code(QStringLiteral("_x([0-9A-Fa-f]{4})_"));
    QString decoded;
    qsizetype at = 0;
    for (auto it = code.globalMatch(shown); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        decoded += shown.mid(at, m.capturedStart() - at) + QChar(char16_t(m.captured(1).toUShort(nullptr, 16)));
        at = m.capturedEnd();
    }
    decoded += shown.mid(at);
    QCOMPARE(decoded, text);
}

void TestExport::charactersXmlForbidsAreReplaced_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("stored");
    const QChar r(QChar::ReplacementCharacter);
    const auto t = [](std::initializer_list<char16_t> units) { return QString(reinterpret_cast<const QChar*>(units.begin()), qsizetype(units.size())); };
    QTest::newRow("U+FFFF") << t({u'а', 0xFFFF, u'б'}) << QString(u'а') + r + u'б';
    QTest::newRow("U+FFFE") << t({0xFFFE}) << QString(r);
    QTest::newRow("control characters") << t({0x0, u'а', 0x1, 0xB, 0xC, 0x1F, u'б'}) << QString(r) + u'а' + r + r + r + r + u'б';
    QTest::newRow("tab and line break stay") << t({u'а', u'\t', u'б', u'\n', u'в'}) << t({u'а', u'\t', u'б', u'\n', u'в'});
    // Half of a pair would reach UTF-8 as "?".
    QTest::newRow("lone high surrogate") << t({u'а', 0xD800, u'б'}) << QString(u'а') + r + u'б';
    QTest::newRow("lone low surrogate first") << t({0xDC00, u'б'}) << QString(r) + u'б';
    QTest::newRow("high surrogate last") << t({u'а', 0xD83D}) << QString(u'а') + r;
    QTest::newRow("pair the wrong way round") << t({0xDE00, 0xD83D}) << QString(r) + r;
    QTest::newRow("a pair stays") << t({u'а', 0xD83D, 0xDE00, u'б'}) << t({u'а', 0xD83D, 0xDE00, u'б'});
    QTest::newRow("as text, beside a character code") << t({u'_', u'x', u'0', u'0', u'4', u'1', u'_', 0xFFFF})
                                                      << QStringLiteral("_x005F_x0041_") + r;
}

void TestExport::charactersXmlForbidsAreReplaced()
{
    QFETCH(QString, text);
    QFETCH(QString, stored);
    Fixture f;
    QCOMPARE(f.excel.OpenExcel(QString()), 1);
    QCOMPARE(f.excel.WriteExcelCell(1, 1, 1, text, true, true, false), 1);
    QCOMPARE(f.excel.WriteExcelCell(1, 1, 2, QStringLiteral("ниже")), 1);
    QCOMPARE(f.excel.SetExcelVisible(true), 1);
    const QString path = f.opener.opened.value(0);
    QCOMPARE(xmlFaults(path), QStringList());
    Workbook book;
    QVERIFY(readWorkbook(path, &book));
    QCOMPARE(cell(book, "A1")["value"].toString(), stored);
    QCOMPARE(book.at(2, 1), QStringLiteral("ниже"));
}

void TestExport::dateTimesAreDates_data()
{
    QTest::addColumn<QDateTime>("moment");
    QTest::addColumn<QString>("type");   // as the reader finds the cell: "d" a date-time
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("format");
    QTest::addColumn<bool>("day");       // written as a day alone (WriteExcelDate)
    const QString dateTime = QStringLiteral("dd.mm.yyyy hh:mm:ss");
    QTest::newRow("a day a text would sort after the 2nd")
        << QDateTime(QDate(2024, 3, 10), QTime(9, 5, 7), Qt::UTC) << "d" << "2024-03-10 09:05:07" << dateTime << false;
    QTest::newRow("the zone's clock, not converted")
        << QDateTime(QDate(2024, 12, 31), QTime(23, 59, 59), Qt::OffsetFromUTC, 3 * 3600) << "d"
        << "2024-12-31 23:59:59" << dateTime << false;
    QTest::newRow("to the whole second") << QDateTime(QDate(2024, 3, 1), QTime(10, 0, 0, 900), Qt::UTC) << "d"
                                         << "2024-03-01 10:00:00" << dateTime << false;
    QTest::newRow("before the spreadsheet's days") << QDateTime(QDate(1899, 12, 31), QTime(12, 0), Qt::UTC) << "s"
                                                   << "31.12.1899 12:00:00" << "0.00" << false;  // a text, in the column's
    // A day alone is shown without a time.
    QTest::newRow("a day") << QDateTime(QDate(2024, 3, 10), QTime(0, 0)) << "d" << "2024-03-10 00:00:00" << "dd.mm.yyyy" << true;
    QTest::newRow("a day before the spreadsheet's days") << QDateTime(QDate(1899, 12, 31), QTime(0, 0)) << "s"
                                                         << "31.12.1899" << "0.00" << true;
}

void TestExport::dateTimesAreDates()
{
    QFETCH(QDateTime, moment);
    QFETCH(QString, type);
    QFETCH(QString, value);
    QFETCH(QString, format);
    QFETCH(bool, day);
    Fixture f;
    QCOMPARE(f.excel.OpenExcel(QString()), 1);
    QCOMPARE(day ? f.excel.WriteExcelDate(1, 1, 2, moment.date()) : f.excel.WriteExcelDateTime(1, 1, 2, moment), 1);
    // the column's number format is not the moment's; an invalid moment writes nothing
    QCOMPARE(f.excel.SetExcelNumberFormat(1, 1, excel_table::kMoney), 1);
    QCOMPARE(day ? f.excel.WriteExcelDate(1, 1, 3, QDate()) : f.excel.WriteExcelDateTime(1, 1, 3, QDateTime()), 1);
    QCOMPARE(f.excel.AutoFitExcelColumns(1), 1);
    QCOMPARE(f.excel.SetExcelVisible(true), 1);
    QVERIFY(f.prompts.said().isEmpty());

    Workbook book;
    QVERIFY(readWorkbook(f.opener.opened.value(0), &book));
    const QJsonObject a2 = cell(book, "A2");
    QCOMPARE(a2["type"].toString(), type);
    QCOMPARE(a2["value"].toString(), value);
    QCOMPARE(a2["format"].toString(), format);
    QCOMPARE(QStringList(book.cells.keys()), QStringList{QStringLiteral("A2")});
    // as wide as the 19 characters it shows (10 of a day), not the serial number behind them
    const int shown = day ? 10 : 19;
    QVERIFY2(width(book, "A") >= shown - 2 && width(book, "A") < shown + 3, qPrintable(QString::number(width(book, "A"))));
}

void TestExport::emptyTextWritesNothing_data()
{
    QTest::addColumn<bool>("basic");
    QTest::addColumn<int>("sheet");

    QTest::newRow("basic") << true << 1;
    QTest::newRow("extended, every flag") << false << 1;
    QTest::newRow("missing sheet") << false << 2;
}

void TestExport::emptyTextWritesNothing()
{
    QFETCH(bool, basic);
    QFETCH(int, sheet);

    Fixture f;
    QCOMPARE(f.excel.OpenExcel(QString()), 1);
    const int result = basic ? f.excel.WriteExcelCell(sheet, 2, 2, QString())
                             : f.excel.WriteExcelCell(sheet, 2, 2, QString(), true, true, true);
    QCOMPARE(result, 1);
    QCOMPARE(f.excel.SetExcelVisible(true), 1);
    QVERIFY(f.prompts.said().isEmpty());

    Workbook book;
    QVERIFY(readWorkbook(f.opener.opened.value(0), &book));
    QVERIFY(book.cells.isEmpty());
    QVERIFY(book.widths.isEmpty());
}

void TestExport::wrongSheetOrCell_data()
{
    QTest::addColumn<bool>("opened");
    QTest::addColumn<int>("sheet");
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("title");

    const QString sheetTitle = QStringLiteral("Ошибочный номер листа Microsoft Excel");
    const QString cellTitle = QStringLiteral("Ошибка Microsoft Excel");
    QTest::newRow("sheet 2 of one") << true << 2 << 1 << 1 << "x" << sheetTitle;
    QTest::newRow("sheet 0") << true << 0 << 3 << 4 << "x" << sheetTitle;
    QTest::newRow("no workbook") << false << 1 << 1 << 1 << "x" << sheetTitle;
    QTest::newRow("row 0") << true << 1 << 1 << 0 << "x" << cellTitle;
    QTest::newRow("column 0") << true << 1 << 0 << 5 << "x" << cellTitle;
    QTest::newRow("past the last row") << true << 1 << 1 << 1048577 << "x" << cellTitle;
    QTest::newRow("past the last column") << true << 1 << 16385 << 1 << "x" << cellTitle;
    QTest::newRow("text too long") << true << 1 << 1 << 1 << QString(32768, u'ж') << cellTitle;
}

void TestExport::wrongSheetOrCell()
{
    QFETCH(bool, opened);
    QFETCH(int, sheet);
    QFETCH(int, column);
    QFETCH(int, row);
    QFETCH(QString, text);
    QFETCH(QString, title);

    Fixture f;
    if (opened)
        QCOMPARE(f.excel.OpenExcel(QString()), 1);
    QCOMPARE(f.excel.WriteExcelCell(sheet, column, row, text, false, true, true), -1);
    QCOMPARE(f.prompts.said().size(), 1);
    QCOMPARE(f.prompts.said()[0].kind, ScriptedPrompts::Said::Error);
    QCOMPARE(f.prompts.said()[0].text, cellError(sheet, column, row));
    QCOMPARE(f.prompts.said()[0].title, title);
    if (!opened)
        return;

    // the export goes on with the next cell
    QCOMPARE(f.excel.WriteExcelCell(1, 2, 2, QStringLiteral("дальше")), 1);
    QCOMPARE(f.excel.SetExcelVisible(true), 1);
    Workbook book;
    QVERIFY(readWorkbook(f.opener.opened.value(0), &book));
    QCOMPARE(QStringList(book.cells.keys()), QStringList{QStringLiteral("B2")});
}

void TestExport::columnWidthsFitContent()
{
    Fixture f;
    QCOMPARE(f.excel.OpenExcel(QString()), 1);
    const QString longText = QStringLiteral("Иванов Иван Иванович, заготовки");
    f.excel.WriteExcelCell(1, 1, 1, QStringLiteral("1"), false, true, false);
    f.excel.WriteExcelCell(1, 2, 1, QStringLiteral("Иванов"), true, true, false);
    f.excel.WriteExcelCell(1, 3, 1, longText, true, true, false);
    f.excel.WriteExcelCell(1, 4, 1, longText, true, true, true);
    // the longest of several rows decides, whatever the order
    f.excel.WriteExcelCell(1, 5, 1, QStringLiteral("12"), false, true, false);
    f.excel.WriteExcelCell(1, 5, 2, longText, true, true, false);
    f.excel.WriteExcelCell(1, 5, 3, QStringLiteral("3"), false, true, false);
    // a long text overwritten by a short one no longer counts
    f.excel.WriteExcelCell(1, 6, 1, longText, true, true, false);
    f.excel.WriteExcelCell(1, 6, 1, QStringLiteral("1"), false, true, false);
    // without auto-fit the column keeps the default width
    f.excel.WriteExcelCell(1, 7, 1, longText, true, false, false);
    QCOMPARE(f.excel.SetExcelVisible(true), 1);
    QVERIFY(f.prompts.said().isEmpty());

    Workbook book;
    QVERIFY(readWorkbook(f.opener.opened.value(0), &book));
    QVERIFY(width(book, "A") > 0);
    QVERIFY(width(book, "A") < width(book, "B"));
    QVERIFY(width(book, "B") < width(book, "C"));
    QVERIFY(width(book, "C") < width(book, "D"));
    QCOMPARE(width(book, "E"), width(book, "C"));
    QCOMPARE(width(book, "F"), width(book, "A"));
    QVERIFY(!book.widths.contains("G"));
    // the long text needs more than the default column of 8.43 digits, a day number less
    QVERIFY(width(book, "C") > longText.size() * 0.8);
    QVERIFY(width(book, "A") < 8.43);
}

void TestExport::columnNumberFormat_data()
{
    QTest::addColumn<bool>("formatFirst");   // the column's format given before the cell is written
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("asText");
    QTest::addColumn<bool>("bold");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("cellFormat");
    QTest::addColumn<QString>("shown");

    QTest::newRow("money") << true << "0.00" << "1234,5" << false << false << "n" << "0.00" << "1234.50";
    QTest::newRow("money given after") << false << "0.00" << "-7" << false << false << "n" << "0.00" << "-7.00";
    QTest::newRow("bold money") << true << "0.00" << "12,345" << false << true << "n" << "0.00" << "12.35";
    QTest::newRow("hours") << true << "0" << "8" << false << false << "n" << "0" << "8";
    QTest::newRow("a heading of the text format") << true << "0" << "15" << true << true << "s" << "@" << "15";
    QTest::newRow("text") << false << "0.00" << "нет" << false << false << "s" << "0.00" << "нет";
}

void TestExport::columnNumberFormat()
{
    QFETCH(bool, formatFirst);
    QFETCH(QString, format);
    QFETCH(QString, text);
    QFETCH(bool, asText);
    QFETCH(bool, bold);
    QFETCH(QString, type);
    QFETCH(QString, cellFormat);
    QFETCH(QString, shown);

    Fixture f;
    QCOMPARE(f.excel.OpenExcel(QString()), 1);
    if (formatFirst)
        QCOMPARE(f.excel.SetExcelNumberFormat(1, 2, format), 1);
    // The same cell in B, which gets the format, and in C, which does not.
    for (int column : {2, 3})
        QCOMPARE(f.excel.WriteExcelCell(1, column, 2, text, asText, true, bold), 1);
    if (!formatFirst)
        QCOMPARE(f.excel.SetExcelNumberFormat(1, 2, format), 1);
    QCOMPARE(f.excel.AutoFitExcelColumns(1), 1);
    QCOMPARE(f.excel.SetExcelVisible(true), 1);
    QVERIFY(f.prompts.said().isEmpty());

    Workbook book;
    QVERIFY(readWorkbook(f.opener.opened.value(0), &book));
    const QJsonObject b2 = cell(book, "B2");
    QCOMPARE(b2["type"].toString(), type);
    QCOMPARE(b2["format"].toString(), cellFormat);
    QCOMPARE(b2["shown"].toString(), shown);
    QCOMPARE(b2["bold"].toBool(), bold);
    QCOMPARE(cell(book, "C2")["type"].toString(), type);
    // Numbers typed into the column later show in its format too.
    QCOMPARE(book.columnFormats["B"].toString(), format);
    QVERIFY(!book.columnFormats.contains("C"));
    // The width fits the number as it shows.
    const double digits = shown.size() - (shown.contains(u'.') ? 0.5 : 0.0) - (shown.startsWith(u'-') ? 0.3 : 0.0);
    QVERIFY2(width(book, "B") >= digits && width(book, "B") <= digits * 1.2 + 2,
             qPrintable(QStringLiteral("%1 for %2").arg(width(book, "B")).arg(shown)));
}

void TestExport::frozenHeaderWithFilter()
{
    Fixture f;
    QCOMPARE(f.excel.OpenExcel(QString()), 1);
    // A title, a header row and three rows; column D holds what C holds, outside the filter.
    f.excel.WriteExcelCell(1, 1, 1, QStringLiteral("Март 2024"), true, true, true);
    for (int column : {1, 2, 3, 4})
        f.excel.WriteExcelCell(1, column, 2, QStringLiteral("Итого"), true, true, true);
    for (int row = 3; row <= 5; ++row)
        for (int column : {1, 2, 3, 4}) f.excel.WriteExcelCell(1, column, row, QString::number(row * 100), false, true, false);
    QCOMPARE(f.excel.FreezeExcelRows(1, 2), 1);
    QCOMPARE(f.excel.SetExcelAutoFilter(1, 1, 2, 3, 5), 1);
    QCOMPARE(f.excel.AutoFitExcelColumns(1), 1);
    QCOMPARE(f.excel.SetExcelVisible(true), 1);
    QVERIFY(f.prompts.said().isEmpty());

    Workbook book;
    QVERIFY(readWorkbook(f.opener.opened.value(0), &book));
    QCOMPARE(book.frozen, QStringLiteral("A3"));
    QCOMPARE(book.autoFilter, QStringLiteral("A2:C5"));
    // A filter header leaves room for its button: about two digits more than the same column
    // without a filter.
    QVERIFY(width(book, "C") >= width(book, "D") + 2);
    QVERIFY(width(book, "C") <= width(book, "D") + 3);
    QCOMPARE(width(book, "B"), width(book, "C"));
    QVERIFY(width(book, "A") > width(book, "C"));   // the title is wider still
}

void TestExport::sheetLayoutFailures_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<int>("sheet");
    QTest::addColumn<QList<int>>("arguments");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("title");

    const QString sheetTitle = QStringLiteral("Ошибочный номер листа Microsoft Excel");
    const QString cellTitle = QStringLiteral("Ошибка Microsoft Excel");
    QTest::newRow("format on sheet 2") << "format" << 2 << QList<int>{3} << cellError(2, 3, 1) << sheetTitle;
    QTest::newRow("format of column 0") << "format" << 1 << QList<int>{0} << cellError(1, 0, 1) << cellTitle;
    QTest::newRow("freeze on sheet 0") << "freeze" << 0 << QList<int>{2} << cellError(0, 1, 3) << sheetTitle;
    QTest::newRow("freeze past the last row") << "freeze" << 1 << QList<int>{1048576} << cellError(1, 1, 1048577) << cellTitle;
    QTest::newRow("freeze of -1 rows") << "freeze" << 1 << QList<int>{-1} << cellError(1, 1, 0) << cellTitle;
    QTest::newRow("filter on sheet 2") << "filter" << 2 << QList<int>{1, 2, 3, 5} << cellError(2, 1, 2) << sheetTitle;
    QTest::newRow("filter past the last column") << "filter" << 1 << QList<int>{1, 2, 16385, 5} << cellError(1, 16385, 5) << cellTitle;
    QTest::newRow("filter above its header") << "filter" << 1 << QList<int>{1, 5, 3, 2} << cellError(1, 3, 2) << cellTitle;
    QTest::newRow("fit on sheet 2") << "fit" << 2 << QList<int>{} << cellError(2, 1, 1) << sheetTitle;
}

void TestExport::sheetLayoutFailures()
{
    QFETCH(QString, operation);
    QFETCH(int, sheet);
    QFETCH(QList<int>, arguments);
    QFETCH(QString, text);
    QFETCH(QString, title);

    Fixture f;
    QCOMPARE(f.excel.OpenExcel(QString()), 1);
    f.excel.WriteExcelCell(1, 1, 1, QStringLiteral("Итого"), true, true, true);
    const auto run = [&] {
        if (operation == QLatin1String("format"))
            return f.excel.SetExcelNumberFormat(sheet, arguments[0], QStringLiteral("0.00"));
        if (operation == QLatin1String("freeze"))
            return f.excel.FreezeExcelRows(sheet, arguments[0]);
        if (operation == QLatin1String("filter"))
            return f.excel.SetExcelAutoFilter(sheet, arguments[0], arguments[1], arguments[2], arguments[3]);
        return f.excel.AutoFitExcelColumns(sheet);
    };
    QCOMPARE(run(), -1);
    QCOMPARE(f.prompts.said().size(), 1);
    QCOMPARE(f.prompts.said()[0].kind, ScriptedPrompts::Said::Error);
    QCOMPARE(f.prompts.said()[0].text, text);
    QCOMPARE(f.prompts.said()[0].title, title);

    // The workbook is left as it was and can be shown.
    QCOMPARE(f.excel.SetExcelVisible(true), 1);
    Workbook book;
    QVERIFY(readWorkbook(f.opener.opened.value(0), &book));
    QCOMPARE(book.at(1, 1), QStringLiteral("Итого"));
    QVERIFY(book.frozen.isEmpty() && book.autoFilter.isEmpty() && book.columnFormats.isEmpty());
}

void TestExport::handOverNeverOverwrites()
{
    Fixture f;
    QCOMPARE(f.excel.SetExcelVisible(true), 1);  // nothing opened yet: nothing to show
    QVERIFY(f.excel.isEmpty());

    const QString users = QDir(f.dir.path()).filePath(QStringLiteral("Книга1.xlsx"));
    {
        QFile file(users);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("the user's own file");
    }

    QCOMPARE(f.excel.OpenExcel(QString()), 1);
    QVERIFY(!f.excel.isEmpty());
    QCOMPARE(f.excel.SetExcelVisible(false), 1);
    f.excel.WriteExcelCell(1, 1, 1, QStringLiteral("первая"), true, true, true);
    QVERIFY(f.opener.opened.isEmpty());
    QCOMPARE(QDir(f.dir.path()).entryList(QDir::Files).size(), 1);

    QCOMPARE(f.excel.SetExcelVisible(true), 1);
    QCOMPARE(f.excel.SetExcelVisible(true), 1);  // already on the screen, unchanged
    QCOMPARE(f.excel.OpenExcel(QString()), 1);
    f.excel.WriteExcelCell(1, 1, 1, QStringLiteral("вторая"), true, true, true);
    QCOMPARE(f.excel.SetExcelVisible(true), 1);
    QVERIFY(f.prompts.said().isEmpty());

    const QDir dir(f.dir.path());
    QCOMPARE(f.opener.opened, (QStringList{dir.filePath(QStringLiteral("Книга2.xlsx")),
                                           dir.filePath(QStringLiteral("Книга3.xlsx"))}));
    QFile file(users);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("the user's own file"));

    Workbook first, second;
    QVERIFY(readWorkbook(f.opener.opened[0], &first));
    QVERIFY(readWorkbook(f.opener.opened[1], &second));
    QCOMPARE(cell(first, "A1")["value"].toString(), QStringLiteral("первая"));
    QCOMPARE(cell(second, "A1")["value"].toString(), QStringLiteral("вторая"));
}

void TestExport::unfinishedExportShownWithNext()
{
    Fixture f;
    QCOMPARE(f.excel.OpenExcel(QString()), 1);
    f.excel.WriteExcelCell(1, 1, 1, QStringLiteral("прервана"));
    QCOMPARE(f.excel.OpenExcel(QString()), 1);
    f.excel.WriteExcelCell(1, 1, 1, QStringLiteral("готова"));
    QCOMPARE(f.excel.SetExcelVisible(true), 1);
    QVERIFY(f.prompts.said().isEmpty());

    QCOMPARE(f.opener.opened.size(), 2);
    Workbook first, second;
    QVERIFY(readWorkbook(f.opener.opened[0], &first));
    QVERIFY(readWorkbook(f.opener.opened[1], &second));
    QCOMPARE(cell(first, "A1")["value"].toString(), QStringLiteral("прервана"));
    QCOMPARE(cell(second, "A1")["value"].toString(), QStringLiteral("готова"));
}

void TestExport::noSpreadsheetProgram()
{
    Fixture f;
    f.opener.programInstalled = false;
    QCOMPARE(f.excel.OpenExcel(QString()), 1);
    f.excel.WriteExcelCell(1, 1, 1, QStringLiteral("Отчет"), true, true, true);
    QCOMPARE(f.excel.SetExcelVisible(true), -1);

    QCOMPARE(f.opener.opened.size(), 1);
    const QString path = f.opener.opened[0];
    // One notice, no error: what could not be done, then where the workbook is all the same.
    QCOMPARE(f.prompts.said().size(), 1);
    QCOMPARE(f.prompts.said()[0].kind, ScriptedPrompts::Said::Information);
    QCOMPARE(f.prompts.said()[0].text, QStringLiteral("Невозможно открыть Microsoft Excel.\nКнига сохранена в файле:\n")
                                           + QDir::toNativeSeparators(QDir(f.dir.path()).absoluteFilePath(QStringLiteral("Книга1.xlsx"))));
    QCOMPARE(f.prompts.said()[0].title, QStringLiteral("Книга сохранена"));
    QCOMPARE(QFileInfo(path).absoluteFilePath(), QDir(f.dir.path()).absoluteFilePath(QStringLiteral("Книга1.xlsx")));

    Workbook book;
    QVERIFY(readWorkbook(path, &book));
    QCOMPARE(cell(book, "A1")["value"].toString(), QStringLiteral("Отчет"));
}

void TestExport::outputFolderUnusable()
{
    QTemporaryDir dir;
    const QString blocker = QDir(dir.path()).filePath(QStringLiteral("file"));
    QFile file(blocker);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();

    ScriptedPrompts prompts;
    RecordingOpener opener;
    ExcelApp excel(prompts, opener, blocker + QStringLiteral("/folder"));
    QCOMPARE(excel.OpenExcel(QString()), -1);
    QCOMPARE(prompts.said().size(), 1);
    QCOMPARE(prompts.said()[0].text, QStringLiteral("Ошибка открытия файла Microsoft Excel."));
    QCOMPARE(prompts.said()[0].title, QStringLiteral("Ошибка"));
    // An export that writes on after the failed open is not told again for every cell.
    for (int row = 1; row <= 3; ++row) QCOMPARE(excel.WriteExcelCell(1, 1, row, QStringLiteral("данные")), -1);
    QCOMPARE(excel.WriteExcelCell(1, 2, 1, QStringLiteral("5"), true, true, true), -1);
    QCOMPARE(prompts.said().size(), 1);
    QCOMPARE(excel.SetExcelVisible(true), 1);
    QVERIFY(opener.opened.isEmpty());
}

void TestExport::saveFailureKeepsWorkbook()
{
    QTemporaryDir dir;
    const QString folder = QDir(dir.path()).filePath(QStringLiteral("out"));
    ScriptedPrompts prompts;
    RecordingOpener opener;
    ExcelApp excel(prompts, opener, folder);
    QCOMPARE(excel.OpenExcel(QString()), 1);
    excel.WriteExcelCell(1, 1, 1, QStringLiteral("данные"));

    QVERIFY(QDir(folder).removeRecursively());
    QCOMPARE(excel.SetExcelVisible(true), -1);
    QCOMPARE(prompts.said().size(), 1);
    QCOMPARE(prompts.said()[0].kind, ScriptedPrompts::Said::Error);
    QCOMPARE(prompts.said()[0].title, QStringLiteral("Ошибка"));
    QVERIFY(prompts.said()[0].text.contains(QDir::toNativeSeparators(folder)));
    QVERIFY(opener.opened.isEmpty());

    // once the folder is back the same workbook is saved and shown
    QVERIFY(QDir().mkpath(folder));
    QCOMPARE(excel.SetExcelVisible(true), 1);
    QCOMPARE(opener.opened.size(), 1);
    Workbook book;
    QVERIFY(readWorkbook(opener.opened[0], &book));
    QCOMPARE(cell(book, "A1")["value"].toString(), QStringLiteral("данные"));
}

void TestExport::openNamedFile()
{
    Fixture f;
    QCOMPARE(f.excel.OpenExcel(QDir(f.dir.path()).filePath(QStringLiteral("нет такого.xlsx"))), -1);
    QCOMPARE(f.prompts.said().size(), 1);
    QCOMPARE(f.prompts.said()[0].text, QStringLiteral("Ошибка открытия файла Microsoft Excel."));
    QCOMPARE(f.prompts.said()[0].title, QStringLiteral("Ошибка"));

    QCOMPARE(f.excel.OpenExcel(QString()), 1);
    f.excel.WriteExcelCell(1, 1, 1, QStringLiteral("образец"));
    QCOMPARE(f.excel.SetExcelVisible(true), 1);
    const QString existing = f.opener.opened.value(0);
    QFile file(existing);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();

    f.prompts.clear();
    QCOMPARE(f.excel.OpenExcel(existing), 1);
    QCOMPARE(f.excel.WriteExcelCell(1, 1, 2, QStringLiteral("нельзя")), -1);
    QCOMPARE(f.prompts.said().size(), 1);
    QCOMPARE(f.prompts.said()[0].text, cellError(1, 1, 2));
    QCOMPARE(f.prompts.said()[0].title, QStringLiteral("Ошибка Microsoft Excel"));
    QCOMPARE(f.excel.SetExcelVisible(true), 1);
    QCOMPARE(f.opener.opened, (QStringList{existing, existing}));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), before);
}

void TestExport::saveAsWritesTheWholeFileOrNothing()
{
    Fixture f;
    const QString target = QDir(f.dir.path()).filePath(QStringLiteral("month.xlsx"));
    QFile old(target);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("last month");
    old.close();
    // nothing being filled: nothing written
    QCOMPARE(f.excel.SaveAs(target), -1);
    QCOMPARE(f.prompts.said().size(), 1);
    QVERIFY(f.prompts.said()[0].text.contains(QDir::toNativeSeparators(target)));

    QCOMPARE(f.excel.OpenExcel(QString()), 1);
    f.excel.WriteExcelCell(1, 1, 1, QStringLiteral("итог"));
    const QString nowhere = QDir(f.dir.path()).filePath(QStringLiteral("no/such/folder.xlsx"));
    QCOMPARE(f.excel.SaveAs(nowhere), -1);
    QCOMPARE(f.prompts.said().size(), 2);
    QVERIFY(f.prompts.said()[1].text.contains(QDir::toNativeSeparators(nowhere)));

    QCOMPARE(f.excel.SaveAs(target), 1);
    Workbook book;
    QVERIFY(readWorkbook(target, &book));
    QCOMPARE(cell(book, "A1")["value"].toString(), QStringLiteral("итог"));
    QCOMPARE(QDir(f.dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("month.xlsx")});
    // saved, so not shown on the desktop afterwards
    QCOMPARE(f.excel.SetExcelVisible(true), 1);
    QVERIFY(f.opener.opened.isEmpty());

    // A handle for files only: an export that shows its workbook leaves no other file behind.
    QTemporaryDir home;
    ScriptedPrompts prompts;
    ExcelApp files(prompts);
    QCOMPARE(files.OpenExcel(QString()), 1);
    files.WriteExcelCell(1, 1, 1, QStringLiteral("итог"));
    QCOMPARE(files.SetExcelVisible(true), 1);
    const QString second = QDir(home.path()).filePath(QStringLiteral("second.xlsx"));
    QCOMPARE(files.SaveAs(second), 1);
    QVERIFY(prompts.said().isEmpty());
    QCOMPARE(QDir(home.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("second.xlsx")});
    QVERIFY(readWorkbook(second, &book));
    QCOMPARE(cell(book, "A1")["value"].toString(), QStringLiteral("итог"));
}

void TestExport::desktopOpener_data()
{
    QTest::addColumn<bool>("programSet");
    QTest::addColumn<QString>("fallback");   ///< the settings' program; "@" the test's desktop folder
    QTest::addColumn<QString>("opensWith");  ///< the mark the opening program leaves; none when nothing opens
    QTest::newRow("a program for .xlsx") << true << "" << ".opened";
    QTest::newRow("no program for .xlsx") << false << "" << "";
    QTest::newRow("the settings' program where the desktop has none") << false << "@/other.sh --calc" << ".other";
    QTest::newRow("the desktop's program before the settings'") << true << "@/other.sh --calc" << ".opened";
    QTest::newRow("a settings' program that is not there") << false << "@/missing.sh" << "";
}

void TestExport::desktopOpener()
{
    QFETCH(bool, programSet);
    QFETCH(QString, fallback);
    QFETCH(QString, opensWith);
    // A desktop of the test's own: no desktop environment, one program that marks what it opens,
    // and another, which marks it otherwise when told its option.
    QTemporaryDir desktop;
    const QDir d(desktop.path());
    QVERIFY(d.mkpath(QStringLiteral("config")) && d.mkpath(QStringLiteral("data/applications")) && d.mkpath(QStringLiteral("none")));
    const auto write = [&](const QString& name, const QByteArray& text) {
        QFile f(d.filePath(name));
        return f.open(QIODevice::WriteOnly) && f.write(text) == text.size();
    };
    QVERIFY(write(QStringLiteral("mark.sh"), "#!/bin/sh\ntouch \"$1.opened\"\n"));
    QVERIFY(write(QStringLiteral("other.sh"), "#!/bin/sh\n[ \"$1\" = --calc ] && touch \"$2.other\"\n"));
    for (const QString& name : {QStringLiteral("mark.sh"), QStringLiteral("other.sh")})
        QVERIFY(QFile::setPermissions(d.filePath(name), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    if (programSet) {
        QVERIFY(write(QStringLiteral("data/applications/mark.desktop"),
                      "[Desktop Entry]\nType=Application\nName=Mark\nExec=" + QFile::encodeName(d.filePath(QStringLiteral("mark.sh"))) +
                          " %f\nMimeType=application/vnd.openxmlformats-officedocument.spreadsheetml.sheet;\n"));
        QVERIFY(write(QStringLiteral("config/mimeapps.list"),
                      "[Default Applications]\napplication/vnd.openxmlformats-officedocument.spreadsheetml.sheet=mark.desktop\n"));
    }
    const QList<QByteArray> names = {"XDG_CONFIG_HOME", "XDG_CONFIG_DIRS", "XDG_DATA_HOME", "XDG_DATA_DIRS", "XDG_CURRENT_DESKTOP", "DISPLAY"};
    QList<QByteArray> saved;
    for (const QByteArray& n : names) saved << qgetenv(n.constData());
    const auto restore = qScopeGuard([&] {
        for (int i = 0; i < names.size(); ++i) {
            if (saved.at(i).isEmpty()) qunsetenv(names.at(i).constData());
            else qputenv(names.at(i).constData(), saved.at(i));
        }
    });
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(d.filePath(QStringLiteral("config"))));
    qputenv("XDG_DATA_HOME", QFile::encodeName(d.filePath(QStringLiteral("data"))));
    qputenv("XDG_CONFIG_DIRS", QFile::encodeName(d.filePath(QStringLiteral("none"))));
    qputenv("XDG_DATA_DIRS", QFile::encodeName(d.filePath(QStringLiteral("none"))));
    qunsetenv("XDG_CURRENT_DESKTOP");
    qputenv("DISPLAY", ":99");

    Fixture f;
    QCOMPARE(f.excel.OpenExcel(QString()), 1);
    f.excel.WriteExcelCell(1, 1, 1, QStringLiteral("Отчет"));
    QCOMPARE(f.excel.SetExcelVisible(true), 1);
    const QString book = f.opener.opened.value(0);
    DesktopSpreadsheetOpener opener(QString(fallback).replace(QLatin1Char('@'), desktop.path()));
    QCOMPARE(opener.open(book), !opensWith.isEmpty());
    if (!opensWith.isEmpty()) QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(book + opensWith), 10000);
    for (const QString& mark : {QStringLiteral(".opened"), QStringLiteral(".other")})
        if (mark != opensWith) QVERIFY2(!QFile::exists(book + mark), qPrintable(mark));
}

void TestExport::rowsGoOnOnTheNextSheet()
{
    // Sheets of four rows: seven rows on three sheets, each under the header, in their order, each
    // frozen and filtered over its own rows; the cells as the table gives them.
    Fixture f;
    const QStringList header = {QStringLiteral("Когда"), QStringLiteral("№"), QStringLiteral("Что")};
    QCOMPARE(f.excel.OpenExcelRows(QStringLiteral("Строки"), header, 4), 1);
    const QDateTime moment(QDate(2024, 3, 15), QTime(10, 20, 30), Qt::UTC);
    for (int n = 1; n <= 7; ++n)
        QCOMPARE(f.excel.WriteExcelRow({moment.addDays(n), QVariant(qlonglong(n)), QStringLiteral("0%1").arg(n)}), 1);
    // Not a table of cells.
    QCOMPARE(f.excel.WriteExcelCell(1, 1, 9, QStringLiteral("x")), -1);
    QCOMPARE(f.prompts.said().size(), 1);
    QCOMPARE(f.excel.CloseExcelRows(), 1);
    QCOMPARE(f.excel.SetExcelVisible(true), 1);
    QStringList rows;
    const QList<int> sizes = {4, 4, 2};
    for (int sheet = 0; sheet < 3; ++sheet) {
        Workbook book;
        QVERIFY(readWorkbook(f.opener.opened.value(0), &book, sheet));
        QCOMPARE(book.sheets, (QStringList{"Строки", "Строки (2)", "Строки (3)"}));
        QCOMPARE(book.rows.size(), sizes[sheet]);
        QCOMPARE(book.rows.value(0), header);
        QCOMPARE(tableFaults(book, 1, 3, sizes[sheet]), QStringList());
        QCOMPARE(cell(book, QStringLiteral("A2"))[QStringLiteral("format")].toString(), QStringLiteral("dd.mm.yyyy hh:mm:ss"));
        QCOMPARE(cell(book, QStringLiteral("B2"))[QStringLiteral("type")].toString(), QStringLiteral("n"));
        QCOMPARE(cell(book, QStringLiteral("C2"))[QStringLiteral("type")].toString(), QStringLiteral("s"));   // "01" stays text
        for (const QStringList& row : book.rows.mid(1)) rows << row.mid(1).join(QLatin1Char('|'));
    }
    QCOMPARE(rows, (QStringList{"1|01", "2|02", "3|03", "4|04", "5|05", "6|06", "7|07"}));
    // Saved as any workbook too.
    const QString saved = f.dir.filePath(QStringLiteral("saved.xlsx"));
    QCOMPARE(f.excel.SaveAs(saved), 1);
    QCOMPARE(readSheet(saved).size(), 4);
}

void TestExport::aRowThatCannotBeWrittenIsToldOnce()
{
    // A text too long for a cell in the second row: told once, for its cell; the rows after it
    // are not written, and the table is a failure.
    Fixture f;
    QCOMPARE(f.excel.OpenExcelRows(QStringLiteral("Строки"), {QStringLiteral("А"), QStringLiteral("Б")}, 3), 1);
    QCOMPARE(f.excel.WriteExcelRow({QStringLiteral("a"), QStringLiteral("b")}), 1);
    QCOMPARE(f.excel.WriteExcelRow({QStringLiteral("a"), QString(32768, u'ж')}), -1);
    for (int n = 0; n < 100; ++n) QCOMPARE(f.excel.WriteExcelRow({QStringLiteral("a"), QStringLiteral("b")}), -1);
    QCOMPARE(f.excel.CloseExcelRows(), -1);
    QCOMPARE(f.prompts.texts(), QStringList{cellError(1, 2, 3)});
}

QTEST_MAIN(TestExport)
#include "tst_export.moc"
