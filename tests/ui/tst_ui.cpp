#include "data/dataset.h"
#include "data/db_error.h"
#include "data/settings_file.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/test_database.h"
#include "ui/grid_model.h"
#include "ui/data_grid.h"
#include "ui/dialog_buttons.h"
#include "ui/guard.h"
#include "ui/window_memory.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QClipboard>
#include <QDate>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QLocale>
#include <QPushButton>
#include <QTest>
#include <stdexcept>

/// The grid model, and the guard that shows what a handler raised.
class TestUi : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();

    void gridModelIsAWellBehavedModel();
    void guardedSlotShowsTheError_data();
    void guardedSlotShowsTheError();
    void waitCursorIsRestoredWhateverHappens();
    void fittedKeepsWindowsOnTheScreen_data();
    void fittedKeepsWindowsOnTheScreen();
    void windowsComeBackAsTheyWereLeft();
    void theUsersSettingsFileIsNeverWritten();
    void enterOnCancelCancels();
    void copiedCellsStayInTheirCells_data();
    void copiedCellsStayInTheirCells();

private:
    TestDatabase* m_db = nullptr;
};

void TestUi::initTestCase()
{
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    m_db = new TestDatabase(QStringLiteral("ui"));
}

void TestUi::cleanupTestCase() { delete m_db; }

void TestUi::gridModelIsAWellBehavedModel()
{
    Dataset q(m_db->db(), QStringLiteral(
        "select * from (values ('Иванов И.И.', 1, 94.5::numeric), ('Петров П.П.', 2, 3442.75::numeric),"
        " ('Сидоров С.С.', 3, null::numeric)) t(fio, w_id, summa)"));
    GridModel model(&q, {{QStringLiteral("fio"), QStringLiteral("Фамилия И.О.")},
                         {QStringLiteral("summa"), QStringLiteral("Итого (р.)")},
                         {QStringLiteral("nope"), QStringLiteral("Нет поля")}});
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(model.rowCount(), 0);
    q.open();
    QCOMPARE(model.rowCount(), 3);
    QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("Итого (р.)"));
    QCOMPARE(model.columnOf(QStringLiteral("SUMMA")), 1);
    QCOMPARE(model.data(model.index(0, 1)).toString(), QStringLiteral("94,5"));
    QCOMPARE(model.data(model.index(1, 1)).toString(), QStringLiteral("3442,75"));   // no thousands separator
    QCOMPARE(model.data(model.index(2, 1)).toString(), QString());                  // NULL
    QCOMPARE(model.data(model.index(0, 2)).toString(), QString());                  // no such field
    q.setFilterText(QStringLiteral("w_id=2"));
    q.setFiltered(true);
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(model.data(model.index(0, 0)).toString(), QStringLiteral("Петров П.П."));
    q.setFiltered(false);
    q.close();
    QCOMPARE(model.rowCount(), 0);
}

void TestUi::guardedSlotShowsTheError_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("shown");
    QTest::newRow("refused by the server") << 0 << "нарушает ограничение";
    QTest::newRow("not a database error") << 1 << "vector::at";
    QTest::newRow("without a text") << 2 << "Действие не выполнено: произошла ошибка без описания.";
}

void TestUi::guardedSlotShowsTheError()
{
    QFETCH(int, kind);
    QFETCH(QString, shown);
    ScriptedPrompts prompts;
    QPushButton button;
    bool after = false;
    QObject::connect(&button, &QPushButton::clicked, &button, guarded(prompts, [kind] {
        switch (kind) {
        case 0: throw DbError(QStringLiteral("нарушает ограничение"), QStringLiteral("23505"));
        case 1: throw std::out_of_range("vector::at");
        default: throw DbError(QString());
        }
    }));
    QObject::connect(&button, &QPushButton::clicked, &button, [&after] { after = true; });
    button.click();
    QCOMPARE(prompts.said().size(), 1);
    QCOMPARE(prompts.said().first().kind, ScriptedPrompts::Said::Error);
    QCOMPARE(prompts.said().first().title, QStringLiteral("Ошибка"));
    QCOMPARE(prompts.said().first().text, shown);
    QVERIFY(after);   // the window goes on
}

void TestUi::waitCursorIsRestoredWhateverHappens()
{
    QVERIFY(!QApplication::overrideCursor());
    {
        const auto cursor = waitCursor();
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    }
    QVERIFY(!QApplication::overrideCursor());
    ScriptedPrompts prompts;
    runGuarded(prompts, [] {
        const auto cursor = waitCursor();
        throw DbError(QStringLiteral("отказ"));
    });
    QVERIFY(!QApplication::overrideCursor());
    QCOMPARE(prompts.texts(), QStringList{QStringLiteral("отказ")});
}

