#include "data/data_module.h"
#include "data/dataset.h"
#include "refbooks/group_dialog.h"
#include "refbooks/groups_list.h"
#include "refbooks/lookup_box.h"
#include "refbooks/pick_targets.h"
#include "refbooks/product_dialog.h"
#include "refbooks/products_list.h"
#include "data/references.h"
#include "refbooks/operation_kind_dialog.h"
#include "refbooks/worker_dialog.h"
#include "tests/refbooks/gui_steps.h"
#include "tests/refbooks/other_client.h"
#include "tests/support/books_fixture.h"
#include "tests/support/modal.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/test_database.h"

#include "data/statement.h"
#include "data/transaction.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <future>
#include <thread>

namespace {

// Groups (level 2; one not in use, one of another level), products, operations, journal
// entries with their timesheet cells, and an hour entry booked on a group.
const QString kFixture = books_fixture::kEmptyBooks + QStringLiteral(R"(
    insert into cmn_classifier.item (id, s_caption, id_level, b_excluded) values
      (1, 'Двери', 2, 0), (2, 'Ворота', 2, 0), (3, 'Сейфы', 2, 1), (4, 'Решётки', 2, 0),
      (5, ' Ограждения ', 2, 0), (9, 'Металлоизделия', 1, 0);
    select setval('cmn_classifier.item_id_seq', 9);
    insert into cmn_gds_and_srv.gds_and_srv (id, s_caption, massa, id_class_item) values
      (10001, 'ДМ-1', 1.5, 1), (10002, 'ВС-2', 15, 2), (10003, 'О''Нил', 0, 1), (10004, 'Straße', 2, 2),
      (10005, 'ПР-5', 1, 2);
    select setval('cmn_gds_and_srv.gds_and_srv_id_seq', 10005);
    insert into accounts_dep.oper (id, vid, naimen, i_id) values
      (1, 1, 0, 10001), (2, 1, 1, 10001), (3, 1, 0, 10002), (5, 1, 0, 10005);
    insert into accounts_dep.smena (w_id, i_id, o_id, data, smena, kol_vo, time, ok) values
      (1, 10001, 1, date '2024-03-05', 1, 10, 8, 'no'), (1, 10001, 2, date '2024-03-05', 1, 5, 2, 'no'),
      (2, 10001, 1, date '2024-03-06', 2, 4, 4, 'ok'), (1, 10002, 3, date '2024-03-05', 1, 3, 3, 'no');
    insert into accounts_dep.h_tabel (w_id, month, year, smena, i_type, d5, d6) values
      (1, 3, 2024, 1, 0, 13, null), (2, 3, 2024, 2, 0, null, 4);
    insert into accounts_dep.fatigue (id_nom, id_o, id_p, d_date, i_mnth, i_year, cnt, price) values
      (4, 7777, 1, date '2024-03-07', 3, 2024, 6, 100);
)");

// Journal cells that differ from the hours of their entries.
const QString kCellsOutOfStep = QStringLiteral(R"(
    select count(*) from accounts_dep.h_tabel h cross join generate_series(1, 31) d
     where h.i_type = 0 and d <= extract(day from make_date(h.year, h.month, 1) + interval '1 month' - interval '1 day')
       and coalesce((to_jsonb(h) ->> ('d' || d))::int, 0)
           <> coalesce((select sum(s.time) from accounts_dep.smena s where s.w_id = h.w_id and s.smena = h.smena
                         and s.data = make_date(h.year, h.month, d)), 0))");

const QString kPrices = QStringLiteral("По изделию есть расценки они будут удалены!!!");
const QString kWithEntries = QStringLiteral(
    "По изделию есть операции в текущем, предыдущем месяцах и ранее, они будут удалены. Удалить изделие? ");
const QString kPlain = QStringLiteral("Удалить изделие? ");

} // namespace

class TestProductsGroups : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void saveProduct_data();
    void saveProduct();
    void deleteProduct_data();
    void deleteProduct();
    void productSearchAndPick();
    void groupsNotInUseHiddenFromTheProductDialog();
    void productSavedIntoAGroupDeletedMeanwhile();
    void numberSetWithoutKeys_data();
    void numberSetWithoutKeys();
    void brandTwinSavedMeanwhileByAnotherClient();
    void productDeleteWaitsForASaveHoldingIt_data();
    void productDeleteWaitsForASaveHoldingIt();

    void saveGroup_data();
    void saveGroup();
    void deleteGroupGuards_data();
    void deleteGroupGuards();
    void groupPickShowsGroupsInUseUntilSearched();
    void groupDeleteWaitsForAProductBeingSaved();

    void labelsNameTheirFields_data();
    void labelsNameTheirFields();

