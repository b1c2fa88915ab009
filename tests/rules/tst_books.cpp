#include "data/references.h"
#include "data/statement.h"
#include "rules/book_norms.h"
#include "rules/book_writes.h"
#include "tests/refbooks/other_client.h"
#include "tests/support/books_fixture.h"
#include "tests/support/test_database.h"

#include <QSqlQuery>
#include <QTest>

using books::Outcome;
Q_DECLARE_METATYPE(Outcome::Kind)

namespace {

const QString kTwinKind = QStringLiteral("Такая операция уже заведена!");
const QString kTwinBrand = QStringLiteral("Такая марка изделия уже заведена!");
const QString kIncomplete = QStringLiteral("Все поля должны быть заполнены!");

} // namespace

/// The reference books' writes without a window: what each save and delete refuses and what it
/// tells, against the real database.
class TestBooks : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void operationKindNames_data();
    void operationKindNames();
    void workerNames_data();
    void workerNames();
    void groupNames_data();
    void groupNames();
    void productValues_data();
    void productValues();
    void operationSaves_data();
    void operationSaves();
    void changesOfRowsGone_data();
    void changesOfRowsGone();
    void twinSavedMeanwhileByAnotherClient();

    void deletes_data();
    void deletes();
    void productDeleteAgreedAndNot_data();
    void productDeleteAgreedAndNot();

    void normCellValues_data();
    void normCellValues();
    void normPriceStoredAsWritten_data();
    void normPriceStoredAsWritten();
    void newNormStoredOnceItHasItsPrice();
    void normsOfRowsGone();

private:
    QVariant value(const QString& sql) const { return m_db->scalar(sql); }
    int count(const QString& sql) const { return value(sql).toInt(); }

    TestDatabase* m_db = nullptr;
};

void TestBooks::initTestCase() { m_db = new TestDatabase(QStringLiteral("books")); }

void TestBooks::cleanupTestCase() { delete m_db; }

void TestBooks::init() { books_fixture::loadSmallBooks(*m_db); }

// ---------------------------------------------------------------- names and twins

void TestBooks::operationKindNames_data()
{
    QTest::addColumn<int>("id");           // 0 a new kind
    QTest::addColumn<QString>("typed");
    QTest::addColumn<Outcome::Kind>("kind");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("stored");   // how it is stored when written
    using K = Outcome::Kind;
    QTest::newRow("new, trimmed") << 0 << "  Шлифовка  " << K::Written << "" << "Шлифовка";
    QTest::newRow("new, quotes and percent") << 0 << "Д'Арт \"Б\" 100% _" << K::Written << "" << "Д'Арт \"Б\" 100% _";
    QTest::newRow("new, the longest") << 0 << QString(50, QChar(0x0416)) << K::Written << "" << QString(50, QChar(0x0416));
    QTest::newRow("new, too long") << 0 << QString(51, QChar(0x0416)) << K::Refused
                                   << "Название операции не может быть длиннее 50 символов!" << "";
    QTest::newRow("new, blanks") << 0 << "   " << K::Refused << kIncomplete << "";
    QTest::newRow("new, a zero-width space only") << 0 << QString(QChar(0x200B)) << K::Refused << kIncomplete << "";
    QTest::newRow("new, line break") << 0 << "Рез\nка" << K::Refused << kIncomplete << "";
    QTest::newRow("new, direction override") << 0 << "Резка\u202Eакзер" << K::Refused << kIncomplete << "";
    QTest::newRow("new, twin in other case") << 0 << "рЕЗКА" << K::Twin << kTwinKind << "";
    QTest::newRow("new, sharp s in capitals") << 0 << "STRAßE" << K::Twin << kTwinKind << "";
    QTest::newRow("new, capital sharp s") << 0 << "STRAẞE" << K::Twin << kTwinKind << "";
    QTest::newRow("new, small sharp s") << 0 << "straße" << K::Twin << kTwinKind << "";
    QTest::newRow("new, sharp s is no s") << 0 << "Strase" << K::Written << "" << "Strase";
    QTest::newRow("new, Ё in capitals") << 0 << "ЁЛОЧКА" << K::Twin << kTwinKind << "";
    QTest::newRow("new, ё small") << 0 << "ёлочка" << K::Twin << kTwinKind << "";
    QTest::newRow("new, е is no ё") << 0 << "Елочка" << K::Written << "" << "Елочка";
    QTest::newRow("rename to own name in capitals") << 2 << "ЁЛОЧКА" << K::Written << "" << "ЁЛОЧКА";
    QTest::newRow("rename to a capital-sharp-s twin") << 1 << "STRAẞE" << K::Twin << kTwinKind << "";
}

