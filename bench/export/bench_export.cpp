// A timesheet-sized export (1,000 rows of 36 columns: name, night mark, 31 days of hours and
// three totals, under two bold heading rows, frozen, with a filter, hours as whole numbers and
// money with two decimals) written through ExcelApp as the timesheets write it and with direct
// library calls on values already in native form. Both run alternately several times; prints the
// best time of each (the machine is shared, and the best round is the one least disturbed) and
// their ratio.

#include "bench/bench_support.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <xlsxwriter.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kRows = 1000;
constexpr int kColumns = 36;
constexpr int kRounds = 10;

struct Value {
    QString text;  // empty: the cell stays empty
    double number = 0;
    bool isNumber = false;
    bool asText = false;
    bool bold = false;
};

using Table = std::vector<std::vector<Value>>;

Table timesheet(int rows)
{
    static const char* const names[] = {"Иванов", "Петрова", "Сидоренко", "Кузнецов", "Ёлкина"};
    Table table;
    std::vector<Value> heading(kColumns);
    heading[0] = {QStringLiteral("Январь 2024"), 0, false, true, true};
    table.push_back(heading);
    heading.assign(kColumns, Value{});
    heading[0] = {QStringLiteral("Фамилия И.О."), 0, false, true, true};
    for (int d = 1; d <= 31; ++d)
        heading[size_t(d + 1)] = {QString::number(d), double(d), true, false, true};
    heading[33] = {QStringLiteral("Итого (ч.)"), 0, false, true, true};
    heading[34] = {QStringLiteral("Итого (р.)"), 0, false, true, true};
    heading[35] = {QStringLiteral("Час (р.)"), 0, false, true, true};
    table.push_back(heading);

    for (int r = 0; r < rows; ++r) {
        std::vector<Value> row(kColumns);
        row[0] = {QStringLiteral("%1 %2 И.О.").arg(QString::fromUtf8(names[r % 5])).arg(r), 0, false, true};
        if (r % 4 == 0)
            row[1] = {QStringLiteral("ночь"), 0, false, true};
        double total = 0;
        for (int d = 1; d <= 31; ++d) {
            const int kind = (r + d) % 7;
            if (kind == 5 || kind == 6)
                continue;  // days off stay empty
            const double hours = kind == 0 ? 7.5 : 8;
            total += hours;
            row[size_t(d + 1)] = {kind == 0 ? QStringLiteral("7,5") : QStringLiteral("8"), hours, true};
        }
        const double price = 12345.67 + r;
        row[33] = {QString::number(total).replace(u'.', u','), total, true};
        row[34] = {QString::number(price, 'f', 2).replace(u'.', u','), price, true};
        row[35] = {QString::number(price / total, 'f', 2).replace(u'.', u','),
                   QString::number(price / total, 'f', 2).toDouble(), true};
        table.push_back(std::move(row));
    }
    return table;
}

double throughHelper(const Table& table, const QString& folder)
{
    bench::QuietPrompts prompts;
    bench::NoDesktop opener;
    QElapsedTimer timer;
    timer.start();
    ExcelApp excel(prompts, opener, folder);
    if (excel.OpenExcel(QString()) != 1)
        return -1;
    excel.SetExcelVisible(false);
    excel_table::setNumberFormat(excel, 3, 34, excel_table::kHours);
    excel_table::setNumberFormat(excel, 35, kColumns, excel_table::kMoney);
    for (size_t r = 0; r < table.size(); ++r) {
        for (size_t c = 0; c < table[r].size(); ++c) {
            const Value& v = table[r][c];
            excel.WriteExcelCell(1, int(c + 1), int(r + 1), v.text, v.asText, true, v.bold);
        }
    }
    excel_table::finish(excel, 2, kColumns, int(table.size()));
    if (excel.SetExcelVisible(true) != 1)
        return -1;
    return double(timer.nsecsElapsed()) / 1e6;
}

