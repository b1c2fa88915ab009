#include "export/excel_export.h"

#include "data/formats.h"
#include "data/prompts.h"
#include "data/replacing_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

#include <xlsxwriter.h>

#include <algorithm>
#include <array>
#include <cmath>

namespace {

const QString kErrorTitle = QStringLiteral("Ошибка");
const QString kOpenFailed = QStringLiteral("Ошибка открытия файла Microsoft Excel.");
const QString kNoApplication = QStringLiteral("Невозможно открыть Microsoft Excel.");
const QString kSheetTitle = QStringLiteral("Ошибочный номер листа Microsoft Excel");
const QString kCellTitle = QStringLiteral("Ошибка Microsoft Excel");

constexpr qsizetype kMaxTextLength = 32767;  // the longest text a spreadsheet cell holds
constexpr double kMaxColumnWidth = 255;
constexpr float kColumnPadding = 0.75f;

enum class Content : quint8 { None, Text, Number };

struct Cell {
    QString text;
    double number = 0;
    float width = 0;  // of the content, in digit widths of the default font
    Content content = Content::None;
    bool textFormat = false;
    bool bold = false;
};

struct Column {
    float contentWidth = 0;  // the widest cell; may be too wide while stale
    bool contentStale = false;
    double width = 0;        // 0 keeps the default width
};

struct Sheet {
    QString name;
    std::vector<std::vector<Cell>> rows;
    std::vector<Column> columns;
};

QString cellError(int sheet, int column, int row)
{
    return QStringLiteral("Ошибка при записи: лист ") + QString::number(sheet)
           + QStringLiteral(", столбец ") + QString::number(column)
           + QStringLiteral(", строка ") + QString::number(row);
}

constexpr bool among(const char* set, char16_t c)
{
    for (; *set; ++set) {
        if (char16_t(*set) == c)
            return true;
    }
    return false;
}

/// Widths of the ASCII characters in digit widths of the default spreadsheet font.
constexpr std::array<float, 128> asciiWidths()
{
    std::array<float, 128> widths{};
    for (char16_t c = 0; c < 128; ++c) {
        if (among(" .,:;'!|ijlI", c))
            widths[c] = 0.5f;
        else if (among("()[]{}frt\"-/", c))
            widths[c] = 0.7f;
        else if (among("mwMW@%", c))
            widths[c] = 1.4f;
        else if (c >= u'A' && c <= u'Z')
            widths[c] = 1.2f;
        else
            widths[c] = 1.0f;
    }
    return widths;
}

constexpr std::array<float, 128> kAsciiWidths = asciiWidths();

float characterWidth(char16_t c)
{
    if (c < 0x80)
        return kAsciiWidths[c];
    if (c >= 0x0400 && c <= 0x04FF) {
        if (QStringView(u"жшщыюмфЖШЩЫЮМФ").contains(QChar(c)))
            return 1.4f;
        if ((c >= 0x0410 && c <= 0x042F) || c == 0x0401)
            return 1.2f;
        return 1.0f;
    }
    if (c >= 0x2E80)
        return 2.0f;  // ideographs are twice as wide
    return 1.0f;
}

float contentWidth(const QString& text, bool bold)
{
    float widest = 0;
    float line = 0;
    for (const QChar ch : text) {
        if (ch == u'\n') {
            widest = std::max(widest, line);
            line = 0;
        } else {
            line += characterWidth(ch.unicode());
        }
    }
    widest = std::max(widest, line);
    return bold ? widest * 1.1f : widest;
}

/// A spreadsheet reads "_xHHHH_" in a text as the character with that code; the underscore of
/// such a run is written as its own code, "_x005F_", so the cell shows what was typed.
QByteArray cellText(const QString& text)
{
    static const QRegularExpression characterCode(QStringLiteral("_(?=x[0-9A-Fa-f]{4}_)"));
    if (!text.contains(QLatin1String("_x")))
        return text.toUtf8();
    QString escaped = text;
    escaped.replace(characterCode, QStringLiteral("_x005F_"));
    return escaped.toUtf8();
}

QString writeWorkbookFile(const std::vector<Sheet>& sheets, const QString& path)
{
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;  // rows go out in order; keeps big exports small
    const QByteArray fileName = QFile::encodeName(path);
    lxw_workbook* workbook = workbook_new_opt(fileName.constData(), &options);
    if (!workbook)
        return QStringLiteral("недостаточно памяти");

    lxw_format* formats[4] = {nullptr, workbook_add_format(workbook),
                              workbook_add_format(workbook), workbook_add_format(workbook)};
    format_set_bold(formats[1]);
    format_set_num_format(formats[2], "@");
    format_set_bold(formats[3]);
    format_set_num_format(formats[3], "@");

    lxw_error failure = LXW_NO_ERROR;
    auto keep = [&failure](lxw_error e) {
        if (failure == LXW_NO_ERROR)
            failure = e;
    };
    for (const Sheet& sheet : sheets) {
        lxw_worksheet* worksheet = workbook_add_worksheet(workbook, sheet.name.toUtf8().constData());
        for (size_t c = 0; c < sheet.columns.size(); ++c) {
            if (sheet.columns[c].width > 0)
                keep(worksheet_set_column(worksheet, lxw_col_t(c), lxw_col_t(c),
                                          sheet.columns[c].width, nullptr));
        }
        for (size_t r = 0; r < sheet.rows.size(); ++r) {
            const auto& row = sheet.rows[r];
            for (size_t c = 0; c < row.size(); ++c) {
                const Cell& cell = row[c];
                lxw_format* format = formats[(cell.bold ? 1 : 0) | (cell.textFormat ? 2 : 0)];
                switch (cell.content) {
                case Content::Number:
                    keep(worksheet_write_number(worksheet, lxw_row_t(r), lxw_col_t(c),
                                                cell.number, format));
                    break;
                case Content::Text:
                    keep(worksheet_write_string(worksheet, lxw_row_t(r), lxw_col_t(c),
                                                cellText(cell.text).constData(), format));
                    break;
                case Content::None:
                    if (format)
                        keep(worksheet_write_blank(worksheet, lxw_row_t(r), lxw_col_t(c), format));
                    break;
                }
            }
        }
    }
    keep(workbook_close(workbook));
    return failure == LXW_NO_ERROR ? QString() : QString::fromUtf8(lxw_strerror(failure));
}

/// Writes the workbook in place of the file at path, which keeps what it held unless the whole
/// workbook was written; the reason when it was not.
QString writeReplacing(const std::vector<Sheet>& sheets, const QString& path)
{
    ReplacingFile file(path);
    if (!file.open())
        return file.errorString();
    const QString error = writeWorkbookFile(sheets, file.temporaryPath());
    if (!error.isEmpty())
        return error;
    return file.commit() ? QString() : file.errorString();
}

}  // namespace

