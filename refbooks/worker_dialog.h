#pragma once
#include "data/dataset.h"
#include "refbooks/refbook_dialog.h"

class LookupBox;
class QLabel;
class QLineEdit;

/// The longest name accounts_dep.person.fio holds.
inline constexpr int kWorkerNameMaxLength = 254;

/// The worker dialog: adds a worker to the department's list or changes one (name and position).
class TForm2 : public RefBookDialog {
    Q_OBJECT
public:
    TForm2(TDataModule6& dm, QWidget* parent = nullptr);

    /// A new worker: the name cleared, the lookups reread (their choice kept); true when the list is to be reread.
    bool openForAdd();
    /// A change of the worker at the current row of the list's query: the name trimmed, the
    /// worker's position shown in its lookup; true when the list is to be reread.
    bool openForChange(const Dataset& worker);

    /// The lookup tables, read whole; reopened before each use of the dialog.
    Dataset roles;
    Dataset staffpos;
    Dataset department;

    QLabel* Label1 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QLabel* Label4 = nullptr;
    LookupBox* LCB_department = nullptr;
    QLabel* Label3 = nullptr;
    /// Its caption is what the worker's position (s_staffpos_hl) receives.
    LookupBox* LCB_staffpos = nullptr;
    QLabel* Label5 = nullptr;
    LookupBox* LCB_roles = nullptr;

    /// Reopens staffpos, roles and department so the lookups show the current rows.
    void reopenLookups();

    /// "Записать": refuses an empty, unreadable or overlong name, writes the worker and closes.
    void Button1Click() override;
    /// The mouse wheel moves the choice of the lookup box that has the focus by one row.
    void FormMouseWheelDown();
    void FormMouseWheelUp();

protected:
    void wheelEvent(QWheelEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void wheel(int key);
};
