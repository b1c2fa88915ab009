#include "data/connection.h"
#include "data/data_module.h"
#include "data/statement.h"
#include "data/timesheet_cell.h"
#include "data/transaction.h"
#include "journal/utility_works_dialog.h"
#include "journal/utility_works_register.h"
#include "tests/support/modal.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/test_database.h"
#include "ui/data_grid.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>
#include <QThread>

namespace {

const QDate kFriday(2024, 3, 15);
const QDate kSaturday(2024, 3, 16);
const QDate kMonday(2024, 3, 18);

/// The month's recalculation exactly as the enterprise's original statement writes it, text dates
/// read day-month-year: the reference the register's own statement must agree with.
QString originalRecalculation(int m, int y)
{
    const int nm = m == 12 ? 1 : m + 1;
    const int ny = m == 12 ? y + 1 : y;
    return QStringLiteral(
               "UPDATE accounts_dep.fatigue f SET price=coalesce((select case when coalesce(sum(s.time),0)::numeric(10,2)=0 "
               "then 0 else  coalesce(sum((s.kol_vo-s.brak)*(s.cena+s.cena*f.i_holiday+s.cena*f.i_night*0.2))/sum(time),0)"
               "::numeric(10,2) end as price  from accounts_dep.smena s, accounts_dep.izdel gas, accounts_dep.person p "
               "where  s.data<'01.%1.%2' and s.data>='01.%3.%4' and p.id=s.w_id and p.id=f.id_p group by p.id order by fio),0) "
               "where i_mnth = %3 and i_year = %4 and id_o =7778")
        .arg(nm).arg(ny).arg(m).arg(y);
}

} // namespace

class TestUtilityWorks : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void listShowsTheDate();
    void dayOffBox_data();
    void dayOffBox();
    void openingFromTheJournalKeepsTheDayOffBox();
    void emptyListDeleteAsksNothing();
    void deleteKeepsTheCellInStep_data();
    void deleteKeepsTheCellInStep();
    void deletingAnEntryAlreadyGone();
    void addPricesAndKeepsTheCell_data();
    void addPricesAndKeepsTheCell();
    void refusals_data();
    void refusals();
    void sumFollowsTheHours();
    void addThroughTheWindows();
    void changeReprices();
    void changeMovingTheEntryKeepsBothCells();
    void changeRefusesAnEntryChangedMeanwhile();
    void failedCellUpkeepWritesNothing();
    void concurrentSaveAndDeleteKeepTheCell();
    void recalculation_data();
    void recalculation();
    void recalculationEqualsTheOriginalStatement_data();
    void recalculationEqualsTheOriginalStatement();

private:
    /// A day cell of March 2024 of a worker's row of a work kind and night flag; invalid without a row.
    QVariant cell(int worker, int kind, int night, int day = 15) const;
    int rowsOf(int worker, int kind) const;
    int entryId(int worker, int hours, int night) const;
    void select(int id);
    /// Fills the entry dialog for a new entry as the pickers and the user would.
    void fillNew(int worker, int group, int kind, const QString& hours, bool night);

    TestDatabase* m_db = nullptr;
    ScriptedPrompts m_prompts;
    TDataModule6* m_dm = nullptr;
    TForm25* m_form = nullptr;
};

void TestUtilityWorks::initTestCase()
{
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    m_db = new TestDatabase(QStringLiteral("utility_works"));
    m_dm = new TDataModule6(m_db->db(), m_prompts);
}

