#pragma once
#include "data/dataset.h"

#include <QDialog>

class TDataModule6;
class TForm24;
class Prompts;
class DataGrid;
class GridModel;
class QCheckBox;
class QDateEdit;
class QPushButton;

/// The register of hour-paid work of one date (utility works and average piecework): adding,
/// changing and deleting entries with the timesheet kept in step, and the month's recalculation
/// of average-piecework prices.
class TForm25 : public QDialog {
    Q_OBJECT
public:
    TForm25(TDataModule6& dm, QWidget* parent = nullptr);

    /// The entries of the picked date.
    Dataset fatigue;
    /// The shift written into new entries; 1 whenever the window becomes active.
    int smena_no = 1;

    DataGrid* DBGrid1 = nullptr;
    QPushButton* Button5 = nullptr;   // "Добавить"
    QPushButton* Button6 = nullptr;   // "Изменить"
    QPushButton* Button7 = nullptr;   // "Удалить"
    QPushButton* Button1 = nullptr;   // "Расчитать ср.сд."
    QDateEdit* DTPcker1 = nullptr;
    QCheckBox* CBox1 = nullptr;       // "Выходной"
    QPushButton* Button8 = nullptr;   // "Выход"
    /// The entry dialog, created with the register.
    TForm24* Form24 = nullptr;

    /// From the journal: the register on the journal's date (the day-off box as it was left),
    /// shown modally.
    void openFor(const QDate& day);
    /// The picked date.
    QDate date() const;
    /// Reopens the list and puts it back on the record number it stood on.
    void reload();

    // Handlers.
    void FormActivate();
    void DTPcker1Change();
    void CBox1Click();
    void Button5Click();
    void Button6Click();
    void Button7Click();
    void Button1Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    TDataModule6& m_dm;
    Prompts& m_prompts;
    GridModel* m_model = nullptr;
};
