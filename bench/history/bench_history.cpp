// The plant's history of changes (bench/seed_plant_history.sql): what a change takes on disk, the
// history of its busiest month and of two months written by the program (--export history) in
// time and peak memory against psql copying the same records out as they are stored, the
// workbook read back by openpyxl, and the month-end batch of that month. Needs the plant seed
// (bench/run.sh --plant); reads only.
#include "bench/bench_support.h"
#include "data/connection.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <cstdio>

namespace {

// The month whose changes are most, and the month before it.
const QString kBusiestMonth = QStringLiteral(
    "select date_trunc('month', at at time zone 'UTC')::date as m, count(*) from accounts_dep.change_log "
    "group by 1 order by 2 desc, 1 limit 1");

// Bytes on disk (every partition with its indexes and its TOAST) over records.
const QString kSize = QStringLiteral(R"(
select (select sum(pg_total_relation_size(i.inhrelid)) from pg_inherits i
         where i.inhparent = 'accounts_dep.change_log'::regclass),
       (select count(*) from accounts_dep.change_log),
       (select sum(pg_relation_size(i.inhrelid)) from pg_inherits i where i.inhparent = 'accounts_dep.change_log'::regclass),
       (select sum(pg_indexes_size(i.inhrelid)) from pg_inherits i where i.inhparent = 'accounts_dep.change_log'::regclass),
       (select count(*) from accounts_dep.change_log where act = 'i'),
       (select count(*) from accounts_dep.change_log where act = 'u'))");

// The same records as they are stored, the baseline's copy.
const QString kCopy = QStringLiteral(
    "\\copy (select * from accounts_dep.change_log where at >= '%1' and at < '%2' order by at, id) to '%3'");

// Every sheet's rows counted by a reader of its own, in its streaming mode.
const char* const kCount = R"(
import sys, openpyxl
book = openpyxl.load_workbook(sys.argv[1], read_only=True)
counts = []
for sheet in book.worksheets:
    n, first = 0, None
    for row in sheet.iter_rows(values_only=True):
        if first is None: first = row
        n += 1
    counts.append("%s:%d:%s" % (sheet.title, n, first[0] if first else ""))
print(" ".join(counts))
)";

struct Run {
    double seconds = 0;
    long peakKb = 0;
    int exitCode = -1;
    QByteArray errors;
};

/// The program run to its end, its peak memory read while it ran.
Run program(const QStringList& args)
{
    Run r;
    QProcess p;
    QElapsedTimer t;
    t.start();
    p.start(QStringLiteral(TABEL_BINARY), args);
    p.waitForStarted();
    while (p.state() != QProcess::NotRunning) {
        r.peakKb = std::max(r.peakKb, bench::statusKb(p.processId(), "VmHWM:"));
        p.waitForFinished(20);
    }
    r.seconds = t.nsecsElapsed() / 1e9;
    r.exitCode = p.exitCode();
    r.errors = p.readAllStandardError();
    return r;
}

/// psql's copy of the records of the period to a file, its time and peak memory.
Run copied(const bench::Server& server, const QDate& from, const QDate& to, const QString& file)
{
    Run r;
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PGPASSWORD"), QStringLiteral("tabel_test"));
    p.setProcessEnvironment(env);
    QElapsedTimer t;
    t.start();
    p.start(QStringLiteral("/usr/bin/time"),
            {"-f", "%M", "psql", "-X", "-q", "-v", "ON_ERROR_STOP=1", "-h", "127.0.0.1", "-p", QString::number(server.port), "-U",
             "tabel_test", "-d", server.db, "-c",
             kCopy.arg(from.toString(Qt::ISODate), to.toString(Qt::ISODate), file)});
    p.waitForFinished(-1);
    r.seconds = t.nsecsElapsed() / 1e9;
    r.exitCode = p.exitCode();
    r.errors = p.readAllStandardError();
    r.peakKb = r.errors.trimmed().split('\n').constLast().toLong();
    return r;
}

