#include "data/codes.h"
#include "data/command.h"
#include "data/data_module.h"
#include "data/db_error.h"
#include "data/prepared_query.h"
#include "data/statement.h"
#include "data/transaction.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/test_database.h"

#include <QScopeGuard>
#include <QTest>
#include <QThread>

#include <atomic>
#include <thread>

class TestData : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup() { QVERIFY2(m_prompts.nothingUnexpected(), qPrintable(m_prompts.unseenErrors().join(QStringLiteral("; ")))); }

    void normalizeDecimal_data();
    void normalizeDecimal();
    void checkDuplicate_data();
    void checkDuplicate();

    void shiftQueriesShowEveryMarkButNull();
    void personCodesMatchSafely_data();
    void personCodesMatchSafely();
    void parametersBindIgnoringCaseAndFailLoudly();
    void placeholdersReadAlikeEverywhere_data();
    void placeholdersReadAlikeEverywhere();
    void replacedTextForgetsOldValues_data();
    void replacedTextForgetsOldValues();
    void filterForms_data();
    void filterForms();
    void navigationSortLocateAndRefresh();
    void gridsSortAndSearchAsTheyShow_data();
    void gridsSortAndSearchAsTheyShow();
    void writesThroughTheDatasetWithAwkwardText_data();
    void writesThroughTheDatasetWithAwkwardText();
    void transactionRollsBackWhenNotCommitted();
    void lostConnectionIsSaidAndMendedOnTheNextAction_data();
    void lostConnectionIsSaidAndMendedOnTheNextAction();
    void serverEndingTheSessionIsALostConnection();
    void serverDownSaysSoWithoutAnEmptyText();
    void lockWaitAndStatementTimeHaveLimits_data();
    void lockWaitAndStatementTimeHaveLimits();
    void demoDataKeepsTheTimesheetInvariant();

private:
    TestDatabase* m_db = nullptr;
    ScriptedPrompts m_prompts;
    TDataModule6* m_dm = nullptr;
};

void TestData::initTestCase()
{
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    m_db = new TestDatabase(QStringLiteral("data"));
    m_dm = new TDataModule6(m_db->db(), m_prompts);
    m_db->exec(QStringLiteral(R"(
        insert into cmn_contractor.person (id, s_caption, s_code) values
          (1, 'Иванов И.И.', '1'), (900, 'Петров П.П.', '2'), (901, 'Чужой Ч.Ч.', '77777');
        insert into accounts_dep.person (id, fio) values (1, 'Иванов И.И.'), (2, 'Петров П.П.');
        select setval('accounts_dep.person_id_seq', 2);
        insert into cmn_gds_and_srv.gds_and_srv (id, s_caption, massa, id_class_item) values (10001, 'ДМ-1', 1, null);
        insert into accounts_dep.vid_oper (id, vid) values (1, 'Сварка');
        select setval('accounts_dep.vid_oper_id_seq', 1);
        insert into accounts_dep.oper (id, vid, naimen, i_id) values (1, 1, 0, 10001);
        insert into accounts_dep.smena (data, smena, w_id, i_id, o_id, cena, kol_vo, brak, time, ok) values
          ('2024-03-15', 1, 1, 10001, 1, 10.5, 10, 1, 8, 'ok'),
          ('2024-03-15', 1, 1, 10001, 1, 10.5, 5, 0, 2, 'no'),
          ('2024-03-15', 1, 2, 10001, 1, 3.25, 4, 0, 3, 'да'),
          ('2024-03-15', 1, 2, 10001, 1, 3.25, 4, 0, 3, null),
          ('2024-03-15', 2, 2, 10001, 1, 3.25, 4, 0, 3, 'no');
    )"));
}

void TestData::cleanupTestCase()
{
    delete m_dm;
    delete m_db;
}

void TestData::normalizeDecimal_data()
{
    QTest::addColumn<QString>("delimiter");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("comma") << "." << "12,5" << "12.5";
    QTest::newRow("point kept") << "." << "12.5" << "12.5";
    QTest::newRow("first comma only") << "." << "1,5.5" << "1.5.5";
    QTest::newRow("integer") << "." << "12" << "12";
    QTest::newRow("to comma") << "," << "12.5" << "12,5";
    QTest::newRow("empty delimiter before the check") << "" << "12,5" << "125";
}

void TestData::normalizeDecimal()
{
    QFETCH(QString, delimiter);
    QFETCH(QString, text);
    QFETCH(QString, expected);
    m_dm->setDbDelimiter(delimiter);
    QCOMPARE(m_dm->NormalizeDecimal(text), expected);
}

void TestData::checkDuplicate_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<bool>("result");
    QTest::newRow("zero") << "select 0 as cnt" << false;
    QTest::newRow("null") << "select null::integer as cnt" << false;
    QTest::newRow("no rows") << "select 1 as cnt where false" << false;
    QTest::newRow("above zero") << "select count(*) as cnt from accounts_dep.person" << true;
    QTest::newRow("above zero, bound") << "select count(*) as cnt from accounts_dep.person where id > :id" << true;
}

