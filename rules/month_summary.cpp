#include "rules/month_summary.h"
#include "data/dataset.h"
#include "data/statement.h"
#include "data/transaction.h"

#include <QDate>
#include <QMap>
#include <algorithm>
#include <optional>

namespace month_summary {

// The month's journal read once: the entries of the product kind asked (the operation's naimen,
// as the hub's filter has it) summed by day and shift, by the product's nomenclature group, by
// the operation kind and by worker at the same time; the groups and kinds named afterwards, a few
// rows; the workers' amounts each rounded to kopecks and added up into one row, the month's
// piecework money as the piecework sheets reckon it.
const QString kJournal = QStringLiteral(
    "with a as (\n"
    "  select extract(day from s.data)::int as day, s.smena as shift, g.id_class_item as grp, o.vid as kind,\n"
    "         grouping(extract(day from s.data)::int, s.smena) as not_day, grouping(g.id_class_item) as not_group,\n"
    "         grouping(o.vid) as not_kind,\n"
    "         sum(s.kol_vo-s.brak) as pieces, sum((s.kol_vo-s.brak)*s.cena::numeric) as amount,\n"
    "         coalesce(sum(s.time),0) as hours, count(*) as entries,\n"
    "         count(*) filter (where s.ok in ('ok','да')) as approved\n"
    "  from accounts_dep.smena s\n"
    "  left join accounts_dep.oper o on o.id=s.o_id\n"
    "  left join cmn_gds_and_srv.gds_and_srv g on g.id=s.i_id\n"
    "  where s.data>=:d_from and s.data<:d_to and (:kind=0 or o.naimen=:kind-1)\n"
    "  group by grouping sets ((extract(day from s.data)::int, s.smena), (g.id_class_item), (o.vid), (s.w_id)))\n"
    "select case when a.not_day=0 then 1 when a.not_group=0 then 2 else 3 end as part,\n"
    "       a.day, a.shift, coalesce(i.s_caption, v.vid, '') as name,\n"
    "       a.pieces, a.amount, a.hours, a.entries, a.approved\n"
    "from a\n"
    "left join cmn_classifier.item i on a.not_day<>0 and a.not_group=0 and i.id=a.grp\n"
    "left join accounts_dep.vid_oper v on a.not_day<>0 and a.not_group<>0 and a.not_kind=0 and v.id=a.kind\n"
    "where a.not_day=0 or a.not_group=0 or a.not_kind=0\n"
    "union all\n"
    "select 4, null, null, '', null, sum(round(a.amount, 2)), null, null, null\n"
    "from a where a.not_day<>0 and a.not_group<>0 and a.not_kind<>0\n"
    "order by 1, 2, 3");

// The hour entries belong to no product kind: a month read for one has none.
const QString kHourEntries = QStringLiteral(
    "select extract(day from d_date)::int as day, id_o::int as kind, coalesce(sum(cnt),0) as hours,\n"
    "       coalesce(sum(cnt*price),0) as amount\n"
    "from accounts_dep.fatigue where d_date>=:d_from and d_date<:d_to and :kind=0\n"
    "group by 1, 2 order by 1, 2");

// The eleven months before the month asked, each's money as the piecework sheets reckon their
// totals: the journal's amount of each worker rounded to kopecks, the hour entries' of each
// worker, kind and day/night; then added up. A closed month's journal part is the one kept when
// it was closed; only the months without one are read from their entries, each by the index on
// the date. The hour entries (a few rows) are read for all twelve.
const QString kMonths = QStringLiteral(
    "with m as (select g.first::date as first, extract(year from g.first)::int as year,\n"
    "                  extract(month from g.first)::int as month\n"
    "           from generate_series(cast(:h_from as timestamp), cast(:d_from as timestamp) - interval '1 day',\n"
    "                                  interval '1 month') g(first)),\n"
    "k as (select m.year*100+m.month as ym, f.piecework, f.hours from m\n"
    "      join accounts_dep.month_figures f on f.year=m.year and f.month=m.month and f.product_kind=:kind\n"
    "      join accounts_dep.closed_month c on c.year=m.year and c.month=m.month),\n"
    "s as (select m.year*100+m.month as ym, w.p, w.h\n"
    "      from m cross join lateral (\n"
    "        select round(sum((s.kol_vo-s.brak)*s.cena::numeric), 2) as p, sum(s.time) as h\n"
    "        from accounts_dep.smena s left join accounts_dep.oper o on o.id=s.o_id\n"
    "        where s.data>=m.first and s.data<(m.first + interval '1 month')::date and (:kind=0 or o.naimen=:kind-1)\n"
    "        group by s.w_id) w\n"
    "      where not exists (select 1 from k where k.ym=m.year*100+m.month)),\n"
    "f as (select extract(year from d_date)::int*100+extract(month from d_date)::int as ym,\n"
    "             round(sum(cnt*price), 2) as p, sum(cnt) as h\n"
    "      from accounts_dep.fatigue where d_date>=:h_from and d_date<:d_to and :kind=0\n"
    "      group by 1, id_p, id_o, i_night)\n"
    "select ym/100 as year, ym%100 as month, sum(sp) as piecework, sum(fp) as hour_paid,\n"
    "       coalesce(sum(sh),0)+coalesce(sum(fh),0) as hours\n"
    "from (select ym, piecework as sp, null::numeric as fp, hours as sh, null::bigint as fh from k\n"
    "      union all select ym, p, null, h, null from s\n"
    "      union all select ym, null, p, null, h from f) x\n"
    "group by ym order by ym");

namespace {

Statement bound(const QString& text, const Request& r)
{
    Statement s(text);
    const QDate first(r.year, r.month, 1);
    const Params all = {{QStringLiteral("d_from"), first}, {QStringLiteral("d_to"), first.addMonths(1)},
                        {QStringLiteral("h_from"), first.addMonths(-11)}, {QStringLiteral("kind"), r.productKind}};
    for (const auto& [name, value] : all)
        if (s.hasParameter(name)) s.setParam(name, value);
    return s;
}

QList<Share> byName(const QMap<QString, Money>& sums)
{
    QList<Share> out;
    for (auto it = sums.cbegin(); it != sums.cend(); ++it) out << Share{it.key(), it.value()};
    std::stable_sort(out.begin(), out.end(), [](const Share& a, const Share& b) { return a.amount > b.amount; });
    return out;
}

} // namespace

Summary read(const QSqlDatabase& db, const Request& request)
{
    Summary out;
    out.request = request;
    out.daysInMonth = QDate(request.year, request.month, 1).daysInMonth();
    // The statements read one snapshot, so that the charts agree with each other while entries
    // are saved; inside a caller's transaction (the month-end set's), its own.
    std::optional<Transaction> snapshot;
    if (!isInTransaction(db)) {
        snapshot.emplace(db);
        execSql(db, QStringLiteral("set transaction isolation level repeatable read, read only"));
    }

    QMap<QString, Money> groups, kinds;
    Money piecework;   // the month's own, from its journal's pass
    qint64 hours = 0;
    QSqlQuery journal = bound(kJournal, request).exec(db);
    while (journal.next()) {
        const int part = journal.value(0).toInt();
        const Money amount = Money::fromValue(journal.value(5));
        if (part == 4) {
            piecework = amount;
        } else if (part == 1) {
            hours += journal.value(6).toLongLong();
            out.days << DayShift{journal.value(1).toInt(), journal.value(2).toInt(), journal.value(4).toLongLong(), amount,
                                 journal.value(6).toLongLong(), journal.value(7).toInt(), journal.value(8).toInt()};
        } else {
            // Groups and kinds of one name (or none) are one share, as the reports group by name.
            QMap<QString, Money>& into = part == 2 ? groups : kinds;
            into[journal.value(3).toString().trimmed()] += amount;
        }
    }
    out.groups = byName(groups);
    out.kinds = byName(kinds);

    QSqlQuery hourEntries = bound(kHourEntries, request).exec(db);
    while (hourEntries.next())
        out.hourDays << HourDay{hourEntries.value(0).toInt(), hourEntries.value(1).toInt(), hourEntries.value(2).toLongLong(),
                                Money::fromValue(hourEntries.value(3))};

    // Every one of the twelve months, those without entries too.
    const QDate first(request.year, request.month, 1);
    for (int back = 11; back >= 0; --back) {
        const QDate m = first.addMonths(-back);
        out.months << MonthFigure{m.month(), m.year(), {}, {}, 0};
    }
    QSqlQuery months = bound(kMonths, request).exec(db);
    while (months.next()) {
        const int year = months.value(0).toInt(), month = months.value(1).toInt();
        for (MonthFigure& f : out.months) {
            if (f.year != year || f.month != month) continue;
            f.piecework = Money::fromValue(months.value(2));
            f.hourPaid = Money::fromValue(months.value(3));
            f.hours = months.value(4).toLongLong();
        }
    }
    out.months.last().piecework += piecework;
    out.months.last().hours += hours;
    months.finish();
    if (snapshot) snapshot->commit();
    return out;
}

QList<Share> largest(const QList<Share>& shares, int n)
{
    if (shares.size() <= n) return shares;
    QList<Share> out = shares.mid(0, n);
    Share rest{QStringLiteral("Прочее"), {}};
    for (qsizetype i = n; i < shares.size(); ++i) rest.amount += shares.at(i).amount;
    out << rest;
    return out;
}

} // namespace month_summary
