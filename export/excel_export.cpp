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
#include <QTemporaryDir>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include <xlsxwriter.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <map>
#include <optional>

namespace {

const QString kErrorTitle = QStringLiteral("Ошибка");
const QString kOpenFailed = QStringLiteral("Ошибка открытия файла Microsoft Excel.");
const QString kNoApplication = QStringLiteral("Невозможно открыть Microsoft Excel.");
const QString kSheetTitle = QStringLiteral("Ошибочный номер листа Microsoft Excel");
const QString kCellTitle = QStringLiteral("Ошибка Microsoft Excel");

constexpr qsizetype kMaxTextLength = 32767;  // the longest text a spreadsheet cell holds
constexpr double kMaxColumnWidth = 255;
constexpr float kColumnPadding = 0.75f;
constexpr float kFilterButtonWidth = 2.3f;  // the drop-down at the right of a filter header

// How a date-time cell and a date cell show: formats::dateTime and formats::date in the
// spreadsheet's terms.
const QByteArray kDateTimeFormat = QByteArrayLiteral("dd.mm.yyyy hh:mm:ss");
const QByteArray kDateFormat = QByteArrayLiteral("dd.mm.yyyy");

enum class Content : quint8 { None, Text, Number, DateTime, Date };

struct Cell {
    QString text;
    double number = 0;  // a date-time's as the spreadsheet counts days
    float width = 0;  // of the content, in digit widths of the default font
    Content content = Content::None;
    bool textFormat = false;
    bool bold = false;
};

struct Column {
    float contentWidth = 0;  // the widest cell; may be too wide while stale
    bool contentStale = false;
    double width = 0;        // 0 keeps the default width
    QByteArray numberFormat; // empty: General
    int decimals = -1;       // of a format of fixed decimals ("0", "0.00"), else -1
};

struct AutoFilter {
    int firstColumn, headerRow, lastColumn, lastRow;  // 1-based
};

struct Sheet {
    QString name;
    std::vector<std::vector<Cell>> rows;
    std::vector<Column> columns;
    int frozenRows = 0;
    std::optional<AutoFilter> filter;
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

/// The decimals of a format that shows every number with a fixed count of them ("0", "0.00");
/// -1 for any other format.
int fixedDecimals(const QString& format)
{
    static const QRegularExpression fixed(QStringLiteral("^0(?:\\.(0+))?$"));
    const QRegularExpressionMatch match = fixed.match(format);
    return match.hasMatch() ? int(match.capturedLength(1)) : -1;
}

/// The width of a number as a column's format shows it. Every digit is one digit wide, so the
/// count of them is enough; a format of no fixed decimals shows it as the general format does.
float numberWidth(double number, const Column& column, bool bold)
{
    if (column.decimals < 0)
        return contentWidth(QString::number(number, 'g', 15), bold);
    const double scale = std::pow(10.0, column.decimals);
    const double whole = std::floor(std::round(std::abs(number) * scale) / scale);
    const int digits = whole < 10 ? 1 : std::min(308, int(std::floor(std::log10(whole))) + 1);
    float width = float(digits);
    if (column.decimals > 0)
        width += kAsciiWidths[u'.'] + float(column.decimals);
    if (number < 0)
        width += kAsciiWidths[u'-'];
    return bold ? width * 1.1f : width;
}

/// Whether XML 1.0 lets a text hold the character: not a control character other than tab,
/// line feed and carriage return, not U+FFFE or U+FFFF (halves of surrogate pairs are looked at
/// by the caller).
constexpr bool allowedInXml(char16_t c)
{
    return c >= 0x20 ? c != 0xFFFE && c != 0xFFFF : c == u'\t' || c == u'\n' || c == u'\r';
}

/// Every text of a workbook as its XML is written, in UTF-8. A character XML forbids would
/// leave the sheet unreadable from that cell on (a spreadsheet then shows the rows above it and
/// nothing more), and half of a surrogate pair would reach UTF-8 as "?": each becomes U+FFFD, so
/// that every row stays and the reader sees where a character could not be kept. Names and
/// reasons come from the enterprise's tables, which other systems write.
QByteArray xmlText(const QString& text)
{
    QString kept = text;  // shares the text's characters until one is replaced
    for (qsizetype i = 0; i < kept.size(); ++i) {
        const QChar c = kept.at(i);
        if (c.isHighSurrogate() && i + 1 < kept.size() && kept.at(i + 1).isLowSurrogate())
            ++i;
        else if (c.isSurrogate() || !allowedInXml(c.unicode()))
            kept[i] = QChar::ReplacementCharacter;
    }
    return kept.toUtf8();
}

/// A spreadsheet reads "_xHHHH_" in a text as the character with that code; the underscore of
/// such a run is written as its own code, "_x005F_", so the cell shows what was typed.
QByteArray cellText(const QString& text)
{
    static const QRegularExpression characterCode(QStringLiteral("_(?=x[0-9A-Fa-f]{4}_)"));
    if (!text.contains(QLatin1String("_x")))
        return xmlText(text);
    QString escaped = text;
    escaped.replace(characterCode, QStringLiteral("_x005F_"));
    return xmlText(escaped);
}

QString writeWorkbookFile(const std::vector<Sheet>& sheets, const QString& path)
{
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;  // rows go out in order; keeps big exports small
    const QByteArray fileName = QFile::encodeName(path);
    lxw_workbook* workbook = workbook_new_opt(fileName.constData(), &options);
    if (!workbook)
        return QStringLiteral("недостаточно памяти");

    // One format for each look a cell can have: bold or not in a number format.
    std::map<std::pair<QByteArray, bool>, lxw_format*> looks;
    const auto look = [&](const QByteArray& numberFormat, bool bold) -> lxw_format* {
        if (numberFormat.isEmpty() && !bold)
            return nullptr;
        lxw_format*& format = looks[{numberFormat, bold}];
        if (!format) {
            format = workbook_add_format(workbook);
            if (bold)
                format_set_bold(format);
            if (!numberFormat.isEmpty())
                format_set_num_format(format, numberFormat.constData());
        }
        return format;
    };
    const QByteArray textFormat = QByteArrayLiteral("@");
    const std::array<lxw_format*, 2> textLooks = {look(textFormat, false), look(textFormat, true)};

    lxw_error failure = LXW_NO_ERROR;
    auto keep = [&failure](lxw_error e) {
        if (failure == LXW_NO_ERROR)
            failure = e;
    };
    for (const Sheet& sheet : sheets) {
        lxw_worksheet* worksheet = workbook_add_worksheet(workbook, xmlText(sheet.name).constData());
        std::vector<std::array<lxw_format*, 2>> columnLooks(sheet.columns.size());
        for (size_t c = 0; c < sheet.columns.size(); ++c) {
            const Column& column = sheet.columns[c];
            columnLooks[c] = {look(column.numberFormat, false), look(column.numberFormat, true)};
            if (column.width > 0 || columnLooks[c][0])
                keep(worksheet_set_column(worksheet, lxw_col_t(c), lxw_col_t(c),
                                          column.width > 0 ? column.width : LXW_DEF_COL_WIDTH,
                                          columnLooks[c][0]));
        }
        if (sheet.frozenRows > 0)
            worksheet_freeze_panes(worksheet, lxw_row_t(sheet.frozenRows), 0);
        if (sheet.filter)
            keep(worksheet_autofilter(worksheet, lxw_row_t(sheet.filter->headerRow - 1),
                                      lxw_col_t(sheet.filter->firstColumn - 1),
                                      lxw_row_t(sheet.filter->lastRow - 1),
                                      lxw_col_t(sheet.filter->lastColumn - 1)));
        for (size_t r = 0; r < sheet.rows.size(); ++r) {
            const auto& row = sheet.rows[r];
            for (size_t c = 0; c < row.size(); ++c) {
                const Cell& cell = row[c];
                lxw_format* format = cell.content == Content::DateTime ? look(kDateTimeFormat, cell.bold)
                                     : cell.content == Content::Date   ? look(kDateFormat, cell.bold)
                                     : cell.textFormat                 ? textLooks[cell.bold]
                                     : c < columnLooks.size()          ? columnLooks[c][cell.bold]
                                                                       : look(QByteArray(), cell.bold);
                switch (cell.content) {
                case Content::Number:
                case Content::DateTime:
                case Content::Date:
                    keep(worksheet_write_number(worksheet, lxw_row_t(r), lxw_col_t(c),
                                                cell.number, format));
                    break;
                case Content::Text:
                    keep(worksheet_write_string(worksheet, lxw_row_t(r), lxw_col_t(c),
                                                cellText(cell.text).constData(), format));
                    break;
                case Content::None:
                    if (cell.bold || cell.textFormat)
                        keep(worksheet_write_blank(worksheet, lxw_row_t(r), lxw_col_t(c), format));
                    break;
                }
            }
        }
    }
    // The library names its own step that failed; the system's cause (a full disk) is in errno.
    errno = 0;
    keep(workbook_close(workbook));
    const int cause = errno;
    if (failure == LXW_NO_ERROR)
        return QString();
    const QString text = QString::fromUtf8(lxw_strerror(failure));
    return cause == 0 ? text : text + QStringLiteral(" (") + QString::fromLocal8Bit(std::strerror(cause)) + QLatin1Char(')');
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

/// The cell at column and row (1-based), the sheet grown to hold it.
Cell& cellOf(Sheet& sheet, int column, int row)
{
    if (sheet.rows.size() < size_t(row))
        sheet.rows.resize(size_t(row));
    auto& cells = sheet.rows[size_t(row - 1)];
    if (cells.size() < size_t(column))
        cells.resize(size_t(column));
    if (sheet.columns.size() < size_t(column))
        sheet.columns.resize(size_t(column));
    return cells[size_t(column - 1)];
}

/// Gives a cell of the column the width of what it now shows, keeping the column's widest
/// content known; with autoFit the column takes the width of that content.
void setWidth(Sheet& sheet, int column, Cell& cell, float width, bool autoFit)
{
    Column& col = sheet.columns[size_t(column - 1)];
    const float previous = cell.width;
    cell.width = width;
    if (cell.width >= col.contentWidth) {
        col.contentWidth = cell.width;
        col.contentStale = false;
    } else if (previous >= col.contentWidth) {
        col.contentStale = true;
    }

    if (autoFit) {
        if (col.contentStale) {
            col.contentWidth = 0;
            for (const auto& r : sheet.rows) {
                if (r.size() >= size_t(column))
                    col.contentWidth = std::max(col.contentWidth, r[size_t(column - 1)].width);
            }
            col.contentStale = false;
        }
        col.width = std::min(kMaxColumnWidth, double(col.contentWidth + kColumnPadding));
    }
}

}  // namespace

/// A table written into its workbook's file a row at a time (see OpenExcelRows).
struct ExcelApp::RowTable {
    QTemporaryDir dir;
    QString path;
    lxw_workbook* book = nullptr;
    lxw_worksheet* sheet = nullptr;
    lxw_format* bold = nullptr;
    lxw_format* text = nullptr;
    lxw_format* moment = nullptr;
    QString name;
    QStringList header;
    int rowsPerSheet = ExcelApp::kSheetRows;
    int sheets = 0;          // begun so far; the current one is the last
    int row = 0;             // rows of the current sheet written, its header's included
    std::vector<float> widest;
    qint64 rowsTaken = 0;    // rows handed to the writer
    bool failed = false;     // told, or to be told by the caller
    bool closed = false;