void compare(const char* what, const Run& ours, const Run& baseline, const char* goal)
{
    std::printf("%s: %.1f s, peak %.0f MB; psql copying the same records %.1f s, peak %.0f MB: ratio %.2f (time), %.2f (memory); "
                "goal %s\n",
                what, ours.seconds, ours.peakKb / 1024.0, baseline.seconds, baseline.peakKb / 1024.0, ours.seconds / baseline.seconds,
                double(ours.peakKb) / double(std::max(baseline.peakKb, 1L)), goal);
    if (ours.exitCode != 0) std::printf("  the program failed (%d): %s\n", ours.exitCode, ours.errors.constData());
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const bench::Server server;
    if (!server.given()) return 2;
    const QSqlDatabase db = openConnection(server.settings());
    QSqlQuery busiest = Statement(kBusiestMonth).exec(db);
    if (!busiest.next()) {
        std::fprintf(stderr, "the plant has no history: seed it with bench/seed_plant_history.sql\n");
        return 1;
    }
    const QDate month = busiest.value(0).toDate();
    const qlonglong changes = busiest.value(1).toLongLong();
    QSqlQuery size = Statement(kSize).exec(db);
    size.next();
    const double bytes = size.value(0).toDouble(), records = size.value(1).toDouble();
    std::printf("history: %.0f changes (%lld added, %lld changed), %.1f MB with its indexes (table %.1f MB, indexes %.1f MB): "
                "%.0f bytes a change (goal <= 250)\n",
                records, size.value(4).toLongLong(), size.value(5).toLongLong(), bytes / 1048576.0, size.value(2).toDouble() / 1048576.0,
                size.value(3).toDouble() / 1048576.0, bytes / records);
    std::printf("the busiest month %s: %lld changes\n", qPrintable(month.toString(QStringLiteral("MM.yyyy"))), changes);
    std::fflush(stdout);

    QTemporaryDir dir;
    const QStringList base = {server.db, server.address(), QStringLiteral("--code"), QStringLiteral("3851")};
    const auto exported = [&](const QDate& from, const QDate& to, const QString& file) {
        return program(base + QStringList{QStringLiteral("--export"), QStringLiteral("history"), QStringLiteral("--from"),
                                          from.toString(Qt::ISODate), QStringLiteral("--to"), to.toString(Qt::ISODate),
                                          QStringLiteral("--xlsx"), dir.filePath(file)});
    };
    // One month, the program and the baseline side by side.
    const QString monthFile = QStringLiteral("history-month.xlsx");
    const Run baseline = copied(server, month, month.addMonths(1), dir.filePath(QStringLiteral("month.copy")));
    const Run ours = exported(month, month.addMonths(1), monthFile);
    compare("--export history of the month", ours, baseline, "< 20 s, < 200 MB");
    // The workbook as another reader sees it: every record on its sheets.
    QProcess reader;
    reader.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QString::fromUtf8(kCount), dir.filePath(monthFile)});
    reader.waitForFinished(-1);
    const QStringList sheets = QString::fromUtf8(reader.readAllStandardOutput()).trimmed().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    qlonglong rows = 0;
    for (const QString& s : sheets) rows += s.section(QLatin1Char(':'), -2, -2).toLongLong() - 1;
    std::printf("openpyxl (read-only) reads %lld records on %lld sheet(s) [%s] of %lld changes: %s\n", rows,
                static_cast<long long>(sheets.size()), qPrintable(sheets.join(QLatin1Char(' '))), changes,
                rows == changes ? "all there" : "MISSING");
    std::fflush(stdout);

    // Two months: over a sheet's rows, in the same memory.
    const QDate first = month.addMonths(-1);
    const Run twoBaseline = copied(server, first, month.addMonths(1), dir.filePath(QStringLiteral("two.copy")));
    const Run two = exported(first, month.addMonths(1), QStringLiteral("history-two.xlsx"));
    compare("--export history of two months", two, twoBaseline, "constant memory");
    QProcess twoReader;
    twoReader.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QString::fromUtf8(kCount), dir.filePath(QStringLiteral("history-two.xlsx"))});
    twoReader.waitForFinished(-1);
    std::printf("  its sheets as openpyxl reads them: %s\n", twoReader.readAllStandardOutput().trimmed().constData());

    // The month-end batch of the month, its history among its files.
    const Run monthEnd = program(base + QStringList{QStringLiteral("--month-end"), QStringLiteral("--month"), QString::number(month.month()),
                                                    QStringLiteral("--year"), QString::number(month.year()), QStringLiteral("--dir"),
                                                    dir.filePath(QStringLiteral("month-end"))});
    compare("--month-end of the month (every report and sheet, the history's included)", monthEnd, baseline, "< 40 s, < 200 MB");
    return ours.exitCode == 0 && two.exitCode == 0 && monthEnd.exitCode == 0 && rows == changes ? 0 : 1;
}
