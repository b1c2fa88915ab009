#include "data/data_module.h"
#include "data/dataset.h"
#include "export/excel_export.h"
#include "refbooks/norms_grid.h"
#include "refbooks/operation_dialog.h"
#include "refbooks/operations_list.h"
#include "refbooks/pick_targets.h"
#include "refbooks/refbook_list.h"
#include "refbooks/refbook_dialog.h"
#include "data/references.h"
#include "tests/refbooks/other_client.h"
#include "tests/support/books_fixture.h"
#include "tests/support/gui_steps.h"
#include "tests/support/modal.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/test_database.h"
#include "tests/support/workbook_reader.h"
#include "ui/data_grid.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Products, kinds and operations in the list's order (brand, kind, class):
//   1 ДМ-1 Резка, two norms (15 and 10.25), own price 12.5
//   2 ДМ-1 Резка, blanks, one norm (8)
//   3 КР-200 Резка, one norm, used by a journal entry
//   5 КР-200 Сварка, no norm
//   4 О'Кей 100%_ Покраска, one norm, no own price
//   6 Хоз. работы, the hourly price of utility works, used by an hour entry
const QString kFixture = books_fixture::kEmptyBooks + QStringLiteral(R"(
    insert into cmn_gds_and_srv.gds_and_srv (id, s_caption) values
      (10001, 'ДМ-1'), (10002, 'КР-200'), (10003, 'О''Кей 100%_'), (7777, 'Хоз. работы');
    insert into accounts_dep.vid_oper (id, vid) values (1, 'Резка'), (2, 'Сварка'), (3, ' Покраска '), (7777, 'хоз. работы');
    insert into accounts_dep.oper (id, vid, naimen, i_id, cena_new) values
      (1, 1, 0, 10001, 12.5), (2, 1, 1, 10001, 7), (3, 1, 0, 10002, 3), (4, 3, 0, 10003, null), (5, 2, 0, 10002, 0),
      (6, 7777, 0, 7777, 180);
    select setval('accounts_dep.oper_id_seq', 6);
    insert into accounts_dep.norm (o_id, price, norma, prize) values
      (1, 15, 100, 5), (1, 10.25, 50, 0), (2, 8, 20, 0), (3, 4.5, 10, 0), (4, 6, 5, 0), (6, 180, 0, 0);
    insert into accounts_dep.smena (data, smena, w_id, i_id, o_id, cena, kol_vo, brak, ok)
      values ('2026-01-05', 1, 1, 10002, 3, 4.5, 10, 0, 'no');
    insert into accounts_dep.fatigue (id_nom, id_o, id_p, d_date, i_mnth, i_year, cnt, price)
      values (1, 7777, 1, '2026-01-05', 1, 2026, 8, 180);
)");

const QList<int> kListed = {1, 2, 3, 4, 6};
const QList<int> kListedWithBare = {1, 2, 3, 5, 4, 6};

class Caller : public OperationPickTarget {
public:
    QList<PickedOperation> picked;
    void takeOperation(const PickedOperation& operation) override { picked << operation; }
};

class KeepingOpener : public SpreadsheetOpener {
public:
    QStringList opened;
    bool open(const QString& filePath) override
    {
        opened << filePath;
        return true;
    }
};

QList<int> ids(const Dataset& ds)
{
    QList<int> out;
    for (int r = 0; r < ds.recordCount(); ++r) out << int(Dataset::toLongLong(ds.valueAt(r, QStringLiteral("id"))));
    return out;
}

// Lets queued work run: the grid stores a cell after Enter, and tells of a refusal after that.
void settle()
{
    for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
}

// Types into a cell of the norms grid and finishes it with a key (Tab, Return or Escape).
void typeIntoCell(QTableView* grid, int row, int column, const QString& text, Qt::Key finish = Qt::Key_Return)
{
    grid->setCurrentIndex(grid->model()->index(row, column));
    if (!grid->indexWidget(grid->currentIndex())) grid->edit(grid->currentIndex());   // Tab opened it already
    auto* editor = qobject_cast<QLineEdit*>(grid->indexWidget(grid->currentIndex()));
    QVERIFY(editor);
    editor->clear();
    type(editor, text);
    QTest::keyClick(editor, finish);
    settle();
}

QString cellText(QTableView* grid, int row, int column)
{
    return grid->model()->index(row, column).data().toString();
}

// The first sheet of a workbook as rows of values, read by openpyxl.
QJsonArray readValues(const QString& path)
{
    QProcess python;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PYTHONIOENCODING"), QStringLiteral("utf-8"));
    python.setProcessEnvironment(env);
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral("import json, sys, openpyxl\n"
                                 "sheet = openpyxl.load_workbook(sys.argv[1]).worksheets[0]\n"
                                 "print(json.dumps([[c.value for c in row] for row in sheet.iter_rows()]))\n"),
                  path});
    if (!python.waitForFinished(30000) || python.exitCode() != 0) {
        qWarning().noquote() << python.readAllStandardError();
        return {};
    }
    return QJsonDocument::fromJson(python.readAllStandardOutput()).array();
}

} // namespace

class TestOperations : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void browsedListIsSearchedToo();
    void searchKeepsBrandsContainingTheText_data();
    void searchKeepsBrandsContainingTheText();
    void listedOperationsByModeAndBox();
    void doubleClick_data();
    void doubleClick();
    void pickHandsOverTheRow();

    void saveOperation_data();
    void saveOperation();
    void newOperationGetsItsFirstNorm();

    void normsEditedInPlaceAndListUpdated();
    void refusedNormText_data();
    void refusedNormText();
    void lastNormIsKept();
    void newRowWithoutPriceIsNotLeftBehind();
    void rowsDeletedElsewhereAreReported();

    void deleteOperation_data();
    void deleteOperation();
    void deleteWaitsForAnEntryBeingSaved();

    void operationWithAReferenceDeletedMeanwhile_data();
    void operationWithAReferenceDeletedMeanwhile();
    void normOfAnOperationDeletedMeanwhile();
    void twinOperationSavedMeanwhileByAnotherClient();
    void normValuesSetWithoutKeys_data();
    void normValuesSetWithoutKeys();
    void operationFieldsSetWithoutPicks_data();
    void operationFieldsSetWithoutPicks();

    void exportListsEveryOperation();

