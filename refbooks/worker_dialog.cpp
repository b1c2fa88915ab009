#include "refbooks/worker_dialog.h"
#include "data/data_module.h"
#include "data/prompts.h"
#include "refbooks/lookup_box.h"
#include "ui/dialog_buttons.h"
#include "ui/guard.h"

#include <QCoreApplication>
#include <QFormLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWheelEvent>

namespace {

const QString kRoles = QStringLiteral(R"(select * from adm_role.roles)");
const QString kStaffpos = QStringLiteral(R"(select * from hrms_staffpos.staffpos)");
const QString kDepartment = QStringLiteral(R"(select * from cmn_department.department)");

const QString kInsertPerson = QStringLiteral(
    R"(INSERT INTO accounts_dep.person (fio, s_staffpos_hl)VALUES(:fio, :s_staffpos_hl))");
const QString kUpdatePerson = QStringLiteral(
    R"(UPDATE accounts_dep.person SET fio=:fio, s_staffpos_hl=:s_staffpos_hl where accounts_dep.person.id=:id)");

} // namespace

TForm2::TForm2(TDataModule6& dm, QWidget* parent)
    : QDialog(parent),
      roles(dm.ADO_DB, kRoles, this), staffpos(dm.ADO_DB, kStaffpos, this), department(dm.ADO_DB, kDepartment, this),
      cmd_person(dm.ADO_DB), m_prompts(dm.prompts())
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Работники"));
    roles.setObjectName(QStringLiteral("roles"));
    staffpos.setObjectName(QStringLiteral("staffpos"));
    department.setObjectName(QStringLiteral("department"));

    GroupBox1 = new QGroupBox(QStringLiteral("Данные о работнике"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    auto label = [this](const char* name, const QString& text) {
        auto* l = new QLabel(text, GroupBox1);
        l->setObjectName(QLatin1String(name));
        QFont f = l->font();
        f.setBold(true);
        l->setFont(f);
        return l;
    };
    auto lookup = [this](const char* name, Dataset& table) {
        auto* box = new LookupBox(table, QStringLiteral("id"), QStringLiteral("s_caption"), GroupBox1);
        box->setObjectName(QLatin1String(name));
        box->installEventFilter(this);
        return box;
    };
    Label1 = label("Label1", QStringLiteral("ФИО"));
    Edit1 = new QLineEdit(GroupBox1);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Label4 = label("Label4", QStringLiteral("Подразделение"));
    LCB_department = lookup("LCB_department", department);
    Label3 = label("Label3", QStringLiteral("Должность"));
    LCB_staffpos = lookup("LCB_staffpos", staffpos);
    Label5 = label("Label5", QStringLiteral("Роль"));
    LCB_roles = lookup("LCB_roles", roles);

    auto* group = new QVBoxLayout(GroupBox1);
    for (QWidget* w : std::initializer_list<QWidget*>{Label1, Edit1, Label4, LCB_department, Label3, LCB_staffpos, Label5, LCB_roles})
        group->addWidget(w);

    const DialogButtons buttons = addDialogButtons(this, GroupBox1, QStringLiteral("Записать"));
    Button1 = buttons.Button1;
    Button2 = buttons.Button2;
    setMinimumWidth(420);

    setTabOrder(Edit1, LCB_staffpos);
    setTabOrder(LCB_staffpos, LCB_department);
    setTabOrder(LCB_department, LCB_roles);
    setTabOrder(LCB_roles, Button1);
    setTabOrder(Button1, Button2);

    connect(Button1, &QPushButton::clicked, this, guarded(m_prompts, [this] { Button1Click(); }));
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
}

void TForm2::reopenLookups()
{
    LCB_staffpos->reopen();
    LCB_roles->reopen();
    LCB_department->reopen();
}

void TForm2::Button1Click()
{
    const QString fio = Edit1->text().trimmed();
    if (fio.isEmpty()) {
        m_prompts.error(QStringLiteral("ФИО нужно заполнить!"), QStringLiteral("Ошибка"));
        return;
    }
    if (fio.toUcs4().size() > kWorkerNameMaxLength) {
        m_prompts.error(QStringLiteral("ФИО не может быть длиннее %1 символов!").arg(kWorkerNameMaxLength),
                        QStringLiteral("Ошибка"));
        return;
    }
    const QString caption = LCB_staffpos->shownCaption();
    if (Tag == 1)
        cmd_person.execute(kInsertPerson, {{QStringLiteral("fio"), fio}, {QStringLiteral("s_staffpos_hl"), caption}});
    else
        cmd_person.execute(kUpdatePerson, {{QStringLiteral("fio"), fio},
                                           {QStringLiteral("s_staffpos_hl"), caption},
                                           {QStringLiteral("id"), id}});
    accept();
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

void TForm2::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    Edit1->setFocus(Qt::OtherFocusReason);
}

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
