#pragma once
#include <QDialog>
#include <QSqlDatabase>
#include <functional>

class TDataModule6;
class TForm10;
class TForm22;
class ExcelApp;
class Prompts;
class RefBookList;
class OperationPickTarget;
struct PickedOperation;
class DataGrid;
class QCheckBox;
class QLineEdit;
class QPushButton;

namespace sql {
/// Every operation, norms or not, with its own price, in the order of brand, kind and class.
extern const QString XLS_Rep;
} // namespace sql

/// Writes every operation (with norms or without) into a new workbook: row 1 the headings
/// "Марка", "Операция", "Цена", "Вид", then one row an operation in the order of brand, kind and
/// class, with the operation's own price shown with two decimals; the table finished by
/// excel_table::finish; then shows the workbook.
/// progress (may be empty) hears the rows written so far and the rows in all.
/// Returns the operations written, or -1 when no workbook could be started.
int writeOperationsSheet(const QSqlDatabase& db, ExcelApp& excel,
                         const std::function<void(int written, int total)>& progress = {});

/// The operations list: every operation of a product with its lowest norm price and number of
/// norms; a reference book from which prices and norms are kept, and the picker of an
/// operation for the shift entry dialog.
class TForm4 : public QDialog {
    Q_OBJECT
public:
    TForm4(TDataModule6& dm, TForm10& form10, TForm22& form22, ExcelApp& excel, QWidget* parent = nullptr);

    /// The reference book from the journal's menu "Цены": tag 0, "Изменить" not default,
    /// "Добавить" and "Удалить" shown, the search left as it was; opens Oper, shows the list
    /// modally and closes Oper afterwards. With "Цены" ticked the list also shows operations
    /// that have no norm yet, so that their norms can be entered.
    void openBrowse();
    /// The picker for the shift entry dialog (tag 1): "Выбрать" shown and default, "Добавить"
    /// and "Удалить" hidden, the search shown and cleared; Oper opened on its first row, or on the
    /// operation operationId when it is listed. Only operations with norms are offered. A pick
    /// hands the row to the target; afterwards "Выбрать" is no longer default, the search hidden
    /// and its filter lifted (Oper stays open).
    void openPick(OperationPickTarget& target, int operationId = 0);

    RefBookList& list() const { return *m_list; }

    DataGrid* DBGrid1 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QCheckBox* CheckBox1 = nullptr;  // "Цены"
    QPushButton* Button1 = nullptr;  // "Добавить"
    QPushButton* Button2 = nullptr;  // "Изменить" / "Выбрать"
    QPushButton* Button3 = nullptr;  // "Удалить"
    QPushButton* Button5 = nullptr;  // "Excel"
    QPushButton* Button4 = nullptr;  // "Выход"

    /// "Добавить": the price dialog for a new operation; once saved, its norms open at once
    /// with a new row started.
    void Button1Click();
    /// "Изменить" in the reference book: the price dialog for the current operation.
    void Button2Click();
    /// "Удалить": once confirmed, deletes the current operation with its norms, unless journal
    /// or hour entries still use it (then the user is told how many and nothing is deleted).
    void Button3Click();
    /// "Excel": every operation into a new workbook, the progress shown on the button.
    void Button5Click();
    /// Double click: the norms of the current operation when "Цены" is ticked in the reference
    /// book, otherwise as "Изменить"/"Выбрать".
    void DBGrid1DblClick();
    /// "Цены" in the reference book: lists the operations without norms too, or no longer.
    void CheckBox1Click();

private:
    void useOperQuery(bool withoutNorms);
    void reopenOnOperation(int id);

    TDataModule6& m_dm;
    TForm10& m_form10;
    TForm22& m_form22;
    ExcelApp& m_excel;
    Prompts& m_prompts;
    RefBookList* m_list = nullptr;
};
