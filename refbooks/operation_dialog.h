#pragma once
#include "refbooks/pick_targets.h"

#include <QDialog>
#include <functional>

class TDataModule6;
class Dataset;
class Prompts;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

/// The operation price dialog: adds an operation (a kind of work on a product, for finished
/// products or blanks) or changes the product, kind or class of one. An operation is unique by
/// kind, class and product.
class TForm10 : public QDialog, public ProductPickTarget, public OperationKindPickTarget {
    Q_OBJECT
public:
    TForm10(TDataModule6& dm, QWidget* parent = nullptr);

    /// 1 a new operation, anything else a change of the operation the dialog was opened on.
    int Tag = 1;
    /// The chosen operation kind (vid_oper.id) and product (izdel.id).
    int sel_vid = 0;
    int sel_i_id = 0;

    /// Opens the products list as a picker for this dialog (set by whoever owns that list).
    std::function<void(ProductPickTarget&)> pickProduct;
    /// Opens the operation kinds list as a picker for this dialog.
    std::function<void(OperationKindPickTarget&)> pickKind;

    QGroupBox* GroupBox1 = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* Edit1 = nullptr;      // brand
    QPushButton* Button3 = nullptr;  // "..." product
    QLabel* Label2 = nullptr;
    QLineEdit* Edit2 = nullptr;      // kind
    QPushButton* Button4 = nullptr;  // "..." kind
    QLabel* Label4 = nullptr;
    QComboBox* ComboBox1 = nullptr;  // class
    QPushButton* Button1 = nullptr;  // "Записать"
    QPushButton* Button2 = nullptr;  // "Отмена"

    /// A new operation: both names empty (to be picked), "Готовая продукция"; shows the dialog
    /// modally. Returns the new operation's id, 0 when nothing was saved.
    int openForAdd();
    /// The operation of the current row of an operations query (marka, vid, naimen, i_id,
    /// oper_vid, id); shows the dialog modally. Returns whether it was saved.
    bool openForChange(const Dataset& oper);

    /// "Записать": refuses an incomplete operation, a twin operation and a product or kind
    /// deleted meanwhile; writes, rereads Oper and closes.
    void Button1Click();
    /// "..." beside the brand: the products list picks a product.
    void Button3Click();
    /// "..." beside the kind: the operation kinds list picks a kind.
    void Button4Click();

    int& pickedProductId() override { return sel_i_id; }
    QLineEdit* pickedProductName() override { return Edit1; }
    int& pickedKindId() override { return sel_vid; }
    QLineEdit* pickedKindName() override { return Edit2; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    TDataModule6& m_dm;
    Prompts& m_prompts;
    int m_operationId = 0;  // the operation being changed, or the one just added
    // The names as the last pick (or the opened operation) left them in Edit1 and Edit2.
    QString m_pickedBrand;
    QString m_pickedKind;
};
