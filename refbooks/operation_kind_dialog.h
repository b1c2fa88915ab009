#pragma once
#include <QDialog>

class TDataModule6;
class Prompts;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

/// The longest caption accounts_dep.vid_oper.vid holds.
inline constexpr int kOperationKindMaxLength = 50;

/// The operation kind dialog: adds an operation kind or renames the current one of Vid_oper.
class TForm9 : public QDialog {
    Q_OBJECT
public:
    TForm9(TDataModule6& dm, QWidget* parent = nullptr);

    /// 1 a new kind, anything else a new caption for the current row of Vid_oper.
    int Tag = 1;

    QGroupBox* GroupBox1 = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QPushButton* Button1 = nullptr;  // "Записать"
    QPushButton* Button2 = nullptr;  // "Отмена"

    /// "Записать": refuses an empty, overlong or already used caption (letter case aside),
    /// writes through Vid_oper, rereads it and closes.
    void Button1Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    TDataModule6& m_dm;
    Prompts& m_prompts;
};
