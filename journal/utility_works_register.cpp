#include "journal/utility_works_register.h"
#include "data/data_module.h"
#include "data/formats.h"
#include "data/prompts.h"
#include "journal/history_window.h"
#include "journal/utility_works_dialog.h"
#include "rules/hour_entries.h"
#include "ui/data_grid.h"
#include "rules/month_close.h"
#include "ui/closed_month.h"
#include "ui/guard.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace {

const QString kFatigue = QStringLiteral(
    "select distinct vo.vid, p.fio, i.s_caption, (f.cnt*f.price) as summ,  f.*, case when f.i_holiday=0 then '' else '+' end as s_holiday, case when f.i_night=0 then '' else '+' end as s_night\n"
    "from accounts_dep.fatigue f, cmn_classifier.item i, accounts_dep.person p,accounts_dep.vid_oper vo, accounts_dep.oper o \n"
    "where f.id_nom =i.id and p.id=f.id_p and vo.id = f.id_o and o.i_id >=7777 and o.vid >=7777 and f.d_date = :d_date\n"
    "order by p.fio, f.id");

QList<ColumnSpec> registerColumns()
{
    const auto centred = Qt::AlignCenter;
    return {
        {QStringLiteral("fio"), QStringLiteral("ФИО"), Qt::AlignLeft | Qt::AlignVCenter, false, 200},
        {QStringLiteral("s_caption"), QStringLiteral("Номенклатура"), Qt::AlignLeft | Qt::AlignVCenter, false, 180},
        {QStringLiteral("vid"), QStringLiteral("Работа"), Qt::AlignLeft | Qt::AlignVCenter, false, 120},
        {QStringLiteral("price"), QStringLiteral("Цена"), Qt::AlignRight | Qt::AlignVCenter},
        {QStringLiteral("cnt"), QStringLiteral("Кол-во"), Qt::AlignRight | Qt::AlignVCenter},
        {QStringLiteral("summ"), QStringLiteral("Итого"), Qt::AlignRight | Qt::AlignVCenter},
        {QStringLiteral("s_holiday"), QStringLiteral("Вых."), centred},
        {QStringLiteral("s_night"), QStringLiteral("Ноч."), centred},
    };
}

} // namespace

TForm25::TForm25(TDataModule6& dm, QWidget* parent)
    : QDialog(parent), fatigue(dm.ADO_DB, kFatigue), m_dm(dm), m_prompts(dm.prompts())
{
    setObjectName(QStringLiteral("Form25"));
    setWindowTitle(QStringLiteral("Хоз. работы (25)"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    fatigue.setObjectName(QStringLiteral("fatigue"));

    auto* layout = new QVBoxLayout(this);
    DBGrid1 = new DataGrid(this);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setGridModel(new GridModel(&fatigue, registerColumns(), this));
    layout->addWidget(DBGrid1, 1);

    auto* bar = new QHBoxLayout;
    auto button = [&](const char* name, const QString& caption) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        bar->addWidget(b);
        return b;
    };
    Button5 = button("Button5", QStringLiteral("Добавить"));
    Button6 = button("Button6", QStringLiteral("Изменить"));
    Button7 = button("Button7", QStringLiteral("Удалить"));
    Button1 = button("Button1", QStringLiteral("Расчитать ср.сд."));
    HistoryButton = button("HistoryButton", QStringLiteral("История"));
    DTPcker1 = new QDateEdit(QDate::currentDate(), this);
    DTPcker1->setObjectName(QStringLiteral("DTPcker1"));
    DTPcker1->setCalendarPopup(true);
    DTPcker1->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
    bar->addWidget(DTPcker1);
    CBox1 = new QCheckBox(QStringLiteral("Выходной"), this);
    CBox1->setObjectName(QStringLiteral("CBox1"));
    CBox1->setAutoFillBackground(true);
    bar->addWidget(CBox1);
    bar->addStretch();
    Button8 = button("Button8", QStringLiteral("Выход"));
    DBGrid1->actAs(Button5, Button6, Button7, nullptr);
    DBGrid1->addContextSeparator();
    DBGrid1->addToContextMenu(HistoryButton, QStringLiteral("История изменений"));
    layout->addLayout(bar);
    setFixedSize(900, 500);

    connect(Button5, &QPushButton::clicked, this, guarded(m_prompts, [this] { Button5Click(); }));
    connect(Button6, &QPushButton::clicked, this, guarded(m_prompts, [this] { Button6Click(); }));
    connect(DBGrid1, &QAbstractItemView::doubleClicked, this, guarded(m_prompts, [this] { Button6Click(); }));
    connect(Button7, &QPushButton::clicked, this, guarded(m_prompts, [this] { Button7Click(); }));
    connect(Button1, &QPushButton::clicked, this, guarded(m_prompts, [this] { Button1Click(); }));
    connect(HistoryButton, &QPushButton::clicked, this, guarded(m_prompts, [this] { HistoryButtonClick(); }));
    connect(Button8, &QPushButton::clicked, this, &QDialog::reject);
    connect(CBox1, &QCheckBox::toggled, this, guarded(m_prompts, [this] { CBox1Click(); }));
    // Every change of the date, by whatever means, reloads the list at once.
    connect(DTPcker1, &QDateEdit::dateChanged, this, guarded(m_prompts, [this] {
        if (!m_settingDate) DTPcker1Change();
    }));
}

void TForm25::openFor(const QDate& date)
{
    m_settingDate = true;
    DTPcker1->setDate(date);
    m_settingDate = false;
    exec();
    fatigue.close();
}

void TForm25::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());
    runGuarded(m_prompts, [this] { FormActivate(); });
}