private:
    QVariant value(const QString& sql) const { return m_db->scalar(sql); }

    TestDatabase* m_db = nullptr;
    ScriptedPrompts m_prompts;
    TDataModule6* m_dm = nullptr;
    TForm7* m_form7 = nullptr;
    TForm3* m_form3 = nullptr;
    TForm29* m_form29 = nullptr;
    TForm26* m_form26 = nullptr;
};

void TestProductsGroups::initTestCase()
{
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    m_db = new TestDatabase(QStringLiteral("products"));
    m_dm = new TDataModule6(m_db->db(), m_prompts);
    m_dm->setDbDelimiter(QStringLiteral("."));
    m_form7 = new TForm7(*m_dm);
    m_form3 = new TForm3(*m_dm, *m_form7);
    m_form29 = new TForm29(*m_dm);
    m_form26 = new TForm26(*m_dm, *m_form29);
}

void TestProductsGroups::cleanupTestCase()
{
    delete m_form26;
    delete m_form29;
    delete m_form3;
    delete m_form7;
    delete m_dm;
    delete m_db;
}

void TestProductsGroups::init()
{
    m_db->exec(kFixture);
    m_form7->cb_item->setCurrentIndex(-1);
    m_form29->CheckBox1->setChecked(false);
    m_form3->Edit1->clear();
    m_form26->Edit1->clear();
    m_prompts.clear();
}

void TestProductsGroups::cleanup()
{
    QVERIFY2(!m_prompts.unexpectedQuestion(), "a question nobody expected");
    QVERIFY(noWindowsLeftOpen());
    QVERIFY(!m_dm->Izdel.isOpen());
    QVERIFY(!m_form7->item.isOpen());
    QVERIFY(!m_form26->item.isOpen());
}

// ---------------------------------------------------------------- products

void TestProductsGroups::saveProduct_data()
{
    QTest::addColumn<QString>("change");      // the brand of the product changed; empty adds one
    QTest::addColumn<QString>("brand");       // put into Edit1 as pasted; empty keeps it
    QTest::addColumn<QString>("keys");        // typed into Edit2 after clearing it; "=" keeps it
    QTest::addColumn<QString>("group");       // chosen in cb_item; empty keeps the choice
    QTest::addColumn<QString>("message");     // empty when saved
    QTest::addColumn<QString>("shownMassa");  // what Edit2 showed on a change
    QTest::addColumn<QString>("storedBrand");
    QTest::addColumn<double>("storedMassa");
    QTest::addColumn<int>("storedGroup");
    const QString all = QStringLiteral("Все поля должны быть заполнены!");
    const QString twin = QStringLiteral("Такая марка изделия уже заведена!");
    QTest::newRow("new, trimmed, comma typed as full stop") << "" << "  КР-7  " << "2,5" << "Двери" << "" << ""
                                                          << "КР-7" << 2.5 << 1;
    QTest::newRow("new, letters dropped from the number") << "" << "ЛТ-1" << "1а2b" << "Ворота" << "" << "" << "ЛТ-1"
                                                        << 12.0 << 2;
    QTest::newRow("new, apostrophe") << "" << "Д'Арт 50%" << "3" << "Решётки" << "" << "" << "Д'Арт 50%" << 3.0 << 4;
    QTest::newRow("new, twin in other case (Cyrillic)") << "" << "дм-1" << "1" << "Двери" << twin << "" << "" << 0.0 << 0;
    QTest::newRow("new, twin as the server upper-cases") << "" << "STRAßE" << "1" << "Двери" << twin << "" << "" << 0.0 << 0;
    QTest::newRow("new, twin with capital sharp s") << "" << "STRAẞE" << "1" << "Двери" << twin << "" << "" << 0.0 << 0;
    QTest::newRow("new, number missing") << "" << "НН-1" << "" << "Двери" << all << "" << "" << 0.0 << 0;
    QTest::newRow("new, group missing") << "" << "НН-1" << "1" << "" << all << "" << "" << 0.0 << 0;
    QTest::newRow("new, brand of an invisible character") << "" << QString(QChar(0x200B)) << "1" << "Двери" << all << ""
                                                         << "" << 0.0 << 0;
    QTest::newRow("new, a number the database cannot read") << "" << "НН-1" << "1.2.3" << "Двери"
                                                           << "Расценка должна быть числом!" << "" << "" << 0.0 << 0;
    QTest::newRow("new, brand longer than the column") << "" << QString(255, QChar(0x0416)) << "1" << "Двери"
                                                       << "Марка изделия не может быть длиннее 254 символов!" << ""
                                                       << "" << 0.0 << 0;
    QTest::newRow("change, 1,5 stored as 1.5") << "ДМ-1" << "" << "=" << "" << "" << "1,5" << "ДМ-1" << 1.5 << 1;
    QTest::newRow("change, 15 stays 15") << "ВС-2" << "" << "=" << "" << "" << "15" << "ВС-2" << 15.0 << 2;
    QTest::newRow("change to own brand in other case, new group") << "ДМ-1" << "дм-1" << "=" << "Решётки" << "" << "1,5"
                                                                 << "дм-1" << 1.5 << 4;
    QTest::newRow("change to another's brand") << "ДМ-1" << "вс-2" << "=" << "" << twin << "1,5" << "" << 0.0 << 0;
}