void TestUtilityWorks::init()
{
    // Worker 1 has on Friday 3 and 5 day hours and 2 night hours of utility works; norm prices
    // are 150 for utility works and 157 for average piecework.
    m_db->exec(QStringLiteral(R"(
        truncate accounts_dep.fatigue, accounts_dep.h_tabel, accounts_dep.smena, accounts_dep.person,
                 cmn_classifier.item, cmn_gds_and_srv.gds_and_srv, accounts_dep.oper, accounts_dep.norm,
                 accounts_dep.vid_oper restart identity;
        insert into accounts_dep.person (id, fio) values (1, 'Иванов И.И.'), (2, 'Петров П.П.'), (3, 'Сидоров С.С.');
        insert into cmn_classifier.item (id, s_caption, b_excluded) values (1, 'Группа А', 0), (2, 'Группа Б', 0);
        insert into accounts_dep.vid_oper (id, vid) values (1, 'Сварка'), (7777, 'хоз. работы'), (7778, 'ср. сдельная');
        insert into cmn_gds_and_srv.gds_and_srv (id, s_caption) values (7777, 'Хоз. работы'), (7778, 'Ср. сдельная'),
               (10001, 'ДМ-1');
        insert into accounts_dep.oper (id, vid, naimen, i_id) values (1, 7777, 0, 7777), (2, 7778, 0, 7778), (3, 1, 0, 10001);
        insert into accounts_dep.norm (o_id, price, norma, prize) values (1, 150, 0, 0), (2, 157, 0, 0), (3, 10, 0, 0);
        insert into accounts_dep.fatigue (id_nom, id_o, id_p, d_date, i_mnth, i_year, i_smena, cnt, price, i_holiday, i_night)
        values (1, 7777, 1, '2024-03-15', 3, 2024, 1, 3, 150, 0, 0),
               (2, 7777, 1, '2024-03-15', 3, 2024, 1, 5, 150, 0, 0),
               (1, 7777, 1, '2024-03-15', 3, 2024, 1, 2, 180, 0, 1);
        insert into accounts_dep.h_tabel (w_id, month, year, i_type, i_night, d14, d15) values
               (1, 3, 2024, 7777, 0, 4, 8), (1, 3, 2024, 7777, 1, null, 2);
    )"));
    m_prompts.clear();
    m_form = new TForm25(*m_dm);
    m_form->DTPcker1->blockSignals(true);
    m_form->DTPcker1->setDate(kFriday);
    m_form->DTPcker1->blockSignals(false);
    m_form->CBox1->setChecked(false);
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form));
}

void TestUtilityWorks::cleanup()
{
    QVERIFY(!m_prompts.unexpectedQuestion());
    delete m_form;
    m_form = nullptr;
    QVERIFY(noWindowsLeftOpen());
}

QVariant TestUtilityWorks::cell(int worker, int kind, int night, int day) const
{
    return m_db->scalar(QStringLiteral("select d%4 from accounts_dep.h_tabel where w_id=%1 and i_type=%2 and i_night=%3 "
                                       "and month=3 and year=2024").arg(worker).arg(kind).arg(night).arg(day));
}

int TestUtilityWorks::rowsOf(int worker, int kind) const
{
    return m_db->scalar(QStringLiteral("select count(*) from accounts_dep.h_tabel where w_id=%1 and i_type=%2")
                            .arg(worker).arg(kind)).toInt();
}

int TestUtilityWorks::entryId(int worker, int hours, int night) const
{
    return m_db->scalar(QStringLiteral("select id from accounts_dep.fatigue where id_p=%1 and cnt=%2 and i_night=%3")
                            .arg(worker).arg(hours).arg(night)).toInt();
}

void TestUtilityWorks::select(int id) { QVERIFY(m_form->fatigue.locate(QStringLiteral("id"), id)); }

void TestUtilityWorks::fillNew(int worker, int group, int kind, const QString& hours, bool night)
{
    TForm24* d = m_form->Form24;
    d->fillForAdd();
    d->pickedWorkerId() = worker;
    d->pickedWorkerName()->setText(QStringLiteral("worker"));
    d->pickedGroupId() = group;
    d->pickedGroupName()->setText(QStringLiteral("group"));
    d->cb_type_work->setCurrentIndex(d->cb_type_work->findData(qlonglong(kind)));
    d->Edit6->clear();
    QTest::keyClicks(d->Edit6, hours);
    d->CBox1->setChecked(night);
}

void TestUtilityWorks::listShowsTheDate()
{
    QCOMPARE(m_form->windowTitle(), QStringLiteral("Хоз. работы (25)"));
    QCOMPARE(m_form->fatigue.recordCount(), 3);
    QCOMPARE(m_form->smena_no, 1);
    const QAbstractItemModel* model = m_form->DBGrid1->model();
    QStringList titles;
    for (int c = 0; c < model->columnCount(); ++c) titles << model->headerData(c, Qt::Horizontal).toString();
    QCOMPARE(titles, (QStringList{"ФИО", "Номенклатура", "Работа", "Цена", "Кол-во", "Итого", "Вых.", "Ноч."}));
    select(entryId(1, 2, 1));
    const int row = m_form->fatigue.recNo() - 1;
    QCOMPARE(model->index(row, 5).data().toString(), QStringLiteral("360"));
    QCOMPARE(model->index(row, 7).data().toString(), QStringLiteral("+"));
    QCOMPARE(model->index(row, 6).data().toString(), QString());
    m_form->DTPcker1->setDate(kMonday);
    QCOMPARE(m_form->fatigue.recordCount(), 0);
}

