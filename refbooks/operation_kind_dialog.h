#pragma once
#include "refbooks/refbook_dialog.h"

/// The operation kind dialog: adds an operation kind or renames one.
class TForm9 : public RefBookDialog {
    Q_OBJECT
public:
    TForm9(TDataModule6& dm, QWidget* parent = nullptr);

    QLabel* Label2 = nullptr;
    QLineEdit* Edit1 = nullptr;

    /// "Записать": refuses an empty, unreadable, overlong or already used caption (letter case
    /// aside), writes the kind and closes.
    void Button1Click() override;

protected:
    /// A new kind: the caption cleared.
    void fillForAdd() override;
    /// The kind's caption, trimmed.
    void fillForChange(const Dataset& kind) override;
};
