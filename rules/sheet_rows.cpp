#include "rules/sheet_rows.h"
#include "data/dataset.h"
#include "data/formats.h"

#include <QScopeGuard>

namespace sheet_rows {
namespace {

std::optional<qint64> hoursOf(const Dataset& query, const QString& field)
{
    const QVariant v = query.value(field);
    if (v.isNull()) return std::nullopt;
    return Dataset::toLongLong(v);
}

// The statements return numeric, read as its digits: the amount stays exact on its way.
std::optional<Money> amountOf(const Dataset& query, const QString& field)
{
    const QVariant v = query.value(field);
    if (v.isNull()) return std::nullopt;
    return Money::fromValue(v);
}

DayHours daysOf(const Dataset& query, const QString& prefix)
{
    DayHours days;
    for (int d = 1; d <= 31; ++d) days[d - 1] = hoursOf(query, prefix + QString::number(d));
    return days;
}

} // namespace

QList<TimeTimesheetRow> timeTimesheet(const QSqlDatabase& db, int month, int year)
{
    Dataset H_Tabel(db, sheet_statements::kTimeTimesheet);
    sheet_statements::setMonth(H_Tabel, month, year);
    H_Tabel.open();
    QList<TimeTimesheetRow> rows;
    rows.reserve(H_Tabel.recordCount());
    for (H_Tabel.first(); !H_Tabel.eof(); H_Tabel.next()) {
        TimeTimesheetRow row{H_Tabel.asString(QStringLiteral("fio")), daysOf(H_Tabel, QStringLiteral("sd")), 0};
        for (const std::optional<qint64>& day : row.days) row.total += day.value_or(0);
        rows << row;
    }
    return rows;
}

PieceworkRow pieceworkRow(const Dataset& sheet, int mode)
{
    PieceworkRow row;
    row.fio = sheet.asString(QStringLiteral("fio"));
    if (piecework_mode::hasDayNight(mode)) row.night = sheet.asString(QStringLiteral("s_night"));
    row.days = daysOf(sheet, QStringLiteral("d"));
    row.hours = hoursOf(sheet, QStringLiteral("i_time"));
    row.earnings = amountOf(sheet, QStringLiteral("f_price"));
    if (piecework_mode::hasRate(mode)) row.rate = amountOf(sheet, QStringLiteral("average_price"));
    return row;
}

QList<PieceworkRow> pieceworkTimesheet(const QSqlDatabase& db, int mode, int month, int year)
{
    Dataset sheet(db, piecework_mode::statement(mode));
    piecework_mode::setPeriod(sheet, month, year);
    sheet.open();
    QList<PieceworkRow> rows;
    rows.reserve(sheet.recordCount());
    for (sheet.first(); !sheet.eof(); sheet.next()) rows << pieceworkRow(sheet, mode);
    return rows;
}

PieceworkTotals pieceworkTotals(const QSqlDatabase& db, int month, int year)
{
    Dataset query(db, sheet_statements::kTotals);
    piecework_mode::setPeriod(query, month, year);
    query.open();
    PieceworkTotals totals;
    totals.all = amountOf(query, QStringLiteral("price"));
    totals.piecework = amountOf(query, QStringLiteral("piecework"));
    totals.utilityWorks = amountOf(query, QStringLiteral("utility_works"));
    totals.averagePiecework = amountOf(query, QStringLiteral("average_piecework"));
    return totals;
}

QString outputColourText(int color)
{
    if (color == 1) return QStringLiteral(" (грунт)");
    if (color > 1) return QStringLiteral(" (цвет: ") + QString::number(color) + QLatin1Char(')');
    return {};
}

QList<OutputRow> output(Dataset& XLS_Rep, const ReportRequest& request)
{
    XLS_Rep.close();
    XLS_Rep.setParam(QStringLiteral("data1"), request.from);
    XLS_Rep.setParam(QStringLiteral("data2"), request.to);
    sheet_statements::setProductKindFilter(XLS_Rep, request.productKind);
    XLS_Rep.open();
    const auto closeQuery = qScopeGuard([&XLS_Rep] { XLS_Rep.close(); });
    QList<OutputRow> rows;
    rows.reserve(XLS_Rep.recordCount());
    for (XLS_Rep.first(); !XLS_Rep.eof(); XLS_Rep.next()) {
        rows << OutputRow{
            XLS_Rep.asString(QStringLiteral("nom")),
            XLS_Rep.asString(QStringLiteral("vid")) + outputColourText(XLS_Rep.asInt(QStringLiteral("color"))),
            XLS_Rep.asInt(QStringLiteral("naimen")) == 0 ? QStringLiteral("Готовая продукция") : QStringLiteral("Заготовки"),
            Money::fromValue(XLS_Rep.value(QStringLiteral("mass"))),
            Dataset::toLongLong(XLS_Rep.value(QStringLiteral("kolvo")))};
    }
    return rows;
}

QList<OutputRow> output(const QSqlDatabase& db, const ReportRequest& request)
{
    Dataset XLS_Rep(db, sheet_statements::kXlsRep);
    return output(XLS_Rep, request);
}

QString shown(const std::optional<Money>& amount)
{
    return amount ? formats::general(*amount) : QString();
}

QString shown(const std::optional<qint64>& hours)
{
    return hours ? QString::number(*hours) : QString();
}

} // namespace sheet_rows