void TestBooks::operationKindNames()
{
    QFETCH(int, id);
    QFETCH(QString, typed);
    QFETCH(Outcome::Kind, kind);
    QFETCH(QString, message);
    QFETCH(QString, stored);
    const int before = count(QStringLiteral("select count(*) from accounts_dep.vid_oper"));
    const Outcome outcome = books::saveOperationKind(m_db->db(), id, typed);
    QCOMPARE(outcome.kind, kind);
    QCOMPARE(outcome.message, message);
    if (!message.isEmpty()) QCOMPARE(outcome.title, QStringLiteral("Ошибка"));
    const bool written = kind == Outcome::Written;
    QCOMPARE(count(QStringLiteral("select count(*) from accounts_dep.vid_oper")), before + (written && id == 0 ? 1 : 0));
    if (written) {
        Statement s(QStringLiteral("select count(*) from accounts_dep.vid_oper where vid = :v%1")
                        .arg(id ? QStringLiteral(" and id = :id") : QString()));
        s.setParams(id ? Params{{QStringLiteral("v"), stored}, {QStringLiteral("id"), id}} : Params{{QStringLiteral("v"), stored}});
        QSqlQuery q = s.exec(m_db->db());
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toInt(), 1);
    }
}

void TestBooks::workerNames_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message");   // empty when written
    QTest::newRow("new") << 0 << " Петров Пётр " << "";
    QTest::newRow("a namesake is no twin for workers") << 0 << "ИВАНОВ ИВАН" << "";
    QTest::newRow("empty") << 0 << "" << "ФИО нужно заполнить!";
    QTest::newRow("invisible only") << 0 << " \u200B\u00A0\u200E\uFEFF " << "ФИО нужно заполнить!";
    QTest::newRow("too long") << 0 << QString(255, QChar(0x0416)) << "ФИО не может быть длиннее 254 символов!";
    QTest::newRow("renamed") << 3 << "Ёжиков П." << "";
}

void TestBooks::workerNames()
{
    QFETCH(int, id);
    QFETCH(QString, typed);
    QFETCH(QString, message);
    const Outcome outcome = books::saveWorker(m_db->db(), id, typed, QStringLiteral("Токарь"));
    QCOMPARE(outcome.message, message);
    QCOMPARE(outcome.written(), message.isEmpty());
    Statement s(QStringLiteral("select count(*) from accounts_dep.person where fio = :f and s_staffpos_hl = 'Токарь'"));
    s.setParam(QStringLiteral("f"), typed.trimmed());
    QSqlQuery q = s.exec(m_db->db());
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toInt(), message.isEmpty() ? 1 : 0);
}

void TestBooks::groupNames_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("excluded");
    QTest::addColumn<QString>("message");
    QTest::newRow("new, not in use") << 0 << " Окна " << true << "";
    QTest::newRow("a group's namesake is no twin") << 0 << "ДВЕРИ" << false << "";
    QTest::newRow("too long") << 0 << QString(255, QChar(0x0416)) << false << "Наименование не может быть длиннее 254 символов!";
    QTest::newRow("tab") << 0 << "Ок\tна" << false << kIncomplete;
    QTest::newRow("changed, taken out of use") << 2 << "Ворота" << true << "";
}