void TestUtilityWorks::dayOffBox_data()
{
    QTest::addColumn<bool>("tickedBefore");
    QTest::addColumn<QDate>("picked");
    QTest::addColumn<bool>("after");
    QTest::newRow("Saturday ticks") << false << kSaturday << true;
    QTest::newRow("Sunday ticks") << false << QDate(2024, 3, 17) << true;
    QTest::newRow("a weekday unticks a box ticked by hand") << true << kMonday << false;
}

void TestUtilityWorks::dayOffBox()
{
    QFETCH(bool, tickedBefore);
    QFETCH(QDate, picked);
    m_form->CBox1->setChecked(tickedBefore);
    QCOMPARE(m_form->CBox1->font().bold(), tickedBefore);
    m_form->DTPcker1->setDate(picked);
    QTEST(m_form->CBox1->isChecked(), "after");
    QCOMPARE(m_form->CBox1->font().bold(), m_form->CBox1->isChecked());
    QCOMPARE(m_form->CBox1->styleSheet().contains(QStringLiteral("rgb(255, 0, 0)")), m_form->CBox1->isChecked());
    QCOMPARE(m_form->fatigue.param(QStringLiteral("d_date")).toDate(), picked);
}

void TestUtilityWorks::openingFromTheJournalKeepsTheDayOffBox()
{
    // The journal hands its date over; the box stays as the user left it, whatever the day.
    TForm25 form(*m_dm);
    form.CBox1->setChecked(false);
    whenModal([](QWidget* w) { w->close(); });
    form.openFor(kSaturday);
    QCOMPARE(form.date(), kSaturday);
    QVERIFY(!form.CBox1->isChecked());
    QVERIFY(!form.fatigue.isOpen());
    form.CBox1->setChecked(true);
    whenModal([](QWidget* w) { QCOMPARE(qobject_cast<TForm25*>(w)->fatigue.recordCount(), 3); w->close(); });
    form.openFor(kFriday);
    QVERIFY(form.CBox1->isChecked());
}

void TestUtilityWorks::emptyListDeleteAsksNothing()
{
    m_form->DTPcker1->setDate(kMonday);
    QTest::mouseClick(m_form->Button7, Qt::LeftButton);
    QVERIFY(m_prompts.said().isEmpty());
    QCOMPARE(m_db->scalar(QStringLiteral("select count(*) from accounts_dep.fatigue")).toInt(), 3);
}

void TestUtilityWorks::deleteKeepsTheCellInStep_data()
{
    QTest::addColumn<int>("hours");
    QTest::addColumn<int>("night");
    QTest::addColumn<QVariant>("dayCell");
    QTest::addColumn<QVariant>("nightCell");
    QTest::newRow("one of two day entries: the other's hours stay") << 3 << 0 << QVariant(5) << QVariant(2);
    QTest::newRow("the night entry: the day row is left alone, the night cell empties") << 2 << 1 << QVariant(8) << QVariant();
}

void TestUtilityWorks::deleteKeepsTheCellInStep()
{
    QFETCH(int, hours);
    QFETCH(int, night);
    QFETCH(QVariant, dayCell);
    QFETCH(QVariant, nightCell);
    select(entryId(1, hours, night));
    m_prompts.answer(true);
    QTest::mouseClick(m_form->Button7, Qt::LeftButton);
    QCOMPARE(m_prompts.said().size(), 1);
    QCOMPARE(m_prompts.said().first().text, QStringLiteral("Удалить позицию из списка?"));
    QCOMPARE(m_prompts.said().first().title, QStringLiteral("Удаление"));
    QCOMPARE(m_db->scalar(QStringLiteral("select count(*) from accounts_dep.fatigue")).toInt(), 2);
    QCOMPARE(m_form->fatigue.recordCount(), 2);
    QCOMPARE(cell(1, 7777, 0), dayCell);
    QCOMPARE(cell(1, 7777, 1).isNull(), nightCell.isNull());
    if (!nightCell.isNull()) QCOMPARE(cell(1, 7777, 1), nightCell);
    QCOMPARE(cell(1, 7777, 0, 14).toInt(), 4);   // the row's other days keep theirs

    // Answering No deletes nothing.
    m_prompts.answer(false);
    QTest::mouseClick(m_form->Button7, Qt::LeftButton);
    QCOMPARE(m_db->scalar(QStringLiteral("select count(*) from accounts_dep.fatigue")).toInt(), 2);
}

void TestUtilityWorks::deletingAnEntryAlreadyGone()
{
    const int id = entryId(1, 3, 0);
    select(id);
    m_db->exec(QStringLiteral("delete from accounts_dep.fatigue where id=%1").arg(id));
    m_prompts.answer(true);
    QTest::mouseClick(m_form->Button7, Qt::LeftButton);
    QCOMPARE(m_prompts.said().size(), 2);
    QCOMPARE(m_prompts.said().last().kind, ScriptedPrompts::Said::Error);
    QCOMPARE(m_form->fatigue.recordCount(), 2);
    QCOMPARE(cell(1, 7777, 0).toInt(), 8);   // nothing of the other client's deletion is made up here
}

