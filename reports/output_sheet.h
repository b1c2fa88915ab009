#pragma once
#include "rules/sheet_rows.h"

#include <QString>
#include <functional>

class Dataset;
class ExcelApp;
struct ReportRequest;

/// Reads the output rows of the request (sheet_rows::output over the hub's query), starts a new
/// workbook and writes the period's output into its sheet 1: the headings on row 1, from row 2
/// a row per record, the table finished by excel_table::finish. progress(written, total) is
/// told before the first record and after each.
/// Returns OpenExcel's -1 (nothing written) when no workbook could be started, otherwise 1;
/// the query is closed again either way. The workbook is not shown: the caller shows or saves it.
int writeOutputSheet(Dataset& XLS_Rep, const ReportRequest& request, ExcelApp& excel,
                     const std::function<void(int written, int total)>& progress = {});
/// The same from rows read before (in the background).
int writeOutputSheet(const QList<sheet_rows::OutputRow>& rows, ExcelApp& excel,
                     const std::function<void(int written, int total)>& progress = {});