void TestData::checkDuplicate()
{
    QFETCH(QString, sql);
    QFETCH(bool, result);
    m_prompts.clear();
    const Params params = sql.contains(QLatin1String(":id")) ? Params{{QStringLiteral("id"), 0}} : Params{};
    QCOMPARE(m_dm->CheckDuplicate(sql, params), result);
    QCOMPARE(m_prompts.said().size(), 0);   // the window tells the user, not the data module
    QVERIFY(!m_dm->Control.isOpen());
}

void TestData::shiftQueriesShowEveryMarkButNull()
{
    Dataset& q = m_dm->Smena1;
    q.setParam(QStringLiteral("OK"), codes::kMarkNone);
    q.setParam(QStringLiteral("DATA"), QDate(2024, 3, 15));
    q.open();
    QStringList marks;
    for (q.first(); !q.eof(); q.next()) marks << q.asString(QStringLiteral("ok"));
    marks.sort();
    QCOMPARE(marks, (QStringList{"no", "ok", "да"}));
    // Worker 2 is known to the enterprise only by his person code.
    QVERIFY(q.locate(QStringLiteral("fio"), QStringLiteral("петров п.п.")));
    QCOMPARE(q.asInt(QStringLiteral("w_id")), 2);
    QVERIFY(q.locate(QStringLiteral("ok"), QStringLiteral("ok")));
    QCOMPARE(q.asDouble(QStringLiteral("summa")), 94.5);
    QCOMPARE(q.asString(QStringLiteral("nmn")), QStringLiteral("Готовая продукция"));
    q.close();

    // The stored mark of shift 1 hides approved entries until the login sets "ta".
    TDataModule6 fresh(m_db->db(), m_prompts);
    fresh.Smena1.setParam(QStringLiteral("data"), QDate(2024, 3, 15));
    fresh.Smena1.open();
    QCOMPARE(fresh.Smena1.recordCount(), 2);
    fresh.Smena2.setParam(QStringLiteral("data"), QDate(2024, 3, 15));
    fresh.Smena2.open();
    QCOMPARE(fresh.Smena2.recordCount(), 1);
    for (int shift : {3, 4}) {
        fresh.smenaQuery(shift).setParam(QStringLiteral("data"), QDate(2024, 3, 15));
        fresh.smenaQuery(shift).open();
        QCOMPARE(fresh.smenaQuery(shift).recordCount(), 0);
    }
    QCOMPARE(&fresh.smenaQuery(7), &fresh.Smena1);
}

void TestData::personCodesMatchSafely_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QVariant>("id");   // invalid: the code matches no worker
    QTest::newRow("plain") << "12" << QVariant(12);
    QTest::newRow("leading zeros and blanks") << " 0012 " << QVariant(12);
    QTest::newRow("letters") << "A-17" << QVariant();
    QTest::newRow("too large for an id") << "99999999999" << QVariant();
    QTest::newRow("one above the largest") << "2147483648" << QVariant();
    QTest::newRow("the largest") << "2147483647" << QVariant(2147483647);
    QTest::newRow("empty") << "" << QVariant();
    QTest::newRow("decimal") << "1.5" << QVariant();
    QTest::newRow("negative") << "-3" << QVariant();
}

