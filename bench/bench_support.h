#pragma once
// What the benchmarks share: a prompts stand-in that prints errors, and psql as the baseline.
#include "data/connection.h"
#include "data/prompts.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QString>
#include <cstdio>
#include <optional>

/// Errors go to standard error; questions are answered No.
class PrintingPrompts : public Prompts {
public:
    void error(const QString& text, const QString&) override { std::fprintf(stderr, "error: %s\n", qPrintable(text)); }
    bool question(const QString&, const QString&) override { return false; }
    void information(const QString&, const QString&) override {}
};

/// psql runs the script in one session against the benchmark's database; milliseconds.
inline double psqlMs(const QString& db, int port, const QString& script)
{
    QProcess psql;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PGPASSWORD"), QStringLiteral("vultsab"));
    psql.setProcessEnvironment(env);
    QElapsedTimer t;
    t.start();
    psql.start(QStringLiteral("psql"), {"-X", "-q", "-h", "127.0.0.1", "-p", QString::number(port), "-U", "sys", "-d", db, "-f", "-"});
    psql.write(script.toUtf8());
    psql.closeWriteChannel();
    psql.waitForFinished(-1);
    const double ms = t.nsecsElapsed() / 1e6;
    if (psql.exitCode() != 0) std::fprintf(stderr, "psql: %s\n", psql.readAllStandardError().constData());
    return ms;
}

/// The benchmark's database, as bench/run.sh names it in the environment.
struct BenchDatabase {
    QString name;
    int port = 0;
    QSqlDatabase connection;
};

/// Connects to the benchmark's database; nothing (with a line on standard error) when the
/// program was not started by bench/run.sh.
inline std::optional<BenchDatabase> openBenchDatabase()
{
    BenchDatabase b;
    b.port = qEnvironmentVariableIntValue("TABEL_BENCH_PORT");
    b.name = qEnvironmentVariable("TABEL_BENCH_DB", QStringLiteral("tabel_large"));
    if (!b.port) {
        std::fprintf(stderr, "run through bench/run.sh\n");
        return std::nullopt;
    }
    ConnectionSettings s;
    s.host = QStringLiteral("127.0.0.1");
    s.port = b.port;
    s.database = b.name;
    b.connection = openConnection(s);
    return b;
}
