#pragma once
#include <QString>
#include <memory>

class TestDatabase;

/// The small departments the sheet and report suites work out by hand, as statements that
/// fill a database of the reference schema.
namespace sheet_fixtures {

/// The timesheets' month: workers 1, 2, 3 (and 9, who left) with journal entries of March 2024
/// in several shifts (some without hours, one on 29 February and one on 1 April), hour entries
/// of both kinds by day and by night, and stale timesheet rows a rebuild replaces. March 2024
/// begins on a Friday: the 2nd and 3rd are a weekend, the 31st a Sunday.
extern const char* const kTimesheetMonth;

/// Workers known to the enterprise in other ways than by a person row of their own id, with
/// journal entries (rejects among them) and hour entries in March 2024: 40 only by person code;
/// 41 by id a stranger whose code names nobody, by code another row; 42 by code twice.
extern const char* const kWorkersByCode;

/// Makes the server refuse new timesheet rows that meet the condition (an SQL condition on
/// new), until the result goes.
std::shared_ptr<void> refuseTimesheetRows(const TestDatabase& db, const QString& condition);

} // namespace sheet_fixtures

/// The small department the report tests work out by hand: three workers, two nomenclature
/// groups, journal entries of March 2024 (and one on 1 April), hour entries of both kinds by
/// day and by night, and timesheet rows.
void loadReportFixture(const TestDatabase& db);
