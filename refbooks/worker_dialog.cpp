#include "refbooks/worker_dialog.h"
#include "data/data_module.h"
#include "refbooks/lookup_box.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWheelEvent>

namespace {

const QString kRoles = QStringLiteral(R"(select * from adm_role.roles)");
const QString kStaffpos = QStringLiteral(R"(select * from hrms_staffpos.staffpos)");
const QString kDepartment = QStringLiteral(R"(select * from cmn_department.department)");

} // namespace

TForm2::TForm2(TDataModule6& dm, QWidget* parent)
    : RefBookDialog(dm, QStringLiteral("Form2"), QStringLiteral("Данные о работнике"),
                    QStringLiteral("Заведение данных нового работника"), QStringLiteral("Изменение данных работника"), parent),
      roles(dm.ADO_DB, kRoles, this), staffpos(dm.ADO_DB, kStaffpos, this), department(dm.ADO_DB, kDepartment, this)
{
    setWindowTitle(QStringLiteral("Работники"));
    roles.setObjectName(QStringLiteral("roles"));
    staffpos.setObjectName(QStringLiteral("staffpos"));
    department.setObjectName(QStringLiteral("department"));

    auto lookup = [this](const char* name, Dataset& table) {
        auto* box = new LookupBox(table, QStringLiteral("id"), QStringLiteral("s_caption"), this);
        box->setObjectName(QLatin1String(name));
        box->installEventFilter(this);
        return box;
    };
    Edit1 = newEdit("Edit1", false);
    LCB_department = lookup("LCB_department", department);
    LCB_staffpos = lookup("LCB_staffpos", staffpos);
    LCB_roles = lookup("LCB_roles", roles);
    Label1 = addField("Label1", QStringLiteral("ФИО"), Edit1);
    Label4 = addField("Label4", QStringLiteral("Подразделение"), LCB_department);
    Label3 = addField("Label3", QStringLiteral("Должность"), LCB_staffpos);
    Label5 = addField("Label5", QStringLiteral("Роль"), LCB_roles);
    for (QLabel* label : {Label1, Label4, Label3, Label5}) {
        QFont f = label->font();
        f.setBold(true);
        label->setFont(f);
    }
    setMinimumWidth(420);

    setTabOrder(Edit1, LCB_staffpos);
    setTabOrder(LCB_staffpos, LCB_department);
    setTabOrder(LCB_department, LCB_roles);
}

void TForm2::reopenLookups()
{
    LCB_staffpos->reopen();
    LCB_roles->reopen();
    LCB_department->reopen();
}

void TForm2::fillForAdd()
{
    Edit1->clear();
    reopenLookups();
    LCB_staffpos->clearPreset();
}

void TForm2::fillForChange(const Dataset& worker)
{
    reopenLookups();
    Edit1->setText(worker.asString(QStringLiteral("fio")).trimmed());
    LCB_staffpos->presetCaption(worker.asString(QStringLiteral("s_staffpos_hl")));
}

void TForm2::Button1Click()
{
    finish(books::saveWorker(m_dm.ADO_DB, savedId(), Edit1->text(), LCB_staffpos->shownCaption()));
}

void TForm2::wheel(int key)
{
    for (LookupBox* box : {LCB_roles, LCB_staffpos, LCB_department}) {
        if (box->hasFocus()) {
            QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
            QCoreApplication::sendEvent(box, &press);
        }
    }
}

void TForm2::FormMouseWheelDown() { wheel(Qt::Key_Down); }
void TForm2::FormMouseWheelUp() { wheel(Qt::Key_Up); }

void TForm2::wheelEvent(QWheelEvent* event)
{
    const int dy = event->angleDelta().y();
    if (dy < 0) FormMouseWheelDown();
    else if (dy > 0) FormMouseWheelUp();
    event->ignore();
}

bool TForm2::eventFilter(QObject* watched, QEvent* event)
{
    // Over a lookup box the wheel goes the form's way too, so it moves the focused box only,
    // and by one row, whichever box lies under the mouse.
    if (event->type() == QEvent::Wheel && qobject_cast<LookupBox*>(watched)) {
        wheelEvent(static_cast<QWheelEvent*>(event));
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
