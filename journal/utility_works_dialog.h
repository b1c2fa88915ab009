#pragma once
#include "data/dataset.h"
#include "data/money.h"
#include "refbooks/pick_targets.h"
#include "rules/hour_entries.h"

#include <QDialog>
#include <QVariant>
#include <functional>
#include <optional>

class TDataModule6;
class TForm25;
class Prompts;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

/// One entry of hour-paid work: a worker's hours of utility works or average piecework for a
/// nomenclature group on the register's date, at the work kind's norm price raised for a day off
/// and for night hours; saved with the timesheet cell it changes.
class TForm24 : public QDialog, public WorkerPickTarget, public GroupPickTarget {
    Q_OBJECT
public:
    TForm24(TDataModule6& dm, TForm25& form25, QWidget* parent = nullptr);

    QGroupBox* GroupBox1 = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* Edit1 = nullptr;        // worker
    QPushButton* Button3 = nullptr;    // "..." worker pick; Enter on it opens the pick too
    QLabel* Label2 = nullptr;
    QLineEdit* Edit2 = nullptr;        // nomenclature group
    QPushButton* Button4 = nullptr;    // "..." group pick; Enter on it opens the pick too
    QComboBox* cb_type_work = nullptr;
    QLineEdit* Edit6 = nullptr;        // hours
    QLineEdit* DBEdit1 = nullptr;      // norm price
    QLineEdit* DBEdit2 = nullptr;      // sum
    QCheckBox* CBox1 = nullptr;        // "Ночные"
    QPushButton* Button1 = nullptr;    // "Записать"
    QPushButton* Button6 = nullptr;    // "Выход"

    /// The two work kinds with the price of each of their norm rows.
    Dataset type_work;
    /// 0 a new entry, otherwise a change of the register's current entry.
    int Tag = 0;
    int sel_id_nom = 0;
    int sel_id_p = 0;

    /// How the pickers open (set by the owner of the lists).
    std::function<void(WorkerPickTarget&)> pickWorker;
    std::function<void(GroupPickTarget&)> pickGroup;

    /// A new entry; true when saved.
    bool openForAdd();
    /// A change of the register's current entry; true when saved (or found changed by another client).
    bool openForChange(const Dataset& row);

    void Button1Click();
    void Button3Click();
    void Button4Click();

    int& pickedWorkerId() override { return sel_id_p; }
    QLineEdit* pickedWorkerName() override { return Edit1; }
    int& pickedGroupId() override { return sel_id_nom; }
    QLineEdit* pickedGroupName() override { return Edit2; }

private:
    bool run();
    /// After a pick: the next field that waits for its value, else "Записать".
    void focusAfterPick(QWidget* pick);
    void kindChanged();
    void updateSum();
    bool dayOff() const;

    TDataModule6& m_dm;
    TForm25& m_form25;
    Prompts& m_prompts;
    /// The entry being changed, as read: the change is refused when another client changed it since.
    hour_entry::Stored m_stored;
    /// The chosen work kind's norm price; nothing when the kind has none.
    std::optional<Money> m_norm;
};
