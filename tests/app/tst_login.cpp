#include "app/login_window.h"
#include "app/windows.h"
#include "data/access.h"
#include "data/connection.h"
#include "data/data_module.h"
#include "data/db_error.h"
#include "journal/journal_window.h"
#include "tests/support/gui_steps.h"
#include "tests/support/modal.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/test_database.h"
#include "ui/data_grid.h"
#include "ui/window_memory.h"

#include <QAction>
#include <QDateEdit>
#include <QEventLoop>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using access_rights::Role;

namespace {

const BuildStamp kStamp{20240315, 16 * 3600 + 19 * 60 + 6};

/// An error box that nobody answers: it stays until the program ends.
class UnansweredPrompts : public ScriptedPrompts {
public:
    QEventLoop* box = nullptr;
    void error(const QString& text, const QString& title) override
    {
        ScriptedPrompts::error(text, title);
        QEventLoop loop;
        box = &loop;
        QTimer::singleShot(20000, &loop, &QEventLoop::quit);   // a safety net for a broken test only
        loop.exec();
        box = nullptr;
    }
};

} // namespace

class TestLogin : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void rolesDisableTheirControls_data();
    void rolesDisableTheirControls();
    void wrongCodeThenFullAccess();
    void cancelAndEscapeEndTheProgram_data();
    void cancelAndEscapeEndTheProgram();
    void journalGridShowsNumbersInTheGeneralFormat();
    void eachRoleComesBackToItsOwnShift();
    void newerBuildRaisesTheRow();
    void versionRowWithoutStampTakesThisBuild_data();
    void versionRowWithoutStampTakesThisBuild();
    void everyActivationChecksTheVersion();
    void olderBuildEndsWithinFiveSecondsUnanswered();
    void runningClientEndsOnceANewerBuildHasRun();
    void journalMenuOpensTheReferenceBooks();
    void aPersonLogsInWithHisPassword();
    void anOldSchemaIsSaidAndNothingStarts_data();
    void anOldSchemaIsSaidAndNothingStarts();

private:
    void setVersion(int d, int t) { m_db->exec(QStringLiteral("update accounts_dep.ver set d=%1, t=%2").arg(d).arg(t)); }
    /// Logs in with a code; the journal that opens is closed at once.
    void logIn(const QString& code);

    TestDatabase* m_db = nullptr;
    ScriptedPrompts m_prompts;
    TDataModule6* m_dm = nullptr;
    TForm1* m_form1 = nullptr;
    TForm23* m_form23 = nullptr;
    QWidget* m_form18 = nullptr;
    int m_ended = 0;
};

void TestLogin::initTestCase()
{
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    m_db = new TestDatabase(QStringLiteral("login"));
    m_dm = new TDataModule6(m_db->db(), m_prompts);
}

void TestLogin::init()
{
    m_db->exec(QStringLiteral("delete from accounts_dep.ver; insert into accounts_dep.ver (d, t, delim) values (20240101, 0, '.')"));
    m_prompts.clear();
    m_ended = 0;
    m_form1 = new TForm1(*m_dm);
    m_form23 = new TForm23(*m_dm, *m_form1, kStamp);
    m_form23->endProgram = [this] { ++m_ended; };
    // A stand-in for the reports hub with the controls roles take from it.
    m_form18 = new QWidget;
    for (const char* name : {"Button1", "Button2", "Button3", "Button4", "Button6", "RadioGroup1"})
        (new QPushButton(m_form18))->setObjectName(QLatin1String(name));
    m_form23->addRestrictedWindow(QStringLiteral("Form18"), m_form18);
}

void TestLogin::cleanup()
{
    QVERIFY2(m_prompts.nothingUnexpected(), qPrintable(m_prompts.unseenErrors().join(QStringLiteral("; "))));
    delete m_form23;
    delete m_form1;
    delete m_form18;
    QVERIFY(noWindowsLeftOpen());
}

void TestLogin::logIn(const QString& code)
{
    m_form23->Edit1->setText(code);
    // The journal asks before it ends the run.
    m_prompts.answer(true);
    whenModal([](QWidget* journal) { journal->close(); });
    QTest::mouseClick(m_form23->Button1, Qt::LeftButton);
    QCOMPARE(m_prompts.texts(), QStringList{QStringLiteral("Завершить работу?")});
    m_prompts.clear();
}