private:
    int count(const QString& sql) const { return m_db->scalar(sql).toInt(); }
    void pickFor(TForm10& dialog, int kind, const QString& kindName, int product, const QString& brand);

    TestDatabase* m_db = nullptr;
    ScriptedPrompts m_prompts;
    TDataModule6* m_dm = nullptr;
    QTemporaryDir* m_folder = nullptr;
    KeepingOpener m_opener;
    ExcelApp* m_excel = nullptr;
    TForm10* m_form10 = nullptr;
    TForm22* m_form22 = nullptr;
    TForm4* m_form4 = nullptr;
};

void TestOperations::initTestCase()
{
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    m_db = new TestDatabase(QStringLiteral("operations"));
    m_dm = new TDataModule6(m_db->db(), m_prompts);
    m_folder = new QTemporaryDir;
    m_excel = new ExcelApp(m_prompts, m_opener, m_folder->path());
    m_form10 = new TForm10(*m_dm);
    m_form22 = new TForm22(*m_dm);
    m_form4 = new TForm4(*m_dm, *m_form10, *m_form22, *m_excel);
}

void TestOperations::cleanupTestCase()
{
    delete m_form4;
    delete m_form22;
    delete m_form10;
    delete m_excel;
    delete m_folder;
    delete m_dm;
    delete m_db;
}

void TestOperations::init()
{
    m_db->exec(kFixture);
    m_form4->CheckBox1->setChecked(false);
    m_form4->Edit1->clear();
    m_prompts.clear();
}

void TestOperations::cleanup()
{
    settle();
    QVERIFY2(!m_prompts.unexpectedQuestion(), "a question nobody expected");
    QVERIFY(noWindowsLeftOpen());
}

void TestOperations::pickFor(TForm10& dialog, int kind, const QString& kindName, int product, const QString& brand)
{
    // What the operation kinds and products lists hand back on a pick.
    dialog.pickKind = [=](OperationKindPickTarget& target) {
        target.pickedKindId() = kind;
        target.pickedKindName()->setText(kindName);
    };
    dialog.pickProduct = [=](ProductPickTarget& target) {
        target.pickedProductId() = product;
        target.pickedProductName()->setText(brand);
    };
}

// ---------------------------------------------------------------- the list

void TestOperations::searchKeepsBrandsContainingTheText_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QList<int>>("expected");
    QTest::newRow("from the middle of a brand") << "М-1" << QList<int>{1, 2};
    QTest::newRow("letter case ignored") << "р-2" << QList<int>{3};
    QTest::newRow("blanks only show all") << "   " << kListed;
    QTest::newRow("apostrophe") << "'К" << QList<int>{4};
    QTest::newRow("percent taken literally") << "0%" << QList<int>{4};
    QTest::newRow("underscore taken literally") << "_" << QList<int>{4};
    QTest::newRow("nothing matches") << "Я" << QList<int>{};
}

void TestOperations::searchKeepsBrandsContainingTheText()
{
    QFETCH(QString, typed);
    QFETCH(QList<int>, expected);
    QList<int> shown;
    int gridRows = -1;
    whenModal([&](QWidget* list) {
        type(child<QLineEdit>(list, "Edit1"), typed);
        shown = ids(m_dm->Oper);
        gridRows = child<DataGrid>(list, "DBGrid1")->model()->rowCount();
        list->close();
    });
    m_form4->openBrowse();
    QCOMPARE(shown, expected);
    QCOMPARE(gridRows, expected.size());
    QVERIFY(!m_dm->Oper.isOpen());
}

void TestOperations::listedOperationsByModeAndBox()
{
    struct Seen {
        QList<int> ids;
        QStringList titles, first;  // the shown columns' titles and the cells of the first row
        QString bareNorms, barePrice;
    };
    auto look = [this](Seen& seen, bool tickBox) {
        return [this, &seen, tickBox](QWidget* list) {
            if (tickBox) child<QCheckBox>(list, "CheckBox1")->click();
            auto* grid = child<DataGrid>(list, "DBGrid1");
            seen.ids = ids(m_dm->Oper);
            for (int c = 0; c < grid->model()->columnCount(); ++c)
                if (!grid->isColumnHidden(c)) {
                    seen.titles << grid->model()->headerData(c, Qt::Horizontal).toString();
                    seen.first << grid->model()->index(0, c).data().toString();
                }
            const int bare = seen.ids.indexOf(5);
            if (bare >= 0) {
                seen.barePrice = grid->model()->index(bare, 2).data().toString();
                seen.bareNorms = grid->model()->index(bare, 7).data().toString();
            }
            list->close();
        };
    };
    Seen plain, ticked, picking;
    whenModal(look(plain, false));
    m_form4->openBrowse();
    whenModal(look(ticked, true));
    m_form4->openBrowse();
    Caller caller;
    whenModal(look(picking, false));
    m_form4->openPick(caller);

    QCOMPARE(plain.titles, (QStringList{"Марка", "Опреция", "Цена (min)", "Вид", "Нормы (шт.)"}));
    QCOMPARE(plain.ids, kListed);
    QCOMPARE(plain.first, (QStringList{"ДМ-1", "Резка", "10,25", "Готовая продукция", "2"}));
    QCOMPARE(ticked.ids, kListedWithBare);
    QCOMPARE(ticked.barePrice, QString());
    QCOMPARE(ticked.bareNorms, QStringLiteral("0"));
    QVERIFY(m_form4->CheckBox1->isChecked());
    QCOMPARE(picking.ids, kListed);   // the picker never offers an operation without norms
    QVERIFY(caller.picked.isEmpty());
    QCOMPARE(m_dm->Oper.sql(), sql::Oper);
    m_dm->Oper.close();
}

void TestOperations::doubleClick_data()
{
    QTest::addColumn<bool>("ticked");
    QTest::addColumn<bool>("picking");
    QTest::addColumn<QString>("opens");   // the window the double click opens; empty when it picks
    QTest::newRow("reference, Цены ticked: norms") << true << false << "Норматив";
    QTest::newRow("reference, unticked: price dialog") << false << false << "Изменение данных о цене за операцию";
    QTest::newRow("pick, unticked: picks") << false << true << "";
    QTest::newRow("pick, Цены ticked: picks") << true << true << "";
}

