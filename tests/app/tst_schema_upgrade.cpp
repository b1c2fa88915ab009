// Bringing a database up to date by the build's migrations: from nothing, from the department's
// first schema and from the release made before migrations, on a real server, read back with
// pg_dump and compared row by row.
#include "app/command_line.h"
#include "data/connection.h"
#include "data/schema_upgrade.h"
#include "rules/change_history.h"
#include "tests/support/history_fixture.h"
#include "tests/support/test_database.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QScopeGuard>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>
#include <QTextStream>
#include <QUuid>

#include <algorithm>
#include <thread>

class TestSchemaUpgrade : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();

    void everyEarlierDatabaseComesToTheSameSchema_data();
    void everyEarlierDatabaseComesToTheSameSchema();
    void theDryRunChangesNothing();
    void aFailedMigrationLeavesNoTrace();
    void changedOrUnknownMigrationsAreRefused_data();
    void changedOrUnknownMigrationsAreRefused();
    void twoUpgradesNeverRunAtOnce();
    void theClientRefusesAnOldSchema_data();
    void theClientRefusesAnOldSchema();
    void anEarlierHistoryReadsAsItDid();
    void aRightOnTheBooksIsGivenOnlyByWhoMay();
    void monthsClosedEarlierKeepTheirFigures();

private:
    /// A new empty database of the test's own, dropped at cleanup; made from files run by psql.
    QString made(const QStringList& files);
    /// A database as the build whose last migration was `last` made it: the migrations up to it
    /// applied and recorded as its upgrade records them.
    QString madeUpTo(int last);
    void psql(const QString& database, const QStringList& args) const;
    /// The schema as pg_dump writes it, without the lines that differ from run to run.
    QString schema(const QString& database) const;
    /// Every table's rows (but the record of migrations) as a count and a checksum.
    QString rows(const QString& database) const;
    /// Runs the program on the database; its exit code, and standard output and error.
    int run(const QString& database, const QStringList& args, QString* out = nullptr, QString* err = nullptr) const;
    /// The same under another login (its password given).
    int runAs(const QString& user, const QString& password, const QString& database, const QStringList& args, QString* out,
              QString* err) const;
    QVariant scalar(const QString& database, const QString& sql) const;

    QString server() const { return QStringLiteral("127.0.0.1:%1").arg(TestDatabase::port()); }
    QStringList m_made;
    QString m_fresh;   ///< the schema of a database made from nothing
    const BuildStamp m_stamp{20240601, 3600};
};

namespace {

const QString kFirstSchema = QStringLiteral(TABEL_SOURCE_DIR "/db/migrations/0001_department.sql");
const QString kRelease100 = QStringLiteral(TABEL_SOURCE_DIR "/tests/support/schemas/release-1.0.0.sql");
const QString kDemo = QStringLiteral(TABEL_SOURCE_DIR "/db/demo.sql");

QSqlDatabase admin()
{
    const QString name = QStringLiteral("upgrade_admin");
    if (QSqlDatabase::contains(name)) return QSqlDatabase::database(name);
    return openConnection(TestDatabase::adminSettings(QStringLiteral("postgres")), name);
}

QProcessEnvironment withPassword()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PGPASSWORD"), QStringLiteral("tabel_test"));
    return env;
}

} // namespace

void TestSchemaUpgrade::initTestCase()
{
    const QString fresh = made({});
    QCOMPARE(run(fresh, {"--upgrade-database"}), command_line_exit::kOk);
    m_fresh = schema(fresh);
    QVERIFY(m_fresh.contains(QStringLiteral("CREATE TABLE accounts_dep.change_log")));
}

void TestSchemaUpgrade::cleanup()
{
    for (const QString& name : std::as_const(m_made)) {
        if (name == m_made.constFirst()) continue;   // the fresh one serves every test
        QSqlQuery(admin()).exec(QStringLiteral("drop database if exists %1 with (force)").arg(name));
    }
    m_made = m_made.mid(0, 1);
}

