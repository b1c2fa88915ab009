// The roles as the database enforces them: people of each group logged in as themselves, the way
// psql or any other program would, try what the client allows their role and what it does not.
#include "app/command_line.h"
#include "data/connection.h"
#include "data/db_error.h"
#include "data/money.h"
#include "data/session_role.h"
#include "rules/hour_entries.h"
#include "rules/journal_entries.h"
#include "tests/support/sheet_fixtures.h"
#include "tests/support/test_database.h"

#include <QScopeGuard>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <QUuid>

namespace {

const QStringList kGroups = {QStringLiteral("full"), QStringLiteral("planner"), QStringLiteral("foremen"), QStringLiteral("warehouse")};

} // namespace

class TestRoles : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();

    void eachRoleMayDoExactlyWhatTheClientLetsIt_data();
    void eachRoleMayDoExactlyWhatTheClientLetsIt();
    void theHistoryNamesThePersonWhateverTheClientClaims();
    void nobodyWhoLogsInOwnsAnything();
    void aBrigadeIsSavedByWhoMayAddEntries_data();
    void aBrigadeIsSavedByWhoMayAddEntries();
    void anHourEntryIsSavedByWhoMayKeepHours_data();
    void anHourEntryIsSavedByWhoMayKeepHours();
    void personalLoginsTakeTheirRoleFromMembership_data();
    void personalLoginsTakeTheirRoleFromMembership();

private:
    /// The login of a group's person ("full" …), or of a person in no group ("nobody").
    QString login(const QString& group) const { return m_prefix + group; }
    QSqlDatabase as(const QString& group) const;
    /// Runs the statement as the group's person in a transaction rolled back after: empty when
    /// it went through, the SQLSTATE when it was refused.
    QString attempt(const QString& group, const QString& sql) const;

    TestDatabase* m_db = nullptr;
    QString m_prefix;
    int m_entry = 0;
};

void TestRoles::initTestCase()
{
    m_db = new TestDatabase(QStringLiteral("roles"));
    loadReportFixture(*m_db);
    m_db->exec(QStringLiteral("insert into accounts_dep.closed_month (year, month) values (2024, 2)"));
    m_entry = m_db->scalar(QStringLiteral("select min(id) from accounts_dep.smena where data >= '2024-03-01'")).toInt();
    // People of the cluster, named for this run: one in each group, one in none, one in two.
    m_prefix = QStringLiteral("t_%1_").arg(QUuid::createUuid().toString(QUuid::Id128).left(8));
    for (const QString& g : kGroups + QStringList{QStringLiteral("nobody"), QStringLiteral("two")})
        m_db->exec(QStringLiteral("create role %1 login password 'secret'").arg(login(g)));
    for (const QString& g : kGroups) m_db->exec(QStringLiteral("grant tabel_%1 to %2").arg(g, login(g)));
    m_db->exec(QStringLiteral("grant tabel_planner, tabel_warehouse to %1").arg(login(QStringLiteral("two"))));
}

void TestRoles::cleanupTestCase()
{
    for (const QString& g : kGroups + QStringList{QStringLiteral("nobody"), QStringLiteral("two")}) {
        const QString name = QStringLiteral("as_") + g;
        if (QSqlDatabase::contains(name)) {
            QSqlDatabase::database(name, false).close();
            QSqlDatabase::removeDatabase(name);
        }
    }
    for (const QString& g : kGroups + QStringList{QStringLiteral("nobody"), QStringLiteral("two")})
        m_db->exec(QStringLiteral("drop role if exists %1").arg(login(g)));
    delete m_db;
}

QSqlDatabase TestRoles::as(const QString& group) const
{
    const QString name = QStringLiteral("as_") + group;
    if (QSqlDatabase::contains(name)) return QSqlDatabase::database(name);
    ConnectionSettings s = TestDatabase::adminSettings(m_db->name());
    s.user = login(group);
    s.password = QStringLiteral("secret");
    return openConnection(s, name);
}

