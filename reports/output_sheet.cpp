#include "reports/output_sheet.h"
#include "data/dataset.h"
#include "data/formats.h"
#include "export/excel_export.h"
#include "reports/report_window.h"

#include <QScopeGuard>
#include <cmath>

const QString kXlsRep = QStringLiteral(
    "select sum(smena.kol_vo-smena.brak)::numeric as kolvo, vid_oper.vid,\n"
    "izdel.nom, oper.naimen, color,izdel.massa*sum(smena.kol_vo-smena.brak) as mass \n"
    "from accounts_dep.smena,accounts_dep.izdel,accounts_dep.vid_oper, accounts_dep.oper where izdel.id=smena.i_id and vid_oper.id=oper.vid\n"
    "and oper.id=smena.o_id and smena.data<:data2 and smena.data>=:data1 \n"
    "group by izdel.nom,color, oper.naimen, vid_oper.vid, izdel.massa order by izdel.nom");

QString outputColourText(int color)
{
    if (color == 1) return QStringLiteral(" (грунт)");
    if (color > 1) return QStringLiteral(" (цвет: ") + QString::number(color) + QLatin1Char(')');
    return {};
}

int writeOutputSheet(Dataset& XLS_Rep, const ReportRequest& request, ExcelApp& excel,
                     const std::function<void(int, int)>& progress)
{
    XLS_Rep.close();
    XLS_Rep.setParam(QStringLiteral("data1"), request.from);
    XLS_Rep.setParam(QStringLiteral("data2"), request.to);
    setProductKindFilter(XLS_Rep, request.productKind);
    XLS_Rep.open();
    const auto closeQuery = qScopeGuard([&XLS_Rep] { XLS_Rep.close(); });
    if (excel.OpenExcel(QString()) == -1) return -1;

    const int total = XLS_Rep.recordCount();
    if (progress) progress(0, total);
    const QStringList headings = {QStringLiteral("Наименование"), QStringLiteral("Операция"),
                                  QStringLiteral("Вид продукции"), QStringLiteral("Коробки"), QStringLiteral("Кол-во")};
    for (int c = 0; c < headings.size(); ++c) excel.WriteExcelCell(1, c + 1, 1, headings.at(c));
    int row = 2;
    for (XLS_Rep.first(); !XLS_Rep.eof(); XLS_Rep.next(), ++row) {
        excel.WriteExcelCell(1, 1, row, XLS_Rep.asString(QStringLiteral("nom")));
        excel.WriteExcelCell(1, 2, row, XLS_Rep.asString(QStringLiteral("vid")) + outputColourText(XLS_Rep.asInt(QStringLiteral("color"))));
        excel.WriteExcelCell(1, 3, row, XLS_Rep.asInt(QStringLiteral("naimen")) == 0 ? QStringLiteral("Готовая продукция")
                                                                                     : QStringLiteral("Заготовки"));
        excel.WriteExcelCell(1, 4, row, formats::general(XLS_Rep.asDouble(QStringLiteral("mass"))));
        excel.WriteExcelCell(1, 5, row, QString::number(std::llround(XLS_Rep.asDouble(QStringLiteral("kolvo")))));
        if (progress) progress(row - 1, total);
    }
    return 1;
}