void TestOperations::doubleClick()
{
    QFETCH(bool, ticked);
    QFETCH(bool, picking);
    QFETCH(QString, opens);
    m_form4->CheckBox1->setChecked(ticked);
    QString opened;
    int normRows = -1;
    bool listOpenAfter = false;
    whenModal([&](QWidget* list) {
        if (!opens.isEmpty())
            whenModal([&](QWidget* dialog) {
                opened = dialog->windowTitle();
                if (dialog == m_form22) normRows = m_form22->DBGrid1->model()->rowCount();
                dialog->close();
            });
        doubleClickRow(child<DataGrid>(list, "DBGrid1"), 1);
        settle();
        listOpenAfter = list->isVisible();
        if (listOpenAfter) list->close();
    });
    Caller caller;
    if (picking) m_form4->openPick(caller);
    else m_form4->openBrowse();
    QCOMPARE(opened, opens);
    QCOMPARE(listOpenAfter, !picking);
    QCOMPARE(caller.picked.size(), picking ? 1 : 0);
    if (picking) QCOMPARE(caller.picked.at(0).id, 2);
    if (opens == QLatin1String("Норматив")) QCOMPARE(normRows, 1);
    QCOMPARE(count(QStringLiteral("select count(*) from accounts_dep.norm")), 6);
    m_dm->Oper.close();
}

void TestOperations::pickHandsOverTheRow()
{
    Caller caller;
    bool focused = false, changeDefault = false, addVisible = true;
    int startRecNo = 0;
    whenModal([&](QWidget* list) {
        startRecNo = m_dm->Oper.recNo();
        focused = child<QLineEdit>(list, "Edit1")->hasFocus();
        changeDefault = child<QPushButton>(list, "Button2")->isDefault();
        addVisible = child<QPushButton>(list, "Button1")->isVisible();
        type(child<QLineEdit>(list, "Edit1"), QStringLiteral("дм"));
        QTest::keyClick(child<QLineEdit>(list, "Edit1"), Qt::Key_Return);
        if (list->isVisible()) list->close();
    });
    m_form4->openPick(caller, 3);
    QCOMPARE(startRecNo, 3);   // the entry's own operation is current
    QVERIFY(focused && changeDefault && !addVisible);
    QCOMPARE(caller.picked.size(), 1);
    const PickedOperation& op = caller.picked.at(0);
    QCOMPARE(op.id, 1);
    QCOMPARE(op.productId, 10001);
    QCOMPARE(op.naimen, 0);
    QCOMPARE(op.vid, QStringLiteral("Резка"));
    QCOMPARE(op.basePrice.toDouble(), 10.25);
    // Afterwards: the filter lifted, the search hidden, Выбрать no longer default, Oper still open.
    QVERIFY(m_dm->Oper.isOpen());
    QCOMPARE(m_dm->Oper.recordCount(), kListed.size());
    QVERIFY(!m_form4->Edit1->isVisibleTo(m_form4));
    QVERIFY(!m_form4->Button2->isDefault());
    m_dm->Oper.close();
}

// ---------------------------------------------------------------- the price dialog

void TestOperations::saveOperation_data()
{
    QTest::addColumn<int>("changeId");    // 0 adds
    QTest::addColumn<int>("kind");        // picked; 0 picks nothing
    QTest::addColumn<int>("product");
    QTest::addColumn<int>("naimen");      // the class chosen
    QTest::addColumn<QString>("message"); // empty when saved
    const QString twin = QStringLiteral("Операция с такими параметрами уже заведена!");
    QTest::newRow("add, nothing picked") << 0 << 0 << 0 << 0 << "Все поля должны быть заполнены!";
    QTest::newRow("add, twin") << 0 << 1 << 10001 << 0 << twin;
    QTest::newRow("add, twin of an operation without norms") << 0 << 2 << 10002 << 0 << twin;
    QTest::newRow("change, unchanged") << 1 << 0 << 0 << 0 << "";
    QTest::newRow("change, class to a twin's") << 2 << 0 << 0 << 0 << twin;
    QTest::newRow("change, kind to a twin's") << 5 << 1 << 10002 << 0 << twin;
    QTest::newRow("change, class") << 3 << 0 << 0 << 1 << "";
    QTest::newRow("change, kind and product") << 4 << 2 << 10001 << 0 << "";
}

void TestOperations::saveOperation()
{
    QFETCH(int, changeId);
    QFETCH(int, kind);
    QFETCH(int, product);
    QFETCH(int, naimen);
    QFETCH(QString, message);
    const bool saves = message.isEmpty();
    if (kind) pickFor(*m_form10, kind, QStringLiteral("вид"), product, QStringLiteral("изделие"));
    else {
        m_form10->pickKind = nullptr;
        m_form10->pickProduct = nullptr;
    }
    m_form4->CheckBox1->setChecked(true);   // the operation without norms is listed too
    const QString all = QStringLiteral(
        "select string_agg(concat_ws(',', id, vid, naimen, i_id, cena_new), ';' order by id) from accounts_dep.oper");
    const QString before = m_db->scalar(all).toString();
    const int kindBefore = m_db->scalar(QStringLiteral("select vid from accounts_dep.oper where id = %1").arg(changeId)).toInt();
    const int productBefore = m_db->scalar(QStringLiteral("select i_id from accounts_dep.oper where id = %1").arg(changeId)).toInt();

    QString caption, shownBrand, shownKind;
    int shownClass = -1;
    bool stayed = false;
    whenModal([&](QWidget* list) {
        whenModal([&](QWidget* dialog) {
            caption = dialog->windowTitle();
            shownBrand = child<QLineEdit>(dialog, "Edit1")->text();
            shownKind = child<QLineEdit>(dialog, "Edit2")->text();
            shownClass = child<QComboBox>(dialog, "ComboBox1")->currentIndex();
            if (kind) {
                child<QPushButton>(dialog, "Button3")->click();
                child<QPushButton>(dialog, "Button4")->click();
            }
            child<QComboBox>(dialog, "ComboBox1")->setCurrentIndex(naimen);
            QTest::keyClick(dialog, Qt::Key_Return);
            stayed = dialog->isVisible();
            if (stayed) child<QPushButton>(dialog, "Button2")->click();
        });
        if (changeId) {
            m_dm->Oper.locate(QStringLiteral("id"), changeId);
            child<QPushButton>(list, "Button2")->click();
        } else {
            child<QPushButton>(list, "Button1")->click();
        }
        list->close();
    });
    m_form4->openBrowse();

    QCOMPARE(m_prompts.texts(), saves ? QStringList() : QStringList{message});
    QCOMPARE(stayed, !saves);
    QCOMPARE(caption, changeId ? QStringLiteral("Изменение данных о цене за операцию")
                               : QStringLiteral("Заведение новой цены за операцию"));
    if (changeId == 1) {
        QCOMPARE(shownBrand, QStringLiteral("ДМ-1"));
        QCOMPARE(shownKind, QStringLiteral("Резка"));
    }
    if (changeId == 2) QCOMPARE(shownClass, 1);
    if (!saves || changeId == 1) {
        QCOMPARE(m_db->scalar(all).toString(), before);
        return;
    }
    QCOMPARE(m_db->scalar(QStringLiteral("select concat_ws(',', vid, naimen, i_id) from accounts_dep.oper where id = %1").arg(changeId)).toString(),
             QStringLiteral("%1,%2,%3").arg(kind ? kind : kindBefore).arg(naimen).arg(product ? product : productBefore));
    QCOMPARE(count(QStringLiteral("select count(*) from accounts_dep.oper")), 6);
}

