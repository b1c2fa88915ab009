#pragma once
// What the benchmarks share: the large department's server that bench/run.sh starts, prompts
// and a desktop that ask nothing and show nothing, psql as the baseline, and the statistics.
#include "bench/own_database.h"
#include "data/connection.h"
#include "data/db_error.h"
#include "data/prompts.h"
#include "export/excel_export.h"

#include "data/statement.h"

#include <QByteArray>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>
#include <unistd.h>

namespace bench {

/// The database bench/run.sh serves and its port (0 when the program was started otherwise).
struct Server {
    QString db = qEnvironmentVariable("TABEL_BENCH_DB", QStringLiteral("tabel_large"));
    int port = qEnvironmentVariableIntValue("TABEL_BENCH_PORT");

    /// True when started through bench/run.sh and the database carries the seed's mark;
    /// otherwise false, with the reason on stderr: the caller then touches nothing.
    bool given() const
    {
        if (!port) {
            std::fprintf(stderr, "run through bench/run.sh\n");
            return false;
        }
        const QString name = QStringLiteral("bench_guard");
        QString why;
        try {
            why = refusal(openConnection(settings(), name));
        } catch (const DbError& e) {
            why = QStringLiteral("cannot connect to %1 on %2: %3").arg(db, address(), e.text());
        }
        QSqlDatabase::removeDatabase(name);
        if (!why.isEmpty()) std::fprintf(stderr, "refused: %s\n", qPrintable(why));
        return why.isEmpty();
    }
    /// "127.0.0.1:PORT", the program's SERVER argument.
    QString address() const { return QStringLiteral("127.0.0.1:%1").arg(port); }
    /// The benchmarks' own superuser of their throwaway cluster: they seed, switch guards off and
    /// clean up after themselves, which no role of the client may.
    ConnectionSettings settings() const
    {
        ConnectionSettings s;
        s.host = QStringLiteral("127.0.0.1");
        s.port = port;
        s.database = db;
        s.user = QStringLiteral("tabel_test");
        s.password = QStringLiteral("tabel_test");
        return s;
    }
    /// The client's code login "sys", an ordinary member of full access: the roles in force.
    ConnectionSettings clientSettings() const
    {
        ConnectionSettings s = settings();
        s.user = QStringLiteral("sys");
        s.password = QStringLiteral("vultsab");
        return s;
    }
};

/// The port of the plant's streaming standby that bench/run.sh --plant starts; 0, with the reason
/// on stderr, when there is none.
inline int standbyPort()
{
    const int port = qEnvironmentVariableIntValue("TABEL_BENCH_STANDBY_PORT");
    if (!port) std::fprintf(stderr, "no standby: run through bench/run.sh --plant\n");
    return port;
}

/// The program's arguments for the month-end batch of the month of a date (every report and
/// sheet, as a scheduled run starts it, with the full access code) writing into dir; more, such
/// as a read server, is added by the caller.
inline QStringList monthEndArguments(const Server& server, const QDate& month, const QString& dir)
{
    return {server.db, server.address(), QStringLiteral("--code"), QStringLiteral("3851"), QStringLiteral("--month-end"),
            QStringLiteral("--month"), QString::number(month.month()), QStringLiteral("--year"), QString::number(month.year()),
            QStringLiteral("--dir"), dir};
}

/// Errors and questions go to stderr (every question answered "no"); information is dropped.
class QuietPrompts : public Prompts {
public:
    void error(const QString& text, const QString& title) override { print(title, text); }
    bool question(const QString& text, const QString& title) override
    {
        print(title, text);
        return false;
    }
    void information(const QString&, const QString&) override {}

private:
    static void print(const QString& title, const QString& text)
    {
        std::fprintf(stderr, "%s: %s\n", qPrintable(title), qPrintable(text));
    }
};

/// Takes the workbooks handed to the desktop: remembers the last one and opens nothing.
class NoDesktop : public SpreadsheetOpener {
public:
    QString last;
    bool open(const QString& filePath) override
    {
        last = filePath;
        return true;
    }
};

/// One run of psql: how long it took from start to end, what it printed, whether it succeeded.
struct PsqlRun {
    double ms = 0;
    QByteArray output;
    QByteArray errors;
    bool ok = false;
};

/// Runs psql as the benchmarks' own user on the server, stopping at the first error: the arguments
/// (such as "-tA", "-c", SQL) and, when given, a script on its standard input, in one session.
inline PsqlRun psql(const Server& server, const QStringList& arguments, const QByteArray& script = {})
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PGPASSWORD"), QStringLiteral("tabel_test"));
    // The client's sessions run without just-in-time compilation; the baseline's do too.
    env.insert(QStringLiteral("PGOPTIONS"), QStringLiteral("-c jit=off"));
    p.setProcessEnvironment(env);
    QStringList args = {"-X", "-q", "-v", "ON_ERROR_STOP=1", "-h", "127.0.0.1", "-p", QString::number(server.port),
                        "-U", "tabel_test", "-d", server.db};
    args += arguments;
    if (!script.isEmpty()) args += QStringList{"-f", "-"};
    QElapsedTimer clock;
    clock.start();
    p.start(QStringLiteral("psql"), args);
    if (!script.isEmpty()) p.write(script);
    p.closeWriteChannel();
    p.waitForFinished(-1);
    PsqlRun run;
    run.ms = double(clock.nsecsElapsed()) / 1e6;
    run.output = p.readAllStandardOutput();
    run.errors = p.readAllStandardError();
    run.ok = p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    if (!run.ok) std::fprintf(stderr, "psql: %s\n", run.errors.constData());
    return run;
}

