// The month-end batch of the plant's busiest month (every report and sheet, one snapshot) run by
// the program: its time and peak memory; and what it costs the foremen: the entry save's time
// on the primary while the batch reads the primary, and while it reads the standby, each against
// the save's time with no batch running. Needs the plant seed and its standby (bench/run.sh
// --plant); the entries it saved are removed by their ids and the month's timesheet rows put back.
#include "bench/bench_support.h"
#include "data/data_module.h"
#include "rules/month_close.h"
#include "rules/journal_entries.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>

namespace {


/// The n-th entry a foreman saves during the run: each its own (the colour tells them apart).
shift_entry::Entry entry(const QDate& month, int n)
{
    shift_entry::Entry e;
    e.workerId = 1 + (n * 7) % 6000;
    e.productId = 10001 + n % 500;
    e.operationId = 1 + n % 6;
    e.day = month.addDays(n % month.daysInMonth());
    e.shift = 1 + n % 3;
    e.price = *Money::parse(u"10.5");
    e.quantity = 12;
    e.colour = 900000 + n;
    e.hours = 2;
    e.keyedIn = month;
    return e;
}

/// Keeps processes to the given cores ("0", "1", "0-1").
void pin(const QStringList& pids, const QString& cores)
{
    for (const QString& pid : pids) {
        QProcess taskset;
        taskset.start(QStringLiteral("taskset"), {QStringLiteral("-a"), QStringLiteral("-p"), QStringLiteral("-c"), cores, pid});
        taskset.waitForFinished();
    }
}

struct Run {
    double seconds = 0;
    long peakKb = 0;
    double saveMs = 0;   // mean time of a save while it ran
    int saves = 0;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const bench::Server server;
    if (!server.given()) return 2;
    const int standbyPort = bench::standbyPort();
    if (!standbyPort) return 2;
    const QString standby = QStringLiteral("127.0.0.1:%1").arg(standbyPort);
    bench::QuietPrompts prompts;
    TDataModule6 dm(openConnection(server.settings()), prompts);
    setClientName(dm.ADO_DB, QStringLiteral("tabel bench month-end"));
    const bench::BusyMonth busy = bench::busiestMonth(dm.ADO_DB);
    // The foremen enter the month after the one being closed, or the busiest still open when that
    // one is closed too.
    QDate entered = busy.first.addMonths(1);
    if (month_close::isClosed(dm.ADO_DB, entered.month(), entered.year())) entered = bench::busiestMonth(dm.ADO_DB, true).first;
    std::printf("month-end of %s: %d journal entries; foremen save entries of %s meanwhile\n",
                qPrintable(busy.first.toString(QStringLiteral("MM.yyyy"))), busy.entries,
                qPrintable(entered.toString(QStringLiteral("MM.yyyy"))));
    std::fflush(stdout);