void TestBooks::groupNames()
{
    QFETCH(int, id);
    QFETCH(QString, typed);
    QFETCH(bool, excluded);
    QFETCH(QString, message);
    const Outcome outcome = books::saveGroup(m_db->db(), id, typed, excluded);
    QCOMPARE(outcome.message, message);
    Statement s(QStringLiteral("select count(*) from cmn_classifier.item where s_caption = :c and b_excluded = :e and id_level = 2"));
    s.setParams({{QStringLiteral("c"), typed.trimmed()}, {QStringLiteral("e"), excluded ? 1 : 0}});
    QSqlQuery q = s.exec(m_db->db());
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toInt(), message.isEmpty() ? 1 : 0);
}

// ---------------------------------------------------------------- the checks of a product

void TestBooks::productValues_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("brand");
    QTest::addColumn<QString>("price");
    QTest::addColumn<qlonglong>("group");
    QTest::addColumn<Outcome::Kind>("kind");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("stored");   // massa as text, when written
    using K = Outcome::Kind;
    QTest::newRow("new, decimal comma") << 0 << " КР-9 " << "12,5" << 2LL << K::Written << "" << "12.500000";
    QTest::newRow("new, six decimals kept") << 0 << "КР-9" << "0.000001" << 2LL << K::Written << "" << "0.000001";
    QTest::newRow("new, 22 digits before the point")
        << 0 << "КР-9" << "999999999999999e7" << 2LL << K::Written << "" << "9999999999999990000000.000000";
    QTest::newRow("new, minus zero") << 0 << "КР-9" << "-0" << 2LL << K::Written << "" << "0.000000";
    QTest::newRow("no price") << 0 << "КР-9" << "  " << 2LL << K::Refused << kIncomplete << "";
    QTest::newRow("no group") << 0 << "КР-9" << "1" << 0LL << K::Refused << kIncomplete << "";
    QTest::newRow("no brand") << 0 << "" << "1" << 2LL << K::Refused << kIncomplete << "";
    QTest::newRow("brand too long") << 0 << QString(255, QChar(0x0416)) << "1" << 2LL << K::Refused
                                    << "Марка изделия не может быть длиннее 254 символов!" << "";
    QTest::newRow("letters") << 0 << "КР-9" << "12р" << 2LL << K::Refused << "Расценка должна быть числом!" << "";
    QTest::newRow("two separators") << 0 << "КР-9" << "1,2.3" << 2LL << K::Refused << "Расценка должна быть числом!" << "";
    QTest::newRow("negative") << 0 << "КР-9" << "-1,5" << 2LL << K::Refused << "Расценка не может быть отрицательной!" << "";
    QTest::newRow("23 digits before the point") << 0 << "КР-9" << "1e22" << 2LL << K::Refused
                                                << "Расценка слишком велика: до запятой не больше 22 цифр!" << "";
    QTest::newRow("group gone") << 0 << "КР-9" << "1" << 77LL << K::ReferenceGone
                                << "Выбранная номенклатурная группа уже удалена другим пользователем." << "";
    QTest::newRow("brand twin, sharp s") << 0 << "STRAẞE" << "1" << 2LL << K::Twin << kTwinBrand << "";
    QTest::newRow("brand twin, Ё") << 0 << "ёЛКА" << "1" << 1LL << K::Twin << kTwinBrand << "";
    QTest::newRow("changed, own brand in capitals") << 10002 << "STRASSE" << "3" << 2LL << K::Written << ""
                                                    << "3.000000";
    QTest::newRow("changed into a twin") << 10002 << "дм-1" << "3" << 2LL << K::Twin << kTwinBrand << "";
}