void TestUi::fittedKeepsWindowsOnTheScreen_data()
{
    QTest::addColumn<QRect>("window");
    QTest::addColumn<QRect>("fitted");
    const QRect screen(0, 0, 1024, 768);
    QTest::newRow("inside") << QRect(10, 10, 400, 300) << QRect(10, 10, 400, 300);
    QTest::newRow("off to the right") << QRect(2000, 10, 400, 300) << QRect(624, 10, 400, 300);
    QTest::newRow("above and left") << QRect(-500, -40, 400, 300) << QRect(0, 0, 400, 300);
    QTest::newRow("wider than the screen") << QRect(100, 100, 1280, 600) << QRect(0, 100, 1024, 600);
    QTest::newRow("larger every way") << QRect(-10, -10, 1600, 1200) << QRect(0, 0, 1024, 768);
}

void TestUi::fittedKeepsWindowsOnTheScreen()
{
    QFETCH(QRect, window);
    QFETCH(QRect, fitted);
    QCOMPARE(WindowMemory::fitted(window, QRect(0, 0, 1024, 768)), fitted);
}

void TestUi::windowsComeBackAsTheyWereLeft()
{
    QTemporaryDir home;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, home.path());
    WindowMemory memory;
    qApp->installEventFilter(&memory);
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    GridModel model(nullptr, {{QStringLiteral("a"), QStringLiteral("A")}, {QStringLiteral("b"), QStringLiteral("B")}});
    const auto open = [&](const QString& name) {
        auto* w = new QDialog;
        w->setObjectName(name);
        auto* grid = new DataGrid(w);
        grid->setObjectName(QStringLiteral("DBGrid1"));
        grid->setGridModel(&model);
        (new QVBoxLayout(w))->addWidget(grid);
        w->resize(500, 400);
        return w;
    };
    {
        std::unique_ptr<QDialog> w(open(QStringLiteral("Form98")));
        w->show();
        w->move(available.topLeft() + QPoint(30, 40));
        w->resize(420, 330);
        w->findChild<DataGrid*>()->setColumnWidth(1, 177);
        w->hide();
    }
    {
        // A window opened from it (a child of it) keeps its own widths, under its own name.
        std::unique_ptr<QDialog> w(open(QStringLiteral("Form98")));
        QDialog* child = open(QStringLiteral("Form96"));
        child->setParent(w.get(), Qt::Dialog);
        w->show();
        QCOMPARE(w->size(), QSize(420, 330));
        QCOMPARE(w->findChild<DataGrid*>()->columnWidth(1), 177);
        child->show();
        QVERIFY(child->findChild<DataGrid*>()->columnWidth(1) != 177);
        child->findChild<DataGrid*>()->setColumnWidth(1, 55);
        child->hide();
        w->hide();
        QVERIFY(WindowMemory::settings()->value(QStringLiteral("windows/Form98/columns/DBGrid1")).toStringList().value(1) == QLatin1String("177"));
    }
    {
        // Widths kept for a grid of other columns are not forced on this one.
        WindowMemory::settings()->setValue(QStringLiteral("windows/Form98/columns/DBGrid1"), QStringList{"10", "20", "30"});
        std::unique_ptr<QDialog> w(open(QStringLiteral("Form98")));
        w->show();
        QVERIFY(w->findChild<DataGrid*>()->columnWidth(1) > 20);
        w->hide();
    }
    // A place left on a screen that is gone, and a window made larger than the screen, come
    // back on the screen.
    WindowMemory::settings()->remove(QStringLiteral("windows"));
    {
        std::unique_ptr<QDialog> w(open(QStringLiteral("Form97")));
        w->resize(available.width() + 300, 300);
        w->move(available.right() + 500, available.top());
        w->show();
        QVERIFY(available.contains(w->frameGeometry()));
    }
    qApp->removeEventFilter(&memory);
}

