#include "rules/month_summary.h"
#include "data/dataset.h"
#include "data/statement.h"

#include <QDate>
#include <QMap>
#include <algorithm>

namespace month_summary {

// The month's journal read once: the entries of the product kind asked (the operation's naimen,
// as the hub's filter has it) summed by day and shift, by the product's nomenclature group and
// by the operation kind at the same time; the groups and kinds named afterwards, a few rows.
const QString kJournal = QStringLiteral(
    "with a as (\n"
    "  select extract(day from s.data)::int as day, s.smena as shift, g.id_class_item as grp, o.vid as kind,\n"
    "         grouping(extract(day from s.data)::int, s.smena) as not_day, grouping(g.id_class_item) as not_group,\n"
    "         sum(s.kol_vo-s.brak) as pieces, sum((s.kol_vo-s.brak)*s.cena::numeric) as amount,\n"
    "         coalesce(sum(s.time),0) as hours, count(*) as entries,\n"
    "         count(*) filter (where s.ok in ('ok','да')) as approved\n"
    "  from accounts_dep.smena s\n"
    "  left join accounts_dep.oper o on o.id=s.o_id\n"
    "  left join cmn_gds_and_srv.gds_and_srv g on g.id=s.i_id\n"
    "  where s.data>=:d_from and s.data<:d_to and (:kind=0 or o.naimen=:kind-1)\n"
    "  group by grouping sets ((extract(day from s.data)::int, s.smena), (g.id_class_item), (o.vid)))\n"
    "select case when a.not_day=0 then 1 when a.not_group=0 then 2 else 3 end as part,\n"
    "       a.day, a.shift, coalesce(i.s_caption, v.vid, '') as name,\n"
    "       a.pieces, a.amount, a.hours, a.entries, a.approved\n"
    "from a\n"
    "left join cmn_classifier.item i on a.not_day<>0 and a.not_group=0 and i.id=a.grp\n"
    "left join accounts_dep.vid_oper v on a.not_day<>0 and a.not_group=1 and v.id=a.kind\n"
    "order by 1, 2, 3");

// The hour entries belong to no product kind: a month read for one has none.
const QString kHourEntries = QStringLiteral(
    "select extract(day from d_date)::int as day, id_o::int as kind, coalesce(sum(cnt),0) as hours,\n"
    "       coalesce(sum(cnt*price),0) as amount\n"
    "from accounts_dep.fatigue where d_date>=:d_from and d_date<:d_to and :kind=0\n"
    "group by 1, 2 order by 1, 2");

// Each month's money as the piecework sheets reckon their totals: the journal's amount of each
// worker rounded to kopecks, the hour entries' of each worker, kind and day/night; then added up.
const QString kMonths = QStringLiteral(
    "with s as (select extract(year from s.data)::int*100+extract(month from s.data)::int as ym, s.w_id,\n"
    "                  round(sum((s.kol_vo-s.brak)*s.cena::numeric), 2) as p, sum(s.time) as h\n"
    "           from accounts_dep.smena s left join accounts_dep.oper o on o.id=s.o_id\n"
    "           where s.data>=:h_from and s.data<:d_to and (:kind=0 or o.naimen=:kind-1) group by 1, 2),\n"
    "f as (select extract(year from d_date)::int*100+extract(month from d_date)::int as ym,\n"
    "             round(sum(cnt*price), 2) as p, sum(cnt) as h\n"
    "      from accounts_dep.fatigue where d_date>=:h_from and d_date<:d_to and :kind=0\n"
    "      group by 1, id_p, id_o, i_night)\n"
    "select ym/100 as year, ym%100 as month, sum(sp) as piecework, sum(fp) as hour_paid,\n"
    "       coalesce(sum(sh),0)+coalesce(sum(fh),0) as hours\n"
    "from (select ym, p as sp, null::numeric as fp, h as sh, null::bigint as fh from s\n"
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

    QMap<QString, Money> groups, kinds;
    QSqlQuery journal = bound(kJournal, request).exec(db);
    while (journal.next()) {
        const int part = journal.value(0).toInt();
        const Money amount = Money::fromValue(journal.value(5));
        if (part == 1) {
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

    QSqlQuery hours = bound(kHourEntries, request).exec(db);
    while (hours.next())
        out.hourDays << HourDay{hours.value(0).toInt(), hours.value(1).toInt(), hours.value(2).toLongLong(),
                                Money::fromValue(hours.value(3))};

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