QString TestRoles::attempt(const QString& group, const QString& sql) const
{
    QSqlDatabase db = as(group);
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("begin"))) return QStringLiteral("no begin");
    const bool done = q.exec(sql);
    const QString state = done ? QString() : q.lastError().nativeErrorCode();
    QSqlQuery(db).exec(QStringLiteral("rollback"));
    return state;
}

void TestRoles::eachRoleMayDoExactlyWhatTheClientLetsIt_data()
{
    QTest::addColumn<QString>("sql");      // %1: an entry of an open month
    QTest::addColumn<QStringList>("may");  // the groups it goes through for; every other is refused (42501)
    const QStringList all = kGroups;
    const auto row = [](const char* name, const char* sql, const QStringList& may) {
        QTest::newRow(name) << QString::fromUtf8(sql) << may;
    };
    const QStringList writers = {"full", "foremen", "warehouse"};
    row("read the journal", "select count(*) from accounts_dep.smena", all);
    row("stamp the build", "update accounts_dep.ver set d = d, t = t", all);
    row("add an entry", "insert into accounts_dep.smena (data, smena, w_id, i_id, o_id, cena, kol_vo, brak, time, ok) "
                        "values ('2024-03-20', 1, 1, 10001, 1, 10, 1, 0, 1, 'no')", {"full", "foremen"});
    row("approve an entry", "update accounts_dep.smena set ok = 'ok' where id = %1", {"full", "warehouse"});
    row("change an entry", "update accounts_dep.smena set kol_vo = kol_vo + 1 where id = %1", {"full"});
    row("delete an entry", "delete from accounts_dep.smena where id = %1", {"full"});
    row("keep hour entries", "insert into accounts_dep.fatigue (id_nom, id_o, id_p, d_date, i_mnth, i_year, cnt, price) "
                             "values (1, 7777, 1, '2024-03-20', 3, 2024, 1, 100)", writers);
    row("keep the timesheet cell of an entry", "select accounts_dep.sync_journal_cell(1, 1, '2024-03-05')", writers);
    row("write the timesheet", "update accounts_dep.h_tabel set d1 = 99 where w_id = 1", {"full"});
    row("write a reference book", "insert into accounts_dep.vid_oper (id, vid) values (9001, 'новая')", {"full"});
    row("write the workers", "update accounts_dep.person set fio = fio", {"full"});
    row("write a nomenclature group", "insert into cmn_classifier.item (id, s_caption) values (9001, 'новая')", {"full"});
    row("close a month", "select accounts_dep.close_month(2031, 1)", {"full"});
    row("reopen a month", "select accounts_dep.reopen_month(2024, 2, 'ошибка')", {"full"});
    row("change an operation's product kind", "update accounts_dep.oper set naimen = naimen where id = 1", {"full"});
    row("read a closed month's figures", "select count(*) from accounts_dep.month_figures", kGroups);
    row("write a closed month's figures", "insert into accounts_dep.month_figures (year, month, product_kind) values (2024, 2, 0)", {});
    row("keep a month's figures past the closing", "select accounts_dep.keep_month_figures(2024, 3)", {});
    row("close a month past the function", "insert into accounts_dep.closed_month (year, month) values (2031, 1)", {});
    row("reopen a month by an update", "update accounts_dep.closed_month set month = 12 where year = 2024", {});
    row("reopen a month by a delete", "delete from accounts_dep.closed_month", {});
    row("empty closed months", "truncate accounts_dep.closed_month", {});
    row("empty the timesheet", "truncate accounts_dep.h_tabel", {});
    row("read the history", "select count(*) from accounts_dep.change_log", all);
    row("write the history", "insert into accounts_dep.change_log (tbl, act, author) values ('s', 'i', 1)", {});
    row("edit the history", "update accounts_dep.change_log set reason = 'x'", {});
    row("name another author", "update accounts_dep.change_author set db_user = 'x'", {});
    row("make a month of the history", "select accounts_dep.add_change_log_months(current_date)", {});
    row("delete the history", "delete from accounts_dep.change_log", {});
    row("empty the history", "truncate accounts_dep.change_log", {});
    row("switch a trigger off", "alter table accounts_dep.smena disable trigger smena_changed", {});
    row("switch every trigger off", "set session_replication_role = replica", {});
    row("alter a table", "alter table accounts_dep.smena add column x integer", {});
    row("become the owner", "set role tabel_owner", {});
    row("become full access", "set role tabel_full", {"full"});
    row("and back", "reset role", all);
}