void TestBooks::productValues()
{
    QFETCH(int, id);
    QFETCH(QString, brand);
    QFETCH(QString, price);
    QFETCH(qlonglong, group);
    QFETCH(Outcome::Kind, kind);
    QFETCH(QString, message);
    QFETCH(QString, stored);
    const int before = count(QStringLiteral("select count(*) from cmn_gds_and_srv.gds_and_srv"));
    const Outcome outcome = books::saveProduct(m_db->db(), {.id = id, .brand = brand, .price = price, .group = group});
    QCOMPARE(outcome.kind, kind);
    QCOMPARE(outcome.message, message);
    QCOMPARE(count(QStringLiteral("select count(*) from cmn_gds_and_srv.gds_and_srv")),
             before + (outcome.written() && id == 0 ? 1 : 0));
    if (!outcome.written()) return;
    Statement s(QStringLiteral("select massa::text, id_class_item from cmn_gds_and_srv.gds_and_srv where s_caption = :b"));
    s.setParam(QStringLiteral("b"), brand.trimmed());
    QSqlQuery q = s.exec(m_db->db());
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toString(), stored);
    QCOMPARE(q.value(1).toLongLong(), group);
}

// ---------------------------------------------------------------- operations

void TestBooks::operationSaves_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("product");
    QTest::addColumn<int>("productClass");
    QTest::addColumn<bool>("picked");
    QTest::addColumn<Outcome::Kind>("outcome");
    QTest::addColumn<QString>("message");
    using K = Outcome::Kind;
    QTest::newRow("new") << 0 << 3 << 10001 << 0 << true << K::Written << "";
    QTest::newRow("new, blanks of a finished one") << 0 << 1 << 10001 << 1 << true << K::Written << "";
    QTest::newRow("names not picked") << 0 << 3 << 10001 << 0 << false << K::Refused << kIncomplete;
    QTest::newRow("no kind") << 0 << 0 << 10001 << 0 << true << K::Refused << kIncomplete;
    QTest::newRow("no product") << 0 << 3 << 0 << 0 << true << K::Refused << kIncomplete;
    QTest::newRow("a third class") << 0 << 3 << 10001 << 2 << true << K::Refused << kIncomplete;
    QTest::newRow("twin") << 0 << 1 << 10001 << 0 << true << K::Twin << "Операция с такими параметрами уже заведена!";
    QTest::newRow("changed into a twin") << 2 << 1 << 10001 << 0 << true << K::Twin
                                         << "Операция с такими параметрами уже заведена!";
    QTest::newRow("changed to its own values") << 2 << 2 << 10001 << 1 << true << K::Written << "";
    QTest::newRow("product gone") << 0 << 3 << 10077 << 0 << true << K::ReferenceGone
                                  << "Выбранное изделие уже удалено другим пользователем.";
    QTest::newRow("kind gone") << 0 << 77 << 10001 << 0 << true << K::ReferenceGone
                               << "Выбранный вид операции уже удалён другим пользователем.";
    QTest::newRow("changed, deleted meanwhile") << 77 << 3 << 10001 << 0 << true << K::RowGone
                                                << "Операция не записана: её удалили на другом рабочем месте.";
}

void TestBooks::operationSaves()
{
    QFETCH(int, id);
    QFETCH(int, kind);
    QFETCH(int, product);
    QFETCH(int, productClass);
    QFETCH(bool, picked);
    QFETCH(Outcome::Kind, outcome);
    QFETCH(QString, message);
    const int before = count(QStringLiteral("select count(*) from accounts_dep.oper"));
    const Outcome saved = books::saveOperation(
        m_db->db(), {.id = id, .kind = kind, .product = product, .productClass = productClass, .picked = picked});
    QCOMPARE(saved.kind, outcome);
    QCOMPARE(saved.message, message);
    QCOMPARE(count(QStringLiteral("select count(*) from accounts_dep.oper")), before + (saved.written() && id == 0 ? 1 : 0));
    if (saved.written() && id == 0) {
        QVERIFY(saved.id > 3);
        QCOMPARE(value(QStringLiteral("select cena_new::text || '/' || vid || '/' || naimen || '/' || i_id from accounts_dep.oper where id = %1")
                           .arg(saved.id))
                     .toString(),
                 QStringLiteral("0.0000/%1/%2/%3").arg(kind).arg(productClass).arg(product));
    }
}

void TestBooks::changesOfRowsGone_data()
{
    QTest::addColumn<QString>("book");
    QTest::newRow("worker") << "worker";
    QTest::newRow("operation kind") << "kind";
    QTest::newRow("group") << "group";
    QTest::newRow("product") << "product";
}

