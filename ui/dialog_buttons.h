#pragma once
#include <QString>

class QDialog;
class QPushButton;
class QWidget;

/// The bottom of an edit dialog: the save button (Button1, the default, Enter) and "Отмена"
/// (Button2, which Enter presses while it has the focus), right-aligned under the dialog's content.
struct DialogButtons {
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;
};

/// Lays out the dialog as its content over the two buttons; the dialog gets the layout.
DialogButtons addDialogButtons(QDialog* dialog, QWidget* content, const QString& saveCaption);