QString TestSchemaUpgrade::made(const QStringList& files)
{
    const QString name = QStringLiteral("t_upgrade_%1").arg(QUuid::createUuid().toString(QUuid::Id128).left(8));
    QSqlQuery q(admin());
    if (!q.exec(QStringLiteral("create database %1").arg(name))) qFatal("%s", qPrintable(q.lastError().text()));
    m_made << name;
    for (const QString& file : files) psql(name, {QStringLiteral("-f"), file});
    return name;
}

QString TestSchemaUpgrade::madeUpTo(int last)
{
    QStringList files;
    QString records = QStringLiteral(
        "create table accounts_dep.schema_migrations (number integer primary key, name text not null, sha256 text not null, "
        "applied_at timestamptz not null default now(), applied_by text not null default session_user, build text not null, "
        "adopted boolean not null default false);\n");
    for (const schema_upgrade::Migration& m : schema_upgrade::migrations()) {
        if (m.number > last) continue;
        files << QStringLiteral(TABEL_SOURCE_DIR "/db/migrations/%1.sql").arg(m.name);
        records += QStringLiteral("insert into accounts_dep.schema_migrations (number, name, sha256, build) values (%1, '%2', '%3', 'earlier');\n")
                       .arg(m.number).arg(m.name, m.sha256);
    }
    // As an upgrade leaves it: the record of migrations, too, belongs to the schema's owner.
    if (last >= 6) records += QStringLiteral("alter table accounts_dep.schema_migrations owner to tabel_owner;\n");
    const QString db = made(files);
    psql(db, {QStringLiteral("-c"), records});
    return db;
}

void TestSchemaUpgrade::psql(const QString& database, const QStringList& args) const
{
    QProcess p;
    p.setProcessEnvironment(withPassword());
    p.start(QStringLiteral("psql"), QStringList{"-X", "-q", "-v", "ON_ERROR_STOP=1", "-h", "127.0.0.1", "-p",
                                                QString::number(TestDatabase::port()), "-U", "tabel_test", "-d", database} + args);
    if (!p.waitForFinished(120000) || p.exitCode() != 0) qFatal("psql: %s", p.readAllStandardError().constData());
}