void TForm25::reload()
{
    fatigue.close();
    fatigue.setParam(QStringLiteral("d_date"), DTPcker1->date());
    fatigue.open();
    const QDate day = DTPcker1->date();
    greyForClosedMonth({Button5, Button6, Button7, Button1}, month_close::isClosed(m_dm.ADO_DB, day.month(), day.year()));
}

void TForm25::reloadKeepingPlace()
{
    const int rec = fatigue.recNo();
    reload();
    if (!fatigue.isEmpty() && rec >= 1) fatigue.setRecNo(rec);
}

void TForm25::FormActivate()
{
    reload();
    smena_no = 1;
}

void TForm25::DTPcker1Change()
{
    const int dow = DTPcker1->date().dayOfWeek();
    CBox1->setChecked(dow == Qt::Saturday || dow == Qt::Sunday);
    reload();
}

void TForm25::CBox1Click()
{
    QFont f = CBox1->font();
    f.setBold(CBox1->isChecked());
    CBox1->setFont(f);
    CBox1->setStyleSheet(CBox1->isChecked() ? QStringLiteral("QCheckBox { background-color: rgb(255, 0, 0); }") : QString());
}

void TForm25::Button5Click()
{
    if (Form24) Form24->openForAdd();
}

void TForm25::Button6Click()
{
    if (Form24 && !fatigue.isEmpty()) Form24->openForChange(fatigue);
}

void TForm25::Button7Click()
{
    if (fatigue.isEmpty()) return;
    if (!m_prompts.question(QStringLiteral("Удалить позицию из списка?"), QStringLiteral("Удаление"))) return;
    const hour_entry::Removal removal = hour_entry::remove(m_dm.ADO_DB, fatigue.asInt(QStringLiteral("id")));
    reloadKeepingPlace();
    if (removal != hour_entry::Removal::Deleted) m_prompts.error(hour_entry::removalMessage(removal), QStringLiteral("Ошибка"));
}

void TForm25::Button1Click()
{
    hour_entry::recalculateAveragePiecework(m_dm.ADO_DB, DTPcker1->date());
    reloadKeepingPlace();
}

void TForm25::HistoryButtonClick()
{
    if (!Form30 || fatigue.isEmpty()) return;
    const int id = fatigue.asInt(QStringLiteral("id"));
    Form30->openForEntry(change_history::Table::Hours, id,
                         QStringLiteral("часы №%1: %2, %3, %4")
                             .arg(id)
                             .arg(fatigue.asString(QStringLiteral("fio")).trimmed(), fatigue.asString(QStringLiteral("s_caption")).trimmed(),
                                  formats::date(fatigue.asDate(QStringLiteral("d_date")))));
}