void TestLogin::aPersonLogsInWithHisPassword()
{
    // A foreman of his own login: the server asks for his password, which the login's box takes;
    // a wrong one is said and the login stays; his role is his group's.
    const QString user = QStringLiteral("t_login_foreman_%1").arg(QCoreApplication::applicationPid());
    m_db->exec(QStringLiteral("create role %1 login password 'right' in role tabel_foremen").arg(user));
    const auto dropRole = qScopeGuard([&] { m_db->exec(QStringLiteral("drop role if exists %1").arg(user)); });
    ConnectionSettings s = TestDatabase::adminSettings(m_db->name());
    s.setPersonalUser(user);
    {
        QSqlDatabase db = addConnection(s, QStringLiteral("personal"));
        try {
            openWithPassword(db, {});
            QFAIL("the server let a login in without its password");
        } catch (const DbError& e) {
            QVERIFY2(isPasswordNeeded(e), qPrintable(e.text()));
        }
        TDataModule6 dm(db, m_prompts);
        TForm1 form1(dm);
        TForm23 form23(dm, form1, kStamp);
        int ended = 0;
        form23.endProgram = [&ended] { ++ended; };
        form23.setPersonalLogin(user, [&db](const QString& password) {
            try {
                openWithPassword(db, password);
                return QString();
            } catch (const DbError& e) {
                return loginFailureText(e);
            }
        });
        form23.show();
        QCOMPARE(fieldLabelled(&form23, QStringLiteral("Пароль пользователя %1:").arg(user)), form23.Edit1);
        form23.Edit1->setText(QStringLiteral("wrong"));
        QTest::mouseClick(form23.Button1, Qt::LeftButton);
        QCOMPARE(m_prompts.texts().size(), 1);
        QCOMPARE(m_prompts.texts().first(), QStringLiteral("Не удалось войти как %1: неверный пароль").arg(user));
        m_prompts.clear();
        QVERIFY(!db.isOpen());
        form23.Edit1->setText(QStringLiteral("right"));
        m_prompts.answer(true);
        bool changeOff = false;
        whenModal([&](QWidget* journal) {
            changeOff = !form1.Button2->isEnabled() && !form1.N2->isEnabled() && form1.N7->isEnabled();
            journal->close();
        });
        QTest::mouseClick(form23.Button1, Qt::LeftButton);
        QCOMPARE(m_prompts.texts(), QStringList{QStringLiteral("Завершить работу?")});
        m_prompts.clear();
        QVERIFY(changeOff);
        QCOMPARE(form23.role(), access_rights::Role::Foremen);
        QCOMPARE(m_db->scalar(QStringLiteral("select count(*) from pg_stat_activity where usename = '%1'").arg(user)).toInt(), 1);
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("personal"));
}

void TestLogin::anOldSchemaIsSaidAndNothingStarts_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("told");
    QTest::newRow("full access is given the command") << "3851" << "--upgrade-database";
    QTest::newRow("the foremen are sent to the administrator") << "kolpant" << "обратитесь к администратору";
}

void TestLogin::anOldSchemaIsSaidAndNothingStarts()
{
    QFETCH(QString, code);
    QFETCH(QString, told);
    // The database lacks the last change of the schema this build carries.
    const QString last = m_db->scalar(QStringLiteral("select max(name) from accounts_dep.schema_migrations")).toString();
    m_db->exec(QStringLiteral("create temp table kept as select * from accounts_dep.schema_migrations where name = '%1'").arg(last));
    m_db->exec(QStringLiteral("delete from accounts_dep.schema_migrations where name = '%1'").arg(last));
    m_form23->Edit1->setText(code);
    QTest::mouseClick(m_form23->Button1, Qt::LeftButton);
    m_db->exec(QStringLiteral("insert into accounts_dep.schema_migrations select * from kept; drop table kept"));
    const QStringList texts = m_prompts.texts();
    QCOMPARE(texts.size(), 1);
    QVERIFY2(texts.first().contains(last) && texts.first().contains(told), qPrintable(texts.first()));
    QCOMPARE(m_ended, 1);
    QVERIFY(!m_form1->isVisible());
}