    // The cells go into the file on a thread of their own while the caller reads the next rows:
    // the rows wait in a short queue, and the writer's failure (a file that cannot be written)
    // waits for the caller to tell it.
    std::thread writer;
    std::mutex lock;
    std::condition_variable changed;
    std::deque<QVariantList> queue;
    bool ended = false;
    bool writerFailed = false;
    int failedSheet = 0, failedColumn = 0, failedRow = 0;
    static constexpr size_t kQueued = 4096;

    ~RowTable()
    {
        stop();
        if (book && !closed)
            workbook_close(book);
    }

    void start()
    {
        writer = std::thread([this] { writeRows(); });
    }

    /// Waits for the rows handed over to be written.
    void stop()
    {
        if (!writer.joinable())
            return;
        {
            std::lock_guard<std::mutex> guard(lock);
            ended = true;
        }
        changed.notify_all();
        writer.join();
    }

    void hand(QVariantList&& values)
    {
        std::unique_lock<std::mutex> guard(lock);
        changed.wait(guard, [this] { return queue.size() < kQueued || writerFailed; });
        queue.push_back(std::move(values));
        guard.unlock();
        changed.notify_all();
    }

    bool failedWriting()
    {
        std::lock_guard<std::mutex> guard(lock);
        return writerFailed;
    }

