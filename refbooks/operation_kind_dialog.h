#pragma once
#include "refbooks/refbook_dialog.h"

class Dataset;
class QLabel;
class QLineEdit;

/// The longest caption accounts_dep.vid_oper.vid holds.
inline constexpr int kOperationKindMaxLength = 50;

/// The operation kind dialog: adds an operation kind or renames one.
class TForm9 : public RefBookDialog {
    Q_OBJECT
public:
    TForm9(TDataModule6& dm, QWidget* parent = nullptr);

    /// A new kind: the caption cleared; true when the list is to be reread.
    bool openForAdd();
    /// A new caption for the kind at the current row of the list's query, shown trimmed; true
    /// when the list is to be reread.
    bool openForChange(const Dataset& kind);

    QLabel* Label2 = nullptr;
    QLineEdit* Edit1 = nullptr;

    /// "Записать": refuses an empty, unreadable, overlong or already used caption (letter case
    /// aside), writes the kind and closes.
    void Button1Click() override;
};