void TestData::personCodesMatchSafely()
{
    QFETCH(QString, code);
    QFETCH(QVariant, id);
    // Another system stores a person with this code: nothing of ours may refuse the row.
    Command cmd(m_db->db());
    cmd.execute(QStringLiteral("insert into cmn_contractor.person (id, s_caption, s_code) values (960, 'Код', :code)"),
                {{QStringLiteral("code"), code}});
    const auto cleanup = qScopeGuard([&] {
        m_db->exec(QStringLiteral("delete from cmn_contractor.person where id = 960; delete from accounts_dep.h_tabel"));
    });
    Dataset q(m_db->db(), QStringLiteral("select accounts_dep.person_code_id(:code) as id"));
    q.setParam(QStringLiteral("code"), code);
    q.open();
    QCOMPARE(q.isNull(QStringLiteral("id")), !id.isValid());
    if (id.isValid()) QCOMPARE(q.asInt(QStringLiteral("id")), id.toInt());

    // The journal and the time timesheet still run and still find worker 2 by his code.
    Dataset& smena = m_dm->Smena1;
    smena.setParam(QStringLiteral("ok"), codes::kMarkNone);
    smena.setParam(QStringLiteral("data"), QDate(2024, 3, 15));
    smena.open();
    QVERIFY(smena.locate(QStringLiteral("fio"), QStringLiteral("Петров П.П.")));
    QCOMPARE(smena.recordCount(), 3);
    smena.close();
    m_db->exec(QStringLiteral("insert into accounts_dep.h_tabel (w_id, month, year, smena, d15) values (2, 3, 2024, 1, 6)"));
    Dataset& sheet = m_dm->H_Tabel_1;
    sheet.setParams({{QStringLiteral("mnth"), 3}, {QStringLiteral("yea"), 2024},
                     {QStringLiteral("date1"), QDate(2024, 3, 1)}, {QStringLiteral("date2"), QDate(2024, 4, 1)}});
    sheet.open();
    QCOMPARE(sheet.recordCount(), 1);
    QCOMPARE(sheet.asString(QStringLiteral("fio")), QStringLiteral("Петров П.П."));
    sheet.close();
}

void TestData::parametersBindIgnoringCaseAndFailLoudly()
{
    Dataset q(m_db->db(), QStringLiteral("select :Value::text as v, ':notaparam' as lit, 1::integer as n -- :comment"));
    QCOMPARE(q.hasParameter(QStringLiteral("VALUE")), true);
    QCOMPARE(q.hasParameter(QStringLiteral("notaparam")), false);
    QVERIFY_THROWS_EXCEPTION(DbError, q.open());               // given no value
    QVERIFY_THROWS_EXCEPTION(DbError, q.setParam(QStringLiteral("other"), 1));
    q.setParam(QStringLiteral("VALUE"), QStringLiteral("О'Брайен \"%\\"));
    q.open();
    QCOMPARE(q.asString(QStringLiteral("V")), QStringLiteral("О'Брайен \"%\\"));
    QCOMPARE(q.asString(QStringLiteral("lit")), QStringLiteral(":notaparam"));
    QVERIFY_THROWS_EXCEPTION(DbError, q.asString(QStringLiteral("no_such_field")));
}

void TestData::placeholdersReadAlikeEverywhere_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("given");   // the parameter's name as the caller writes it; empty: none
    QTest::addColumn<QString>("expected");
    QTest::newRow("upper-case placeholder") << "select :Value::text as v" << "value" << "x";
    QTest::newRow("upper-case name given") << "select :value::text as v" << "VALUE" << "x";
    QTest::newRow("one name twice, two cases") << "select :a::text || :A::text as v" << "a" << "xx";
    QTest::newRow("in a literal") << "select ':lit' || :p::text as v" << "p" << ":litx";
    QTest::newRow("in a quoted name") << R"(select :p::text as ":q")" << "p" << "x";
    QTest::newRow("in a line comment") << "select :p::text as v -- :comment\n" << "p" << "x";
    QTest::newRow("in a block comment") << "select /* :c */ :p::text as v" << "p" << "x";
    QTest::newRow("cast is no placeholder") << "select 'x'::text as v" << "" << "x";
}

