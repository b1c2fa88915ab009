#pragma once
#include "tests/support/recording_opener.h"
#include "tests/support/workbook_reader.h"

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
