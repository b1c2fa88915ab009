#include "data/data_module.h"
#include "data/dataset.h"
#include "refbooks/lookup_box.h"
#include "refbooks/operation_kind_dialog.h"
#include "refbooks/operation_kinds_list.h"
#include "refbooks/pick_targets.h"
#include "refbooks/refbook_dialog.h"
#include "refbooks/refbook_list.h"
#include "data/references.h"
#include "refbooks/worker_dialog.h"
#include "refbooks/workers_list.h"
#include "tests/refbooks/gui_steps.h"
#include "tests/refbooks/other_client.h"
#include "tests/support/modal.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/test_database.h"
#include "ui/data_grid.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QTest>
#include <QWheelEvent>

namespace {


const QString kWorkersFixture = QStringLiteral(R"(
    delete from accounts_dep.person;
    insert into accounts_dep.person (id, fio, s_staffpos_hl) values
      (1, 'Иванов Иван Иванович', 'Слесарь-сборщик'),
      (2, 'Иванова Анна Петровна', ''),
      (3, 'Петров Пётр', 'Сварщик'),
      (4, 'О''Брайен Шон', 'Токарь'),
      (5, 'Сидоров 100% _x', 'Маляр'),
      (6, 'Сидорова Мария  ', 'Сварщик');
    select setval('accounts_dep.person_id_seq', 6);
    delete from accounts_dep.oper;
    delete from accounts_dep.vid_oper;
    insert into accounts_dep.vid_oper (id, vid) values
      (1, 'Резка'), (2, 'Сварка'), (3, 'Покраска порошковая'), (4, 'Покраска грунт'), (5, '  Упаковка ');
    select setval('accounts_dep.vid_oper_id_seq', 5);
    insert into accounts_dep.oper (vid, naimen, i_id) values (2, 0, 10001);
)");

// In the order of the query (by fio).
const QStringList kAllWorkers = {
    QStringLiteral("Иванов Иван Иванович"), QStringLiteral("Иванова Анна Петровна"), QStringLiteral("О'Брайен Шон"),
    QStringLiteral("Петров Пётр"), QStringLiteral("Сидоров 100% _x"), QStringLiteral("Сидорова Мария  "),
};

} // namespace

class TestRefBooks : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void searchFiltersByFirstLetters_data();
    void searchFiltersByFirstLetters();
    void searchFieldKeys_data();
    void searchFieldKeys();
    void patternServesOtherLists_data();
    void patternServesOtherLists();
    void searchKeptAcrossReferenceOpenings();
    void openersSetModeButtonsAndSearch();

    void pickHandsBackTrimmedNameAndId_data();
    void pickHandsBackTrimmedNameAndId();
    void pickWithoutRowLeavesCallerUntouched_data();
    void pickWithoutRowLeavesCallerUntouched();

    void addWorker_data();
    void addWorker();
    void refusedWorkerName_data();
    void refusedWorkerName();
    void changeWorkerThenListCloses_data();
    void changeWorkerThenListCloses();
    void deleteWorker_data();
    void deleteWorker();
    void wheelMovesTheFocusedLookupOnly();
    void lookupKeepsItsChoiceAndShowsAPresetCaption();

    void saveOperationKind_data();
    void saveOperationKind();
    void deleteOperationKind_data();
    void deleteOperationKind();

    void unreadableNamesRefused_data();
    void unreadableNamesRefused();
    void twinsAsTheServerUpperCases_data();
    void twinsAsTheServerUpperCases();
    void changeOfARowDeletedMeanwhile_data();
    void changeOfARowDeletedMeanwhile();
    void twinSavedMeanwhileByAnotherClient_data();
    void twinSavedMeanwhileByAnotherClient();
    void deleteWaitsForASaveHoldingTheRow_data();
    void deleteWaitsForASaveHoldingTheRow();

private:
    QVariant value(const QString& sql, const Params& params = {}) const;
    int count(const QString& table, const QString& column, const QString& text) const;

    TestDatabase* m_db = nullptr;
    ScriptedPrompts m_prompts;
    TDataModule6* m_dm = nullptr;
    TForm2* m_form2 = nullptr;
    TForm5* m_form5 = nullptr;
    TForm9* m_form9 = nullptr;
    TForm8* m_form8 = nullptr;
};

void TestRefBooks::initTestCase()
{
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    m_db = new TestDatabase(QStringLiteral("refbooks"));
    m_db->exec(QStringLiteral(R"(
        insert into cmn_gds_and_srv.gds_and_srv (id, s_caption, massa, id_class_item) values (10001, 'ДМ-1', 1, null);
        insert into hrms_staffpos.staffpos (id, s_caption) values (1, 'Слесарь-сборщик'), (2, 'Сварщик'), (3, 'Маляр');
        insert into cmn_department.department (id, s_caption) values (1, 'Цех металлоконструкций'), (2, 'Малярный участок');
        insert into adm_role.roles (id, s_name, s_caption) values (1, 'foreman', 'Мастер'), (2, 'planner', 'Плановик');
    )"));
    m_dm = new TDataModule6(m_db->db(), m_prompts);
    m_form2 = new TForm2(*m_dm);
    m_form5 = new TForm5(*m_dm, *m_form2);
    m_form9 = new TForm9(*m_dm);
    m_form8 = new TForm8(*m_dm, *m_form9);
}

void TestRefBooks::cleanupTestCase()
{
    delete m_form8;
    delete m_form9;
    delete m_form5;
    delete m_form2;
    delete m_dm;
    delete m_db;
}

void TestRefBooks::init()
{
    m_db->exec(kWorkersFixture);
    m_form5->Edit1->clear();
    m_form2->LCB_staffpos->setCurrentIndex(-1);
    m_prompts.clear();
}

void TestRefBooks::cleanup()
{
    QVERIFY2(!m_prompts.unexpectedQuestion(), "a question nobody expected");
    QVERIFY(noWindowsLeftOpen());
    QVERIFY(!m_dm->Workers.isOpen());
    QVERIFY(!m_dm->Vid_oper.isOpen());
}

QVariant TestRefBooks::value(const QString& sql, const Params& params) const
{
    Statement s(sql);
    s.setParams(params);
    QSqlQuery q = s.exec(m_db->db());
    return q.next() ? q.value(0) : QVariant();
}

int TestRefBooks::count(const QString& table, const QString& column, const QString& text) const
{
    return value(QStringLiteral("select count(*) from %1 where %2 = :t").arg(table, column), {{QStringLiteral("t"), text}}).toInt();
}

// ---------------------------------------------------------------- the search field

void TestRefBooks::searchFiltersByFirstLetters_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("erased");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("first letters") << "Ив" << 0 << kAllWorkers.mid(0, 2);
    QTest::newRow("letter case ignored") << "иВАНОВА" << 0 << kAllWorkers.mid(1, 1);
    QTest::newRow("used as typed, blank kept") << "Иванов " << 0 << kAllWorkers.mid(0, 1);
    QTest::newRow("starts with, not contains") << "ров" << 0 << QStringList();
    QTest::newRow("apostrophe") << "О'Б" << 0 << kAllWorkers.mid(2, 1);
    QTest::newRow("percent taken literally") << "Сидоров 100%" << 0 << kAllWorkers.mid(4, 1);
    QTest::newRow("underscore taken literally") << "Сидоров 1_" << 0 << QStringList();
    QTest::newRow("percent alone matches nothing") << "%" << 0 << QStringList();
    QTest::newRow("erasing part widens") << "Сидорова" << 1 << kAllWorkers.mid(4, 2);
    QTest::newRow("erasing all shows all") << "Ив" << 2 << kAllWorkers;
}