void TestData::placeholdersReadAlikeEverywhere()
{
    QFETCH(QString, text);
    QFETCH(QString, given);
    QFETCH(QString, expected);
    const Params params = given.isEmpty() ? Params{} : Params{{given, QStringLiteral("x")}};
    Statement statement(text);
    statement.setParams(params);
    QSqlQuery viaStatement = statement.exec(m_db->db());
    QVERIFY(viaStatement.next());
    QCOMPARE(viaStatement.value(0).toString(), expected);
    PreparedQuery prepared(m_db->db(), text);
    QSqlQuery& viaPrepared = prepared.exec(params);
    QVERIFY(viaPrepared.next());
    QCOMPARE(viaPrepared.value(0).toString(), expected);
    // A parameter the text names but the caller did not give is an error, never a NULL.
    if (!given.isEmpty()) QVERIFY_THROWS_EXCEPTION(DbError, prepared.exec({}));
}

void TestData::replacedTextForgetsOldValues_data()
{
    QTest::addColumn<bool>("command");
    QTest::newRow("dataset") << false;
    QTest::newRow("command") << true;
}

void TestData::replacedTextForgetsOldValues()
{
    QFETCH(bool, command);
    if (command) {
        Command c(m_db->db(), QStringLiteral("select :id + 1"));
        c.setParam(QStringLiteral("id"), 1);
        c.execute();
        c.setSql(QStringLiteral("select :id + 2"));
        QVERIFY_THROWS_EXCEPTION(DbError, c.execute());
        return;
    }
    Dataset q(m_db->db(), QStringLiteral("select :id + 1 as v"));
    q.setParam(QStringLiteral("id"), 1);
    q.open();
    QCOMPARE(q.asInt(QStringLiteral("v")), 2);
    q.setSql(QStringLiteral("select :id + 2 as v"));
    QVERIFY_THROWS_EXCEPTION(DbError, q.open());
    // The shared scratch query: cleared and filled line by line, values given before open.
    q.clearSql();
    q.addSql(QStringLiteral("select :id + 3"));
    q.setParam(QStringLiteral("ID"), 4);
    q.addSql(QStringLiteral("as v"));
    q.open();
    QCOMPARE(q.asInt(QStringLiteral("v")), 7);
    q.clearSql();
    q.addSql(QStringLiteral("select :id as v"));
    QVERIFY_THROWS_EXCEPTION(DbError, q.open());
}

void TestData::filterForms_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("equal") << "n=2" << QStringList{"Борисов"};
    QTest::newRow("not equal") << "n<>2" << QStringList{"Абрамов", "абвгд", "Д'Артаньян", "100%", "a_b"};
    QTest::newRow("and") << "n<>2 and k=0" << QStringList{"Абрамов", "Д'Артаньян"};
    QTest::newRow("starts with, case ignored") << "name like 'аб%'" << QStringList{"Абрамов", "абвгд"};
    QTest::newRow("contains") << "name like '%ов%'" << QStringList{"Абрамов", "Борисов"};
    QTest::newRow("quote") << "name like 'Д''%'" << QStringList{"Д'Артаньян"};
    QTest::newRow("underscore is literal") << "name like 'a_%'" << QStringList{"a_b"};
}

void TestData::filterForms()
{
    QFETCH(QString, filter);
    QFETCH(QStringList, names);
    Dataset q(m_db->db(), QStringLiteral(
        "select * from (values ('Абрамов', 1, 0), ('Борисов', 2, 0), ('абвгд', 3, 1), ('Д''Артаньян', 4, 0),"
        " ('100%', 5, 1), ('a_b', 6, 1)) t(name, n, k)"));
    q.open();
    q.setFilterText(filter);
    QCOMPARE(q.recordCount(), 6);   // not applied until switched on
    q.setFiltered(true);
    QStringList got;
    for (q.first(); !q.eof(); q.next()) got << q.asString(QStringLiteral("name"));
    QCOMPARE(got, names);
    q.setFiltered(false);
    QCOMPARE(q.recordCount(), 6);
    QVERIFY_THROWS_EXCEPTION(DbError, q.setFilterText(QStringLiteral("name > 'a'")));

    // A typed % is taken literally by the structured form.
    q.setFilter(RowFilter::like(QStringLiteral("name"), QStringLiteral("100%"), false));
    q.setFiltered(true);
    QCOMPARE(q.recordCount(), 1);
    q.setFilter(RowFilter::like(QStringLiteral("name"), QStringLiteral("%"), true));
    QCOMPARE(q.recordCount(), 1);
}

