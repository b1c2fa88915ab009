#pragma once
#include "refbooks/refbook_window.h"

class TForm9;

/// The operation kinds list: the kinds of work as a reference book, and the picker of a kind
/// for the operation price dialog.
class TForm8 : public RefBookWindow {
    Q_OBJECT
public:
    TForm8(TDataModule6& dm, TForm9& form9, QWidget* parent = nullptr);

    /// The picker for the operation price dialog (tag 1): "Выбрать" shown and default,
    /// "Добавить" and "Удалить" hidden, the search shown and cleared; afterwards "Выбрать" is no
    /// longer default, the search hidden and Vid_oper closed. A pick writes the kind into the
    /// target; closing the list otherwise leaves the target as it was.
    void openPick(OperationKindPickTarget& target);

    /// "Добавить": the kind dialog for a new kind; the list is reread after a save.
    void Button1Click();
    /// "Изменить" in the reference book: the kind dialog renaming the current kind; the list is
    /// reread after a save.
    void Button2Click();
    /// "Удалить": deletes the current kind once the user confirms; a kind that operations
    /// still use is refused, with their number.
    void Button3Click();

private:
    TDataModule6& m_dm;
    TForm9& m_form9;
};
