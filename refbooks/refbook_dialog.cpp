#include "refbooks/refbook_dialog.h"
#include "data/data_module.h"
#include "data/dataset.h"
#include "data/prompts.h"
#include "ui/dialog_buttons.h"
#include "ui/guard.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {
constexpr int kRowGoneResult = 2;
}

RefBookDialog::RefBookDialog(TDataModule6& dm, const QString& objectName, const QString& groupCaption,
                             const QString& addCaption, const QString& changeCaption, QWidget* parent)
    : QDialog(parent), m_dm(dm), m_prompts(dm.prompts()), m_addCaption(addCaption), m_changeCaption(changeCaption)
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
    if (!m_first) m_first = field;
    m_fields->addWidget(label, 2 * m_row, column);
    m_fields->addWidget(field, 2 * m_row + 1, column);
    followInTabOrder(field);
    return label;
}

void RefBookDialog::followInTabOrder(QWidget* widget)
{
    // Fields in the order they stand, then the buttons.
    if (m_last) setTabOrder(m_last, widget);
    m_last = widget;
    setTabOrder(widget, Button1);
    setTabOrder(Button1, Button2);
}

QLineEdit* RefBookDialog::newEdit(const char* name, bool flat)
{
    auto* edit = new QLineEdit(this);
    edit->setObjectName(QLatin1String(name));
    edit->setFrame(!flat);
    return edit;
}

void RefBookDialog::addRow(QWidget* widget)
{
    ++m_row;
    widget->setParent(GroupBox1);
    m_fields->addWidget(widget, 2 * m_row, 0, 1, -1);
    followInTabOrder(widget);
}

bool RefBookDialog::openForAdd()
{
    fillForAdd();
    return run(1, m_addCaption, 0);
}

bool RefBookDialog::openForChange(const Dataset& row)
{
    fillForChange(row);
    return run(2, m_changeCaption, row.asInt(QStringLiteral("id")));
}

bool RefBookDialog::run(int tag, const QString& caption, int rowId)
{
    Tag = tag;
    id = rowId;
    setWindowTitle(caption);
    return exec() != QDialog::Rejected;
}

bool RefBookDialog::finish(const books::Outcome& outcome)
{
    switch (outcome.kind) {
    case books::Outcome::Written:
        accept();
        return true;
    case books::Outcome::RowGone:
        rowGone();
        return false;
    default:
        m_prompts.error(outcome.message, outcome.title);
        return false;
    }
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