void TestData::navigationSortLocateAndRefresh()
{
    Dataset q(m_db->db(), QStringLiteral("select g as id, 'r' || g as name from generate_series(1, 5) g"));
    QCOMPARE(q.recNo(), 0);
    q.open();
    QCOMPARE(q.recNo(), 1);
    QVERIFY(!q.eof());
    q.last();
    q.next();
    QVERIFY(q.eof());
    QCOMPARE(q.recNo(), 5);
    q.setRecNo(3);
    q.refresh();
    QCOMPARE(q.recNo(), 3);
    QVERIFY(q.locate(QStringLiteral("NAME"), QStringLiteral("R4")));
    QCOMPARE(q.asInt(QStringLiteral("id")), 4);
    QVERIFY(!q.locate(QStringLiteral("name"), QStringLiteral("r9")));
    q.setSort(QStringLiteral("id DESC"));
    q.first();
    QCOMPARE(q.asInt(QStringLiteral("id")), 5);
    q.close();
    QCOMPARE(q.asInt(QStringLiteral("id")), 0);   // no row: NULL reads as 0

    Dataset empty(m_db->db(), QStringLiteral("select 1 as id where false"));
    empty.open();
    QVERIFY(empty.eof());
    QCOMPARE(empty.asString(QStringLiteral("id")), QString());
}

void TestData::gridsSortAndSearchAsTheyShow_data()
{
    // Rows of a number, an amount and a name, one of them empty in each; sorted or searched as
    // said, the ids in the order they come.
    QTest::addColumn<QString>("sort");
    QTest::addColumn<QString>("search");   // in the fields n, amount and name
    QTest::addColumn<QString>("ids");
    QTest::newRow("numbers as numbers, the empty first") << "n" << "" << "4 2 3 1";
    QTest::newRow("numbers the other way, the empty last") << "n DESC" << "" << "1 3 2 4";
    QTest::newRow("amounts as numbers") << "amount" << "" << "4 2 1 3";
    QTest::newRow("names, the empty first") << "name" << "" << "2 3 1 4";
    QTest::newRow("an amount searched with a comma") << "" << "10,5" << "1";
    QTest::newRow("an amount searched with a point") << "" << "10.5" << "1";
    QTest::newRow("part of a number") << "" << "0" << "1 2 3";
}

void TestData::gridsSortAndSearchAsTheyShow()
{
    QFETCH(QString, sort);
    QFETCH(QString, search);
    QFETCH(QString, ids);
    Dataset q(m_db->db(), QStringLiteral(
        "select * from (values (1, 100, 10.5::numeric, 'Борисов'), (2, 20, 9.25::numeric, null), (3, 30, 100::numeric, ''),"
        " (4, null, null, 'Власов')) v(id, n, amount, name) order by id"));
    q.open();
    if (!sort.isEmpty()) q.setSort(sort);
    if (!search.isEmpty()) q.setSearch(search, {QStringLiteral("n"), QStringLiteral("amount"), QStringLiteral("name")});
    QStringList order;
    for (q.first(); !q.eof(); q.next()) order << QString::number(q.asInt(QStringLiteral("id")));
    QCOMPARE(order.join(QLatin1Char(' ')), ids);
}

void TestData::writesThroughTheDatasetWithAwkwardText_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("apostrophe") << "О'Коннор А.Б.";
    QTest::newRow("quotes") << "\"Кавычкин\" В.Г.";
    QTest::newRow("backslash") << "Слеш\\ Д.Е.";
    QTest::newRow("percent and underscore") << "100% _Ж.З.";
    QTest::newRow("statement") << "x'); drop table accounts_dep.person; --";
}

