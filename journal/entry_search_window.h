#pragma once
#include "data/dataset.h"
#include "ui/grid_model.h"

#include <QDate>
#include <QDialog>
#include <optional>

class TDataModule6;
class ExcelApp;
class Prompts;
class DataGrid;
class JobProgress;
class QDateEdit;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

/// "Найти записи…": the journal entries of a period, in every shift the journal shows and
/// leaving out what its shifts leave out, whose worker, product, operation or colour holds a
/// text; their count and sums, a workbook of them, and the way to one of them in the journal.
class TForm34 : public QDialog {
    Q_OBJECT
public:
    /// journalColumns: the journal grid's columns, which the found entries show after their date
    /// and shift.
    TForm34(TDataModule6& dm, ExcelApp& excel, const QList<ColumnSpec>& journalColumns, QWidget* parent = nullptr);
    ~TForm34() override;

    QDateEdit* FromDate = nullptr;         // "С"
    QDateEdit* ToDate = nullptr;           // "По", the day included
    QLineEdit* TextEdit = nullptr;         // "Содержит:"
    QPushButton* FindButton = nullptr;     // "Найти", the default
    DataGrid* FoundGrid = nullptr;
    QLabel* TotalsLabel = nullptr;         // "Записей: N, кол-во Q, на сумму S"
    QPushButton* GoButton = nullptr;       // "Перейти": Enter and a double-click on a row too
    QPushButton* ExcelButton = nullptr;    // "Excel"
    QPushButton* CloseButton = nullptr;    // "Закрыть"
    /// The entries found, at most shownLimit of them (the totals count all).
    Dataset Found;
    int shownLimit = 10000;

    /// An entry to be shown in the journal.
    struct Place {
        int id = 0;
        QDate day;
        int shift = 1;
    };
    /// Shown modally; the first time on the month of today up to its end, afterwards on the
    /// period and text last used, searched again. The entry chosen, or none.
    std::optional<Place> openFor(const QDate& today);

    /// "Найти": reads the period's entries holding the text (in the background).
    void FindButtonClick();
    /// "Перейти": closes the window on the current entry.
    void GoButtonClick();
    /// "Excel": the rows as shown into a new workbook, shown when written.
    void ExcelButtonClick();

    /// The reading in the background: its progress and "Отмена".
    JobProgress* work() const { return m_work; }

    /// The text as a pattern of ilike that finds it anywhere, its % and _ (and the escape
    /// character \) taken literally.
    static QString containsPattern(const QString& text);

protected:
    void done(int result) override;

private:
    void showTotals();

    ExcelApp& m_excel;
    Prompts& m_prompts;
    TDataModule6& m_dm;
    QProgressBar* m_bar = nullptr;
    JobProgress* m_work = nullptr;
    bool m_opened = false;
    std::optional<Place> m_chosen;
};

/// Starts a new workbook and writes the rows the grid shows into its sheet 1 as shown: the
/// visible columns' titles on row 1, a row per entry from row 2, dates as dates, numbers as
/// numbers, the amount with two decimals; the table finished by excel_table::finish. Returns -1
/// when no workbook could be started, otherwise the rows written; the workbook is not shown.
int writeFoundSheet(const DataGrid& grid, ExcelApp& excel);
