#pragma once
#include "data/dataset.h"
#include "refbooks/pick_targets.h"

#include <QDate>
#include <QDialog>
#include <QSqlDatabase>
#include <QString>
#include <functional>

class TDataModule6;
class TForm25;
class Prompts;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

/// Writing one entry of hour-paid work (accounts_dep.fatigue) with everything that must stand or
/// fall with it.
namespace utility_work {

/// The hourly price of an entry: the norm price, times 2.0 on a day off, then times 1.2 for night
/// hours, rounded to the 4 decimals the price column keeps.
double hourlyPrice(double normPrice, bool dayOff, bool night);

/// The values a save writes.
struct Entry {
    int id = 0;            ///< the entry changed; 0 adds a new one
    QString version;       ///< the changed entry's row version as the register showed it; empty: stale
    int groupId = 0;       ///< id_nom
    int kind = 0;          ///< id_o: 7777 utility works, 7778 average piecework
    int workerId = 0;      ///< id_p
    QDate day;             ///< d_date, with its month and year (kept as stored on a change)
    int shift = 1;         ///< i_smena
    int hours = 0;         ///< cnt
    double price = 0;
    bool dayOff = false;   ///< i_holiday
    bool night = false;    ///< i_night
};

enum class Outcome {
    Saved,
    Stale,  ///< the changed or deleted entry was changed or deleted by someone else since it was read
};

/// The row version of the register's current entry when the stored entry still holds what the
/// register shows; empty when it was changed or deleted since the register was read.
QString versionOf(const QSqlDatabase& db, const Dataset& registerRow);

/// In one transaction: the check that a changed entry is as it was read, the insert or update, and
/// the timesheet cells of the entry's place and, when a change moves it to another worker or work
/// kind, of the place it left. Nothing is written unless Saved; a refusal of the server throws.
Outcome save(const QSqlDatabase& db, const Entry& entry);

/// Deletes an entry and brings the cell it fed into step, in one transaction. Stale when the entry
/// is gone already.
Outcome remove(const QSqlDatabase& db, int id);

/// Reprices every average-piecework entry of the month from its worker's piecework earnings of
/// the month in the journal, per journal hour, with the entry's day-off and night surcharges.
void recalculateAverage(const QSqlDatabase& db, int month, int year);

/// The recalculation's statement; bound by name: first (the month's first day), next (the next
/// month's first day), mnth, year.
extern const QString kRecalculateAverage;

} // namespace utility_work

/// The entry dialog of hour-paid work: adds an entry on the register's date or changes the
/// register's current entry, pricing it from the norms of its work kind.
class TForm24 : public QDialog, public WorkerPickTarget, public GroupPickTarget {
    Q_OBJECT
public:
    TForm24(TDataModule6& dm, TForm25& register25, QWidget* parent = nullptr);

    /// 0 adds an entry, anything else changes the register's current entry.
    int Tag = 0;
    int sel_id_nom = 0;
    int sel_id_p = 0;

    /// The work kinds with the norm price of each of their norm rows.
    Dataset type_work;

    QGroupBox* GroupBox1 = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* Edit1 = nullptr;       // worker
    QPushButton* Button3 = nullptr;   // "..." worker pick
    QLabel* Label2 = nullptr;
    QLineEdit* Edit2 = nullptr;       // nomenclature group
    QPushButton* Button4 = nullptr;   // "..." group pick
    QComboBox* cb_type_work = nullptr;
    QLineEdit* Edit6 = nullptr;       // hours
    QLabel* Label8 = nullptr;         // "ч.    Цена"
    QLineEdit* DBEdit1 = nullptr;     // norm price
    QLabel* Label3 = nullptr;         // "р.    Сумма"
    QLineEdit* DBEdit2 = nullptr;     // sum
    QCheckBox* CBox1 = nullptr;       // "Ночные"
    QPushButton* Button1 = nullptr;   // "Записать"
    QPushButton* Button6 = nullptr;   // "Выход"

    /// Open the workers list and the nomenclature groups list as pickers handing back into this dialog.
    std::function<void(WorkerPickTarget&)> openWorkerPick;
    std::function<void(GroupPickTarget&)> openGroupPick;

    /// "Добавить" of the register: a new entry, utility works chosen; shown modally.
    void openForAdd();
    /// "Изменить" of the register: its current entry; shown modally.
    void openForChange();
    /// What the two openings put into the dialog, without showing it (type_work opened).
    void fillForAdd();
    void fillForChange();

    // Handlers.
    void Button1Click();
    void Button3Click();
    void Button4Click();
    void cb_type_workChange();

    // Pick targets.
    int& pickedWorkerId() override { return sel_id_p; }
    QLineEdit* pickedWorkerName() override { return Edit1; }
    int& pickedGroupId() override { return sel_id_nom; }
    QLineEdit* pickedGroupName() override { return Edit2; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void fillKinds();
    void chooseKind(int kind);
    /// The price and sum displays after any change of the kind, the hours or the night box.
    void showAmounts();
    /// The norm price of the chosen kind (its first norm row); false when it has none.
    bool normPrice(double& price);
    void runModal();

    TDataModule6& m_dm;
    TForm25& m_register;
    Prompts& m_prompts;
    int m_entryId = 0;
    QString m_version;
};
