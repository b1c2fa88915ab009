#include "rules/sheet_statements.h"
#include "data/dataset.h"

namespace timesheet_days {

QString dayLines(const QString& pattern, const QString& separator)
{
    QStringList lines;
    for (int d = 1; d <= 31; ++d) lines << pattern.arg(d);
    return lines.join(separator);
}

DayKind kindOf(int day, int month, int year)
{
    const QDate first(year, month, 1);
    if (day > first.daysInMonth()) return DayKind::PastEnd;
    return QDate(year, month, day).dayOfWeek() >= Qt::Saturday ? DayKind::Weekend : DayKind::Workday;
}

} // namespace timesheet_days

QString sheet_statements::workerNameOf(const QString& idColumn)
{
    return QStringLiteral("(select p.s_caption from cmn_contractor.person p\n"
                          "where p.id=%1 or accounts_dep.person_code_id(p.s_code)=%1\n"
                          "order by accounts_dep.person_code_id(p.s_code) is distinct from %1, p.id limit 1)")
        .arg(idColumn);
}

namespace {

// The day columns of a month's timesheet rows summed per sheet row (in the rows' own select),
// and as the sheet's columns (outside it).
const QString kDaySums = timesheet_days::dayLines(QStringLiteral("sum(d%1) as d%1"), QStringLiteral(", "));
const QString kDayColumns = timesheet_days::dayLines(QStringLiteral("h.d%1"), QStringLiteral(", "));

// A sheet row is a worker of the timesheet rows (h.w_id, the worker id of the journal and hour
// entries), named as the journal finds him: by person id or by person code. When several person
// rows match, the one whose code names him wins, then the lowest id, so that a worker is one row
// with one name; a worker no person row names is left out, as in the journal. Each match is one
// probe through the primary key or the person_code_id index.
const QString kWorkerName = QStringLiteral("cross join lateral %1 p\n").arg(sheet_statements::workerNameOf(QStringLiteral("h.w_id")));

// Every sheet reads its month in a few passes, each source once: the month's timesheet rows summed
// per sheet row, the month's journal or hour entries summed per worker, joined by worker. A
// worker without entries has no hours or earnings (empty) and a rate of 0.
const QString kH_Tabel0 = QStringLiteral(
    "select p.s_caption fio, h.w_id id, h.i_type, s.i_time, s.f_price, coalesce(s.average_price, 0) average_price,\n"
    "%1\n"
    "from (select w_id, i_type, %2 from accounts_dep.h_tabel\n"
    "      where year=:i_year and month=:i_month and i_type=0 group by w_id, i_type) h\n"
    "%3"
    "left join (select w_id, sum(time) i_time, sum((kol_vo-brak)*cena::numeric)::numeric(10,2) f_price,\n"
    "                  case when coalesce(sum(time),0)::numeric(10,2)=0 then 0\n"
    "                       else coalesce(sum((kol_vo-brak)*cena::numeric)/sum(time),0)::numeric(10,2) end average_price\n"
    "           from accounts_dep.smena where data<:d_date1 and data>=:d_date2 group by w_id) s on s.w_id=h.w_id\n"
    "order by fio, id")
    .arg(kDayColumns, kDaySums, kWorkerName);

QString hoursSheet(int kind)
{
    return QStringLiteral(
               "select p.s_caption fio, h.w_id id, h.i_type, case when h.i_night=0 then 'дн.' else 'ноч.' end as s_night, h.i_night,\n"
               "f.i_time, f.f_price, coalesce(f.average_price, 0) average_price,\n"
               "%2\n"
               "from (select w_id, i_type, i_night, %3 from accounts_dep.h_tabel\n"
               "      where year=:i_year and month=:i_month and i_type=%1 group by w_id, i_type, i_night) h\n"
               "%4"
               "left join (select id_p, i_night, sum(cnt) i_time, sum(cnt*price)::numeric(10,2) f_price,\n"
               "                  case when coalesce(sum(cnt),0)::numeric(10,2)=0 then 0\n"
               "                       else coalesce(sum((cnt*price))/sum(cnt),0)::numeric(10,2) end average_price\n"
               "           from accounts_dep.fatigue where d_date<:d_date1 and d_date>=:d_date2 and id_o=%1\n"
               "           group by id_p, i_night) f on f.id_p=h.w_id and f.i_night=h.i_night\n"
               "order by fio, id, h.i_night")
        .arg(kind)
        .arg(kDayColumns, kDaySums, kWorkerName);
}

const QString kH_Tabel7777 = hoursSheet(7777);
const QString kH_Tabel7778 = hoursSheet(7778);

const QString kH_Tabel_all = QStringLiteral(
    "select p.s_caption fio, h.w_id id,\n"
    "coalesce(s.i_time,0)+coalesce(f.i_time,0) i_time,\n"
    "coalesce(s.f_price,0)+coalesce(f.f_price,0) f_price,\n"
    "%1\n"
    "from (select w_id, %2 from accounts_dep.h_tabel where year=:i_year and month=:i_month group by w_id) h\n"
    "%3"
    "left join (select w_id, sum(time) i_time, sum((kol_vo-brak)*cena::numeric)::numeric(10,2) f_price\n"
    "           from accounts_dep.smena where data<:d_date1 and data>=:d_date2 group by w_id) s on s.w_id=h.w_id\n"
    "left join (select id_p, sum(i_time) i_time, sum(f_price) f_price\n"
    "           from (select id_p, sum(cnt) i_time, sum(cnt*price)::numeric(10,2) f_price\n"
    "                 from accounts_dep.fatigue where d_date<:d_date7 and d_date>=:d_date8 group by id_p, id_o, i_night) k\n"
    "           group by id_p) f on f.id_p=h.w_id\n"
    "order by fio, id\n")
    .arg(kDayColumns, kDaySums, kWorkerName);

// A worker's pay of a month is his rounded amount of each sheet: the journal's per worker, the
// hour entries' per worker, kind and day/night, as the sheets' rows have them. A total of a sheet
// is the sum of those rounded amounts, so that it is the sum of the rows it stands under.
const QString kWorkersPiecework = QStringLiteral(
    "select w_id, round(sum((kol_vo-brak)*cena::numeric), 2) p from accounts_dep.smena\n"
    "where data<:d_date1 and data>=:d_date2 group by w_id");
const QString kWorkersHours = QStringLiteral(
    "select id_o, round(sum(cnt*price), 2) p from accounts_dep.fatigue\n"
    "where d_date<:d_date3 and d_date>=:d_date4 group by id_p, id_o, i_night");

// The period's good quantity by product group, colour, product kind and operation kind, with its
// mass (massExpr over izdel.massa and sum(s.kolvo)): the journal summed once per product,
// operation and colour, then the few sums joined to the products and added up. Ties of the
// product group come in the order of the other keys.
QString productsOutput(const QString& massExpr)
{
    return QStringLiteral(
               "select sum(s.kolvo)::numeric as kolvo, vid_oper.vid,\n"
               "izdel.nom, oper.naimen, s.color, %1 as mass\n"
               "from (select i_id, o_id, color, sum(kol_vo-brak) as kolvo from accounts_dep.smena\n"
               "      where data<:data2 and data>=:data1 group by i_id, o_id, color) s\n"
               "join accounts_dep.izdel on izdel.id=s.i_id\n"
               "join accounts_dep.oper on oper.id=s.o_id\n"
               "join accounts_dep.vid_oper on vid_oper.id=oper.vid\n"
               "group by izdel.nom, s.color, oper.naimen, vid_oper.vid, izdel.massa\n"
               "order by izdel.nom, s.color, oper.naimen, vid_oper.vid, izdel.massa")
        .arg(massExpr);
}

} // namespace

