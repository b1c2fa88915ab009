#include "bench/bench_support.h"
#include "tests/support/test_database.h"

#include <QFile>
#include <QTest>

/// The benchmarks touch only the database the seed marked, and put back what they changed.
class TestBenchGuard : public QObject {
    Q_OBJECT
private slots:
    void onlyTheMarkedDatabase_data();
    void onlyTheMarkedDatabase();
    void seedRefusesADatabaseWithData_data();
    void seedRefusesADatabaseWithData();
    void seedWritesTheMarkTheBenchmarksLookFor_data();
    void seedWritesTheMarkTheBenchmarksLookFor();
    void keptRowsPutBackOnlyTheirOwn();
};

namespace {

/// The benchmarks' server pointed at a test database, as bench/run.sh would point it.
bench::Server serverFor(const TestDatabase& database)
{
    qputenv("TABEL_BENCH_PORT", QByteArray::number(TestDatabase::port()));
    qputenv("TABEL_BENCH_DB", database.name().toUtf8());
    return bench::Server();
}

/// Every row of the timesheet, in order of id, as text.
QString timesheetRows(const TestDatabase& database)
{
    return database.scalar(QStringLiteral("select coalesce(string_agg(h::text, ';' order by id), '') from accounts_dep.h_tabel h"))
        .toString();
}

/// The seeds bench/run.sh loads: the department's and the plant's.
void seedFiles()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("department") << QStringLiteral("seed_large.sql");
    QTest::newRow("plant") << QStringLiteral("seed_plant.sql");
}

QByteArray seedText(const QString& file)
{
    QFile seed(QStringLiteral(TABEL_SOURCE_DIR "/bench/") + file);
    return seed.open(QIODevice::ReadOnly) ? seed.readAll() : QByteArray();
}

} // namespace

void TestBenchGuard::onlyTheMarkedDatabase_data()
{
    QTest::addColumn<QString>("comment");
    QTest::addColumn<bool>("allowed");
    QTest::newRow("no comment") << QString() << false;
    QTest::newRow("another comment") << QStringLiteral("production copy") << false;
    QTest::newRow("the mark with more") << bench::kSeedMark + QStringLiteral(" ") << false;
    QTest::newRow("the seed's mark") << bench::kSeedMark << true;
}

void TestBenchGuard::onlyTheMarkedDatabase()
{
    QFETCH(QString, comment);
    QFETCH(bool, allowed);
    TestDatabase database(QStringLiteral("guard"));
    if (!comment.isNull())
        database.exec(QStringLiteral("comment on database %1 is '%2'").arg(database.name(), comment));
    QCOMPARE(serverFor(database).given(), allowed);
}

void TestBenchGuard::seedRefusesADatabaseWithData_data() { seedFiles(); }

void TestBenchGuard::seedRefusesADatabaseWithData()
{
    QFETCH(QString, file);
    TestDatabase database(QStringLiteral("seed"));
    database.loadDemo();
    const QString before = timesheetRows(database);
    const QVariant entries = database.scalar(QStringLiteral("select count(*) from accounts_dep.smena"));
    const QVariant people = database.scalar(QStringLiteral("select count(*) from cmn_contractor.person"));
    const QByteArray seed = seedText(file);
    QVERIFY(!seed.isEmpty());
    const bench::PsqlRun run = bench::psql(serverFor(database), {}, seed);
    QVERIFY(!run.ok);
    QVERIFY2(run.errors.contains("already holds data"), run.errors.constData());
    QCOMPARE(database.scalar(QStringLiteral("select count(*) from accounts_dep.smena")), entries);
    QCOMPARE(database.scalar(QStringLiteral("select count(*) from cmn_contractor.person")), people);
    QCOMPARE(timesheetRows(database), before);
    QVERIFY(!serverFor(database).given());
}

void TestBenchGuard::seedWritesTheMarkTheBenchmarksLookFor_data() { seedFiles(); }

void TestBenchGuard::seedWritesTheMarkTheBenchmarksLookFor()
{
    QFETCH(QString, file);
    QVERIFY(QString::fromUtf8(seedText(file)).contains(QStringLiteral("'%1'").arg(bench::kSeedMark)));
}

void TestBenchGuard::keptRowsPutBackOnlyTheirOwn()
{
    TestDatabase database(QStringLiteral("kept"));
    database.exec(QStringLiteral(
        "insert into accounts_dep.h_tabel (w_id, month, year, smena, d1, d2) values "
        "(1, 6, 2026, 1, 8, null), (2, 6, 2026, 1, 4, 4), (3, 6, 2026, 2, null, 7), (1, 7, 2026, 1, 8, 8)"));
    const auto rowsOf = [&](int month) {
        return database.scalar(QStringLiteral("select coalesce(string_agg(h::text, ';' order by id), '') "
                                              "from accounts_dep.h_tabel h where month = %1").arg(month)).toString();
    };
    const QString june = rowsOf(6);
    {
        bench::KeptRows kept(database.db(), QStringLiteral("accounts_dep.h_tabel"), QStringLiteral("year = :y and month = :m"),
                             {{QStringLiteral("y"), 2026}, {QStringLiteral("m"), 6}});
        // Changed, moved out of the month, deleted, and one row added to the month.
        database.exec(QStringLiteral(
            "update accounts_dep.h_tabel set d2 = 6 where w_id = 1 and month = 6;\n"
            "update accounts_dep.h_tabel set month = 5 where w_id = 2 and month = 6;\n"
            "delete from accounts_dep.h_tabel where w_id = 3;\n"
            "insert into accounts_dep.h_tabel (w_id, month, year, smena, d3) values (4, 6, 2026, 1, 2)"));
        // Rows of another month, changed and added meanwhile, are none of the kept rows' business.
        database.exec(QStringLiteral(
            "update accounts_dep.h_tabel set d3 = 1 where month = 7;\n"
            "insert into accounts_dep.h_tabel (w_id, month, year, smena, d3) values (5, 7, 2026, 1, 3)"));
        const QString july = rowsOf(7);
        kept.restore();
        QCOMPARE(rowsOf(6), june);
        QCOMPARE(rowsOf(5), QString());
        QCOMPARE(rowsOf(7), july);
    }
    QCOMPARE(database.scalar(QStringLiteral("select count(*) from pg_class where relname like 'kept\\_rows\\_%'")).toInt(), 0);
}

QTEST_MAIN(TestBenchGuard)
#include "tst_bench_guard.moc"
