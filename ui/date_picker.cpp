#include "ui/date_picker.h"

#include <QKeyEvent>
#include <QLineEdit>

#include <utility>

DateField::DateField(QWidget* parent) : QDateEdit(parent)
{
    setCalendarPopup(true);
    setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
}

void DateField::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    const bool plain = !(event->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier));
    if (plain && (key == Qt::Key_PageUp || key == Qt::Key_PageDown)) {
        interpretText();
        setDate(date().addMonths(key == Qt::Key_PageUp ? 1 : -1));
        selectAll();
        event->accept();
        return;
    }
    if (plain && (key == Qt::Key_Period || key == Qt::Key_Comma || key == Qt::Key_Slash)) {
        // A separator moves on to the next part, selected for the digits to come; where a full
        // part has just moved on by itself, it stays.
        const int next = currentSectionIndex() + 1;
        const bool movedOn = m_typing && lineEdit()->hasSelectedText();
        if (!movedOn && next < sectionCount()) {
            setCurrentSectionIndex(next);
            setSelectedSection(currentSection());
        }
        m_typing = false;
        event->accept();
        return;
    }
    const bool digit = plain && key >= Qt::Key_0 && key <= Qt::Key_9;
    if (digit && !std::exchange(m_typing, true)) {
        // The first digit after a click, a move or a pick: it starts the part anew.
        QLineEdit* line = lineEdit();
        if (line->selectedText() == line->text()) {
            // The whole date selected: typing starts it anew from the day.
            setCurrentSection(QDateTimeEdit::DaySection);
            setSelectedSection(QDateTimeEdit::DaySection);
        } else if (!line->hasSelectedText()) {
            // The cursor in or after a part: the digits replace that part.
            setSelectedSection(currentSection());
        }
    }
    // Any other key (a separator moving on to the next part included) ends the typing of a part.
    if (!digit) m_typing = false;
    if (plain && (key == Qt::Key_Return || key == Qt::Key_Enter)) interpretText();
    QDateEdit::keyPressEvent(event);
}

void DateField::focusInEvent(QFocusEvent* event)
{
    m_typing = false;
    QDateEdit::focusInEvent(event);
}

void DateField::mousePressEvent(QMouseEvent* event)
{
    m_typing = false;
    QDateEdit::mousePressEvent(event);
}

void DateField::focusOutEvent(QFocusEvent* event)
{
    interpretText();
    QDateEdit::focusOutEvent(event);
}

DateField* datePicker(const QString& objectName, QWidget* parent)
{
    auto* picker = new DateField(parent);
    picker->setObjectName(objectName);
    return picker;
}