void TestBooks::changesOfRowsGone()
{
    QFETCH(QString, book);
    const QSqlDatabase db = m_db->db();
    const int gone = 77;   // no row has it
    Outcome outcome;
    if (book == QLatin1String("worker")) outcome = books::saveWorker(db, gone, QStringLiteral("Новое имя"), QString());
    else if (book == QLatin1String("kind")) outcome = books::saveOperationKind(db, gone, QStringLiteral("Новое имя"));
    else if (book == QLatin1String("group")) outcome = books::saveGroup(db, gone, QStringLiteral("Новое имя"), false);
    else outcome = books::saveProduct(db, {.id = gone, .brand = QStringLiteral("Новое имя"), .price = QStringLiteral("1"), .group = 1});
    QCOMPARE(outcome.kind, Outcome::RowGone);
    QCOMPARE(outcome.message, books::kRowGoneMessage);
    QCOMPARE(outcome.title, QStringLiteral("Ошибка"));
}

void TestBooks::twinSavedMeanwhileByAnotherClient()
{
    // Another client is saving the brand "Гонка" under the book's lock and has not committed:
    // this save waits for it and then finds the twin.
    OtherClient other(*m_db, [](const QSqlDatabase& db) {
        references::lockNames(db, QStringLiteral("accounts_dep.izdel"));
        execSql(db, QStringLiteral("insert into cmn_gds_and_srv.gds_and_srv (s_caption, massa, id_class_item) values ('Гонка', 1, 2)"));
    });
    const Outcome outcome =
        books::saveProduct(m_db->db(), {.brand = QStringLiteral("ГОНКА"), .price = QStringLiteral("1"), .group = 1});
    QVERIFY2(other.finish(), "nothing here waited for the other client");
    QCOMPARE(other.error(), QString());
    QCOMPARE(outcome.kind, Outcome::Twin);
    QCOMPARE(count(QStringLiteral("select count(*) from cmn_gds_and_srv.gds_and_srv where upper(s_caption) = 'ГОНКА'")), 1);
}

// ---------------------------------------------------------------- deletes

void TestBooks::deletes_data()
{
    QTest::addColumn<QString>("book");
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("before");   // run first
    QTest::addColumn<Outcome::Kind>("kind");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("left");     // counts the deleted row: 0 when deleted
    using K = Outcome::Kind;
    const QString error = QStringLiteral("Ошибка");
    const QString deletion = QStringLiteral("Удаление");
    const QString journalEntry = QStringLiteral(
        "insert into accounts_dep.smena (data, smena, w_id, i_id, o_id, kol_vo, time, ok) values ('2026-01-05', 1, 3, 10001, 1, 1, 1, 'no')");
    QTest::newRow("worker") << "worker" << 3 << "" << K::Written << "" << "" << "select count(*) from accounts_dep.person where id = 3";
    QTest::newRow("worker with entries") << "worker" << 3 << journalEntry << K::Written << "" << ""
                                         << "select count(*) from accounts_dep.person where id = 3";
    QTest::newRow("worker gone") << "worker" << 77 << "" << K::RowGone << books::kRowGoneMessage << error << "select 0";
    QTest::newRow("kind unused") << "kind" << 3 << "" << K::Written << "" << "" << "select count(*) from accounts_dep.vid_oper where id = 3";
    QTest::newRow("kind of two operations") << "kind" << 1 << "" << K::InUse
                                            << "Вид операции нельзя удалить: операций этого вида — 2." << deletion
                                            << "select count(*) - 1 from accounts_dep.vid_oper where id = 1";
    QTest::newRow("kind gone") << "kind" << 77 << "" << K::RowGone << books::kRowGoneMessage << error << "select 0";
    QTest::newRow("group unused") << "group" << 3 << "" << K::Written << "" << "" << "select count(*) from cmn_classifier.item where id = 3";
    QTest::newRow("group with products") << "group" << 1 << "" << K::InUse << "В номенклатурной группе есть изделия." << deletion
                                         << "select count(*) - 1 from cmn_classifier.item where id = 1";
    QTest::newRow("group with hour entries")
        << "group" << 3
        << "insert into accounts_dep.fatigue (id_nom, id_o, id_p, d_date, i_mnth, i_year, cnt, price) values (3, 7777, 1, '2026-01-05', 1, 2026, 6, 100)"
        << K::InUse << "В номенклатурной группе есть операции." << deletion
        << "select count(*) - 1 from cmn_classifier.item where id = 3";
    QTest::newRow("group gone") << "group" << 77 << "" << K::RowGone << books::kRowGoneMessage << error << "select 0";
    QTest::newRow("operation with its norms") << "operation" << 1 << "" << K::Written << "" << ""
                                              << "select count(*) from accounts_dep.norm where o_id = 1";
    QTest::newRow("operation in the journal") << "operation" << 1 << journalEntry << K::InUse
                                              << "Операцию нельзя удалить: её используют записи журнала (1) и записи часов (0)."
                                              << error << "select count(*) - 2 from accounts_dep.norm where o_id = 1";
    QTest::newRow("operation gone") << "operation" << 77 << "" << K::RowGone << books::kRowGoneMessage << error << "select 0";
}