void TestData::writesThroughTheDatasetWithAwkwardText()
{
    QFETCH(QString, name);
    Dataset& w = m_dm->Workers;
    w.setUpdateTable(QStringLiteral("accounts_dep.person"));
    w.open();
    const int before = w.recordCount();
    w.append();
    w.setField(QStringLiteral("fio"), name);
    w.post();
    QCOMPARE(w.recordCount(), before + 1);
    QCOMPARE(w.asString(QStringLiteral("fio")), name);
    const int id = w.asInt(QStringLiteral("id"));
    QVERIFY(id > 0);

    w.edit();
    w.setField(QStringLiteral("s_staffpos_hl"), name);
    w.post();
    w.refresh();
    QVERIFY(w.locate(QStringLiteral("id"), id));
    QCOMPARE(w.asString(QStringLiteral("s_staffpos_hl")), name);

    w.setFilter(RowFilter::like(QStringLiteral("fio"), name, false));
    w.setFiltered(true);
    QCOMPARE(w.recordCount(), 1);
    w.remove();
    QCOMPARE(w.recordCount(), 0);
    w.setFiltered(false);
    QCOMPARE(w.recordCount(), before);
    QCOMPARE(m_db->scalar(QStringLiteral("select count(*) from accounts_dep.person")).toInt(), before);
    w.close();
}

void TestData::transactionRollsBackWhenNotCommitted()
{
    const auto count = [&] { return m_db->scalar(QStringLiteral("select count(*) from accounts_dep.vid_oper")).toInt(); };
    const int before = count();
    try {
        Transaction tx(m_db->db());
        execSql(m_db->db(), QStringLiteral("insert into accounts_dep.vid_oper (vid) values (:v)"), {{QStringLiteral("v"), QStringLiteral("Резка")}});
        execSql(m_db->db(), QStringLiteral("insert into accounts_dep.no_such_table values (1)"));
        tx.commit();
        QFAIL("the second statement must be refused");
    } catch (const DbError& e) {
        QVERIFY2(e.text().contains(QStringLiteral("no_such_table")), qPrintable(e.text()));
        QCOMPARE(e.sqlState(), QStringLiteral("42P01"));
    }
    QCOMPARE(count(), before);
}

void TestData::lostConnectionIsSaidAndMendedOnTheNextAction_data()
{
    QTest::addColumn<bool>("inTransaction");
    QTest::newRow("single statement") << false;
    QTest::newRow("inside a transaction") << true;
}

void TestData::lostConnectionIsSaidAndMendedOnTheNextAction()
{
    QFETCH(bool, inTransaction);
    // A connection of its own, since the server drops it.
    const QSqlDatabase db = m_db->openAnother(QStringLiteral("lost"));
    const QSqlDatabase admin = m_db->openAnother(QStringLiteral("admin"));
    const auto count = [&] { return m_db->scalar(QStringLiteral("select count(*) from accounts_dep.vid_oper")).toInt(); };
    const int before = count();
    const auto drop = [&] {
        Dataset pid(db, QStringLiteral("select pg_backend_pid() as pid"));
        pid.open();
        execSql(admin, QStringLiteral("select pg_terminate_backend(:pid)"), {{QStringLiteral("pid"), pid.asInt(QStringLiteral("pid"))}});
    };
    const QString insert = QStringLiteral("insert into accounts_dep.vid_oper (vid) values (:v)");
    const Params kind{{QStringLiteral("v"), QStringLiteral("Рихтовка")}};

    drop();
    try {
        if (inTransaction) {
            Transaction tx(db);
            execSql(db, insert, kind);
            execSql(db, insert, kind);
            tx.commit();
        } else {
            execSql(db, insert, kind);
        }
        QFAIL("a statement on a dropped connection must fail");
    } catch (const DbError& e) {
        QCOMPARE(e.text(), kConnectionLostText);
    }
    QCOMPARE(count(), before);

    if (inTransaction) {
        // Lost in the middle of a transaction: its later statements must not run outside it.
        Transaction tx(db);
        execSql(db, insert, kind);
        Dataset pid(db, QStringLiteral("select pg_backend_pid() as pid"));
        pid.open();
        execSql(admin, QStringLiteral("select pg_terminate_backend(:pid)"), {{QStringLiteral("pid"), pid.asInt(QStringLiteral("pid"))}});
        QVERIFY_THROWS_EXCEPTION(DbError, execSql(db, insert, kind));
        QVERIFY_THROWS_EXCEPTION(DbError, execSql(db, insert, kind));
        QVERIFY_THROWS_EXCEPTION(DbError, tx.commit());
        QCOMPARE(count(), before);
    }

    // The next action connects again, with the same limits, and goes on.
    Dataset q(db, QStringLiteral("select current_setting('lock_timeout') as lt"));
    q.open();
    QCOMPARE(q.asString(QStringLiteral("lt")), QStringLiteral("5s"));
    {
        Transaction tx(db);
        execSql(db, insert, kind);
        tx.commit();
    }
    QCOMPARE(count(), before + 1);
    m_db->exec(QStringLiteral("delete from accounts_dep.vid_oper where vid = 'Рихтовка'"));
}

