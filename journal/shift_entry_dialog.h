#pragma once
#include "data/money.h"
#include "refbooks/pick_targets.h"
#include "rules/journal_entries.h"

#include <QDate>
#include <QDialog>
#include <QPointer>
#include <QSet>
#include <QString>
#include <functional>

class TDataModule6;
class TForm1;
class Dataset;
class Prompts;
class QDateEdit;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

/// The shift entry dialog: adds a journal entry for the journal's current shift, or changes the
/// entry the journal's grid stands on, fixing its price at the pick of the operation.
class TForm11 : public QDialog, public WorkerPickTarget, public OperationPickTarget {
    Q_OBJECT
public:
    TForm11(TDataModule6& dm, TForm1& form1, QWidget* parent = nullptr);

    /// 1 adds an entry, anything else changes the journal's current entry.
    int Tag = 1;
    int cur_w_id = 0;
    int cur_o_id = 0;
    int cur_i_id = 0;
    int cur_naimen = 0;
    /// The final price per piece in exact digits ("14.808"), before the rounding to 4 decimals
    /// that the displays and the save apply.
    QString cur_price;

    QGroupBox* GroupBox1 = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* Edit1 = nullptr;      // worker
    QPushButton* Button3 = nullptr;  // "..." worker pick; Enter on it opens the pick too
    QLabel* Label2 = nullptr;
    QLineEdit* Edit2 = nullptr;      // operation
    QPushButton* Button4 = nullptr;  // "..." operation pick; Enter on it opens the pick too
    QLabel* Label3 = nullptr;
    QLineEdit* Edit3 = nullptr;      // quantity
    QLabel* Label7 = nullptr;
    QLineEdit* Edit6 = nullptr;      // hours
    QLabel* Label6 = nullptr;
    QLineEdit* Edit5 = nullptr;      // colour
    QLabel* Label5 = nullptr;
    QDateEdit* DTimeP = nullptr;
    QLabel* Label4 = nullptr;
    QLineEdit* Edit4 = nullptr;      // defects
    QLabel* Label8 = nullptr;
    QLineEdit* Edit8 = nullptr;      // base price
    QLabel* Label10 = nullptr;
    QLineEdit* Edit7 = nullptr;      // final price
    QLabel* Label9 = nullptr;
    QLineEdit* Edit9 = nullptr;      // amount
    /// Which fields the last refusal was about.
    QLabel* StatusLine = nullptr;
    QPushButton* Button1 = nullptr;  // "Запись"
    QPushButton* Button2 = nullptr;  // "Отмена"

    /// Open the workers list and the operations list as pickers handing back into this dialog;
    /// the operations list stands on operationId when it is not 0 (the changed entry's operation).
    std::function<void(WorkerPickTarget&)> openWorkerPick;
    std::function<void(OperationPickTarget&, int operationId)> openOperationPick;

    /// "Добавить": a new entry on the day, the worker and the operation to be picked; shown modally.
    void openForAdd(const QDate& day);
    /// "Изменить": the entry of the journal row; shown modally.
    void openForChange(const Dataset& row);
    /// What the two openings put into the dialog, without showing it.
    void fillForAdd(const QDate& day);
    void fillForChange(const Dataset& row);

    // Handlers.
    /// On opening and whenever the dialog becomes active again: the focus goes to the worker pick.
    /// Back from a pick list or the incomplete input's message it goes where the entry goes on.
    void FormActivate();
    void Button1Click();
    void Button3Click();
    void Button4Click();
    void Edit6Exit();

    // Pick targets.
    int& pickedWorkerId() override { return cur_w_id; }
    QLineEdit* pickedWorkerName() override { return Edit1; }
    void takeOperation(const PickedOperation& operation) override;

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool paints() const;
    void applyColourRule();
    /// The entry's fields in keyboard order, each as the control that takes the focus for it.
    QList<QWidget*> fields() const;
    /// Whether the field still waits for its value after a pick.
    bool waitsForValue(QWidget* field) const;
    /// After a pick: the next field that waits for its value, else "Запись".
    void focusAfterPick(QWidget* pick);
    /// Gives the control the focus now, and again when the dialog becomes active once the pick
    /// list or the message box that is closing has gone.
    void focusOnReturn(QWidget* control);

    TDataModule6& m_dm;
    TForm1& m_journal;
    Prompts& m_prompts;
    QString m_basePrice;      // the picked operation's base price; empty before a pick
    Money m_storedPrice;      // the changed entry's price, kept unless an operation is picked
    bool m_picked = false;
    int m_entryId = 0;
    int m_entryOperationId = 0;   // the changed entry's operation as read
    QString m_version;
    shift_entry::Writer m_writer;
    QPointer<QWidget> m_focusOnReturn;   // see focusOnReturn()
    /// Marks a field the save found empty (a red frame), or takes the mark away.
    void markMissing(QLineEdit* field, bool missing);
    void clearMarks();
    /// Quantity or hours boxes holding the 0 the displays' recomputation put into them, untyped.
    QSet<const QLineEdit*> m_untypedZeros;
};