namespace piecework_mode {

QString statement(int mode)
{
    switch (mode) {
    case kUtilityWorks: return kH_Tabel7777;
    case kAveragePiecework: return kH_Tabel7778;
    case kGeneral: return kH_Tabel_all;
    default: return kH_Tabel0;
    }
}

void setPeriod(Dataset& query, int month, int year)
{
    const QDate first(year, month, 1);
    const QDate next = first.addMonths(1);
    for (int n = 1; n <= 8; ++n) {
        const QString name = QStringLiteral("d_date%1").arg(n);
        if (query.hasParameter(name)) query.setParam(name, n % 2 ? next : first);
    }
    if (query.hasParameter(QStringLiteral("i_month"))) query.setParam(QStringLiteral("i_month"), month);
    if (query.hasParameter(QStringLiteral("i_year"))) query.setParam(QStringLiteral("i_year"), year);
}

} // namespace piecework_mode

namespace sheet_statements {

const QString kTimeTimesheet = QStringLiteral(
    "select person.s_caption fio,sum(d1) as sd1,sum(d2) as sd2,sum(d3) as sd3,sum(d4) as sd4,\n"
    "sum(d5) as sd5,sum(d6) as sd6,sum(d7) as sd7,sum(d8) as sd8,sum(d9) as sd9,\n"
    "sum(d10) as sd10,sum(d11) as sd11,sum(d12) as sd12,sum(d13) as sd13,\n"
    "sum(d14) as sd14,sum(d15) as sd15,sum(d16) as sd16,sum(d17) as sd17,\n"
    "sum(d18) as sd18,sum(d19) as sd19,sum(d20) as sd20,sum(d21) as sd21,\n"
    "sum(d22) as sd22,sum(d23) as sd23,sum(d24) as sd24,sum(d25) as sd25,\n"
    "sum(d26) as sd26,sum(d27) as sd27,sum(d28) as sd28,sum(d29) as sd29,\n"
    "sum(d30) as sd30,sum(d31) as sd31 from accounts_dep.h_tabel, cmn_contractor.person person where\n"
    "h_tabel.w_id=accounts_dep.person_code_id(person.s_code) and month=:mnth and\n"
    "year=:yea group by fio order by fio");

// The four totals under the piecework sheets from one reading of the journal and one of the hour
// entries. A month with journal entries but no hour entries, or the other way round, still has
// a total of all.
const QString kTotals = QStringLiteral(
    "with s as (%1),\n"
    "f as (%2)\n"
    "select (select sum(p) from f where id_o=%3) as average_piecework,\n"
    "       (select sum(p) from f where id_o=%4) as utility_works,\n"
    "       (select sum(p) from s) as piecework,\n"
    "       coalesce((select sum(p) from s), 0) + coalesce((select sum(p) from f), 0) as price")
    .arg(kWorkersPiecework, kWorkersHours)
    .arg(7778)
    .arg(7777);

const QString kXlsRep = productsOutput(QStringLiteral("izdel.massa*sum(s.kolvo)"));

// The period's journal grouped first; the hour entries summed once per worker (and nomenclature
// group) and for the whole period, and joined to the groups.
// The journal of the period summed first per worker, product, operation and colour (integer keys,
// hashed), and only those sums named and summed again under the report's keys: a month of a plant
// is half a million entries but a third as many sums, and sorting the entries by names spilled to
// disk. The amounts are exact decimals, so summing in two steps gives the same totals.
const QString kWorkerReport = QStringLiteral(
    "select g.fio, g.kolvo, g.vid, g.summa, g.nom, g.naimen, g.color,\n"
    "coalesce(fn.f_sum7,0)::numeric(10,2) f_sum7, coalesce(fn.f_sum8,0)::numeric(10,2) f_sum8,\n"
    "coalesce(fw.f_sum78,0)::numeric(10,2) f_sum78, t.f_sum7_all, t.f_sum8_all\n"
    "from (select person.s_caption fio, sum(e.kolvo)::numeric(10,2) as kolvo, vid_oper.vid,\n"
    "      sum(e.summa)::numeric(10,2) as summa, izdel.nom, oper.naimen, e.color, e.w_id, izdel.id_nom\n"
    "      from (select w_id, i_id, o_id, color, sum(kol_vo-brak) as kolvo, sum((kol_vo-brak)*cena::numeric) as summa\n"
    "            from accounts_dep.smena where data<:data2 and data>=:data1 group by w_id, i_id, o_id, color) e\n"
    "      join cmn_contractor.person person on accounts_dep.person_code_id(person.s_code)=e.w_id\n"
    "      join accounts_dep.izdel on izdel.id=e.i_id\n"
    "      join accounts_dep.oper on oper.id=e.o_id\n"
    "      join accounts_dep.vid_oper on vid_oper.id=oper.vid\n"
    "      group by person.s_caption, izdel.nom, vid_oper.vid, e.w_id, izdel.id_nom, oper.naimen, e.color) g\n"
    "left join (select id_p, id_nom, sum(cnt*price) filter (where id_o=7777) f_sum7, sum(cnt*price) filter (where id_o=7778) f_sum8\n"
    "           from accounts_dep.fatigue where d_date<:data4 and d_date>=:data3 group by id_p, id_nom) fn\n"
    "       on fn.id_p=g.w_id and fn.id_nom=g.id_nom\n"
    "left join (select id_p, sum(cnt*price) f_sum78 from accounts_dep.fatigue\n"
    "           where d_date<:data4 and d_date>=:data3 group by id_p) fw on fw.id_p=g.w_id\n"
    "cross join (select coalesce(sum(cnt*price) filter (where id_o=7777),0)::numeric(10,2) f_sum7_all,\n"
    "                   coalesce(sum(cnt*price) filter (where id_o=7778),0)::numeric(10,2) f_sum8_all\n"
    "            from accounts_dep.fatigue where d_date<:data4 and d_date>=:data3) t\n"
    "order by g.fio, g.nom, g.vid, g.naimen, g.color, g.w_id");

const QString kProductReport = productsOutput(QStringLiteral("round((izdel.massa*sum(s.kolvo))::numeric,2)"));

// Summed in two steps as the workers report is; the bonus is reckoned in floating point, as
// before, and may differ from a one-step sum in its last digits.
const QString kWorkerDetailedReport = QStringLiteral(
    "select g.fio, g.marka, g.vid, g.naimen, g.sum_time, g.kolvo, g.brk, g.summa, g.color, g.s_prize,\n"
    "coalesce(fw.f_sum7,0)::numeric(10,2) f_sum7, coalesce(fw.f_sum7_n,0)::numeric(10,2) f_sum7_n,\n"
    "coalesce(fw.f_sum8,0)::numeric(10,2) f_sum8, coalesce(fw.f_sum8_n,0)::numeric(10,2) f_sum8_n,\n"
    "coalesce(fw.f_sum7h,0)::numeric(10,2) f_sum7h, coalesce(fw.f_sum7h_n,0)::numeric(10,2) f_sum7h_n,\n"
    "coalesce(fw.f_sum8h,0)::numeric(10,2) f_sum8h, coalesce(fw.f_sum8h_n,0)::numeric(10,2) f_sum8h_n,\n"
    "t.f_sum7_all, t.f_sum8_all\n"
    "from (select person.s_caption fio, izdel.marka, vid_oper.vid, oper.naimen, sum(e.sum_time) as sum_time,\n"
    "      sum(e.kolvo)::numeric as kolvo, sum(e.brk) as brk, sum(e.summa) as summa, e.color, sum(e.s_prize) as s_prize, e.w_id\n"
    "      from (select w_id, i_id, o_id, color, sum(time) as sum_time, sum(kol_vo) as kolvo, sum(brak) as brk,\n"
    "                   sum((kol_vo-brak)*cena::numeric) as summa, sum(prize*(kol_vo-brak)*cena/100) as s_prize\n"
    "            from accounts_dep.smena where data<:data2 and data>=:data1 group by w_id, i_id, o_id, color) e\n"
    "      join cmn_contractor.person person on accounts_dep.person_code_id(person.s_code)=e.w_id\n"
    "      join accounts_dep.izdel on izdel.id=e.i_id\n"
    "      join accounts_dep.oper on oper.id=e.o_id\n"
    "      join accounts_dep.vid_oper on vid_oper.id=oper.vid\n"
    "      group by person.s_caption, izdel.marka, vid_oper.vid, oper.naimen, e.color, e.w_id) g\n"
    "left join (select id_p,\n"
    "           sum(cnt*price) filter (where id_o=7777 and i_night=0) f_sum7, sum(cnt*price) filter (where id_o=7777 and i_night=1) f_sum7_n,\n"
    "           sum(cnt*price) filter (where id_o=7778 and i_night=0) f_sum8, sum(cnt*price) filter (where id_o=7778 and i_night=1) f_sum8_n,\n"
    "           sum(cnt) filter (where id_o=7777 and i_night=0) f_sum7h, sum(cnt) filter (where id_o=7777 and i_night=1) f_sum7h_n,\n"
    "           sum(cnt) filter (where id_o=7778 and i_night=0) f_sum8h, sum(cnt) filter (where id_o=7778 and i_night=1) f_sum8h_n\n"
    "           from accounts_dep.fatigue where d_date<:data4 and d_date>=:data3 group by id_p) fw on fw.id_p=g.w_id\n"
    "cross join (select coalesce(sum(cnt*price) filter (where id_o=7777),0)::numeric(10,2) f_sum7_all,\n"
    "                   coalesce(sum(cnt*price) filter (where id_o=7778),0)::numeric(10,2) f_sum8_all\n"
    "            from accounts_dep.fatigue where d_date<:data4 and d_date>=:data3) t\n"
    "order by g.fio, g.marka, g.vid, g.naimen, g.color, g.w_id");

// The journal summed once per product, operation and colour, the few sums then named and added
// up per product; the amounts are the same sums added in another order. The products are joined
// by their own integer id (the view's is numeric, which would sort the sums to merge them).
const QString kProductDetailedReport = QStringLiteral(
    "select g.s_caption as marka, vid_oper.vid vid, oper.naimen, i.s_caption as nom,\n"
    "sum(s.kolvo)::numeric as kolvo, sum(s.brk) as brk,\n"
    "sum(s.summa) as summa, s.color, round((g.massa*sum(s.kolvo))::numeric,2) as mass\n"
    "from (select i_id, o_id, color, sum(kol_vo) as kolvo, sum(brak) as brk, sum((kol_vo-brak)*cena::numeric) as summa\n"
    "      from accounts_dep.smena where data<:data2 and data>=:data1 group by i_id, o_id, color) s\n"
    "join cmn_gds_and_srv.gds_and_srv g on g.id=s.i_id\n"
    "left join cmn_classifier.item i on i.id=g.id_class_item\n"
    "join accounts_dep.oper on oper.id=s.o_id\n"
    "join accounts_dep.vid_oper on vid_oper.id=oper.vid\n"
    "group by i.s_caption, g.s_caption, vid_oper.vid, oper.naimen, s.color, g.massa\n"
    "order by nom, marka, vid_oper.vid, oper.naimen");

void setMonth(Dataset& query, int month, int year)
{
    query.setParam(QStringLiteral("mnth"), month);
    query.setParam(QStringLiteral("yea"), year);
}

void setPeriod(Dataset& query, const QDate& from, const QDate& to)
{
    for (int i = 1; query.hasParameter(QStringLiteral("data%1").arg(i)); ++i)
        query.setParam(QStringLiteral("data%1").arg(i), i % 2 == 1 ? from : to);
}

void setProductKindFilter(Dataset& query, int kind)
{
    if (kind == 1 || kind == 2) {
        query.setFilterText(kind == 1 ? QStringLiteral("naimen=0") : QStringLiteral("naimen=1"));
        query.setFiltered(true);
    } else {
        query.setFiltered(false);
    }
}

} // namespace sheet_statements
