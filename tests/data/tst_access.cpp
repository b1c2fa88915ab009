#include "data/access.h"

#include <QTest>

using access_rights::Role;

/// The access codes and what each role may not use.
class TestAccess : public QObject {
    Q_OBJECT
private slots:
    void codes_data();
    void codes();
    void restrictions_data();
    void restrictions();
};

void TestAccess::codes_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<Role>("role");
    QTest::newRow("full") << "61370452" << Role::Full;
    QTest::newRow("full, short") << "3851" << Role::Full;
    QTest::newRow("planner with spaces") << "  brivet " << Role::Planner;
    QTest::newRow("foremen") << "kolpant" << Role::Foremen;
    QTest::newRow("warehouse") << "frumo" << Role::Warehouse;
    QTest::newRow("other case") << "Brivet" << Role::None;
    QTest::newRow("empty") << "" << Role::None;
    QTest::newRow("inner space") << "38 51" << Role::None;
}

void TestAccess::codes()
{
    QFETCH(QString, typed);
    QTEST(access_rights::roleForCode(typed), "role");
}

void TestAccess::restrictions_data()
{
    QTest::addColumn<Role>("role");
    QTest::addColumn<QStringList>("journalOff");
    QTest::addColumn<QStringList>("hubOff");
    // A closed menu is closed with every item in it: an item reached by its shortcut opens the window all the same.
    const QStringList books = {"N2", "N1", "N3", "N4", "N6", "N8"};
    const QStringList sheets = {"N11", "N9", "N13", "N14", "N15", "N17", "N18", "N19", "N20"};
    const QStringList hub = {"Button1", "Button2", "Button4", "Button6"};
    QTest::newRow("full") << Role::Full << QStringList{} << QStringList{};
    QTest::newRow("planner") << Role::Planner
                             << QStringList{"Button1", "BrigadeButton", "Button2", "Button3", "RadioButton1", "RadioButton2",
                                            "RadioButton3", "RadioButton4", "CBox1", "Button8", "DBGrid2", "DateT"} + books + sheets
                             << QStringList{};
    QTest::newRow("foremen") << Role::Foremen << QStringList{"Button2", "Button3", "SummaryAction"} + books + sheets << hub;
    QTest::newRow("warehouse") << Role::Warehouse << QStringList{"Button1", "BrigadeButton", "Button2", "Button3"} + books + sheets
                               << hub + QStringList{"RadioGroup1"};
}

void TestAccess::restrictions()
{
    QFETCH(Role, role);
    QFETCH(QStringList, journalOff);
    QFETCH(QStringList, hubOff);
    const auto sorted = [](QStringList l) { l.sort(); return l; };
    QCOMPARE(sorted(access_rights::disabledControls(role, QStringLiteral("Form1"))), sorted(journalOff));
    QCOMPARE(sorted(access_rights::disabledControls(role, QStringLiteral("Form18"))), sorted(hubOff));
    // What every role keeps: the reports, the hour register, the way out.
    for (const char* kept : {"N7", "N10", "FindEntriesAction", "N5", "Button4", "Button5"})
        QVERIFY(access_rights::mayUse(role, QStringLiteral("Form1"), QLatin1String(kept)));
    QCOMPARE(access_rights::mayUseTimesheets(role), role == Role::Full);
    QVERIFY(!access_rights::mayUse(Role::None, QStringLiteral("Form1"), QStringLiteral("N10")));
}

QTEST_GUILESS_MAIN(TestAccess)
#include "tst_access.moc"
