#include "ui/entry_flow.h"

#include <QLineEdit>

QWidget* firstEmptyField(const QList<QWidget*>& fields, QWidget* from, const std::function<bool(QWidget*)>& empty)
{
    const qsizetype start = std::max<qsizetype>(fields.indexOf(from), 0);
    for (qsizetype i = 0; i < fields.size(); ++i) {
        QWidget* field = fields.at((start + i) % fields.size());
        if (field->isEnabled() && empty(field)) return field;
    }
    return nullptr;
}

void focusAsTab(QWidget* control)
{
    control->setFocus(Qt::TabFocusReason);
    // Focusing a control that has the focus already selects nothing.
    if (auto* edit = qobject_cast<QLineEdit*>(control)) edit->selectAll();
}
