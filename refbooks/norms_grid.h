#pragma once
#include "data/dataset.h"

#include <QDialog>

class TDataModule6;
class Prompts;
class NormsModel;
class QPushButton;
class QTableView;

/// The norms of one operation: output standard, price per piece and bonus percent, edited in
/// place. Every finished cell is stored at once (a standard and a bonus whole numbers from 0
/// that fit an integer, a price a number from 0; other text is refused with a message); "Сохранить" (also Escape) closes and brings the
/// operations list's lowest price and number of norms up to date.
class TForm22 : public QDialog {
    Q_OBJECT
public:
    TForm22(TDataModule6& dm, QWidget* parent = nullptr);

    /// The norm rows of the operation shown, by standard.
    Dataset norm;

    QTableView* DBGrid1 = nullptr;
    QPushButton* Button1 = nullptr;  // "Сохранить"
    QPushButton* Button2 = nullptr;  // "Удалить"

    /// Shows the norms of an operation modally. A new row is started when the operation has no
    /// norm yet, or when newRow asks for one.
    void openForOperation(int operationId, bool newRow = false);
    int operationId() const { return m_operationId; }

    /// A new row at the end, current (Insert, or Down on the last row); stored with the
    /// operation's id once its price is entered.
    void startNewRow();

    /// "Сохранить": stores the cell being edited, refuses to leave a begun new row without its
    /// price, rereads Oper on the same record number and closes.
    void Button1Click();
    /// "Удалить": deletes the current norm while the operation has another one; a new row not
    /// yet stored is dropped.
    void Button2Click();

    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool storeCell(int row, int column, const QString& text);
    void reload(int keepId, int keepRow = 0);
    void updateDeleteButton();
    void finishEditing();

    TDataModule6& m_dm;
    Prompts& m_prompts;
    NormsModel* m_model = nullptr;
    int m_operationId = 0;
};
