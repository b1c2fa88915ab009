#include "refbooks/operation_kind_dialog.h"
#include "data/data_module.h"
#include "data/dataset.h"

#include <QLineEdit>

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
    finish(books::saveOperationKind(m_dm.ADO_DB, savedId(), Edit1->text()));
}
