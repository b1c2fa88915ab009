#pragma once
#include <QString>
#include <memory>

class TDataModule6;
class TForm1;
class TForm23;
class TForm2;
class TForm5;
class TForm8;
class TForm9;
class TForm3;
class TForm7;
class TForm26;
class TForm29;
class TForm4;
class TForm10;
class TForm15;
class TForm18;
class TForm19;
class TForm22;
class TForm27;
class TForm31;
class TForm32;
class TForm24;
class TForm25;
class TForm30;
class ExcelApp;
class DesktopSpreadsheetOpener;
class TForm11;
class TForm33;
class TForm34;
class TForm35;

/// The windows created after the login, each once for the whole run, and the journal's ways
/// to them. Workbooks open in the desktop's program for .xlsx, or where it has none in
/// spreadsheetProgram (the settings' [spreadsheet] program; none when empty).
class Windows {
public:
    Windows(TDataModule6& dm, TForm1& form1, TForm23& form23, const QString& spreadsheetProgram = {});
    ~Windows();
    Windows(const Windows&) = delete;
    Windows& operator=(const Windows&) = delete;

    std::unique_ptr<TForm2> Form2;
    std::unique_ptr<TForm5> Form5;
    std::unique_ptr<TForm8> Form8;
    std::unique_ptr<TForm9> Form9;
    std::unique_ptr<TForm7> Form7;
    std::unique_ptr<TForm3> Form3;
    std::unique_ptr<TForm29> Form29;
    std::unique_ptr<TForm26> Form26;
    /// The desktop's spreadsheet program, shared by every window that opens a workbook.
    std::unique_ptr<DesktopSpreadsheetOpener> Opener;
    std::unique_ptr<ExcelApp> Excel;             ///< the spreadsheet handle of the hub's exports
    std::unique_ptr<ExcelApp> timesheetExcel;    ///< the time timesheet's workbook handle
    std::unique_ptr<ExcelApp> operationsExcel;   ///< the operations list's workbook handle
    std::unique_ptr<ExcelApp> historyExcel;      ///< the history of changes' workbook handle
    std::unique_ptr<TForm10> Form10;
    std::unique_ptr<TForm22> Form22;
    std::unique_ptr<TForm4> Form4;
    std::unique_ptr<TForm18> Form18;
    std::unique_ptr<TForm15> Form15;
    std::unique_ptr<TForm19> Form19;
    std::unique_ptr<TForm27> Form27;
    std::unique_ptr<TForm32> Form32;   // "Проверка табеля"
    std::unique_ptr<TForm31> Form31;   // "Закрытие месяца"
    std::unique_ptr<TForm11> Form11;
    std::unique_ptr<TForm25> Form25;
    std::unique_ptr<TForm24> Form24;
    std::unique_ptr<TForm30> Form30;
    std::unique_ptr<TForm33> Form33;            ///< "Добавить бригаду…"
    std::unique_ptr<ExcelApp> searchExcel;      ///< the search's workbook handle
    std::unique_ptr<TForm34> Form34;            ///< "Найти записи…"
    std::unique_ptr<TForm35> Form35;            ///< "Сводка за месяц"
};
