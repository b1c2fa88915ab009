// A month of a large department's history of changes: every journal entry of its busiest month
// added and then approved, read for the history window against the same rows of the history
// fetched as they are stored, on the same connection. The rows it writes into the history carry
// a client name of the benchmark's own and are removed at the end.
#include "bench/bench_support.h"
#include "data/dataset.h"
#include "rules/change_history.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>

namespace {

const QString kClient = QStringLiteral("bench_history");

// Each entry added on its day at ten and approved at six, as the triggers would have written it.
const QString kWriteHistory = QStringLiteral(R"(
insert into accounts_dep.change_log (at, client, table_name, action, row_id, old_row, new_row)
select s.data + time '10:00', :client, 'smena', 'insert', s.id, null, to_jsonb(s) from accounts_dep.smena s
 where s.data >= :date1 and s.data < :date2
union all
select s.data + time '18:00', :client, 'smena', 'update', s.id, to_jsonb(s), jsonb_set(to_jsonb(s), '{ok}', '"ok"')
  from accounts_dep.smena s where s.data >= :date1 and s.data < :date2)");

const QString kStoredRows = QStringLiteral(
    "select * from accounts_dep.change_log where at >= :date1 and at < :date2 order by at, id");

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const bench::Server server;
    if (!server.given()) return 2;
    const QSqlDatabase db = openConnection(server.settings());
    const bench::BusyMonth month = bench::busiestMonth(db);
    const QDate from = month.first, to = month.first.addMonths(1);
    const Params period = {{QStringLiteral("date1"), from}, {QStringLiteral("date2"), to}};
    execSql(db, QStringLiteral("delete from accounts_dep.change_log where client = :client"), {{QStringLiteral("client"), kClient}});
    execSql(db, kWriteHistory, Params{{QStringLiteral("client"), kClient}} + period);
    execSql(db, QStringLiteral("analyze accounts_dep.change_log"));

    const int rounds = 3;
    std::vector<double> ours, stored;
    qsizetype records = 0, rows = 0;
    for (int r = 0; r <= rounds; ++r) {   // the first round warms the caches
        QElapsedTimer t;
        t.start();
        records = change_history::periodChanges(db, from, to, change_history::Scope::Everything).size();
        if (r) ours.push_back(t.nsecsElapsed() / 1e6);
        t.restart();
        Dataset raw(db, kStoredRows);
        raw.setParams(period);
        raw.open();
        rows = raw.recordCount();
        if (r) stored.push_back(t.nsecsElapsed() / 1e6);
    }
    std::printf("month %s: %d journal entries, %lld changes in the history\n", qPrintable(from.toString(QStringLiteral("MM.yyyy"))),
                month.entries, static_cast<long long>(rows));
    std::printf("a month's changes (best of %d): read for the window %.1f ms (%lld records), the stored rows fetched %.1f ms, "
                "ratio %.2f (goal <= 2)\n",
                rounds, bench::best(ours), static_cast<long long>(records), bench::best(stored), bench::best(ours) / bench::best(stored));
    execSql(db, QStringLiteral("delete from accounts_dep.change_log where client = :client"), {{QStringLiteral("client"), kClient}});
    return 0;
}
