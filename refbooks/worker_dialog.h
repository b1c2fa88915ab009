#pragma once
#include "data/dataset.h"
#include "refbooks/refbook_dialog.h"

class LookupBox;
class QLabel;
class QLineEdit;

/// The worker dialog: adds a worker to the department's list or changes one (name and position).
class TForm2 : public RefBookDialog {
    Q_OBJECT
public:
    TForm2(TDataModule6& dm, QWidget* parent = nullptr);

    /// The lookup tables, read whole; reopened before each use of the dialog.
    Dataset roles;
    Dataset staffpos;
    Dataset department;

    QLabel *Label1 = nullptr, *Label3 = nullptr, *Label4 = nullptr, *Label5 = nullptr;
    QLineEdit* Edit1 = nullptr;
    /// LCB_staffpos's caption is what the worker's position (s_staffpos_hl) receives.
    LookupBox *LCB_department = nullptr, *LCB_staffpos = nullptr, *LCB_roles = nullptr;

    /// Reopens staffpos, roles and department so the lookups show the current rows.
    void reopenLookups();

    /// "Записать": refuses an empty, unreadable or overlong name, writes the worker and closes.
    void Button1Click() override;
    /// The mouse wheel moves the choice of the lookup box that has the focus by one row.
    void FormMouseWheelDown();
    void FormMouseWheelUp();

protected:
    /// A new worker: the name cleared, the lookups reread (their choice kept).
    void fillForAdd() override;
    /// The worker's name trimmed, the worker's position shown in its lookup.
    void fillForChange(const Dataset& worker) override;
    void wheelEvent(QWheelEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void wheel(int key);
};
