#include "journal/utility_works_dialog.h"
#include "data/codes.h"
#include "data/data_module.h"
#include "data/formats.h"
#include "data/prompts.h"
#include "data/statement.h"
#include "data/timesheet_cell.h"
#include "data/transaction.h"
#include "journal/utility_works_register.h"
#include "ui/dialog_buttons.h"
#include "ui/guard.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QSignalBlocker>
#include <algorithm>
#include <cmath>

namespace utility_work {
namespace {

const QString kEntryAsStored = QStringLiteral(
    "select xmin::text as ver, id_nom, id_o, id_p, d_date, cnt, price, i_holiday, i_night "
    "from accounts_dep.fatigue where id=:id");
// The row stays locked to the end of the save: nobody changes it between the check and the write.
const QString kLockEntry = QStringLiteral(
    "select xmin::text as ver, id_p, id_o, i_night, d_date from accounts_dep.fatigue where id=:id for update");
const QString kInsert = QStringLiteral(
    "INSERT INTO accounts_dep.fatigue(id_nom, id_o, id_p, d_date, i_mnth, i_year, i_smena, cnt, price, i_holiday, i_night)"
    "VALUES(:id_nom, :id_o, :id_p, :d_date, :i_mnth, :i_year, :i_smena, :cnt, :price, :i_holiday, :i_night)");
// The date, month, year and shift of a changed entry stay as they were.
const QString kUpdate = QStringLiteral(
    "UPDATE accounts_dep.fatigue SET id_nom=:id_nom, id_o=:id_o, id_p=:id_p, cnt=:cnt, price=:price, "
    "i_holiday=:i_holiday, i_night=:i_night where id=:id");
// The cell to bring into step is the one of the row as it was deleted.
const QString kDelete = QStringLiteral(
    "delete from accounts_dep.fatigue where id=:id returning id_p, id_o, i_night, d_date");

/// One timesheet cell of hour-paid work: worker, work kind, night flag, day.
struct Place {
    int worker = 0;
    int kind = 0;
    int night = 0;
    QDate day;
    bool operator==(const Place&) const = default;
};

bool sameAsShown(const Dataset& stored, const Dataset& shown)
{
    for (const char* field : {"id_nom", "id_o", "id_p", "cnt", "i_holiday", "i_night"})
        if (stored.asLongLong(QLatin1String(field)) != shown.asLongLong(QLatin1String(field))) return false;
    return stored.asDouble(QStringLiteral("price")) == shown.asDouble(QStringLiteral("price")) &&
           stored.asDate(QStringLiteral("d_date")) == shown.asDate(QStringLiteral("d_date"));
}

} // namespace

const QString kRecalculateAverage = QStringLiteral(
    // Each journal entry of the worker in the month counts as (kol_vo - brak) * cena with the
    // repriced entry's own day-off (x2) and night (+20%) surcharges, per journal hour, rounded to
    // kopecks; a worker without journal hours that month (or without a person row) gets 0. Only
    // the journal and the workers are read: the average depends on no product. The month's journal
    // is read once for every worker and pair of flags that has entries, not once an entry; the
    // arithmetic per journal entry stays as it was, so the prices do not move by a kopeck.
    "with a as (select k.id_p, k.i_holiday, k.i_night, case when coalesce(sum(s.time),0)::numeric(10,2)=0 then 0 "
    "else coalesce(sum((s.kol_vo-s.brak)*(s.cena+s.cena*k.i_holiday+s.cena*k.i_night*0.2))/sum(time),0)::numeric(10,2) "
    "end as price "
    "from (select distinct id_p, i_holiday, i_night from accounts_dep.fatigue "
    "where i_mnth = :mnth and i_year = :year and id_o =7778) k "
    "join accounts_dep.person p on p.id=k.id_p "
    "join accounts_dep.smena s on s.w_id=p.id and s.data<:next and s.data>=:first "
    "group by k.id_p, k.i_holiday, k.i_night) "
    // An entry without a worker or flags finds no average and gets 0, as it always did.
    "update accounts_dep.fatigue f set price=coalesce(a.price,0) "
    "from accounts_dep.fatigue e left join a on a.id_p=e.id_p and a.i_holiday=e.i_holiday and a.i_night=e.i_night "
    "where f.id=e.id and e.i_mnth = :mnth and e.i_year = :year and e.id_o =7778");

double hourlyPrice(double normPrice, bool dayOff, bool night)
{
    double price = normPrice * (dayOff ? 2.0 : 1.0);
    if (night) price *= 1.2;
    return std::round(price * 10000.0) / 10000.0;
}

QString versionOf(const QSqlDatabase& db, const Dataset& registerRow)
{
    Dataset stored(db, kEntryAsStored);
    stored.setParam(QStringLiteral("id"), registerRow.asInt(QStringLiteral("id")));
    stored.open();
    if (stored.isEmpty() || !sameAsShown(stored, registerRow)) return {};
    return stored.asString(QStringLiteral("ver"));
}

Outcome save(const QSqlDatabase& db, const Entry& e)
{
    Transaction tx(db);
    const Place now{e.workerId, e.kind, e.night ? 1 : 0, e.day};
    QList<Place> places = {now};
    const Params common = {{QStringLiteral("id_nom"), e.groupId},   {QStringLiteral("id_o"), e.kind},
                           {QStringLiteral("id_p"), e.workerId},    {QStringLiteral("cnt"), e.hours},
                           {QStringLiteral("price"), e.price},      {QStringLiteral("i_holiday"), e.dayOff ? 1 : 0},
                           {QStringLiteral("i_night"), e.night ? 1 : 0}};
    if (e.id != 0) {
        Dataset stored(db, kLockEntry);
        stored.setParam(QStringLiteral("id"), e.id);
        stored.open();
        if (stored.isEmpty() || e.version.isEmpty() || stored.asString(QStringLiteral("ver")) != e.version)
            return Outcome::Stale;
        const QDate day = stored.asDate(QStringLiteral("d_date"));
        places = {{e.workerId, e.kind, e.night ? 1 : 0, day},
                  {stored.asInt(QStringLiteral("id_p")), stored.asInt(QStringLiteral("id_o")),
                   stored.asInt(QStringLiteral("i_night")), day}};
        execSql(db, kUpdate, common + Params{{QStringLiteral("id"), e.id}});
    } else {
        execSql(db, kInsert,
                common + Params{{QStringLiteral("d_date"), e.day},
                                {QStringLiteral("i_mnth"), e.day.month()},
                                {QStringLiteral("i_year"), e.day.year()},
                                {QStringLiteral("i_smena"), e.shift}});
    }
    // A change that moves the entry to another worker or work kind leaves hours behind in the cell
    // it left. The cells go in the order of their workers, so that two clients moving entries
    // between the same workers take the workers' month locks in the same order.
    if (places.size() == 2 && places[0] == places[1]) places.removeLast();
    std::sort(places.begin(), places.end(), [](const Place& a, const Place& b) { return a.worker < b.worker; });
    for (const Place& p : std::as_const(places)) timesheet_cell::syncHours(db, tx, p.worker, p.kind, p.night, p.day);
    tx.commit();
    return Outcome::Saved;
}

Outcome remove(const QSqlDatabase& db, int id)
{
    Transaction tx(db);
    Dataset gone(db, kDelete);
    gone.setParam(QStringLiteral("id"), id);
    gone.open();
    if (gone.isEmpty()) return Outcome::Stale;
    timesheet_cell::syncHours(db, tx, gone.asInt(QStringLiteral("id_p")), gone.asInt(QStringLiteral("id_o")),
                              gone.asInt(QStringLiteral("i_night")), gone.asDate(QStringLiteral("d_date")));
    tx.commit();
    return Outcome::Saved;
}

void recalculateAverage(const QSqlDatabase& db, int month, int year)
{
    const QDate first(year, month, 1);
    Transaction tx(db);
    execSql(db, kRecalculateAverage,
            {{QStringLiteral("first"), first}, {QStringLiteral("next"), first.addMonths(1)},
             {QStringLiteral("mnth"), month}, {QStringLiteral("year"), year}});
    tx.commit();
}

} // namespace utility_work

