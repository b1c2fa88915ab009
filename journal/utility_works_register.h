#pragma once
#include "data/dataset.h"

#include <QDialog>

class TDataModule6;
class TForm24;
class TForm30;
class Prompts;
class DataGrid;
class QCheckBox;
class QDateEdit;
class QPushButton;

/// The register of hour-paid work of one date: utility works (7777) and average piecework
/// (7778) by worker and nomenclature group; adds and changes entries through TForm24, deletes
/// them, keeps the timesheet cells in step and recalculates a month's average-piecework prices.
class TForm25 : public QDialog {
    Q_OBJECT
public:
    TForm25(TDataModule6& dm, QWidget* parent = nullptr);

    DataGrid* DBGrid1 = nullptr;
    QPushButton* Button5 = nullptr;  // "Добавить"
    QPushButton* Button6 = nullptr;  // "Изменить"
    QPushButton* Button7 = nullptr;  // "Удалить"
    QPushButton* Button1 = nullptr;  // "Расчитать ср.сд."
    QDateEdit* DTPcker1 = nullptr;
    QCheckBox* CBox1 = nullptr;      // "Выходной"
    QPushButton* Button8 = nullptr;  // "Выход"
    /// "История": the history of changes of the current entry.
    QPushButton* HistoryButton = nullptr;

    /// The entries of the picker's date.
    Dataset fatigue;
    /// Written into i_smena of new entries; 1 whenever the window becomes active.
    int smena_no = 1;
    /// The entry dialog; set by the owner of both windows.
    TForm24* Form24 = nullptr;
    /// The history window; set by the owner of both windows.
    TForm30* Form30 = nullptr;

    /// From the journal: the picker takes the journal's date (the day-off box is left as it
    /// is) and the register is shown modally.
    void openFor(const QDate& date);

    void FormActivate();
    /// The user changed the date: the day-off box follows the day of the week, the list the date.
    void DTPcker1Change();
    void CBox1Click();
    void Button5Click();
    void Button6Click();
    void Button7Click();
    /// "Расчитать ср.сд.": the average-piecework prices of the picker's month.
    void Button1Click();
    /// "История": the history of changes of the current entry.
    void HistoryButtonClick();

    /// Reloads the list and returns to the record number it stood on.
    void reloadKeepingPlace();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void reload();

    TDataModule6& m_dm;
    Prompts& m_prompts;
    bool m_settingDate = false;
};
