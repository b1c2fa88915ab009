#include "app/command_line.h"
#include "rules/month_rebuild.h"
#include "app/sheet_kinds.h"
#include "data/connection.h"
#include "data/data_module.h"
#include "data/db_error.h"
#include "data/formats.h"
#include "data/replacing_file.h"
#include "export/excel_export.h"
#include "refbooks/norms_grid.h"
#include "refbooks/operation_dialog.h"
#include "refbooks/operations_list.h"
#include "reports/reports_hub.h"
#include "ui/job_progress.h"
#include "tests/reports/report_fixture.h"
#include "tests/support/entries_fixture.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/small_file_system.h"
#include "tests/support/test_database.h"
#include "timesheets/piecework_timesheet.h"
#include "timesheets/time_timesheet.h"

#include <QDateEdit>
#include <QDir>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <cerrno>
#include <cstring>
#include <QTest>
#include <QTextStream>
#include <QThread>

#include <atomic>
#include <future>
#include <thread>

#include <sys/stat.h>
#include <unistd.h>

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

/// Another client, on a thread of its own: locks the journal, and lets go only once a statement
/// of someone else has waited for it for the given time (or when told to stop).
class PatientLockHolder {
public:
    PatientLockHolder(const ConnectionSettings& settings, int seconds)
    {
        m_thread = std::thread([this, settings, seconds] { hold(settings, seconds); });
    }
    ~PatientLockHolder() { finish(); }

    /// Whether the journal is locked; waits until the holder knows.
    bool locked() { return m_locked.get_future().get(); }
    /// Lets go, if it still holds, and ends the thread.
    void finish()
    {
        m_stop = true;
        if (m_thread.joinable()) m_thread.join();
    }
    bool sawAWaiter() const { return m_sawWaiter; }

private:
    void hold(const ConnectionSettings& settings, int seconds)
    {
        const QString name = QStringLiteral("patient_lock_holder");
        bool told = false;
        try {
            QSqlQuery q(openConnection(settings, name));
            const bool locked = q.exec(QStringLiteral("begin")) &&
                                q.exec(QStringLiteral("lock table accounts_dep.smena in access exclusive mode"));
            m_locked.set_value(locked);
            told = true;
            while (locked && !m_stop && !m_sawWaiter) {
                m_sawWaiter = q.exec(QStringLiteral("select count(*) from pg_locks where not granted and "
                                                    "relation = 'accounts_dep.smena'::regclass and "
                                                    "database = (select oid from pg_database where datname = current_database())")) &&
                              q.next() && q.value(0).toInt() > 0;
                if (!m_sawWaiter) QThread::msleep(20);
            }
            if (m_sawWaiter) QThread::sleep(seconds);
            q.exec(QStringLiteral("rollback"));
        } catch (const DbError&) {
        }
        if (!told) m_locked.set_value(false);
        QSqlDatabase::removeDatabase(name);
    }

    std::thread m_thread;
    std::promise<bool> m_locked;
    std::atomic<bool> m_stop = false;
    std::atomic<bool> m_sawWaiter = false;
};

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
    void theProgramReadsItsSettings_data();
    void theProgramReadsItsSettings();
    void refusals_data();
    void refusals();
    void reportsTheRoleMayRun_data();
    void reportsTheRoleMayRun();
    void failureLeavesTheTargetAlone();
    void aFullDiskKeepsTheOldFile_data();
    void aFullDiskKeepsTheOldFile();
    void aKilledRunsTemporaryGoesWithTheNextRun_data();
    void aKilledRunsTemporaryGoesWithTheNextRun();
    void aHeldLockEndsInTheTimeLimit();
    void aHeldLockIsWaitedForPastTheInteractiveWait();
    void outputSheetIsTheHubs_data();
    void outputSheetIsTheHubs();
    void sheetReplacesTheFileWhole();
    void sheetIsTheWindows_data();
    void sheetIsTheWindows();
    void sheetsTheRoleMayHave_data();
    void sheetsTheRoleMayHave();
    void theMonthIsCheckedClosedAndOpened();
    void historyHasEveryChange();

private:
    /// Writes the sheet of that command-line name as its window's "Excel" does.
    void writeAsTheWindow(const QString& name, int month, TDataModule6& dm, ExcelApp& excel);
    /// Writes a sheet from the command line into a new folder of dir and reads it back.
    Workbook exported(const QString& code, const QString& name, const QStringList& period, int* exitCode, QString* err);
    int run(const QStringList& args, QString* err = nullptr, const CommandLineLimits& limits = {}, QString* out = nullptr);
    /// Runs while another client holds the journal locked, with a short statement time limit.
    int runWhileJournalLocked(const QStringList& args, QString* err);
    QString server() const { return QStringLiteral("127.0.0.1:%1").arg(TestDatabase::port()); }
    /// A period around today, when the fixture and the tests change the data.
    static QStringList changedToday()
    {
        const QDate today = QDate::currentDate();
        return {"--from", today.addDays(-1).toString(Qt::ISODate), "--to", today.addDays(2).toString(Qt::ISODate)};
    }

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
    // Average-piecework hours in March's timesheet too, so that every monthly sheet has rows.
    m_db->exec(QStringLiteral("insert into accounts_dep.h_tabel (w_id, month, year, smena, i_type, d12) values (1, 3, 2024, 0, 7778, 4)"));
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

