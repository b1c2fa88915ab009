// A month's average-piecework recalculation of a large department: the register's own path
// against psql running the statement as first written (with its join of the products) and
// against psql running the register's statement. The month's prices are put back as they were
// at the end.
#include "data/connection.h"
#include "data/data_module.h"
#include "bench/bench_support.h"
#include "journal/utility_works_register.h"
#include "rules/hour_entries.h"

#include <QApplication>
#include <QDateEdit>
#include <QElapsedTimer>
#include <cstdio>

namespace {

/// psql runs the statement `rounds` times in one session, dates read day first; milliseconds.
double statementMs(const bench::Server& server, const QString& statement, int rounds)
{
    QString script = QStringLiteral("set datestyle = 'ISO, DMY';\n\\o /dev/null\n");
    for (int r = 0; r < rounds; ++r) script += statement + QStringLiteral(";\n");
    return bench::psql(server, {}, script.toUtf8()).ms;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const bench::Server server;
    if (!server.given()) return 2;
    bench::QuietPrompts prompts;
    TDataModule6 dm(openConnection(server.settings()), prompts);

    const QDate day(2026, 3, 10);
    const QDate first(day.year(), day.month(), 1), next = first.addMonths(1);
    Dataset entries(dm.ADO_DB, QStringLiteral(
        "select count(*) as n from accounts_dep.fatigue where id_o = 7778 and i_mnth = :m and i_year = :y"));
    entries.setParams({{QStringLiteral("m"), day.month()}, {QStringLiteral("y"), day.year()}});
    entries.open();
    std::printf("month %s: %d average-piecework entries\n", qPrintable(first.toString(QStringLiteral("MM.yyyy"))),
                entries.asInt(QStringLiteral("n")));

    const QString original = QStringLiteral(
        "UPDATE accounts_dep.fatigue f SET price=coalesce((select case when coalesce(sum(s.time),0)::numeric(10,2)=0 then 0 else  "
        "coalesce(sum((s.kol_vo-s.brak)*(s.cena+s.cena*f.i_holiday+s.cena*f.i_night*0.2))/sum(time),0)::numeric(10,2) end as price  "
        "from accounts_dep.smena s, accounts_dep.izdel gas, accounts_dep.person p where  s.data<'01.%1.%2' and s.data>='01.%3.%4' "
        "and p.id=s.w_id and p.id=f.id_p group by p.id order by fio),0) where i_mnth = %3 and i_year = %4 and id_o =7778")
                                 .arg(next.month()).arg(next.year()).arg(first.month()).arg(first.year());
    QString ours = hour_entry::kRecalculateAveragePiecework;
    ours.replace(QStringLiteral(":date1"), QStringLiteral("'%1'").arg(first.toString(QStringLiteral("dd.MM.yyyy"))))
        .replace(QStringLiteral(":date2"), QStringLiteral("'%1'").arg(next.toString(QStringLiteral("dd.MM.yyyy"))))
        .replace(QStringLiteral(":mnth"), QString::number(first.month()))
        .replace(QStringLiteral(":yea"), QString::number(first.year()));

    // Every side rewrites the month's prices: put back as they were at the end.
    bench::KeptRows prices(dm.ADO_DB, QStringLiteral("accounts_dep.fatigue"),
                           QStringLiteral("id_o = 7778 and i_mnth = :m and i_year = :y"),
                           {{QStringLiteral("m"), first.month()}, {QStringLiteral("y"), first.year()}});
    TForm25 form(dm);
    form.DTPcker1->setDate(day);
    const int rounds = 3;
    form.Button1Click();   // warm the caches
    QElapsedTimer t;
    t.start();
    for (int r = 0; r < rounds; ++r) form.Button1Click();
    const double windowMs = t.nsecsElapsed() / 1e6;
    const double originalMs = statementMs(server, original, rounds);
    const double oursMs = statementMs(server, ours, rounds);
    std::printf("recalculation x%d: window %.1f ms, psql with the products join %.1f ms, ratio %.2f (goal: well below 1)\n",
                rounds, windowMs, originalMs, windowMs / originalMs);
    std::printf("recalculation x%d: window %.1f ms, psql with the same statement %.1f ms, ratio %.2f (goal <= 1.3)\n",
                rounds, windowMs, oursMs, windowMs / oursMs);
    prices.restore();
    return 0;
}
