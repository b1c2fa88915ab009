#pragma once
#include "refbooks/refbook_dialog.h"

class QCheckBox;

/// The group dialog: adds a nomenclature group or changes one (name, not in use).
class TForm29 : public RefBookDialog {
    Q_OBJECT
public:
    TForm29(TDataModule6& dm, QWidget* parent = nullptr);

    QCheckBox* CheckBox1 = nullptr;
    QPushButton* Button6 = nullptr;  // "Выход"
    QLabel* Label1 = nullptr;
    QLineEdit* Edit1 = nullptr;

    /// "Записать": refuses an empty, unreadable or overlong name, writes the group and closes.
    void Button1Click() override;

protected:
    /// A new group: the name cleared, the box as at the last use.
    void fillForAdd() override;
    /// The group's name trimmed, the box ticked when the group is not in use.
    void fillForChange(const Dataset& group) override;
};