int TestCommandLine::run(const QStringList& args, QString* err, const CommandLineLimits& limits, QString* out)
{
    QString text, results;
    QTextStream stream(&text), resultStream(&results);
    const int code = runCommandLine(args, m_stamp, resultStream, stream, limits);
    stream.flush();
    resultStream.flush();
    if (err) *err = text;
    if (out) *out = results;
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
    // A personal login alone starts the windows; with anything else it is a run.
    QStringList windows = {QStringLiteral("vorteks"), QStringLiteral("10.0.0.5"), QStringLiteral("--user"), QStringLiteral("ivanov")};
    QVERIFY(!isCommandLineRun(windows));
    QVERIFY(isCommandLineRun(windows + QStringList{QStringLiteral("--check")}));
    QCOMPARE(personalUser(windows), QStringLiteral("ivanov"));
    QCOMPARE(windows, (QStringList{QStringLiteral("vorteks"), QStringLiteral("10.0.0.5")}));
}

void TestCommandLine::bareHelpPrintsTheUsage()
{
    QString usage;
    QCOMPARE(run({QStringLiteral("--help")}, &usage), 0);
    QVERIFY(usage.contains(QStringLiteral("--report NAME")));
    QVERIFY(usage.contains(QStringLiteral("--export NAME")));
    QVERIFY(usage.contains(QStringLiteral("tabel --version")));
    QVERIFY(!usage.contains(QStringLiteral("tabel: ")));
    // Every report and sheet is named, as a whole word.
    QStringList names;
    for (const ReportKind& r : reportKinds()) names << r.name;
    for (const SheetKind& k : sheetKinds()) names << k.name;
    for (const QString& name : std::as_const(names))
        QVERIFY2(usage.contains(QRegularExpression(QStringLiteral("[ ,]%1[,;\\n ]").arg(QRegularExpression::escape(name)))), qPrintable(name));
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

void TestCommandLine::theProgramReadsItsSettings_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("settings");   ///< the user's settings file; none when null
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");        ///< a pattern of the whole standard output
    QTest::addColumn<QString>("message");    ///< in the error stream; "@" the settings file's path
    const QStringList run = {"--code", "3851", "--report", "products", "--from", "2024-03-01", "--to", "2024-04-01", "--pdf", "x.pdf"};
    const QString noServer = QStringLiteral("[connection]\ndatabase=nodb\nserver=127.0.0.1:2\n");
    QTest::newRow("--version") << QStringList{"--version"} << QString() << 0 << "tabel \\d+\\.\\d+\\.\\d+ \\(build \\d{8}\\.\\d+\\)\n" << "";
    QTest::newRow("--version among others") << (QStringList{"--version"} + run) << QString() << 1 << "" << "--version пишется один";
    QTest::newRow("the settings' database and server") << run << noServer << 4 << "" << "port 2 failed";
    QTest::newRow("the command line over the settings") << (QStringList{"nodb", "127.0.0.1:1"} + run) << noServer << 4 << ""
                                                         << "port 1 failed";
    QTest::newRow("the settings name no database") << run << "[connection]\nserver=127.0.0.1:2\n" << 1 << "" << "DATABASE";
    QTest::newRow("a bad settings file") << (QStringList{"nodb", "127.0.0.1:1"} + run) << "[connection]\nserver=db:pg\n" << 1 << ""
                                         << "@: ключ server в группе [connection] — порт «pg»";
    // The settings' standby (here one out of reach, which is said) goes with their server only.
    const QString withStandby = QStringLiteral("[connection]\ndatabase=%1\nserver=%2\nread_server=127.0.0.1:1\n").arg(m_db->name(), server());
    QTest::newRow("the settings' standby with their server") << run << withStandby << 0 << "" << "Сервер чтения 127.0.0.1:1 недоступен";
    QTest::newRow("no settings' standby for a server named here") << (QStringList{m_db->name(), server()} + run) << withStandby << 0
                                                                  << "" << "";
    QTest::newRow("--help with a bad settings file") << QStringList{"--help"} << "[connection\n" << 0 << "" << "--report NAME";
}

