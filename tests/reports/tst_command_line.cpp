#include "app/command_line.h"
#include "data/data_module.h"
#include "export/excel_export.h"
#include "reports/reports_hub.h"
#include "tests/reports/report_fixture.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/test_database.h"

#include <QDateEdit>
#include <QDir>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

#include <sys/stat.h>

namespace {

/// Puts last month's file where a run is to write; true when written.
bool putLastMonths(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write("last month") == 10;
}

/// Whether the folder holds last month's file alone, as it was.
bool onlyLastMonths(const QString& path)
{
    QFile f(path);
    const QFileInfo file(path);
    return f.open(QIODevice::ReadOnly) && f.readAll() == "last month" &&
           file.absoluteDir().entryList(QDir::Files | QDir::Hidden) == QStringList{file.fileName()};
}

} // namespace

class TestCommandLine : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();

    void runWithoutWindowsIsRecognised();
    void bareHelpPrintsTheUsage();
    void theProgramTakesItsOwnArguments_data();
    void theProgramTakesItsOwnArguments();
    void refusals_data();
    void refusals();
    void reportsTheRoleMayRun_data();
    void reportsTheRoleMayRun();
    void failureLeavesTheTargetAlone();
    void aHeldLockEndsInTheTimeLimit();
    void outputSheetIsTheHubs_data();
    void outputSheetIsTheHubs();
    void sheetReplacesTheFileWhole();

private:
    int run(const QStringList& args, QString* err = nullptr, const CommandLineLimits& limits = {});
    /// Runs while another client holds the journal locked, with a short statement time limit.
    int runWhileJournalLocked(const QStringList& args, QString* err);
    QString server() const { return QStringLiteral("127.0.0.1:%1").arg(TestDatabase::port()); }

    TestDatabase* m_db = nullptr;
    QTemporaryDir m_tmp;
    const BuildStamp m_stamp{20240601, 3600};
};

void TestCommandLine::initTestCase()
{
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    QVERIFY(m_tmp.isValid());
    m_db = new TestDatabase(QStringLiteral("command_line"));
    loadReportFixture(*m_db);
    // Targets that exist and must not be replaced.
    QVERIFY(QDir(m_tmp.path()).mkdir(QStringLiteral("folder.pdf")));
    QVERIFY(::mkfifo(QFile::encodeName(m_tmp.filePath(QStringLiteral("fifo.pdf"))).constData(), 0600) == 0);
    QFile readOnly(m_tmp.filePath(QStringLiteral("readonly.pdf")));
    QVERIFY(readOnly.open(QIODevice::WriteOnly));
    readOnly.write("kept");
    readOnly.close();
    QVERIFY(readOnly.setPermissions(QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
}

void TestCommandLine::cleanupTestCase() { delete m_db; }

int TestCommandLine::run(const QStringList& args, QString* err, const CommandLineLimits& limits)
{
    QString text;
    QTextStream stream(&text);
    const int code = runCommandLine(args, m_stamp, stream, limits);
    stream.flush();
    if (err) *err = text;
    return code;
}

int TestCommandLine::runWhileJournalLocked(const QStringList& args, QString* err)
{
    QSqlDatabase other = m_db->openAnother(QStringLiteral("lock_holder"));
    QSqlQuery hold(other);
    if (!hold.exec(QStringLiteral("begin")) || !hold.exec(QStringLiteral("lock table accounts_dep.smena in access exclusive mode")))
        return -1;
    const int code = run(args, err, CommandLineLimits{300});
    hold.exec(QStringLiteral("rollback"));
    return code;
}

void TestCommandLine::runWithoutWindowsIsRecognised()
{
    QVERIFY(!isCommandLineRun({}));
    QVERIFY(!isCommandLineRun({QStringLiteral("vorteks"), QStringLiteral("10.0.0.5")}));
    QVERIFY(isCommandLineRun({QStringLiteral("vorteks"), QStringLiteral("10.0.0.5"), QStringLiteral("--report"), QStringLiteral("products")}));
    QVERIFY(isCommandLineRun({QStringLiteral("--pdf=x.pdf")}));
}

void TestCommandLine::bareHelpPrintsTheUsage()
{
    QString usage;
    QCOMPARE(run({QStringLiteral("--help")}, &usage), 0);
    QVERIFY(usage.contains(QStringLiteral("--report NAME")));
    QVERIFY(!usage.contains(QStringLiteral("tabel: ")));
}

void TestCommandLine::theProgramTakesItsOwnArguments_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    const QStringList run = {"nodb", "127.0.0.1:1", "--code", "3851", "--report", "products", "--from", "2024-03-01",
                             "--to", "2024-04-01"};
    QTest::newRow("bare --help") << QStringList{"--help"} << 0 << "--report NAME";
    // The toolkit would take these (and the value after -platform) for itself.
    QTest::newRow("-reverse") << (run + QStringList{"-reverse", "--pdf", "x.pdf"}) << 1 << "-reverse";
    QTest::newRow("-platform eats --pdf") << (run + QStringList{"-platform", "--pdf", "x.pdf"}) << 1 << "-platform";
    QTest::newRow("--style") << (run + QStringList{"--style", "fusion", "--pdf", "x.pdf"}) << 1 << "--style";
    QTest::newRow("a good call to no server") << (run + QStringList{"--pdf", "x.pdf"}) << 4 << "Подключение к БД отсутсвует!!!";
}

void TestCommandLine::theProgramTakesItsOwnArguments()
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    QProcess tabel;
    tabel.setWorkingDirectory(m_tmp.path());
    tabel.start(QStringLiteral(TABEL_BINARY), args);
    QVERIFY(tabel.waitForFinished(60000));
    const QString err = QString::fromUtf8(tabel.readAllStandardError());
    QCOMPARE(tabel.exitCode(), exitCode);
    QVERIFY2(err.contains(message), qPrintable(err));
    QVERIFY(tabel.readAllStandardOutput().isEmpty());
    QVERIFY(!QFile::exists(m_tmp.filePath(QStringLiteral("x.pdf"))));
}