void TestRoles::eachRoleMayDoExactlyWhatTheClientLetsIt()
{
    QFETCH(QString, sql);
    QFETCH(QStringList, may);
    for (const QString& group : kGroups) {
        const QString said = attempt(group, sql.contains(QLatin1String("%1")) ? sql.arg(m_entry) : sql);
        if (may.contains(group)) QVERIFY2(said.isEmpty(), qPrintable(QStringLiteral("%1 was refused (%2)").arg(group, said)));
        else QVERIFY2(said == QLatin1String("42501"), qPrintable(QStringLiteral("%1 got %2").arg(group, said.isEmpty() ? QStringLiteral("through") : said)));
    }
}

void TestRoles::theHistoryNamesThePersonWhateverTheClientClaims()
{
    // A foreman's program claims to be full access of somebody else: the record keeps the claim as
    // the client's name, and the login as who did it.
    QSqlDatabase foreman = as(QStringLiteral("foremen"));
    QVERIFY(QSqlQuery(foreman).exec(QStringLiteral("set application_name = 'tabel full admin@office'")));
    QVERIFY(QSqlQuery(foreman).exec(QStringLiteral(
        "insert into accounts_dep.smena (data, smena, w_id, i_id, o_id, cena, kol_vo, brak, time, ok) "
        "values ('2024-03-21', 1, 1, 10001, 1, 10, 1, 0, 1, 'no')")));
    QSqlQuery q(m_db->db());
    QVERIFY(q.exec(QStringLiteral("select a.db_user, a.client from accounts_dep.change_log l join accounts_dep.change_author a "
                                  "on a.id = l.author where l.day = '2024-03-21'")));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toString(), login(QStringLiteral("foremen")));
    QCOMPARE(q.value(1).toString(), QStringLiteral("tabel full admin@office"));
    // A month closed through the function is closed by the person, and every change of it is kept.
    QSqlDatabase full = as(QStringLiteral("full"));
    QVERIFY(QSqlQuery(full).exec(QStringLiteral("select accounts_dep.close_month(2031, 2)")));
    QCOMPARE(m_db->scalar(QStringLiteral("select closed_by from accounts_dep.closed_month where year = 2031 and month = 2")).toString(),
             login(QStringLiteral("full")));
    m_db->exec(QStringLiteral("update accounts_dep.closed_month set month = 3 where year = 2031 and month = 2"));
    QCOMPARE(m_db->scalar(QStringLiteral("select string_agg(act::text, ' ' order by id) from accounts_dep.change_log "
                                         "where tbl = 'm' and in_year = 2031")).toString(),
             QStringLiteral("c u"));
}