void TestRefBooks::searchFiltersByFirstLetters()
{
    QFETCH(QString, typed);
    QFETCH(int, erased);
    QFETCH(QStringList, expected);
    QStringList shown;
    int gridRows = -1;
    whenModal([&](QWidget* list) {
        QLineEdit* edit = child<QLineEdit>(list, "Edit1");
        type(edit, typed);
        for (int i = 0; i < erased; ++i) QTest::keyClick(edit, Qt::Key_Backspace);
        shown = visibleRows(m_dm->Workers, QStringLiteral("fio"));
        gridRows = child<DataGrid>(list, "DBGrid1")->model()->rowCount();
        QTest::keyClick(edit, Qt::Key_Escape);
    });
    m_form5->openBrowse();
    QCOMPARE(shown, expected);
    QCOMPARE(gridRows, expected.size());
}

void TestRefBooks::searchFieldKeys_data()
{
    QTest::addColumn<QList<int>>("keys");
    QTest::addColumn<int>("cursorAt");   // where the cursor is put first; -1 leaves it at the end
    QTest::addColumn<QString>("typedAfter");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("recNo");
    using K = QList<int>;
    QTest::newRow("down moves to the next filtered row") << K{Qt::Key_Down} << -1 << "" << "Ив" << 2;
    QTest::newRow("down stops at the last filtered row") << K{Qt::Key_Down, Qt::Key_Down, Qt::Key_Down} << -1 << "" << "Ив" << 2;
    QTest::newRow("up moves back") << K{Qt::Key_Down, Qt::Key_Up} << -1 << "" << "Ив" << 1;
    QTest::newRow("left and right leave the cursor") << K{Qt::Key_Left, Qt::Key_Left, Qt::Key_Right} << -1 << "а" << "Ива" << 1;
    QTest::newRow("home and end leave the cursor") << K{Qt::Key_Home} << -1 << "а" << "Ива" << 1;
    QTest::newRow("delete deletes nothing") << K{Qt::Key_Delete} << 0 << "" << "Ив" << 1;
    QTest::newRow("backspace still edits") << K{Qt::Key_Backspace} << -1 << "" << "И" << 1;
}

void TestRefBooks::searchFieldKeys()
{
    QFETCH(QList<int>, keys);
    QFETCH(int, cursorAt);
    QFETCH(QString, typedAfter);
    QFETCH(QString, text);
    QFETCH(int, recNo);
    QString textSeen;
    int recNoSeen = 0;
    int gridRow = -1;
    whenModal([&](QWidget* list) {
        QLineEdit* edit = child<QLineEdit>(list, "Edit1");
        type(edit, QStringLiteral("Ив"));
        if (cursorAt >= 0) edit->setCursorPosition(cursorAt);
        for (int k : keys) QTest::keyClick(edit, Qt::Key(k));
        type(edit, typedAfter);
        textSeen = edit->text();
        recNoSeen = m_dm->Workers.recNo();
        gridRow = child<DataGrid>(list, "DBGrid1")->currentIndex().row();
        child<QPushButton>(list, "Button4")->click();
    });
    m_form5->openBrowse();
    QCOMPARE(textSeen, text);
    QCOMPARE(recNoSeen, recNo);
    QCOMPARE(gridRow, recNo - 1);
}

void TestRefBooks::patternServesOtherLists_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("contains") << "ров" << kAllWorkers.mid(1, 1) + kAllWorkers.mid(3, 3);
    QTest::newRow("contains, percent literal") << "0%" << kAllWorkers.mid(4, 1);
    QTest::newRow("blanks only show all") << "  " << kAllWorkers;
}

void TestRefBooks::patternServesOtherLists()
{
    // A list with a contains search, blank text lifting the filter and only Up and Down taken
    // from the field, as the operations list wants it.
    QFETCH(QString, typed);
    QFETCH(QStringList, expected);
    Dataset people(m_db->db(), QStringLiteral("select * from accounts_dep.person order by fio"));
    QDialog window;
    RefBookConfig config;
    config.dataset = &people;
    config.columns = {{.field = QStringLiteral("fio"), .title = QStringLiteral("ФИО")}};
    config.searchField = QStringLiteral("fio");
    config.match = RefBookConfig::Match::Contains;
    config.blankSearchShowsAll = true;
    config.searchKeys = RefBookConfig::SearchKeys::UpDownOnly;
    config.searchAboveButtons = true;
    auto* list = new RefBookList(&window, m_prompts, config);
    people.open();
    window.show();

    type(list->search(), typed);
    QCOMPARE(visibleRows(people, QStringLiteral("fio")), expected);
    QTest::keyClick(list->search(), Qt::Key_Down);
    QCOMPARE(people.recNo(), std::min(2, int(expected.size())));
    QTest::keyClick(list->search(), Qt::Key_Home);
    type(list->search(), QStringLiteral("ж"));
    QCOMPARE(list->search()->text(), QStringLiteral("ж") + typed);
    window.close();
}

void TestRefBooks::searchKeptAcrossReferenceOpenings()
{
    whenModal([&](QWidget* list) {
        type(child<QLineEdit>(list, "Edit1"), QStringLiteral("Пет"));
        list->close();
    });
    m_form5->openBrowse();

    QString text;
    QStringList shown;
    bool focused = false;
    whenModal([&](QWidget* list) {
        text = child<QLineEdit>(list, "Edit1")->text();
        (void)QTest::qWaitForWindowActive(list);  // the focus is known once the window is active
        focused = child<QLineEdit>(list, "Edit1")->hasFocus();
        shown = visibleRows(m_dm->Workers, QStringLiteral("fio"));
        list->close();
    });
    m_form5->openBrowse();
    QCOMPARE(text, QStringLiteral("Пет"));
    QCOMPARE(shown, kAllWorkers.mid(3, 1));
    QVERIFY(focused);
}