void TestUi::theUsersSettingsFileIsNeverWritten()
{
    // The user writes tabel.conf by hand, comments and all; the windows' places and the values
    // kept between runs go to a file of the program's own beside it.
    QTemporaryDir home;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, home.path());
    const QString userFile = home.filePath(QStringLiteral("tabel/tabel.conf"));
    const QByteArray handWritten = "; the plant's server, since March\n[connection]\nserver=db.plant ; the new one\n"
                                   "[windows]\nForm98\\geometry=@ByteArray(\\x1\\xd9)\n";
    QVERIFY(QDir().mkpath(QFileInfo(userFile).path()));
    {
        QFile f(userFile);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(handWritten) == handWritten.size());
    }
    {
        WindowMemory memory;
        qApp->installEventFilter(&memory);
        QDialog w;
        w.setObjectName(QStringLiteral("Form98"));
        w.show();
        w.resize(321, 234);
        w.hide();
        WindowMemory::keep(QStringLiteral("hub/period"), QVariantList{QDate(2024, 3, 1), QDate(2024, 4, 1)});
        qApp->removeEventFilter(&memory);
    }
    QFile f(userFile);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), handWritten);
    QCOMPARE(WindowMemory::settings()->fileName(), home.filePath(QStringLiteral("tabel/windows.conf")));
    QVERIFY(!WindowMemory::settings()->value(QStringLiteral("windows/Form98/geometry")).toByteArray().isEmpty());
    QCOMPARE(WindowMemory::settings()->value(QStringLiteral("hub/period")).toList().value(1).toDate(), QDate(2024, 4, 1));
    QCOMPARE(settings_file::read({userFile}).server, QStringLiteral("db.plant"));
}

void TestUi::enterOnCancelCancels()
{
    // Enter presses "Отмена" while it has the focus, and the save button anywhere else.
    QDialog dialog;
    auto* field = new QLineEdit;
    const DialogButtons b = addDialogButtons(&dialog, field, QStringLiteral("Запись"));
    int saved = 0, cancelled = 0;
    QObject::connect(b.Button1, &QPushButton::clicked, [&] { ++saved; });
    QObject::connect(b.Button2, &QPushButton::clicked, [&] { ++cancelled; });
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    b.Button2->setFocus();
    QTest::keyClick(b.Button2, Qt::Key_Return);
    QCOMPARE(std::pair(saved, cancelled), std::pair(0, 1));
    field->setFocus();
    QTest::keyClick(field, Qt::Key_Return);
    QCOMPARE(std::pair(saved, cancelled), std::pair(1, 1));
}

void TestUi::copiedCellsStayInTheirCells_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addColumn<QString>("copied");   // the row as Ctrl+C gives it
    QTest::newRow("plain cells") << "Иванов И.И." << "ДМ-1" << "Иванов И.И.\tДМ-1";
    QTest::newRow("blanks and an apostrophe stay") << " ДМ-1 " << "д'Артаньян" << " ДМ-1 \tд'Артаньян";
    QTest::newRow("an empty cell") << "" << "5" << "\t5";
    QTest::newRow("a tab") << "Сварка\tшов" << "5" << "\"Сварка\tшов\"\t5";
    QTest::newRow("a line break") << "7" << "первая\nвторая" << "7\t\"первая\nвторая\"";
    QTest::newRow("a carriage return with it") << "первая\r\nвторая" << "" << "\"первая\r\nвторая\"\t";
    QTest::newRow("a carriage return alone") << "а\rб" << "в" << "\"а\rб\"\tв";
    QTest::newRow("a double quote") << "Труба 1\" сталь" << "в" << "\"Труба 1\"\" сталь\"\tв";
    QTest::newRow("quotes around") << "\"ДМ\"" << "в" << "\"\"\"ДМ\"\"\"\tв";
    QTest::newRow("a quote and a line break") << "а\"\nб" << "в" << "\"а\"\"\nб\"\tв";
}

void TestUi::copiedCellsStayInTheirCells()
{
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(QString, copied);
    // The row of the case, then a plain one that must stay a row of its own; a hidden column
    // is not copied.
    Dataset::Snapshot rows;
    rows.fields = QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")};
    rows.types.assign(3, QMetaType::fromType<QString>());
    rows.cells = {first, second, QStringLiteral("скрыто\t\""), QStringLiteral("x"), QStringLiteral("y"), QStringLiteral("z")};
    rows.rowCount = 2;
    Dataset data(m_db->db());
    data.adopt(std::move(rows));
    ColumnSpec hidden{QStringLiteral("c"), QStringLiteral("C")};
    hidden.hidden = true;
    GridModel model(&data, {{QStringLiteral("a"), QStringLiteral("A")}, {QStringLiteral("b"), QStringLiteral("B")}, hidden});
    DataGrid grid;
    grid.setGridModel(&model);
    grid.selectAll();
    QTest::keyClick(&grid, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), copied + QStringLiteral("\nx\ty\n"));
}

QTEST_MAIN(TestUi)
#include "tst_ui.moc"