void TestProductsGroups::saveProduct()
{
    QFETCH(QString, change);
    QFETCH(QString, brand);
    QFETCH(QString, keys);
    QFETCH(QString, group);
    QFETCH(QString, message);
    QFETCH(QString, shownMassa);
    QFETCH(QString, storedBrand);
    QFETCH(double, storedMassa);
    QFETCH(int, storedGroup);
    const int before = value(QStringLiteral("select count(*) from cmn_gds_and_srv.gds_and_srv")).toInt();
    QString caption, seenMassa, seenGroup;
    bool stayed = false;
    int recNoAfter = 0;
    whenModal([&](QWidget* list) {
        whenModal([&](QWidget* dialog) {
            caption = dialog->windowTitle();
            auto* edit2 = child<QLineEdit>(dialog, "Edit2");
            auto* groups = child<LookupBox>(dialog, "cb_item");
            seenMassa = edit2->text();
            seenGroup = groups->shownCaption();
            if (!brand.isEmpty()) child<QLineEdit>(dialog, "Edit1")->setText(brand);
            if (keys != QLatin1String("=")) {
                edit2->clear();
                type(edit2, keys);
            }
            if (!group.isEmpty()) groups->setCurrentIndex(groups->findText(group));
            child<QPushButton>(dialog, "Button1")->click();
            stayed = dialog->isVisible();
            if (stayed) child<QPushButton>(dialog, "Button2")->click();
        });
        m_dm->Izdel.setRecNo(3);
        if (!change.isEmpty()) m_dm->Izdel.locate(QStringLiteral("marka"), change);
        const int recNo = m_dm->Izdel.recNo();
        child<QPushButton>(list, change.isEmpty() ? "Button1" : "Button2")->click();
        recNoAfter = m_dm->Izdel.recNo() - recNo;
        list->close();
    });
    m_form3->openBrowse();
    const bool saved = message.isEmpty();
    QCOMPARE(caption, change.isEmpty() ? QStringLiteral("Заведение нового изделия (7)") : QStringLiteral("Изменение данных изделия (7)"));
    QCOMPARE(m_prompts.texts(), saved ? QStringList() : QStringList{message});
    QCOMPARE(stayed, !saved);
    QCOMPARE(recNoAfter, 0);   // the list keeps its row
    if (!change.isEmpty()) {
        QCOMPARE(seenMassa, shownMassa);
        QCOMPARE(seenGroup, change == QStringLiteral("ДМ-1") ? QStringLiteral("Двери") : QStringLiteral("Ворота"));
    }
    QCOMPARE(value(QStringLiteral("select count(*) from cmn_gds_and_srv.gds_and_srv")).toInt(),
             before + (saved && change.isEmpty() ? 1 : 0));
    if (!saved) return;
    Statement read(QStringLiteral("select massa::float8, id_class_item::int, id_msm_bs::int, s_description "
                                  "from cmn_gds_and_srv.gds_and_srv where s_caption = :b"));
    read.setParam(QStringLiteral("b"), storedBrand);
    QSqlQuery q = read.exec(m_db->db());
    QVERIFY2(q.next(), "the product was not stored as typed");
    QCOMPARE(q.value(0).toDouble(), storedMassa);
    QCOMPARE(q.value(1).toInt(), storedGroup);
    QCOMPARE(q.value(2).toInt(), 6);
    QCOMPARE(q.value(3).toString(), QString(""));
}

void TestProductsGroups::deleteProduct_data()
{
    QTest::addColumn<QString>("brand");
    QTest::addColumn<QList<bool>>("answers");
    QTest::addColumn<QStringList>("questions");
    QTest::addColumn<QString>("message");     // told after the questions
    QTest::addColumn<int>("operationsLeft");
    QTest::addColumn<bool>("productLeft");
    QTest::addColumn<int>("entriesLeft");
    QTest::addColumn<int>("cellLeft");        // hours of worker 1, shift 1, 5 March afterwards
    using B = QList<bool>;
    const QString kept = QStringLiteral("Расценки, по которым есть записи в журнале, не удалены: 2.");
    QTest::newRow("nothing attached, yes") << "О'Нил" << B{true} << QStringList{kPlain} << "" << 0 << false << 0 << 13;
    QTest::newRow("nothing attached, no") << "О'Нил" << B{false} << QStringList{kPlain} << "" << 0 << true << 0 << 13;
    QTest::newRow("prices only, yes yes") << "ПР-5" << B{true, true} << QStringList{kPrices, kPlain} << "" << 0 << false
                                          << 0 << 13;
    QTest::newRow("prices only, no yes") << "ПР-5" << B{false, true} << QStringList{kPrices, kPlain} << "" << 1 << false
                                         << 0 << 13;
    QTest::newRow("prices only, yes no") << "ПР-5" << B{true, false} << QStringList{kPrices, kPlain} << "" << 0 << true
                                         << 0 << 13;
    QTest::newRow("prices and entries, yes yes") << "ДМ-1" << B{true, true} << QStringList{kPrices, kWithEntries} << ""
                                                 << 0 << false << 0 << 3;
    QTest::newRow("prices and entries, no yes") << "ДМ-1" << B{false, true} << QStringList{kPrices, kWithEntries} << ""
                                                << 2 << false << 0 << 3;
    QTest::newRow("prices and entries, yes no") << "ДМ-1" << B{true, false} << QStringList{kPrices, kWithEntries} << kept
                                                << 2 << true << 3 << 13;
    QTest::newRow("prices and entries, no no") << "ДМ-1" << B{false, false} << QStringList{kPrices, kWithEntries} << ""
                                               << 2 << true << 3 << 13;
}

