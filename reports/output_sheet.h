#pragma once
#include <QString>
#include <functional>

class Dataset;
class ExcelApp;
struct ReportRequest;

/// The hub's spreadsheet query: the period's good quantity and boxes by product, operation
/// kind, product kind and colour (parameters data1, data2).
extern const QString kXlsRep;

/// The text after the operation kind in the spreadsheet: " (грунт)" for colour 1, " (цвет: n)"
/// for a colour above 1, nothing otherwise.
QString outputColourText(int color);

/// Fills the query from the request (period and product-kind filter), opens it, starts a new
/// workbook and writes the period's output into its sheet 1: the headings on row 1, from row 2
/// a row per record. progress(written, total) is told before the first record and after each.
/// Returns OpenExcel's -1 (nothing written) when no workbook could be started, otherwise 1;
/// the query is closed again either way. The workbook is not shown: the caller shows or saves it.
int writeOutputSheet(Dataset& XLS_Rep, const ReportRequest& request, ExcelApp& excel,
                     const std::function<void(int written, int total)>& progress = {});
