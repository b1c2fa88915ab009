// Month-end on the plant (bash bench/run.sh --plant): for the busiest month, each sheet and the
// time timesheet window as the client reads them, the output sheet, the two rebuilds, and the
// reports' statements with their layout, each against psql running side by side the best
// set-based statement for the same result (baselines/, written apart from the client's); the two
// worker reports of the whole month written to a PDF and two workbooks written by the program,
// with its peak memory, against psql reading the same rows; and
// the client's memory once the largest sheet is open. The month's timesheet rows are put back as
// they were at the end.
#include "bench/bench_support.h"
#include "data/data_module.h"
#include "reports/engine/report_data.h"
#include "reports/engine/report_engine.h"
#include "reports/report_kinds.h"
#include "reports/report_window.h"
#include "rules/month_rebuild.h"
#include "rules/sheet_rows.h"
#include "rules/sheet_statements.h"
#include "timesheets/piecework_timesheet.h"
#include "timesheets/time_timesheet.h"
#include "reports/time_timesheet_report.h"
#include "ui/job_progress.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>

namespace {

constexpr int kRounds = 3;

/// A statement psql runs as the yardstick: bench/monthend/baselines/<name>.sql, the best set-based
/// statement written for the same result as the client's, whatever the client runs.
QString baseline(const QString& name)
{
    QFile f(QStringLiteral(BASELINES_DIR "/%1.sql").arg(name));
    if (!f.open(QIODevice::ReadOnly)) qFatal("cannot read the baseline %s", qPrintable(f.fileName()));
    return QString::fromUtf8(f.readAll());
}

/// The psql variables of the baselines for the month: month, year, first and next (the first
/// day of the month and of the next), and the timesheet's 31 day columns as lists.
QString variables(const QDate& first)
{
    const auto list = [](const char* name, const char* pattern, const char* separator) {
        return QStringLiteral("\\set %1 '%2'\n")
            .arg(QLatin1String(name), timesheet_days::dayLines(QLatin1String(pattern), QLatin1String(separator)));
    };
    return QStringLiteral("\\set month %1\n\\set year %2\n\\set first %3\n\\set next %4\n\\o /dev/null\n")
               .arg(first.month()).arg(first.year())
               .arg(first.toString(Qt::ISODate), first.addMonths(1).toString(Qt::ISODate)) +
        list("day_columns", "h.d%1", ", ") + list("day_sums", "sum(d%1) as d%1", ", ") +
        list("report_day_sums", "sum(h.d%1) as sd%1", ", ") + list("day_hours", "coalesce(d%1, 0)", " + ");
}

/// What a psql session costs that runs no statement (the best of a few): starting psql and
/// connecting take about 100 ms here, which the client, connected already, does not pay.
double sessionMs(const bench::Server& server, const QDate& first)
{
    static const double ms = [&] {
        std::vector<double> times;
        for (int r = 0; r < 2 * kRounds; ++r) times.push_back(bench::psql(server, {}, variables(first).toUtf8()).ms);
        return bench::best(times);
    }();
    return ms;
}

/// The best of the rounds of psql running the baselines for the month, after settings of their
/// own variables (psql \\set lines), each round in a session of its own, less the session's cost.
double psqlMs(const bench::Server& server, const QDate& first, const QStringList& baselines, const QString& settings = {})
{
    QString script = variables(first) + settings;
    for (const QString& name : baselines) script += baseline(name);
    std::vector<double> times;
    for (int r = 0; r < kRounds; ++r) times.push_back(bench::psql(server, {}, script.toUtf8()).ms);
    return bench::best(times) - sessionMs(server, first);
}

template <typename F>
double bestMs(F f)
{
    return bench::bestMs(kRounds, f);
}

void ratio(const QString& what, double ours, double psql, double goal, double underMs = 0)
{
    std::printf("%s x%d: %.0f ms, psql %.0f ms, ratio %.2f (goal <= %.1f%s)\n", qPrintable(what), kRounds, ours, psql, ours / psql, goal,
                underMs > 0 ? qPrintable(QStringLiteral(" and under %1 s").arg(underMs / 1000)) : "");
    std::fflush(stdout);
}


/// The program run from the command line for a report or an export of the month: its time and
/// peak memory, read while it runs, against a psql session running the baseline of the same
/// rows (both start, connect and read; psql writes text, the program a PDF or a workbook).
void commandLine(const bench::Server& server, const QString& what, const QStringList& args, const QDate& first,
                 const QString& baselineName, double goalSeconds, double goalRatio)
{
    QProcess p;
    QElapsedTimer t;
    t.start();
    p.start(QStringLiteral(TABEL_BINARY), QStringList{server.db, server.address(), QStringLiteral("--code"), QStringLiteral("3851")} + args);
    p.waitForStarted();
    long peak = 0;
    while (!p.waitForFinished(20)) peak = std::max(peak, bench::statusKb(p.processId(), "VmHWM:"));
    const double s = t.nsecsElapsed() / 1e9;
    if (p.exitCode() != 0) std::fprintf(stderr, "%s\n", p.readAllStandardError().constData());
    std::vector<double> times;
    const QByteArray script = (variables(first) + baseline(baselineName)).toUtf8();
    for (int r = 0; r < kRounds; ++r) times.push_back(bench::psql(server, {}, script).ms);
    const double psql = bench::best(times) / 1000;
    std::printf("%s: %.1f s (goal < %.0f s), psql %.1f s, ratio %.2f (goal <= %.1f), peak %.0f MB (goal < 200 MB)\n",
                qPrintable(what), s, goalSeconds, psql, s / psql, goalRatio, peak / 1024.0);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const bench::Server server;
    if (!server.given()) return 2;
    bench::QuietPrompts prompts;
    TDataModule6 dm(openConnection(server.settings()), prompts);

    const bench::BusyMonth busy = bench::busiestMonth(dm.ADO_DB);
    const QDate first = busy.first;
    Dataset workers(dm.ADO_DB, QStringLiteral("select count(distinct w_id) as n from accounts_dep.smena where data>=:a and data<:b"));
    workers.setParams({{"a", first}, {"b", first.addMonths(1)}});
    workers.open();
    std::printf("busy month %02d.%d: %d journal entries of %d workers\n", first.month(), first.year(), busy.entries,
                workers.asInt("n"));
    std::printf("a psql session that runs no statement: %.0f ms, left out of the psql figures below\n", sessionMs(server, first));
    bench::NoDesktop desktop;

    // The largest sheet open in its window: the client's memory then.
    {
        TForm27 sheet(dm, desktop);
        sheet.setMode(piecework_mode::kGeneral);
        sheet.cb_year->addItem(QString::number(first.year()));
        sheet.ComboBox1->setCurrentIndex(first.month() - 1);
        sheet.show();
        sheet.ComboBox1Change();
        sheet.work()->wait();
        app.processEvents();
        std::printf("client memory with the general sheet of %d rows open: %.0f MB (goal < 150 MB)\n",
                    sheet.CurrentTabel->recordCount(), bench::statusKb(0, "VmRSS:") / 1024.0);
        std::fflush(stdout);

        // The four sheets as their window reads them: the sheet and the month's totals.
        using namespace piecework_mode;
        struct Sheet {
            int mode;
            const char* name;
            const char* baseline;
            const char* settings;
        };
        for (const Sheet& s : {Sheet{kPiecework, "piecework sheet", "piecework_sheet", ""},
                               Sheet{kUtilityWorks, "utility works sheet", "hours_sheet", "\\set kind 7777\n"},
                               Sheet{kAveragePiecework, "average piecework sheet", "hours_sheet", "\\set kind 7778\n"},
                               Sheet{kGeneral, "general sheet", "general_sheet", ""}}) {
            sheet.setMode(s.mode);
            const double ours = bestMs([&] {
                sheet.ComboBox1Change();
                sheet.work()->wait();
                app.processEvents();
            });
            ratio(QLatin1String(s.name), ours,
                  psqlMs(server, first, {QLatin1String(s.baseline), QStringLiteral("sheet_totals")}, QLatin1String(s.settings)),
                  1.3, 1000);
        }
    }

    // The time timesheet window: its three shifts.
    {
        TForm15 form15(dm);
        ExcelApp excel(prompts, desktop);
        TForm19 window(dm, excel, form15);
        window.ComboBox2->addItem(QString::number(first.year()));
        window.ComboBox2->setCurrentIndex(0);
        window.ComboBox1->setCurrentIndex(first.month() - 1);
        window.show();
        const double ours = bestMs([&] {
            window.ComboBox1Change();
            window.work()->wait();
            app.processEvents();
        });
        ratio(QStringLiteral("time timesheet window"), ours, psqlMs(server, first, {QStringLiteral("time_timesheet_window")}),
              1.3, 1000);
    }

    // The output sheet's rows.
    {
        ReportRequest request;
        request.from = first;
        request.to = first.addMonths(1);
        const double ours = bestMs([&] { sheet_rows::output(dm.ADO_DB, request); });
        ratio(QStringLiteral("output sheet"), ours, psqlMs(server, first, {QStringLiteral("products")}, QStringLiteral("\\set mass_digits 6\n")), 1.3, 1000);
    }

    // The rebuilds, of the busiest month still open (a closed month's timesheet cannot be rebuilt);
    // the month's timesheet rows are put back afterwards.
    {
        const QDate open = bench::busiestMonth(dm.ADO_DB, true).first;
        bench::KeptRows monthRows(dm.ADO_DB, QStringLiteral("accounts_dep.h_tabel"), QStringLiteral("year = :y and month = :m"),
                                  {{QStringLiteral("y"), open.year()}, {QStringLiteral("m"), open.month()}});
        const double shifts = bestMs([&] { month_rebuild::shiftRows(dm.ADO_DB, open.month(), open.year()); });
        const double hours = bestMs([&] { month_rebuild::hourRows(dm.ADO_DB, open.month(), open.year()); });
        std::printf("rebuild of the shift rows of %02d.%d: %.0f ms (goal < 2 s); of its hour rows: %.0f ms (goal < 2 s)\n",
                    open.month(), open.year(), shifts, hours);
        monthRows.restore();
        // The rows the rebuilds and the restore left dead would slow every later read of the
        // month, in this run and the next.
        QSqlQuery(dm.ADO_DB).exec(QStringLiteral("vacuum analyze accounts_dep.h_tabel"));
    }

    // The reports' statements with their layout (no file), against psql running the statement.
    ReportRequest request;
    request.from = first;
    request.to = first.addMonths(1);
    request.month = first.month();
    request.year = first.year();
    // Each report's baseline and its settings.
    const QHash<QString, std::pair<QString, QString>> baselines = {
        {QStringLiteral("products"), {QStringLiteral("products"), QStringLiteral("\\set mass_digits 2\n")}},
        {QStringLiteral("products-detailed"), {QStringLiteral("products_detailed_report"), QString()}},
        {QStringLiteral("time-timesheet"), {QStringLiteral("time_timesheet_report"), QString()}}};
    for (const ReportKind& kind : reportKinds()) {
        if (!baselines.contains(kind.name)) continue;
        const auto& [name, settings] = baselines.value(kind.name);
        const std::unique_ptr<ReportWindow> window = kind.make(dm);
        int pages = 0;
        const double ours = bestMs([&] {
            const Statement statement = window->statementFor(request);
            const QueryReportData rows(window->reportQuery().objectName(), statement.exec(dm.ADO_DB),
                                       window->reportQuery().activeFilter());
            pages = layOutReportPages(window->layout(), rows, [](const ReportDocument&, ReportPage&&) {});
        });
        ratio(QStringLiteral("%1 report, statement and layout of %2 pages").arg(kind.name).arg(pages), ours,
              psqlMs(server, first, {name}, settings), 1.5);
    }

    // The two worker reports of the whole month written by the program, and two workbooks.
    QTemporaryDir dir;
    const QStringList month = {QStringLiteral("--from"), first.toString(Qt::ISODate), QStringLiteral("--to"),
                               first.addMonths(1).toString(Qt::ISODate)};
    for (const auto& [name, base] : {std::pair{"workers", "workers_report"}, std::pair{"workers-detailed", "workers_detailed_report"}})
        commandLine(server, QStringLiteral("%1 report of the whole month to a PDF").arg(QLatin1String(name)),
                    QStringList{QStringLiteral("--report"), QLatin1String(name)} + month +
                        QStringList{QStringLiteral("--pdf"), dir.filePath(QLatin1String(name) + QStringLiteral(".pdf"))},
                    first, QLatin1String(base), 5, 1.5);
    commandLine(server, QStringLiteral("time-timesheet workbook of the month"),
                {QStringLiteral("--export"), QStringLiteral("time-timesheet"), QStringLiteral("--month"), QString::number(first.month()),
                 QStringLiteral("--year"), QString::number(first.year()), QStringLiteral("--xlsx"), dir.filePath(QStringLiteral("t.xlsx"))},
                first, QStringLiteral("time_timesheet_window"), 5, 1.3);
    commandLine(server, QStringLiteral("operations workbook"),
                {QStringLiteral("--export"), QStringLiteral("operations"), QStringLiteral("--xlsx"), dir.filePath(QStringLiteral("o.xlsx"))},
                first, QStringLiteral("operations"), 5, 1.3);
    return 0;
}