void TestRefBooks::openersSetModeButtonsAndSearch()
{
    Caller caller;
    struct Seen {
        int tag = -1;
        QString caption;
        bool changeDefault = false, addDefault = false, addVisible = false, deleteVisible = false;
        bool searchVisible = false;
        QString searchText;
        int rows = 0;
    };
    auto look = [](RefBookList& list, Seen& seen) {
        return [&list, &seen](QWidget* window) {
            seen.tag = list.Tag;
            seen.caption = child<QPushButton>(window, "Button2")->text();
            seen.changeDefault = child<QPushButton>(window, "Button2")->isDefault();
            seen.addDefault = child<QPushButton>(window, "Button1")->isDefault();
            seen.addVisible = child<QPushButton>(window, "Button1")->isVisible();
            seen.deleteVisible = child<QPushButton>(window, "Button3")->isVisible();
            seen.searchVisible = child<QLineEdit>(window, "Edit1")->isVisible();
            seen.searchText = child<QLineEdit>(window, "Edit1")->text();
            seen.rows = list.dataset().recordCount();
            if (seen.searchVisible) type(child<QLineEdit>(window, "Edit1"), QStringLiteral("По"));
            window->close();
        };
    };

    // Workers: a search typed in the reference book is cleared by the picker, and the picker's
    // is not left on the book.
    Seen w0, w1, w2;
    whenModal(look(m_form5->list(), w0));
    m_form5->openBrowse();
    QCOMPARE(w0.tag, 0);
    QCOMPARE(w0.caption, QStringLiteral("Изменить"));
    QVERIFY(!w0.changeDefault && w0.addDefault && w0.addVisible && w0.deleteVisible && w0.searchVisible);
    whenModal(look(m_form5->list(), w1));
    m_form5->openPick(24, caller);
    QCOMPARE(w1.tag, 24);
    QCOMPARE(w1.caption, QStringLiteral("Выбрать"));
    QVERIFY(w1.changeDefault && !w1.addDefault && !w1.addVisible && !w1.deleteVisible && w1.searchVisible);
    QCOMPARE(w1.searchText, QString());
    QCOMPARE(w1.rows, kAllWorkers.size());
    whenModal(look(m_form5->list(), w2));
    m_form5->openBrowse();
    QVERIFY(!w2.changeDefault && w2.addDefault && w2.addVisible && w2.deleteVisible);
    QCOMPARE(w2.searchText, QString());
    QCOMPARE(w2.rows, kAllWorkers.size());

    // Operation kinds: no search in the reference book, and none left over from a pick.
    Seen k0, k1, k2;
    whenModal(look(m_form8->list(), k0));
    m_form8->openBrowse();
    QVERIFY(!k0.searchVisible && !k0.changeDefault && k0.addDefault && k0.addVisible);
    QCOMPARE(k0.rows, 5);
    whenModal(look(m_form8->list(), k1));
    m_form8->openPick(caller);
    QCOMPARE(k1.tag, 1);
    QCOMPARE(k1.caption, QStringLiteral("Выбрать"));
    QVERIFY(k1.changeDefault && !k1.addVisible && !k1.deleteVisible && k1.searchVisible);
    whenModal(look(m_form8->list(), k2));
    m_form8->openBrowse();
    QCOMPARE(k2.tag, 0);
    QCOMPARE(k2.caption, QStringLiteral("Изменить"));
    QVERIFY(!k2.searchVisible && !k2.changeDefault && k2.addDefault && k2.addVisible && k2.deleteVisible);
    QCOMPARE(k2.rows, 5);   // the pick's search "По" no longer filters
    QCOMPARE(caller.keptId, 0);
}

// ---------------------------------------------------------------- picks

void TestRefBooks::pickHandsBackTrimmedNameAndId_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<int>("tag");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("downs");
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("name");
    QTest::newRow("shift entry, Enter picks") << "Form5" << 1 << "Сид" << 1 << "enter" << 6 << "Сидорова Мария";
    QTest::newRow("utility work entry, double click") << "Form5" << 24 << "" << 0 << "double click" << 1 << "Иванов Иван Иванович";
    QTest::newRow("shift entry, Выбрать") << "Form5" << 1 << "О'" << 0 << "button" << 4 << "О'Брайен Шон";
    QTest::newRow("price dialog, Enter picks") << "Form8" << 1 << "Пок" << 1 << "enter" << 3 << "Покраска порошковая";
    QTest::newRow("price dialog, trimmed caption") << "Form8" << 1 << "" << 0 << "button" << 5 << "Упаковка";
    QTest::newRow("price dialog, double click") << "Form8" << 1 << "Р" << 0 << "double click" << 1 << "Резка";
}

void TestRefBooks::pickHandsBackTrimmedNameAndId()
{
    QFETCH(QString, window);
    QFETCH(int, tag);
    QFETCH(QString, typed);
    QFETCH(int, downs);
    QFETCH(QString, how);
    QFETCH(int, id);
    QFETCH(QString, name);
    Caller caller;
    bool focused = false;
    whenModal([&](QWidget* list) {
        QLineEdit* edit = child<QLineEdit>(list, "Edit1");
        (void)QTest::qWaitForWindowActive(list);  // a late activation shows in the focus check below
        focused = edit->hasFocus();
        type(edit, typed);
        for (int i = 0; i < downs; ++i) QTest::keyClick(edit, Qt::Key_Down);
        if (how == QLatin1String("enter")) QTest::keyClick(edit, Qt::Key_Return);
        else if (how == QLatin1String("button")) child<QPushButton>(list, "Button2")->click();
        else doubleClickRow(child<DataGrid>(list, "DBGrid1"), downs);
        if (list->isVisible()) list->close();
    });
    if (window == QLatin1String("Form5")) m_form5->openPick(tag, caller);
    else m_form8->openPick(caller);
    QVERIFY2(focused, "the search field has no focus in pick mode");
    QCOMPARE(caller.keptId, id);
    QCOMPARE(caller.name.text(), name);
    QCOMPARE(m_prompts.said().size(), 0);
}

void TestRefBooks::pickWithoutRowLeavesCallerUntouched_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<bool>("emptyTable");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("how");
    QTest::newRow("workers, empty list") << "Form5" << true << "" << "button";
    QTest::newRow("workers, all filtered out") << "Form5" << false << "Я" << "enter";
    QTest::newRow("workers, Выход") << "Form5" << false << "" << "exit";
    QTest::newRow("workers, Esc") << "Form5" << false << "" << "escape";
    QTest::newRow("kinds, empty list") << "Form8" << true << "" << "enter";
    QTest::newRow("kinds, all filtered out") << "Form8" << false << "%" << "button";
    QTest::newRow("kinds, Выход") << "Form8" << false << "" << "exit";
}