void TestBooks::deletes()
{
    QFETCH(QString, book);
    QFETCH(int, id);
    QFETCH(QString, before);
    QFETCH(Outcome::Kind, kind);
    QFETCH(QString, message);
    QFETCH(QString, title);
    QFETCH(QString, left);
    if (!before.isEmpty()) m_db->exec(before);
    const QSqlDatabase db = m_db->db();
    Outcome outcome;
    if (book == QLatin1String("worker")) outcome = books::deleteWorker(db, id);
    else if (book == QLatin1String("kind")) outcome = books::deleteOperationKind(db, id);
    else if (book == QLatin1String("group")) outcome = books::deleteGroup(db, id);
    else outcome = books::deleteOperation(db, id);
    QCOMPARE(outcome.kind, kind);
    QCOMPARE(outcome.message, message);
    QCOMPARE(outcome.title, title);
    QCOMPARE(count(left), 0);
}

void TestBooks::productDeleteAgreedAndNot_data()
{
    QTest::addColumn<bool>("dropOperations");
    QTest::addColumn<bool>("dropProduct");
    QTest::addColumn<bool>("savedMeanwhile");   // an operation saved after the counts
    QTest::addColumn<Outcome::Kind>("kind");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QList<int>>("left");       // products, operations of 10001, entries, timesheet cells of day 5
    using K = Outcome::Kind;
    const QString kept = QStringLiteral("Расценки, по которым есть записи в журнале, не удалены: 1.");
    // The entries go first, so every operation of the product goes with them.
    QTest::newRow("everything") << true << true << false << K::Written << "" << QList<int>{2, 0, 0, 0};
    QTest::newRow("the operations only") << true << false << false << K::Written << kept << QList<int>{3, 1, 1, 1};
    QTest::newRow("the product only") << false << true << false << K::Written << "" << QList<int>{2, 2, 0, 0};
    QTest::newRow("nothing agreed") << false << false << false << K::Written << "" << QList<int>{3, 2, 1, 1};
    QTest::newRow("an operation saved meanwhile")
        << true << true << true << K::InUse
        << "Изделие не удалено: пока шло удаление, по нему записаны новые операции или расценки. Список обновлён."
        << QList<int>{3, 3, 1, 1};
}

