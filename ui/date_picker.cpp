#include "ui/date_picker.h"

#include <QDateEdit>

QDateEdit* datePicker(const QString& objectName, QWidget* parent)
{
    auto* picker = new QDateEdit(parent);
    picker->setObjectName(objectName);
    picker->setCalendarPopup(true);
    picker->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
    return picker;
}