void TestCommandLine::theProgramReadsItsSettings()
{
    QFETCH(QStringList, args);
    QFETCH(QString, settings);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, message);
    // The program stamps the database with its own build; the other tests run as an older one.
    const QString stamp = m_db->scalar(QStringLiteral("select d || ',' || t from accounts_dep.ver")).toString();
    const auto restore = qScopeGuard([&] {
        m_db->exec(QStringLiteral("update accounts_dep.ver set d = %1, t = %2").arg(stamp.section(QLatin1Char(','), 0, 0), stamp.section(QLatin1Char(','), 1, 1)));
    });
    QTemporaryDir config;
    const QString file = config.filePath(QStringLiteral("tabel/tabel.conf"));
    if (!settings.isNull()) {
        QVERIFY(QDir(config.path()).mkdir(QStringLiteral("tabel")));
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(settings.toUtf8()) > 0);
    }
    QProcess tabel;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
    tabel.setProcessEnvironment(env);
    tabel.setWorkingDirectory(m_tmp.path());
    tabel.start(QStringLiteral(TABEL_BINARY), args);
    QVERIFY(tabel.waitForFinished(60000));
    const QString err = QString::fromUtf8(tabel.readAllStandardError());
    QCOMPARE(tabel.exitCode(), exitCode);
    QVERIFY2(err.contains(message.replace(QLatin1Char('@'), file)), qPrintable(err));
    const QString printed = QString::fromUtf8(tabel.readAllStandardOutput());
    QVERIFY2(QRegularExpression(QRegularExpression::anchoredPattern(out)).match(printed).hasMatch(), qPrintable(printed));
    if (message.isEmpty()) QVERIFY2(err.isEmpty(), qPrintable(err));
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
    QTest::newRow("empty period") << (db + QStringList{"--code", "3851", "--report", "workers", "--from", "2024-03-01", "--to", "2024-03-01"} + pdf) << 1 << "период пуст";
    QTest::newRow("empty period of a sheet") << (db + QStringList{"--code", "3851", "--export", "output", "--from", "2024-03-01", "--to", "2024-03-01", "--xlsx", "x.xlsx"}) << 1 << "период пуст";
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
    // A port that is no port is named as such, not taken for a part of the host's name.
    const auto server = [&](const char* text) { return QStringList{"nodb", text} + products + pdf; };
    QTest::newRow("port too big") << server("127.0.0.1:99999") << 1 << "порт «99999»";
    QTest::newRow("port 0") << server("127.0.0.1:0") << 1 << "порт «0»";
    QTest::newRow("port with a sign") << server("127.0.0.1:+5432") << 1 << "порт «+5432»";
    QTest::newRow("port with a space") << server("db.plant: 5432") << 1 << "порт « 5432»";
    QTest::newRow("port not a number") << server("db.plant:pg") << 1 << "порт «pg»";
    QTest::newRow("no port after the colon") << server("db.plant:") << 1 << "порт «»";
    QTest::newRow("IPv6 port not a number") << server("[::1]:pg") << 1 << "порт «pg»";
    QTest::newRow("IPv6 bracket not closed") << server("[::1:5432") << 1 << "квадратных скобках";
    QTest::newRow("IPv6 port without its colon") << server("[::1]5432") << 1 << "квадратных скобках";
    QTest::newRow("IPv6 read server bracket not closed")
        << (db + products + pdf + QStringList{"--read-server", "[::1"}) << 1 << "--read-server";
    // the access code and its role
    QTest::newRow("wrong code") << (db + QStringList{"--code", "12345", "--report", "products"} + march + pdf) << 2 << "Введены неверные данные.";
    QTest::newRow("code in other case") << (db + QStringList{"--code", "BRIVET", "--report", "products"} + march + pdf) << 2 << "Введены неверные данные.";
    QTest::newRow("foremen, products") << (db + QStringList{"--code", "kolpant", "--report", "products"} + march + pdf) << 2 << "products";
    QTest::newRow("warehouse, workers") << (db + QStringList{"--code", "frumo", "--report", "workers"} + march + pdf) << 2 << "workers";
    QTest::newRow("warehouse, workers-detailed") << (db + QStringList{"--code", "frumo", "--report", "workers-detailed"} + march + pdf) << 2 << "workers-detailed";
    // The hub fixes the warehouse's "Вид продукции" on finished products.
    const QStringList warehouseProducts = db + QStringList{"--code", "frumo", "--report", "products-detailed"} + march + pdf;
    QTest::newRow("warehouse, blanks") << (warehouseProducts + QStringList{"--kind", "blanks"}) << 2 << "--kind blanks недоступен";
    QTest::newRow("warehouse, all kinds") << (warehouseProducts + QStringList{"--kind", "all"}) << 2 << "--kind all недоступен";
    QTest::newRow("foremen, summary") << (db + QStringList{"--code", "kolpant", "--report", "summary", "--month", "3", "--year", "2024"} + pdf) << 2 << "summary";
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
    // spreadsheets of a month, and the one without a period
    const auto sheet = [&](const char* name, const QStringList& options) {
        return db + QStringList{"--code", "3851", "--export", name} + options + xlsx;
    };
    QTest::newRow("month sheet without --year") << sheet("piecework", {"--month", "3"}) << 1 << "--year";
    QTest::newRow("month sheet without --month") << sheet("general", {"--year", "2024"}) << 1 << "--month";
    QTest::newRow("month sheet without a month") << sheet("time-timesheet", {}) << 1 << "--month";
    QTest::newRow("month 0") << sheet("utility-works", {"--month", "0", "--year", "2024"}) << 1 << "«0»";
    QTest::newRow("month 13 of a sheet") << sheet("average-piecework", {"--month", "13", "--year", "2024"}) << 1 << "«13»";
    QTest::newRow("month by name") << sheet("piecework", {"--month", "март", "--year", "2024"}) << 1 << "«март»";
    QTest::newRow("month as a fraction") << sheet("piecework", {"--month", "3.5", "--year", "2024"}) << 1 << "«3.5»";
    QTest::newRow("year in two digits") << sheet("general", {"--month", "3", "--year", "24"}) << 1 << "--year";
    QTest::newRow("year not a number") << sheet("general", {"--month", "3", "--year", "2024г"}) << 1 << "«2024г»";
    // digits only: what a looser reading of numbers would take for 3 or 2024
    QTest::newRow("month with a plus") << sheet("piecework", {"--month", "+3", "--year", "2024"}) << 1 << "«+3»";
    QTest::newRow("month after a space") << sheet("piecework", {"--month", " 3", "--year", "2024"}) << 1 << "« 3»";
    QTest::newRow("month before a space") << sheet("piecework", {"--month", "3 ", "--year", "2024"}) << 1 << "«3 »";
    QTest::newRow("year with a plus") << sheet("general", {"--month", "3", "--year", "+2024"}) << 1 << "«+2024»";
    QTest::newRow("year after a space") << sheet("general", {"--month", "3", "--year", " 2024"}) << 1 << "« 2024»";
    QTest::newRow("month given twice") << sheet("general", {"--month", "3", "--year", "2024", "--month", "4"}) << 1 << "дважды";
    QTest::newRow("month sheet for a period") << sheet("time-timesheet", march) << 1 << "--from";
    QTest::newRow("month sheet with a kind") << sheet("piecework", {"--month", "3", "--year", "2024", "--kind", "all"}) << 1 << "--kind";
    QTest::newRow("operations for a month") << sheet("operations", {"--month", "3", "--year", "2024"}) << 1 << "--month";
    QTest::newRow("operations for a period") << sheet("operations", march) << 1 << "--from";
    QTest::newRow("planner, month sheet") << (db + QStringList{"--code", "brivet", "--export", "general", "--month", "3", "--year", "2024"} + xlsx) << 2 << "general";
    QTest::newRow("history of a product kind") << sheet("history", march + QStringList{"--kind", "all"}) << 1 << "--kind";
    QTest::newRow("history of a month") << sheet("history", {"--month", "3", "--year", "2024"}) << 1 << "--month";
    QTest::newRow("planner, history") << (db + QStringList{"--code", "brivet", "--export", "history"} + march + xlsx) << 2 << "history";
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
    // The warehouse sees finished products only, whether it asks for them or not.
    QTest::newRow("products-detailed, warehouse") << " frumo " << (QStringList{"--report", "products-detailed"} + march)
                                                  << QStringList{"Детальный отчет по продукции", "Готовая продукция", "270,00"}
                                                  << QStringList{"Заготовки"};
    QTest::newRow("products-detailed, warehouse, finished") << "frumo" << (QStringList{"--report", "products-detailed", "--kind", "finished"} + march)
                                                            << QStringList{"Детальный отчет по продукции", "Готовая продукция", "270,00"}
                                                            << QStringList{"Заготовки"};
    QTest::newRow("time-timesheet") << "3851" << QStringList{"--report", "time-timesheet", "--month", "3", "--year", "2024"}
                                    << QStringList{"Март 2024 г.", "Антонов А.А.", "Итого"} << QStringList{};
    // The month's charts: full access all of it, the warehouse its finished products without hours paid by the hour.
    const QStringList summary = {"--report", "summary", "--month", "3", "--year", "2024"};
    QTest::newRow("summary") << "3851" << summary
                             << QStringList{"Сводка за месяц: Март 2024 — По дням", "Выпуск по дням", "Двери", "Сварка",
                                            "Почасовые", "Утверждение записей месяца по сменам", "Стр. 4 из 4"}
                             << QStringList{"готовая продукция"};
    QTest::newRow("summary, planner") << "brivet" << summary << QStringList{"Сводка за месяц: Март 2024", "Почасовые"}
                                      << QStringList{};
    QTest::newRow("summary, warehouse") << "frumo" << summary
                                        << QStringList{"Сводка за месяц: Март 2024 (готовая продукция)", "Двери", "Покраска"}
                                        << QStringList{"Почасовые", "Ворота"};
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
    QVERIFY2(err.isEmpty(), qPrintable(err));
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

