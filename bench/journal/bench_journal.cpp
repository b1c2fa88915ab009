// Opening the journal of one busy date: the four shift queries through the data layer, and a
// date change in the journal window, each against psql running the same four statements.
#include "data/connection.h"
#include "data/data_module.h"
#include "bench/bench_support.h"
#include "journal/journal_window.h"
#include "ui/data_grid.h"

#include <QApplication>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTextStream>
#include <cstdio>

namespace {

long residentKiB()
{
    QFile f(QStringLiteral("/proc/self/status"));
    f.open(QIODevice::ReadOnly);
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').first().toLong();
    return 0;
}

/// psql runs the four statements `rounds` times in one session; milliseconds.
double shiftsMs(const QString& db, int port, const QDate& day, int rounds)
{
    QString script = QStringLiteral("\\set data '''%1'''\n\\set ok '''ta'''\n\\o /dev/null\n").arg(day.toString(Qt::ISODate));
    for (int r = 0; r < rounds; ++r)
        for (const QString* text : {&sql::Smena1, &sql::Smena2, &sql::Smena3, &sql::Smena4}) script += *text + QStringLiteral(";\n");
    return psqlMs(db, port, script);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const auto bench = openBenchDatabase();
    if (!bench) return 2;
    const QString dbName = bench->name;
    const int port = bench->port;
    PrintingPrompts prompts;
    TDataModule6 dm(bench->connection, prompts);
    for (int i = 1; i <= 4; ++i) dm.smenaQuery(i).setParam(QStringLiteral("ok"), QStringLiteral("ta"));

    // The busiest date of the year.
    Dataset busiest(dm.ADO_DB, QStringLiteral("select data, count(*) as n from accounts_dep.smena group by data order by 2 desc, 1 limit 1"));
    busiest.open();
    const QDate day = busiest.asDate(QStringLiteral("data"));
    const QDate otherDay = day.addDays(1);   // as busy: every day of the seed has as many entries
    std::printf("busy date %s: %d entries\n", qPrintable(day.toString(Qt::ISODate)), busiest.asInt(QStringLiteral("n")));

    const int rounds = 10;
    // Warm both sides' caches once.
    shiftsMs(dbName, port, day, 1);
    for (int i = 1; i <= 4; ++i) { dm.smenaQuery(i).setParam(QStringLiteral("data"), day); dm.smenaQuery(i).open(); }

    QElapsedTimer t;
    t.start();
    for (int r = 0; r < rounds; ++r)
        for (int i = 1; i <= 4; ++i) {
            Dataset& q = dm.smenaQuery(i);
            q.close();
            q.setParam(QStringLiteral("DATA"), day);
            q.open();
        }
    const double layerMs = t.nsecsElapsed() / 1e6;
    const double psql = shiftsMs(dbName, port, day, rounds);
    std::printf("four shift queries x%d: data layer %.1f ms, psql %.1f ms, ratio %.2f (goal <= 1.3)\n",
                rounds, layerMs, psql, layerMs / psql);

    TForm1 form(dm);
    form.show();
    app.processEvents();
    std::printf("resident memory after start-up: %ld KiB\n", residentKiB());
    t.restart();
    for (int r = 0; r < rounds; ++r) {
        // Every change of the date reloads the journal by itself, as a user's change does.
        form.DateT->setDate(r % 2 ? otherDay : day);
        form.DBGrid2->viewport()->repaint();
    }
    const double windowMs = t.nsecsElapsed() / 1e6;
    const double psql2 = shiftsMs(dbName, port, day, rounds);
    std::printf("date change in the journal x%d: window %.1f ms, psql %.1f ms, ratio %.2f (goal <= 1.5)\n",
                rounds, windowMs, psql2, windowMs / psql2);
    return 0;
}