void TestRefBooks::pickWithoutRowLeavesCallerUntouched()
{
    QFETCH(QString, window);
    QFETCH(bool, emptyTable);
    QFETCH(QString, typed);
    QFETCH(QString, how);
    const bool workers = window == QLatin1String("Form5");
    if (emptyTable)
        m_db->exec(workers ? QStringLiteral("delete from accounts_dep.person")
                           : QStringLiteral("delete from accounts_dep.oper; delete from accounts_dep.vid_oper"));
    Caller caller;
    caller.keptId = 77;
    caller.name.setText(QStringLiteral("прежний выбор"));
    bool closed = false;
    whenModal([&](QWidget* list) {
        QLineEdit* edit = child<QLineEdit>(list, "Edit1");
        type(edit, typed);
        if (how == QLatin1String("enter")) QTest::keyClick(edit, Qt::Key_Return);
        else if (how == QLatin1String("escape")) QTest::keyClick(edit, Qt::Key_Escape);
        else if (how == QLatin1String("exit")) child<QPushButton>(list, "Button4")->click();
        else child<QPushButton>(list, "Button2")->click();
        closed = !list->isVisible();
        if (!closed) list->close();
    });
    if (workers) m_form5->openPick(1, caller);
    else m_form8->openPick(caller);
    QVERIFY(closed);
    QCOMPARE(caller.keptId, 77);
    QCOMPARE(caller.name.text(), QStringLiteral("прежний выбор"));
}

// ---------------------------------------------------------------- workers

void TestRefBooks::addWorker_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("staffposDowns");   // Down presses in LCB_staffpos; 0 chooses nothing
    QTest::addColumn<QString>("fio");
    QTest::addColumn<QString>("position");
    QTest::newRow("blanks trimmed") << "  Новиков Н.Н.  " << 2 << "Новиков Н.Н." << "Сварщик";
    QTest::newRow("no position chosen") << "Зайцев З.З." << 0 << "Зайцев З.З." << "";
    QTest::newRow("quotes, percent, underscore") << "Д'Артаньян \"Ш\" 50% _" << 1 << "Д'Артаньян \"Ш\" 50% _"
                                                 << "Слесарь-сборщик";
    const QString longest = QString(254, QChar(0x0416));   // "Ж" × 254, the most the column holds
    QTest::newRow("the longest name") << longest << 3 << longest << "Маляр";
}

void TestRefBooks::addWorker()
{
    QFETCH(QString, typed);
    QFETCH(int, staffposDowns);
    QFETCH(QString, fio);
    QFETCH(QString, position);
    QString caption;
    int recNoAfter = 0;
    bool listOpenAfter = false, focused = false;
    whenModal([&](QWidget* list) {
        whenModal([&](QWidget* dialog) {
            caption = dialog->windowTitle();
            QLineEdit* edit = child<QLineEdit>(dialog, "Edit1");
            (void)QTest::qWaitForWindowActive(dialog);  // a late activation shows in the focus check below
            focused = edit->hasFocus();
            type(edit, typed);
            for (int i = 0; i < staffposDowns; ++i) QTest::keyClick(child<LookupBox>(dialog, "LCB_staffpos"), Qt::Key_Down);
            QTest::keyClick(edit, Qt::Key_Return);
            if (dialog->isVisible()) dialog->close();
        });
        m_dm->Workers.setRecNo(3);
        QTest::mouseClick(child<QPushButton>(list, "Button1"), Qt::LeftButton);
        recNoAfter = m_dm->Workers.recNo();
        listOpenAfter = list->isVisible();
        list->close();
    });
    m_form5->openBrowse();
    QCOMPARE(m_prompts.said().size(), 0);
    QCOMPARE(caption, QStringLiteral("Заведение данных нового работника"));
    QVERIFY2(focused, "the name field has no focus");
    QVERIFY(listOpenAfter);
    QCOMPARE(recNoAfter, 1);
    const QVariant stored = value(QStringLiteral("select s_staffpos_hl from accounts_dep.person where fio = :f"),
                                  {{QStringLiteral("f"), fio}});
    QVERIFY2(!stored.isNull(), "the worker was not stored as typed, or the position is NULL");
    QCOMPARE(stored.toString(), position);
    QCOMPARE(value(QStringLiteral("select count(*) from accounts_dep.person")).toInt(), kAllWorkers.size() + 1);
}

void TestRefBooks::refusedWorkerName_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message");
    QTest::newRow("empty") << "" << "ФИО нужно заполнить!";
    QTest::newRow("blanks only") << "   " << "ФИО нужно заполнить!";
    QTest::newRow("longer than the column") << QString(255, QChar(0x0416)) << "ФИО не может быть длиннее 254 символов!";
}

void TestRefBooks::refusedWorkerName()
{
    QFETCH(QString, typed);
    QFETCH(QString, message);
    bool stayed = false;
    QString text;
    whenModal([&](QWidget* list) {
        whenModal([&](QWidget* dialog) {
            type(child<QLineEdit>(dialog, "Edit1"), typed);
            child<QPushButton>(dialog, "Button1")->click();
            stayed = dialog->isVisible();
            text = child<QLineEdit>(dialog, "Edit1")->text();
            child<QPushButton>(dialog, "Button2")->click();
        });
        child<QPushButton>(list, "Button1")->click();
        list->close();
    });
    m_form5->openBrowse();
    QVERIFY(stayed);
    QCOMPARE(text, typed);
    QCOMPARE(m_prompts.said().size(), 1);
    QCOMPARE(m_prompts.said().at(0).kind, ScriptedPrompts::Said::Error);
    QCOMPARE(m_prompts.said().at(0).text, message);
    QCOMPARE(m_prompts.said().at(0).title, QStringLiteral("Ошибка"));
    QCOMPARE(value(QStringLiteral("select count(*) from accounts_dep.person")).toInt(), kAllWorkers.size());
}

