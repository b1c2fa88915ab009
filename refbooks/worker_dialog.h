#pragma once
#include "data/command.h"
#include "data/dataset.h"

#include <QDialog>

class TDataModule6;
class Prompts;
class LookupBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

/// The longest name accounts_dep.person.fio holds.
inline constexpr int kWorkerNameMaxLength = 254;

/// The worker dialog: adds a worker to the department's list or changes one (name and position).
class TForm2 : public QDialog {
    Q_OBJECT
public:
    TForm2(TDataModule6& dm, QWidget* parent = nullptr);

    /// 1 a new worker, anything else a change of the worker whose id is held in id.
    int Tag = 1;
    int id = 0;

    /// The lookup tables, read whole; reopened before each use of the dialog.
    Dataset roles;
    Dataset staffpos;
    Dataset department;
    /// Writes workers: the dialog's insert and update, and the list's delete.
    Command cmd_person;

    QGroupBox* GroupBox1 = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QLabel* Label4 = nullptr;
    LookupBox* LCB_department = nullptr;
    QLabel* Label3 = nullptr;
    /// Its caption is what the worker's position (s_staffpos_hl) receives.
    LookupBox* LCB_staffpos = nullptr;
    QLabel* Label5 = nullptr;
    LookupBox* LCB_roles = nullptr;
    QPushButton* Button1 = nullptr;  // "Записать"
    QPushButton* Button2 = nullptr;  // "Отмена"

    /// Reopens staffpos, roles and department so the lookups show the current rows.
    void reopenLookups();

    /// "Записать": refuses an empty or overlong name, writes the worker and closes.
    void Button1Click();
    /// The mouse wheel moves the choice of the lookup box that has the focus by one row.
    void FormMouseWheelDown();
    void FormMouseWheelUp();

protected:
    void showEvent(QShowEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void wheel(int key);
    Prompts& m_prompts;
};
