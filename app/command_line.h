#pragma once
#include "data/version_check.h"

#include <QStringList>

class QTextStream;

/// Exit codes of a run from the command line.
namespace command_line_exit {
inline constexpr int kOk = 0;
inline constexpr int kBadArguments = 1;   ///< a missing, unknown or malformed argument
inline constexpr int kRefused = 2;        ///< a wrong access code, or a role that may not run it
inline constexpr int kOutdated = 3;       ///< a newer build has already run against the database
inline constexpr int kDatabaseError = 4;  ///< the server cannot be reached, refused a statement or took too long
inline constexpr int kOutputError = 5;    ///< the file cannot be written
inline constexpr int kInconsistent = 6;   ///< the month's timesheet differs from its entries (check, closing)
inline constexpr int kOldSchema = 7;      ///< the database lacks changes of the schema this build needs (--upgrade-database)
} // namespace command_line_exit

/// Whether the command line (the raw arguments, without the program name) is a run without
/// windows: it holds an argument starting with "--".
bool isCommandLineRun(const QStringList& args);
/// The personal login the windows' arguments name ("--user NAME"), taken out of them; empty
/// when they name none.
QString personalUser(QStringList& args);

struct CommandLineLimits {
    /// The longest a statement may run before the server cancels it (a held lock included).
    int statementTimeoutMs = 10 * 60 * 1000;
};

/// Writes one report to a PDF, or one spreadsheet to an .xlsx file, without showing a window:
///   DATABASE SERVER --code CODE (--report NAME ... --pdf FILE | --export NAME ... --xlsx FILE)
/// The arguments are the program's own, unparsed by the toolkit; a bare "--help" alone prints
/// the usage. The access code's role limits apply as in the window that makes the report or
/// sheet, and so does the version check of the login. The file is written beside its target
/// and takes its name only when complete. Messages go to err; returns command_line_exit's codes.
int runCommandLine(const QStringList& args, const BuildStamp& stamp, QTextStream& err,
                   const CommandLineLimits& limits = {});
/// The same, and the month's runs without a file:
///   DATABASE SERVER --code CODE (--check | --close-month | --reopen-month --reason TEXT) --month M --year Y
/// whose results (the differences found, the month closed or opened) go to out, one line each.
int runCommandLine(const QStringList& args, const BuildStamp& stamp, QTextStream& out, QTextStream& err,
                   const CommandLineLimits& limits = {});