void TestLogin::rolesDisableTheirControls_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QStringList>("journalOff");
    QTest::addColumn<QStringList>("hubOff");
    const QStringList all = {"Button1", "BrigadeButton", "Button2", "Button3", "RadioButton1", "RadioButton2",
                             "RadioButton3", "RadioButton4", "CBox1", "Button8", "DBGrid2", "N2", "N11", "DateT"};
    const QStringList items = {"N1", "N3", "N4", "N6", "N8", "N9", "N13", "N14", "N15", "N17", "N18", "N19", "N20"};
    QTest::newRow("full") << "3851" << QStringList{} << QStringList{};
    QTest::newRow("planner") << " brivet " << all + items << QStringList{};
    QTest::newRow("foremen") << "kolpant" << QStringList{"Button2", "Button3", "N2", "N11"} + items
                             << QStringList{"Button1", "Button2", "Button4", "Button6"};
    QTest::newRow("warehouse") << "frumo" << QStringList{"Button1", "BrigadeButton", "Button2", "Button3", "N2", "N11"} + items
                               << QStringList{"Button1", "Button2", "Button4", "Button6", "RadioGroup1"};
}

void TestLogin::rolesDisableTheirControls()
{
    QFETCH(QString, code);
    QFETCH(QStringList, journalOff);
    QFETCH(QStringList, hubOff);
    // "Ср.сд./хоз. работы" stays disabled until its window is wired; the add and change buttons are
    // enabled here as their windows will enable them.
    const QStringList journalControls = {"Button1", "BrigadeButton", "Button2", "Button3", "Button4", "Button8", "RadioButton1",
                                         "RadioButton2", "RadioButton3", "RadioButton4", "CBox1", "DBGrid2", "DateT"};
    m_form1->Button1->setEnabled(true);
    m_form1->BrigadeButton->setEnabled(true);
    m_form1->Button2->setEnabled(true);
    // Every menu item as wired to its window; one that opens a window counts its openings.
    const QList<QAction*> items = {m_form1->N1, m_form1->N3, m_form1->N4, m_form1->N6, m_form1->N8, m_form1->N9,
                                   m_form1->N13, m_form1->N14, m_form1->N15, m_form1->N17, m_form1->N18,
                                   m_form1->N19, m_form1->N20, m_form1->N10, m_form1->FindEntriesAction};
    int opened = 0;
    for (QAction* item : items) {
        item->setEnabled(true);
        connect(item, &QAction::triggered, m_form1, [&opened] { ++opened; });
    }
    logIn(code);
    QCOMPARE(m_prompts.said().size(), 0);
    QCOMPARE(m_form1->AccessCode, code.trimmed());
    // The history of changes knows the session by the role, the user and the machine.
    const QString name = m_db->scalar(QStringLiteral("select current_setting('application_name')")).toString();
    QVERIFY2(name.startsWith(QStringLiteral("tabel %1 ").arg(access_rights::roleKey(access_rights::roleForCode(code)))) &&
                 name.contains(QLatin1Char('@')),
             qPrintable(name));
    QCOMPARE(m_form1->CurrentShift, 1);
    for (const QString& name : journalControls)
        QCOMPARE(m_form1->findChild<QWidget*>(name)->isEnabled(), !journalOff.contains(name));
    QCOMPARE(m_form1->N2->isEnabled(), !journalOff.contains(QStringLiteral("N2")));
    QCOMPARE(m_form1->N11->isEnabled(), !journalOff.contains(QStringLiteral("N11")));
    QVERIFY(m_form1->N7->isEnabled());
    // The items themselves: a shortcut or assistive technology triggers them without their menu.
    int reachable = 0;
    for (QAction* item : items) {
        QCOMPARE(item->isEnabled(), !journalOff.contains(item->objectName()));
        reachable += item->isEnabled();
        item->trigger();
    }
    QCOMPARE(opened, reachable);
    for (QPushButton* b : m_form18->findChildren<QPushButton*>()) QCOMPARE(b->isEnabled(), !hubOff.contains(b->objectName()));
    // Every shift query now shows all marked entries.
    for (int shift = 1; shift <= 4; ++shift) QCOMPARE(m_dm->smenaQuery(shift).param(QStringLiteral("ok")).toString(), QStringLiteral("ta"));
    // Closing the journal closed the login, which ends the program.
    QVERIFY(!m_form23->isVisible());
    QCOMPARE(m_ended, 1);
}

