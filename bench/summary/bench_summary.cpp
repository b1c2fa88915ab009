// "Сводка за месяц" of the busiest month of the seeded database: the window's figures (the
// statements read into the summary) and its PDF written, each against psql running the same
// statements side by side. Goals on a plant's month: figures under 1 s, the PDF under 2 s.
#include "bench/bench_support.h"
#include "data/connection.h"
#include "data/data_module.h"
#include "reports/month_summary_charts.h"
#include "rules/month_summary.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>

namespace {

constexpr int kRounds = 3;

template <typename F>
double bestMs(F f)
{
    return bench::bestMs(kRounds, f);
}

/// The statements as psql runs them: the dates as quoted psql variables, the product kind as it is.
QByteArray psqlScript(const month_summary::Request& r, bool statements)
{
    const QDate first(r.year, r.month, 1);
    QString script = QStringLiteral("\\set d_from %1\n\\set d_to %2\n\\set h_from %3\n\\set kind %4\n\\o /dev/null\n")
                         .arg(first.toString(Qt::ISODate), first.addMonths(1).toString(Qt::ISODate),
                              first.addMonths(-11).toString(Qt::ISODate))
                         .arg(r.productKind);
    if (statements)
        for (QString s : {month_summary::kJournal, month_summary::kHourEntries, month_summary::kMonths}) {
            for (const char* name : {"d_from", "d_to", "h_from"})
                s.replace(QStringLiteral(":%1").arg(QLatin1String(name)), QStringLiteral(":'%1'").arg(QLatin1String(name)));
            script += s + QStringLiteral(";\n");
        }
    return script.toUtf8();
}

double psqlMs(const bench::Server& server, const month_summary::Request& r)
{
    std::vector<double> session, run;
    for (int i = 0; i < kRounds; ++i) {
        session.push_back(bench::psql(server, {}, psqlScript(r, false)).ms);
        run.push_back(bench::psql(server, {}, psqlScript(r, true)).ms);
    }
    return bench::best(run) - bench::best(session);
}

void ratio(const char* what, double ours, double psql, double goalMs)
{
    std::printf("%s x%d: %.0f ms (goal < %.0f ms), psql %.0f ms, ratio %.2f\n", what, kRounds, ours, goalMs, psql, ours / psql);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    const bench::Server server;
    if (!server.given()) return 2;
    bench::QuietPrompts prompts;
    TDataModule6 dm(openConnection(server.settings()), prompts);
    QTemporaryDir dir;
    // The busiest month, and the busiest still open: on a plant whose older months are closed, the
    // months before the first are read as kept at their closing, those before the second partly
    // from their entries.
    for (const bool open : {false, true}) {
        const bench::BusyMonth busy = bench::busiestMonth(dm.ADO_DB, open);
        std::printf("busy%s month %02d.%d: %d journal entries\n", open ? " open" : "", busy.first.month(), busy.first.year(),
                    busy.entries);
        for (const int kind : {0, 1}) {
            const month_summary::Request request{busy.first.month(), busy.first.year(), kind};
            const char* who = kind == 0 ? "all" : "finished products (the warehouse)";
            const double psql = psqlMs(server, request);
            std::printf("-- %s\n", who);
            ratio("summary figures (the window's statements)", bestMs([&] { month_summary::read(dm.ADO_DB, request); }), psql, 1000);
            ReportRequest asked;
            asked.month = request.month;
            asked.year = request.year;
            asked.productKind = kind;
            ratio("summary PDF (statements and 4 pages of charts)",
                  bestMs([&] { writeSummaryPdfFor(dm, asked, dir.filePath(QStringLiteral("summary.pdf"))); }), psql, 2000);
        }
    }
    return 0;
}
