// The operations spreadsheet of the large department: every operation written through the
// operations list's "Excel" (its query, the export helper, the progress on the button) against
// the same statement read with a bare query and the same cells written by direct library calls.
// Both sides run alternately several times; prints the best time of each (the machine is
// shared, and the best round is the one least disturbed) and their ratio.

#include "bench/bench_support.h"
#include "data/connection.h"
#include "data/data_module.h"
#include "refbooks/norms_grid.h"
#include "refbooks/operation_dialog.h"
#include "refbooks/operations_list.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLocale>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <xlsxwriter.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kRounds = 20;

/// The same statement and the same cells, straight into the library: numbers as numbers, the
/// class as its text.
double direct(const QSqlDatabase& db, const QString& path, int* rows)
{
    QElapsedTimer timer;
    timer.start();
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(sql::XLS_Rep)) return -1;
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    lxw_workbook* workbook = workbook_new_opt(QFile::encodeName(path).constData(), &options);
    lxw_worksheet* sheet = workbook_add_worksheet(workbook, "Лист1");
    const char* headings[] = {"Марка", "Операция", "Цена", "Вид"};
    for (int c = 0; c < 4; ++c) worksheet_write_string(sheet, 0, lxw_col_t(c), headings[c], nullptr);
    lxw_row_t r = 1;
    for (; q.next(); ++r) {
        worksheet_write_string(sheet, r, 0, q.value(0).toString().toUtf8().constData(), nullptr);
        worksheet_write_string(sheet, r, 1, q.value(1).toString().toUtf8().constData(), nullptr);
        if (!q.value(4).isNull()) worksheet_write_number(sheet, r, 2, q.value(4).toDouble(), nullptr);
        worksheet_write_string(sheet, r, 3, q.value(2).toInt() == 0 ? "Готовая продукция" : "Заготовки", nullptr);
    }
    *rows = int(r) - 1;
    if (workbook_close(workbook) != LXW_NO_ERROR) return -1;
    return double(timer.nsecsElapsed()) / 1e6;
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    const bench::Server server;
    if (!server.given()) return 2;
    bench::QuietPrompts prompts;
    TDataModule6 dm(openConnection(server.settings()), prompts);
    QTemporaryDir folder;
    bench::NoDesktop opener;
    ExcelApp excel(prompts, opener, folder.path());
    TForm10 form10(dm);
    TForm22 form22(dm);
    TForm4 form4(dm, form10, form22, excel);

    // Untimed warm-up of both paths: the server's caches, library loading, first page faults.
    int rows = 0;
    direct(dm.ADO_DB, QDir(folder.path()).filePath(QStringLiteral("warm.xlsx")), &rows);
    form4.Button5Click();

    std::vector<double> helperMs, directMs;
    for (int i = 0; i < kRounds; ++i) {
        const double d = direct(dm.ADO_DB, QDir(folder.path()).filePath(QStringLiteral("direct%1.xlsx").arg(i)), &rows);
        QElapsedTimer timer;
        timer.start();
        form4.Button5Click();
        const double h = double(timer.nsecsElapsed()) / 1e6;
        if (d < 0 || opener.last.isEmpty()) {
            std::fprintf(stderr, "export failed\n");
            return 1;
        }
        directMs.push_back(d);
        helperMs.push_back(h);
    }
    std::printf("operations spreadsheet of %d operations, best of %d rounds\n", rows, kRounds);
    std::printf("direct libxlsxwriter: %.1f ms\n", bench::best(directMs));
    std::printf("operations list: %.1f ms\n", bench::best(helperMs));
    std::printf("list/direct: %.2f\n", bench::best(helperMs) / bench::best(directMs));
    return 0;
}
