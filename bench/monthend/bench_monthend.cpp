// Month-end on the plant (bash bench/run.sh --plant): for the busiest month, each sheet and the
// time timesheet window as the client reads them, the output sheet, the two rebuilds, and the
// reports' statements with their layout, each against psql running the same set-based statement
// side by side; the two worker reports of the whole month written to a PDF by the program, with
// its peak memory; and the client's memory once the largest sheet is open. The month's timesheet
// rows are put back as they were at the end.
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
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>

namespace {

constexpr int kRounds = 3;

QString quoted(const QDate& d) { return QStringLiteral("'''%1'''").arg(d.toString(Qt::ISODate)); }

/// psql variables for every parameter the month's statements name.
QString variables(const QDate& first)
{
    const QDate next = first.addMonths(1);
    QString s = QStringLiteral("\\set mnth %1\n\\set yea %2\n\\set i_month %1\n\\set i_year %2\n\\set date1 %3\n\\set date2 %4\n"
                               "\\o /dev/null\n")
                    .arg(first.month()).arg(first.year()).arg(quoted(first), quoted(next));
    for (int n = 1; n <= 8; ++n) s += QStringLiteral("\\set d_date%1 %2\n").arg(n).arg(quoted(n % 2 ? next : first));
    for (int n = 1; n <= 4; ++n) s += QStringLiteral("\\set data%1 %2\n").arg(n).arg(quoted(n % 2 ? first : next));
    return s;
}

/// The best of the rounds of psql running the statements, each round in a session of its own.
double psqlMs(const bench::Server& server, const QDate& first, const QStringList& statements)
{
    std::vector<double> times;
    for (int r = 0; r < kRounds; ++r) {
        QString script = variables(first);
        for (const QString& s : statements) script += s + QStringLiteral(";\n");
        times.push_back(bench::psql(server, {}, script.toUtf8()).ms);
    }
    return bench::best(times);
}

template <typename F>
double bestMs(F f)
{
    std::vector<double> times;
    for (int r = 0; r < kRounds; ++r) {
        QElapsedTimer t;
        t.start();
        f();
        times.push_back(t.nsecsElapsed() / 1e6);
    }
    return bench::best(times);
}

void ratio(const QString& what, double ours, double psql, double goal, double underMs = 0)
{
    std::printf("%s: %.0f ms, psql %.0f ms, ratio %.2f (goal <= %.1f%s)\n", qPrintable(what), ours, psql, ours / psql, goal,
                underMs > 0 ? qPrintable(QStringLiteral(" and under %1 s").arg(underMs / 1000)) : "");
    std::fflush(stdout);
}

long statusKb(qint64 pid, const char* key)
{
    QFile f(pid ? QStringLiteral("/proc/%1/status").arg(pid) : QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(key)) return line.mid(qstrlen(key) + 1).trimmed().split(' ').value(0).toLong();
    return 0;
}

/// A report of the month written to a PDF by the program from the command line: its time and
/// its peak memory, read while it runs.
void commandLineReport(const bench::Server& server, const QString& name, const QDate& first, const QString& pdf)
{
    QProcess p;
    QElapsedTimer t;
    t.start();
    p.start(QStringLiteral(TABEL_BINARY),
            {server.db, server.address(), QStringLiteral("--code"), QStringLiteral("3851"), QStringLiteral("--report"), name,
             QStringLiteral("--from"), first.toString(Qt::ISODate), QStringLiteral("--to"),
             first.addMonths(1).toString(Qt::ISODate), QStringLiteral("--pdf"), pdf});
    p.waitForStarted();
    long peak = 0;
    while (!p.waitForFinished(20)) peak = std::max(peak, statusKb(p.processId(), "VmHWM:"));
    const double s = t.nsecsElapsed() / 1e9;
    if (p.exitCode() != 0) std::fprintf(stderr, "%s\n", p.readAllStandardError().constData());
    std::printf("%s report of the whole month to a PDF: %.1f s (goal < 8 s), peak %.0f MB (goal < 200 MB)\n", qPrintable(name), s,
                peak / 1024.0);
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
                    sheet.CurrentTabel->recordCount(), statusKb(0, "VmRSS:") / 1024.0);
        std::fflush(stdout);