struct ExcelApp::Workbook {
    QString sourceFile;  // set for a workbook opened from an existing file
    std::vector<Sheet> sheets;
    bool shown = false;
    bool changedSinceShown = false;
};

bool DesktopSpreadsheetOpener::open(const QString& filePath)
{
    // The desktop's opener starts even when no program takes the file, and then fails where
    // nobody sees it: ask first, so that the user is told where the workbook lies.
    const auto ask = [](const QStringList& args) {
        QProcess query;
        query.start(QStringLiteral("xdg-mime"), QStringList{QStringLiteral("query")} + args);
        if (!query.waitForFinished(10000) || query.exitStatus() != QProcess::NormalExit || query.exitCode() != 0)
            return QString();
        return QString::fromUtf8(query.readAllStandardOutput()).trimmed();
    };
    const QString type = ask({QStringLiteral("filetype"), filePath});
    if (type.isEmpty() || ask({QStringLiteral("default"), type}).isEmpty())
        return false;
    return QProcess::startDetached(QStringLiteral("xdg-open"), {filePath});
}

ExcelApp::ExcelApp(Prompts& prompts, SpreadsheetOpener& opener, QString outputFolder)
    : prompts_(prompts), opener_(&opener), folder_(std::move(outputFolder))
{
}

ExcelApp::ExcelApp(Prompts& prompts) : prompts_(prompts) {}

