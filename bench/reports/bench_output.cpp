// The reports window's output spreadsheet of a busy month of the large department, written by
// the program from the command line (connection, version check, query, workbook, rename), against
// psql running the same query and libxlsxwriter writing the same cells directly. Both run as
// whole processes in turn; prints each one's median and the ratio of the medians.

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

QString env(const char* name, const char* fallback)
{
    const QString v = qEnvironmentVariable(name);
    return v.isEmpty() ? QString::fromLatin1(fallback) : v;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

/// The program itself: tabel DB SERVER --code 3851 --export output … --xlsx FILE.
double runProgram(const QString& path)
{
    QElapsedTimer clock;
    clock.start();
    QProcess tabel;
    tabel.start(QStringLiteral(TABEL_BINARY),
                {env("TABEL_BENCH_DB", "tabel_large"), QStringLiteral("127.0.0.1:") + env("TABEL_BENCH_PORT", "55462"),
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
double runDirect(const QString& path)
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
    QProcess psql;
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    e.insert(QStringLiteral("PGPASSWORD"), QStringLiteral("vultsab"));
    psql.setProcessEnvironment(e);
    psql.start(QStringLiteral("psql"), {QStringLiteral("-X"), QStringLiteral("-qtA"), QStringLiteral("-F"), QStringLiteral("\t"),
                                       QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
                                       env("TABEL_BENCH_PORT", "55462"), QStringLiteral("-U"), QStringLiteral("sys"),
                                       QStringLiteral("-d"), env("TABEL_BENCH_DB", "tabel_large"), QStringLiteral("-c"), sql});
    psql.waitForFinished(600000);
    const QList<QByteArray> lines = psql.readAllStandardOutput().split('\n');

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
    runProgram(viaProgram);   // warm-up: caches of the server and the file system
    runDirect(direct);
    std::vector<double> program, baseline;
    for (int i = 0; i < kRuns; ++i) {
        program.push_back(runProgram(viaProgram));
        baseline.push_back(runDirect(direct));
    }
    const double a = median(program), b = median(baseline);
    std::printf("output spreadsheet of %s..%s from the command line: %.1f ms (median of %d)\n", kFrom, kTo, a, kRuns);
    std::printf("psql and direct libxlsxwriter:                          %.1f ms\n", b);
    std::printf("ratio command line / direct: %.2f (goal 1.3 or less)\n", a / b);
    return 0;
}