void TestCommandLine::aFullDiskKeepsTheOldFile_data()
{
    QTest::addColumn<QStringList>("what");
    // An empty period: a PDF of some 15 KB, written out in one piece when the file is closed.
    QTest::newRow("report") << QStringList{"--report", "products", "--from", "2030-01-01", "--to", "2030-01-02", "--pdf"};
    QTest::newRow("sheet") << QStringList{"--export", "output", "--from", "2030-01-01", "--to", "2030-01-02", "--xlsx"};
}

void TestCommandLine::aFullDiskKeepsTheOldFile()
{
    QFETCH(QStringList, what);
    SmallFileSystem disk(64);
    QVERIFY2(disk.error().isEmpty(), qPrintable(disk.error()));
    const QString file = disk.filePath(QStringLiteral("month"));
    const QStringList args = QStringList{m_db->name(), server(), "--code", "3851"} + what + QStringList{file};
    const auto contents = [&] {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    QString err;
    QCOMPARE(run(args, &err), 0);
    const QByteArray last = contents();
    QVERIFY(!last.isEmpty());

    QVERIFY(disk.fill());
    QCOMPARE(run(args, &err), 5);
    QVERIFY2(err.contains(file), qPrintable(err));
    // The cause by its name, not "Unknown error".
    QVERIFY2(err.contains(QString::fromLocal8Bit(std::strerror(ENOSPC))), qPrintable(err));
    QCOMPARE(contents(), last);
    // and no temporary is left to hold the space
    QCOMPARE(QDir(QFileInfo(file).path()).entryList(QDir::Files | QDir::Hidden),
             (QStringList{QStringLiteral("filler"), QStringLiteral("month")}));

    disk.release();
    QCOMPARE(run(args, &err), 0);
    QVERIFY(!contents().isEmpty());
}

void TestCommandLine::aKilledRunsTemporaryGoesWithTheNextRun_data() { aFullDiskKeepsTheOldFile_data(); }

void TestCommandLine::aKilledRunsTemporaryGoesWithTheNextRun()
{
    QFETCH(QStringList, what);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("month"));
    // A process that has ended, as a run killed while writing has.
    QProcess ended;
    ended.start(QStringLiteral("true"), {});
    QVERIFY(ended.waitForStarted());
    const qint64 dead = ended.processId();
    QVERIFY(ended.waitForFinished());
    const QStringList left = {ReplacingFile::temporaryName(QStringLiteral("month"), dead),
                              ReplacingFile::temporaryName(QStringLiteral("other.pdf"), dead)};
    // A run still writing (the test's parent lives on), and hidden files that are not ours.
    const QStringList kept = {ReplacingFile::temporaryName(QStringLiteral("month"), ::getppid()),
                              QStringLiteral(".month.swp"), QStringLiteral(".month.tabel-x")};
    for (const QString& name : left + kept) QVERIFY(putLastMonths(dir.filePath(name)));

    QString err;
    QCOMPARE(run(QStringList{m_db->name(), server(), "--code", "3851"} + what + QStringList{file}, &err), 0);
    QStringList expected = kept + QStringList{QStringLiteral("month")};
    expected.sort();
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name), expected);
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
    // What ran out is the statement limit, not the short wait of the windows.
    QVERIFY2(err.contains(QStringLiteral("запрос прерван: истек предел времени одного запроса, 0.3 с")), qPrintable(err));
    QVERIFY2(!err.contains(kLockedText), qPrintable(err));
    QVERIFY(!QFile::exists(pdf));
}