void TestProductsGroups::deleteProduct()
{
    QFETCH(QString, brand);
    QFETCH(QList<bool>, answers);
    QFETCH(QStringList, questions);
    QFETCH(QString, message);
    QFETCH(int, operationsLeft);
    QFETCH(bool, productLeft);
    QFETCH(int, entriesLeft);
    QFETCH(int, cellLeft);
    for (bool a : answers) m_prompts.answer(a);
    const int id = value(QStringLiteral("select id from cmn_gds_and_srv.gds_and_srv where s_caption = '%1'")
                             .arg(QString(brand).replace(QLatin1String("'"), QLatin1String("''"))))
                       .toInt();
    const int othersOperations = value(QStringLiteral("select count(*) from accounts_dep.oper where i_id <> %1").arg(id)).toInt();
    int recNoAfter = 0;
    whenModal([&](QWidget* list) {
        m_dm->Izdel.locate(QStringLiteral("marka"), brand);
        child<QPushButton>(list, "Button3")->click();
        recNoAfter = m_dm->Izdel.recNo();
        list->close();
    });
    m_form3->openBrowse();
    QStringList expected = questions;
    if (!message.isEmpty()) expected << message;
    QCOMPARE(m_prompts.texts(), expected);
    for (const auto& said : m_prompts.said()) QCOMPARE(said.title, QStringLiteral("Удаление"));
    QCOMPARE(recNoAfter, 1);
    const QString ofProduct = QStringLiteral(" where i_id = %1").arg(id);
    QCOMPARE(value(QStringLiteral("select count(*) from accounts_dep.oper") + ofProduct).toInt(), operationsLeft);
    QCOMPARE(value(QStringLiteral("select count(*) from accounts_dep.smena") + ofProduct).toInt(), entriesLeft);
    QCOMPARE(value(QStringLiteral("select count(*) from cmn_gds_and_srv.gds_and_srv where id = %1").arg(id)).toInt(),
             productLeft ? 1 : 0);
    QCOMPARE(value(QStringLiteral("select coalesce(d5, 0) from accounts_dep.h_tabel where w_id = 1 and smena = 1")).toInt(),
             cellLeft);
    QCOMPARE(value(kCellsOutOfStep).toInt(), 0);
    QCOMPARE(value(QStringLiteral("select count(*) from accounts_dep.oper where i_id <> %1").arg(id)).toInt(),
             othersOperations);   // other products keep theirs
}

void TestProductsGroups::productSearchAndPick()
{
    Caller caller;
    QStringList shown;
    whenModal([&](QWidget* list) {
        auto* edit = child<QLineEdit>(list, "Edit1");
        type(edit, QStringLiteral("дм"));   // letter case ignored
        shown = visibleRows(m_dm->Izdel, QStringLiteral("marka"));
        QTest::keyClick(edit, Qt::Key_Return);
        if (list->isVisible()) list->close();
    });
    m_form3->openPick(caller);
    QCOMPARE(shown, QStringList{QStringLiteral("ДМ-1")});
    QCOMPARE(caller.name.text(), QStringLiteral("ДМ-1"));
    QCOMPARE(caller.keptId, 10001);

    bool searchShown = true, addShown = false;
    whenModal([&](QWidget* list) {
        searchShown = child<QLineEdit>(list, "Edit1")->isVisible();
        addShown = child<QPushButton>(list, "Button1")->isVisible();
        list->close();
    });
    m_form3->openBrowse();
    QVERIFY2(!searchShown, "after a pick the reference book shows no search field");
    QVERIFY(addShown);
}

