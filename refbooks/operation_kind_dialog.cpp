#include "refbooks/operation_kind_dialog.h"
#include "data/dataset.h"

#include <QLineEdit>

namespace {

const QString kInsertKind = QStringLiteral(R"(insert into accounts_dep.vid_oper (vid) values (:vid))");
const QString kUpdateKind = QStringLiteral(R"(update accounts_dep.vid_oper set vid=:vid where id=:id)");

const NameRule kKindName = {
    .maxLength = kOperationKindMaxLength,
    .tooLongMessage = QStringLiteral("Название операции не может быть длиннее %1 символов!"),
    .twinsOfNew = QStringLiteral(R"(select count(*) as cnt from accounts_dep.vid_oper where upper(vid)=upper(:name))"),
    .twinsOfChanged = QStringLiteral(
        R"(select count(*) as cnt from accounts_dep.vid_oper where upper(vid)=upper(:name) and id<>:id)"),
    .twinMessage = QStringLiteral("Такая операция уже заведена!"),
};

} // namespace

TForm9::TForm9(TDataModule6& dm, QWidget* parent)
    : RefBookDialog(dm, QStringLiteral("Form9"), QStringLiteral("Вид операции"), parent)
{
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setFrame(false);
    Label2 = addField("Label2", QStringLiteral("Операция"), Edit1);
    setFirstField(Edit1);
    setMinimumWidth(380);
}

bool TForm9::openForAdd()
{
    Edit1->clear();
    return run(1, QStringLiteral("Заведение нового вида операций"));
}

bool TForm9::openForChange(const Dataset& kind)
{
    Edit1->setText(kind.asString(QStringLiteral("vid")).trimmed());
    return run(2, QStringLiteral("Изменение данных вида операции"), kind.asInt(QStringLiteral("id")));
}

void TForm9::Button1Click()
{
    const QString v = Edit1->text().trimmed();
    if (!nameAccepted(v, kKindName)) return;
    if (Tag == 1) writeRow(kInsertKind, {{QStringLiteral("vid"), v}});
    else writeRow(kUpdateKind, {{QStringLiteral("vid"), v}, {QStringLiteral("id"), id}});
}
