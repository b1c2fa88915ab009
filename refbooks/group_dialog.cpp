#include "refbooks/group_dialog.h"
#include "data/data_module.h"
#include "data/dataset.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

namespace {

const QString kCaption = QStringLiteral("Ведение групп (29)");

} // namespace

TForm29::TForm29(TDataModule6& dm, QWidget* parent)
    : RefBookDialog(dm, QStringLiteral("Form29"), QStringLiteral("Номенклатурная группа"), kCaption, kCaption, parent)
{
    setWindowTitle(kCaption);
    Edit1 = newEdit("Edit1");
    Edit1->setFocusPolicy(Qt::ClickFocus);   // left out of the tab order
    CheckBox1 = new QCheckBox(QStringLiteral("Не используется"), this);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    Label1 = addField("Label1", QStringLiteral("Наименование"), Edit1);
    addRow(CheckBox1);
    Button6 = Button2;
    Button6->setObjectName(QStringLiteral("Button6"));
    Button6->setText(QStringLiteral("Выход"));
    Button2 = nullptr;
    setMinimumWidth(400);
}

void TForm29::fillForAdd() { Edit1->clear(); }

void TForm29::fillForChange(const Dataset& group)
{
    Edit1->setText(group.asString(QStringLiteral("s_caption")).trimmed());
    CheckBox1->setChecked(group.asInt(QStringLiteral("b_excluded")) != 0);
}

void TForm29::Button1Click()
{
    finish(books::saveGroup(m_dm.ADO_DB, savedId(), Edit1->text(), CheckBox1->isChecked()));
}
