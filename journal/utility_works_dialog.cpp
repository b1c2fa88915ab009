#include "journal/utility_works_dialog.h"
#include "data/data_module.h"
#include "rules/entry_limits.h"
#include "data/formats.h"
#include "data/prompts.h"
#include "journal/utility_works_register.h"
#include "rules/hour_entries.h"
#include "ui/entry_flow.h"
#include "ui/guard.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

namespace {

const QString kTypeWork = QStringLiteral(
    "select vo.id, vo.vid, n.price, (n.price*:cnt) as summ from accounts_dep.vid_oper vo,accounts_dep.norm n, accounts_dep.oper o \n"
    "where n.o_id =o.id and o.vid=vo.id and (vo.id = 7777 or vo.id = 7778)");

/// Most hours one entry takes: what the field lets one type.
constexpr qint64 kEntryHours = 999;

} // namespace

TForm24::TForm24(TDataModule6& dm, TForm25& form25, QWidget* parent)
    : QDialog(parent), type_work(dm.ADO_DB, kTypeWork), m_dm(dm), m_form25(form25), m_prompts(dm.prompts())
{
    setObjectName(QStringLiteral("Form24"));
    setWindowTitle(QStringLiteral("Хоз. работы/среднесдельная (24)"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    type_work.setObjectName(QStringLiteral("type_work"));
    type_work.setParam(QStringLiteral("cnt"), 0);

    auto* layout = new QVBoxLayout(this);
    GroupBox1 = new QGroupBox(QStringLiteral("Закрыто мастером"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    auto* grid = new QGridLayout(GroupBox1);
    auto field = [&](const char* name, bool readOnly) {
        auto* e = new QLineEdit(GroupBox1);
        e->setObjectName(QLatin1String(name));
        e->setReadOnly(readOnly);
        if (readOnly) e->setFocusPolicy(Qt::NoFocus);
        return e;
    };
    auto label = [&](const char* name, const QString& caption, QWidget* buddy) {
        auto* l = new QLabel(caption, GroupBox1);
        l->setObjectName(QLatin1String(name));
        l->setBuddy(buddy);
        return l;
    };
    auto pickButton = [&](const char* name) {
        auto* b = new QPushButton(QStringLiteral("..."), GroupBox1);
        b->setObjectName(QLatin1String(name));
        // Enter on a pick opens it; with the focus elsewhere Enter stays with "Записать".
        b->setAutoDefault(true);
        b->setFixedWidth(30);
        return b;
    };
    Edit1 = field("Edit1", true);
    Label1 = label("Label1", QStringLiteral("ФИО"), Edit1);
    Button3 = pickButton("Button3");
    Edit2 = field("Edit2", true);
    Label2 = label("Label2", QStringLiteral("Номенклатура"), Edit2);
    Button4 = pickButton("Button4");
    grid->addWidget(Label1, 0, 0);
    grid->addWidget(Edit1, 0, 1, 1, 6);
    grid->addWidget(Button3, 0, 7);
    grid->addWidget(Label2, 1, 0);
    grid->addWidget(Edit2, 1, 1, 1, 6);
    grid->addWidget(Button4, 1, 7);

    cb_type_work = new QComboBox(GroupBox1);
    cb_type_work->setObjectName(QStringLiteral("cb_type_work"));
    Edit6 = field("Edit6", false);
    Edit6->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,3}")), Edit6));
    DBEdit1 = field("DBEdit1", true);
    DBEdit1->setEnabled(false);
    DBEdit2 = field("DBEdit2", true);
    DBEdit2->setEnabled(false);
    grid->addWidget(label("LabelKind", QStringLiteral("Работа"), cb_type_work), 2, 0);
    grid->addWidget(cb_type_work, 2, 1);
    grid->addWidget(Edit6, 2, 2);
    grid->addWidget(label("Label8", QStringLiteral("ч."), Edit6), 2, 3);
    grid->addWidget(label("LabelPrice", QStringLiteral("Цена"), DBEdit1), 2, 4);
    grid->addWidget(DBEdit1, 2, 5);
    grid->addWidget(label("Label3", QStringLiteral("р.    Сумма"), DBEdit2), 3, 4);
    grid->addWidget(DBEdit2, 3, 5);
    CBox1 = new QCheckBox(QStringLiteral("Ночные"), GroupBox1);
    CBox1->setObjectName(QStringLiteral("CBox1"));
    grid->addWidget(CBox1, 3, 1);
    layout->addWidget(GroupBox1);

    auto* bar = new QHBoxLayout;
    bar->addStretch();
    Button1 = new QPushButton(QStringLiteral("Записать"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setDefault(true);
    Button6 = new QPushButton(QStringLiteral("Выход"), this);
    Button6->setObjectName(QStringLiteral("Button6"));
    Button6->setAutoDefault(false);
    bar->addWidget(Button1);
    bar->addWidget(Button6);
    layout->addLayout(bar);

    connect(Button1, &QPushButton::clicked, this, guarded(m_prompts, [this] { Button1Click(); }));
    connect(Button6, &QPushButton::clicked, this, &QDialog::reject);
    connect(Button3, &QPushButton::clicked, this, guarded(m_prompts, [this] { Button3Click(); }));
    connect(Button4, &QPushButton::clicked, this, guarded(m_prompts, [this] { Button4Click(); }));
    connect(cb_type_work, &QComboBox::currentIndexChanged, this, [this] { kindChanged(); });
    connect(Edit6, &QLineEdit::textChanged, this, [this] { updateSum(); });
    connect(CBox1, &QCheckBox::toggled, this, [this] { updateSum(); });
}

bool TForm24::dayOff() const { return m_form25.CBox1->isChecked(); }

bool TForm24::openForAdd()
{
    Tag = 0;
    m_stored = {};
    Edit1->clear();
    Edit2->clear();
    Edit6->setText(QStringLiteral("0"));
    CBox1->setChecked(false);
    CBox1->setEnabled(true);
    sel_id_nom = 0;
    sel_id_p = 0;
    return run();
}

bool TForm24::openForChange(const Dataset& row)
{
    Tag = 1;
    m_stored = hour_entry::storedOf(row);
    Edit1->setText(row.asString(QStringLiteral("fio")));
    Edit2->setText(row.asString(QStringLiteral("s_caption")));
    Edit6->setText(row.asString(QStringLiteral("cnt")));
    sel_id_nom = row.asInt(QStringLiteral("id_nom"));
    sel_id_p = m_stored.workerId;
    CBox1->setChecked(row.asInt(QStringLiteral("i_night")) != 0);
    CBox1->setEnabled(false);
    return run();
}

bool TForm24::run()
{
    type_work.open();
    const int kind = Tag == 0 ? 7777 : m_stored.kind;
    cb_type_work->blockSignals(true);
    cb_type_work->clear();
    for (type_work.first(); !type_work.eof(); type_work.next()) {
        const int id = type_work.asInt(QStringLiteral("id"));
        if (cb_type_work->findData(id) < 0) cb_type_work->addItem(type_work.asString(QStringLiteral("vid")), id);
    }
    cb_type_work->setCurrentIndex(cb_type_work->findData(kind));
    cb_type_work->blockSignals(false);
    kindChanged();
    const int result = exec();
    type_work.close();
    return result == QDialog::Accepted;
}

void TForm24::kindChanged()
{
    const QVariant kind = cb_type_work->currentData();
    const bool found = kind.isValid() && type_work.isOpen() && type_work.locate(QStringLiteral("id"), kind);
    const QVariant price = found ? type_work.value(QStringLiteral("price")) : QVariant();
    m_norm = price.isNull() ? std::nullopt : std::optional(Money::fromValue(price));
    DBEdit1->setText(m_norm ? formats::general(*m_norm) : QString());
    updateSum();
}

void TForm24::updateSum()
{
    if (!m_norm) {
        DBEdit2->clear();
        return;
    }
    DBEdit2->setText(formats::general(hour_entry::sum(Edit6->text().toInt(), *m_norm, dayOff(), CBox1->isChecked())));
}

void TForm24::Button3Click()
{
    if (pickWorker) pickWorker(*this);
    focusAfterPick(Button3);
}

void TForm24::Button4Click()
{
    if (pickGroup) pickGroup(*this);
    focusAfterPick(Button4);
}

void TForm24::focusAfterPick(QWidget* pick)
{
    // In keyboard order; hours below 1 are still to be given. A pick given up leaves its own
    // field empty, and its button keeps the focus.
    const QList<QWidget*> fields = {Button3, Button4, cb_type_work, Edit6};
    QWidget* next = firstEmptyField(fields, pick, [this](QWidget* f) {
        if (f == Button3) return sel_id_p == 0;
        if (f == Button4) return sel_id_nom == 0;
        if (f == cb_type_work) return cb_type_work->currentIndex() < 0;
        return Edit6->text().trimmed().toInt() < 1;
    });
    // While the list is still closing the dialog is not active yet: the control set now is the
    // one it gives the focus back to.
    focusAsTab(next ? next : Button1);
}

void TForm24::Button1Click()
{
    if (sel_id_nom == 0 || sel_id_p == 0) {
        m_prompts.error(QStringLiteral("Все поля должны быть заполнены!"), QStringLiteral("Ошибка"));
        focusAsTab(sel_id_p == 0 ? Button3 : Button4);
        return;
    }
    // Checked whatever put the text into the field: typing is filtered, other means are not.
    const auto typed = entry_limits::wholeNumber(Edit6->text(), kEntryHours);
    if (const QString problem = entry_limits::numberProblem(QStringLiteral("ч."), Edit6->text(), kEntryHours); !problem.isEmpty()) {
        m_prompts.error(problem, QStringLiteral("Ошибка"));
        return;
    }
    const int hours = typed ? int(*typed) : 0;
    if (hours < 1) {
        m_prompts.error(QStringLiteral("Нужно завести количество!"), QStringLiteral("Ошибка"));
        return;
    }
    const QVariant kindData = cb_type_work->currentData();
    if (!kindData.isValid() || !m_norm) {
        m_prompts.error(QStringLiteral("Для этого вида работ не задана цена: заведите норму его операции."), QStringLiteral("Ошибка"));
        return;
    }
    hour_entry::Entry e;
    e.workerId = sel_id_p;
    e.groupId = sel_id_nom;
    e.kind = kindData.toInt();
    e.hours = hours;
    e.normPrice = *m_norm;
    e.dayOff = dayOff();
    e.night = CBox1->isChecked();
    e.day = m_form25.DTPcker1->date();
    e.shift = m_form25.smena_no;
    const hour_entry::Outcome outcome = hour_entry::save(m_dm.ADO_DB, e, Tag == 0 ? nullptr : &m_stored);
    if (outcome != hour_entry::Outcome::Saved && outcome != hour_entry::Outcome::ChangedMeanwhile) {
        m_prompts.error(hour_entry::outcomeMessage(outcome), QStringLiteral("Ошибка"));
        return;
    }
    m_form25.reloadKeepingPlace();
    if (outcome == hour_entry::Outcome::ChangedMeanwhile)
        m_prompts.error(hour_entry::outcomeMessage(outcome), QStringLiteral("Ошибка"));
    accept();
}
