#pragma once
#include "data/dataset.h"
#include "export/excel_export.h"
#include "rules/change_history.h"

#include <QDialog>
#include <functional>

class TDataModule6;
class Prompts;
class DataGrid;
class JobProgress;
class QCheckBox;
class QDateEdit;
class QLabel;
class QProgressBar;
class QPushButton;
class QWidget;

/// The history of changes: of one journal or hour entry, or of a period (the changes of
/// approved entries with the closing and reopening of months, or every change), read-only,
/// and written to a workbook as shown.
class TForm30 : public QDialog {
    Q_OBJECT
public:
    TForm30(TDataModule6& dm, ExcelApp& excel, QWidget* parent = nullptr);
    ~TForm30() override;

    QDateEdit* FromDate = nullptr;        // "С"
    QDateEdit* ToDate = nullptr;          // "По", the day included
    QCheckBox* ApprovedOnly = nullptr;    // "Только утвержденные записи"
    QPushButton* RefreshButton = nullptr; // "Обновить"
    QPushButton* ExcelButton = nullptr;   // "Excel"
    QPushButton* CloseButton = nullptr;   // "Закрыть"
    QLabel* CountLabel = nullptr;         // "Записей: N"
    DataGrid* HistoryGrid = nullptr;
    /// The records shown, one row each.
    Dataset Changes;

    /// The records of one entry, oldest first; the title names the entry ("запись журнала №5:
    /// Иванов И.И., ДМ-1, 15.03.2024"). Shown modally, without the period.
    void openForEntry(change_history::Table table, qlonglong rowId, const QString& entry);
    /// The changes of the month of today up to today, approved entries only; shown modally.
    void openForPeriod(const QDate& today);

    /// "Обновить": reads the entry's records or the period's changes again.
    void RefreshButtonClick();
    /// "Excel": the rows as shown (their order and search) into a new workbook, shown when written.
    void ExcelButtonClick();

    /// The reading in the background: its progress and "Отмена".
    JobProgress* work() const { return m_work; }

protected:
    /// A reading still going on is stopped before the window closes.
    void done(int result) override;

private:
    /// Shows or hides the columns that say which entry a record is of.
    void showEntryColumns(bool shown);

    ExcelApp& m_excel;
    Prompts& m_prompts;
    QWidget* m_period = nullptr;
    QProgressBar* m_bar = nullptr;
    JobProgress* m_work = nullptr;
    // The entry shown, or none (rowId 0) for a period.
    change_history::Table m_table = change_history::Table::Journal;
    qlonglong m_rowId = 0;
};

/// The history's records written into a new workbook of the handle as the window shows them, a
/// record at a time straight into the workbook's file (a plant's month takes the memory of a
/// record): the window's column titles on row 1 of sheet "История", a row per record below ("Когда"
/// a date-time cell shown dd.mm.yyyy hh:mm:ss, texts as texts, the entry's number a number), and
/// when a sheet is full (rowsPerSheet rows, the titles' included) on sheet "История (2)" and on,
/// under the titles again; each sheet's titles stay in place, with filter buttons, the columns as
/// wide as what they show.
class HistorySheet {
public:
    explicit HistorySheet(ExcelApp& excel, int rowsPerSheet = ExcelApp::kSheetRows);
    /// Whether the workbook was started; when not, nothing is written and finish() gives -1.
    bool started() const { return m_started; }
    void add(const change_history::Record& record);
    /// A row of the window's grid: its values in the order of its columns.
    void add(const QVariantList& values);
    /// Ends the workbook: -1 when it was not started or not written (the user has been told),
    /// otherwise 1; it is not shown.
    int finish();

private:
    ExcelApp& m_excel;
    bool m_started = false;
    bool m_failed = false;
};

/// The records written by a HistorySheet; progress(written, total) is told before the first
/// record and after each. Returns -1 when no workbook could be started or written, otherwise 1;
/// the workbook is not shown.
int writeHistorySheet(const QList<change_history::Record>& records, ExcelApp& excel,
                      const std::function<void(int written, int total)>& progress = {},
                      int rowsPerSheet = ExcelApp::kSheetRows);
