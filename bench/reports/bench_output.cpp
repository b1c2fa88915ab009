// The reports window's output spreadsheet of a busy month of the large department, written by
// the program from the command line (connection, version check, query, workbook, rename), against
// psql running the same query and libxlsxwriter writing the same cells directly. Both run as
// whole processes in turn; prints each one's median and the ratio of the medians.

#include "bench/bench_support.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <xlsxwriter.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr int kRuns = 7;
const char* const kFrom = "2026-03-01";
const char* const kTo = "2026-04-01";

/// The program itself: tabel DB SERVER --code 3851 --export output … --xlsx FILE.
double runProgram(const bench::Server& server, const QString& path)
{
    QElapsedTimer clock;
    clock.start();
    QProcess tabel;
    tabel.start(QStringLiteral(TABEL_BINARY),
                {server.db, server.address(),
                 QStringLiteral("--code"), QStringLiteral("3851"), QStringLiteral("--export"), QStringLiteral("output"),
                 QStringLiteral("--from"), QString::fromLatin1(kFrom), QStringLiteral("--to"), QString::fromLatin1(kTo),
                 QStringLiteral("--xlsx"), path});
    tabel.waitForFinished(600000);
    const double ms = double(clock.nsecsElapsed()) / 1e6;
    if (tabel.exitCode() != 0) {
        std::fprintf(stderr, "tabel failed: %s\n", tabel.readAllStandardError().constData());
        std::exit(1);
    }
    return ms;
}

/// The baseline: psql prints the rows, the same cells go straight into a workbook.
double runDirect(const bench::Server& server, const QString& path)
{
    QElapsedTimer clock;
    clock.start();
    const QString sql = QStringLiteral(
        "select sum(smena.kol_vo-smena.brak)::numeric as kolvo, vid_oper.vid, izdel.nom, oper.naimen, color,"
        " izdel.massa*sum(smena.kol_vo-smena.brak) as mass"
        " from accounts_dep.smena,accounts_dep.izdel,accounts_dep.vid_oper, accounts_dep.oper"
        " where izdel.id=smena.i_id and vid_oper.id=oper.vid and oper.id=smena.o_id"
        " and smena.data<'%1' and smena.data>='%2'"
        " group by izdel.nom,color, oper.naimen, vid_oper.vid, izdel.massa order by izdel.nom")
                            .arg(QString::fromLatin1(kTo), QString::fromLatin1(kFrom));
    const bench::PsqlRun rows = bench::psql(server, {QStringLiteral("-tA"), QStringLiteral("-F"), QStringLiteral("\t"), QStringLiteral("-c"), sql});
    if (!rows.ok) std::exit(1);
    const QList<QByteArray> lines = rows.output.split('\n');

    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    lxw_workbook* book = workbook_new_opt(QFile::encodeName(path).constData(), &options);
    lxw_worksheet* sheet = workbook_add_worksheet(book, "Лист1");
    const char* headings[] = {"Наименование", "Операция", "Вид продукции", "Коробки", "Кол-во"};
    for (int c = 0; c < 5; ++c) worksheet_write_string(sheet, 0, lxw_col_t(c), headings[c], nullptr);
    lxw_row_t row = 1;
    for (const QByteArray& line : lines) {
        const QList<QByteArray> f = line.split('\t');
        if (f.size() < 6) continue;
        const int color = f[4].toInt();
        QByteArray vid = f[1];
        if (color == 1) vid += " (грунт)";
        else if (color > 1) vid += " (цвет: " + f[4] + ")";
        worksheet_write_string(sheet, row, 0, f[2].constData(), nullptr);
        worksheet_write_string(sheet, row, 1, vid.constData(), nullptr);
        worksheet_write_string(sheet, row, 2, f[3].toInt() == 0 ? "Готовая продукция" : "Заготовки", nullptr);
        worksheet_write_number(sheet, row, 3, f[5].toDouble(), nullptr);
        worksheet_write_number(sheet, row, 4, double(qRound64(f[0].toDouble())), nullptr);
        ++row;
    }
    workbook_close(book);
    return double(clock.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString viaProgram = dir.filePath(QStringLiteral("program.xlsx"));
    const QString direct = dir.filePath(QStringLiteral("direct.xlsx"));
    const bench::Server server;
    if (!server.given()) return 2;
    runProgram(server, viaProgram);   // warm-up: caches of the server and the file system
    runDirect(server, direct);
    std::vector<double> program, baseline;
    for (int i = 0; i < kRuns; ++i) {
        program.push_back(runProgram(server, viaProgram));
        baseline.push_back(runDirect(server, direct));
    }
    const double a = bench::median(program), b = bench::median(baseline);
    std::printf("output spreadsheet of %s..%s from the command line: %.1f ms (median of %d)\n", kFrom, kTo, a, kRuns);
    std::printf("psql and direct libxlsxwriter:                          %.1f ms\n", b);
    std::printf("ratio command line / direct: %.2f (goal 1.3 or less)\n", a / b);
    return 0;
}