void TestOperations::newOperationGetsItsFirstNorm()
{
    pickFor(*m_form10, 3, QStringLiteral("Покраска"), 10002, QStringLiteral("КР-200"));
    QString normsCaption;
    int rowsAtStart = -1;
    QString marker;
    QList<int> listedAfter;
    int currentAfter = 0;
    whenModal([&](QWidget* list) {
        whenModal([&](QWidget* dialog) {
            whenModal([&](QWidget* norms) {
                normsCaption = norms->windowTitle();
                auto* grid = child<QTableView>(norms, "DBGrid1");
                rowsAtStart = grid->model()->rowCount();
                marker = grid->model()->headerData(0, Qt::Vertical).toString();
                typeIntoCell(grid, 0, 0, QStringLiteral("40"), Qt::Key_Tab);
                typeIntoCell(grid, 0, 1, QStringLiteral("7,125"), Qt::Key_Tab);
                QTest::keyClick(grid->indexWidget(grid->model()->index(0, 2)), Qt::Key_Escape);   // leaves the bonus cell
                QTest::keyClick(grid, Qt::Key_Escape);                          // saves and closes
            });
            child<QComboBox>(dialog, "ComboBox1")->setCurrentIndex(1);
            child<QPushButton>(dialog, "Button3")->click();
            child<QPushButton>(dialog, "Button4")->click();
            child<QPushButton>(dialog, "Button1")->click();
        });
        child<QPushButton>(list, "Button1")->click();
        listedAfter = ids(m_dm->Oper);
        currentAfter = m_dm->Oper.asInt(QStringLiteral("id"));
        list->close();
    });
    m_form4->openBrowse();
    QCOMPARE(m_prompts.texts(), QStringList());
    QCOMPARE(normsCaption, QStringLiteral("Норматив"));
    QCOMPARE(rowsAtStart, 1);
    QCOMPARE(marker, QStringLiteral("*"));
    QCOMPARE(m_db->scalar(QStringLiteral("select concat_ws(',', vid, naimen, i_id, cena_new) from accounts_dep.oper where id = 7")).toString(),
             QStringLiteral("3,1,10002,0.0000"));
    QCOMPARE(m_db->scalar(QStringLiteral("select concat_ws(',', norma, price, prize) from accounts_dep.norm where o_id = 7")).toString(),
             QStringLiteral("40,7.125,0"));
    QVERIFY(listedAfter.contains(7));
    QCOMPARE(currentAfter, 7);
}

// ---------------------------------------------------------------- the norms grid

void TestOperations::normsEditedInPlaceAndListUpdated()
{
    m_form4->CheckBox1->setChecked(true);
    QStringList titles, shownBefore, shownAfter;
    QString listPrice, listNorms;
    int listRecNo = 0;
    bool closedByEscape = false;
    whenModal([&](QWidget* list) {
        whenModal([&](QWidget* norms) {
            auto* grid = child<QTableView>(norms, "DBGrid1");
            for (int c = 0; c < 3; ++c) titles << grid->model()->headerData(c, Qt::Horizontal).toString();
            for (int r = 0; r < 2; ++r) shownBefore << cellText(grid, r, 0) + "|" + cellText(grid, r, 1) + "|" + cellText(grid, r, 2);
            typeIntoCell(grid, 0, 1, QStringLiteral("9,5"));        // 50 at 10.25 becomes 9.5
            grid->setCurrentIndex(grid->model()->index(1, 0));
            QTest::keyClick(grid, Qt::Key_Down);                    // a new row below the last one
            typeIntoCell(grid, 2, 1, QStringLiteral("1,2345"), Qt::Key_Tab);
            typeIntoCell(grid, 2, 2, QStringLiteral("3"));
            for (int r = 0; r < 3; ++r) shownAfter << cellText(grid, r, 0) + "|" + cellText(grid, r, 1) + "|" + cellText(grid, r, 2);
            QTest::keyClick(grid, Qt::Key_Escape);
            closedByEscape = !norms->isVisible();
            if (!closedByEscape) norms->close();
        });
        m_dm->Oper.setRecNo(1);
        doubleClickRow(child<DataGrid>(list, "DBGrid1"), 0);
        listRecNo = m_dm->Oper.recNo();
        listPrice = child<DataGrid>(list, "DBGrid1")->model()->index(0, 2).data().toString();
        listNorms = child<DataGrid>(list, "DBGrid1")->model()->index(0, 7).data().toString();
        list->close();
    });
    m_form4->openBrowse();
    QCOMPARE(m_prompts.texts(), QStringList());
    QCOMPARE(titles, (QStringList{"Норматив", "Цена", "Премия, %"}));
    QCOMPARE(shownBefore, (QStringList{"50|10,25|0", "100|15,00|5"}));
    QCOMPARE(shownAfter, (QStringList{"50|9,50|0", "100|15,00|5", "0|1,235|3"}));
    QVERIFY(closedByEscape);
    QCOMPARE(m_db->scalar(QStringLiteral("select string_agg(concat_ws(',', norma, price, prize), ';' order by id) from accounts_dep.norm where o_id = 1")).toString(),
             QStringLiteral("100,15,5;50,9.5,0;0,1.2345,3"));
    QCOMPARE(listRecNo, 1);
    QCOMPARE(listPrice, QStringLiteral("1,2345"));
    QCOMPARE(listNorms, QStringLiteral("3"));
}