void TestBooks::productDeleteAgreedAndNot()
{
    QFETCH(bool, dropOperations);
    QFETCH(bool, dropProduct);
    QFETCH(bool, savedMeanwhile);
    QFETCH(Outcome::Kind, kind);
    QFETCH(QString, message);
    QFETCH(QList<int>, left);
    // One journal entry of operation 1 with its timesheet cell.
    m_db->exec(QStringLiteral(
        "insert into accounts_dep.smena (data, smena, w_id, i_id, o_id, kol_vo, time, ok) values ('2026-01-05', 1, 3, 10001, 1, 1, 6, 'no');"
        "insert into accounts_dep.h_tabel (w_id, month, year, smena, i_type, d5) values (3, 1, 2026, 1, 0, 6)"));
    const QSqlDatabase db = m_db->db();
    const books::ProductUse use = books::productUse(db, 10001);
    QCOMPARE(use.entries, 1LL);
    QCOMPARE(use.operations, 2LL);
    if (savedMeanwhile) m_db->exec(QStringLiteral("insert into accounts_dep.oper (vid, naimen, i_id) values (3, 0, 10001)"));
    const Outcome outcome = books::deleteProduct(db, 10001, use, dropOperations, dropProduct);
    QCOMPARE(outcome.kind, kind);
    QCOMPARE(outcome.message, message);
    const QList<int> seen = {count(QStringLiteral("select count(*) from cmn_gds_and_srv.gds_and_srv")),
                             count(QStringLiteral("select count(*) from accounts_dep.oper where i_id = 10001")),
                             count(QStringLiteral("select count(*) from accounts_dep.smena")),
                             count(QStringLiteral("select count(d5) from accounts_dep.h_tabel"))};
    QCOMPARE(seen, left);
}

// ---------------------------------------------------------------- norms

void TestBooks::normCellValues_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QVariant>("stored");   // invalid when refused
    const QVariant refused;
    QTest::newRow("price, comma") << int(norms::Price) << "12,5" << QVariant(QStringLiteral("12.5"));
    QTest::newRow("price, trailing zeros") << int(norms::Price) << "12.50" << QVariant(QStringLiteral("12.5"));
    QTest::newRow("price, minus zero") << int(norms::Price) << "-0" << QVariant(QStringLiteral("0"));
    QTest::newRow("price, exponent") << int(norms::Price) << "1e-3" << QVariant(QStringLiteral("0.001"));
    QTest::newRow("price, negative") << int(norms::Price) << "-0,5" << refused;
    QTest::newRow("price, letters") << int(norms::Price) << "12р" << refused;
    QTest::newRow("price, 16 significant digits") << int(norms::Price) << "1234567890.123456" << refused;
    QTest::newRow("standard") << int(norms::Norma) << "100" << QVariant(100);
    QTest::newRow("standard, fraction") << int(norms::Norma) << "1,5" << refused;
    QTest::newRow("standard, negative") << int(norms::Norma) << "-1" << refused;
    QTest::newRow("standard, beyond an integer") << int(norms::Norma) << "2147483648" << refused;
    QTest::newRow("bonus, the largest") << int(norms::Prize) << "2147483647" << QVariant(2147483647);
}

void TestBooks::normCellValues()
{
    QFETCH(int, column);
    QFETCH(QString, typed);
    QFETCH(QVariant, stored);
    const QVariant value = norms::cellValue(column, typed);
    QCOMPARE(value, stored);
    // A price travels as the digits written, never as a number worked out here.
    QCOMPARE(value.typeId(), stored.typeId());
    if (stored.isValid()) return;
    const QString expected = column == norms::Price
        ? QStringLiteral("«%1» не подходит для столбца «Цена»: нужна цена числом не меньше нуля, например 12,5. "
                         "Ничего не записано.").arg(typed)
        : QStringLiteral("«%1» не подходит для столбца «%2»: нужно целое число от 0 до 2147483647. Ничего не записано.")
              .arg(typed, column == norms::Norma ? QStringLiteral("Норматив") : QStringLiteral("Премия, %"));
    norms::Values values;
    const norms::CellOutcome outcome = norms::storeCell(m_db->db(), 1, 0, values, column, typed);
    QCOMPARE(outcome.kind, norms::CellOutcome::Refused);
    QCOMPARE(outcome.message, expected);
}

void TestBooks::normPriceStoredAsWritten_data()
{
    QTest::addColumn<QString>("typed");
    QTest::newRow("a tenth") << "0,1";
    QTest::newRow("15 significant digits") << "12345678,9012345";
    QTest::newRow("15 significant digits below one") << "0,123456789012345";
    QTest::newRow("a price per piece") << "31,4159";
}