void TestUtilityWorks::addPricesAndKeepsTheCell_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("dayOff");
    QTest::addColumn<bool>("night");
    QTest::addColumn<QString>("price");
    QTest::newRow("utility works") << 7777 << false << false << "150.0000";
    QTest::newRow("day off") << 7777 << true << false << "300.0000";
    QTest::newRow("norm 150, day off and night") << 7777 << true << true << "360.0000";
    QTest::newRow("norm 157 at night") << 7778 << false << true << "188.4000";
}

void TestUtilityWorks::addPricesAndKeepsTheCell()
{
    QFETCH(int, kind);
    QFETCH(bool, dayOff);
    QFETCH(bool, night);
    m_form->CBox1->setChecked(dayOff);
    // Worker 2 already has 6 day hours of this kind on the 14th.
    m_db->exec(QStringLiteral("insert into accounts_dep.h_tabel (w_id, month, year, i_type, i_night, d14) "
                              "values (2, 3, 2024, %1, 0, 6)").arg(kind));
    fillNew(2, 2, kind, QStringLiteral("4"), night);
    m_form->Form24->Button1Click();
    QVERIFY(m_prompts.said().isEmpty());
    QSqlQuery q(m_db->db());
    QVERIFY(q.exec(QStringLiteral("select id_nom, id_o, id_p, d_date, i_mnth, i_year, i_smena, cnt, price::text, i_holiday, "
                                  "i_night from accounts_dep.fatigue where id_p=2")));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toInt(), 2);
    QCOMPARE(q.value(1).toInt(), kind);
    QCOMPARE(q.value(3).toDate(), kFriday);
    QCOMPARE(q.value(4).toInt(), 3);
    QCOMPARE(q.value(5).toInt(), 2024);
    QCOMPARE(q.value(6).toInt(), 1);
    QCOMPARE(q.value(7).toInt(), 4);
    QTEST(q.value(8).toString(), "price");
    QCOMPARE(q.value(9).toInt(), dayOff ? 1 : 0);
    QCOMPARE(q.value(10).toInt(), night ? 1 : 0);
    QVERIFY(!q.next());
    // The cell of the entry's worker, kind, night flag and day; night hours get a row of their own
    // beside the day row.
    QCOMPARE(cell(2, kind, night ? 1 : 0).toInt(), 4);
    QCOMPARE(cell(2, kind, 0, 14).toInt(), 6);
    QCOMPARE(rowsOf(2, kind), night ? 2 : 1);
    QCOMPARE(m_form->fatigue.recordCount(), 4);
    QCOMPARE(cell(1, 7777, 0).toInt(), 8);
}

void TestUtilityWorks::refusals_data()
{
    QTest::addColumn<int>("worker");
    QTest::addColumn<int>("group");
    QTest::addColumn<QString>("hours");
    QTest::addColumn<bool>("normMissing");
    QTest::addColumn<QString>("message");
    QTest::newRow("no worker") << 0 << 1 << "2" << false << "Все поля должны быть заполнены!";
    QTest::newRow("no group") << 2 << 0 << "2" << false << "Все поля должны быть заполнены!";
    QTest::newRow("hours 0") << 2 << 1 << "0" << false << "Нужно завести количество!";
    QTest::newRow("no hours") << 2 << 1 << "" << false << "Нужно завести количество!";
    QTest::newRow("a kind without a norm row") << 2 << 1 << "2" << true << "Для выбранного вида работ не заведена цена в нормах!";
}

void TestUtilityWorks::refusals()
{
    QFETCH(int, worker);
    QFETCH(int, group);
    QFETCH(QString, hours);
    QFETCH(bool, normMissing);
    if (normMissing) m_db->exec(QStringLiteral("delete from accounts_dep.norm where o_id=1"));
    fillNew(worker, group, 7777, hours, false);
    QTest::keyClicks(m_form->Form24->Edit6, QStringLiteral("x-,."));   // nothing but digits gets in
    QCOMPARE(m_form->Form24->Edit6->text(), hours);
    m_form->Form24->Button1Click();
    QCOMPARE(m_prompts.said().size(), 1);
    QTEST(m_prompts.said().first().text, "message");
    QCOMPARE(m_prompts.said().first().title, QStringLiteral("Ошибка"));
    QCOMPARE(m_db->scalar(QStringLiteral("select count(*) from accounts_dep.fatigue")).toInt(), 3);
    QCOMPARE(m_db->scalar(QStringLiteral("select count(*) from accounts_dep.h_tabel")).toInt(), 2);
}