QString TestSchemaUpgrade::schema(const QString& database) const
{
    QProcess p;
    p.setProcessEnvironment(withPassword());
    p.start(QStringLiteral("pg_dump"), {"--schema-only", "--no-owner", "--no-privileges", "-h", "127.0.0.1", "-p",
                                        QString::number(TestDatabase::port()), "-U", "tabel_test", database});
    if (!p.waitForFinished(60000) || p.exitCode() != 0) qFatal("pg_dump: %s", p.readAllStandardError().constData());
    QStringList kept;
    for (const QString& line : QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n')))
        if (!line.startsWith(QLatin1String("\\restrict")) && !line.startsWith(QLatin1String("\\unrestrict"))) kept << line;
    return kept.join(QLatin1Char('\n'));
}

QVariant TestSchemaUpgrade::scalar(const QString& database, const QString& sql) const
{
    const ConnectionSettings s = TestDatabase::adminSettings(database);
    QVariant value;
    {
        QSqlDatabase db = openConnection(s, QStringLiteral("upgrade_probe"));
        QSqlQuery q(db);
        if (!q.exec(sql)) qFatal("%s", qPrintable(q.lastError().text()));
        if (q.next()) value = q.value(0);
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("upgrade_probe"));
    return value;
}

QString TestSchemaUpgrade::rows(const QString& database) const
{
    const QString tables = scalar(database, QStringLiteral(
        "select string_agg(format('%I.%I', table_schema, table_name), ',' order by table_schema, table_name)\n"
        "from information_schema.tables where table_type = 'BASE TABLE'\n"
        "and table_schema not in ('pg_catalog', 'information_schema') and table_name <> 'schema_migrations'")).toString();
    QStringList sums;
    // The history is converted record by record (what each reads as is tested on its own): it
    // keeps its number of records.
    for (const QString& table : tables.split(QLatin1Char(','), Qt::SkipEmptyParts))
        sums << table + QLatin1Char(' ') +
                    scalar(database, table == QLatin1String("accounts_dep.change_log")
                                         ? QStringLiteral("select count(*)::text from %1").arg(table)
                                         : QStringLiteral("select count(*) || ' ' || coalesce(md5(string_agg(t::text, '|' order by t::text)), '') "
                                                          "from %1 t").arg(table)).toString();
    return sums.join(QLatin1Char('\n'));
}

int TestSchemaUpgrade::run(const QString& database, const QStringList& args, QString* out, QString* err) const
{
    // The schema is changed by a superuser (it makes the roles and hands the schema to its owner).
    return runAs(QStringLiteral("tabel_test"), QStringLiteral("tabel_test"), database, args, out, err);
}

int TestSchemaUpgrade::runAs(const QString& user, const QString& password, const QString& database, const QStringList& args,
                             QString* out, QString* err) const
{
    QString o, e;
    QTextStream outStream(&o), errStream(&e);
    // The password comes from libpq's environment.
    qputenv("PGPASSWORD", password.toUtf8());
    const int exit = runCommandLine(QStringList{database, server(), "--user", user} + args, m_stamp, outStream, errStream);
    qunsetenv("PGPASSWORD");
    outStream.flush();
    errStream.flush();
    if (out) *out = o;
    if (err) *err = e;
    return exit;
}

void TestSchemaUpgrade::everyEarlierDatabaseComesToTheSameSchema_data()
{
    QTest::addColumn<QString>("made");
    QTest::addColumn<QString>("said");   // the first step's line
    QTest::newRow("the department's first schema") << kFirstSchema << "0001_department: таблицы отдела уже были";
    QTest::newRow("release 1.0.0, before migrations") << kRelease100 << "0001_department: таблицы отдела уже были";
}

void TestSchemaUpgrade::everyEarlierDatabaseComesToTheSameSchema()
{
    QFETCH(QString, made);
    QFETCH(QString, said);
    const QString db = this->made({made, kDemo});
    const QString before = rows(db);
    QVERIFY(before.contains(QStringLiteral("accounts_dep.smena ")));
    QString out, err;
    QCOMPARE(run(db, {"--upgrade-database"}, &out, &err), command_line_exit::kOk);
    QVERIFY2(out.startsWith(said) && out.contains(QStringLiteral("0005_history_skips_unchanged_rows: ")), qPrintable(out + err));
    QCOMPARE(schema(db), m_fresh);
    // Every row of every table it had is kept (the tables the upgrade added are empty).
    QStringList after = rows(db).split(QLatin1Char('\n'));
    const QStringList had = before.split(QLatin1Char('\n'));
    after.removeIf([&](const QString& line) {
        return !std::any_of(had.begin(), had.end(), [&](const QString& h) { return h.section(QLatin1Char(' '), 0, 0) == line.section(QLatin1Char(' '), 0, 0); });
    });
    QCOMPARE(after.join(QLatin1Char('\n')), before);
    QStringList adopted;
    for (const schema_upgrade::Migration& m : schema_upgrade::migrations())
        adopted << QStringLiteral("%1:%2").arg(m.number).arg(m.number == 1 ? QStringLiteral("true") : QStringLiteral("false"));
    QCOMPARE(scalar(db, QStringLiteral("select string_agg(number || ':' || adopted, ' ' order by number) from accounts_dep.schema_migrations")).toString(),
             adopted.join(QLatin1Char(' ')));
    // Twice changes nothing the second time.
    const QString records = scalar(db, QStringLiteral("select string_agg(number || applied_at::text, ' ') from accounts_dep.schema_migrations")).toString();
    QCOMPARE(run(db, {"--upgrade-database"}, &out), command_line_exit::kOk);
    QCOMPARE(out, QStringLiteral("БД уже обновлена: изменений схемы нет.\n"));
    QCOMPARE(schema(db), m_fresh);
    QCOMPARE(scalar(db, QStringLiteral("select string_agg(number || applied_at::text, ' ') from accounts_dep.schema_migrations")).toString(), records);
    // And the client now works on it.
    QCOMPARE(run(db, {"--check", "--month", "3", "--year", "2024"}), command_line_exit::kOk);
}

void TestSchemaUpgrade::theDryRunChangesNothing()
{
    const QString db = made({kRelease100, kDemo});
    const QString before = schema(db), data = rows(db);
    QString out, err;
    QCOMPARE(run(db, {"--upgrade-database", "--dry-run"}, &out, &err), command_line_exit::kOk);
    QVERIFY2(out.contains(QStringLiteral("-- 0001_department: таблицы отдела уже есть")) &&
                 out.contains(QStringLiteral("-- 0005_history_skips_unchanged_rows\n-- An update that changes no value")),
             qPrintable(out));
    QVERIFY2(err.contains(QStringLiteral("пробный прогон")), qPrintable(err));
    QCOMPARE(schema(db), before);
    QCOMPARE(rows(db), data);
}

void TestSchemaUpgrade::aFailedMigrationLeavesNoTrace()
{
    // Another system made a function of the person codes' name that gives text: the second
    // migration cannot replace it, and nothing of the upgrade stays.
    const QString db = made({kFirstSchema, kDemo});
    psql(db, {"-c", "create function accounts_dep.person_code_id(code text) returns text language sql as 'select code'"});
    const QString before = schema(db), data = rows(db);
    QString out, err;
    QCOMPARE(run(db, {"--upgrade-database"}, &out, &err), command_line_exit::kDatabaseError);
    QVERIFY2(err.contains(QStringLiteral("0002_person_codes")), qPrintable(err));
    QCOMPARE(schema(db), before);
    QCOMPARE(rows(db), data);
}

void TestSchemaUpgrade::aRightOnTheBooksIsGivenOnlyByWhoMay()
{
    // A member of the schema's owner may upgrade the department's schema, but may not give the
    // owner a right on the enterprise's books, which the foremen's saves need: GRANT would only
    // warn, so the upgrade stops, says why and leaves the database as it was.
    const QString db = madeUpTo(8);
    const QString login = QStringLiteral("t_owner_%1").arg(QUuid::createUuid().toString(QUuid::Id128).left(8));
    QSqlQuery(admin()).exec(QStringLiteral("create role %1 login password 'secret' in role tabel_owner").arg(login));
    const auto drop = qScopeGuard([&] { QSqlQuery(admin()).exec(QStringLiteral("drop role if exists %1").arg(login)); });
    const QString before = schema(db);
    QString out, err;
    QCOMPARE(runAs(login, QStringLiteral("secret"), db, {"--upgrade-database"}, &out, &err), command_line_exit::kDatabaseError);
    QVERIFY2(err.contains(QStringLiteral("0009_hold_references")) && err.contains(QStringLiteral("superuser")), qPrintable(err));
    QCOMPARE(schema(db), before);
    // A superuser gives it.
    QCOMPARE(run(db, {"--upgrade-database"}, &out, &err), 0);
    QVERIFY(scalar(db, QStringLiteral("select has_column_privilege('tabel_owner', 'cmn_classifier.item', 'id', 'update')")).toBool());
    // The later migrations change the department's schema alone: the member brings a database
    // past that one up to date himself.
    const QString later = madeUpTo(9);
    QVERIFY2(runAs(login, QStringLiteral("secret"), later, {"--upgrade-database"}, &out, &err) == 0, qPrintable(err));
    QCOMPARE(schema(later), m_fresh);
}

void TestSchemaUpgrade::changedOrUnknownMigrationsAreRefused_data()
{
    QTest::addColumn<QString>("spoil");
    QTest::addColumn<QString>("named");
    QTest::newRow("a migration's text changed") << "update accounts_dep.schema_migrations set sha256 = 'x' where number = 2"
                                                << "0002_person_codes";
    QTest::newRow("a migration of a newer build") << "insert into accounts_dep.schema_migrations (number, name, sha256, build) "
                                                     "values (9999, '9999_from_the_future', 'y', '20991231.1')"
                                                  << "9999_from_the_future";
}

void TestSchemaUpgrade::changedOrUnknownMigrationsAreRefused()
{
    QFETCH(QString, spoil);
    QFETCH(QString, named);
    const QString db = made({});
    QCOMPARE(run(db, {"--upgrade-database"}), command_line_exit::kOk);
    psql(db, {"-c", spoil});
    QString err;
    QCOMPARE(run(db, {"--upgrade-database"}, nullptr, &err), command_line_exit::kOutdated);
    QVERIFY2(err.contains(named), qPrintable(err));
}

void TestSchemaUpgrade::twoUpgradesNeverRunAtOnce()
{
    // Another upgrade holds the lock: this one waits until it is over.
    const QString db = made({});
    const ConnectionSettings s = TestDatabase::adminSettings(db);
    QSqlDatabase other = openConnection(s, QStringLiteral("other_upgrade"));
    QVERIFY(other.transaction());
    QVERIFY(QSqlQuery(other).exec(QStringLiteral("select pg_advisory_xact_lock(%1)").arg(0x7461626c)));
    std::vector<schema_upgrade::Step> seen;
    QString failure;
    std::thread second([&] {
        {
            QSqlDatabase mine = openConnection(s, QStringLiteral("this_upgrade"));
            try {
                for (const schema_upgrade::Step& step : schema_upgrade::upgrade(mine, QStringLiteral("this"), false).steps) seen.push_back(step);
            } catch (const std::exception& e) {
                failure = QString::fromUtf8(e.what());
            }
            mine.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("this_upgrade"));
    });
    bool waiting = false;
    for (int i = 0; i < 200 && !waiting; ++i) {
        QSqlQuery q(admin());
        waiting = q.exec(QStringLiteral("select count(*) from pg_locks where locktype = 'advisory' and not granted")) && q.next() &&
                  q.value(0).toInt() > 0;
        if (!waiting) QTest::qWait(25);
    }
    QVERIFY(other.commit());
    second.join();
    other.close();
    QSqlDatabase::removeDatabase(QStringLiteral("other_upgrade"));
    QVERIFY2(waiting, "the second upgrade did not wait for the first");
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    QCOMPARE(int(seen.size()), int(schema_upgrade::migrations().size()));
}

void TestSchemaUpgrade::theClientRefusesAnOldSchema_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("told");
    QTest::newRow("full access") << "3851" << "--upgrade-database";
    QTest::newRow("planner") << "brivet" << "обратитесь к администратору";
}

