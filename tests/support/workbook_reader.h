#pragma once
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QStringList>

/// A workbook read back by openpyxl. Values of one sheet (the first, unless another is asked
/// for; "the first sheet" below) by row and column as text: ""
/// for an empty cell, whole numbers without ".0", decimals with a point.
struct Workbook {
    QStringList sheets;        ///< the sheets' names, in order
    QList<QStringList> rows;   ///< the first sheet, row by row
    /// The first sheet's cells that hold a value, a number format or bold type, by coordinate
    /// ("B2"): {"value": as stored, "type": "s"/"n"/…, "shown": the text a number shows in a
    /// format of fixed decimals ("0", "0.00") and a date or date-time in its format
    /// ("15.03.2024", "15.03.2024 10:00:00"), else as in rows, "format": "General"/…,
    /// "bold": bool}.
    QJsonObject cells;
    /// The first sheet's column widths by letter, for the columns given a width of their own.
    QJsonObject widths;
    /// The number formats the first sheet's columns carry for their empty cells, by letter.
    QJsonObject columnFormats;
    QString frozen;       ///< the first cell below and right of the frozen panes ("A3"), or ""
    QString autoFilter;   ///< the range of the first sheet's autofilter ("A2:AG5"), or ""
    QStringList bold;          ///< coordinates of the bold cells that hold a value
    QStringList numericCells;  ///< coordinates of the cells that hold a number (not text)

    /// The text of a cell (1-based), "" outside the sheet.
    QString at(int row, int column) const
    {
        return row >= 1 && column >= 1 && row <= rows.size() && column <= rows.at(row - 1).size()
                   ? rows.at(row - 1).at(column - 1)
                   : QString();
    }
    QJsonObject cell(const QString& coordinate) const { return cells[coordinate].toObject(); }
};

/// The letters of a column (1 "A", 27 "AA").
QString columnLetters(int column);

/// What is wrong with a table of the first sheet laid out as the exports lay theirs out, with its
/// header on headerRow over columns 1 … lastColumn and its last row lastRow: every heading bold,
/// the rows down to the header frozen, a filter over the table, and every column with values as
/// wide as what it shows and not much wider. Empty when nothing is.
QStringList tableFaults(const Workbook& book, int headerRow, int lastColumn, int lastRow);

/// The cells of columns first … last, rows firstRow … lastRow that hold a value but not a
/// number in format.
QStringList notInFormat(const Workbook& book, int first, int last, int firstRow, int lastRow, const QString& format);

/// Reads the workbook at path, its sheet of that index (0 the first) as the first; false (with
/// the reader's complaint on the test log) when it cannot be read.
bool readWorkbook(const QString& path, Workbook* book, int sheet = 0);

/// The first sheet's values, row by row (empty when the workbook cannot be read).
QList<QStringList> readSheet(const QString& path);

/// What a strict XML parser finds wrong in the workbook's parts (its sheets, strings, styles
/// …): each part that is not well-formed, with the parser's complaint and where. Empty when
/// every part is well-formed.
QStringList xmlFaults(const QString& path);

/// The first sheets of the workbooks as the spreadsheet program (LibreOffice, started once for
/// them all) shows them, exported as CSV: rows of cells as shown, by the workbook's path. A
/// workbook the program could not read is missing.
QMap<QString, QList<QStringList>> readWithSpreadsheetProgram(const QStringList& paths);