        // The four sheets as their window reads them: the sheet and the month's totals.
        using namespace piecework_mode;
        for (const auto& [mode, name] : {std::pair{kPiecework, "piecework sheet"}, std::pair{kUtilityWorks, "utility works sheet"},
                                         std::pair{kAveragePiecework, "average piecework sheet"}, std::pair{kGeneral, "general sheet"}}) {
            sheet.setMode(mode);
            const double ours = bestMs([&] {
                sheet.ComboBox1Change();
                sheet.work()->wait();
                app.processEvents();
            });
            ratio(QString::fromLatin1(name), ours,
                  psqlMs(server, first, {statement(mode), sheet_statements::kAllPrice, sheet_statements::kPrice,
                                         sheet_statements::kPrice7, sheet_statements::kPrice8}),
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
        ratio(QStringLiteral("time timesheet window"), ours, psqlMs(server, first, {sql::H_Tabel_1, sql::H_Tabel_2, sql::H_Tabel_3}),
              1.3, 1000);
    }

    // The output sheet's rows.
    {
        ReportRequest request;
        request.from = first;
        request.to = first.addMonths(1);
        const double ours = bestMs([&] { sheet_rows::output(dm.ADO_DB, request); });
        ratio(QStringLiteral("output sheet"), ours, psqlMs(server, first, {sheet_statements::kXlsRep}), 1.3, 1000);
    }

    // The rebuilds; the month's timesheet rows are put back afterwards.
    {
        bench::KeptRows monthRows(dm.ADO_DB, QStringLiteral("accounts_dep.h_tabel"), QStringLiteral("year = :y and month = :m"),
                                  {{QStringLiteral("y"), first.year()}, {QStringLiteral("m"), first.month()}});
        const double shifts = bestMs([&] { month_rebuild::shiftRows(dm.ADO_DB, first.month(), first.year()); });
        const double hours = bestMs([&] { month_rebuild::hourRows(dm.ADO_DB, first.month(), first.year()); });
        std::printf("rebuild of the month's shift rows: %.0f ms (goal < 2 s); of its hour rows: %.0f ms (goal < 2 s)\n", shifts, hours);
        monthRows.restore();
    }

    // The reports' statements with their layout (no file), against psql running the statement.
    ReportRequest request;
    request.from = first;
    request.to = first.addMonths(1);
    request.month = first.month();
    request.year = first.year();
    for (const ReportKind& kind : reportKinds()) {
        if (kind.name != QLatin1String("products") && kind.name != QLatin1String("products-detailed") &&
            kind.name != QLatin1String("time-timesheet"))
            continue;
        const std::unique_ptr<ReportWindow> window = kind.make(dm);
        int pages = 0;
        const double ours = bestMs([&] {
            const Statement statement = window->statementFor(request);
            const QueryReportData rows(window->reportQuery().objectName(), statement.exec(dm.ADO_DB),
                                       window->reportQuery().activeFilter());
            pages = layOutReportPages(window->layout(), rows, [](const ReportDocument&, ReportPage&&) {});
        });
        ratio(QStringLiteral("%1 report, statement and layout of %2 pages").arg(kind.name).arg(pages), ours,
              psqlMs(server, first, {window->reportQuery().sql()}), 1.5);
    }

    // The two worker reports of the whole month, written by the program.
    QTemporaryDir dir;
    for (const char* name : {"workers", "workers-detailed"})
        commandLineReport(server, QLatin1String(name), first, dir.filePath(QLatin1String(name) + QStringLiteral(".pdf")));
    return 0;
}