void TestSchemaUpgrade::theClientRefusesAnOldSchema()
{
    QFETCH(QString, code);
    QFETCH(QString, told);
    const QString db = made({kRelease100});
    QString o, e;
    QTextStream out(&o), err(&e);
    const int exit = runCommandLine({db, server(), "--code", code, "--report", "products", "--from", "2024-03-01", "--to",
                                     "2024-04-01", "--pdf", QDir::temp().filePath(db + QStringLiteral(".pdf"))},
                                    m_stamp, out, err);
    err.flush();
    QCOMPARE(exit, command_line_exit::kOldSchema);
    QVERIFY2(e.contains(QStringLiteral("0002_person_codes")) && e.contains(told), qPrintable(e));
    QVERIFY(!QFile::exists(QDir::temp().filePath(db + QStringLiteral(".pdf"))));
}

void TestSchemaUpgrade::anEarlierHistoryReadsAsItDid()
{
    // A database of the build before the history was made compact, its history written by that
    // build's triggers as whole rows (an entry of a column since dropped among them), brought up
    // to date: every record is kept, in the partition of its month, and reads as it did.
    const QString db = madeUpTo(6);
    psql(db, {QStringLiteral("-f"), history_fixture::kChanges});
    QCOMPARE(scalar(db, QStringLiteral("select count(*) from accounts_dep.change_log")).toInt(), 16);
    QString out, err;
    QCOMPARE(run(db, {"--upgrade-database"}, &out, &err), command_line_exit::kOk);
    QVERIFY2(out.contains(QStringLiteral("0008_compact_history: ")), qPrintable(out + err));
    QCOMPARE(scalar(db, QStringLiteral("select string_agg(distinct tableoid::regclass::text, ' ') from accounts_dep.change_log")).toString(),
             QStringLiteral("accounts_dep.change_log_2024_03"));
    QStringList everything, approved, entries;
    // Numbers as the windows show them.
    const QLocale locale;
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    const auto restore = qScopeGuard([&] { QLocale::setDefault(locale); });
    {
        QSqlDatabase conn = openConnection(TestDatabase::adminSettings(db), QStringLiteral("upgraded_history"));
        using namespace change_history;
        const QDate day(2024, 3, 20);
        everything = history_fixture::lines(periodChanges(conn, day, day.addDays(1), Scope::Everything));
        approved = history_fixture::lines(periodChanges(conn, day, day.addDays(1), Scope::ApprovedEntries));
        for (const qlonglong id : {9001, 9003, 9004}) entries += history_fixture::lines(entryHistory(conn, Table::Journal, id));
        entries += history_fixture::lines(entryHistory(conn, Table::Hours, 9002));
        conn.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("upgraded_history"));
    QCOMPARE(everything, history_fixture::everythingShown());
    QCOMPARE(approved, history_fixture::approvedShown());
    using history_fixture::entryShown;
    QCOMPARE(entries, entryShown(QStringLiteral("Журнал"), 9001) + entryShown(QStringLiteral("Журнал"), 9003) +
                          entryShown(QStringLiteral("Журнал"), 9004) + entryShown(QStringLiteral("Часы"), 9002));
    // The whole rows that read back as they were are kept as their text now; the one of a
    // column since dropped stays as it was.
    QCOMPARE(scalar(db, QStringLiteral("select string_agg(row_id || act, ' ' order by id) from accounts_dep.change_log "
                                       "where act in ('i', 'd') and entry is null")).toString(),
             QStringLiteral("9004i"));
}