ExcelApp::~ExcelApp() = default;

QString ExcelApp::defaultFolder()
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty() && QDir().mkpath(documents))
        return documents;
    return QStandardPaths::writableLocation(QStandardPaths::TempLocation);
}

int ExcelApp::OpenExcel(const QString& fileName)
{
    empty_ = false;
    current_ = nullptr;
    openFailed_ = true;
    // Workbooks the user already has on the screen belong to the spreadsheet program now;
    // ones never shown (an export that stopped half-way) wait for the next SetExcelVisible.
    std::erase_if(workbooks_, [](const auto& book) { return book->shown && !book->changedSinceShown; });

    auto book = std::make_unique<Workbook>();
    if (fileName.isEmpty()) {
        if (opener_ && !ensureFolder()) {
            prompts_.error(kOpenFailed, kErrorTitle);
            return -1;
        }
        book->sheets.resize(1);
        book->sheets[0].name = QStringLiteral("Лист1");
    } else {
        const QFileInfo file(fileName);
        if (!file.isFile() || !file.isReadable()) {
            prompts_.error(kOpenFailed, kErrorTitle);
            return -1;
        }
        book->sourceFile = file.absoluteFilePath();
    }
    current_ = book.get();
    workbooks_.push_back(std::move(book));
    openFailed_ = false;
    return 1;
}

int ExcelApp::SetExcelVisible(bool visible)
{
    if (empty_ || !visible || !opener_)
        return 1;
    int result = 1;
    for (const auto& book : workbooks_) {
        if ((!book->shown || book->changedSinceShown) && !handOver(*book))
            result = -1;
    }
    return result;
}

int ExcelApp::SaveAs(const QString& path)
{
    const QFileInfo target(path);
    const auto fail = [&](const QString& reason) {
        prompts_.error(QStringLiteral("Не удалось сохранить книгу Microsoft Excel в файл ")
                           + QDir::toNativeSeparators(target.absoluteFilePath()) + QStringLiteral(":\n") + reason,
                       kErrorTitle);
        return -1;
    };
    if (!current_ || !current_->sourceFile.isEmpty())
        return fail(QStringLiteral("нет книги, в которую пишутся данные"));
    const QString error = writeReplacing(current_->sheets, target.absoluteFilePath());
    if (!error.isEmpty())
        return fail(error);
    current_->shown = true;
    current_->changedSinceShown = false;
    return 1;
}

int ExcelApp::WriteExcelCell(int sheet, int column, int row, const QString& text)
{
    return writeCell(sheet, column, row, text, CellStyle::Keep, false, false, false);
}

int ExcelApp::WriteExcelCell(int sheet, int column, int row, const QString& text, bool asText,
                             bool autoFit, bool bold)
{
    return writeCell(sheet, column, row, text, CellStyle::Set, asText, autoFit, bold);
}