    bench::KeptRows monthRows(dm.ADO_DB, QStringLiteral("accounts_dep.h_tabel"), QStringLiteral("year = :y and month = :m"),
                              {{QStringLiteral("y"), entered.year()}, {QStringLiteral("m"), entered.month()}});
    QSqlQuery last = Statement(QStringLiteral("select coalesce(max(id), 0), (select coalesce(max(id), 0) from accounts_dep.change_log) "
                                              "from accounts_dep.smena"))
                         .exec(dm.ADO_DB);
    last.next();
    const qlonglong lastEntry = last.value(0).toLongLong(), lastLogged = last.value(1).toLongLong();
    shift_entry::Writer writer(dm.ADO_DB);
    int n = 0;
    const auto save = [&] {
        QElapsedTimer t;
        t.start();
        writer.save(entry(entered, n++));
        return t.nsecsElapsed() / 1e6;
    };
    QTemporaryDir dir;
    // One machine plays two: the primary and the foremen's client on core 0, the standby and the
    // batch on core 1 (the batch reading the primary then competes for core 0 as it would on one
    // server). Without two cores everything shares the one.
    const bool twoMachines = QThread::idealThreadCount() >= 2;
    QSqlDatabase standbyDb = QSqlDatabase::cloneDatabase(dm.ADO_DB, QStringLiteral("standby_probe"));
    standbyDb.setPort(standbyPort);
    const QStringList primaryProcesses = bench::clusterProcesses(dm.ADO_DB);
    const QStringList standbyProcesses = standbyDb.open() ? bench::clusterProcesses(standbyDb) : QStringList{};
    const QString allCores = QStringLiteral("0-%1").arg(QThread::idealThreadCount() - 1);
    if (twoMachines) {
        pin(primaryProcesses, QStringLiteral("0"));
        pin(standbyProcesses, QStringLiteral("1"));
        pin({QString::number(QCoreApplication::applicationPid())}, QStringLiteral("0"));
        // The session already open was started before: it follows its postmaster's core now.
        pin(bench::clusterProcesses(dm.ADO_DB), QStringLiteral("0"));
    }
    // The batch as a scheduled run starts it; saves one after another while it runs.
    const auto batch = [&](const QStringList& more) {
        Run r;
        QProcess p;
        QElapsedTimer t;
        t.start();
        const QStringList args = bench::monthEndArguments(server, busy.first, dir.filePath(QStringLiteral("run%1").arg(n))) + more;
        if (twoMachines)
            p.start(QStringLiteral("taskset"), QStringList{QStringLiteral("-c"), QStringLiteral("1"), QStringLiteral(TABEL_BINARY)} + args);
        else
            p.start(QStringLiteral(TABEL_BINARY), args);
        p.waitForStarted();
        double total = 0;
        while (p.state() != QProcess::NotRunning) {
            total += save();
            ++r.saves;
            r.peakKb = std::max(r.peakKb, bench::statusKb(p.processId(), "VmHWM:"));
            p.waitForFinished(5);
        }
        r.seconds = t.nsecsElapsed() / 1e9;
        r.saveMs = r.saves ? total / r.saves : 0;
        if (p.exitCode() != 0) std::fprintf(stderr, "%s\n", p.readAllStandardError().constData());
        return r;
    };
    bool failed = false;
    Run onPrimary, onStandby;
    double idleMs = 0;
    try {
        for (int i = 0; i < 20; ++i) save();   // warm
        double idle = 0;
        for (int i = 0; i < 300; ++i) idle += save();
        idleMs = idle / 300;
        onPrimary = batch({});
        onStandby = batch({QStringLiteral("--read-server"), standby});
    } catch (const DbError& e) {
        std::fprintf(stderr, "saving: %s\n", qPrintable(e.text()));
        failed = true;
    }
    if (twoMachines) {
        pin(bench::clusterProcesses(dm.ADO_DB), allCores);
        if (standbyDb.isOpen()) pin(bench::clusterProcesses(standbyDb), allCores);
        pin({QString::number(QCoreApplication::applicationPid())}, allCores);
    }
    standbyDb.close();
    execSql(dm.ADO_DB, QStringLiteral("delete from accounts_dep.smena where id > :last and color >= 900000"),
            {{QStringLiteral("last"), lastEntry}});
    monthRows.restore();
    // Only the history rows of this run's own saves: its session names itself for them.
    execSql(dm.ADO_DB, QStringLiteral("delete from accounts_dep.change_log where id > :last and author in "
                                      "(select id from accounts_dep.change_author where client = :client)"),
            {{QStringLiteral("last"), lastLogged}, {QStringLiteral("client"), QStringLiteral("tabel bench month-end")}});
    if (failed) return 1;
    for (const auto& [what, r] : {std::pair{"on the primary", onPrimary}, std::pair{"on the standby", onStandby}})
        std::printf("month-end batch reading %s: %.1f s, peak %.0f MB (goal < 200 MB); an entry save meanwhile %.2f ms "
                    "(%d saves), alone %.2f ms: ratio %.2f\n",
                    what, r.seconds, r.peakKb / 1024.0, r.saveMs, r.saves, idleMs, r.saveMs / idleMs);
    std::printf("an entry save while the batch runs, on the standby against on the primary: ratio %.2f (goal < 1)\n",
                onStandby.saveMs / onPrimary.saveMs);
    return 0;
}
