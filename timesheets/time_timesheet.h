#pragma once
#include "rules/sheet_rows.h"
#include "timesheets/timesheet_export.h"
#include "timesheets/timesheet_progress.h"

#include <QDate>
#include <QDialog>
#include <QSqlDatabase>

class TDataModule6;
class TForm15;
class Prompts;
class DataGrid;
class TimesheetGridModel;
class QTabWidget;
class QPushButton;
class QProgressBar;
class QComboBox;

/// Writes the month's time timesheet into a new workbook of excel: a title row, the headings
/// "Фамилия И.О.", "1" … "31", "Итого", and one row per worker with the hours of all the
/// worker's timesheet rows of the month summed by day, hours as whole numbers, the table
/// finished by excel_table::finish. Tells progress after the headings (0 of N) and after each
/// row; returns -1 when no workbook could be started, else 1.
int writeTimeTimesheet(const QSqlDatabase& db, int month, int year, ExcelApp& excel,
                       const ExportProgress& progress = {});
/// The same from rows read before (in the background).
int writeTimeTimesheet(const QList<sheet_rows::TimeTimesheetRow>& rows, int month, int year, ExcelApp& excel,
                       const ExportProgress& progress = {});

/// The monthly hours of every worker by day, one tab per shift, with the month's rebuild from
/// the journal, the spreadsheet and the print.
class JobProgress;
class Dataset;

class TForm19 : public QDialog {
    Q_OBJECT
public:
    /// excel is the handle all of this window's exports use; form15 prints the time timesheet.
    TForm19(TDataModule6& dm, ExcelApp& excel, TForm15& form15, QWidget* parent = nullptr);

    QTabWidget* PageControl1 = nullptr;
    QWidget *TabSheet1 = nullptr, *TabSheet2 = nullptr, *TabSheet3 = nullptr;
    DataGrid *DBGrid1 = nullptr, *DBGrid2 = nullptr, *DBGrid3 = nullptr;
    QPushButton* Button1 = nullptr;   // "Перестроить"
    QProgressBar* PB = nullptr;
    QPushButton* Button2 = nullptr;   // "Excel"
    QComboBox* ComboBox1 = nullptr;   // month
    QComboBox* ComboBox2 = nullptr;   // year
    QPushButton* Button5 = nullptr;   // "Обновить"
    QPushButton* Button6 = nullptr;   // "Печать"
    QPushButton* Button4 = nullptr;   // "Выход"

    /// Opens modally on the month of the working date; the shift queries are closed afterwards.
    void openFor(const QDate& workingDate);

    /// The month and year chosen.
    int month() const;
    int year() const;

    void ComboBox1Change();
    void Button5Click();
    void Button1Click();
    void Button2Click();
    void Button6Click();

    /// The window's work in the background (the rebuild): its progress and "Отмена".
    JobProgress* work() const { return m_work; }

protected:
    void showEvent(QShowEvent* event) override;
    /// A run still going on is stopped before the window closes.
    void done(int result) override;

private:
    void fillYears(int workingYear);
    void openShifts();
    /// The three shifts, read through one statement.
    ShownSheets shifts() const;

    TDataModule6& m_dm;
    Prompts& m_prompts;
    ExcelApp& m_excel;
    TForm15& m_form15;
    QList<TimesheetGridModel*> m_models;
    JobProgress* m_work = nullptr;
};