void TestRefBooks::changeWorkerThenListCloses_data()
{
    QTest::addColumn<int>("recNo");
    QTest::addColumn<QString>("newName");      // typed over the name; empty keeps it
    QTest::addColumn<int>("staffposDowns");    // Down presses in LCB_staffpos from where it stands
    QTest::addColumn<bool>("save");
    QTest::addColumn<QString>("shownName");    // what the dialog opened with
    QTest::addColumn<QString>("shownPosition");
    QTest::addColumn<QString>("fio");
    QTest::addColumn<QString>("position");
    QTest::newRow("new name and position") << 4 << "  Петров П.П. " << 1 << true << "Петров Пётр" << "Сварщик"
                                           << "Петров П.П." << "Маляр";
    QTest::newRow("trimmed name shown, kept") << 6 << "" << 0 << true << "Сидорова Мария" << "Сварщик"
                                              << "Сидорова Мария" << "Сварщик";
    QTest::newRow("position outside the lookup kept") << 3 << "" << 0 << true << "О'Брайен Шон" << "Токарь"
                                                      << "О'Брайен Шон" << "Токарь";
    QTest::newRow("empty position stays empty") << 2 << "Иванова А.П." << 0 << true << "Иванова Анна Петровна" << ""
                                                << "Иванова А.П." << "";
    QTest::newRow("cancelled") << 4 << "Другой" << 1 << false << "Петров Пётр" << "Сварщик" << "Петров Пётр"
                               << "Сварщик";
}

void TestRefBooks::changeWorkerThenListCloses()
{
    QFETCH(int, recNo);
    QFETCH(QString, newName);
    QFETCH(int, staffposDowns);
    QFETCH(bool, save);
    QFETCH(QString, shownName);
    QFETCH(QString, shownPosition);
    QFETCH(QString, fio);
    QFETCH(QString, position);
    const int id = [&] {
        m_dm->Workers.open();
        m_dm->Workers.setRecNo(recNo);
        const int i = m_dm->Workers.asInt(QStringLiteral("id"));
        m_dm->Workers.close();
        return i;
    }();
    QString caption, seenName, seenPosition;
    whenModal([&](QWidget* list) {
        whenModal([&](QWidget* dialog) {
            caption = dialog->windowTitle();
            QLineEdit* edit = child<QLineEdit>(dialog, "Edit1");
            LookupBox* staffpos = child<LookupBox>(dialog, "LCB_staffpos");
            seenName = edit->text();
            seenPosition = staffpos->shownCaption();
            if (!newName.isEmpty()) {
                edit->selectAll();
                type(edit, newName);
            }
            for (int i = 0; i < staffposDowns; ++i) QTest::keyClick(staffpos, Qt::Key_Down);
            child<QPushButton>(dialog, save ? "Button1" : "Button2")->click();
        });
        m_dm->Workers.setRecNo(recNo);
        doubleClickRow(child<DataGrid>(list, "DBGrid1"), recNo - 1);
        if (list->isVisible()) {
            list->close();
            QFAIL("the list stayed open after the change");
        }
    });
    m_form5->openBrowse();
    QCOMPARE(caption, QStringLiteral("Изменение данных работника"));
    QCOMPARE(seenName, shownName);
    QCOMPARE(seenPosition, shownPosition);
    QCOMPARE(value(QStringLiteral("select fio from accounts_dep.person where id = :id"), {{QStringLiteral("id"), id}}).toString(),
             save ? fio : kAllWorkers.at(recNo - 1));
    const QVariant stored = value(QStringLiteral("select s_staffpos_hl from accounts_dep.person where id = :id"),
                                  {{QStringLiteral("id"), id}});
    QVERIFY(!stored.isNull());
    QCOMPARE(stored.toString(), position);
    QCOMPARE(value(QStringLiteral("select count(*) from accounts_dep.person")).toInt(), kAllWorkers.size());
}

void TestRefBooks::deleteWorker_data()
{
    QTest::addColumn<QString>("search");
    QTest::addColumn<int>("recNo");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<QStringList>("left");
    QTest::addColumn<int>("recNoAfter");
    QStringList withoutPetrov = kAllWorkers;
    withoutPetrov.removeAt(3);
    QTest::newRow("middle row, same position after") << "" << 4 << true << withoutPetrov << 4;
    QTest::newRow("last row, first current after") << "" << 6 << true << kAllWorkers.mid(0, 5) << 1;
    QTest::newRow("last filtered row, first current after") << "Ив" << 2 << true << kAllWorkers.mid(0, 1) << 1;
    QTest::newRow("not confirmed") << "" << 4 << false << kAllWorkers << 4;
}

void TestRefBooks::deleteWorker()
{
    QFETCH(QString, search);
    QFETCH(int, recNo);
    QFETCH(bool, answer);
    QFETCH(QStringList, left);
    QFETCH(int, recNoAfter);
    m_prompts.answer(answer);
    QStringList shown;
    int recNoSeen = 0;
    whenModal([&](QWidget* list) {
        type(child<QLineEdit>(list, "Edit1"), search);
        m_dm->Workers.setRecNo(recNo);
        child<QPushButton>(list, "Button3")->click();
        shown = visibleRows(m_dm->Workers, QStringLiteral("fio"));
        recNoSeen = m_dm->Workers.recNo();
        list->close();
    });
    m_form5->openBrowse();
    QCOMPARE(m_prompts.said().size(), 1);
    QCOMPARE(m_prompts.said().at(0).kind, ScriptedPrompts::Said::Question);
    QCOMPARE(m_prompts.said().at(0).text, QStringLiteral("Удалить работника?"));
    QCOMPARE(m_prompts.said().at(0).title, QStringLiteral("Удаление"));
    QCOMPARE(shown, left);
    QCOMPARE(recNoSeen, recNoAfter);
    QCOMPARE(value(QStringLiteral("select count(*) from accounts_dep.person")).toInt(),
             kAllWorkers.size() - (answer ? 1 : 0));
}

void TestRefBooks::wheelMovesTheFocusedLookupOnly()
{
    QList<int> seen;
    whenModal([&](QWidget* dialog) {
        auto* staffpos = child<LookupBox>(dialog, "LCB_staffpos");
        auto* roles = child<LookupBox>(dialog, "LCB_roles");
        roles->setCurrentIndex(0);
        (void)QTest::qWaitForWindowActive(dialog);  // a late activation shows in the focus check below
        staffpos->setFocus();
        auto wheel = [](QWidget* over, int dy) {
            QWheelEvent e(QPointF(5, 5), over->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, dy), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(over, &e);
        };
        wheel(dialog, -120);          // over the form
        seen << staffpos->currentIndex() << roles->currentIndex();
        wheel(roles, -120);           // over another box: still the focused one moves
        seen << staffpos->currentIndex() << roles->currentIndex();
        wheel(staffpos, 120);
        seen << staffpos->currentIndex() << roles->currentIndex();
        dialog->close();
    });
    m_form2->reopenLookups();
    m_form2->exec();
    QCOMPARE(seen, (QList<int>{0, 0, 1, 0, 0, 0}));
}

