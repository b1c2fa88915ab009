// The month-end batch from the command line, on the primary and on a streaming standby of the
// test server (TABEL_TEST_STANDBY_PORT, brought up by the suite's script with pg_basebackup -R).
#include "app/command_line.h"
#include "app/month_end.h"
#include "data/money.h"
#include "data/read_server.h"
#include "tests/reports/report_fixture.h"
#include "tests/support/small_file_system.h"
#include "tests/support/test_database.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QScopeGuard>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QRegularExpression>
#include <QTest>
#include <QTextStream>

#include <cerrno>
#include <cstring>

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
    void aStandbyOfAnotherDatabaseIsNotRead();
    void everyDocumentAddsUpToTheKopeck();
    void aReusedFolderKeepsNoManifestThatLies_data();
    void aReusedFolderKeepsNoManifestThatLies();
    void aKilledRunLeavesNoManifest();
    void everyFileIsReadFromOneSnapshot();
    void aLinkInTheFolderIsReplacedNotWrittenThrough();
    void aFullDiskIsNamed();

private:
    /// Runs the batch for March 2024 into a new folder (or the one given); its exit code, error
    /// stream and folder.
    int monthEnd(const QString& code, const QStringList& more, QString* err, QString* folder);
    int monthEndInto(const QString& folder, QString* err);
    /// What is wrong with the folder's manifest: a file it lists that is not there as listed, or
    /// a file there that it does not list. Empty when it tells the truth or is not there.
    static QStringList manifestLies(const QString& folder);
    /// The database stamped with this test's build again, after the program itself ran on it.
    void restampAsThisTest() const
    {
        m_db->exec(QStringLiteral("update accounts_dep.ver set d = %1, t = %2").arg(m_stamp.date).arg(m_stamp.time));
    }
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

int TestMonthEnd::monthEndInto(const QString& folder, QString* err)
{
    QString text, results;
    QTextStream stream(&text), out(&results);
    const int exit = runCommandLine(QStringList{m_db->name(), server(), "--code", "3851", "--month-end", "--month", "3", "--year",
                                                "2024", "--dir", folder},
                                    m_stamp, out, stream);
    stream.flush();
    *err = text;
    return exit;
}