void TestBooks::normPriceStoredAsWritten()
{
    // The server reads the digits as typed into its double: the nearest double of the written
    // number, whatever the client would have made of it.
    QFETCH(QString, typed);
    norms::Values values;
    const norms::CellOutcome outcome = norms::storeCell(m_db->db(), 1, 0, values, norms::Price, typed);
    QCOMPARE(outcome.kind, norms::CellOutcome::Stored);
    Statement s(QStringLiteral("select price = cast(:typed as double precision) from accounts_dep.norm where id = :id"));
    s.setParams({{QStringLiteral("typed"), QString(typed).replace(QLatin1Char(','), QLatin1Char('.'))},
                 {QStringLiteral("id"), outcome.id}});
    QSqlQuery q = s.exec(m_db->db());
    QVERIFY(q.next());
    QVERIFY2(q.value(0).toBool(), "the price stored differs from the number written");
    // A cell of a stored norm is changed the same way.
    const norms::CellOutcome changed = norms::storeCell(m_db->db(), 1, outcome.id, values, norms::Price, QStringLiteral("2,675"));
    QCOMPARE(changed.kind, norms::CellOutcome::Stored);
    s.setParams({{QStringLiteral("typed"), QStringLiteral("2.675")},
                 {QStringLiteral("id"), outcome.id}});
    QSqlQuery again = s.exec(m_db->db());
    QVERIFY(again.next());
    QVERIFY2(again.value(0).toBool(), "the changed price differs from the number written");
}

void TestBooks::newNormStoredOnceItHasItsPrice()
{
    const QSqlDatabase db = m_db->db();
    const int before = count(QStringLiteral("select count(*) from accounts_dep.norm where o_id = 3"));
    norms::Values values;
    norms::CellOutcome outcome = norms::storeCell(db, 3, 0, values, norms::Norma, QStringLiteral(" 40 "));
    QCOMPARE(outcome.kind, norms::CellOutcome::Kept);
    QCOMPARE(count(QStringLiteral("select count(*) from accounts_dep.norm where o_id = 3")), before);
    outcome = norms::storeCell(db, 3, 0, values, norms::Price, QStringLiteral("2,5"));
    QCOMPARE(outcome.kind, norms::CellOutcome::Stored);
    QVERIFY(outcome.id > 0);
    QCOMPARE(value(QStringLiteral("select norma || '/' || price || '/' || prize from accounts_dep.norm where id = %1").arg(outcome.id))
                 .toString(),
             QStringLiteral("40/2.5/0"));
    // The last norm of an operation stays; another goes.
    norms::deleteNorm(db, outcome.id, 3);
    QCOMPARE(count(QStringLiteral("select count(*) from accounts_dep.norm where o_id = 3")), before);
    const int last = value(QStringLiteral("select id from accounts_dep.norm where o_id = 3")).toInt();
    norms::deleteNorm(db, last, 3);
    QCOMPARE(count(QStringLiteral("select count(*) from accounts_dep.norm where o_id = 3")), 1);
}

void TestBooks::normsOfRowsGone()
{
    const QSqlDatabase db = m_db->db();
    norms::Values values;
    norms::CellOutcome outcome = norms::storeCell(db, 77, 0, values, norms::Price, QStringLiteral("1"));
    QCOMPARE(outcome.kind, norms::CellOutcome::OperationGone);
    QCOMPARE(outcome.message, QStringLiteral("Норма не записана: операцию удалили на другом рабочем месте."));
    QCOMPARE(count(QStringLiteral("select count(*) from accounts_dep.norm where o_id = 77")), 0);
    outcome = norms::storeCell(db, 1, 777, values, norms::Prize, QStringLiteral("3"));
    QCOMPARE(outcome.kind, norms::CellOutcome::NormGone);
    QCOMPARE(outcome.message, QStringLiteral("Норма не записана: её удалили на другом рабочем месте."));
}

QTEST_GUILESS_MAIN(TestBooks)
#include "tst_books.moc"
