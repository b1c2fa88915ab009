#pragma once
#include "tests/support/recording_opener.h"
#include "tests/support/sheet_fixtures.h"
#include "tests/support/workbook_reader.h"

#include <QList>
#include <QString>
#include <QStringList>

class TestDatabase;

/// The text of a PDF as pdftotext reads it, laid out.
QString pdfText(const QString& path);
