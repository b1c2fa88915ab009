#include "reports/output_sheet.h"
#include "data/formats.h"
#include "export/excel_export.h"
#include "rules/sheet_rows.h"

int writeOutputSheet(Dataset& XLS_Rep, const ReportRequest& request, ExcelApp& excel,
                     const std::function<void(int, int)>& progress)
{
    return writeOutputSheet(sheet_rows::output(XLS_Rep, request), excel, progress);
}

int writeOutputSheet(const QList<sheet_rows::OutputRow>& rows, ExcelApp& excel, const std::function<void(int, int)>& progress)
{
    if (excel.OpenExcel(QString()) == -1) return -1;

    const int total = int(rows.size());
    if (progress) progress(0, total);
    const QStringList headings = {QStringLiteral("Наименование"), QStringLiteral("Операция"),
                                  QStringLiteral("Вид продукции"), QStringLiteral("Коробки"), QStringLiteral("Кол-во")};
    for (int c = 0; c < headings.size(); ++c) excel.WriteExcelCell(1, c + 1, 1, headings.at(c), false, false, true);
    int row = 2;
    for (const sheet_rows::OutputRow& r : rows) {
        excel.WriteExcelCell(1, 1, row, r.nom);
        excel.WriteExcelCell(1, 2, row, r.operation);
        excel.WriteExcelCell(1, 3, row, r.productKind);
        excel.WriteExcelCell(1, 4, row, formats::general(r.mass));
        excel.WriteExcelCell(1, 5, row, QString::number(r.quantity));
        if (progress) progress(row - 1, total);
        ++row;
    }
    excel_table::finish(excel, 1, int(headings.size()), row - 1);
    return 1;
}