    void writeRows()
    {
        for (;;) {
            std::unique_lock<std::mutex> guard(lock);
            changed.wait(guard, [this] { return !queue.empty() || ended; });
            if (queue.empty())
                return;
            QVariantList values = std::move(queue.front());
            queue.pop_front();
            const bool skip = writerFailed;
            guard.unlock();
            changed.notify_all();
            if (skip)
                continue;
            int column = 0;
            if (writeRow(values, &column) != LXW_NO_ERROR) {
                std::lock_guard<std::mutex> failing(lock);
                writerFailed = true;
                failedSheet = sheets;
                failedColumn = column;
                failedRow = row + 1;
            }
        }
    }

    /// The next row into the current sheet, or the next sheet when this one is full.
    lxw_error writeRow(const QVariantList& values, int* failedAt)
    {
        *failedAt = 1;
        if (row >= rowsPerSheet) {
            endSheet();
            if (const lxw_error e = beginSheet())
                return e;
        }
        const auto r = lxw_row_t(row);
        for (qsizetype c = 0; c < values.size(); ++c) {
            const QVariant& v = values.at(c);
            const auto column = lxw_col_t(c);
            lxw_error e = LXW_NO_ERROR;
            float width = 0;
            const bool measured = size_t(c) < widest.size() && widest[size_t(c)] < kMaxColumnWidth;
            if (v.isNull()) {
                continue;
            } else if (v.typeId() == QMetaType::QDateTime) {
                const QDateTime moment = v.toDateTime();
                if (!moment.isValid())
                    continue;
                const QDate day = moment.date();
                const QString shown = formats::dateTime(moment);
                if (day.year() < 1900 || day.year() > 9999) {
                    e = worksheet_write_string(sheet, r, column, cellText(shown).constData(), text);
                } else {
                    const QTime time = moment.time();
                    lxw_datetime parts{day.year(), day.month(), day.day(), time.hour(), time.minute(), double(time.second())};
                    e = worksheet_write_number(sheet, r, column, lxw_datetime_to_excel_datetime(&parts), this->moment);
                }
                if (measured)
                    width = contentWidth(shown, false);
            } else if (isNumber(v)) {
                e = worksheet_write_number(sheet, r, column, v.toDouble(), nullptr);
                if (measured)
                    width = contentWidth(formats::general(v), false);
            } else {
                const QString value = v.toString();
                if (value.isEmpty())
                    continue;
                e = worksheet_write_string(sheet, r, column, cellText(value).constData(), text);
                // A column as wide as a column gets needs no more measuring.
                if (measured)
                    width = contentWidth(value, false);
            }
            if (e != LXW_NO_ERROR) {
                *failedAt = int(c + 1);
                return e;
            }
            if (measured)
                widest[size_t(c)] = std::max(widest[size_t(c)], width);
        }
        ++row;
        return LXW_NO_ERROR;
    }