void TestCommandLine::refusals_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    const QStringList db = {"nodb", "127.0.0.1:1"};
    const QStringList march = {"--from", "2024-03-01", "--to", "2024-04-01"};
    const QStringList products = QStringList{"--code", "3851", "--report", "products"} + march;
    const QStringList pdf = {"--pdf", "x.pdf"};
    // arguments
    QTest::newRow("no code") << (db + QStringList{"--report", "products", "--pdf", "x.pdf"} + march) << 1 << "--code";
    QTest::newRow("unknown report") << (db + QStringList{"--code", "3851", "--report", "salary", "--pdf", "x.pdf"} + march) << 1 << "salary";
    QTest::newRow("unknown option") << (db + products + pdf + QStringList{"--shift", "1"}) << 1 << "--shift";
    QTest::newRow("toolkit's -reverse") << (db + products + pdf + QStringList{"-reverse"}) << 1 << "-reverse";
    QTest::newRow("toolkit's --platform eats no value") << (db + QStringList{"--platform", "--code", "3851", "--report", "products"} + march + pdf) << 1 << "--platform";
    QTest::newRow("toolkit's --style=") << (db + products + pdf + QStringList{"--style=fusion"}) << 1 << "--style";
    QTest::newRow("option twice") << (db + products + pdf + QStringList{"--code", "brivet"}) << 1 << "--code";
    QTest::newRow("bad date") << (db + QStringList{"--code", "3851", "--report", "products", "--from", "01.03.2024", "--to", "2024-04-01"} + pdf) << 1 << "01.03.2024";
    QTest::newRow("period backwards") << (db + QStringList{"--code", "3851", "--report", "workers", "--from", "2024-04-01", "--to", "2024-03-01"} + pdf) << 1 << "--to";
    QTest::newRow("bad kind") << (db + products + pdf + QStringList{"--kind", "some"}) << 1 << "some";
    QTest::newRow("month for a period report") << (db + QStringList{"--code", "3851", "--report", "products", "--month", "3", "--year", "2024"} + pdf) << 1 << "--month";
    QTest::newRow("period for the timesheet") << (db + QStringList{"--code", "3851", "--report", "time-timesheet"} + march + pdf) << 1 << "--from";
    QTest::newRow("month 13") << (db + QStringList{"--code", "3851", "--report", "time-timesheet", "--month", "13", "--year", "2024"} + pdf) << 1 << "13";
    QTest::newRow("option without value") << (db + products + QStringList{"--pdf"}) << 1 << "--pdf";
    QTest::newRow("next option taken for a value") << (db + QStringList{"--pdf", "--code", "3851", "--report", "products"} + march) << 1 << "--pdf";
    QTest::newRow("--help as a value") << (db + QStringList{"--code", "--help", "--report", "products"} + march + pdf) << 1 << "--code";
    QTest::newRow("--help among others") << (db + products + pdf + QStringList{"--help"}) << 1 << "--help";
    QTest::newRow("no database, no server") << (products + pdf) << 1 << "DATABASE";
    QTest::newRow("no server") << (QStringList{"nodb"} + products + pdf) << 1 << "SERVER";
    QTest::newRow("blank server") << (QStringList{"nodb", " "} + products + pdf) << 1 << "SERVER";
    QTest::newRow("blank database") << (QStringList{"", "127.0.0.1:1"} + products + pdf) << 1 << "DATABASE";
    QTest::newRow("third positional") << (db + QStringList{"extra"} + products + pdf) << 1 << "extra";
    // the access code and its role
    QTest::newRow("wrong code") << (db + QStringList{"--code", "12345", "--report", "products"} + march + pdf) << 2 << "Введены неверные данные.";
    QTest::newRow("code in other case") << (db + QStringList{"--code", "BRIVET", "--report", "products"} + march + pdf) << 2 << "Введены неверные данные.";
    QTest::newRow("foremen, products") << (db + QStringList{"--code", "kolpant", "--report", "products"} + march + pdf) << 2 << "products";
    QTest::newRow("warehouse, workers") << (db + QStringList{"--code", "frumo", "--report", "workers"} + march + pdf) << 2 << "workers";
    QTest::newRow("warehouse, workers-detailed") << (db + QStringList{"--code", "frumo", "--report", "workers-detailed"} + march + pdf) << 2 << "workers-detailed";
    QTest::newRow("planner, timesheet") << (db + QStringList{"--code", "brivet", "--report", "time-timesheet", "--month", "3", "--year", "2024"} + pdf) << 2 << "time-timesheet";
    // the target ("@" stands for the test's folder)
    QTest::newRow("no such folder") << (db + products + QStringList{"--pdf", "/no/such/folder/x.pdf"}) << 5 << "/no/such/folder";
    QTest::newRow("a folder") << (db + products + QStringList{"--pdf", "@/folder.pdf"}) << 5 << "папка";
    QTest::newRow("a pipe") << (db + products + QStringList{"--pdf", "@/fifo.pdf"}) << 5 << "не обычный файл";
    QTest::newRow("a device") << (db + products + QStringList{"--pdf", "/dev/null"}) << 5 << "не обычный файл";
    QTest::newRow("a read-only file") << (db + products + QStringList{"--pdf", "@/readonly.pdf"}) << 5 << "только для чтения";
    // spreadsheets
    const QStringList output = QStringList{"--code", "3851", "--export", "output"} + march;
    const QStringList xlsx = {"--xlsx", "x.xlsx"};
    QTest::newRow("neither report nor export") << (db + QStringList{"--code", "3851"} + march + pdf) << 1 << "--export";
    QTest::newRow("both report and export") << (db + products + QStringList{"--export", "output"} + pdf) << 1 << "--report";
    QTest::newRow("export to pdf") << (db + output + pdf) << 1 << "--pdf";
    QTest::newRow("report to xlsx") << (db + products + xlsx) << 1 << "--xlsx";
    QTest::newRow("export without file") << (db + output) << 1 << "--xlsx";
    QTest::newRow("unknown export") << (db + QStringList{"--code", "3851", "--export", "salary"} + march + xlsx) << 1 << "salary";
    QTest::newRow("output by month") << (db + QStringList{"--code", "3851", "--export", "output", "--month", "3", "--year", "2024"} + xlsx) << 1 << "--month";
    QTest::newRow("output without period") << (db + QStringList{"--code", "3851", "--export", "output"} + xlsx) << 1 << "--from";
    QTest::newRow("foremen, output") << (db + QStringList{"--code", "kolpant", "--export", "output"} + march + xlsx) << 2 << "output";
    QTest::newRow("warehouse, output") << (db + QStringList{"--code", "frumo", "--export", "output"} + march + xlsx) << 2 << "output";
    QTest::newRow("wrong code, output") << (db + QStringList{"--code", "3852", "--export", "output"} + march + xlsx) << 2 << "Введены неверные данные.";
    QTest::newRow("xlsx to a read-only file") << (db + output + QStringList{"--xlsx", "@/readonly.pdf"}) << 5 << "только для чтения";
    QTest::newRow("xlsx to a pipe") << (db + output + QStringList{"--xlsx=@/fifo.pdf"}) << 5 << "не обычный файл";
}