int ExcelApp::writeCell(int sheet, int column, int row, const QString& text, CellStyle style,
                        bool asText, bool autoFit, bool bold)
{
    if (text.isEmpty())
        return 1;
    // The failed open has been told once; an export that writes on is not told again per cell.
    if (openFailed_)
        return -1;
    if (!current_ || sheet < 1
        || (current_->sourceFile.isEmpty() && size_t(sheet) > current_->sheets.size())) {
        prompts_.error(cellError(sheet, column, row), kSheetTitle);
        return -1;
    }
    if (!current_->sourceFile.isEmpty() || row < 1 || row > int(LXW_ROW_MAX) || column < 1
        || column > int(LXW_COL_MAX)) {
        prompts_.error(cellError(sheet, column, row), kCellTitle);
        return -1;
    }

    Sheet& target = current_->sheets[size_t(sheet - 1)];
    if (target.rows.size() < size_t(row))
        target.rows.resize(size_t(row));
    auto& cells = target.rows[size_t(row - 1)];
    if (cells.size() < size_t(column))
        cells.resize(size_t(column));
    Cell& cell = cells[size_t(column - 1)];
    current_->changedSinceShown = true;

    if (style == CellStyle::Set && asText)
        cell.textFormat = true;
    if (text.size() > kMaxTextLength) {
        prompts_.error(cellError(sheet, column, row), kCellTitle);
        return -1;
    }
    // Longer numbers would lose their last digits in a cell: they stay text, as written.
    const std::optional<double> number = cell.textFormat ? std::nullopt : formats::parseNumber(text);
    if (number) {
        cell.content = Content::Number;
        cell.number = *number;
        cell.text.clear();
    } else {
        cell.content = Content::Text;
        cell.text = text;
    }
    if (style == CellStyle::Set)
        cell.bold = bold;

    if (target.columns.size() < size_t(column))
        target.columns.resize(size_t(column));
    Column& col = target.columns[size_t(column - 1)];
    const float previous = cell.width;
    cell.width = contentWidth(text, cell.bold);
    if (cell.width >= col.contentWidth) {
        col.contentWidth = cell.width;
        col.contentStale = false;
    } else if (previous >= col.contentWidth) {
        col.contentStale = true;
    }

    if (autoFit) {
        if (col.contentStale) {
            col.contentWidth = 0;
            for (const auto& r : target.rows) {
                if (r.size() >= size_t(column))
                    col.contentWidth = std::max(col.contentWidth, r[size_t(column - 1)].width);
            }
            col.contentStale = false;
        }
        col.width = std::min(kMaxColumnWidth, double(col.contentWidth + kColumnPadding));
    }
    return 1;
}

bool ExcelApp::ensureFolder() const
{
    if (!QDir().mkpath(folder_))
        return false;
    const QFileInfo folder(folder_);
    return folder.isDir() && folder.isWritable();
}

QString ExcelApp::reserveFileName(QString* error) const
{
    const QDir folder(folder_);
    for (int n = 1; n < 100000; ++n) {
        const QString path = folder.filePath(QStringLiteral("Книга%1.xlsx").arg(n));
        QFile file(path);
        // Creating the file atomically claims the name: an existing file is never touched.
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return path;
        if (!file.exists()) {
            *error = file.errorString();
            return {};
        }
    }
    *error = QStringLiteral("нет свободного имени файла");
    return {};
}

bool ExcelApp::handOver(Workbook& book)
{
    QString path = book.sourceFile;
    if (path.isEmpty()) {
        QString error;
        path = reserveFileName(&error);
        if (!path.isEmpty()) {
            error = writeReplacing(book.sheets, path);
            if (!error.isEmpty())
                QFile::remove(path);
        }
        if (!error.isEmpty()) {
            prompts_.error(QStringLiteral("Не удалось сохранить книгу Microsoft Excel в папку ")
                               + QDir::toNativeSeparators(folder_) + QStringLiteral(":\n") + error,
                           kErrorTitle);
            return false;
        }
    }
    book.shown = true;
    book.changedSinceShown = false;
    if (!opener_->open(path)) {
        // The workbook is there all the same: the user is told where to find it.
        prompts_.error(book.sourceFile.isEmpty() ? kNoApplication + QStringLiteral("\nКнига сохранена в файле:\n")
                                                       + QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath())
                                                 : kNoApplication,
                       kErrorTitle);
        return false;
    }
    return true;
}