void TestOperations::refusedNormText_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message");
    QTest::newRow("price, letters") << 1 << "двенадцать" << "«двенадцать» не подходит для столбца «Цена»";
    QTest::newRow("price, empty") << 1 << "" << "«» не подходит для столбца «Цена»";
    QTest::newRow("price, two separators") << 1 << "1,2,3" << "«1,2,3» не подходит для столбца «Цена»";
    QTest::newRow("price, too large") << 1 << "1e400" << "«1e400» не подходит для столбца «Цена»";
    QTest::newRow("standard, a fraction") << 0 << "12,5" << "«12,5» не подходит для столбца «Норматив»";
    QTest::newRow("standard, over the column") << 0 << "2147483648" << "«2147483648» не подходит для столбца «Норматив»";
    QTest::newRow("bonus, letters") << 2 << "5%" << "«5%» не подходит для столбца «Премия, %»";
}

void TestOperations::refusedNormText()
{
    QFETCH(int, column);
    QFETCH(QString, typed);
    QFETCH(QString, message);
    const QString before = m_db->scalar(QStringLiteral("select string_agg(concat_ws(',', id, o_id, norma, price, prize), ';' order by id) from accounts_dep.norm")).toString();
    QString shown;
    bool stillEditable = false;
    whenModal([&](QWidget* norms) {
        auto* grid = child<QTableView>(norms, "DBGrid1");
        typeIntoCell(grid, 0, column, typed);
        shown = cellText(grid, 0, column);
        grid->edit(grid->model()->index(0, column));   // the typed text is there to correct
        auto* editor = qobject_cast<QLineEdit*>(grid->indexWidget(grid->model()->index(0, column)));
        stillEditable = editor && editor->text() == typed;
        if (editor) QTest::keyClick(editor, Qt::Key_Escape);
        norms->close();
    });
    m_form22->openForOperation(1);
    QCOMPARE(m_prompts.said().size(), 1);
    QVERIFY2(m_prompts.said().at(0).text.startsWith(message), qPrintable(m_prompts.said().at(0).text));
    QCOMPARE(m_prompts.said().at(0).title, QStringLiteral("Ошибка"));
    QCOMPARE(shown, typed);
    QVERIFY(stillEditable);
    QCOMPARE(m_db->scalar(QStringLiteral("select string_agg(concat_ws(',', id, o_id, norma, price, prize), ';' order by id) from accounts_dep.norm")).toString(),
             before);
}

void TestOperations::lastNormIsKept()
{
    bool enabledOnLast = true, enabledOnTwo = false;
    whenModal([&](QWidget* norms) {
        enabledOnLast = child<QPushButton>(norms, "Button2")->isEnabled();
        m_form22->Button2Click();   // even when asked directly
        norms->close();
    });
    m_form22->openForOperation(2);
    whenModal([&](QWidget* norms) {
        enabledOnTwo = child<QPushButton>(norms, "Button2")->isEnabled();
        m_form22->DBGrid1->setCurrentIndex(m_form22->DBGrid1->model()->index(1, 0));
        child<QPushButton>(norms, "Button2")->click();   // 15 goes, no question asked
        enabledOnLast = enabledOnLast || child<QPushButton>(norms, "Button2")->isEnabled();
        m_form22->Button2Click();
        norms->close();
    });
    m_form22->openForOperation(1);
    QVERIFY(!enabledOnLast);
    QVERIFY(enabledOnTwo);
    QCOMPARE(m_prompts.said().size(), 0);

    // Ctrl+Delete in the grid asks first, and does not offer the last norm either.
    m_db->exec(QStringLiteral("insert into accounts_dep.norm (o_id, price, norma, prize) values (2, 9, 30, 0)"));
    m_prompts.answer(false);
    m_prompts.answer(true);
    QList<int> rows;
    whenModal([&](QWidget* norms) {
        auto* grid = child<QTableView>(norms, "DBGrid1");
        for (int i = 0; i < 3; ++i) {
            QTest::keyClick(grid, Qt::Key_Delete, Qt::ControlModifier);
            rows << grid->model()->rowCount();
        }
        norms->close();
    });
    m_form22->openForOperation(2);
    QCOMPARE(rows, (QList<int>{2, 1, 1}));
    QCOMPARE(m_prompts.texts(), (QStringList{"Удалить норму?", "Удалить норму?"}));
    QCOMPARE(m_prompts.said().at(0).title, QStringLiteral("Удаление"));
    QCOMPARE(count(QStringLiteral("select count(*) from accounts_dep.norm where o_id = 2")), 1);
    QCOMPARE(count(QStringLiteral("select count(*) from accounts_dep.norm where o_id = 2")), 1);
    QCOMPARE(m_db->scalar(QStringLiteral("select string_agg(price::text, ';') from accounts_dep.norm where o_id = 1")).toString(),
             QStringLiteral("10.25"));
}

void TestOperations::newRowWithoutPriceIsNotLeftBehind()
{
    int rowsAfterMove = -1;
    QString refusal;
    bool stayed = false;
    whenModal([&](QWidget* norms) {
        auto* grid = child<QTableView>(norms, "DBGrid1");
        QTest::keyClick(grid, Qt::Key_Insert);
        grid->setCurrentIndex(grid->model()->index(0, 0));   // an untouched new row goes away
        settle();
        rowsAfterMove = grid->model()->rowCount();
        QTest::keyClick(grid, Qt::Key_Insert);
        typeIntoCell(grid, 1, 0, QStringLiteral("30"));
        QTest::keyClick(grid, Qt::Key_Escape);               // begun without a price: stays
        stayed = norms->isVisible();
        refusal = m_prompts.texts().value(0);
        grid->setCurrentIndex(grid->model()->index(1, 0));
        child<QPushButton>(norms, "Button2")->click();       // drops the begun row
        QTest::keyClick(grid, Qt::Key_Escape);
        if (norms->isVisible()) norms->close();
    });
    m_form22->openForOperation(3);
    QCOMPARE(rowsAfterMove, 1);
    QVERIFY(stayed);
    QVERIFY2(refusal.startsWith(QStringLiteral("Новая норма не записана")), qPrintable(refusal));
    QCOMPARE(count(QStringLiteral("select count(*) from accounts_dep.norm where o_id = 3")), 1);
}