void TestCommandLine::refusals()
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    args.replaceInStrings(QRegularExpression(QStringLiteral("^(--xlsx=)?@")), QStringLiteral("\\1") + m_tmp.path());
    QString err;
    // The refusals come before any connection: the server named here does not exist.
    QCOMPARE(run(args, &err), exitCode);
    QVERIFY2(err.contains(message), qPrintable(err));
    QVERIFY2(exitCode != 1 || err.contains(QStringLiteral("Использование:")), qPrintable(err));
    QVERIFY(!QFile::exists(QStringLiteral("x.pdf")));
    QVERIFY(!QFile::exists(QStringLiteral("x.xlsx")));
    QFile readOnly(m_tmp.filePath(QStringLiteral("readonly.pdf")));
    QVERIFY(readOnly.open(QIODevice::ReadOnly));
    QCOMPARE(readOnly.readAll(), QByteArray("kept"));
    QVERIFY(QFileInfo(m_tmp.filePath(QStringLiteral("fifo.pdf"))).exists());
    QVERIFY(!QFileInfo(m_tmp.filePath(QStringLiteral("fifo.pdf"))).isFile());
}

void TestCommandLine::reportsTheRoleMayRun_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QStringList>("absent");
    const QStringList march = {"--from", "2024-03-01", "--to", "2024-04-01"};
    QTest::newRow("products, blanks") << "3851" << (QStringList{"--report", "products", "--kind", "blanks"} + march)
                                      << QStringList{"Отчет по продукции за период с 01.03.2024 по 01.04.2024", "Заготовки"}
                                      << QStringList{"Готовая продукция"};
    QTest::newRow("workers, planner") << "brivet" << (QStringList{"--report", "workers"} + march)
                                      << QStringList{"Отчет по рабочим за период", "1390,000", "2030,00"} << QStringList{};
    QTest::newRow("workers-detailed") << "61370452" << (QStringList{"--report", "workers-detailed", "--kind", "all"} + march)
                                      << QStringList{"Детальный отчет по рабочим", "Цена ср. сд. за 1 ч.:"} << QStringList{};
    QTest::newRow("products-detailed, foremen") << "kolpant" << (QStringList{"--report", "products-detailed"} + march)
                                                << QStringList{"Детальный отчет по продукции", "Заготовки", "300,00"} << QStringList{};
    // The warehouse sees finished products only, whatever it asks for.
    QTest::newRow("products-detailed, warehouse") << " frumo " << (QStringList{"--report", "products-detailed", "--kind", "blanks"} + march)
                                                  << QStringList{"Детальный отчет по продукции", "Готовая продукция", "270,00"}
                                                  << QStringList{"Заготовки"};
    QTest::newRow("time-timesheet") << "3851" << QStringList{"--report", "time-timesheet", "--month", "3", "--year", "2024"}
                                    << QStringList{"Март 2024 г.", "Антонов А.А.", "Итого"} << QStringList{};
}

