#include "refbooks/operation_dialog.h"
#include "data/data_module.h"
#include "data/dataset.h"
#include "data/prompts.h"
#include "rules/book_writes.h"
#include "ui/dialog_buttons.h"
#include "ui/guard.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

TForm10::TForm10(TDataModule6& dm, QWidget* parent) : QDialog(parent), m_dm(dm), m_prompts(dm.prompts())
{
    setObjectName(QStringLiteral("Form10"));

    GroupBox1 = new QGroupBox(QStringLiteral("Цена операции"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    auto named = [this](auto* w, const char* name) {
        w->setObjectName(QLatin1String(name));
        return w;
    };
    Label1 = named(new QLabel(QStringLiteral("Марка изделия"), GroupBox1), "Label1");
    Edit1 = named(new QLineEdit(GroupBox1), "Edit1");
    Button3 = named(new QPushButton(QStringLiteral("..."), GroupBox1), "Button3");
    Label2 = named(new QLabel(QStringLiteral("Операция"), GroupBox1), "Label2");
    Edit2 = named(new QLineEdit(GroupBox1), "Edit2");
    Button4 = named(new QPushButton(QStringLiteral("..."), GroupBox1), "Button4");
    Label4 = named(new QLabel(QStringLiteral("Вид"), GroupBox1), "Label4");
    ComboBox1 = named(new QComboBox(GroupBox1), "ComboBox1");
    ComboBox1->addItems({QStringLiteral("Готовая продукция"), QStringLiteral("Заготовки")});
    for (QLineEdit* e : {Edit1, Edit2}) {
        e->setReadOnly(true);
        e->setFocusPolicy(Qt::NoFocus);
        e->setMinimumWidth(260);
    }
    for (QPushButton* b : {Button3, Button4}) {
        b->setAutoDefault(false);
        b->setFixedWidth(32);
    }
    Label1->setBuddy(Edit1);
    Label2->setBuddy(Edit2);
    Label4->setBuddy(ComboBox1);

    auto* grid = new QGridLayout(GroupBox1);
    grid->addWidget(Label1, 0, 0);
    grid->addWidget(Edit1, 0, 1);
    grid->addWidget(Button3, 0, 2);
    grid->addWidget(Label2, 1, 0);
    grid->addWidget(Edit2, 1, 1);
    grid->addWidget(Button4, 1, 2);
    grid->addWidget(Label4, 2, 0);
    grid->addWidget(ComboBox1, 2, 1, 1, 2);

    const DialogButtons buttons = addDialogButtons(this, GroupBox1, QStringLiteral("Записать"));
    Button1 = buttons.Button1;
    Button2 = buttons.Button2;
    setTabOrder(Button3, Button4);
    setTabOrder(Button4, ComboBox1);
    setTabOrder(ComboBox1, Button1);
    setTabOrder(Button1, Button2);

    connect(Button1, &QPushButton::clicked, this, guarded(m_prompts, [this] { Button1Click(); }));
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
    connect(Button3, &QPushButton::clicked, this, guarded(m_prompts, [this] { Button3Click(); }));
    connect(Button4, &QPushButton::clicked, this, guarded(m_prompts, [this] { Button4Click(); }));
}

int TForm10::openForAdd()
{
    Edit1->clear();
    Edit2->clear();
    m_pickedBrand.clear();
    m_pickedKind.clear();
    ComboBox1->setCurrentIndex(0);
    setWindowTitle(QStringLiteral("Заведение новой цены за операцию"));
    Tag = 1;
    m_operationId = 0;
    return exec() == QDialog::Accepted ? m_operationId : 0;
}

bool TForm10::openForChange(const Dataset& oper)
{
    setWindowTitle(QStringLiteral("Изменение данных о цене за операцию"));
    Tag = 2;
    Edit1->setText(oper.asString(QStringLiteral("marka")).trimmed());
    Edit2->setText(oper.asString(QStringLiteral("vid")).trimmed());
    m_pickedBrand = Edit1->text();
    m_pickedKind = Edit2->text();
    ComboBox1->setCurrentIndex(oper.asInt(QStringLiteral("naimen")) == 0 ? 0 : 1);
    sel_i_id = oper.asInt(QStringLiteral("i_id"));
    sel_vid = oper.asInt(QStringLiteral("oper_vid"));
    m_operationId = oper.asInt(QStringLiteral("id"));
    return exec() == QDialog::Accepted;
}

void TForm10::Button1Click()
{
    // A name counts only as a pick (or the opened operation) left it: text set on the
    // read-only fields otherwise (by assistive technology) would save the ids of an earlier
    // pick under it.
    const bool picked = !Edit1->text().trimmed().isEmpty() && !Edit2->text().trimmed().isEmpty()
        && Edit1->text() == m_pickedBrand && Edit2->text() == m_pickedKind;
    const books::Outcome saved = books::saveOperation(m_dm.ADO_DB, {.id = Tag == 1 ? 0 : m_operationId,
                                                                    .kind = sel_vid,
                                                                    .product = sel_i_id,
                                                                    .productClass = ComboBox1->currentIndex(),
                                                                    .picked = picked});
    if (saved.kind != books::Outcome::Written && saved.kind != books::Outcome::RowGone) {
        m_prompts.error(saved.message, saved.title);
        return;
    }
    m_dm.Oper.close();
    m_dm.Oper.open();
    if (!saved.written()) {
        m_prompts.error(saved.message, saved.title);
        reject();
        return;
    }
    if (Tag == 1) m_operationId = saved.id;
    accept();
}

void TForm10::Button3Click()
{
    if (pickProduct) pickProduct(*this);
    m_pickedBrand = Edit1->text();
}

void TForm10::Button4Click()
{
    if (pickKind) pickKind(*this);
    m_pickedKind = Edit2->text();
}

void TForm10::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    Button3->setFocus(Qt::OtherFocusReason);
}
