#pragma once
#include "export/excel_export.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QStringList>
#include <QTemporaryDir>

/// An opener that only records the workbooks handed to the desktop.
class RecordingOpener : public SpreadsheetOpener {
public:
    QStringList opened;
    bool open(const QString& filePath) override
    {
        opened.append(filePath);
        return true;
    }
};

/// A workbook read back by openpyxl: sheet 1's values by row and column (1-based) as text,
/// "" for an empty cell, and the bold cells.
struct Workbook {
    QList<QStringList> rows;
    QStringList bold;         ///< coordinates such as "A1"
    QString at(int row, int column) const
    {
        return row <= rows.size() && column <= rows.at(row - 1).size() ? rows.at(row - 1).at(column - 1) : QString();
    }
    /// Whether a cell holds a number (not text).
    QStringList numericCells;
};

bool readWorkbook(const QString& path, Workbook* book);