void TestCommandLine::aHeldLockIsWaitedForPastTheInteractiveWait()
{
    // The journal is held longer than a window's statement waits for it (5 s): a scheduled run
    // waits on, within its statement limit, and writes the report once the lock is gone.
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("waited.pdf"));
    PatientLockHolder holder(m_db->settings(), 6);
    QVERIFY(holder.locked());
    QString err;
    const int code = run({m_db->name(), server(), "--code", "3851", "--report", "products", "--from", "2024-03-01", "--to",
                          "2024-04-01", "--pdf", pdf},
                         &err);
    holder.finish();
    QVERIFY(holder.sawAWaiter());
    QVERIFY2(err.isEmpty(), qPrintable(err));
    QCOMPARE(code, 0);
    QVERIFY(pdfText(pdf).contains(QStringLiteral("Отчет по продукции")));
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
    QVERIFY(hub.work()->wait());
    QCOMPARE(opener.opened.size(), 1);
    const QList<QStringList> fromHub = readSheet(opener.opened.constFirst());
    QVERIFY(fromHub.size() > 1);
    QCOMPARE(readSheet(xlsx), fromHub);
    QVERIFY(prompts.said().isEmpty());
    Workbook book;
    QVERIFY(readWorkbook(xlsx, &book));
    QCOMPARE(tableFaults(book, 1, 5, int(fromHub.size())), QStringList());
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

Workbook TestCommandLine::exported(const QString& code, const QString& name, const QStringList& period, int* exitCode, QString* err)
{
    const QString xlsx = QDir(m_tmp.path()).filePath(QStringLiteral("%1-%2.xlsx").arg(name, code.trimmed()));
    *exitCode = run(QStringList{m_db->name(), server(), "--code", code, "--export", name} + period + QStringList{"--xlsx", xlsx}, err);
    Workbook book;
    if (*exitCode == 0 && !readWorkbook(xlsx, &book)) *exitCode = -1;
    QFile::remove(xlsx);
    return book;
}

