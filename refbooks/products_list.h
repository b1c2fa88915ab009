#pragma once
#include "data/dataset.h"
#include "refbooks/refbook_window.h"


class TForm7;

/// The products list: the brands the department makes as a reference book, and the picker of
/// a product for the operation price dialog.
class TForm3 : public RefBookWindow {
    Q_OBJECT
public:
    TForm3(TDataModule6& dm, TForm7& form7, QWidget* parent = nullptr);

    /// The picker for the operation price dialog (tag 1): "Выбрать" shown and default,
    /// "Добавить" and "Удалить" hidden, the search shown and cleared; afterwards "Выбрать" is no
    /// longer default, the search hidden and Izdel closed. A pick writes the product's trimmed
    /// brand and its id into the target.
    void openPick(ProductPickTarget& target);


    /// "Добавить": the product dialog for a new product; the list keeps its row.
    void Button1Click();
    /// "Изменить" in the reference book: the product dialog for the current product; the list
    /// keeps its row.
    void Button2Click();
    /// "Удалить": asks about the product's operations, then about the product (and its journal
    /// entries); deletes what was agreed in one transaction, bringing the timesheet cells of the
    /// deleted entries into step. Refused when operations or entries were saved for the product
    /// while the user answered.
    void Button3Click();

private:

    TDataModule6& m_dm;
    TForm7& m_form7;
};