void TestUtilityWorks::sumFollowsTheHours()
{
    TForm24* d = m_form->Form24;
    fillNew(2, 1, 7777, QStringLiteral("3"), false);
    QCOMPARE(d->DBEdit1->text(), QStringLiteral("150"));
    QCOMPARE(d->DBEdit2->text(), QStringLiteral("450"));
    d->CBox1->setChecked(true);
    QCOMPARE(d->DBEdit2->text(), QStringLiteral("540"));
    d->cb_type_work->setCurrentIndex(d->cb_type_work->findData(qlonglong(7778)));
    QCOMPARE(d->DBEdit1->text(), QStringLiteral("157"));
    QCOMPARE(d->DBEdit2->text(), QStringLiteral("565,2"));
    QTest::keyClick(d->Edit6, Qt::Key_Backspace);
    QCOMPARE(d->DBEdit2->text(), QStringLiteral("0"));
    // Each kind once in the box, however many norm rows it has.
    m_db->exec(QStringLiteral("insert into accounts_dep.norm (o_id, price) values (1, 999)"));
    d->fillForAdd();
    QCOMPARE(d->cb_type_work->count(), 2);
    QCOMPARE(d->cb_type_work->currentData().toInt(), 7777);
    QCOMPARE(d->Edit6->text(), QStringLiteral("0"));
    QVERIFY(d->CBox1->isEnabled());
    for (QLabel* label : d->findChildren<QLabel*>()) QVERIFY2(label->buddy(), qPrintable(label->text()));
}

void TestUtilityWorks::addThroughTheWindows()
{
    // The user presses "Добавить", picks a worker and a group, types the hours and saves.
    m_form->Form24->openWorkerPick = [](WorkerPickTarget& t) {
        t.pickedWorkerId() = 3;
        t.pickedWorkerName()->setText(QStringLiteral("Сидоров С.С."));
    };
    m_form->Form24->openGroupPick = [](GroupPickTarget& t) {
        t.pickedGroupId() = 2;
        t.pickedGroupName()->setText(QStringLiteral("Группа Б"));
    };
    whenModal([](QWidget* w) {
        auto* d = qobject_cast<TForm24*>(w);
        QVERIFY(d);
        QCOMPARE(d->windowTitle(), QStringLiteral("Хоз. работы/среднесдельная (24)"));
        QTest::mouseClick(d->Button3, Qt::LeftButton);
        QTest::mouseClick(d->Button4, Qt::LeftButton);
        QCOMPARE(d->Edit1->text(), QStringLiteral("Сидоров С.С."));
        d->Edit6->selectAll();
        QTest::keyClicks(d->Edit6, QStringLiteral("7"));
        QTest::mouseClick(d->Button1, Qt::LeftButton);
    });
    QTest::mouseClick(m_form->Button5, Qt::LeftButton);
    QVERIFY(!m_form->Form24->isVisible());
    QVERIFY(!m_form->Form24->type_work.isOpen());
    QCOMPARE(m_db->scalar(QStringLiteral("select cnt from accounts_dep.fatigue where id_p=3 and id_nom=2 and id_o=7777")).toInt(), 7);
    QCOMPARE(cell(3, 7777, 0).toInt(), 7);
    QCOMPARE(m_form->fatigue.recordCount(), 4);

    // A double click opens the current entry for change; "Выход" writes nothing.
    select(entryId(3, 7, 0));
    whenModal([](QWidget* w) {
        auto* d = qobject_cast<TForm24*>(w);
        QVERIFY(d);
        QCOMPARE(d->Edit1->text(), QStringLiteral("Сидоров С.С."));
        QCOMPARE(d->Edit2->text(), QStringLiteral("Группа Б"));
        QCOMPARE(d->Edit6->text(), QStringLiteral("7"));
        QVERIFY(!d->CBox1->isEnabled());
        d->Edit6->setText(QStringLiteral("1"));
        QTest::mouseClick(d->Button6, Qt::LeftButton);
    });
    const QRect r = m_form->DBGrid1->visualRect(m_form->DBGrid1->model()->index(m_form->fatigue.recNo() - 1, 0));
    QTest::mouseDClick(m_form->DBGrid1->viewport(), Qt::LeftButton, {}, r.center());
    QCOMPARE(m_db->scalar(QStringLiteral("select cnt from accounts_dep.fatigue where id_p=3")).toInt(), 7);
}

