#pragma once
#include "data/dataset.h"
#include "refbooks/refbook_window.h"

class TForm29;

/// The nomenclature groups list: the product families as a reference book, and the picker of
/// a group for the utility work entry dialog.
class TForm26 : public RefBookWindow {
    Q_OBJECT
public:
    TForm26(TDataModule6& dm, TForm29& form29, QWidget* parent = nullptr);

    /// The picker for the utility work entry dialog (tag 24): only the groups in use shown
    /// (until the search field is used), "Выбрать" shown, "Добавить" and "Удалить" hidden, the
    /// search field left as it was; afterwards the buttons shown again and the filter off. A pick
    /// writes the group's caption as stored and its id into the target.
    void openPick(GroupPickTarget& target);

    /// The level-2 classifier rows, in use or not ("V" in s_excl when not).
    Dataset& item;

    /// "Добавить": the group dialog for a new group; the list keeps its row.
    void Button2Click();
    /// "Изменить"/"Выбрать" and the grid's double click: the group dialog for the current group
    /// (the list keeps its row), or the pick.
    void DBGrid1DblClick();
    /// "Удалить": no question; a group with products, or with hour or journal entries, is
    /// refused with the guard's message; otherwise deleted. Guards and delete are one
    /// transaction holding the group, so no product can join it in between.
    void Button1Click();

private:
    TDataModule6& m_dm;
    TForm29& m_form29;
};