void TestProductsGroups::groupsNotInUseHiddenFromTheProductDialog()
{
    QStringList offered;
    whenModal([&](QWidget* dialog) {
        auto* groups = child<LookupBox>(dialog, "cb_item");
        for (int i = 0; i < groups->count(); ++i) offered << groups->itemText(i);
        dialog->close();
    });
    m_form7->openForAdd();
    QCOMPARE(offered, (QStringList{QStringLiteral(" Ограждения "), QStringLiteral("Ворота"), QStringLiteral("Двери"),
                                   QStringLiteral("Решётки")}));
}

void TestProductsGroups::productSavedIntoAGroupDeletedMeanwhile()
{
    // Another user deletes the chosen group while the dialog is open: nothing is stored, the
    // user is told, and the dialog stays open with what was typed.
    bool stayed = false;
    QString brand;
    whenModal([&](QWidget* dialog) {
        child<QLineEdit>(dialog, "Edit1")->setText(QStringLiteral("КЗ-1"));
        type(child<QLineEdit>(dialog, "Edit2"), QStringLiteral("2"));
        auto* groups = child<LookupBox>(dialog, "cb_item");
        groups->setCurrentIndex(groups->findText(QStringLiteral("Решётки")));
        m_db->exec(QStringLiteral("delete from cmn_classifier.item where id = 4"));
        child<QPushButton>(dialog, "Button1")->click();
        stayed = dialog->isVisible();
        brand = child<QLineEdit>(dialog, "Edit1")->text();
        dialog->close();
    });
    m_form7->openForAdd();
    QVERIFY(stayed);
    QCOMPARE(brand, QStringLiteral("КЗ-1"));
    QCOMPARE(m_prompts.texts(), QStringList{QStringLiteral("Выбранная номенклатурная группа уже удалена другим пользователем.")});
    QCOMPARE(value(QStringLiteral("select count(*) from cmn_gds_and_srv.gds_and_srv where s_caption = 'КЗ-1'")).toInt(), 0);
}

// ---------------------------------------------------------------- groups

void TestProductsGroups::saveGroup_data()
{
    QTest::addColumn<QString>("change");     // the group changed; empty adds one
    QTest::addColumn<QString>("typed");      // put into Edit1; empty keeps it
    QTest::addColumn<bool>("tick");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shownName");
    QTest::addColumn<bool>("shownTicked");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("excluded");
    QTest::newRow("new, trimmed, not in use") << "" << "  Козырьки  " << true << "" << "" << false << "Козырьки" << 1;
    QTest::newRow("new, in use") << "" << "Навесы" << false << "" << "" << false << "Навесы" << 0;
    QTest::newRow("new, empty refused") << "" << "   " << false << "Все поля должны быть заполнены!" << "" << false << ""
                                        << 0;
    QTest::newRow("change, trimmed shown, marked not in use") << " Ограждения " << "" << true << "" << "Ограждения"
                                                              << false << "Ограждения" << 1;
    QTest::newRow("change, taken back into use") << "Сейфы" << "Сейфы стальные" << false << "" << "Сейфы" << true
                                                 << "Сейфы стальные" << 0;
}

void TestProductsGroups::saveGroup()
{
    QFETCH(QString, change);
    QFETCH(QString, typed);
    QFETCH(bool, tick);
    QFETCH(QString, message);
    QFETCH(QString, shownName);
    QFETCH(bool, shownTicked);
    QFETCH(QString, stored);
    QFETCH(int, excluded);
    const int before = value(QStringLiteral("select count(*) from cmn_classifier.item")).toInt();
    QString caption, seenName;
    bool seenTicked = false, stayed = false;
    QStringList listAfter;
    whenModal([&](QWidget* list) {
        whenModal([&](QWidget* dialog) {
            caption = dialog->windowTitle();
            seenName = child<QLineEdit>(dialog, "Edit1")->text();
            seenTicked = child<QCheckBox>(dialog, "CheckBox1")->isChecked();
            if (!typed.isEmpty()) child<QLineEdit>(dialog, "Edit1")->setText(typed);
            child<QCheckBox>(dialog, "CheckBox1")->setChecked(tick);
            QTest::keyClick(dialog, Qt::Key_Return);
            stayed = dialog->isVisible();
            if (stayed) child<QPushButton>(dialog, "Button6")->click();
        });
        if (!change.isEmpty()) m_form26->item.locate(QStringLiteral("s_caption"), change);
        child<QPushButton>(list, change.isEmpty() ? "Button2" : "Button3")->click();
        listAfter = visibleRows(m_form26->item, QStringLiteral("s_caption"));
        list->close();
    });
    m_form26->openBrowse();
    QCOMPARE(caption, QStringLiteral("Ведение групп (29)"));
    QCOMPARE(m_prompts.texts(), message.isEmpty() ? QStringList() : QStringList{message});
    QCOMPARE(stayed, !message.isEmpty());
    if (!change.isEmpty()) {
        QCOMPARE(seenName, shownName);
        QCOMPARE(seenTicked, shownTicked);
    }
    QCOMPARE(value(QStringLiteral("select count(*) from cmn_classifier.item")).toInt(),
             before + (message.isEmpty() && change.isEmpty() ? 1 : 0));
    if (!message.isEmpty()) return;
    QVERIFY(listAfter.contains(stored));
    Statement read(QStringLiteral("select b_excluded, id_level::int, id_classifier::int from cmn_classifier.item where s_caption = :n"));
    read.setParam(QStringLiteral("n"), stored);
    QSqlQuery q = read.exec(m_db->db());
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toInt(), excluded);
    QCOMPARE(q.value(1).toInt(), 2);   // a nomenclature group, by the database's defaults
    QCOMPARE(q.value(2).toInt(), 1);
}

