#pragma once
#include "data/dataset.h"
#include "refbooks/pick_targets.h"
#include "rules/journal_entries.h"

#include <QDate>
#include <QDialog>
#include <QSet>
#include <QString>
#include <functional>

class TDataModule6;
class Prompts;
class DataGrid;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

/// "Добавить бригаду…": journal entries of one operation, colour, date and shift for several
/// workers at once, each with his own quantity, hours and defects, saved together or not at all
/// through the shift entry's own checks, price rule and timesheet upkeep.
class TForm33 : public QDialog, public OperationPickTarget {
    Q_OBJECT
public:
    explicit TForm33(TDataModule6& dm, QWidget* parent = nullptr);

    /// The columns of the brigade's grid; the typed ones stand together, in keyboard order.
    enum Column { NameColumn, QuantityColumn, HoursColumn, DefectsColumn, AmountColumn };

    /// Where a save put the entries, and the id of the first (the grid's first row); id 0 when
    /// nothing was saved.
    struct Added {
        int id = 0;
        QDate day;
        int shift = 1;
    };

    QLabel* OperationLabel = nullptr;
    QLineEdit* OperationEdit = nullptr;    // the picked operation, as the shift entry dialog shows it
    QPushButton* OperationButton = nullptr; // "..." opens the operations list; Enter on it too
    QLabel* ColourLabel = nullptr;
    QLineEdit* ColourEdit = nullptr;       // "Цвет", for a painting only
    QDateEdit* DayEdit = nullptr;          // "Дата"
    QComboBox* ShiftBox = nullptr;         // "Смена": the journal's four shifts
    QCheckBox* DayOffBox = nullptr;        // "Выходной": follows the date, as the journal's box does
    QLineEdit* BasePriceEdit = nullptr;    // "Цена база"
    QLineEdit* PriceEdit = nullptr;        // "Цена итог": after the day-off and shift surcharges
    QLineEdit* WorkerSearch = nullptr;     // "Поиск:" over the workers list
    DataGrid* WorkersGrid = nullptr;       // "Рабочие", a tick on each one picked
    QTableWidget* BrigadeGrid = nullptr;   // "Бригада": a row a picked worker
    QLabel* CountLabel = nullptr;
    QPushButton* Button1 = nullptr;        // "Запись"
    QPushButton* Button2 = nullptr;        // "Отмена"
    /// The workers book, as the workers list reads it.
    Dataset Workers;

    /// Opens the operations list as a picker handing back into this dialog, standing on the
    /// operation given when it is not 0.
    std::function<void(OperationPickTarget&, int operationId)> openOperationPick;

    /// A new brigade on the journal's date and shift, with its day-off box as it stands; today is
    /// the day the entries are keyed in. Shown modally; what was saved.
    Added openForAdd(const QDate& day, int shift, bool dayOff, const QDate& today);
    /// What openForAdd puts into the dialog, without showing it.
    void fillForAdd(const QDate& day, int shift, bool dayOff, const QDate& today);

    /// The workers picked, in the grid's order.
    QList<int> brigade() const;
    /// Picks the worker the workers list stands on (nothing when he is picked already).
    void pickCurrentWorker();
    /// Picks the worker the list stands on, or takes him out of the brigade when he is in it.
    void switchCurrentWorker();

    // Handlers.
    void OperationButtonClick();
    /// "Запись": checks the dialog and every row as the shift entry dialog checks one entry and
    /// saves all rows in one transaction; on a refusal says which row and why, and puts the
    /// focus on that row's cell.
    void Button1Click();

    void takeOperation(const PickedOperation& operation) override;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void applyColourRule();
    void showPrices();
    /// The final price per piece before rounding.
    QString price() const;
    int shift() const;
    void addWorker(int id, const QString& name);
    void removeWorker(int id);
    void showAmount(int row);
    /// The hours typed in the row go to the rows below whose hours were not typed.
    void takeHoursBelow(int row);
    void showCount();
    /// After a pick: the next field still empty, else "Запись".
    void focusAfterPick();
    /// The refusal of one row: said with the row's number and worker, the focus on its cell.
    void refuseRow(int row, int column, const QString& reason);

    TDataModule6& m_dm;
    Prompts& m_prompts;
    shift_entry::Writer m_writer;
    PickedOperation m_operation;
    QSet<int> m_picked;
    QDate m_today;
    Added m_added;
};