void TestLogin::wrongCodeThenFullAccess()
{
    // The code field is known by its label, as a user and assistive technology know it.
    auto* code = qobject_cast<QLineEdit*>(fieldLabelled(m_form23, QStringLiteral("Код доступа:")));
    QVERIFY(code == m_form23->Edit1);
    code->setText(QStringLiteral("3852"));
    QTest::mouseClick(m_form23->Button1, Qt::LeftButton);
    QCOMPARE(m_prompts.said().size(), 1);
    QCOMPARE(m_prompts.said().first().text, QStringLiteral("Введены неверные данные."));
    QCOMPARE(m_prompts.said().first().title, QStringLiteral("Ошибка"));
    QVERIFY(!m_form1->N11->isEnabled());
    QCOMPARE(m_ended, 0);
    m_prompts.clear();
    logIn(QStringLiteral("61370452"));
    QVERIFY(m_form1->N11->isEnabled());
    QVERIFY(m_form1->Button3->isEnabled());
}

void TestLogin::cancelAndEscapeEndTheProgram_data()
{
    QTest::addColumn<bool>("escape");
    QTest::newRow("Отмена") << false;
    QTest::newRow("Esc") << true;
}

void TestLogin::cancelAndEscapeEndTheProgram()
{
    QFETCH(bool, escape);
    m_form23->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form23));
    if (escape) QTest::keyClick(m_form23->Edit1, Qt::Key_Escape);
    else QTest::mouseClick(m_form23->Button2, Qt::LeftButton);
    QCOMPARE(m_ended, 1);
    QVERIFY(!m_form23->isVisible());
    QVERIFY(!m_form23->Timer1->isActive());
}

void TestLogin::eachRoleComesBackToItsOwnShift()
{
    // Full access works in shift 3 and ends; the planner logs in next on this machine and sees
    // shift 1, which he cannot change; full access comes back to shift 3.
    QTemporaryDir home;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, home.path());
    WindowMemory memory;
    const auto session = [this](const QString& code, int pick) {
        int seen = 0;
        m_form23->Edit1->setText(code);
        m_prompts.answer(true);
        whenModal([&](QWidget* journal) {
            seen = m_form1->CurrentShift;
            if (pick) {
                m_form1->findChild<QWidget*>(QStringLiteral("RadioButton%1").arg(pick))->setFocus();
                QTest::keyClick(m_form1->findChild<QWidget*>(QStringLiteral("RadioButton%1").arg(pick)), Qt::Key_Space);
            }
            journal->close();
        });
        QTest::mouseClick(m_form23->Button1, Qt::LeftButton);
        m_prompts.clear();
        // The next session is another run of the program.
        delete m_form23;
        delete m_form1;
        m_form1 = new TForm1(*m_dm);
        m_form23 = new TForm23(*m_dm, *m_form1, kStamp);
        m_form23->endProgram = [this] { ++m_ended; };
        m_form23->addRestrictedWindow(QStringLiteral("Form18"), m_form18);
        return seen;
    };
    QCOMPARE(session(QStringLiteral("3851"), 3), 1);
    QCOMPARE(session(QStringLiteral("brivet"), 0), 1);
    QCOMPARE(session(QStringLiteral("3851"), 0), 3);
}

