// The month's average-piecework recalculation of the hour-paid work register: "Расчитать ср.сд."
// through the window (the statement in its transaction and the list reloaded) against psql
// running the same statement, and against psql running the enterprise's original statement,
// which also joins every product; on the large department's busiest month.
#include "data/connection.h"
#include "data/data_module.h"
#include "data/prompts.h"
#include "journal/utility_works_dialog.h"
#include "journal/utility_works_register.h"

#include <QApplication>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QProcess>
#include <cstdio>

namespace {

class SilentPrompts : public Prompts {
public:
    void error(const QString& text, const QString&) override { std::fprintf(stderr, "error: %s\n", qPrintable(text)); }
    bool question(const QString&, const QString&) override { return false; }
    void information(const QString&, const QString&) override {}
};

/// The enterprise's original statement for a month, text dates read day-month-year.
QString originalRecalculation(int m, int y, bool withProducts)
{
    const int nm = m == 12 ? 1 : m + 1;
    const int ny = m == 12 ? y + 1 : y;
    return QStringLiteral(
               "UPDATE accounts_dep.fatigue f SET price=coalesce((select case when coalesce(sum(s.time),0)::numeric(10,2)=0 "
               "then 0 else  coalesce(sum((s.kol_vo-s.brak)*(s.cena+s.cena*f.i_holiday+s.cena*f.i_night*0.2))/sum(time),0)"
               "::numeric(10,2) end as price  from accounts_dep.smena s%5, accounts_dep.person p "
               "where  s.data<'01.%1.%2' and s.data>='01.%3.%4' and p.id=s.w_id and p.id=f.id_p group by p.id order by fio),0) "
               "where i_mnth = %3 and i_year = %4 and id_o =7778")
        .arg(nm).arg(ny).arg(m).arg(y)
        .arg(withProducts ? QStringLiteral(", accounts_dep.izdel gas") : QString());
}

/// The register's own statement with its values written in, in a transaction as the window runs it.
QString ourRecalculation(int m, int y)
{
    const QDate first(y, m, 1);
    QString text = utility_work::kRecalculateAverage;
    text.replace(QStringLiteral(":first"), QStringLiteral("date '%1'").arg(first.toString(Qt::ISODate)));
    text.replace(QStringLiteral(":next"), QStringLiteral("date '%1'").arg(first.addMonths(1).toString(Qt::ISODate)));
    text.replace(QStringLiteral(":mnth"), QString::number(m));
    text.replace(QStringLiteral(":year"), QString::number(y));
    return QStringLiteral("begin;\n%1;\ncommit").arg(text);
}

/// psql runs the statement `rounds` times in one session; milliseconds.
double psqlMs(const QString& db, int port, const QString& statement, int rounds)
{
    QString script = QStringLiteral("set datestyle to 'ISO, DMY';\n");
    for (int r = 0; r < rounds; ++r) script += statement + QStringLiteral(";\n");
    QProcess psql;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PGPASSWORD"), QStringLiteral("vultsab"));
    psql.setProcessEnvironment(env);
    QElapsedTimer t;
    t.start();
    psql.start(QStringLiteral("psql"), {"-X", "-q", "-v", "ON_ERROR_STOP=1", "-h", "127.0.0.1", "-p", QString::number(port),
                                        "-U", "sys", "-d", db, "-f", "-"});
    psql.write(script.toUtf8());
    psql.closeWriteChannel();
    psql.waitForFinished(-1);
    const double ms = t.nsecsElapsed() / 1e6;
    if (psql.exitCode() != 0) std::fprintf(stderr, "psql: %s\n", psql.readAllStandardError().constData());
    return ms;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const int port = qEnvironmentVariableIntValue("TABEL_BENCH_PORT");
    const QString dbName = qEnvironmentVariable("TABEL_BENCH_DB", QStringLiteral("tabel_large"));
    if (!port) {
        std::fprintf(stderr, "run through bench/run.sh\n");
        return 2;
    }
    ConnectionSettings s;
    s.host = QStringLiteral("127.0.0.1");
    s.port = port;
    s.database = dbName;
    SilentPrompts prompts;
    TDataModule6 dm(openConnection(s), prompts);

    Dataset busiest(dm.ADO_DB, QStringLiteral(
        "select i_mnth, i_year, count(*) as n, (select count(*) from accounts_dep.izdel) as products "
        "from accounts_dep.fatigue where id_o=7778 group by 1, 2 order by 3 desc, 2, 1 limit 1"));
    busiest.open();
    const int m = busiest.asInt(QStringLiteral("i_mnth"));
    const int y = busiest.asInt(QStringLiteral("i_year"));
    std::printf("month %02d.%d: %d average-piecework entries, %d products\n", m, y, busiest.asInt(QStringLiteral("n")),
                busiest.asInt(QStringLiteral("products")));

    TForm25 form(dm);
    form.DTPcker1->setDate(QDate(y, m, 15));
    form.show();
    app.processEvents();

    const int rounds = 5;
    // Warm both sides once.
    form.Button1Click();
    psqlMs(dbName, port, ourRecalculation(m, y), 1);

    QElapsedTimer t;
    t.start();
    for (int r = 0; r < rounds; ++r) form.Button1Click();
    const double windowMs = t.nsecsElapsed() / 1e6 / rounds;
    const double ours = psqlMs(dbName, port, ourRecalculation(m, y), rounds) / rounds;
    const double withoutJoin = psqlMs(dbName, port, originalRecalculation(m, y, false), rounds) / rounds;
    const double original = psqlMs(dbName, port, originalRecalculation(m, y, true), 1);
    std::printf("recalculation of the month: window %.1f ms, psql running the same statement %.1f ms, ratio %.2f (goal <= 1.3)\n",
                windowMs, ours, windowMs / ours);
    std::printf("original statement by psql %.1f ms, without its product join %.1f ms: the join costs x%.1f\n", original,
                withoutJoin, original / withoutJoin);
    std::printf("window against the original statement: x%.1f faster (goal >= x%.1f)\n", original / windowMs,
                original / withoutJoin);
    return 0;
}