QStringList TestMonthEnd::manifestLies(const QString& folder)
{
    const QDir dir(folder);
    QFile file(dir.filePath(QStringLiteral("manifest.json")));
    if (!file.exists()) return {};
    if (!file.open(QIODevice::ReadOnly)) return {QStringLiteral("manifest.json cannot be read")};
    QStringList lies, listed;
    for (const QJsonValue& v : QJsonDocument::fromJson(file.readAll()).object().value(QStringLiteral("files")).toArray()) {
        const QJsonObject f = v.toObject();
        const QString name = f.value(QStringLiteral("file")).toString();
        listed << name;
        QFile written(dir.filePath(name));
        if (!written.open(QIODevice::ReadOnly)) {
            lies << name + QStringLiteral(" is not there");
            continue;
        }
        const QByteArray bytes = written.readAll();
        if (f.value(QStringLiteral("sha256")).toString() != QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex()))
            lies << name + QStringLiteral(" differs");
    }
    for (const QString& name : dir.entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::System))
        if (name != QLatin1String("manifest.json") && !listed.contains(name)) lies << name + QStringLiteral(" is not listed");
    return lies;
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
    for (const char* r : {"products", "workers", "workers-detailed", "products-detailed", "time-timesheet", "summary"})
        all << QStringLiteral("%1-2024-03.pdf").arg(QLatin1String(r));
    for (const QString& s : sheets) all << s + QStringLiteral("-2024-03.xlsx");
    QTest::newRow("full access") << "3851" << all;
    QTest::newRow("foremen") << "kolpant" << QStringList{"products-detailed-2024-03.pdf", "operations-2024-03.xlsx"};
    QTest::newRow("warehouse") << "frumo" << QStringList{"products-detailed-2024-03.pdf", "summary-2024-03.pdf"};
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
    // The warehouse's report holds finished products only, as its hub does (ВС-1 is a blank).
    const QString products = pdfText(QDir(folder).filePath(QStringLiteral("products-detailed-2024-03.pdf")));
    QVERIFY(products.contains(QStringLiteral("ДМ-1")));
    QCOMPARE(products.contains(QStringLiteral("ВС-1")), code != QLatin1String("frumo"));
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
            // Qt's PDF writer (the summary's charts) stamps the time of writing; the rest is the same.
            const auto content = [](QFile& f) {
                return QString::fromLatin1(f.readAll()).remove(QRegularExpression(QStringLiteral("/CreationDate \\(D:[^)]*\\)")));
            };
            QVERIFY2(content(a) == content(b), qPrintable(name));
        } else {
            // A workbook carries the time it was made; its cells are the same.
            Workbook x, y;
            QVERIFY(readWorkbook(QDir(primary).filePath(name), &x) && readWorkbook(QDir(fromStandby).filePath(name), &y));
            if (x.rows != y.rows || x.cells != y.cells) {
                // Say where they part, for whoever looks into it.
                for (auto it = x.cells.begin(); it != x.cells.end(); ++it)
                    if (y.cells.value(it.key()) != it.value())
                        qWarning("%s %s: primary %s, standby %s", qPrintable(name), qPrintable(it.key()),
                                 QJsonDocument(it.value().toObject()).toJson(QJsonDocument::Compact).constData(),
                                 QJsonDocument(y.cells.value(it.key()).toObject()).toJson(QJsonDocument::Compact).constData());
                qWarning("%s: %lld rows on the primary, %lld on the standby; standby said: %s", qPrintable(name),
                         qlonglong(x.rows.size()), qlonglong(y.rows.size()), qPrintable(err));
            }
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

void TestMonthEnd::aStandbyOfAnotherDatabaseIsNotRead()
{
    // Another cluster's standby holds a database of the same name, with another plant's product:
    // its positions and replay times say nothing of this primary, and it is not read.
    const ForeignTwin twin(*m_db, QStringLiteral(R"(
        insert into cmn_contractor.person (id, s_caption, s_code) values (1, 'Чужой Ч.Ч.', '1');
        insert into cmn_gds_and_srv.gds_and_srv (id, s_caption, massa) values (10001, 'ЧУЖОЕ-1', 1);
        insert into accounts_dep.vid_oper (id, vid) values (1, 'Сварка');
        insert into accounts_dep.oper (id, vid, naimen, i_id) values (1, 1, 0, 10001);
        insert into accounts_dep.smena (data, smena, w_id, i_id, o_id, cena, kol_vo, brak, color, time, ok) values
          ('2024-03-01', 1, 1, 10001, 1, 10, 10, 0, 0, 8, 'ok');
    )"));
    QString err, folder;
    QCOMPARE(monthEnd(QStringLiteral("frumo"), {"--read-server", ForeignTwin::standbyServer()}, &err, &folder), command_line_exit::kOk);
    QVERIFY2(err.startsWith(QStringLiteral("tabel: Сервер чтения %1 — копия другой БД, а не БД основного сервера %2")
                                .arg(ForeignTwin::standbyServer(), server())),
             qPrintable(err));
    QVERIFY(err.contains(QStringLiteral("читаются с основного сервера")));
    const QString text = pdfText(QDir(folder).filePath(QStringLiteral("products-detailed-2024-03.pdf")));
    QVERIFY2(text.contains(QStringLiteral("ДМ-1")) && !text.contains(QStringLiteral("ЧУЖОЕ")), qPrintable(text));
    QFile file(QDir(folder).filePath(QStringLiteral("manifest.json")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(QJsonDocument::fromJson(file.readAll()).object().value(QStringLiteral("server")).toString(), server());
}

void TestMonthEnd::everyDocumentAddsUpToTheKopeck()
{
    // Two workers whose journal and hour entries each come to exactly 0,225 (three pieces at
    // 0,075; as doubles 0,22499999999999998): each is paid 0,23 of each, and every total of a pay
    // sheet is the sum of its rows, never the sum rounded once (0,45).
    m_db->exec(QStringLiteral(R"(
        insert into accounts_dep.smena (data, smena, w_id, i_id, o_id, cena, kol_vo, brak, color, time, ok) values
          ('2031-05-05', 1, 1, 10001, 1, 0.075, 3, 0, 0, 8, 'ok'), ('2031-05-06', 1, 2, 10001, 1, 0.075, 3, 0, 0, 8, 'ok');
        insert into accounts_dep.fatigue (id_nom, id_o, id_p, d_date, i_mnth, i_year, cnt, price, i_night) values
          (1, 7777, 1, '2031-05-07', 5, 2031, 3, 0.075, 0), (1, 7777, 2, '2031-05-07', 5, 2031, 3, 0.075, 0);
        insert into accounts_dep.h_tabel (w_id, month, year, smena, i_type, d5, d6, d7) values
          (1, 5, 2031, 1, 0, 8, null, null), (2, 5, 2031, 1, 0, null, 8, null),
          (1, 5, 2031, 0, 7777, null, null, 3), (2, 5, 2031, 0, 7777, null, null, 3);
    )"));
    const QString folder = m_tmp.filePath(QStringLiteral("kopecks"));
    QString text, results;
    QTextStream stream(&text), out(&results);
    QCOMPARE(runCommandLine({m_db->name(), server(), "--code", "3851", "--month-end", "--month", "5", "--year", "2031", "--dir", folder},
                            m_stamp, out, stream),
             command_line_exit::kOk);
    // The detailed report's lines and the worker's sum: 0,23, not 0,22.
    const QString detailed = pdfText(QDir(folder).filePath(QStringLiteral("workers-detailed-2031-05.pdf")));
    QVERIFY2(detailed.contains(QStringLiteral("0,23")) && !detailed.contains(QStringLiteral("0,22")), qPrintable(detailed));
    // Each pay sheet: the rows' "Итого (р.)" (column 35) add up to its own total.
    const QList<std::pair<QString, QString>> sheets = {{QStringLiteral("piecework"), QStringLiteral("Сделка:")},
                                                      {QStringLiteral("utility-works"), QStringLiteral("Хоз. работы:")},
                                                      {QStringLiteral("general"), QStringLiteral("Итого:")}};
    for (const auto& [name, caption] : sheets) {
        Workbook book;
        QVERIFY(readWorkbook(QDir(folder).filePath(name + QStringLiteral("-2031-05.xlsx")), &book));
        Money rows;
        int row = 3;
        for (; !book.at(row, 1).isEmpty() && !book.at(row, 1).endsWith(QLatin1Char(':')); ++row)
            rows += *Money::parse(book.at(row, 35));
        QString total;
        for (; row <= book.rows.size(); ++row)
            if (book.at(row, 1) == caption) total = book.at(row, 35);
        QCOMPARE(rows.toString(), name == QLatin1String("general") ? QStringLiteral("0.92") : QStringLiteral("0.46"));
        QCOMPARE(total, rows.toString());
    }
}

void TestMonthEnd::aReusedFolderKeepsNoManifestThatLies_data()
{
    QTest::addColumn<QString>("spoiled");   // a file of the set, replaced by something the run cannot replace
    QTest::addColumn<bool>("folder");       // a folder, or else the file marked read-only
    QTest::newRow("a folder in place of the first file") << "products-2024-03.pdf" << true;
    QTest::newRow("a folder in place of a file halfway") << "general-2024-03.xlsx" << true;
    QTest::newRow("a read-only file halfway") << "piecework-2024-03.xlsx" << false;
}

void TestMonthEnd::aReusedFolderKeepsNoManifestThatLies()
{
    QFETCH(QString, spoiled);
    QFETCH(bool, folder);
    QString err, dir;
    QCOMPARE(monthEnd(QStringLiteral("3851"), {}, &err, &dir), command_line_exit::kOk);
    QVERIFY(QFile::exists(QDir(dir).filePath(QStringLiteral("manifest.json"))));
    const QString path = QDir(dir).filePath(spoiled);
    if (folder) {
        QVERIFY(QFile::remove(path));
        QVERIFY(QDir(dir).mkdir(spoiled));
    } else {
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    }
    // Refused, never skipped: the run fails and says which file.
    QCOMPARE(monthEndInto(dir, &err), command_line_exit::kOutputError);
    QVERIFY2(err.contains(spoiled), qPrintable(err));
    QVERIFY(!QFile::exists(QDir(dir).filePath(QStringLiteral("manifest.json"))));
    // Put right, the next run writes the whole set and its manifest.
    if (folder) QVERIFY(QDir(dir).rmdir(spoiled));
    else QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner));
    QCOMPARE(monthEndInto(dir, &err), command_line_exit::kOk);
    QVERIFY(QFile::exists(QDir(dir).filePath(QStringLiteral("manifest.json"))));
    QCOMPARE(manifestLies(dir), QStringList());
}

void TestMonthEnd::aKilledRunLeavesNoManifest()
{
    QString err, folder;
    QCOMPARE(monthEnd(QStringLiteral("3851"), {}, &err, &folder), command_line_exit::kOk);
    // The program itself, killed once its first file is in place.
    QProcess tabel;
    tabel.setReadChannel(QProcess::StandardError);
    // The program stamps the database with its own build; this test's runs are of an older one.
    const auto restamp = qScopeGuard([this] { restampAsThisTest(); });
    tabel.start(QStringLiteral(TABEL_BINARY), {m_db->name(), server(), "--code", "3851", "--month-end", "--month", "3", "--year",
                                               "2024", "--dir", folder});
    QByteArray said;
    while (!said.contains("[1/") && tabel.waitForReadyRead(30000)) said += tabel.readAllStandardError();
    QVERIFY2(said.contains("[1/"), said.constData());
    tabel.kill();
    QVERIFY(tabel.waitForFinished());
    restampAsThisTest();
    QVERIFY(!QFile::exists(QDir(folder).filePath(QStringLiteral("manifest.json"))));
    // The next run removes what the killed one left half written, and lists the rest truly.
    QCOMPARE(monthEndInto(folder, &err), command_line_exit::kOk);
    QCOMPARE(manifestLies(folder), QStringList());
    QCOMPARE(QDir(folder).entryList(QDir::Hidden | QDir::Files).filter(QStringLiteral(".tabel-")), QStringList());
}

void TestMonthEnd::everyFileIsReadFromOneSnapshot()
{
    // The run of this month is held before its last file (the history, the one reader of the
    // change log) by a lock; an entry saved meanwhile, once its first file is written, is in none
    // of its files, the history included.
    const QDate today = QDate::currentDate();
    QSqlDatabase other = m_db->openAnother(QStringLiteral("holder"));
    QVERIFY(other.transaction());
    QVERIFY(QSqlQuery(other).exec(QStringLiteral("lock table accounts_dep.change_log in access exclusive mode")));
    const QString folder = m_tmp.filePath(QStringLiteral("snapshot"));
    QProcess tabel;
    tabel.setReadChannel(QProcess::StandardError);
    // The program stamps the database with its own build; this test's runs are of an older one.
    const auto restamp = qScopeGuard([this] { restampAsThisTest(); });
    tabel.start(QStringLiteral(TABEL_BINARY), {m_db->name(), server(), "--code", "3851", "--month-end", "--month",
                                               QString::number(today.month()), "--year", QString::number(today.year()), "--dir", folder});
    QByteArray said;
    while (!said.contains("[1/") && tabel.waitForReadyRead(30000)) said += tabel.readAllStandardError();
    QVERIFY2(said.contains("[1/"), said.constData());
    QVERIFY(QSqlQuery(other).exec(QStringLiteral("insert into accounts_dep.smena (data, smena, w_id, i_id, o_id, cena, kol_vo, time, ok) "
                                                 "values (current_date, 1, 1, 10001, 1, 10, 4242, 8, 'no')")));
    QVERIFY(other.commit());
    QVERIFY(tabel.waitForFinished(60000));
    QCOMPARE(tabel.exitCode(), command_line_exit::kOk);
    const QString suffix = today.toString(QStringLiteral("-yyyy-MM"));
    QString cells;
    for (const QString& name : {QStringLiteral("history"), QStringLiteral("output"), QStringLiteral("general")}) {
        Workbook book;
        QVERIFY(readWorkbook(QDir(folder).filePath(name + suffix + QStringLiteral(".xlsx")), &book));
        for (const QStringList& row : book.rows) cells += row.join(QLatin1Char('|')) + QLatin1Char('\n');
    }
    QVERIFY2(!cells.contains(QStringLiteral("4242")), qPrintable(cells));
    m_db->exec(QStringLiteral("delete from accounts_dep.smena where kol_vo = 4242"));
    other.close();
}

void TestMonthEnd::aLinkInTheFolderIsReplacedNotWrittenThrough()
{
    QTemporaryDir folder, outside;
    QFile kept(outside.filePath(QStringLiteral("kept.txt")));
    QVERIFY(kept.open(QIODevice::WriteOnly) && kept.write("not a report") > 0);
    kept.close();
    const QDir dir(folder.path());
    // A link to a file outside, a link to nowhere, and the manifest's name as a link too.
    QVERIFY(QFile::link(kept.fileName(), dir.filePath(QStringLiteral("products-2024-03.pdf"))));
    QVERIFY(QFile::link(outside.filePath(QStringLiteral("none")), dir.filePath(QStringLiteral("general-2024-03.xlsx"))));
    QVERIFY(QFile::link(kept.fileName(), dir.filePath(QStringLiteral("manifest.json"))));
    QString err;
    QCOMPARE(monthEndInto(folder.path(), &err), command_line_exit::kOk);
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), QByteArray("not a report"));
    QVERIFY(!QFile::exists(outside.filePath(QStringLiteral("none"))));
    for (const QString& name : {QStringLiteral("products-2024-03.pdf"), QStringLiteral("general-2024-03.xlsx"), QStringLiteral("manifest.json")}) {
        const QFileInfo info(dir.filePath(name));
        QVERIFY2(info.isFile() && !info.isSymLink(), qPrintable(name));
    }
    QCOMPARE(manifestLies(folder.path()), QStringList());
}

void TestMonthEnd::aFullDiskIsNamed()
{
    SmallFileSystem disk(4096);
    QVERIFY2(disk.error().isEmpty(), qPrintable(disk.error()));
    const QString folder = disk.filePath(QStringLiteral("month"));
    QString err;
    QCOMPARE(monthEndInto(folder, &err), command_line_exit::kOk);
    QVERIFY(disk.fill());
    QCOMPARE(monthEndInto(folder, &err), command_line_exit::kOutputError);
    QVERIFY2(!err.contains(QStringLiteral("Неизвестная ошибка")) && !err.contains(QStringLiteral("Unknown error")), qPrintable(err));
    QVERIFY2(err.contains(QString::fromLocal8Bit(std::strerror(ENOSPC))), qPrintable(err));
    QVERIFY(!QFile::exists(QDir(folder).filePath(QStringLiteral("manifest.json"))));
    // and no temporary is left to hold the space
    QCOMPARE(QDir(folder).entryList(QDir::Hidden | QDir::Files).filter(QStringLiteral(".tabel-")), QStringList());
}

QTEST_MAIN(TestMonthEnd)
#include "tst_month_end.moc"
