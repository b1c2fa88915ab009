#include "refbooks/group_dialog.h"
#include "data/dataset.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

namespace {

// The database's defaults make the new row a level-2 group of the department's classifier.
const QString kInsertGroup = QStringLiteral(R"(INSERT INTO cmn_classifier.item(s_caption, b_excluded) VALUES(:s_caption, :b_excluded))");
const QString kUpdateGroup = QStringLiteral(R"(UPDATE cmn_classifier.item SET s_caption=:s_caption, b_excluded=:b_excluded where id=:id)");

const NameRule kGroupName = {.maxLength = 254,
    .tooLongMessage = QStringLiteral("Наименование не может быть длиннее %1 символов!")};

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
    const QString n = Edit1->text().trimmed();
    if (!nameAccepted(n, kGroupName)) return;
    Params params = {{QStringLiteral("s_caption"), n}, {QStringLiteral("b_excluded"), CheckBox1->isChecked() ? 1 : 0}};
    if (Tag == 1) {
        writeRow(kInsertGroup, params, n, kGroupName);
    } else {
        params.append({QStringLiteral("id"), id});
        writeRow(kUpdateGroup, params, n, kGroupName);
    }
}