void TestSchemaUpgrade::monthsClosedEarlierKeepTheirFigures()
{
    // March closed by the build before: the upgrade keeps its figures as a closing now would, each
    // worker's amount rounded to kopecks (3.015 and 1.005) before they are added up.
    const QString db = madeUpTo(9);
    psql(db, {QStringLiteral("-c"), QStringLiteral(
        "insert into accounts_dep.oper (id, vid, naimen, i_id) values (1, 1, 0, 10001);"
        "insert into accounts_dep.smena (data, smena, w_id, i_id, o_id, cena, kol_vo, brak, color, time, ok) values"
        " ('2024-03-02', 4, 1, 10001, 1, 1.005, 3, 0, 0, 3, 'ok'), ('2024-03-02', 4, 2, 10001, 1, 1.005, 1, 0, 0, 2, 'ok');"
        "select accounts_dep.close_month(2024, 3);")});
    QString out, err;
    QCOMPARE(run(db, {"--upgrade-database"}, &out, &err), command_line_exit::kOk);
    QVERIFY2(out.contains(QStringLiteral("0010_month_figures: ")), qPrintable(out + err));
    QCOMPARE(scalar(db, QStringLiteral("select string_agg(concat_ws(' ', year, month, product_kind, piecework, hours), ', ' "
                                       "order by product_kind) from accounts_dep.month_figures")).toString(),
             QStringLiteral("2024 3 0 4.03 5, 2024 3 1 4.03 5, 2024 3 2"));
}

QTEST_MAIN(TestSchemaUpgrade)
#include "tst_schema_upgrade.moc"