void TestCommandLine::writeAsTheWindow(const QString& name, int month, TDataModule6& dm, ExcelApp& excel)
{
    const QMap<QString, int> pieceworkModes = {{"piecework", piecework_mode::kPiecework},
                                               {"utility-works", piecework_mode::kUtilityWorks},
                                               {"average-piecework", piecework_mode::kAveragePiecework},
                                               {"general", piecework_mode::kGeneral}};
    if (name == QLatin1String("operations")) {
        TForm10 form10(dm);
        TForm22 form22(dm);
        TForm4 form4(dm, form10, form22, excel);
        form4.Button5->click();
    } else if (name == QLatin1String("time-timesheet")) {
        QCOMPARE(writeTimeTimesheet(dm.ADO_DB, month, 2024, excel), 1);
    } else {
        QVERIFY(pieceworkModes.contains(name));
        QCOMPARE(writePieceworkTimesheet(dm.ADO_DB, pieceworkModes.value(name), month, 2024, excel), 1);
    }
}

void TestCommandLine::sheetIsTheWindows_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("month");   // of 2024; 0 for the sheet without a period
    QTest::addColumn<int>("bodyRows");   // under the title and the headings
    QTest::addColumn<int>("lastColumn");
    QTest::addColumn<QList<int>>("hours");   // the first and last columns of hours, of money
    QTest::addColumn<QList<int>>("money");
    QTest::addColumn<int>("totalsRows");     // under the table, a row apart
    const QList<int> none;
    QTest::newRow("operations") << "operations" << 0 << 3 << 4 << none << QList<int>{3, 3} << 0;
    QTest::newRow("time-timesheet") << "time-timesheet" << 3 << 2 << 33 << QList<int>{2, 33} << none << 0;
    QTest::newRow("piecework") << "piecework" << 3 << 2 << 36 << QList<int>{3, 34} << QList<int>{35, 36} << 4;
    QTest::newRow("utility-works") << "utility-works" << 3 << 1 << 36 << QList<int>{3, 34} << QList<int>{35, 36} << 4;
    QTest::newRow("average-piecework") << "average-piecework" << 3 << 1 << 36 << QList<int>{3, 34} << QList<int>{35, 36} << 4;
    QTest::newRow("general") << "general" << 3 << 2 << 35 << QList<int>{3, 34} << QList<int>{35, 35} << 4;
    QTest::newRow("general, a month without rows") << "general" << 7 << 0 << 35 << QList<int>{3, 34} << QList<int>{35, 35} << 4;
}

void TestCommandLine::sheetIsTheWindows()
{
    QFETCH(QString, name);
    QFETCH(int, month);
    QFETCH(int, bodyRows);
    QFETCH(int, lastColumn);
    QFETCH(QList<int>, hours);
    QFETCH(QList<int>, money);
    QFETCH(int, totalsRows);
    const QStringList period = month ? QStringList{"--month", QString::number(month), "--year", "2024"} : QStringList{};
    int code = 0;
    QString err;
    const Workbook fromCommandLine = exported(QStringLiteral("3851"), name, period, &code, &err);
    QCOMPARE(code, 0);
    QVERIFY2(err.isEmpty(), qPrintable(err));

    // What the window's "Excel" writes for the same month.
    QTemporaryDir dir;
    ScriptedPrompts prompts;
    RecordingOpener opener;
    ExcelApp excel(prompts, opener, dir.path());
    TDataModule6 dm(m_db->db(), prompts);
    writeAsTheWindow(name, month, dm, excel);
    if (QTest::currentTestFailed()) return;
    QCOMPARE(opener.opened.size(), 1);
    Workbook fromWindow;
    QVERIFY(readWorkbook(opener.opened.constFirst(), &fromWindow));
    QVERIFY(prompts.said().isEmpty());

    // A monthly sheet's title names the month; the operations list has headings only above its rows.
    if (month) QCOMPARE(fromCommandLine.at(1, 1), formats::monthName(month) + QStringLiteral(" 2024"));
    const int headerRow = month ? 2 : 1;
    QCOMPARE(fromCommandLine.rows.size(), headerRow + bodyRows + (totalsRows ? 1 + totalsRows : 0));
    QCOMPARE(fromCommandLine.rows, fromWindow.rows);
    QCOMPARE(fromCommandLine.cells, fromWindow.cells);   // types, number formats and bold type too
    QCOMPARE(fromCommandLine.widths, fromWindow.widths);

    // Ready to use: the header bold and frozen, a filter over the table, widths that fit,
    // hours as whole numbers and money with two decimals.
    const int lastRow = headerRow + bodyRows;
    QCOMPARE(tableFaults(fromCommandLine, headerRow, lastColumn, lastRow), QStringList());
    QCOMPARE(fromCommandLine.frozen, fromWindow.frozen);
    QCOMPARE(fromCommandLine.autoFilter, fromWindow.autoFilter);
    if (!hours.isEmpty())
        QCOMPARE(notInFormat(fromCommandLine, hours[0], hours[1], headerRow + 1, lastRow, QStringLiteral("0")), QStringList());
    if (!money.isEmpty())
        QCOMPARE(notInFormat(fromCommandLine, money[0], money[1], headerRow + 1, lastRow + 1 + totalsRows, QStringLiteral("0.00")),
                 QStringList());
}