void TestOperations::rowsDeletedElsewhereAreReported()
{
    // The norm and the operation go while their windows are open on another workplace.
    int normRowsAfter = -1;
    whenModal([&](QWidget* norms) {
        auto* grid = child<QTableView>(norms, "DBGrid1");
        m_db->exec(QStringLiteral("delete from accounts_dep.norm where o_id = 2"));
        typeIntoCell(grid, 0, 1, QStringLiteral("9"));
        settle();
        normRowsAfter = grid->model()->rowCount();
        norms->close();
    });
    m_form22->openForOperation(2);
    QCOMPARE(m_prompts.texts(), QStringList{QStringLiteral("Норма не записана: её удалили на другом рабочем месте.")});
    QCOMPARE(normRowsAfter, 0);
    QCOMPARE(count(QStringLiteral("select count(*) from accounts_dep.norm where o_id = 2")), 0);

    m_prompts.clear();
    bool dialogClosed = false;
    QList<int> listed;
    whenModal([&](QWidget* list) {
        whenModal([&](QWidget* dialog) {
            m_db->exec(QStringLiteral("delete from accounts_dep.oper where id = 3"));
            child<QPushButton>(dialog, "Button1")->click();
            dialogClosed = !dialog->isVisible();
            if (!dialogClosed) dialog->close();
        });
        m_dm->Oper.locate(QStringLiteral("id"), 3);
        child<QPushButton>(list, "Button2")->click();
        listed = ids(m_dm->Oper);
        list->close();
    });
    m_form4->openBrowse();
    QCOMPARE(m_prompts.texts(), QStringList{QStringLiteral("Операция не записана: её удалили на другом рабочем месте.")});
    QVERIFY(dialogClosed);
    QVERIFY(!listed.contains(3));
    QCOMPARE(count(QStringLiteral("select count(*) from accounts_dep.oper where id = 3")), 0);
}

// ---------------------------------------------------------------- delete

void TestOperations::deleteOperation_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<QString>("refusal");   // empty when deleted (or not confirmed)
    QTest::newRow("unused, with its norms") << 1 << true << "";
    QTest::newRow("not confirmed") << 1 << false << "";
    QTest::newRow("used by a journal entry") << 3 << true
                                             << "Операцию нельзя удалить: её используют записи журнала (1) и записи часов (0).";
    QTest::newRow("used by hour entries") << 6 << true
                                          << "Операцию нельзя удалить: её используют записи журнала (0) и записи часов (1).";
}

void TestOperations::deleteOperation()
{
    QFETCH(int, id);
    QFETCH(bool, answer);
    QFETCH(QString, refusal);
    const bool deletes = answer && refusal.isEmpty();
    m_prompts.answer(answer);
    QList<int> shown;
    int recNoAfter = 0;
    whenModal([&](QWidget* list) {
        m_dm->Oper.locate(QStringLiteral("id"), id);
        child<QPushButton>(list, "Button3")->click();
        shown = ids(m_dm->Oper);
        recNoAfter = m_dm->Oper.recNo();
        list->close();
    });
    m_form4->openBrowse();
    QStringList said = {QStringLiteral("Удалить операцию?")};
    if (!refusal.isEmpty()) said << refusal;
    QCOMPARE(m_prompts.texts(), said);
    QCOMPARE(m_prompts.said().at(0).title, QStringLiteral("Удаление"));
    QCOMPARE(count(QStringLiteral("select count(*) from accounts_dep.oper where id = %1").arg(id)), deletes ? 0 : 1);
    QCOMPARE(count(QStringLiteral("select count(*) from accounts_dep.norm where o_id = %1").arg(id)) > 0, !deletes);
    QCOMPARE(count(QStringLiteral("select count(*) from accounts_dep.norm")), deletes ? 4 : 6);
    QCOMPARE(shown.contains(id), !deletes);
    if (deletes) QCOMPARE(recNoAfter, 1);
}

void TestOperations::deleteWaitsForAnEntryBeingSaved()
{
    // Another client is saving a journal entry of operation 1, holding the operation as every
    // save does: the delete waits for it, then sees the entry and refuses.
    OtherClient other(*m_db, [](const QSqlDatabase& db) {
        references::hold(db, references::Row::Operation, 1);
        execSql(db, QStringLiteral("insert into accounts_dep.smena (data, smena, w_id, i_id, o_id, cena, kol_vo, brak, ok) "
                                   "values ('2026-01-06', 1, 1, 10001, 1, 15, 2, 0, 'no')"));
    });
    m_prompts.answer(true);
    whenModal([&](QWidget* list) {
        m_dm->Oper.locate(QStringLiteral("id"), 1);
        child<QPushButton>(list, "Button3")->click();
        list->close();
    });
    m_form4->openBrowse();
    const bool waited = other.finish();
    QCOMPARE(other.error(), QString());
    QVERIFY2(waited, "nothing here waited for the other client");
    QCOMPARE(m_prompts.texts(), (QStringList{QStringLiteral("Удалить операцию?"),
                                             QStringLiteral("Операцию нельзя удалить: её используют записи журнала (1) "
                                                            "и записи часов (0).")}));
    QCOMPARE(count(QStringLiteral("select count(*) from accounts_dep.oper where id = 1")), 1);
    QCOMPARE(count(QStringLiteral("select count(*) from accounts_dep.norm where o_id = 1")), 2);
}

// ---------------------------------------------------------------- references and values

void TestOperations::operationWithAReferenceDeletedMeanwhile_data()
{
    QTest::addColumn<int>("changeId");   // 0 adds
    QTest::addColumn<QString>("gone");
    QTest::addColumn<QString>("message");
    const QString product = QStringLiteral("Выбранное изделие уже удалено другим пользователем.");
    const QString kind = QStringLiteral("Выбранный вид операции уже удалён другим пользователем.");
    QTest::newRow("add, product gone") << 0 << "delete from cmn_gds_and_srv.gds_and_srv where id = 10003" << product;
    QTest::newRow("add, kind gone") << 0 << "delete from accounts_dep.vid_oper where id = 2" << kind;
    QTest::newRow("change, product gone") << 4 << "delete from cmn_gds_and_srv.gds_and_srv where id = 10003" << product;
    QTest::newRow("change, kind gone") << 4 << "delete from accounts_dep.vid_oper where id = 2" << kind;
}