void TestRefBooks::lookupKeepsItsChoiceAndShowsAPresetCaption()
{
    Dataset table(m_db->db(), QStringLiteral("select * from hrms_staffpos.staffpos order by id"));
    LookupBox box(table, QStringLiteral("id"), QStringLiteral("s_caption"));
    box.reopen();
    QCOMPARE(box.count(), 3);
    QCOMPARE(box.keyValue(), QVariant());
    QCOMPARE(box.shownCaption(), QStringLiteral(""));

    box.setCurrentIndex(0);
    m_db->exec(QStringLiteral("insert into hrms_staffpos.staffpos (id, s_caption) values (0, 'Ученик')"));
    box.reopen();   // a row comes in ahead of the chosen one: the choice follows its key
    QCOMPARE(box.currentIndex(), 1);
    QCOMPARE(box.keyValue().toInt(), 1);
    QCOMPARE(box.shownCaption(), QStringLiteral("Слесарь-сборщик"));

    box.presetCaption(QStringLiteral("  сварщик "));
    QCOMPARE(box.keyValue().toInt(), 2);
    QCOMPARE(box.shownCaption(), QStringLiteral("Сварщик"));

    box.presetCaption(QStringLiteral("Токарь 5 разряда"));
    QCOMPARE(box.keyValue(), QVariant());
    QCOMPARE(box.shownCaption(), QStringLiteral("Токарь 5 разряда"));
    box.clearPreset();
    QCOMPARE(box.keyValue(), QVariant());
    QCOMPARE(box.shownCaption(), QStringLiteral(""));

    box.presetCaption(QStringLiteral("Токарь"));
    box.presetCaption(QString());
    QCOMPARE(box.keyValue(), QVariant());
    QCOMPARE(box.shownCaption(), QStringLiteral(""));
    m_db->exec(QStringLiteral("delete from hrms_staffpos.staffpos where id = 0"));
}

// ---------------------------------------------------------------- operation kinds

void TestRefBooks::saveOperationKind_data()
{
    QTest::addColumn<int>("renameRecNo");   // 0 adds a kind
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message");   // empty when saved
    QTest::addColumn<QString>("stored");
    // In the list's order: "  Упаковка ", "Покраска грунт", "Покраска порошковая", "Резка", "Сварка".
    QTest::newRow("new, trimmed") << 0 << "  Шлифовка  " << "" << "Шлифовка";
    QTest::newRow("new, quotes and percent") << 0 << "Д'Арт \"Б\" 100% _" << "" << "Д'Арт \"Б\" 100% _";
    QTest::newRow("new, the longest caption") << 0 << QString(50, QChar(0x0416)) << "" << QString(50, QChar(0x0416));
    QTest::newRow("new, twin in other case") << 0 << "сВАРКА" << "Такая операция уже заведена!" << "";
    QTest::newRow("new, twin in capitals") << 0 << "ПОКРАСКА ГРУНТ" << "Такая операция уже заведена!" << "";
    QTest::newRow("new, empty") << 0 << "   " << "Все поля должны быть заполнены!" << "";
    QTest::newRow("new, too long") << 0 << QString(51, QChar(0x0416))
                                   << "Название операции не может быть длиннее 50 символов!" << "";
    QTest::newRow("rename to own caption in other case") << 5 << "СВАРКА" << "" << "СВАРКА";
    QTest::newRow("rename, trimmed") << 4 << " Резка лазерная " << "" << "Резка лазерная";
    QTest::newRow("rename to a twin in other case") << 5 << "резка" << "Такая операция уже заведена!" << "";
}

void TestRefBooks::saveOperationKind()
{
    QFETCH(int, renameRecNo);
    QFETCH(QString, typed);
    QFETCH(QString, message);
    QFETCH(QString, stored);
    const bool saves = message.isEmpty();
    QString caption, shownText;
    bool dialogStayed = false;
    QStringList listAfter;
    whenModal([&](QWidget* list) {
        whenModal([&](QWidget* dialog) {
            caption = dialog->windowTitle();
            QLineEdit* edit = child<QLineEdit>(dialog, "Edit1");
            shownText = edit->text();
            edit->clear();
            type(edit, typed);
            QTest::keyClick(edit, Qt::Key_Return);
            dialogStayed = dialog->isVisible();
            if (dialogStayed) child<QPushButton>(dialog, "Button2")->click();
        });
        if (renameRecNo > 0) {
            m_dm->Vid_oper.setRecNo(renameRecNo);
            child<QPushButton>(list, "Button2")->click();
        } else {
            child<QPushButton>(list, "Button1")->click();
        }
        listAfter = visibleRows(m_dm->Vid_oper, QStringLiteral("vid"));
        list->close();
    });
    m_form8->openBrowse();
    QCOMPARE(caption, renameRecNo ? QStringLiteral("Изменение данных вида операции") : QStringLiteral("Заведение нового вида операций"));
    if (renameRecNo == 5) QCOMPARE(shownText, QStringLiteral("Сварка"));
    QCOMPARE(dialogStayed, !saves);
    QCOMPARE(m_prompts.texts(), saves ? QStringList() : QStringList{message});
    const int kinds = value(QStringLiteral("select count(*) from accounts_dep.vid_oper")).toInt();
    QCOMPARE(kinds, 5 + (saves && renameRecNo == 0 ? 1 : 0));
    if (saves) {
        QCOMPARE(count(QStringLiteral("accounts_dep.vid_oper"), QStringLiteral("vid"), stored), 1);
        QVERIFY(listAfter.contains(stored));
        QCOMPARE(listAfter.size(), kinds);
    }
    if (renameRecNo == 5 && saves)   // the renamed row is the same row
        QCOMPARE(value(QStringLiteral("select vid from accounts_dep.vid_oper where id = 2")).toString(), stored);
}

void TestRefBooks::deleteOperationKind_data()
{
    QTest::addColumn<int>("recNo");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<bool>("refused");
    QTest::addColumn<QStringList>("left");
    QTest::addColumn<int>("recNoAfter");
    QTest::addColumn<int>("usedBy");   // operations of the kind besides the fixture's one
    const QStringList all = {QStringLiteral("  Упаковка "), QStringLiteral("Покраска грунт"),
                             QStringLiteral("Покраска порошковая"), QStringLiteral("Резка"), QStringLiteral("Сварка")};
    QStringList withoutCutting = all;
    withoutCutting.removeAt(3);
    QTest::newRow("unused, confirmed") << 4 << true << false << withoutCutting << 1 << 0;
    QTest::newRow("not confirmed") << 4 << false << false << all << 4 << 0;
    QTest::newRow("still used by an operation") << 5 << true << true << all << 5 << 1;
    QTest::newRow("still used by three operations") << 5 << true << true << all << 5 << 3;
}