    static bool isNumber(const QVariant& v)
    {
        const int type = v.typeId();
        return type == QMetaType::Int || type == QMetaType::LongLong || type == QMetaType::UInt || type == QMetaType::ULongLong
               || type == QMetaType::Double;
    }

    /// A new sheet with the header on its first row.
    lxw_error beginSheet()
    {
        ++sheets;
        const QString title = sheets == 1 ? name : QStringLiteral("%1 (%2)").arg(name).arg(sheets);
        sheet = workbook_add_worksheet(book, xmlText(title).constData());
        if (!sheet)
            return LXW_ERROR_MEMORY_MALLOC_FAILED;
        row = 1;
        widest.assign(size_t(header.size()), 0);
        for (qsizetype c = 0; c < header.size(); ++c) {
            // The filter's button sits beside the title.
            widest[size_t(c)] = contentWidth(header.at(c), true) + kFilterButtonWidth;
            if (const lxw_error e = worksheet_write_string(sheet, 0, lxw_col_t(c), cellText(header.at(c)).constData(), bold))
                return e;
        }
        return LXW_NO_ERROR;
    }

    /// The current sheet's header row frozen, its filter over its rows, its columns fitted.
    void endSheet()
    {
        worksheet_freeze_panes(sheet, 1, 0);
        const auto last = lxw_col_t(std::max<qsizetype>(header.size(), 1) - 1);
        worksheet_autofilter(sheet, 0, 0, lxw_row_t(row - 1), last);
        for (size_t c = 0; c < widest.size(); ++c)
            worksheet_set_column(sheet, lxw_col_t(c), lxw_col_t(c), std::min(kMaxColumnWidth, double(widest[c] + kColumnPadding)),
                                 nullptr);
    }
};

struct ExcelApp::Workbook {
    QString sourceFile;  // set for a workbook opened from an existing file
    std::vector<Sheet> sheets;
    std::unique_ptr<RowTable> rows;  // a table written a row at a time, its file ready once closed
    bool shown = false;
    bool changedSinceShown = false;
};

namespace {

/// Copies a finished file into an open device; the reason when it cannot.
QString copyFile(const QString& from, QIODevice& to)
{
    QFile source(from);
    if (!source.open(QIODevice::ReadOnly))
        return source.errorString();
    QByteArray chunk;
    while (!(chunk = source.read(1 << 20)).isEmpty()) {
        if (to.write(chunk) != chunk.size())
            return to.errorString();
    }
    return source.error() == QFileDevice::NoError ? QString() : source.errorString();
}

}  // namespace

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
    if (!type.isEmpty() && !ask({QStringLiteral("default"), type}).isEmpty())
        return QProcess::startDetached(QStringLiteral("xdg-open"), {filePath});
    QStringList command = QProcess::splitCommand(fallback_);
    if (command.isEmpty())
        return false;
    const QString program = command.takeFirst();
    return QProcess::startDetached(program, command << filePath);
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
    if (!current_ || !current_->sourceFile.isEmpty() || (current_->rows && !current_->rows->closed))
        return fail(QStringLiteral("нет книги, в которую пишутся данные"));
    QString error;
    if (current_->rows) {
        ReplacingFile file(target.absoluteFilePath());
        error = file.open() ? copyFile(current_->rows->path, file.device()) : file.errorString();
        if (error.isEmpty() && !file.commit())
            error = file.errorString();
    } else {
        error = writeReplacing(current_->sheets, target.absoluteFilePath());
    }
    if (!error.isEmpty())
        return fail(error);
    current_->shown = true;
    current_->changedSinceShown = false;
    return 1;
}

int ExcelApp::OpenExcelRows(const QString& sheet, const QStringList& header, int rowsPerSheet)
{
    empty_ = false;
    current_ = nullptr;
    openFailed_ = true;
    std::erase_if(workbooks_, [](const auto& book) { return book->shown && !book->changedSinceShown; });
    if (opener_ && !ensureFolder()) {
        prompts_.error(kOpenFailed, kErrorTitle);
        return -1;
    }
    auto table = std::make_unique<RowTable>();
    if (!table->dir.isValid()) {
        prompts_.error(kOpenFailed, kErrorTitle);
        return -1;
    }
    table->path = table->dir.filePath(QStringLiteral("table.xlsx"));
    table->name = sheet;
    table->header = header;
    table->rowsPerSheet = std::clamp(rowsPerSheet, 2, kSheetRows);
    // Rows go out in order, each row's cells straight to the file: the table takes the memory
    // of a row, however many rows it has. The library's own files lie beside the workbook's.
    const QByteArray fileName = QFile::encodeName(table->path);
    const QByteArray tmpdir = QFile::encodeName(table->dir.path());
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = const_cast<char*>(tmpdir.constData());
    table->book = workbook_new_opt(fileName.constData(), &options);
    if (!table->book) {
        prompts_.error(kOpenFailed, kErrorTitle);
        return -1;
    }
    table->bold = workbook_add_format(table->book);
    format_set_bold(table->bold);
    table->text = workbook_add_format(table->book);
    format_set_num_format(table->text, "@");
    table->moment = workbook_add_format(table->book);
    format_set_num_format(table->moment, kDateTimeFormat.constData());
    if (table->beginSheet() != LXW_NO_ERROR) {
        prompts_.error(kOpenFailed, kErrorTitle);
        return -1;
    }
    table->start();
    auto book = std::make_unique<Workbook>();
    book->rows = std::move(table);
    book->changedSinceShown = true;
    current_ = book.get();
    workbooks_.push_back(std::move(book));
    openFailed_ = false;
    return 1;
}

int ExcelApp::WriteExcelRow(const QVariantList& values)
{
    if (!current_ || !current_->rows || current_->rows->closed) {
        prompts_.error(cellError(1, 1, 1), kSheetTitle);
        return -1;
    }
    RowTable& t = *current_->rows;
    if (t.failed)
        return -1;
    if (t.failedWriting()) {
        t.failed = true;
        prompts_.error(cellError(t.failedSheet, t.failedColumn, t.failedRow), kCellTitle);
        return -1;
    }
    // What no cell can hold is refused here, for the row it is in.
    for (qsizetype c = 0; c < values.size(); ++c) {
        const QVariant& v = values.at(c);
        if (v.typeId() == QMetaType::QString && v.toString().size() > kMaxTextLength) {
            const qint64 perSheet = t.rowsPerSheet - 1;
            t.failed = true;
            prompts_.error(cellError(int(t.rowsTaken / perSheet) + 1, int(c + 1), int(t.rowsTaken % perSheet) + 2), kCellTitle);
            return -1;
        }
    }
    ++t.rowsTaken;
    t.hand(QVariantList(values));
    return 1;
}

int ExcelApp::CloseExcelRows()
{
    if (!current_ || !current_->rows || current_->rows->closed) {
        prompts_.error(cellError(1, 1, 1), kSheetTitle);
        return -1;
    }
    RowTable& t = *current_->rows;
    t.stop();
    if (!t.failed && t.writerFailed) {
        t.failed = true;
        prompts_.error(cellError(t.failedSheet, t.failedColumn, t.failedRow), kCellTitle);
    }
    t.endSheet();
    errno = 0;
    const lxw_error e = workbook_close(t.book);
    const int cause = errno;
    t.closed = true;
    t.book = nullptr;
    if (e != LXW_NO_ERROR) {
        const QString reason = QString::fromUtf8(lxw_strerror(e));
        prompts_.error(QStringLiteral("Не удалось записать книгу Microsoft Excel:\n")
                           + (cause == 0 ? reason : reason + QStringLiteral(" (") + QString::fromLocal8Bit(std::strerror(cause)) + QLatin1Char(')')),
                       kErrorTitle);
        t.failed = true;
    }
    return t.failed ? -1 : 1;
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
    if (!writable(sheet, column, row))
        return -1;

    Sheet& target = current_->sheets[size_t(sheet - 1)];
    Cell& cell = cellOf(target, column, row);
    const Column& col = target.columns[size_t(column - 1)];
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

    setWidth(target, column, cell,
             number && col.decimals >= 0 ? numberWidth(*number, col, cell.bold) : contentWidth(text, cell.bold),
             autoFit);
    return 1;
}

int ExcelApp::WriteExcelDateTime(int sheet, int column, int row, const QDateTime& moment)
{
    return writeMoment(sheet, column, row, moment, true);
}

int ExcelApp::WriteExcelDate(int sheet, int column, int row, const QDate& day)
{
    return writeMoment(sheet, column, row, QDateTime(day, QTime(0, 0)), false);
}

int ExcelApp::writeMoment(int sheet, int column, int row, const QDateTime& moment, bool withTime)
{
    if (!moment.isValid())
        return 1;
    const QDate day = moment.date();
    const QString shown = withTime ? formats::dateTime(moment) : formats::date(day);
    if (day.year() < 1900 || day.year() > 9999)  // the days a spreadsheet counts
        return writeCell(sheet, column, row, shown, CellStyle::Keep, false, false, false);
    if (!writable(sheet, column, row))
        return -1;
    Sheet& target = current_->sheets[size_t(sheet - 1)];
    Cell& cell = cellOf(target, column, row);
    current_->changedSinceShown = true;
    const QTime time = moment.time();
    // Whole seconds, as the windows show the moment: the cell never shows a second more.
    lxw_datetime parts{day.year(), day.month(), day.day(), time.hour(), time.minute(), double(time.second())};
    cell.content = withTime ? Content::DateTime : Content::Date;
    cell.number = lxw_datetime_to_excel_datetime(&parts);
    cell.text.clear();
    setWidth(target, column, cell, contentWidth(shown, cell.bold), false);
    return 1;
}

bool ExcelApp::writable(int sheet, int column, int row)
{
    // The failed open has been told once; an export that writes on is not told again per cell.
    if (openFailed_)
        return false;
    if (!current_ || sheet < 1
        || (current_->sourceFile.isEmpty() && size_t(sheet) > current_->sheets.size())) {
        prompts_.error(cellError(sheet, column, row), kSheetTitle);
        return false;
    }
    if (!current_->sourceFile.isEmpty() || current_->rows || row < 1 || row > int(LXW_ROW_MAX) || column < 1
        || column > int(LXW_COL_MAX)) {
        prompts_.error(cellError(sheet, column, row), kCellTitle);
        return false;
    }
    return true;
}

int ExcelApp::SetExcelNumberFormat(int sheet, int column, const QString& format)
{
    if (!writable(sheet, column, 1))
        return -1;
    Sheet& target = current_->sheets[size_t(sheet - 1)];
    if (target.columns.size() < size_t(column))
        target.columns.resize(size_t(column));
    Column& col = target.columns[size_t(column - 1)];
    col.numberFormat = format == QLatin1String("General") ? QByteArray() : xmlText(format);
    col.decimals = fixedDecimals(format);
    current_->changedSinceShown = true;
    // The numbers already in the column show anew, and so take another width.
    col.contentWidth = 0;
    for (auto& cells : target.rows) {
        if (cells.size() < size_t(column))
            continue;
        Cell& cell = cells[size_t(column - 1)];
        if (cell.content == Content::Number)
            cell.width = numberWidth(cell.number, col, cell.bold);
        col.contentWidth = std::max(col.contentWidth, cell.width);
    }
    col.contentStale = false;
    return 1;
}

int ExcelApp::FreezeExcelRows(int sheet, int rows)
{
    if (!writable(sheet, 1, rows + 1))
        return -1;
    current_->sheets[size_t(sheet - 1)].frozenRows = rows;
    current_->changedSinceShown = true;
    return 1;
}

int ExcelApp::SetExcelAutoFilter(int sheet, int firstColumn, int headerRow, int lastColumn, int lastRow)
{
    if (!writable(sheet, firstColumn, headerRow) || !writable(sheet, lastColumn, lastRow))
        return -1;
    if (lastColumn < firstColumn || lastRow < headerRow) {
        prompts_.error(cellError(sheet, lastColumn, lastRow), kCellTitle);
        return -1;
    }
    current_->sheets[size_t(sheet - 1)].filter = AutoFilter{firstColumn, headerRow, lastColumn, lastRow};
    current_->changedSinceShown = true;
    return 1;
}

int ExcelApp::AutoFitExcelColumns(int sheet)
{
    if (!writable(sheet, 1, 1))
        return -1;
    Sheet& target = current_->sheets[size_t(sheet - 1)];
    std::vector<float> widest(target.columns.size(), 0);
    for (Column& col : target.columns) {
        col.contentWidth = 0;
        col.contentStale = false;
    }
    for (const auto& cells : target.rows) {
        for (size_t c = 0; c < cells.size(); ++c) {
            Column& col = target.columns[c];
            col.contentWidth = std::max(col.contentWidth, cells[c].width);
            widest[c] = std::max(widest[c], cells[c].width);
        }
    }
    if (const std::optional<AutoFilter>& filter = target.filter) {
        const std::vector<Cell>* header =
            target.rows.size() >= size_t(filter->headerRow) ? &target.rows[size_t(filter->headerRow - 1)] : nullptr;
        for (int c = filter->firstColumn - 1; c < filter->lastColumn && size_t(c) < widest.size(); ++c) {
            const float title = header && size_t(c) < header->size() ? (*header)[size_t(c)].width : 0;
            widest[size_t(c)] = std::max(widest[size_t(c)], title + kFilterButtonWidth);
        }
    }
    for (size_t c = 0; c < widest.size(); ++c) {
        if (widest[c] > 0)
            target.columns[c].width = std::min(kMaxColumnWidth, double(widest[c] + kColumnPadding));
    }
    current_->changedSinceShown = true;
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
            if (book.rows) {
                QFile file(path);
                error = book.rows->closed ? (file.open(QIODevice::WriteOnly | QIODevice::Truncate) ? copyFile(book.rows->path, file)
                                                                                                    : file.errorString())
                                          : QStringLiteral("книга не дописана");
            } else {
                error = writeReplacing(book.sheets, path);
            }
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
        // The workbook is there all the same: the user is told where to find it, as a notice
        // rather than an error.
        if (book.sourceFile.isEmpty())
            prompts_.information(kNoApplication + QStringLiteral("\nКнига сохранена в файле:\n")
                                     + QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()),
                                 QStringLiteral("Книга сохранена"));
        else
            prompts_.error(kNoApplication, kErrorTitle);
        return false;
    }
    return true;
}

namespace excel_table {

void setNumberFormat(ExcelApp& excel, int first, int last, const QString& format)
{
    for (int column = first; column <= last; ++column)
        excel.SetExcelNumberFormat(1, column, format);
}

int finish(ExcelApp& excel, int headerRow, int lastColumn, int lastRow)
{
    const int frozen = excel.FreezeExcelRows(1, headerRow);
    const int filtered = excel.SetExcelAutoFilter(1, 1, headerRow, lastColumn, std::max(lastRow, headerRow));
    const int fitted = excel.AutoFitExcelColumns(1);
    return std::min({frozen, filtered, fitted});
}

}  // namespace excel_table