void TestProductsGroups::deleteGroupGuards_data()
{
    QTest::addColumn<QString>("group");
    QTest::addColumn<QString>("message");   // empty: deleted at once
    QTest::addColumn<int>("recNoAfter");    // 0: the row it stood on
    QTest::newRow("with products") << "Двери" << "В номенклатурной группе есть изделия." << 0;
    QTest::newRow("products come first") << "Ворота" << "В номенклатурной группе есть изделия." << 0;
    QTest::newRow("with hour entries") << "Решётки" << "В номенклатурной группе есть операции." << 0;
    QTest::newRow("unused, deleted without a question") << "Козырьки" << "" << 0;
    QTest::newRow("unused last row, first row after") << "Сейфы" << "" << 1;
}

void TestProductsGroups::deleteGroupGuards()
{
    QFETCH(QString, group);
    QFETCH(QString, message);
    QFETCH(int, recNoAfter);
    m_db->exec(QStringLiteral("insert into cmn_classifier.item (id, s_caption, id_level) values (6, 'Козырьки', 2)"));
    if (group == QStringLiteral("Ворота"))   // entries on the group's products too: still the products' message
        m_db->exec(QStringLiteral("insert into accounts_dep.fatigue (id_nom, id_o, id_p, d_date, cnt) values (2, 7777, 1, date '2024-03-08', 1)"));
    int recNoBefore = 0, recNoSeen = 0;
    whenModal([&](QWidget* list) {
        m_form26->item.locate(QStringLiteral("s_caption"), group);
        recNoBefore = m_form26->item.recNo();
        child<QPushButton>(list, "Button1")->click();
        recNoSeen = m_form26->item.recNo();
        list->close();
    });
    m_form26->openBrowse();
    QCOMPARE(m_prompts.texts(), message.isEmpty() ? QStringList() : QStringList{message});
    for (const auto& said : m_prompts.said()) {
        QCOMPARE(said.title, QStringLiteral("Удаление"));
        QCOMPARE(said.kind, ScriptedPrompts::Said::Error);
    }
    QCOMPARE(m_db->scalar(QStringLiteral("select count(*) from cmn_classifier.item where s_caption = '%1'").arg(group)).toInt(),
             message.isEmpty() ? 0 : 1);
    QCOMPARE(recNoSeen, recNoAfter ? recNoAfter : recNoBefore);
}

void TestProductsGroups::groupPickShowsGroupsInUseUntilSearched()
{
    Caller caller;
    QStringList atFirst, searched, marks;
    whenModal([&](QWidget* list) {
        atFirst = visibleRows(m_form26->item, QStringLiteral("s_caption"));
        type(child<QLineEdit>(list, "Edit1"), QStringLiteral("с"));
        searched = visibleRows(m_form26->item, QStringLiteral("s_caption"));
        QTest::keyClick(child<QLineEdit>(list, "Edit1"), Qt::Key_Backspace);
        m_form26->item.locate(QStringLiteral("s_caption"), QStringLiteral(" Ограждения "));
        child<QPushButton>(list, "Button3")->click();
        if (list->isVisible()) list->close();
    });
    m_form26->openPick(caller);
    QCOMPARE(atFirst, (QStringList{QStringLiteral(" Ограждения "), QStringLiteral("Ворота"), QStringLiteral("Двери"),
                                   QStringLiteral("Решётки")}));
    QCOMPARE(searched, QStringList{QStringLiteral("Сейфы")});
    QCOMPARE(caller.name.text(), QStringLiteral(" Ограждения "));   // as stored
    QCOMPARE(caller.keptId, 5);

    bool addShown = false, deleteShown = false;
    whenModal([&](QWidget* list) {
        addShown = child<QPushButton>(list, "Button2")->isVisible();
        deleteShown = child<QPushButton>(list, "Button1")->isVisible();
        marks = visibleRows(m_form26->item, QStringLiteral("s_excl"));
        list->close();
    });
    m_form26->openBrowse();
    QVERIFY(addShown && deleteShown);
    QCOMPARE(marks, (QStringList{"", "", "", "", "V"}));
}