void TestData::serverEndingTheSessionIsALostConnection()
{
    // The server ends the session in the middle of a statement (pg_terminate_backend): it answers
    // with SQLSTATE 57P01, and the connection is as lost as a dropped socket.
    const QSqlDatabase db = m_db->openAnother(QStringLiteral("terminated"));
    setStatementTimeLimit(db, 60000);
    Dataset pid(db, QStringLiteral("select pg_backend_pid() as pid"));
    pid.open();
    const int backend = pid.asInt(QStringLiteral("pid"));
    pid.close();

    // Another client, on a thread of its own, ends that session once it is seen asleep.
    std::atomic<bool> terminated = false;
    std::thread terminator([&, settings = m_db->settings()] {
        const QString name = QStringLiteral("terminator");
        try {
            QSqlQuery q(openConnection(settings, name));
            q.prepare(QStringLiteral("select pg_terminate_backend(pid) from pg_stat_activity where pid = :pid and wait_event = 'PgSleep'"));
            q.bindValue(QStringLiteral(":pid"), backend);
            for (int i = 0; i < 3000 && !terminated; ++i) {
                terminated = q.exec() && q.next() && q.value(0).toBool();
                if (!terminated) QThread::msleep(20);
            }
        } catch (const DbError&) {
        }
        QSqlDatabase::removeDatabase(name);
    });
    QString said;
    try {
        execSql(db, QStringLiteral("select pg_sleep(60)"));
    } catch (const DbError& e) {
        said = e.text();
    }
    terminator.join();
    QVERIFY(terminated);
    QCOMPARE(said, kConnectionLostText);

    // The next statement connects again, with the connection's limits.
    Dataset q(db, QStringLiteral("select pg_backend_pid() as pid, current_setting('lock_timeout') as lt, "
                                 "current_setting('statement_timeout') as st"));
    q.open();
    QVERIFY(q.asInt(QStringLiteral("pid")) != backend);
    QCOMPARE(q.asString(QStringLiteral("lt")), QStringLiteral("5s"));
    QCOMPARE(q.asString(QStringLiteral("st")), QStringLiteral("1min"));
}

