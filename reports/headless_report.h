#pragma once
#include "data/version_check.h"

#include <QStringList>

class QTextStream;

/// Exit codes of a report rendered from the command line.
namespace headless_exit {
inline constexpr int kOk = 0;
inline constexpr int kBadArguments = 1;   ///< a missing, unknown or malformed argument
inline constexpr int kRefused = 2;        ///< a wrong access code, or a role that may not run the report
inline constexpr int kOutdated = 3;       ///< a newer build has already run against the database
inline constexpr int kDatabaseError = 4;  ///< the server cannot be reached, or refused a statement
inline constexpr int kOutputError = 5;    ///< the PDF cannot be written
} // namespace headless_exit

/// Whether the command line (without the program name) asks for a report without windows:
/// it holds an option, an argument starting with "--".
bool isHeadlessReportCall(const QStringList& args);

/// Renders one report to a PDF without showing a window:
///   DATABASE SERVER --code CODE --report NAME
///       (--from YYYY-MM-DD --to YYYY-MM-DD [--kind all|finished|blanks] | --month M --year Y) --pdf FILE
/// NAME is products, workers, workers-detailed, products-detailed or time-timesheet. The access
/// code's role limits apply as in the window that starts the report, and so does the version
/// check of the login. The PDF is written beside FILE and takes its name only when complete.
/// Messages go to err (with "--help", the usage alone); returns one of headless_exit's codes.
int runHeadlessReport(const QStringList& args, const BuildStamp& stamp, QTextStream& err);
