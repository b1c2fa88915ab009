#pragma once
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <memory>
#include <vector>

class Prompts;

/// Hands a finished workbook file to the desktop so the user finds it open in a visible window.
class SpreadsheetOpener {
public:
    virtual ~SpreadsheetOpener() = default;
    /// Opens the file in the user's spreadsheet program; false when no program could be started.
    virtual bool open(const QString& filePath) = 0;
};

/// The desktop's default program for .xlsx files, found and started through the desktop's
/// opener (xdg-utils); where no program is set for the file's type, the fallback program (a
/// command line, the file's path added as its last argument), when one is given. False when
/// no program could be started.
class DesktopSpreadsheetOpener final : public SpreadsheetOpener {
public:
    explicit DesktopSpreadsheetOpener(QString fallbackProgram = {}) : fallback_(std::move(fallbackProgram)) {}
    bool open(const QString& filePath) override;

private:
    QString fallback_;
};

/// The spreadsheet application as the exports see it: workbooks are filled in memory and
/// SetExcelVisible(true) saves each as a new .xlsx file and opens it for the user; nothing is
/// closed or deleted afterwards. Operations return 1 for done and -1 for failed, a failure
/// having been told to the user through Prompts. A window keeps one for all its exports, or
/// an export keeps its own for one run.
class ExcelApp {
public:
    /// Workbooks are saved into outputFolder (created when missing).
    ExcelApp(Prompts& prompts, SpreadsheetOpener& opener, QString outputFolder = defaultFolder());
    /// A handle for files only, for runs without a screen: workbooks are written with SaveAs,
    /// and SetExcelVisible does nothing.
    explicit ExcelApp(Prompts& prompts);
    ~ExcelApp();
    ExcelApp(const ExcelApp&) = delete;
    ExcelApp& operator=(const ExcelApp&) = delete;

    /// The user's documents folder, or the temporary folder where there is none.
    static QString defaultFolder();

    /// True until the first OpenExcel.
    bool isEmpty() const { return empty_; }

    /// With an empty name starts a new workbook with one sheet "Лист1" and makes it the one
    /// cells are written to. With a name, opens that existing file as it is: it is shown by
    /// SetExcelVisible(true), but its cells cannot be written here. Failure (output folder
    /// unusable, file unreadable): "Ошибка открытия файла Microsoft Excel." and -1.
    int OpenExcel(const QString& fileName);

    /// true: saves every workbook not yet shown, or changed since it was, each into a new file
    /// "КнигаN.xlsx", and opens it. Where no program can open it the user is told so and where
    /// the file lies, and the result is -1; a file that cannot be written is reported, -1.
    /// false: nothing to do, the workbook is not on the screen while it is filled.
    /// An empty handle does nothing and returns 1.
    int SetExcelVisible(bool visible);

    /// Writes the current workbook to path without showing it: into a new file in the same
    /// folder that then takes the name, so path holds either what it held before or the whole
    /// workbook, never a part of it. Failure (no workbook being filled, the folder or the file
    /// cannot be written): "Не удалось сохранить книгу Microsoft Excel в файл path" with the
    /// reason, and -1.
    int SaveAs(const QString& path);

    /// The most rows a sheet holds, its header row included.
    static constexpr int kSheetRows = 1048576;

    /// Starts a new workbook whose one table goes into its file a row at a time as it comes, for
    /// tables too long to hold (a plant month of history): the header in bold on row 1 of the
    /// sheet named `sheet`, then each row WriteExcelRow writes. When a sheet has rowsPerSheet rows
    /// (its header's included) the table goes on on a new sheet, "sheet (2)", "sheet (3)" …,
    /// under the header again. Once CloseExcelRows has ended it, the workbook is shown
    /// (SetExcelVisible) and saved (SaveAs) as any other. Its cells cannot be written otherwise.
    /// Failure (the output folder or the temporary folder unusable): "Ошибка открытия файла
    /// Microsoft Excel." and -1.
    int OpenExcelRows(const QString& sheet, const QStringList& header, int rowsPerSheet = kSheetRows);

    /// Writes the table's next row, a value a column: a moment as WriteExcelDateTime writes it,
    /// a number as a number, null or an empty text as nothing, anything else as text (format
    /// "@"). A row that cannot be written (a text over 32767 characters, a file that fails) is
    /// told once, as WriteExcelCell tells a cell, and the table takes no more rows: -1.
    int WriteExcelRow(const QVariantList& values);

    /// Ends the table and its file: on each sheet the header row stays in place while the rows
    /// scroll, its columns get filter buttons over its rows, and each column is as wide as its
    /// widest content shows (as AutoFitExcelColumns fits them). -1, told, when the file could
    /// not be written or the table took no rows after a failure.
    int CloseExcelRows();

