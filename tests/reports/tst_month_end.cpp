// The month-end batch from the command line, on the primary and on a streaming standby of the
// test server (TABEL_TEST_STANDBY_PORT, brought up by the suite's script with pg_basebackup -R).
#include "app/command_line.h"
#include "app/month_end.h"
#include "data/read_server.h"
#include "tests/reports/report_fixture.h"
#include "tests/support/test_database.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

class TestMonthEnd : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase() { delete m_db; }
    void init() { read_server::set({}); }

    void everyFileOfTheRoleAndAManifest_data();
    void everyFileOfTheRoleAndAManifest();
    void theStandbyGivesTheSameFiles();
    void anUnreachableStandbyIsSaidAndThePrimaryRead();
    void aStandbyIsOnlyComparedWith();

private:
    /// Runs the batch for March 2024 into a new folder; its exit code, error stream and folder.
    int monthEnd(const QString& code, const QStringList& more, QString* err, QString* folder);
    static QString standby() { return TestDatabase::standbyServer(); }
    QString server() const { return QStringLiteral("127.0.0.1:%1").arg(TestDatabase::port()); }

    TestDatabase* m_db = nullptr;
    QTemporaryDir m_tmp;
    const BuildStamp m_stamp{20240601, 3600};
    int m_runs = 0;
};

void TestMonthEnd::initTestCase()
{
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    m_db = new TestDatabase(QStringLiteral("month_end"));
    loadReportFixture(*m_db);
}

int TestMonthEnd::monthEnd(const QString& code, const QStringList& more, QString* err, QString* folder)
{
    *folder = m_tmp.filePath(QStringLiteral("run%1").arg(++m_runs));
    QString text, results;
    QTextStream stream(&text), out(&results);
    const int exit = runCommandLine(QStringList{m_db->name(), server(), "--code", code, "--month-end", "--month", "3", "--year",
                                                "2024", "--dir", *folder} + more,
                                    m_stamp, out, stream);
    stream.flush();
    *err = text;
    return exit;
}

void TestMonthEnd::everyFileOfTheRoleAndAManifest_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QStringList>("files");
    const QStringList sheets = {"output", "operations", "time-timesheet", "piecework", "utility-works", "average-piecework",
                                "general", "history"};
    QStringList all;
    for (const char* r : {"products", "workers", "workers-detailed", "products-detailed", "time-timesheet"})
        all << QStringLiteral("%1-2024-03.pdf").arg(QLatin1String(r));
    for (const QString& s : sheets) all << s + QStringLiteral("-2024-03.xlsx");
    QTest::newRow("full access") << "3851" << all;
    QTest::newRow("foremen") << "kolpant" << QStringList{"products-detailed-2024-03.pdf", "operations-2024-03.xlsx"};
    QTest::newRow("warehouse") << "frumo" << QStringList{"products-detailed-2024-03.pdf"};
}

void TestMonthEnd::everyFileOfTheRoleAndAManifest()
{
    QFETCH(QString, code);
    QFETCH(QStringList, files);
    QString err, folder;
    QCOMPARE(monthEnd(code, {}, &err, &folder), command_line_exit::kOk);
    // A line on the error stream as each file is done, then the manifest's.
    const QStringList lines = err.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), files.size() + 1);
    QVERIFY2(lines.first().startsWith(QStringLiteral("tabel: [1/%1] %2, ").arg(files.size()).arg(files.first())), qPrintable(err));
    QFile file(QDir(folder).filePath(QStringLiteral("manifest.json")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QJsonObject manifest = QJsonDocument::fromJson(file.readAll()).object();
    QCOMPARE(manifest.value(QStringLiteral("from")).toString(), QStringLiteral("2024-03-01"));
    QCOMPARE(manifest.value(QStringLiteral("to")).toString(), QStringLiteral("2024-04-01"));
    QVERIFY(QDateTime::fromString(manifest.value(QStringLiteral("snapshot")).toString(), Qt::ISODateWithMs).isValid());
    QCOMPARE(manifest.value(QStringLiteral("server")).toString(), server());
    QStringList listed;
    for (const QJsonValue& v : manifest.value(QStringLiteral("files")).toArray()) {
        const QJsonObject f = v.toObject();
        const QString name = f.value(QStringLiteral("file")).toString();
        listed << name;
        QFile written(QDir(folder).filePath(name));
        QVERIFY(written.open(QIODevice::ReadOnly));
        const QByteArray bytes = written.readAll();
        QCOMPARE(qint64(f.value(QStringLiteral("size")).toDouble()), qint64(bytes.size()));
        QCOMPARE(f.value(QStringLiteral("sha256")).toString(),
                 QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex()));
    }
    QCOMPARE(listed, files);
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), files.size() + 1);   // nothing else left there
}