void TestProductsGroups::groupDeleteWaitsForAProductBeingSaved()
{
    // Another client is storing a product into a group, holding the group as the product dialog
    // does, when the group is deleted here: the guard sees the product once it is stored and
    // refuses, instead of deleting the group from under it.
    m_db->exec(QStringLiteral("insert into cmn_classifier.item (id, s_caption, id_level) values (6, 'Козырьки', 2)"));
    std::promise<void> holding;
    std::thread other([&] {
        {
            QSqlDatabase db = m_db->openAnother(QStringLiteral("other client"));
            Transaction tx(db);
            execSql(db, QStringLiteral("select id from cmn_classifier.item where id = 6 for share"));
            execSql(db, QStringLiteral("insert into cmn_gds_and_srv.gds_and_srv (s_caption, massa, id_class_item) values ('КЗ-2', 1, 6)"));
            holding.set_value();
            QThread::msleep(300);
            tx.commit();
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("other client"));
    });
    holding.get_future().wait();
    whenModal([&](QWidget* list) {
        m_form26->item.locate(QStringLiteral("s_caption"), QStringLiteral("Козырьки"));
        child<QPushButton>(list, "Button1")->click();
        list->close();
    });
    m_form26->openBrowse();
    other.join();
    QCOMPARE(m_prompts.texts(), QStringList{QStringLiteral("В номенклатурной группе есть изделия.")});
    QCOMPARE(value(QStringLiteral("select count(*) from cmn_classifier.item where id = 6")).toInt(), 1);
}

// ---------------------------------------------------------------- races and values

void TestProductsGroups::numberSetWithoutKeys_data()
{
    // Put into the field as assistive technology does, past the key filter.
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");   // empty when stored
    QTest::addColumn<double>("stored");
    const QString negative = QStringLiteral("Расценка не может быть отрицательной!");
    const QString tooLarge = QStringLiteral("Расценка слишком велика: до запятой не больше 22 цифр!");
    const QString notANumber = QStringLiteral("Расценка должна быть числом!");
    QTest::newRow("negative") << "-1" << negative << 0.0;
    QTest::newRow("negative fraction") << "-0.5" << negative << 0.0;
    QTest::newRow("over the column, exponent") << "1e22" << tooLarge << 0.0;
    QTest::newRow("over the column, digits") << "100000000000000000000000" << tooLarge << 0.0;
    QTest::newRow("beyond any number") << "1e400" << notANumber << 0.0;
    QTest::newRow("letters") << "две" << notANumber << 0.0;
    QTest::newRow("largest that fits") << "9.99e21" << "" << 9.99e21;
}

void TestProductsGroups::numberSetWithoutKeys()
{
    QFETCH(QString, text);
    QFETCH(QString, message);
    QFETCH(double, stored);
    const int before = value(QStringLiteral("select count(*) from cmn_gds_and_srv.gds_and_srv")).toInt();
    whenModal([&](QWidget* dialog) {
        child<QLineEdit>(dialog, "Edit1")->setText(QStringLiteral("НН-9"));
        child<QLineEdit>(dialog, "Edit2")->setText(text);
        auto* groups = child<LookupBox>(dialog, "cb_item");
        groups->setCurrentIndex(groups->findText(QStringLiteral("Двери")));
        child<QPushButton>(dialog, "Button1")->click();
        if (dialog->isVisible()) child<QPushButton>(dialog, "Button2")->click();
    });
    m_form7->openForAdd();
    QCOMPARE(m_prompts.texts(), message.isEmpty() ? QStringList() : QStringList{message});
    if (!message.isEmpty()) QCOMPARE(m_prompts.said().at(0).title, QStringLiteral("Ошибка"));
    QCOMPARE(value(QStringLiteral("select count(*) from cmn_gds_and_srv.gds_and_srv")).toInt(),
             before + (message.isEmpty() ? 1 : 0));
    if (message.isEmpty())
        QCOMPARE(value(QStringLiteral("select massa::float8 from cmn_gds_and_srv.gds_and_srv where s_caption = 'НН-9'")).toDouble(),
                 stored);
}

void TestProductsGroups::brandTwinSavedMeanwhileByAnotherClient()
{
    // Another client is saving the brand "Гонка" and has not committed yet: the save here waits
    // for it and then finds the twin.
    OtherClient other(*m_db, [](const QSqlDatabase& db) {
        references::lockNames(db, QStringLiteral("accounts_dep.izdel"));
        execSql(db, QStringLiteral("insert into cmn_gds_and_srv.gds_and_srv (s_caption, massa, id_class_item) values ('Гонка', 1, 2)"));
    });
    whenModal([&](QWidget* dialog) {
        child<QLineEdit>(dialog, "Edit1")->setText(QStringLiteral("ГОНКА"));
        type(child<QLineEdit>(dialog, "Edit2"), QStringLiteral("1"));
        auto* groups = child<LookupBox>(dialog, "cb_item");
        groups->setCurrentIndex(groups->findText(QStringLiteral("Двери")));
        child<QPushButton>(dialog, "Button1")->click();
        if (dialog->isVisible()) child<QPushButton>(dialog, "Button2")->click();
    });
    m_form7->openForAdd();
    const bool waited = other.finish();
    QCOMPARE(other.error(), QString());
    QVERIFY2(waited, "nothing here waited for the other client");
    QCOMPARE(m_prompts.texts(), QStringList{QStringLiteral("Такая марка изделия уже заведена!")});
    QCOMPARE(value(QStringLiteral("select count(*) from cmn_gds_and_srv.gds_and_srv where upper(s_caption) = 'ГОНКА'")).toInt(), 1);
}