void TestCommandLine::sheetsTheRoleMayHave_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("exitCode");
    // Full access, the planner, the foremen, the warehouse; what each may open in its windows.
    const QList<std::pair<const char*, QList<int>>> roles = {
        {"61370452", {0, 0, 0, 0, 0, 0, 0, 0}},
        {"brivet", {0, 2, 2, 2, 2, 2, 2, 2}},     // the hub's "Excel" only
        {"kolpant", {2, 0, 2, 2, 2, 2, 2, 2}},    // a new entry's operation picker shows the list
        {"frumo", {2, 2, 2, 2, 2, 2, 2, 2}},
    };
    const QStringList sheets = {"output", "operations", "time-timesheet", "piecework", "utility-works", "average-piecework", "general",
                                "history"};
    for (const auto& [code, exits] : roles)
        for (int i = 0; i < sheets.size(); ++i)
            QTest::addRow("%s, %s", code, qPrintable(sheets.at(i))) << QString::fromLatin1(code) << sheets.at(i) << exits.at(i);
}

void TestCommandLine::sheetsTheRoleMayHave()
{
    QFETCH(QString, code);
    QFETCH(QString, name);
    QFETCH(int, exitCode);
    const SheetKind* sheet = findSheetKind(name);
    QVERIFY(sheet);
    const QStringList period = name == QLatin1String("history") ? changedToday()
                               : sheet->period == PeriodKind::Range ? QStringList{"--from", "2024-03-01", "--to", "2024-04-01"}
                               : sheet->period == PeriodKind::Month ? QStringList{"--month", "3", "--year", "2024"}
                                                                    : QStringList{};
    int exit = 0;
    QString err;
    const Workbook book = exported(code, name, period, &exit, &err);
    QCOMPARE(exit, exitCode);
    if (exitCode == 0) {
        QVERIFY2(err.isEmpty(), qPrintable(err));
        QVERIFY(book.rows.size() > 1);
    } else {
        QVERIFY2(err.contains(QStringLiteral("«%1» недоступна для этого кода доступа.").arg(name)), qPrintable(err));
    }
}

void TestCommandLine::theMonthIsCheckedClosedAndOpened()
{
    const QStringList base = {m_db->name(), server(), QStringLiteral("--code"), QStringLiteral("3851")};
    const QStringList march = {QStringLiteral("--month"), QStringLiteral("3"), QStringLiteral("--year"), QStringLiteral("2024")};
    const QStringList check = base + QStringList{QStringLiteral("--check")} + march;
    const QStringList close = base + QStringList{QStringLiteral("--close-month")} + march;
    QString out, err;
    m_db->exec(QStringLiteral("truncate accounts_dep.closed_month"));
    month_rebuild::shiftRows(m_db->db(), 3, 2024);
    month_rebuild::hourRows(m_db->db(), 3, 2024);
    QCOMPARE(run(check, &err, {}, &out), command_line_exit::kOk);
    QCOMPARE(out, QStringLiteral("Табель за 03.2024 сходится с журналом и часами.\n"));

    // A cell spoiled behind the client's back: found, and the month is not closed.
    m_db->exec(QStringLiteral("update accounts_dep.h_tabel set d1=coalesce(d1, 0)+1 where id=(select min(id) from accounts_dep.h_tabel "
                              "where month=3 and year=2024 and smena=1)"));
    QCOMPARE(run(check, &err, {}, &out), command_line_exit::kInconsistent);
    QCOMPARE(out.count(QLatin1Char('\n')), 1);
    QVERIFY2(out.contains(QStringLiteral(", смена 1, 01 число: в табеле ")), qPrintable(out));
    QVERIFY2(err.contains(QStringLiteral("расхождений: 1")), qPrintable(err));
    QCOMPARE(run(close, &err, {}, &out), command_line_exit::kInconsistent);
    QCOMPARE(m_db->scalar(QStringLiteral("select count(*) from accounts_dep.closed_month")).toInt(), 0);

    month_rebuild::shiftRows(m_db->db(), 3, 2024);
    QCOMPARE(run(close, &err, {}, &out), command_line_exit::kOk);
    QCOMPARE(out, QStringLiteral("Месяц 03.2024 закрыт.\n"));
    QCOMPARE(run(close, &err, {}, &out), command_line_exit::kOk);
    QCOMPARE(out, QStringLiteral("Месяц 03.2024 уже закрыт.\n"));

    // Only full access, and a reopening only with its reason.
    const QStringList reopen = base + QStringList{QStringLiteral("--reopen-month")} + march;
    const QList<std::pair<QStringList, QString>> refused = {
        {check, QStringLiteral("проверка табеля недоступна")},
        {close, QStringLiteral("закрытие месяца недоступно")},
        {reopen + QStringList{QStringLiteral("--reason"), QStringLiteral("x")}, QStringLiteral("открытие месяца недоступно")}};
    for (const QString& code : {QStringLiteral("brivet"), QStringLiteral("kolpant"), QStringLiteral("frumo")}) {
        for (const auto& [args, said] : refused) {
            QStringList other = args;
            other[3] = code;
            QCOMPARE(run(other, &err), command_line_exit::kRefused);
            QVERIFY2(err.contains(said + QStringLiteral(" для этого кода доступа")), qPrintable(err));
        }
    }
    QCOMPARE(run(reopen, &err), command_line_exit::kBadArguments);
    QCOMPARE(run(reopen + QStringList{QStringLiteral("--reason"), QStringLiteral(" ")}, &err), command_line_exit::kBadArguments);
    QCOMPARE(run(check + QStringList{QStringLiteral("--pdf"), m_tmp.filePath(QStringLiteral("x.pdf"))}, &err),
             command_line_exit::kBadArguments);
    QCOMPARE(run(reopen + QStringList{QStringLiteral("--reason"), QStringLiteral("ошибка в премии")}, &err, {}, &out),
             command_line_exit::kOk);
    QCOMPARE(out, QStringLiteral("Месяц 03.2024 открыт.\n"));
    QCOMPARE(m_db->scalar(QStringLiteral("select l.reason || ' ' || a.client from accounts_dep.change_log l join accounts_dep.change_author a on a.id = l.author "
                                         "where l.act = 'r' and l.in_year = 2024")).toString().section(QLatin1Char(' '), 0, 4),
             QStringLiteral("ошибка в премии tabel full-cli"));
}

