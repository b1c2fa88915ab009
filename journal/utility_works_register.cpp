#include "journal/utility_works_register.h"
#include "data/data_module.h"
#include "data/prompts.h"
#include "journal/utility_works_dialog.h"
#include "ui/data_grid.h"
#include "ui/grid_model.h"
#include "ui/guard.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace {

const QString kFatigue = QStringLiteral(
    "select distinct vo.vid, p.fio, i.s_caption, (f.cnt*f.price) as summ,  f.*, case when f.i_holiday=0 then '' else '+' end as s_holiday, case when f.i_night=0 then '' else '+' end as s_night\n"
    "from accounts_dep.fatigue f, cmn_classifier.item i, accounts_dep.person p,accounts_dep.vid_oper vo, accounts_dep.oper o \n"
    "where f.id_nom =i.id and p.id=f.id_p and vo.id = f.id_o and o.i_id >=7777 and o.vid >=7777 and f.d_date = :d_date\n"
    "order by p.fio, f.id");

bool isDayOff(const QDate& d) { return d.dayOfWeek() >= 6; }

QList<ColumnSpec> registerColumns()
{
    const auto left = Qt::AlignLeft | Qt::AlignVCenter;
    const auto right = Qt::AlignRight | Qt::AlignVCenter;
    return {
        {"fio", "ФИО", left, false, 180},
        {"s_caption", "Номенклатура", left, false, 160},
        {"vid", "Работа", left, false, 110},
        {"price", "Цена", right, false, 70},
        {"cnt", "Кол-во", right, false, 60},
        {"summ", "Итого", right, false, 80},
        {"s_holiday", "Вых.", Qt::AlignCenter, false, 45},
        {"s_night", "Ноч.", Qt::AlignCenter, false, 45},
    };
}

} // namespace

TForm25::TForm25(TDataModule6& dm, QWidget* parent)
    : QDialog(parent), fatigue(dm.ADO_DB, kFatigue), m_dm(dm), m_prompts(dm.prompts())
{
    setObjectName(QStringLiteral("Form25"));
    setWindowTitle(QStringLiteral("Хоз. работы (25)"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);

    auto* layout = new QVBoxLayout(this);
    DBGrid1 = new DataGrid(this);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    m_model = new GridModel(&fatigue, registerColumns(), this);
    DBGrid1->setGridModel(m_model);
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
    DTPcker1 = new QDateEdit(this);
    DTPcker1->setObjectName(QStringLiteral("DTPcker1"));
    DTPcker1->setCalendarPopup(true);
    DTPcker1->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
    DTPcker1->setDate(QDate::currentDate());
    auto* dateLabel = new QLabel(QStringLiteral("Дата"), this);
    dateLabel->setObjectName(QStringLiteral("LabelDTPcker1"));
    dateLabel->setBuddy(DTPcker1);
    bar->addSpacing(12);
    bar->addWidget(dateLabel);
    bar->addWidget(DTPcker1);
    CBox1 = new QCheckBox(QStringLiteral("Выходной"), this);
    CBox1->setObjectName(QStringLiteral("CBox1"));
    bar->addWidget(CBox1);
    bar->addStretch();
    Button8 = button("Button8", QStringLiteral("Выход"));
    layout->addLayout(bar);

    connect(Button5, &QPushButton::clicked, this, guarded(m_prompts, [this] { Button5Click(); }));
    connect(Button6, &QPushButton::clicked, this, guarded(m_prompts, [this] { Button6Click(); }));
    connect(Button7, &QPushButton::clicked, this, guarded(m_prompts, [this] { Button7Click(); }));
    connect(Button1, &QPushButton::clicked, this, guarded(m_prompts, [this] { Button1Click(); }));
    connect(Button8, &QPushButton::clicked, this, &QDialog::reject);
    connect(DBGrid1, &QAbstractItemView::doubleClicked, this, guarded(m_prompts, [this] { Button6Click(); }));
    connect(CBox1, &QCheckBox::toggled, this, [this] { CBox1Click(); });
    // Whatever changes the date (a pick in the calendar, the arrow keys, typing), the list shows
    // that date at once: a stale list would let "Удалить" and "Изменить" act on another day.
    connect(DTPcker1, &QDateEdit::dateChanged, this, guarded(m_prompts, [this] { DTPcker1Change(); }));

    Form24 = new TForm24(dm, *this, this);
    setFixedSize(820, 480);
}

QDate TForm25::date() const { return DTPcker1->date(); }

void TForm25::openFor(const QDate& day)
{
    {
        const QSignalBlocker quiet(DTPcker1);   // the journal's date leaves the day-off box alone
        DTPcker1->setDate(day);
    }
    exec();
    fatigue.close();
}

void TForm25::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());
    runGuarded(m_prompts, [this] { FormActivate(); });
}

void TForm25::FormActivate()
{
    fatigue.close();
    fatigue.setParam(QStringLiteral("d_date"), DTPcker1->date());
    fatigue.open();
    smena_no = 1;
}

void TForm25::DTPcker1Change()
{
    CBox1->setChecked(isDayOff(DTPcker1->date()));
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const auto restore = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
    fatigue.close();
    fatigue.setParam(QStringLiteral("d_date"), DTPcker1->date());
    fatigue.open();
}

void TForm25::CBox1Click()
{
    QFont f = CBox1->font();
    f.setBold(CBox1->isChecked());
    CBox1->setFont(f);
    CBox1->setAutoFillBackground(CBox1->isChecked());
    CBox1->setStyleSheet(CBox1->isChecked() ? QStringLiteral("QCheckBox { background-color: rgb(255, 0, 0); }") : QString());
}

void TForm25::reload()
{
    if (fatigue.isOpen()) {
        fatigue.refresh();
        return;
    }
    FormActivate();
}

void TForm25::Button5Click() { Form24->openForAdd(); }

void TForm25::Button6Click()
{
    if (fatigue.isEmpty()) return;
    Form24->openForChange();
}

void TForm25::Button7Click()
{
    if (fatigue.isEmpty()) return;
    if (!m_prompts.question(QStringLiteral("Удалить позицию из списка?"), QStringLiteral("Удаление"))) return;
    const utility_work::Outcome outcome = utility_work::remove(m_dm.ADO_DB, fatigue.asInt(QStringLiteral("id")));
    reload();
    if (outcome == utility_work::Outcome::Stale)
        m_prompts.error(QStringLiteral("Эта позиция уже удалена другим пользователем. Список обновлён."),
                        QStringLiteral("Ошибка"));
}

void TForm25::Button1Click()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const auto restore = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
    const QDate day = DTPcker1->date();
    utility_work::recalculateAverage(m_dm.ADO_DB, day.month(), day.year());
    reload();
}