void TestLogin::journalGridShowsNumbersInTheGeneralFormat()
{
    m_db->exec(QStringLiteral(R"(
        insert into cmn_contractor.person (id, s_caption, s_code) values (1, 'Иванов И.И.', '1');
        insert into cmn_gds_and_srv.gds_and_srv (id, s_caption, massa) values (10001, 'ДМ-1', 1);
        insert into accounts_dep.vid_oper (id, vid) values (1, 'Сварка');
        insert into accounts_dep.oper (id, vid, naimen, i_id) values (1, 1, 0, 10001);
        insert into accounts_dep.smena (data, smena, w_id, i_id, o_id, cena, kol_vo, brak, time, ok) values
          ('2024-03-15', 1, 1, 10001, 1, 3.44275, 1000, 0, 8, 'ok'), ('2024-03-15', 1, 1, 10001, 1, 1234.5, 1000, 0, 8, 'no');
    )"));
    const auto cleanup = qScopeGuard([this] {
        m_db->exec(QStringLiteral("delete from accounts_dep.smena; delete from accounts_dep.oper; delete from accounts_dep.vid_oper;"
                                  "delete from cmn_gds_and_srv.gds_and_srv; delete from cmn_contractor.person"));
    });
    m_form1->today = [] { return QDate(2024, 3, 15); };
    m_dm->Smena1.setParam(QStringLiteral("ok"), QStringLiteral("ta"));
    m_form1->show();
    const GridModel* model = m_form1->DBGrid2->gridModel();
    QCOMPARE(model->rowCount(), 2);
    QStringList sums, pieces;
    for (int row = 0; row < 2; ++row) {
        sums << model->index(row, model->columnOf(QStringLiteral("summa"))).data().toString();
        pieces << model->index(row, model->columnOf(QStringLiteral("kol_vo"))).data().toString();
    }
    sums.sort();
    QCOMPARE(sums, (QStringList{QStringLiteral("1234500"), QStringLiteral("3442,75")}));
    QCOMPARE(pieces, (QStringList{QStringLiteral("1000"), QStringLiteral("1000")}));
    m_form1->hide();
}

void TestLogin::newerBuildRaisesTheRow()
{
    m_db->exec(QStringLiteral("update accounts_dep.ver set delim=','"));
    m_form23->show();
    QCOMPARE(m_form23->windowTitle(), QStringLiteral("Авторизация (build: 20240315.58746)"));
    QCOMPARE(m_db->scalar(QStringLiteral("select d from accounts_dep.ver")).toInt(), kStamp.date);
    QCOMPARE(m_db->scalar(QStringLiteral("select t from accounts_dep.ver")).toInt(), kStamp.time);
    QCOMPARE(m_dm->dbDelimiter(), QStringLiteral(","));
    QCOMPARE(m_form1->BuildDate, kStamp.date);
    QCOMPARE(m_prompts.said().size(), 0);
    QCOMPARE(m_ended, 0);

    // The same day, a second earlier: this build is the newer one and raises the time only.
    setVersion(kStamp.date, kStamp.time - 1);
    m_form23->CheckVersion();
    QCOMPARE(m_db->scalar(QStringLiteral("select t from accounts_dep.ver")).toInt(), kStamp.time);
    m_form23->hide();
    m_db->exec(QStringLiteral("update accounts_dep.ver set delim='.'"));
}

void TestLogin::versionRowWithoutStampTakesThisBuild_data()
{
    QTest::addColumn<QString>("setup");
    QTest::newRow("no row") << "delete from accounts_dep.ver";
    QTest::newRow("date null") << "update accounts_dep.ver set d = null";
    QTest::newRow("time null") << "update accounts_dep.ver set t = null, d = 20991231";
    QTest::newRow("all null") << "update accounts_dep.ver set d = null, t = null, delim = null";
}

void TestLogin::versionRowWithoutStampTakesThisBuild()
{
    QFETCH(QString, setup);
    m_db->exec(setup);
    m_form23->show();
    QCOMPARE(m_prompts.said().size(), 0);
    QCOMPARE(m_ended, 0);
    QCOMPARE(m_db->scalar(QStringLiteral("select count(*) from accounts_dep.ver")).toInt(), 1);
    QCOMPARE(m_db->scalar(QStringLiteral("select d from accounts_dep.ver")).toInt(), kStamp.date);
    QCOMPARE(m_db->scalar(QStringLiteral("select t from accounts_dep.ver")).toInt(), kStamp.time);
    // Numbers written into statements keep a decimal separator.
    QVERIFY(!m_dm->dbDelimiter().isEmpty());
    m_form23->hide();

    // Once stamped, an older build is refused as usual.
    TForm23 older(*m_dm, *m_form1, BuildStamp{kStamp.date - 1, 0});
    older.endProgram = [this] { ++m_ended; };
    older.show();
    QCOMPARE(m_ended, 1);
    // The refusal keeps its words and names both builds.
    QCOMPARE(m_prompts.texts(), QStringList{QStringLiteral("Версия программы не соответсвует БД! Запустите программу через 5 мин.\n"
                                                           "Эта программа — сборка 20240314.0, а с БД уже работала более новая "
                                                           "сборка 20240315.58746.")});
    older.hide();
}

void TestLogin::everyActivationChecksTheVersion()
{
    m_form23->show();
    QVERIFY(QTest::qWaitForWindowActive(m_form23));
    QCOMPARE(m_prompts.said().size(), 0);
    m_form23->setWindowTitle(QString());
    // A newer build runs while this login waits in the background.
    QWidget other;
    other.show();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    setVersion(kStamp.date + 1, 0);
    QCOMPARE(m_ended, 0);
    m_form23->activateWindow();
    QTRY_COMPARE(m_ended, 1);
    QVERIFY(!m_prompts.texts().filter(QStringLiteral("Версия программы не соответсвует БД! Запустите программу через 5 мин.\n")).isEmpty());
    QCOMPARE(m_form23->windowTitle(), QStringLiteral("Авторизация (build: 20240315.58746)"));
    other.hide();
    m_form23->hide();
}

void TestLogin::olderBuildEndsWithinFiveSecondsUnanswered()
{
    UnansweredPrompts prompts;
    TDataModule6 dm(m_db->db(), prompts);
    TForm1 form1(dm);
    TForm23 form23(dm, form1, kStamp);
    int ended = 0;
    form23.endProgram = [&] {
        ++ended;
        if (prompts.box) prompts.box->quit();   // ending the program takes the box with it
    };
    setVersion(kStamp.date, kStamp.time + 1);
    QCOMPARE(form23.Timer1->interval(), 5000);
    form23.Timer1->setInterval(50);   // the five seconds, shortened: the test waits for the timer, not the clock
    form23.show();   // activation runs the check; the box stays unanswered
    QCOMPARE(ended, 1);
    QVERIFY(!form23.Timer1->isActive());
    QCOMPARE(prompts.said().size(), 1);
    QVERIFY(prompts.said().first().text.startsWith(QStringLiteral("Версия программы не соответсвует БД! Запустите программу через 5 мин.\n")));
    QCOMPARE(prompts.said().first().title, QStringLiteral("Ошибка"));
    QCOMPARE(m_db->scalar(QStringLiteral("select t from accounts_dep.ver")).toInt(), kStamp.time + 1);
    form23.hide();
}

void TestLogin::runningClientEndsOnceANewerBuildHasRun()
{
    m_form23->show();
    QCOMPARE(m_ended, 0);
    m_form23->Edit1->setText(QStringLiteral("3851"));
    // A newer client starts while this one works; the journal's timer notices it.
    m_form1->Timer1->setInterval(10);
    whenModal([this](QWidget*) {
        setVersion(kStamp.date + 1, 0);
        QTRY_COMPARE(m_ended, 1);
        m_prompts.answer(true);
        m_form1->close();
    });
    QTest::mouseClick(m_form23->Button1, Qt::LeftButton);
    QVERIFY(!m_prompts.texts().filter(QStringLiteral("Версия программы не соответсвует БД! Запустите программу через 5 мин.\n")).isEmpty());
    QVERIFY(m_form23->Timer1->isActive() || m_ended == 1);
}

void TestLogin::journalMenuOpensTheReferenceBooks()
{
    Windows windows(*m_dm, *m_form1, *m_form23);
    m_form1->show();
    for (QAction* item : {m_form1->N1, m_form1->N6}) {
        QVERIFY(item->isEnabled());
        QString caption;
        bool queryOpen = false;
        m_form1->DateT->setDate(QDate(2001, 1, 1));
        whenModal([&](QWidget* list) {
            caption = list->windowTitle();
            queryOpen = (item == m_form1->N1 ? m_dm->Workers : m_dm->Vid_oper).isOpen();
            list->close();
        });
        item->trigger();
        QVERIFY(queryOpen);
        QCOMPARE(caption, item == m_form1->N1 ? QStringLiteral("Список рабочих") : QStringLiteral("Виды операций (8)"));
        // Closing the list brings the journal back to today.
        QCOMPARE(m_form1->DateT->date(), QDate::currentDate());
    }
    QVERIFY(!m_dm->Workers.isOpen());
    QVERIFY(!m_dm->Vid_oper.isOpen());
    // "Ср.сд./хоз. работы" opens the register of hour-paid work on the journal's date.
    QVERIFY(m_form1->Button5->isEnabled());
    m_form1->DateT->setDate(QDate(2024, 3, 16));
    QString caption;
    QDate registerDate;
    whenModal([&](QWidget* form25) {
        caption = form25->windowTitle();
        registerDate = form25->findChild<QDateEdit*>(QStringLiteral("DTPcker1"))->date();
        form25->close();
    });
    QTest::mouseClick(m_form1->Button5, Qt::LeftButton);
    QCOMPARE(caption, QStringLiteral("Хоз. работы (25)"));
    QCOMPARE(registerDate, QDate(2024, 3, 16));
    m_form1->hide();
}

QTEST_MAIN(TestLogin)
#include "tst_login.moc"