void TestCommandLine::historyHasEveryChange()
{
    // An approved entry's quantity changed and changed back, a long past month closed and
    // reopened, each with its reason; the fixture's hour entries were added today too.
    const int id = m_db->scalar(QStringLiteral("select id from accounts_dep.smena where data = '2024-03-01'")).toInt();
    m_db->exec(QStringLiteral(R"(
        update accounts_dep.smena set kol_vo = 11 where data = '2024-03-01';
        update accounts_dep.smena set kol_vo = 10 where data = '2024-03-01';
    )"));
    entries_fixture::closeAndReopen(*m_db, 2001, 1, QStringLiteral("проверка"), QStringLiteral("проверка окончена"));
    int code = 0;
    QString err;
    const Workbook book = exported(QStringLiteral("3851"), QStringLiteral("history"), changedToday(), &code, &err);
    QCOMPARE(code, 0);
    QVERIFY2(err.isEmpty(), qPrintable(err));
    const QStringList titles = {"Когда", "Кто", "Клиент", "Что", "Действие", "№", "Запись", "Причина", "Изменения"};
    QCOMPARE(book.rows.value(0), titles);
    QCOMPARE(tableFaults(book, 1, int(titles.size()), int(book.rows.size())), QStringList());
    // Columns 4 to 9: what, action, entry, its subject, the reason, the changes.
    QStringList seen;
    for (const QStringList& row : book.rows.mid(1)) seen << row.mid(3).join(QLatin1Char('|'));
    const QString entry = QStringLiteral("Журнал|Изменена|%1|01.03.2024, 1 Антонов А.А.||").arg(id);
    for (const QString& expected : {entry + QStringLiteral("Кол-во: 10 → 11"), entry + QStringLiteral("Кол-во: 11 → 10"),
                                    QStringLiteral("Месяц|Месяц закрыт||01.2001|проверка|Закрыт: "),
                                    QStringLiteral("Месяц|Месяц открыт||01.2001|проверка окончена|Закрыт: "),
                                    QStringLiteral("Часы|Добавлена|1|04.03.2024, 1 Антонов А.А.||Дата: 04.03.2024; ФИО: 1 Антонов А.А.; "
                                                   "Номенклатура: Двери; Работа: хоз. работы; Цена: 100; Кол-во: 3;")}) {
        QVERIFY2(std::any_of(seen.begin(), seen.end(), [&](const QString& s) { return s.startsWith(expected); }), qPrintable(expected));
    }
    QVERIFY(book.numericCells.contains(QStringLiteral("F2")));
    // "Когда" is a date-time, so that the filter sorts the rows by time and not by day first.
    QStringList moments;
    for (int r = 2; r <= book.rows.size(); ++r) {
        const QJsonObject when = book.cell(QStringLiteral("A%1").arg(r));
        QCOMPARE(when[QStringLiteral("type")].toString(), QStringLiteral("d"));
        QCOMPARE(when[QStringLiteral("format")].toString(), QStringLiteral("dd.mm.yyyy hh:mm:ss"));
        moments << when[QStringLiteral("value")].toString();
    }
    QVERIFY(std::is_sorted(moments.begin(), moments.end()));
}

QTEST_MAIN(TestCommandLine)
#include "tst_command_line.moc"