void TestRoles::nobodyWhoLogsInOwnsAnything()
{
    // Every table, view, sequence and function of the department's schema belongs to the owner
    // role, which nobody logs in as; "sys" is an ordinary member of full access.
    QCOMPARE(m_db->scalar(QStringLiteral(
                 "select count(*) from pg_class c join pg_namespace n on n.oid = c.relnamespace "
                 "where n.nspname = 'accounts_dep' and c.relkind in ('r', 'v', 'S') and pg_get_userbyid(c.relowner) <> 'tabel_owner'")).toInt(),
             0);
    QCOMPARE(m_db->scalar(QStringLiteral(
                 "select count(*) from pg_proc p join pg_namespace n on n.oid = p.pronamespace "
                 "where n.nspname = 'accounts_dep' and pg_get_userbyid(p.proowner) <> 'tabel_owner'")).toInt(),
             0);
    QCOMPARE(m_db->scalar(QStringLiteral("select rolcanlogin from pg_roles where rolname = 'tabel_owner'")).toBool(), false);
    QCOMPARE(m_db->scalar(QStringLiteral("select rolsuper or rolcreaterole or rolcreatedb from pg_roles where rolname = 'sys'")).toBool(), false);
    QCOMPARE(m_db->scalar(QStringLiteral("select string_agg(b.rolname, ',') from pg_auth_members m join pg_roles r on r.oid = m.member "
                                         "join pg_roles b on b.oid = m.roleid where r.rolname = 'sys'")).toString(),
             QStringLiteral("tabel_full"));
}

void TestRoles::aBrigadeIsSavedByWhoMayAddEntries_data()
{
    QTest::addColumn<QString>("group");
    QTest::addColumn<bool>("may");
    for (const QString& group : kGroups)
        QTest::newRow(qPrintable(group)) << group << (group == QLatin1String("full") || group == QLatin1String("foremen"));
}

void TestRoles::aBrigadeIsSavedByWhoMayAddEntries()
{
    // A brigade's save as the client runs it, under the group's login: full access and the
    // foremen save the three entries with their timesheet cells; the database refuses the
    // planner and the warehouse, and nothing of the brigade stays.
    QFETCH(QString, group);
    QFETCH(bool, may);
    const auto clean = qScopeGuard([this] {
        m_db->exec(QStringLiteral("delete from accounts_dep.smena where data = '2024-03-25' and smena = 3; "
                                  "delete from accounts_dep.h_tabel where year = 2024 and month = 3 and smena = 3 and i_type = 0"));
    });
    const QDate day(2024, 3, 25);
    QList<shift_entry::Entry> brigade;
    for (int worker : {1, 2, 3}) {
        shift_entry::Entry e;
        e.workerId = worker;
        e.productId = 10001;
        e.operationId = 1;
        e.day = day;
        e.shift = 3;
        e.price = *Money::parse(u"12");
        e.quantity = 5;
        e.hours = 8;
        e.keyedIn = day;
        brigade << e;
    }
    shift_entry::Writer writer(as(group));
    QString refused;
    shift_entry::BatchOutcome outcome;
    try {
        outcome = writer.saveAll(brigade);
    } catch (const DbError& e) {
        refused = e.sqlState();
    }
    // The save holds the worker, product and operation rows until it commits, through the
    // owner's function: the foremen may not update those tables, and need not.
    QVERIFY2(refused == (may ? QString() : QStringLiteral("42501")), qPrintable(refused));
    QCOMPARE(outcome.ids.size(), may ? 3 : 0);
    QCOMPARE(m_db->scalar(QStringLiteral("select count(*) from accounts_dep.smena where data = '2024-03-25' and smena = 3")).toInt(),
             may ? 3 : 0);
    QCOMPARE(m_db->scalar(QStringLiteral("select coalesce(sum(d25), 0) from accounts_dep.h_tabel "
                                         "where year = 2024 and month = 3 and smena = 3 and i_type = 0")).toInt(),
             may ? 24 : 0);
}

void TestRoles::anHourEntryIsSavedByWhoMayKeepHours_data()
{
    QTest::addColumn<QString>("group");
    QTest::addColumn<bool>("may");
    for (const QString& group : kGroups) QTest::newRow(qPrintable(group)) << group << (group != QLatin1String("planner"));
}

