#pragma once
#include "export/excel_export.h"

#include <QList>
#include <QString>
#include <QStringList>

class TestDatabase;

/// The small department the report tests work out by hand: three workers, two nomenclature
/// groups, journal entries of March 2024 (and one on 1 April), hour entries of both kinds by
/// day and by night, and timesheet rows.
void loadReportFixture(const TestDatabase& db);

/// The text of a PDF as pdftotext reads it, laid out.
QString pdfText(const QString& path);

/// The first sheet of a workbook as openpyxl reads it: row by row, every cell as text (empty
/// for none; whole numbers without ".0", decimals with a point).
QList<QStringList> readSheet(const QString& path);

/// Takes the workbooks shown on the desktop: records their files.
class RecordingOpener : public SpreadsheetOpener {
public:
    QStringList opened;
    bool open(const QString& filePath) override
    {
        opened << filePath;
        return true;
    }
};