void TestMonthEnd::theStandbyGivesTheSameFiles()
{
    QVERIFY(m_db->waitForStandby());
    QString err, primary, fromStandby;
    QCOMPARE(monthEnd(QStringLiteral("3851"), {}, &err, &primary), command_line_exit::kOk);
    QCOMPARE(monthEnd(QStringLiteral("3851"), {"--read-server", standby()}, &err, &fromStandby), command_line_exit::kOk);
    QVERIFY2(!err.contains(QStringLiteral("Сервер чтения")), qPrintable(err));
    QFile file(QDir(fromStandby).filePath(QStringLiteral("manifest.json")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(QJsonDocument::fromJson(file.readAll()).object().value(QStringLiteral("server")).toString(), standby());
    const QStringList names = QDir(primary).entryList({QStringLiteral("*.pdf"), QStringLiteral("*.xlsx")}, QDir::Files);
    QCOMPARE(QDir(fromStandby).entryList({QStringLiteral("*.pdf"), QStringLiteral("*.xlsx")}, QDir::Files), names);
    for (const QString& name : names) {
        if (name.endsWith(QLatin1String(".pdf"))) {
            QFile a(QDir(primary).filePath(name)), b(QDir(fromStandby).filePath(name));
            QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
            QVERIFY2(a.readAll() == b.readAll(), qPrintable(name));
        } else {
            // A workbook carries the time it was made; its cells are the same.
            Workbook x, y;
            QVERIFY(readWorkbook(QDir(primary).filePath(name), &x) && readWorkbook(QDir(fromStandby).filePath(name), &y));
            QVERIFY2(x.rows == y.rows && x.cells == y.cells, qPrintable(name));
        }
    }
}

void TestMonthEnd::anUnreachableStandbyIsSaidAndThePrimaryRead()
{
    QString err, folder;
    QCOMPARE(monthEnd(QStringLiteral("frumo"), {"--read-server", "127.0.0.1:1"}, &err, &folder), command_line_exit::kOk);
    QVERIFY2(err.startsWith(QStringLiteral("tabel: Сервер чтения 127.0.0.1:1 недоступен")), qPrintable(err));
    QVERIFY(err.contains(QStringLiteral("читаются с основного сервера")));
    QVERIFY(QFile::exists(QDir(folder).filePath(QStringLiteral("products-detailed-2024-03.pdf"))));
    // The primary itself named as the read server is no standby.
    QCOMPARE(monthEnd(QStringLiteral("frumo"), {"--read-server", server()}, &err, &folder), command_line_exit::kOk);
    QVERIFY2(err.contains(QStringLiteral("не резервная копия основного сервера")), qPrintable(err));
}

void TestMonthEnd::aStandbyIsOnlyComparedWith()
{
    // A newer build run against the standby alone compares its stamp and writes nothing.
    QVERIFY(m_db->waitForStandby());
    QString text, results;
    QTextStream stream(&text), out(&results);
    const QString folder = m_tmp.filePath(QStringLiteral("on_standby"));
    const BuildStamp newer{20991231, 1};
    QCOMPARE(runCommandLine({m_db->name(), standby(), "--code", "frumo", "--month-end", "--month", "3", "--year", "2024", "--dir", folder},
                            newer, out, stream),
             command_line_exit::kOk);
    QVERIFY2(!text.contains(QStringLiteral("read-only")), qPrintable(text));
    QVERIFY(m_db->scalar(QStringLiteral("select d from accounts_dep.ver")).toInt() < newer.date);
}

QTEST_MAIN(TestMonthEnd)
#include "tst_month_end.moc"