void TestCommandLine::reportsTheRoleMayRun()
{
    QFETCH(QString, code);
    QFETCH(QStringList, options);
    QFETCH(QStringList, present);
    QFETCH(QStringList, absent);
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("report.pdf"));
    QString err;
    QCOMPARE(run(QStringList{m_db->name(), server(), "--code", code, "--pdf=" + pdf} + options, &err), 0);
    QCOMPARE(err.isEmpty(), !code.contains(QLatin1String("frumo")));
    const QString text = pdfText(pdf);
    for (const QString& t : present) QVERIFY2(text.contains(t), qPrintable(t + "\n" + text));
    for (const QString& t : absent) QVERIFY2(!text.contains(t), qPrintable(t));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("report.pdf")});
    QVERIFY(!QSqlDatabase::contains(QStringLiteral("tabel_command_line")));
}

void TestCommandLine::failureLeavesTheTargetAlone()
{
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("month.pdf"));
    QVERIFY(putLastMonths(pdf));
    const QStringList report = {"--code", "3851", "--report", "products", "--from", "2024-03-01", "--to", "2024-04-01", "--pdf", pdf};
    const auto unchanged = [&] { return onlyLastMonths(pdf); };
    QString err;
    // an unreachable server
    QCOMPARE(run(QStringList{"vorteks", "127.0.0.1:1"} + report, &err), 4);
    QVERIFY2(err.contains(QStringLiteral("Подключение к БД отсутсвует!!!")), qPrintable(err));
    QVERIFY(unchanged());
    // a database on which a newer build has run
    m_db->exec(QStringLiteral("update accounts_dep.ver set d = 29991231"));
    QCOMPARE(run(QStringList{m_db->name(), server()} + report, &err), 3);
    m_db->exec(QStringLiteral("update accounts_dep.ver set d = 0, t = 0"));
    QVERIFY2(err.contains(QStringLiteral("Версия программы не соответсвует БД!")), qPrintable(err));
    QVERIFY(unchanged());
    // a database that is not there
    QCOMPARE(run(QStringList{"no_such_database", server()} + report, &err), 4);
    QVERIFY(unchanged());
    // and a good run replaces the file as a whole
    QCOMPARE(run(QStringList{m_db->name(), server()} + report, &err), 0);
    QVERIFY(pdfText(pdf).contains(QStringLiteral("Отчет по продукции")));
    QCOMPARE(m_db->scalar(QStringLiteral("select d from accounts_dep.ver")).toInt(), m_stamp.date);
}