void TestUtilityWorks::changeReprices()
{
    // The register's recalculation set 999 and the norm has moved since: a change prices afresh from
    // the norm as it is now and both boxes.
    const int id = entryId(1, 3, 0);
    m_db->exec(QStringLiteral("update accounts_dep.fatigue set price=999, i_holiday=1 where id=%1;\n"
                              "update accounts_dep.norm set price=165 where o_id=1").arg(id));
    m_form->reload();
    select(id);
    const int recNo = m_form->fatigue.recNo();
    TForm24* d = m_form->Form24;
    d->fillForChange();
    QCOMPARE(d->cb_type_work->currentData().toInt(), 7777);
    d->Edit6->setText(QStringLiteral("4"));
    d->Button1Click();
    QVERIFY(m_prompts.said().isEmpty());
    QCOMPARE(m_db->scalar(QStringLiteral("select price::text || '/' || i_holiday || '/' || cnt from accounts_dep.fatigue "
                                         "where id=%1").arg(id)).toString(),
             QStringLiteral("165.0000/0/4"));
    QCOMPARE(m_db->scalar(QStringLiteral("select d_date from accounts_dep.fatigue where id=%1").arg(id)).toDate(), kFriday);
    QCOMPARE(cell(1, 7777, 0).toInt(), 9);
    QCOMPARE(m_form->fatigue.recNo(), recNo);
    QCOMPARE(m_form->fatigue.asInt(QStringLiteral("id")), id);
}

void TestUtilityWorks::changeMovingTheEntryKeepsBothCells()
{
    const int id = entryId(1, 3, 0);
    select(id);
    TForm24* d = m_form->Form24;
    d->fillForChange();
    d->pickedWorkerId() = 2;
    d->cb_type_work->setCurrentIndex(d->cb_type_work->findData(qlonglong(7778)));
    d->Button1Click();
    QVERIFY(m_prompts.said().isEmpty());
    QCOMPARE(cell(1, 7777, 0).toInt(), 5);   // the cell it left
    QCOMPARE(cell(2, 7778, 0).toInt(), 3);   // the cell it joined
    QCOMPARE(cell(1, 7777, 1).toInt(), 2);
    QCOMPARE(m_db->scalar(QStringLiteral("select price::text from accounts_dep.fatigue where id=%1").arg(id)).toString(),
             QStringLiteral("157.0000"));
}

void TestUtilityWorks::changeRefusesAnEntryChangedMeanwhile()
{
    const int id = entryId(1, 3, 0);
    select(id);
    TForm24* d = m_form->Form24;
    d->fillForChange();
    // Another client changes the entry while the dialog is open.
    m_db->exec(QStringLiteral("update accounts_dep.fatigue set cnt=6 where id=%1").arg(id));
    d->Edit6->setText(QStringLiteral("1"));
    d->Button1Click();
    QCOMPARE(m_prompts.said().size(), 1);
    QCOMPARE(m_prompts.said().first().kind, ScriptedPrompts::Said::Error);
    QCOMPARE(m_db->scalar(QStringLiteral("select cnt from accounts_dep.fatigue where id=%1").arg(id)).toInt(), 6);
    QCOMPARE(cell(1, 7777, 0).toInt(), 8);
    QVERIFY(m_form->fatigue.locate(QStringLiteral("id"), id));
    QCOMPARE(m_form->fatigue.asInt(QStringLiteral("cnt")), 6);   // the list shows the other client's change

    // An entry changed after the register was read and before the dialog opened is refused too.
    m_prompts.clear();
    m_db->exec(QStringLiteral("update accounts_dep.fatigue set cnt=7 where id=%1").arg(id));
    d->fillForChange();
    d->Button1Click();
    QCOMPARE(m_prompts.said().size(), 1);
    QCOMPARE(m_db->scalar(QStringLiteral("select cnt from accounts_dep.fatigue where id=%1").arg(id)).toInt(), 7);
}

void TestUtilityWorks::failedCellUpkeepWritesNothing()
{
    // A timesheet cell holds at most 32767 hours: a save that would overflow it fails as a whole,
    // with the database's own message.
    m_db->exec(QStringLiteral("update accounts_dep.fatigue set cnt=32000 where cnt=5"));
    fillNew(1, 1, 7777, QStringLiteral("9999"), false);
    m_form->Form24->Button1->click();
    QCOMPARE(m_prompts.said().size(), 1);
    QCOMPARE(m_prompts.said().first().kind, ScriptedPrompts::Said::Error);
    QVERIFY(m_prompts.said().first().text.contains(QStringLiteral("smallint")));
    QCOMPARE(m_db->scalar(QStringLiteral("select count(*) from accounts_dep.fatigue")).toInt(), 3);
    QCOMPARE(cell(1, 7777, 0).toInt(), 8);
}

