#pragma once
#include "export/excel_export.h"

#include <QStringList>

/// Takes the workbooks handed to the desktop: records their files and opens none of them.
class RecordingOpener : public SpreadsheetOpener {
public:
    QStringList opened;
    bool programInstalled = true;   ///< false: as if no spreadsheet program were installed
    bool open(const QString& filePath) override
    {
        opened.append(filePath);
        return programInstalled;
    }
};