void TestCommandLine::aHeldLockEndsInTheTimeLimit()
{
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("locked.pdf"));
    QString err;
    QCOMPARE(runWhileJournalLocked({m_db->name(), server(), "--code", "3851", "--report", "products", "--from", "2024-03-01",
                                    "--to", "2024-04-01", "--pdf", pdf},
                                   &err),
             4);
    QVERIFY2(err.contains(QStringLiteral("запрос прерван")), qPrintable(err));
    QVERIFY(!QFile::exists(pdf));
}

void TestCommandLine::outputSheetIsTheHubs_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<int>("kind");
    QTest::newRow("all, full access") << "3851" << 0;
    QTest::newRow("finished, planner") << "brivet" << 1;
    QTest::newRow("blanks, full access") << "61370452" << 2;
}

void TestCommandLine::outputSheetIsTheHubs()
{
    QFETCH(QString, code);
    QFETCH(int, kind);
    QTemporaryDir dir;
    const QString xlsx = dir.filePath(QStringLiteral("output.xlsx"));
    QString err;
    const QStringList kinds = {"all", "finished", "blanks"};
    QCOMPARE(run({m_db->name(), server(), "--code", code, "--export", "output", "--from", "2024-03-01", "--to", "2024-04-01",
                  "--kind", kinds.at(kind), "--xlsx", xlsx},
                 &err),
             0);
    QVERIFY2(err.isEmpty(), qPrintable(err));

    // What the hub's "Excel" writes for the same period and kind.
    ScriptedPrompts prompts;
    RecordingOpener opener;
    ExcelApp excel(prompts, opener, dir.filePath(QStringLiteral("hub")));
    TDataModule6 dm(m_db->db(), prompts);
    TForm18 hub(dm, excel);
    hub.DTPicker1->setDate(QDate(2024, 3, 1));
    hub.DTPicker2->setDate(QDate(2024, 4, 1));
    hub.setProductKind(kind);
    hub.Button6->click();
    QCOMPARE(opener.opened.size(), 1);
    const QList<QStringList> fromHub = readSheet(opener.opened.constFirst());
    QVERIFY(fromHub.size() > 1);
    QCOMPARE(readSheet(xlsx), fromHub);
    QVERIFY(prompts.said().isEmpty());
}

void TestCommandLine::sheetReplacesTheFileWhole()
{
    QTemporaryDir dir;
    const QString xlsx = dir.filePath(QStringLiteral("month.xlsx"));
    QVERIFY(putLastMonths(xlsx));
    const QStringList output = {"--code", "3851", "--export", "output", "--from", "2024-03-01", "--to", "2024-04-01", "--xlsx", xlsx};
    QString err;
    // a run cut off in the middle (a held lock, past the time limit) leaves the old file as it was
    QCOMPARE(runWhileJournalLocked(QStringList{m_db->name(), server()} + output, &err), 4);
    QVERIFY2(err.contains(QStringLiteral("запрос прерван")), qPrintable(err));
    QVERIFY(onlyLastMonths(xlsx));
    // a good run replaces it as a whole, and nothing else is left in the folder
    QCOMPARE(run(QStringList{m_db->name(), server()} + output, &err), 0);
    QCOMPARE(readSheet(xlsx).value(0), (QStringList{"Наименование", "Операция", "Вид продукции", "Коробки", "Кол-во"}));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("month.xlsx")});
}

QTEST_MAIN(TestCommandLine)
#include "tst_command_line.moc"
