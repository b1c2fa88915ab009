#include "refbooks/operation_kind_dialog.h"
#include "data/dataset.h"

#include <QLineEdit>

namespace {

const QString kInsertKind = QStringLiteral(R"(insert into accounts_dep.vid_oper (vid) values (:vid))");
const QString kUpdateKind = QStringLiteral(R"(update accounts_dep.vid_oper set vid=:vid where id=:id)");

const NameRule kKindName = {.maxLength = 50,
    .tooLongMessage = QStringLiteral("Название операции не может быть длиннее %1 символов!"),
    .twinTable = QStringLiteral("accounts_dep.vid_oper"), .twinColumn = QStringLiteral("vid"),
    .twinMessage = QStringLiteral("Такая операция уже заведена!")};

} // namespace

TForm9::TForm9(TDataModule6& dm, QWidget* parent)
    : RefBookDialog(dm, QStringLiteral("Form9"), QStringLiteral("Вид операции"),
                    QStringLiteral("Заведение нового вида операций"), QStringLiteral("Изменение данных вида операции"), parent)
{
    Edit1 = newEdit("Edit1");
    Label2 = addField("Label2", QStringLiteral("Операция"), Edit1);
    setMinimumWidth(380);
}

void TForm9::fillForAdd() { Edit1->clear(); }

void TForm9::fillForChange(const Dataset& kind) { Edit1->setText(kind.asString(QStringLiteral("vid")).trimmed()); }

void TForm9::Button1Click()
{
    const QString v = Edit1->text().trimmed();
    if (!nameAccepted(v, kKindName)) return;
    if (Tag == 1) writeRow(kInsertKind, {{QStringLiteral("vid"), v}}, v, kKindName);
    else writeRow(kUpdateKind, {{QStringLiteral("vid"), v}, {QStringLiteral("id"), id}}, v, kKindName);
}