    /// Writes text into a cell of the current workbook, converted as a user would type it:
    /// numbers with a decimal comma or point become numbers (unless they have more than 15
    /// significant digits), anything else stays text. Formatting already on the cell stays.
    /// An empty text writes nothing and returns 1. A sheet the workbook lacks (or no workbook)
    /// shows "Ошибка при записи: лист S, столбец C, строка R" under "Ошибочный номер листа
    /// Microsoft Excel", a cell outside the sheet or a text over 32767 characters the same
    /// text under "Ошибка Microsoft Excel"; both return -1. After a failed OpenExcel every
    /// write returns -1 without a message: the failure has been told once.
    int WriteExcelCell(int sheet, int column, int row, const QString& text);

    /// As above, and: asText gives the cell the text format "@" before the value (so "5" stays
    /// text); autoFit sets the column's width to fit its longest content; bold is set on or off.
    int WriteExcelCell(int sheet, int column, int row, const QString& text, bool asText,
                       bool autoFit, bool bold);

    /// Writes a moment as a date and time, a number the spreadsheet sorts and filters by, shown
    /// dd.mm.yyyy hh:mm:ss whatever the column's number format: the day and the clock time the
    /// value holds (its zone is not converted), to the whole second. Bold already on the cell
    /// stays. A moment before 1900 or after 9999, which a spreadsheet has no day for, is written
    /// as that text. An invalid moment writes nothing and returns 1; failures as for WriteExcelCell.
    int WriteExcelDateTime(int sheet, int column, int row, const QDateTime& moment);

    /// Writes a day as a date the spreadsheet sorts and filters by, shown dd.mm.yyyy whatever
    /// the column's number format; otherwise as WriteExcelDateTime.
    int WriteExcelDate(int sheet, int column, int row, const QDate& day);

    /// Gives a column a number format ("0.00", "0" …): its numbers, written before or after,
    /// show in it, except in cells of the text format, and so do numbers typed into its empty
    /// cells later. Widths fitted from then on count the numbers as they show. Failures as for
    /// WriteExcelCell, told for row 1 of the column.
    int SetExcelNumberFormat(int sheet, int column, const QString& format);

    /// Keeps rows 1 … rows in place while the rows below them scroll; 0 frees them again.
    /// Failures as for WriteExcelCell, told for column 1 of the first row that scrolls.
    int FreezeExcelRows(int sheet, int rows);

    /// Puts the filter buttons into the header row from firstColumn to lastColumn, filtering the
    /// rows below it down to lastRow (not above headerRow). Failures as for WriteExcelCell, told
    /// for the range's first or last cell.
    int SetExcelAutoFilter(int sheet, int firstColumn, int headerRow, int lastColumn, int lastRow);

    /// Fits every column of the sheet that holds anything, a filter button included, to its
    /// widest content as it shows: numbers in their column's format, bold a little wider, a
    /// filter header with room for its button. Failures as for WriteExcelCell, told for
    /// column 1, row 1.
    int AutoFitExcelColumns(int sheet);

private:
    struct Workbook;
    enum class CellStyle { Keep, Set };
    int writeCell(int sheet, int column, int row, const QString& text, CellStyle style,
                  bool asText, bool autoFit, bool bold);
    int writeMoment(int sheet, int column, int row, const QDateTime& moment, bool withTime);
    /// Whether the current workbook has a sheet whose cell at (column, row) can be written;
    /// when not, the user has been told (a failed open only once, by OpenExcel).
    bool writable(int sheet, int column, int row);
    bool ensureFolder() const;
    bool handOver(Workbook& book);
    struct RowTable;
    QString reserveFileName(QString* error) const;

    Prompts& prompts_;
    SpreadsheetOpener* opener_ = nullptr;   // none: a handle for files only
    QString folder_;
    bool empty_ = true;
    bool openFailed_ = false;
    std::vector<std::unique_ptr<Workbook>> workbooks_;
    Workbook* current_ = nullptr;
};

/// What the exports' tables share: money with two decimals, hours as whole numbers, and the
/// finish of a table under its bold header row.
namespace excel_table {

inline const QString kMoney = QStringLiteral("0.00");
inline const QString kHours = QStringLiteral("0");

/// Gives columns first … last of sheet 1 a number format.
void setNumberFormat(ExcelApp& excel, int first, int last, const QString& format);

/// Finishes the table of sheet 1 whose header row is headerRow: the rows down to it stay in
/// place, its columns 1 … lastColumn get filter buttons over the rows down to lastRow, and the
/// sheet's columns are fitted. Returns -1 when the workbook refused any of it.
int finish(ExcelApp& excel, int headerRow, int lastColumn, int lastRow);

}  // namespace excel_table
