#include "refbooks/refbook_dialog.h"
#include "data/data_module.h"
#include "data/prompts.h"
#include "data/transaction.h"
#include "refbooks/name_check.h"
#include "ui/dialog_buttons.h"
#include "ui/guard.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

namespace {
constexpr int kRowGoneResult = 2;
}

const QString kRowGoneMessage = QStringLiteral("Запись уже удалена другим пользователем. Список обновлён.");

int rowsWritten(const QSqlDatabase& db, const QString& sql, const Params& params)
{
    Statement statement(sql);
    statement.setParams(params);
    return statement.exec(db).numRowsAffected();
}

RefBookDialog::RefBookDialog(TDataModule6& dm, const QString& objectName, const QString& groupCaption, QWidget* parent)
    : QDialog(parent), m_dm(dm), m_prompts(dm.prompts())
{
    setObjectName(objectName);
    GroupBox1 = new QGroupBox(groupCaption, this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    m_fields = new QGridLayout(GroupBox1);

    const DialogButtons buttons = addDialogButtons(this, GroupBox1, QStringLiteral("Записать"));
    Button1 = buttons.Button1;
    Button2 = buttons.Button2;
    connect(Button1, &QPushButton::clicked, this, guarded(m_prompts, [this] { Button1Click(); }));
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
}

QLabel* RefBookDialog::addField(const char* labelName, const QString& caption, QWidget* field, int column)
{
    if (column == 0) ++m_row;
    auto* label = new QLabel(caption, GroupBox1);
    label->setObjectName(QLatin1String(labelName));
    label->setBuddy(field);
    field->setParent(GroupBox1);
    m_fields->addWidget(label, 2 * m_row, column);
    m_fields->addWidget(field, 2 * m_row + 1, column);
    return label;
}

void RefBookDialog::addRow(QWidget* widget)
{
    ++m_row;
    widget->setParent(GroupBox1);
    m_fields->addWidget(widget, 2 * m_row, 0, 1, -1);
}

bool RefBookDialog::run(int tag, const QString& caption, int rowId)
{
    Tag = tag;
    id = rowId;
    setWindowTitle(caption);
    return exec() != QDialog::Rejected;
}

bool RefBookDialog::nameAccepted(const QString& name, const NameRule& rule, bool otherIncomplete)
{
    const name_check::Fault fault = name_check::check(name, rule.maxLength);
    if (otherIncomplete || fault == name_check::Fault::Incomplete) {
        m_prompts.error(rule.incompleteMessage, QStringLiteral("Ошибка"));
        return false;
    }
    if (fault == name_check::Fault::TooLong) {
        m_prompts.error(rule.tooLongMessage.arg(rule.maxLength), QStringLiteral("Ошибка"));
        return false;
    }
    if (rule.twinMessage.isEmpty()) return true;
    const bool twin = Tag == 1
        ? m_dm.CheckDuplicate(rule.twinsOfNew, {{QStringLiteral("name"), name}})
        : m_dm.CheckDuplicate(rule.twinsOfChanged, {{QStringLiteral("name"), name}, {QStringLiteral("id"), id}});
    if (twin) m_prompts.error(rule.twinMessage, QStringLiteral("Ошибка"));
    return !twin;
}

bool RefBookDialog::writeRow(const QString& sql, const Params& params, const std::function<bool()>& first)
{
    {
        Transaction tx(m_dm.ADO_DB);
        if (first && !first()) return false;
        if (rowsWritten(m_dm.ADO_DB, sql, params) > 0) {
            tx.commit();
            accept();
            return true;
        }
    }
    rowGone();
    return false;
}

void RefBookDialog::rowGone()
{
    m_prompts.error(kRowGoneMessage, QStringLiteral("Ошибка"));
    // Closed unsaved, but the list has changed under the user: the opener rereads it.
    done(kRowGoneResult);
}

void RefBookDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (m_first) m_first->setFocus(Qt::OtherFocusReason);
}