void TestOperations::operationWithAReferenceDeletedMeanwhile()
{
    // The product and kind are picked, then deleted on another workplace before "Записать".
    QFETCH(int, changeId);
    QFETCH(QString, gone);
    QFETCH(QString, message);
    pickFor(*m_form10, 2, QStringLiteral("Сварка"), 10003, QStringLiteral("О'Кей 100%_"));
    const QString all = QStringLiteral(
        "select string_agg(concat_ws(',', id, vid, naimen, i_id, cena_new), ';' order by id) from accounts_dep.oper");
    const QString before = m_db->scalar(all).toString();
    bool stayed = false;
    whenModal([&](QWidget* dialog) {
        child<QPushButton>(dialog, "Button3")->click();
        child<QPushButton>(dialog, "Button4")->click();
        m_db->exec(gone);
        child<QPushButton>(dialog, "Button1")->click();
        stayed = dialog->isVisible();
        if (stayed) child<QPushButton>(dialog, "Button2")->click();
    });
    m_dm->Oper.close();
    m_dm->Oper.open();
    if (changeId) {
        QVERIFY(m_dm->Oper.locate(QStringLiteral("id"), changeId));
        m_form10->openForChange(m_dm->Oper);
    } else {
        m_form10->openForAdd();
    }
    m_dm->Oper.close();
    QCOMPARE(m_prompts.texts(), QStringList{message});
    QCOMPARE(m_prompts.said().at(0).title, QStringLiteral("Ошибка"));
    QVERIFY(stayed);
    QCOMPARE(m_db->scalar(all).toString(), before);
}

void TestOperations::normOfAnOperationDeletedMeanwhile()
{
    // The first norm of operation 5 is typed after another workplace deleted the operation.
    int rowsAfter = -1;
    whenModal([&](QWidget* norms) {
        auto* grid = child<QTableView>(norms, "DBGrid1");
        m_db->exec(QStringLiteral("delete from accounts_dep.oper where id = 5"));
        typeIntoCell(grid, 0, 1, QStringLiteral("9"));
        settle();
        rowsAfter = grid->model()->rowCount();
        norms->close();
    });
    m_form22->openForOperation(5);
    QCOMPARE(m_prompts.texts(), QStringList{QStringLiteral("Норма не записана: операцию удалили на другом рабочем месте.")});
    QCOMPARE(rowsAfter, 0);
    QCOMPARE(count(QStringLiteral("select count(*) from accounts_dep.norm where o_id = 5")), 0);
}

void TestOperations::twinOperationSavedMeanwhileByAnotherClient()
{
    // Another client is saving the same new operation and has not committed yet: the save here
    // waits for it and then finds the twin.
    OtherClient other(*m_db, [](const QSqlDatabase& db) {
        references::lockNames(db, QStringLiteral("accounts_dep.oper"));
        execSql(db, QStringLiteral("insert into accounts_dep.oper (vid, naimen, i_id, cena_new) values (2, 0, 10003, 0)"));
    });
    pickFor(*m_form10, 2, QStringLiteral("Сварка"), 10003, QStringLiteral("О'Кей 100%_"));
    whenModal([&](QWidget* dialog) {
        child<QPushButton>(dialog, "Button3")->click();
        child<QPushButton>(dialog, "Button4")->click();
        child<QPushButton>(dialog, "Button1")->click();
        if (dialog->isVisible()) child<QPushButton>(dialog, "Button2")->click();
    });
    QCOMPARE(m_form10->openForAdd(), 0);
    const bool waited = other.finish();
    QCOMPARE(other.error(), QString());
    QVERIFY2(waited, "nothing here waited for the other client");
    QCOMPARE(m_prompts.texts(), QStringList{QStringLiteral("Операция с такими параметрами уже заведена!")});
    QCOMPARE(count(QStringLiteral("select count(*) from accounts_dep.oper where vid = 2 and naimen = 0 and i_id = 10003")), 1);
}

void TestOperations::normValuesSetWithoutKeys_data()
{
    // Text put into the cell's editor as assistive technology does, without key presses.
    QTest::addColumn<int>("row");   // 0 a stored norm, 2 a new one
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    const QString norma = QStringLiteral("не подходит для столбца «Норматив»: нужно целое число от 0 до 2147483647");
    const QString price = QStringLiteral("не подходит для столбца «Цена»: нужна цена числом не меньше нуля");
    const QString prize = QStringLiteral("не подходит для столбца «Премия, %»: нужно целое число от 0 до 2147483647");
    QTest::newRow("standard, negative") << 0 << 0 << "-3" << norma;
    QTest::newRow("standard, too large") << 0 << 0 << "2147483648" << norma;
    QTest::newRow("standard, not whole") << 0 << 0 << "2,5" << norma;
    QTest::newRow("standard, not a number") << 0 << 0 << "сто" << norma;
    QTest::newRow("price, negative") << 0 << 1 << "-5" << price;
    QTest::newRow("price, negative fraction") << 0 << 1 << "-0,01" << price;
    QTest::newRow("price, too large") << 0 << 1 << "1e309" << price;
    QTest::newRow("price, not a number") << 0 << 1 << "12 руб." << price;
    QTest::newRow("bonus, negative") << 0 << 2 << "-100" << prize;
    QTest::newRow("bonus, too large") << 0 << 2 << "99999999999" << prize;
    QTest::newRow("bonus, not whole") << 0 << 2 << "1.5" << prize;
    QTest::newRow("bonus, not a number") << 0 << 2 << "5%" << prize;
    QTest::newRow("new norm, negative price") << 2 << 1 << "-5" << price;
    QTest::newRow("new norm, negative standard") << 2 << 0 << "-3" << norma;
}