void TestRefBooks::deleteOperationKind()
{
    QFETCH(int, recNo);
    QFETCH(bool, answer);
    QFETCH(bool, refused);
    QFETCH(QStringList, left);
    QFETCH(int, recNoAfter);
    QFETCH(int, usedBy);
    for (int i = 1; i < usedBy; ++i)
        m_db->exec(QStringLiteral("insert into accounts_dep.oper (vid, naimen, i_id) values (2, 1, 10001)"));
    m_prompts.answer(answer);
    QStringList shown;
    int recNoSeen = 0;
    bool usableAfter = false;
    whenModal([&](QWidget* list) {
        m_dm->Vid_oper.setRecNo(recNo);
        child<QPushButton>(list, "Button3")->click();
        shown = visibleRows(m_dm->Vid_oper, QStringLiteral("vid"));
        recNoSeen = m_dm->Vid_oper.recNo();
        // The list goes on: the next deletion works.
        m_prompts.answer(true);
        m_dm->Vid_oper.setRecNo(1);
        child<QPushButton>(list, "Button3")->click();
        usableAfter = list->isVisible() && m_dm->Vid_oper.recordCount() == left.size() - 1;
        list->close();
    });
    m_form8->openBrowse();
    QCOMPARE(shown, left);
    QCOMPARE(recNoSeen, recNoAfter);
    QVERIFY(usableAfter);
    const QList<ScriptedPrompts::Said>& said = m_prompts.said();
    QCOMPARE(said.at(0).text, QStringLiteral("Удалить вид операции?"));
    QCOMPARE(said.at(0).title, QStringLiteral("Удаление"));
    QCOMPARE(said.size(), refused ? 3 : 2);
    if (refused) {
        QCOMPARE(said.at(1).kind, ScriptedPrompts::Said::Error);
        QCOMPARE(said.at(1).text, QStringLiteral("Вид операции нельзя удалить: операций этого вида — %1.").arg(usedBy));
        QCOMPARE(said.at(1).title, QStringLiteral("Удаление"));
    }
    QCOMPARE(value(QStringLiteral("select count(*) from accounts_dep.vid_oper")).toInt(), left.size() - 1);
}

// ---------------------------------------------------------------- what every dialog refuses

void TestRefBooks::unreadableNamesRefused_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("refused");
    const QString kinds = QStringLiteral("Form8");
    const QString workers = QStringLiteral("Form5");
    QTest::newRow("kind, a zero-width space only") << kinds << QString(QChar(0x200B)) << true;
    QTest::newRow("kind, blanks and invisible marks") << kinds << QStringLiteral(" \u200B\u00A0\u200E\uFEFF ") << true;
    QTest::newRow("kind, embedded line break") << kinds << QStringLiteral("Рез\nка") << true;
    QTest::newRow("kind, tab") << kinds << QStringLiteral("Рез\tка") << true;
    QTest::newRow("kind, right-to-left override") << kinds << QStringLiteral("Резка\u202Eакзер") << true;
    QTest::newRow("kind, invisible mark beside letters") << kinds << QStringLiteral("Резка\u200Bновая") << false;
    QTest::newRow("worker, a zero-width space only") << workers << QString(QChar(0x200B)) << true;
    QTest::newRow("worker, embedded line break") << workers << QStringLiteral("Иванов\nИван") << true;
}

void TestRefBooks::unreadableNamesRefused()
{
    QFETCH(QString, window);
    QFETCH(QString, typed);
    QFETCH(bool, refused);
    const bool kinds = window == QLatin1String("Form8");
    const QString table = kinds ? QStringLiteral("accounts_dep.vid_oper") : QStringLiteral("accounts_dep.person");
    const int before = value(QStringLiteral("select count(*) from %1").arg(table)).toInt();
    bool stayed = false;
    whenModal([&](QWidget* list) {
        whenModal([&](QWidget* dialog) {
            child<QLineEdit>(dialog, "Edit1")->setText(typed);   // as pasted
            child<QPushButton>(dialog, "Button1")->click();
            stayed = dialog->isVisible();
            if (stayed) child<QPushButton>(dialog, "Button2")->click();
        });
        child<QPushButton>(list, "Button1")->click();
        list->close();
    });
    if (kinds) m_form8->openBrowse();
    else m_form5->openBrowse();
    QCOMPARE(stayed, refused);
    const QString incomplete = kinds ? QStringLiteral("Все поля должны быть заполнены!") : QStringLiteral("ФИО нужно заполнить!");
    QCOMPARE(m_prompts.texts(), refused ? QStringList{incomplete} : QStringList());
    QCOMPARE(value(QStringLiteral("select count(*) from %1").arg(table)).toInt(), before + (refused ? 0 : 1));
}

void TestRefBooks::twinsAsTheServerUpperCases_data()
{
    QTest::addColumn<int>("renameRecNo");   // 0 adds a kind
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("twin");
    // Stored besides the fixture: "Straße" and "Ёлочка".
    QTest::newRow("new, sharp s in other case") << 0 << "straße" << true;
    QTest::newRow("new, Cyrillic in other case") << 0 << "ЁЛОЧКА" << true;
    QTest::newRow("new, Cyrillic twin of a fixture kind") << 0 << "покраска ГРУНТ" << true;
    QTest::newRow("rename to a sharp-s twin") << 5 << "STRAßE" << true;
    QTest::newRow("new, capital sharp s") << 0 << "STRAẞE" << true;
    QTest::newRow("rename to a capital-sharp-s twin") << 5 << "STRAẞE" << true;
    QTest::newRow("new, Cyrillic small ё") << 0 << "ёлочка" << true;
    QTest::newRow("new, not a twin") << 0 << "Ёлка" << false;
    QTest::newRow("new, sharp s is no s") << 0 << "Strase" << false;
}

void TestRefBooks::twinsAsTheServerUpperCases()
{
    QFETCH(int, renameRecNo);
    QFETCH(QString, typed);
    QFETCH(bool, twin);
    m_db->exec(QStringLiteral("insert into accounts_dep.vid_oper (id, vid) values (6, 'Straße'), (7, 'Ёлочка');"
                              "select setval('accounts_dep.vid_oper_id_seq', 7)"));
    whenModal([&](QWidget* list) {
        whenModal([&](QWidget* dialog) {
            QLineEdit* edit = child<QLineEdit>(dialog, "Edit1");
            edit->clear();
            type(edit, typed);
            QTest::keyClick(edit, Qt::Key_Return);
            if (dialog->isVisible()) child<QPushButton>(dialog, "Button2")->click();
        });
        m_dm->Vid_oper.locate(QStringLiteral("vid"), QStringLiteral("Сварка"));
        child<QPushButton>(list, renameRecNo ? "Button2" : "Button1")->click();
        list->close();
    });
    m_form8->openBrowse();
    QCOMPARE(m_prompts.texts(), twin ? QStringList{QStringLiteral("Такая операция уже заведена!")} : QStringList());
    QCOMPARE(count(QStringLiteral("accounts_dep.vid_oper"), QStringLiteral("vid"), typed), twin ? 0 : 1);
}