void TestProductsGroups::productDeleteWaitsForASaveHoldingIt_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("saved");           // what the other client stores while it holds the product
    QTest::addColumn<QStringList>("questions");   // all answered Yes
    QTest::newRow("an operation being saved")
        << 10003 << "insert into accounts_dep.oper (id, vid, naimen, i_id) values (6, 1, 0, 10003)" << QStringList{kPlain};
    QTest::newRow("a journal entry being saved")
        << 10005
        << "insert into accounts_dep.smena (w_id, i_id, o_id, data, smena, kol_vo, time, ok) "
           "values (1, 10005, 5, date '2024-03-08', 1, 2, 1, 'no')"
        << QStringList{kPrices, kPlain};
}

void TestProductsGroups::productDeleteWaitsForASaveHoldingIt()
{
    // Another client saves something of the product while its deletion is being answered here,
    // holding the product as every save does: the deletion waits for it, sees what was not
    // agreed to, and deletes nothing.
    QFETCH(int, id);
    QFETCH(QString, saved);
    QFETCH(QStringList, questions);
    const QString state = QStringLiteral(
        "select concat_ws('/', (select count(*) from cmn_gds_and_srv.gds_and_srv where id = %1),"
        " (select count(*) from accounts_dep.oper where i_id = %1), (select count(*) from accounts_dep.smena where i_id = %1))")
                              .arg(id);
    OtherClient other(*m_db, [&](const QSqlDatabase& db) {
        references::hold(db, references::Row::Product, id);
        execSql(db, saved);
    });
    for (int i = 0; i < questions.size(); ++i) m_prompts.answer(true);
    whenModal([&](QWidget* list) {
        m_dm->Izdel.locate(QStringLiteral("id"), id);
        child<QPushButton>(list, "Button3")->click();
        list->close();
    });
    m_form3->openBrowse();
    const bool waited = other.finish();
    QCOMPARE(other.error(), QString());
    QVERIFY2(waited, "nothing here waited for the other client");
    QCOMPARE(m_prompts.texts(), questions + QStringList{QStringLiteral(
                                    "Изделие не удалено: пока шло удаление, по нему записаны новые операции или "
                                    "расценки. Список обновлён.")});
    QCOMPARE(value(state).toString(), id == 10003 ? QStringLiteral("1/1/0") : QStringLiteral("1/1/1"));
}

// ---------------------------------------------------------------- every dialog

void TestProductsGroups::labelsNameTheirFields_data()
{
    QTest::addColumn<QString>("dialog");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("field");
    QTest::newRow("worker, name") << "Form2" << "ФИО" << "Edit1";
    QTest::newRow("worker, department") << "Form2" << "Подразделение" << "LCB_department";
    QTest::newRow("worker, position") << "Form2" << "Должность" << "LCB_staffpos";
    QTest::newRow("worker, role") << "Form2" << "Роль" << "LCB_roles";
    QTest::newRow("operation kind") << "Form9" << "Операция" << "Edit1";
    QTest::newRow("product, brand") << "Form7" << "Марка" << "Edit1";
    QTest::newRow("product, number") << "Form7" << "Расценка" << "Edit2";
    QTest::newRow("group, name") << "Form29" << "Наименование" << "Edit1";
}

void TestProductsGroups::labelsNameTheirFields()
{
    QFETCH(QString, dialog);
    QFETCH(QString, label);
    QFETCH(QString, field);
    TForm2 form2(*m_dm);
    TForm9 form9(*m_dm);
    QWidget* window = dialog == QLatin1String("Form2") ? static_cast<QWidget*>(&form2)
        : dialog == QLatin1String("Form9")            ? static_cast<QWidget*>(&form9)
        : dialog == QLatin1String("Form7")            ? static_cast<QWidget*>(m_form7)
                                                      : static_cast<QWidget*>(m_form29);
    QLabel* found = nullptr;
    for (QLabel* l : window->findChildren<QLabel*>())
        if (l->text() == label) found = l;
    QVERIFY2(found, qPrintable(label));
    QVERIFY2(found->buddy(), "the label names no field");
    QCOMPARE(found->buddy()->objectName(), field);
}

QTEST_MAIN(TestProductsGroups)
#include "tst_products_groups.moc"