void TestData::serverDownSaysSoWithoutAnEmptyText()
{
    // A connection whose server has gone away for good: every action says so, in words.
    ConnectionSettings s;
    s.host = QStringLiteral("127.0.0.1");
    s.port = TestDatabase::port();
    s.database = m_db->name();
    {
        QSqlDatabase db = openConnection(s, QStringLiteral("gone"));
        db.close();
        db.setPort(1);   // nothing listens there
        for (int i = 0; i < 2; ++i) {
            try {
                Dataset(db, QStringLiteral("select 1")).open();
                QFAIL("no server, no rows");
            } catch (const DbError& e) {
                QCOMPARE(e.text(), kNoConnectionText);
            }
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("gone"));
}

void TestData::lockWaitAndStatementTimeHaveLimits_data()
{
    QTest::addColumn<bool>("statementLimit");
    QTest::newRow("another client holds the row") << false;
    QTest::newRow("a statement runs too long") << true;
}

void TestData::lockWaitAndStatementTimeHaveLimits()
{
    QFETCH(bool, statementLimit);
    const QSqlDatabase db = m_db->openAnother(QStringLiteral("waits"));
    if (statementLimit) {
        // A window's session stops a runaway statement after a minute; a limit can be set.
        QSqlQuery shown = Statement(QStringLiteral("show statement_timeout")).exec(db);
        QVERIFY(shown.next());
        QCOMPARE(shown.value(0).toString(), QStringLiteral("1min"));
        setStatementTimeLimit(db, 200);
        try {
            execSql(db, QStringLiteral("select pg_sleep(30)"));
            QFAIL("the statement must be cut short");
        } catch (const DbError& e) {
            QCOMPARE(e.sqlState(), QStringLiteral("57014"));
        }
        setStatementTimeLimit(db, 0);
        execSql(db, QStringLiteral("select pg_sleep(0.3)"));
        return;
    }
    setLockWaitLimit(db, 200);
    const QSqlDatabase other = m_db->openAnother(QStringLiteral("holder"));
    Transaction held(other);
    execSql(other, QStringLiteral("select * from accounts_dep.smena where w_id = 1 for update"));
    try {
        execSql(db, QStringLiteral("update accounts_dep.smena set ok = ok where w_id = 1"));
        QFAIL("the row is held by another client");
    } catch (const DbError& e) {
        QCOMPARE(e.text(), kLockedText);
        QCOMPARE(e.sqlState(), QStringLiteral("55P03"));
    }
}

void TestData::demoDataKeepsTheTimesheetInvariant()
{
    TestDatabase demo(QStringLiteral("demo"), QStringLiteral("demo"));
    demo.loadDemo();
    QVERIFY(demo.scalar(QStringLiteral("select count(*) from accounts_dep.smena")).toInt() > 1000);
    QVERIFY(demo.scalar(QStringLiteral("select count(distinct ok) from accounts_dep.smena")).toInt() == 3);
    // Every day column equals the day's hours of the journal (or of the hour entries) and back.
    const QString mismatches = QStringLiteral(R"(
        with cells as (
          select h.w_id, h.month, h.year, h.smena, h.i_type, h.i_night, d.day,
                 (array[d1,d2,d3,d4,d5,d6,d7,d8,d9,d10,d11,d12,d13,d14,d15,d16,d17,d18,d19,d20,
                        d21,d22,d23,d24,d25,d26,d27,d28,d29,d30,d31])[d.day] as hours
            from accounts_dep.h_tabel h cross join generate_series(1, 31) d(day)
        ), journal as (
          select w_id, extract(month from data)::int m, extract(year from data)::int y, smena,
                 extract(day from data)::int as day, sum(time) as hours
            from accounts_dep.smena group by 1, 2, 3, 4, 5
        ), hours as (
          select id_p::int w_id, i_mnth m, i_year y, id_o::int kind, i_night, extract(day from d_date)::int as day, sum(cnt) as hours
            from accounts_dep.fatigue group by 1, 2, 3, 4, 5, 6
        )
        select count(*) from cells c
          left join journal j on c.i_type = 0 and j.w_id = c.w_id and j.m = c.month and j.y = c.year
                              and j.smena = c.smena and j.day = c.day
          left join hours f on c.i_type <> 0 and f.w_id = c.w_id and f.m = c.month and f.y = c.year
                              and f.kind = c.i_type and f.i_night = c.i_night and f.day = c.day
         where coalesce(c.hours, 0) <> coalesce(j.hours, f.hours, 0)
    )");
    QCOMPARE(demo.scalar(mismatches).toInt(), 0);
    QCOMPARE(demo.scalar(QStringLiteral(
        "select count(*) from accounts_dep.smena s where not exists (select 1 from accounts_dep.h_tabel h "
        "where h.w_id = s.w_id and h.smena = s.smena and h.i_type = 0 "
        "and h.month = extract(month from s.data) and h.year = extract(year from s.data))")).toInt(), 0);
    // Hours of both kinds, by day and by night, each with its timesheet rows.
    QCOMPARE(demo.scalar(QStringLiteral("select count(distinct (id_o, i_night)) from accounts_dep.fatigue")).toInt(), 4);
    QCOMPARE(demo.scalar(QStringLiteral(
        "select count(distinct (i_type, i_night)) from accounts_dep.h_tabel where i_type in (7777, 7778)")).toInt(), 4);
    // Workers 27..30 are found only through their person code.
    QCOMPARE(demo.scalar(QStringLiteral(
        "select count(*) from cmn_contractor.person where id between 27 and 30")).toInt(), 0);
    QVERIFY(demo.scalar(QStringLiteral("select count(*) from accounts_dep.smena where w_id > 26")).toInt() > 0);
}

QTEST_MAIN(TestData)
#include "tst_data.moc"