void TestRefBooks::changeOfARowDeletedMeanwhile_data()
{
    QTest::addColumn<QString>("window");
    QTest::newRow("worker") << "Form5";
    QTest::newRow("operation kind") << "Form8";
}

void TestRefBooks::changeOfARowDeletedMeanwhile()
{
    // Another client deletes the row while the dialog is open: the save tells so, stores
    // nothing, and the list no longer shows the row.
    QFETCH(QString, window);
    const bool kinds = window == QLatin1String("Form8");
    Dataset& ds = kinds ? m_dm->Vid_oper : m_dm->Workers;
    const QString field = kinds ? QStringLiteral("vid") : QStringLiteral("fio");
    const QString table = kinds ? QStringLiteral("accounts_dep.vid_oper") : QStringLiteral("accounts_dep.person");
    bool dialogClosed = false;
    QStringList shownAfter;
    int id = 0;
    whenModal([&](QWidget* list) {
        whenModal([&](QWidget* dialog) {
            m_db->exec(QStringLiteral("delete from %1 where id = %2").arg(table).arg(id));
            QLineEdit* edit = child<QLineEdit>(dialog, "Edit1");
            edit->selectAll();
            type(edit, QStringLiteral("Новое имя"));
            child<QPushButton>(dialog, "Button1")->click();
            dialogClosed = !dialog->isVisible();
            if (!dialogClosed) dialog->close();
        });
        ds.setRecNo(1);
        id = ds.asInt(QStringLiteral("id"));
        child<QPushButton>(list, "Button2")->click();
        shownAfter = visibleRows(ds, field);
        if (list->isVisible()) list->close();
    });
    if (kinds) m_form8->openBrowse();
    else m_form5->openBrowse();
    QVERIFY(dialogClosed);
    QCOMPARE(m_prompts.texts(), QStringList{kRowGoneMessage});
    QCOMPARE(count(table, field, QStringLiteral("Новое имя")), 0);
    QCOMPARE(shownAfter.size(), value(QStringLiteral("select count(*) from %1").arg(table)).toInt());
}

void TestRefBooks::twinSavedMeanwhileByAnotherClient_data()
{
    QTest::addColumn<int>("renameRecNo");   // 0 adds a kind
    QTest::newRow("new") << 0;
    QTest::newRow("rename") << 5;
}

void TestRefBooks::twinSavedMeanwhileByAnotherClient()
{
    // Another client is saving the kind "Гонка" and has not committed yet: the save here waits
    // for it and then finds the twin, instead of storing a second "Гонка".
    QFETCH(int, renameRecNo);
    OtherClient other(*m_db, [](const QSqlDatabase& db) {
        references::lockNames(db, QStringLiteral("accounts_dep.vid_oper"));
        execSql(db, QStringLiteral("insert into accounts_dep.vid_oper (vid) values ('Гонка')"));
    });
    whenModal([&](QWidget* list) {
        whenModal([&](QWidget* dialog) {
            QLineEdit* edit = child<QLineEdit>(dialog, "Edit1");
            edit->setText(QStringLiteral("гонка"));
            child<QPushButton>(dialog, "Button1")->click();
            if (dialog->isVisible()) child<QPushButton>(dialog, "Button2")->click();
        });
        m_dm->Vid_oper.setRecNo(renameRecNo ? renameRecNo : 1);
        child<QPushButton>(list, renameRecNo ? "Button2" : "Button1")->click();
        list->close();
    });
    m_form8->openBrowse();
    const bool waited = other.finish();
    QCOMPARE(other.error(), QString());
    QVERIFY2(waited, "nothing here waited for the other client");
    QCOMPARE(m_prompts.texts(), QStringList{QStringLiteral("Такая операция уже заведена!")});
    QCOMPARE(value(QStringLiteral("select count(*) from accounts_dep.vid_oper where upper(vid) = 'ГОНКА'")).toInt(), 1);
}

void TestRefBooks::deleteWaitsForASaveHoldingTheRow_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("saved");     // what the other client stores while it holds the row
    QTest::addColumn<QString>("refusal");   // told after the question; empty when deleted
    QTest::newRow("operation kind, an operation of it being saved")
        << "Form8" << 1 << "insert into accounts_dep.oper (vid, naimen, i_id) values (1, 0, 10001)"
        << "Вид операции нельзя удалить: операций этого вида — 1.";
    // A worker is deleted whatever points at him; the delete still waits for the save.
    QTest::newRow("worker, an entry of his being saved")
        << "Form5" << 3
        << "insert into accounts_dep.smena (data, smena, w_id, i_id, o_id, kol_vo, time, ok) "
           "values ('2026-01-05', 1, 3, 10001, 1, 1, 1, 'no')"
        << "";
}

void TestRefBooks::deleteWaitsForASaveHoldingTheRow()
{
    // Another client is saving a row that points at the one deleted here, holding it as every
    // save does: the delete waits for it, then sees the new reference.
    QFETCH(QString, window);
    QFETCH(int, id);
    QFETCH(QString, saved);
    QFETCH(QString, refusal);
    const bool kinds = window == QLatin1String("Form8");
    Dataset& ds = kinds ? m_dm->Vid_oper : m_dm->Workers;
    const QString table = kinds ? QStringLiteral("accounts_dep.vid_oper") : QStringLiteral("accounts_dep.person");
    OtherClient other(*m_db, [&](const QSqlDatabase& db) {
        references::hold(db, kinds ? references::Row::OperationKind : references::Row::Worker, id);
        execSql(db, saved);
    });
    m_prompts.answer(true);
    whenModal([&](QWidget* list) {
        ds.locate(QStringLiteral("id"), id);
        child<QPushButton>(list, "Button3")->click();
        list->close();
    });
    if (kinds) m_form8->openBrowse();
    else m_form5->openBrowse();
    const bool waited = other.finish();
    QCOMPARE(other.error(), QString());
    QVERIFY2(waited, "nothing here waited for the other client");
    QStringList said = {kinds ? QStringLiteral("Удалить вид операции?") : QStringLiteral("Удалить работника?")};
    if (!refusal.isEmpty()) said << refusal;
    QCOMPARE(m_prompts.texts(), said);
    QCOMPARE(value(QStringLiteral("select count(*) from %1 where id = %2").arg(table).arg(id)).toInt(),
             refusal.isEmpty() ? 0 : 1);
}

QTEST_MAIN(TestRefBooks)
#include "tst_refbooks.moc"
