#pragma once
#include "refbooks/refbook_window.h"

class TForm2;

/// The workers list: the department's workers as a reference book, and the picker of a worker
/// for the shift entry and utility work entry dialogs.
class TForm5 : public RefBookWindow {
    Q_OBJECT
public:
    TForm5(TDataModule6& dm, TForm2& form2, QWidget* parent = nullptr);

    /// The picker for a calling dialog (tag 1 the shift entry dialog, 24 the utility work entry
    /// dialog): "Выбрать" shown and default, "Добавить" and "Удалить" hidden, the search shown and
    /// cleared; opens Workers, shows the list modally, closes Workers afterwards. A pick writes
    /// the worker into the target; closing the list otherwise leaves the target as it was.
    void openPick(int tag, WorkerPickTarget& target);

    /// "Добавить": the worker dialog for a new worker; the list is reread afterwards.
    void Button1Click();
    /// "Изменить" in the reference book: the worker dialog for the current worker; the list is
    /// reread and then closes.
    void Button2Click();
    /// "Удалить": deletes the current worker once the user confirms.
    void Button3Click();

private:
    TDataModule6& m_dm;
    TForm2& m_form2;
};