double direct(const Table& table, const QString& path)
{
    QElapsedTimer timer;
    timer.start();
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    lxw_workbook* workbook = workbook_new_opt(QFile::encodeName(path).constData(), &options);
    lxw_worksheet* sheet = workbook_add_worksheet(workbook, "Лист1");
    lxw_format* bold = workbook_add_format(workbook);
    format_set_bold(bold);
    lxw_format* text = workbook_add_format(workbook);
    format_set_num_format(text, "@");
    lxw_format* boldText = workbook_add_format(workbook);
    format_set_bold(boldText);
    format_set_num_format(boldText, "@");
    // Hours (columns 3 to 34) and money (35, 36), plain and bold.
    lxw_format* numbers[2][2];
    for (int kind = 0; kind < 2; ++kind) {
        for (int bold = 0; bold < 2; ++bold) {
            numbers[kind][bold] = workbook_add_format(workbook);
            format_set_num_format(numbers[kind][bold], kind ? "0.00" : "0");
            if (bold) format_set_bold(numbers[kind][bold]);
        }
    }
    const auto numberKind = [](size_t c) { return c < 2 ? -1 : c < 34 ? 0 : 1; };

    std::vector<qsizetype> widest(kColumns, 0);
    for (const auto& row : table)
        for (size_t c = 0; c < row.size(); ++c)
            widest[c] = std::max(widest[c], row[c].text.size());
    for (size_t c = 0; c < widest.size(); ++c)
        worksheet_set_column(sheet, lxw_col_t(c), lxw_col_t(c), double(widest[c]) * 1.1 + 3,
                             numberKind(c) < 0 ? nullptr : numbers[numberKind(c)][0]);
    worksheet_freeze_panes(sheet, 2, 0);
    worksheet_autofilter(sheet, 1, 0, lxw_row_t(table.size() - 1), kColumns - 1);

    for (size_t r = 0; r < table.size(); ++r) {
        for (size_t c = 0; c < table[r].size(); ++c) {
            const Value& v = table[r][c];
            if (v.text.isEmpty())
                continue;
            lxw_format* format = v.asText ? (v.bold ? boldText : text)
                                 : numberKind(c) >= 0 ? numbers[numberKind(c)][v.bold]
                                                      : (v.bold ? bold : nullptr);
            if (v.isNumber)
                worksheet_write_number(sheet, lxw_row_t(r), lxw_col_t(c), v.number, format);
            else
                worksheet_write_string(sheet, lxw_row_t(r), lxw_col_t(c), v.text.toUtf8().constData(), format);
        }
    }
    if (workbook_close(workbook) != LXW_NO_ERROR)
        return -1;
    return double(timer.nsecsElapsed()) / 1e6;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString folder = dir.path();

    // Untimed warm-up of both paths: library loading and first page faults.
    const Table small = timesheet(10);
    throughHelper(small, folder);
    direct(small, QDir(folder).filePath(QStringLiteral("warm.xlsx")));

    const Table table = timesheet(kRows);
    std::vector<double> directRounds, helperRounds;
    for (int i = 0; i < kRounds; ++i) {
        directRounds.push_back(direct(table, QDir(folder).filePath(QStringLiteral("direct%1.xlsx").arg(i))));
        helperRounds.push_back(throughHelper(table, folder));
        if (directRounds.back() < 0 || helperRounds.back() < 0) {
            std::fprintf(stderr, "export failed\n");
            return 1;
        }
    }
    const double directMs = bench::best(directRounds);
    const double helperMs = bench::best(helperRounds);
    std::printf("export of %d rows x %d columns, best of %d rounds\n", kRows, kColumns, kRounds);
    std::printf("direct libxlsxwriter: %.1f ms\n", directMs);
    std::printf("helper: %.1f ms\n", helperMs);
    std::printf("helper/direct: %.2f\n", helperMs / directMs);
    return 0;
}