void TestOperations::normValuesSetWithoutKeys()
{
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(QString, text);
    QFETCH(QString, message);
    const QString all = QStringLiteral("select string_agg(concat_ws(',', id, o_id, norma, price, prize), ';' order by id) "
                                       "from accounts_dep.norm");
    const QString before = m_db->scalar(all).toString();
    QString shown;
    whenModal([&](QWidget* norms) {
        auto* grid = child<QTableView>(norms, "DBGrid1");
        if (row >= grid->model()->rowCount()) m_form22->startNewRow();
        const QModelIndex cell = grid->model()->index(row, column);
        grid->setCurrentIndex(cell);
        grid->edit(cell);
        auto* editor = qobject_cast<QLineEdit*>(grid->indexWidget(cell));
        QVERIFY(editor);
        editor->setText(text);
        QTest::keyClick(editor, Qt::Key_Return);
        settle();
        shown = cellText(grid, row, column);
        if (row == 2) {
            child<QPushButton>(norms, "Button2")->click();   // the begun new row goes
            settle();
        }
        norms->close();
    });
    m_form22->openForOperation(1);
    QCOMPARE(m_prompts.said().size(), 1);
    QVERIFY2(m_prompts.said().at(0).text == QStringLiteral("«%1» %2").arg(text, message)
                 || m_prompts.said().at(0).text.startsWith(QStringLiteral("«%1» %2").arg(text, message)),
             qPrintable(m_prompts.said().at(0).text));
    QCOMPARE(m_prompts.said().at(0).title, QStringLiteral("Ошибка"));
    QCOMPARE(shown, text);
    QCOMPARE(m_db->scalar(all).toString(), before);
}

void TestOperations::operationFieldsSetWithoutPicks_data()
{
    QTest::addColumn<bool>("named");   // the names set on the read-only fields, nothing picked
    QTest::addColumn<bool>("picked");
    QTest::addColumn<int>("naimen");
    QTest::newRow("names set, nothing picked") << true << false << 0;
    QTest::newRow("picked, no class") << false << true << -1;
}

void TestOperations::operationFieldsSetWithoutPicks()
{
    QFETCH(bool, named);
    QFETCH(bool, picked);
    QFETCH(int, naimen);
    pickFor(*m_form10, 2, QStringLiteral("Сварка"), 10003, QStringLiteral("О'Кей 100%_"));
    const int before = count(QStringLiteral("select count(*) from accounts_dep.oper"));
    bool stayed = false;
    whenModal([&](QWidget* dialog) {
        if (named) {
            child<QLineEdit>(dialog, "Edit1")->setText(QStringLiteral("ДМ-1"));
            child<QLineEdit>(dialog, "Edit2")->setText(QStringLiteral("Сварка"));
        }
        if (picked) {
            child<QPushButton>(dialog, "Button3")->click();
            child<QPushButton>(dialog, "Button4")->click();
        }
        child<QComboBox>(dialog, "ComboBox1")->setCurrentIndex(naimen);
        child<QPushButton>(dialog, "Button1")->click();
        stayed = dialog->isVisible();
        if (stayed) child<QPushButton>(dialog, "Button2")->click();
    });
    m_form10->openForAdd();
    QVERIFY(stayed);
    QCOMPARE(m_prompts.texts(), QStringList{QStringLiteral("Все поля должны быть заполнены!")});
    QCOMPARE(count(QStringLiteral("select count(*) from accounts_dep.oper")), before);
}

// ---------------------------------------------------------------- the spreadsheet

void TestOperations::exportListsEveryOperation()
{
    QString captionAfter;
    whenModal([&](QWidget* list) {
        type(child<QLineEdit>(list, "Edit1"), QStringLiteral("КР"));   // the search does not limit the export
        child<QPushButton>(list, "Button5")->click();
        captionAfter = child<QPushButton>(list, "Button5")->text();
        list->close();
    });
    m_opener.opened.clear();
    m_form4->openBrowse();
    QCOMPARE(m_prompts.texts(), QStringList());
    QCOMPARE(captionAfter, QStringLiteral("Excel"));
    QCOMPARE(m_opener.opened.size(), 1);
    const QJsonArray rows = readValues(m_opener.opened.at(0));
    const QJsonArray expected = QJsonDocument::fromJson(R"([
        ["Марка", "Операция", "Цена", "Вид"],
        ["ДМ-1", "Резка", 12.5, "Готовая продукция"],
        ["ДМ-1", "Резка", 7, "Заготовки"],
        ["КР-200", "Резка", 3, "Готовая продукция"],
        ["КР-200", "Сварка", 0, "Готовая продукция"],
        ["О'Кей 100%_", " Покраска ", null, "Готовая продукция"],
        ["Хоз. работы", "хоз. работы", 180, "Готовая продукция"]
    ])").array();
    QCOMPARE(rows, expected);
    // Ready to use: the header bold and frozen, a filter over the list, widths that fit, the
    // prices with two decimals.
    Workbook book;
    QVERIFY(readWorkbook(m_opener.opened.at(0), &book));
    QCOMPARE(tableFaults(book, 1, 4, 7), QStringList());
    QCOMPARE(notInFormat(book, 3, 3, 2, 7, QStringLiteral("0.00")), QStringList());
    QCOMPARE(book.cell(QStringLiteral("C2"))["shown"].toString(), QStringLiteral("12.50"));

    QList<std::pair<int, int>> progress;
    QCOMPARE(writeOperationsSheet(m_db->db(), *m_excel, [&](int done, int total) { progress.append({done, total}); }), 6);
    QCOMPARE(progress.size(), 6);
    QCOMPARE(progress.last(), std::make_pair(6, 6));

    // No workbook to be had: the helper has told the user, the list writes nothing.
    QFile blocker(QDir(m_folder->path()).filePath(QStringLiteral("file")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    ExcelApp unusable(m_prompts, m_opener, blocker.fileName() + QStringLiteral("/sub"));
    m_prompts.clear();
    progress.clear();
    QCOMPARE(writeOperationsSheet(m_db->db(), unusable, [&](int done, int total) { progress.append({done, total}); }), -1);
    QCOMPARE(m_prompts.texts(), QStringList{QStringLiteral("Ошибка открытия файла Microsoft Excel.")});
    QVERIFY(progress.isEmpty());
}

void TestOperations::browsedListIsSearchedToo()
{
    // After a pick (which hides its search) the list browsed from "Цены" still has one, empty.
    Caller caller;
    whenModal([](QWidget* list) { list->close(); });
    m_form4->openPick(caller);
    bool visible = false;
    QString text;
    int all = 0, found = -1;
    whenModal([&](QWidget* list) {
        auto* search = list->findChild<QLineEdit*>(QStringLiteral("Edit1"));
        visible = search->isVisible();
        text = search->text();
        all = m_dm->Oper.recordCount();
        search->setText(QStringLiteral("ДМ-1"));
        found = m_dm->Oper.recordCount();
        list->close();
    });
    m_form4->openBrowse();
    QVERIFY(visible);
    QCOMPARE(text, QString());
    QVERIFY(found > 0 && found < all);
}

QTEST_MAIN(TestOperations)
#include "tst_operations.moc"
