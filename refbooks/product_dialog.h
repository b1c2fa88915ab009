#pragma once
#include "data/dataset.h"
#include "refbooks/refbook_dialog.h"

class LookupBox;

/// The product dialog: adds a product (brand, number, nomenclature group) or changes one.
class TForm7 : public RefBookDialog {
    Q_OBJECT
public:
    TForm7(TDataModule6& dm, QWidget* parent = nullptr);

    /// The active nomenclature groups (level 2, in use), alphabetically; open while the dialog is.
    Dataset item;

    QLabel *Label1 = nullptr, *Label2 = nullptr;
    QLineEdit* Edit1 = nullptr;   // the brand
    QLineEdit* Edit2 = nullptr;   // the number stored in massa
    LookupBox* cb_item = nullptr;

    /// "Записать": refuses a missing brand, number or group, an unreadable brand or number, a
    /// negative number or one too large for its column, a brand already used (letter case
    /// aside) and a group deleted meanwhile; writes the product and closes.
    void Button1Click() override;
    /// Digits and Backspace pass, a full stop or comma is entered as a full stop, any other
    /// character is dropped. True when the key was taken care of here.
    bool Edit2KeyPress(class QKeyEvent* key);

protected:
    /// Brand and number cleared, the groups reread (the lookup keeps the group of the last use).
    void fillForAdd() override;
    /// The brand trimmed, the number in the workstation's format, the product's group chosen.
    void fillForChange(const Dataset& product) override;
    void done(int result) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
};
