#pragma once
#include "data/dataset.h"
#include "rules/sheet_statements.h"
#include "rules/sheet_rows.h"
#include "timesheets/timesheet_export.h"

#include <QDate>
#include <QDialog>
#include <QSqlDatabase>
#include <functional>

class TDataModule6;
class Prompts;
class DataGrid;
class TimesheetGridModel;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;

/// Writes a piecework timesheet (mode 9, 14, 15 or 17) of the month into a new workbook of
/// excel: a title row, the headings ("1" … "31" always), one row per sheet_rows::PieceworkRow
/// (hours as whole numbers, money with two decimals; the table finished by excel_table::finish),
/// and a row apart the month's totals (sheet_rows::pieceworkTotals) as the window shows them.
/// Tells progress after the headings (0 of N) and after each row; returns -1 when no workbook
/// could be started.
int writePieceworkTimesheet(const QSqlDatabase& db, int mode, int month, int year, ExcelApp& excel,
                            const ExportProgress& progress = {});
/// The same from rows and totals read before (in the background).
int writePieceworkTimesheet(const QList<sheet_rows::PieceworkRow>& rows, const sheet_rows::PieceworkTotals& totals, int mode,
                            int month, int year, ExcelApp& excel, const ExportProgress& progress = {});

/// One window for the four monthly piecework timesheets: a row per worker (or per worker and
/// day/night), the month's days, hours, earnings and hourly rate, the department's totals
/// (sheet_rows::pieceworkTotals), the rebuild of the month's hour rows and the spreadsheet.
class JobProgress;

class TForm27 : public QDialog {
    Q_OBJECT
public:
    /// Each export starts a workbook handle of its own, saved into excelFolder and handed to opener.
    TForm27(TDataModule6& dm, SpreadsheetOpener& opener, QString excelFolder = ExcelApp::defaultFolder(),
            QWidget* parent = nullptr);

    int Tag = 0;
    Dataset H_Tabel0, H_Tabel7777, H_Tabel7778, H_Tabel_all;
    Dataset q_year;
    Dataset* CurrentTabel = nullptr;

    DataGrid* DBGrid = nullptr;
    QComboBox* ComboBox1 = nullptr;   // month
    QComboBox* cb_year = nullptr;     // year
    QLabel* price8Text = nullptr;     // "Ср. сдел.:"
    QLabel* price7Text = nullptr;     // "Хоз. работы:"
    QLabel* priceText = nullptr;      // "Сделка:"
    QLabel* all_priceText = nullptr;  // "Итого:"
    QPushButton* Button2 = nullptr;   // "Excel"
    QPushButton* Button5 = nullptr;   // "Обновить"
    QPushButton* Button3 = nullptr;   // "Перестроить"
    QProgressBar* PB = nullptr;
    QPushButton* Button1 = nullptr;   // "Выход"
    QPushButton* Button4 = nullptr;   // "Печать", hidden

    /// The workstation's clock: the window opens on today's month.
    std::function<QDate()> today = [] { return QDate::currentDate(); };

    /// Opens modally as the timesheet of a mode (9, 14, 15 or 17) on today's month.
    void openMode(int tag);
    /// The opener's set-up of a mode: Tag, caption, current sheet, its columns.
    void setMode(int tag);

    int month() const;
    int year() const;

    void ComboBox1Change();
    void Button5Click();
    void Button3Click();
    void Button2Click();

    /// The window's work in the background (the rebuild): its progress and "Отмена".
    JobProgress* work() const { return m_work; }

protected:
    /// A run still going on is stopped before the window closes.
    void done(int result) override;

private:
    void fillYears();

    TDataModule6& m_dm;
    Prompts& m_prompts;
    SpreadsheetOpener& m_opener;
    QString m_excelFolder;
    TimesheetGridModel* m_model = nullptr;
    int m_nameWidth = 208;
    JobProgress* m_work = nullptr;
};