void TestRoles::anHourEntryIsSavedByWhoMayKeepHours()
{
    // The save holds the worker and the group to its end as the journal's does, and keeps the
    // timesheet cell: full access, the foremen and the warehouse save; the planner is refused.
    QFETCH(QString, group);
    QFETCH(bool, may);
    const QDate day(2024, 3, 26);
    const auto clean = qScopeGuard([this, day] {
        m_db->exec(QStringLiteral("delete from accounts_dep.fatigue where d_date = '%1'").arg(day.toString(Qt::ISODate)));
        m_db->exec(QStringLiteral("update accounts_dep.h_tabel set d26 = null where year = 2024 and month = 3 and smena = 0"));
    });
    hour_entry::Entry e;
    e.workerId = 1;
    e.groupId = m_db->scalar(QStringLiteral("select min(id) from cmn_classifier.item")).toInt();
    e.hours = 3;
    e.normPrice = *Money::parse(u"100");
    e.day = day;
    QString refused;
    hour_entry::Outcome outcome = hour_entry::Outcome::WorkerGone;
    try {
        outcome = hour_entry::save(as(group), e);
    } catch (const DbError& err) {
        refused = err.sqlState();
    }
    QVERIFY2(refused == (may ? QString() : QStringLiteral("42501")), qPrintable(refused));
    QCOMPARE(outcome == hour_entry::Outcome::Saved, may);
    QCOMPARE(m_db->scalar(QStringLiteral("select count(*) from accounts_dep.fatigue where d_date = '2024-03-26'")).toInt(), may ? 1 : 0);
    QCOMPARE(m_db->scalar(QStringLiteral("select coalesce(sum(d26), 0) from accounts_dep.h_tabel "
                                         "where year = 2024 and month = 3 and smena = 0 and w_id = 1")).toInt(),
             may ? 3 : 0);
}

void TestRoles::personalLoginsTakeTheirRoleFromMembership_data()
{
    QTest::addColumn<QString>("group");
    QTest::addColumn<QStringList>("run");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("said");
    const QStringList check = {"--check", "--month", "3", "--year", "2024"};
    const QStringList detailed = {"--report", "products-detailed", "--from", "2024-03-01", "--to", "2024-04-01", "--pdf"};
    // The fixture's March differs from its timesheet: full access checks it and is told so.
    QTest::newRow("full access checks a month") << "full" << check << 6 << "";
    QTest::newRow("a foreman may not") << "foremen" << check << 2 << "проверка табеля недоступна";
    QTest::newRow("a foreman prints his report") << "foremen" << detailed << 0 << "";
    QTest::newRow("nobody's login is refused") << "nobody" << detailed << 2 << "не входит ни в одну из групп";
    QTest::newRow("of two groups, the wider") << "two" << detailed << 0 << "";
    QTest::newRow("a wrong password") << "wrong" << detailed << 4 << "password authentication failed";
}

void TestRoles::personalLoginsTakeTheirRoleFromMembership()
{
    QFETCH(QString, group);
    QFETCH(QStringList, run);
    QFETCH(int, exitCode);
    QFETCH(QString, said);
    QTemporaryDir dir;
    if (run.constLast() == QLatin1String("--pdf")) run << dir.filePath(QStringLiteral("x.pdf"));
    // The password comes from libpq's own means, here its environment; the program sends none.
    qputenv("PGPASSWORD", group == QLatin1String("wrong") ? "not it" : "secret");
    const QString user = login(group == QLatin1String("wrong") ? QStringLiteral("full") : group);
    QString o, e;
    QTextStream out(&o), err(&e);
    const int exit = runCommandLine(QStringList{m_db->name(), QStringLiteral("127.0.0.1:%1").arg(TestDatabase::port()), "--user", user} + run,
                                    BuildStamp{20240601, 3600}, out, err);
    qunsetenv("PGPASSWORD");
    err.flush();
    QCOMPARE(exit, exitCode);
    if (!said.isEmpty()) QVERIFY2(e.contains(said), qPrintable(e));
}

QTEST_MAIN(TestRoles)
#include "tst_roles.moc"