// ---------------------------------------------------------------------------------------------
// The dialog

namespace {

const QString kTypeWork = QStringLiteral(
    "select vo.id, vo.vid, n.price, (n.price*:cnt) as summ from accounts_dep.vid_oper vo,accounts_dep.norm n, accounts_dep.oper o \n"
    "where n.o_id =o.id and o.vid=vo.id and (vo.id = 7777 or vo.id = 7778)");

} // namespace

TForm24::TForm24(TDataModule6& dm, TForm25& register25, QWidget* parent)
    : QDialog(parent), type_work(dm.ADO_DB, kTypeWork), m_dm(dm), m_register(register25), m_prompts(dm.prompts())
{
    setObjectName(QStringLiteral("Form24"));
    setWindowTitle(QStringLiteral("Хоз. работы/среднесдельная (24)"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    type_work.setParam(QStringLiteral("cnt"), 0);

    GroupBox1 = new QGroupBox(QStringLiteral("Закрыто мастером"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    auto* grid = new QGridLayout(GroupBox1);

    auto label = [this](const char* name, const QString& caption) {
        auto* l = new QLabel(caption, GroupBox1);
        l->setObjectName(QLatin1String(name));
        return l;
    };
    auto line = [this](const char* name, bool readOnly) {
        auto* e = new QLineEdit(GroupBox1);
        e->setObjectName(QLatin1String(name));
        e->setReadOnly(readOnly);
        if (readOnly) e->setFocusPolicy(Qt::NoFocus);
        return e;
    };
    auto dots = [this](const char* name) {
        auto* b = new QPushButton(QStringLiteral("..."), GroupBox1);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        b->setFixedWidth(30);
        return b;
    };

    Label1 = label("Label1", QStringLiteral("ФИО"));
    Edit1 = line("Edit1", true);
    Button3 = dots("Button3");
    Label1->setBuddy(Edit1);
    Label2 = label("Label2", QStringLiteral("Номенклатура"));
    Edit2 = line("Edit2", true);
    Button4 = dots("Button4");
    Label2->setBuddy(Edit2);
    grid->addWidget(Label1, 0, 0);
    grid->addWidget(Edit1, 0, 1);
    grid->addWidget(Button3, 0, 2);
    grid->addWidget(Label2, 1, 0);
    grid->addWidget(Edit2, 1, 1);
    grid->addWidget(Button4, 1, 2);

    auto* amounts = new QHBoxLayout;
    cb_type_work = new QComboBox(GroupBox1);
    cb_type_work->setObjectName(QStringLiteral("cb_type_work"));
    cb_type_work->setAccessibleName(QStringLiteral("Работа"));
    cb_type_work->setMinimumWidth(130);
    Edit6 = line("Edit6", false);
    Edit6->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,4}")), Edit6));
    Edit6->setFixedWidth(50);
    Edit6->setAlignment(Qt::AlignRight);
    // One caption between the hours and the price: the unit of the hours, then the price's title.
    Label8 = label("Label8", QStringLiteral("ч.    Цена"));
    Label8->setBuddy(Edit6);
    DBEdit1 = line("DBEdit1", true);
    DBEdit1->setEnabled(false);
    DBEdit1->setFixedWidth(80);
    DBEdit1->setAlignment(Qt::AlignRight);
    Label3 = label("Label3", QStringLiteral("р.    Сумма"));
    DBEdit2 = line("DBEdit2", true);
    DBEdit2->setEnabled(false);
    DBEdit2->setFixedWidth(90);
    DBEdit2->setAlignment(Qt::AlignRight);
    Label3->setBuddy(DBEdit2);
    amounts->addWidget(cb_type_work);
    amounts->addWidget(Edit6);
    amounts->addWidget(Label8);
    amounts->addWidget(DBEdit1);
    amounts->addWidget(Label3);
    amounts->addWidget(DBEdit2);
    amounts->addStretch();
    grid->addLayout(amounts, 2, 0, 1, 3);

    CBox1 = new QCheckBox(QStringLiteral("Ночные"), GroupBox1);
    CBox1->setObjectName(QStringLiteral("CBox1"));
    grid->addWidget(CBox1, 3, 0, 1, 3);

    const DialogButtons buttons = addDialogButtons(this, GroupBox1, QStringLiteral("Записать"));
    Button1 = buttons.Button1;
    Button6 = buttons.Button2;
    Button6->setObjectName(QStringLiteral("Button6"));
    Button6->setText(QStringLiteral("Выход"));
    setTabOrder(Button3, Button4);
    setTabOrder(Button4, cb_type_work);
    setTabOrder(cb_type_work, Edit6);
    setTabOrder(Edit6, CBox1);
    setTabOrder(CBox1, Button1);
    setTabOrder(Button1, Button6);

    connect(Button1, &QPushButton::clicked, this, guarded(m_prompts, [this] { Button1Click(); }));
    connect(Button6, &QPushButton::clicked, this, &QDialog::reject);
    connect(Button3, &QPushButton::clicked, this, guarded(m_prompts, [this] { Button3Click(); }));
    connect(Button4, &QPushButton::clicked, this, guarded(m_prompts, [this] { Button4Click(); }));
    connect(cb_type_work, &QComboBox::currentIndexChanged, this, [this] { cb_type_workChange(); });
    connect(Edit6, &QLineEdit::textChanged, this, [this] { showAmounts(); });
    connect(CBox1, &QCheckBox::toggled, this, [this] { showAmounts(); });
    setFixedSize(sizeHint().expandedTo(QSize(560, 0)));
}

void TForm24::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());
}

void TForm24::fillKinds()
{
    type_work.close();
    type_work.open();
    const QSignalBlocker quiet(cb_type_work);
    cb_type_work->clear();
    // One item a kind, whatever number of norm rows it has; a kind stands for its first norm row.
    for (int row = 0; row < type_work.recordCount(); ++row) {
        const qlonglong id = Dataset::toLongLong(type_work.valueAt(row, QStringLiteral("id")));
        if (cb_type_work->findData(id) < 0)
            cb_type_work->addItem(Dataset::toText(type_work.valueAt(row, QStringLiteral("vid"))), id);
    }
}

void TForm24::chooseKind(int kind)
{
    {
        const QSignalBlocker quiet(cb_type_work);
        cb_type_work->setCurrentIndex(cb_type_work->findData(qlonglong(kind)));
    }
    cb_type_workChange();
}

void TForm24::fillForAdd()
{
    Tag = 0;
    m_entryId = 0;
    m_version.clear();
    fillKinds();
    Edit1->clear();
    Edit2->clear();
    Edit6->setText(QStringLiteral("0"));
    CBox1->setChecked(false);
    CBox1->setEnabled(true);
    sel_id_nom = 0;
    sel_id_p = 0;
    chooseKind(codes::kUtilityWorks);
}

void TForm24::fillForChange()
{
    const Dataset& row = m_register.fatigue;
    Tag = 1;
    m_entryId = row.asInt(QStringLiteral("id"));
    m_version = utility_work::versionOf(m_dm.ADO_DB, row);
    fillKinds();
    Edit1->setText(row.asString(QStringLiteral("fio")));
    Edit2->setText(row.asString(QStringLiteral("s_caption")));
    Edit6->setText(row.asString(QStringLiteral("cnt")));
    sel_id_nom = row.asInt(QStringLiteral("id_nom"));
    sel_id_p = row.asInt(QStringLiteral("id_p"));
    CBox1->setChecked(row.asInt(QStringLiteral("i_night")) != 0);
    CBox1->setEnabled(false);
    chooseKind(row.asInt(QStringLiteral("id_o")));
}

void TForm24::runModal()
{
    exec();
    type_work.close();
}

void TForm24::openForAdd()
{
    fillForAdd();
    runModal();
}

void TForm24::openForChange()
{
    fillForChange();
    runModal();
}

void TForm24::cb_type_workChange()
{
    if (cb_type_work->currentIndex() >= 0) type_work.locate(QStringLiteral("id"), cb_type_work->currentData());
    showAmounts();
}

bool TForm24::normPrice(double& price)
{
    if (cb_type_work->currentIndex() < 0 || !type_work.isOpen() ||
        !type_work.locate(QStringLiteral("id"), cb_type_work->currentData()) || type_work.isNull(QStringLiteral("price")))
        return false;
    price = type_work.asDouble(QStringLiteral("price"));
    return true;
}

void TForm24::showAmounts()
{
    double norm = 0;
    if (!normPrice(norm)) {
        DBEdit1->clear();
        DBEdit2->clear();
        return;
    }
    const double price = utility_work::hourlyPrice(norm, m_register.CBox1->isChecked(), CBox1->isChecked());
    DBEdit1->setText(formats::general(norm));
    DBEdit2->setText(formats::general(Edit6->text().toInt() * price));
}

void TForm24::Button3Click()
{
    if (openWorkerPick) openWorkerPick(*this);
}

void TForm24::Button4Click()
{
    if (openGroupPick) openGroupPick(*this);
}

void TForm24::Button1Click()
{
    if (sel_id_nom == 0 || sel_id_p == 0) {
        m_prompts.error(QStringLiteral("Все поля должны быть заполнены!"), QStringLiteral("Ошибка"));
        return;
    }
    // An empty hours box is no quantity either.
    const int hours = Edit6->text().toInt();
    if (hours < 1) {
        m_prompts.error(QStringLiteral("Нужно завести количество!"), QStringLiteral("Ошибка"));
        return;
    }
    double norm = 0;
    if (!normPrice(norm)) {
        m_prompts.error(QStringLiteral("Для выбранного вида работ не заведена цена в нормах!"), QStringLiteral("Ошибка"));
        return;
    }

    utility_work::Entry e;
    e.id = Tag == 0 ? 0 : m_entryId;
    e.version = m_version;
    e.groupId = sel_id_nom;
    e.kind = int(cb_type_work->currentData().toLongLong());
    e.workerId = sel_id_p;
    e.day = m_register.date();
    e.shift = m_register.smena_no;
    e.hours = hours;
    e.dayOff = m_register.CBox1->isChecked();
    e.night = CBox1->isChecked();
    e.price = utility_work::hourlyPrice(norm, e.dayOff, e.night);

    const utility_work::Outcome outcome = utility_work::save(m_dm.ADO_DB, e);
    m_register.reload();
    if (outcome == utility_work::Outcome::Stale) {
        m_prompts.error(QStringLiteral("Позицию уже изменил или удалил другой пользователь. Список обновлён; "
                                       "откройте позицию заново."),
                        QStringLiteral("Ошибка"));
        reject();
        return;
    }
    accept();
}
