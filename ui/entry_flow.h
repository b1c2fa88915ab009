#pragma once
#include <QList>
#include <functional>

class QWidget;

/// Where the focus goes on in an entry dialog: the first of its fields, in keyboard order, that
/// is enabled and still empty, looking from `from` to the end and then from the start; nullptr
/// when none is. A field is the control that takes the focus for it: for a read-only name box,
/// its "..." pick.
QWidget* firstEmptyField(const QList<QWidget*>& fields, QWidget* from, const std::function<bool(QWidget*)>& empty);

/// Gives the control the focus as Tab does: a line edit's text is selected, to be typed over.
void focusAsTab(QWidget* control);