void TestUtilityWorks::concurrentSaveAndDeleteKeepTheCell()
{
    // Client A deletes worker 1's 3 hours and holds its transaction open while client B adds 4
    // hours for the same worker, kind and day; B's recount must see A's deletion.
    const int gone = entryId(1, 3, 0);
    {
        Transaction tx(m_db->db());
        execSql(m_db->db(), QStringLiteral("delete from accounts_dep.fatigue where id=:id"), {{QStringLiteral("id"), gone}});
        timesheet_cell::syncHours(m_db->db(), tx, 1, 7777, 0, kFriday);

        const QString dbName = m_db->name();
        QThread* other = QThread::create([dbName] {
            ConnectionSettings s;
            s.host = QStringLiteral("127.0.0.1");
            s.port = TestDatabase::port();
            s.database = dbName;
            {
                utility_work::Entry e;
                e.groupId = 1;
                e.kind = 7777;
                e.workerId = 1;
                e.day = kFriday;
                e.hours = 4;
                e.price = 150;
                utility_work::save(openConnection(s, QStringLiteral("client_b")), e);
            }
            QSqlDatabase::removeDatabase(QStringLiteral("client_b"));
        });
        other->start();
        QVERIFY(!other->wait(500));   // B waits for A's lock on the worker's month
        tx.commit();
        QVERIFY(other->wait(10000));
        delete other;
    }
    QCOMPARE(cell(1, 7777, 0).toInt(), 9);
}

void TestUtilityWorks::recalculation_data()
{
    QTest::addColumn<QString>("data");
    QTest::addColumn<QDate>("picked");
    QTest::addColumn<QString>("prices");
    // Worker 1 earns 10×15 + (12−2)×10 = 250 in 10 journal hours of March: 25 an hour, twice that
    // on a day off, 1.2 times at night, 2.2 times both. Worker 3 has no journal hours. Utility
    // works and other months keep their prices.
    QTest::newRow("surcharges") << QStringLiteral(R"(
        insert into accounts_dep.smena (data, smena, w_id, i_id, o_id, cena, kol_vo, brak, time, ok) values
          ('2024-03-01', 1, 1, 10001, 3, 15, 10, 0, 5, 'no'), ('2024-03-31', 3, 1, 10001, 3, 10, 12, 2, 5, 'ok'),
          ('2024-04-01', 1, 1, 10001, 3, 99, 10, 0, 1, 'no'), ('2024-02-29', 1, 1, 10001, 3, 99, 10, 0, 1, 'no');
        insert into accounts_dep.fatigue (id_nom, id_o, id_p, d_date, i_mnth, i_year, cnt, price, i_holiday, i_night) values
          (1, 7778, 1, '2024-03-15', 3, 2024, 1, 1, 0, 0), (1, 7778, 1, '2024-03-16', 3, 2024, 1, 1, 1, 0),
          (1, 7778, 1, '2024-03-15', 3, 2024, 2, 1, 0, 1), (1, 7778, 1, '2024-03-16', 3, 2024, 2, 1, 1, 1),
          (1, 7778, 3, '2024-03-15', 3, 2024, 1, 1, 0, 0), (1, 7777, 1, '2024-03-15', 3, 2024, 3, 1, 0, 0),
          (1, 7778, 1, '2024-04-15', 4, 2024, 1, 1, 0, 0);
    )") << QDate(2024, 3, 20) << QStringLiteral("25.0000 50.0000 30.0000 55.0000 0.0000 1.0000 1.0000");
    // December 2024 counts journal entries from 1 December up to, not including, 1 January 2025.
    QTest::newRow("December") << QStringLiteral(R"(
        insert into accounts_dep.smena (data, smena, w_id, i_id, o_id, cena, kol_vo, brak, time, ok) values
          ('2024-12-01', 1, 1, 10001, 3, 20, 4, 0, 2, 'no'), ('2024-12-31', 1, 1, 10001, 3, 10, 4, 0, 2, 'no'),
          ('2025-01-01', 1, 1, 10001, 3, 500, 1, 0, 1, 'no'), ('2024-11-30', 1, 1, 10001, 3, 500, 1, 0, 1, 'no');
        insert into accounts_dep.fatigue (id_nom, id_o, id_p, d_date, i_mnth, i_year, cnt, price, i_holiday, i_night) values
          (1, 7778, 1, '2024-12-31', 12, 2024, 1, 1, 0, 0), (1, 7778, 1, '2025-01-01', 1, 2025, 1, 1, 0, 0),
          (1, 7778, 1, '2023-12-29', 12, 2023, 1, 1, 0, 0);
    )") << QDate(2024, 12, 2) << QStringLiteral("30.0000 1.0000 1.0000");
}