/// The month with the most journal entries (the earliest of equals), and how many it has; with
/// open, of the months not closed (those a benchmark may write into).
struct BusyMonth {
    QDate first;
    int entries = 0;
};
inline BusyMonth busiestMonth(const QSqlDatabase& db, bool open = false)
{
    Statement s(QStringLiteral("select m, y, n from (select extract(month from data)::integer as m, extract(year from data)::integer as y, "
                               "count(*) as n from accounts_dep.smena group by 1, 2) t where not :open or not exists "
                               "(select 1 from accounts_dep.closed_month c where c.year = t.y and c.month = t.m) "
                               "order by 3 desc, 2, 1 limit 1"));
    s.setParam(QStringLiteral("open"), open);
    QSqlQuery q = s.exec(db);
    if (!q.next()) return {};
    return {QDate(q.value(1).toInt(), q.value(0).toInt(), 1), q.value(2).toInt()};
}

/// A figure of a process's status in KiB ("VmHWM:" its peak memory, "VmRSS:" what it holds now);
/// pid 0 is this process; 0 when it cannot be read.
inline long statusKb(qint64 pid, const char* key)
{
    QFile f(pid ? QStringLiteral("/proc/%1/status").arg(pid) : QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(key)) return line.mid(qstrlen(key) + 1).trimmed().split(' ').value(0).toLong();
    return 0;
}

/// A process's proportional share of memory in KiB (its own pages whole, each shared page split
/// among the processes that map it), so that a cluster's processes add up to what it takes
/// without counting its shared buffers once for each; 0 when it cannot be read.
inline long proportionalKb(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/smaps_rollup").arg(pid));
    if (!f.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("Pss:")) return line.mid(4).trimmed().split(' ').value(0).toLong();
    return 0;
}

/// The processes of the connection's cluster: its postmaster (from the data directory's
/// postmaster.pid, which the benchmarks' own superuser may read) and every process it started.
inline QStringList clusterProcesses(const QSqlDatabase& db)
{
    QSqlQuery q = Statement(QStringLiteral("select current_setting('data_directory')")).exec(db);
    QFile pidFile(QDir(q.next() ? q.value(0).toString() : QString()).filePath(QStringLiteral("postmaster.pid")));
    if (!pidFile.open(QIODevice::ReadOnly)) return {};
    const QString postmaster = QString::fromLatin1(pidFile.readLine().trimmed());
    QProcess children;
    children.start(QStringLiteral("pgrep"), {QStringLiteral("-P"), postmaster});
    children.waitForFinished();
    return QStringList{postmaster} + QString::fromLatin1(children.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

/// Processor ticks from a process's /proc/PID/stat (PID 0: this process, all its threads): its
/// own, and with children those of its children that have ended and been waited for.
inline double processTicks(qint64 pid, bool withChildren)
{
    QFile f(pid ? QStringLiteral("/proc/%1/stat").arg(pid) : QStringLiteral("/proc/self/stat"));
    if (!f.open(QIODevice::ReadOnly)) return 0;
    const QByteArray stat = f.readAll();
    // After the name in parentheses: the state, then utime, stime, cutime, cstime as the 12th to 15th.
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    return fields.value(11).toDouble() + fields.value(12).toDouble() +
           (withChildren ? fields.value(13).toDouble() + fields.value(14).toDouble() : 0);
}

/// Processor seconds a process has used (PID 0: this one), with its children that have ended unless
/// told otherwise.
inline double processCpuSeconds(qint64 pid, bool withChildren = true)
{
    return processTicks(pid, withChildren) / double(sysconf(_SC_CLK_TCK));
}

/// The processor time a cluster's processes have used, in seconds: the postmaster's own and, through
/// it, that of every process of the cluster that has ended, and that of every one still running.
/// The processes as clusterProcesses() gives them, the postmaster first.
inline double clusterCpuSeconds(const QStringList& processes)
{
    double ticks = 0;
    for (qsizetype i = 0; i < processes.size(); ++i) ticks += processTicks(processes.at(i).toLongLong(), i == 0);
    return ticks / double(sysconf(_SC_CLK_TCK));
}

/// Processor seconds the whole machine has been busy, all its cores and all its users together.
inline double machineCpuSeconds()
{
    QFile f(QStringLiteral("/proc/stat"));
    if (!f.open(QIODevice::ReadOnly)) return 0;
    // cpu  user nice system idle iowait irq softirq steal
    const QList<QByteArray> fields = f.readLine().simplified().split(' ');
    double busy = 0;
    for (int i : {1, 2, 3, 6, 7, 8}) busy += fields.value(i).toDouble();
    return busy / double(sysconf(_SC_CLK_TCK));
}

/// The p-th percentile (0 < p < 100) of the values, the nearest rank; 0 for none.
inline double percentile(std::vector<double> v, double p)
{
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const size_t rank = size_t(std::ceil(p / 100.0 * double(v.size())));
    return v[std::clamp<size_t>(rank, 1, v.size()) - 1];
}

inline double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

/// The best time: on a shared machine, the round least disturbed.
inline double best(const std::vector<double>& v) { return v.empty() ? 0 : *std::min_element(v.begin(), v.end()); }

/// The best of rounds runs of f, in milliseconds.
template <typename F>
double bestMs(int rounds, F f)
{
    std::vector<double> times;
    for (int r = 0; r < rounds; ++r) {
        QElapsedTimer t;
        t.start();
        f();
        times.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    return best(times);
}

} // namespace bench
