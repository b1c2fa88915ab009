#include "refbooks/operation_kind_dialog.h"
#include "data/data_module.h"
#include "data/prompts.h"
#include "ui/dialog_buttons.h"
#include "ui/guard.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QString kNewKindTwins = QStringLiteral(
    R"(select count(*) as cnt from accounts_dep.vid_oper where upper(vid)=:vid)");
const QString kRenamedKindTwins = QStringLiteral(
    R"(select count(*) as cnt from accounts_dep.vid_oper where upper(vid)=:vid and id<>:id)");

} // namespace

TForm9::TForm9(TDataModule6& dm, QWidget* parent) : QDialog(parent), m_dm(dm), m_prompts(dm.prompts())
{
    setObjectName(QStringLiteral("Form9"));

    GroupBox1 = new QGroupBox(QStringLiteral("Вид операции"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    Label2 = new QLabel(QStringLiteral("Операция"), GroupBox1);
    Label2->setObjectName(QStringLiteral("Label2"));
    Edit1 = new QLineEdit(GroupBox1);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setFrame(false);
    auto* group = new QVBoxLayout(GroupBox1);
    group->addWidget(Label2);
    group->addWidget(Edit1);

    const DialogButtons buttons = addDialogButtons(this, GroupBox1, QStringLiteral("Записать"));
    Button1 = buttons.Button1;
    Button2 = buttons.Button2;
    setMinimumWidth(380);

    connect(Button1, &QPushButton::clicked, this, guarded(m_prompts, [this] { Button1Click(); }));
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
}

void TForm9::Button1Click()
{
    const QString v = Edit1->text().trimmed();
    if (v.isEmpty()) {
        m_prompts.error(QStringLiteral("Все поля должны быть заполнены!"), QStringLiteral("Ошибка"));
        return;
    }
    if (v.toUcs4().size() > kOperationKindMaxLength) {
        m_prompts.error(QStringLiteral("Название операции не может быть длиннее %1 символов!").arg(kOperationKindMaxLength),
                        QStringLiteral("Ошибка"));
        return;
    }
    Dataset& kinds = m_dm.Vid_oper;
    const QString capitals = QLocale().toUpper(v);
    const QString twinMessage = QStringLiteral("Такая операция уже заведена!");
    const int twins = Tag == 1
        ? m_dm.CheckDuplicate(kNewKindTwins, twinMessage, {{QStringLiteral("vid"), capitals}})
        : m_dm.CheckDuplicate(kRenamedKindTwins, twinMessage,
                              {{QStringLiteral("vid"), capitals}, {QStringLiteral("id"), kinds.asInt(QStringLiteral("id"))}});
    if (twins) return;

    if (Tag == 1) kinds.append();
    else kinds.edit();
    kinds.setField(QStringLiteral("vid"), v);
    try {
        kinds.post();
    } catch (...) {
        // A refused row is dropped, so the query is not left half-edited behind the message.
        kinds.cancel();
        throw;
    }
    kinds.close();
    kinds.open();
    accept();
}

void TForm9::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    Edit1->setFocus(Qt::OtherFocusReason);
}