void TestUtilityWorks::recalculation()
{
    QFETCH(QString, data);
    QFETCH(QDate, picked);
    m_db->exec(QStringLiteral("delete from accounts_dep.fatigue;\n") + data);
    m_form->DTPcker1->setDate(picked);
    QTest::mouseClick(m_form->Button1, Qt::LeftButton);
    QVERIFY(m_prompts.said().isEmpty());
    QTEST(m_db->scalar(QStringLiteral("select string_agg(price::text, ' ' order by id) from accounts_dep.fatigue")).toString(),
          "prices");
}

void TestUtilityWorks::recalculationEqualsTheOriginalStatement_data()
{
    QTest::addColumn<int>("products");
    QTest::newRow("one product") << 1;
    QTest::newRow("three products") << 3;
}

void TestUtilityWorks::recalculationEqualsTheOriginalStatement()
{
    QFETCH(int, products);
    // Six workers with varied journal prices, rejects and hours in March, one without any; every
    // combination of the day-off and night flags; workers with journal entries but no person row;
    // entries without a worker or a flag, and flags beyond 1.
    m_db->exec(QStringLiteral(R"(
        delete from accounts_dep.fatigue;
        delete from cmn_gds_and_srv.gds_and_srv where id > 10001 or id < 10001;
        insert into cmn_gds_and_srv.gds_and_srv (s_caption) select 'И-' || g from generate_series(2, %1) g;
        insert into accounts_dep.person (id, fio) select g, 'Работник ' || g from generate_series(4, 7) g;
        insert into accounts_dep.smena (data, smena, w_id, i_id, o_id, cena, kol_vo, brak, time, ok)
        select date '2024-02-25' + n % 40, 1 + n % 4, 1 + n % 7, 10001, 3, round((7 + (n * 37 % 113) / 7.0)::numeric, 2),
               1 + n * 13 % 29, n % 3, n % 9, 'no'
          from generate_series(1, 400) n where 1 + n % 7 <> 3;
        insert into accounts_dep.smena (data, smena, w_id, i_id, o_id, cena, kol_vo, brak, time, ok)
        values ('2024-03-05', 1, 9, 10001, 3, 12.5, 10, 0, 4, 'no');
        insert into accounts_dep.fatigue (id_nom, id_o, id_p, d_date, i_mnth, i_year, cnt, price, i_holiday, i_night)
        select 1, 7777 + (w + h + n) % 2, w, '2024-03-10', 3, 2024, 1, 1, h, n
          from generate_series(1, 9) w, generate_series(0, 1) h, generate_series(0, 1) n;
        insert into accounts_dep.fatigue (id_nom, id_o, id_p, d_date, i_mnth, i_year, cnt, price, i_holiday, i_night) values
          (1, 7778, null, '2024-03-11', 3, 2024, 1, 1, 0, 0), (1, 7778, 2, '2024-03-11', 3, 2024, 1, 1, null, 0),
          (1, 7778, 4, '2024-03-11', 3, 2024, 1, 1, 0, null), (1, 7778, 5, '2024-03-11', 3, 2024, 1, 1, 2, 3);
    )").arg(products));
    QCOMPARE(m_db->scalar(QStringLiteral("select count(*) from accounts_dep.izdel")).toInt(), products);
    const QString prices = QStringLiteral("select string_agg(id || ':' || price::text, ' ' order by id) from accounts_dep.fatigue");
    const QString before = m_db->scalar(prices).toString();

    m_db->exec(QStringLiteral("set datestyle to 'ISO, DMY'"));
    m_db->exec(originalRecalculation(3, 2024));
    m_db->exec(QStringLiteral("reset datestyle"));
    const QString original = m_db->scalar(prices).toString();
    QVERIFY(original != before);
    QVERIFY(m_db->scalar(QStringLiteral("select count(distinct price) from accounts_dep.fatigue where id_o=7778")).toInt() > 5);

    m_db->exec(QStringLiteral("update accounts_dep.fatigue set price=1"));
    m_form->DTPcker1->setDate(QDate(2024, 3, 31));
    QTest::mouseClick(m_form->Button1, Qt::LeftButton);
    QCOMPARE(m_db->scalar(prices).toString(), original);
}

QTEST_MAIN(TestUtilityWorks)
#include "tst_utility_works.moc"
