#pragma once
#include <QString>

class QDateEdit;
class QWidget;

/// A date field as the windows have it: named, its calendar dropping down, the date shown as
/// dd.MM.yyyy.
QDateEdit* datePicker(const QString& objectName, QWidget* parent);
