#include "data/data_module.h"
#include "data/codes.h"

namespace sql {

const QString Workers = QStringLiteral("select * from accounts_dep.person order by fio");
const QString Izdel = QStringLiteral("select *  from accounts_dep.IZDEL order by marka");

const QString Oper = QStringLiteral(
    "select izdel.MARKA, vid_oper.VID, oper.NAIMEN, (SELECT (CASE naimen WHEN 0 THEN 'Готовая продукция' ELSE 'Заготовки' END)) as nmn,\n"
    "count(o_id) norma, min(price)::numeric cena,\n"
    "oper.id, oper.i_id, oper.VID as oper_vid from accounts_dep.norm,accounts_dep.OPER,accounts_dep.IZDEL,accounts_dep.VID_OPER where OPER.i_id=IZDEL.id and norm.o_id=oper.id\n"
    "and oper.vid=vid_oper.id group by izdel.MARKA, vid_oper.VID, oper.NAIMEN, oper.id, oper.i_id, oper.VID order by izdel.marka, vid_oper.vid, oper.naimen");

const QString Vid_oper = QStringLiteral("select * from accounts_dep.VID_OPER order by vid");

namespace {
// A shift of a day in the journal: its entries are read once; each worker among them is named
// once, by every person row that names him by id or by code (two probes through the primary key
// and the index of person_code_id), and each product once. A day of a plant's shift holds
// thousands of entries of a few thousand workers; comparing every person with every entry, or
// probing once an entry, cost that many times over.
QString journalShift(int shift, const QString& columns, const QString& order)
{
    return QStringLiteral(
               "with smena as materialized (select * from accounts_dep.smena where smena.smena=%1 and smena.data=:data and ok<>:ok),\n"
               "person as (select w.w_id, p.s_caption from (select distinct w_id from smena) w\n"
               "           cross join lateral (select p.s_caption from cmn_contractor.person p where p.id=w.w_id\n"
               "                               union all\n"
               "                               select p.s_caption from cmn_contractor.person p\n"
               "                               where accounts_dep.person_code_id(p.s_code)=w.w_id and p.id<>w.w_id) p),\n"
               "izdel as (select i.i_id as id, z.marka from (select distinct i_id from smena) i join accounts_dep.izdel z on z.id=i.i_id)\n"
               "select %2\n"
               "from smena join izdel on smena.i_id=izdel.id join accounts_dep.oper on smena.o_id=oper.id\n"
               "join accounts_dep.vid_oper on oper.vid=vid_oper.id\n"
               "join person on person.w_id=smena.w_id\n"
               "order by %3")
        .arg(shift)
        .arg(columns, order);
}
} // namespace

const QString Smena1 = journalShift(
    1,
    QStringLiteral("smena.id, smena.data, smena.smena, smena.i_id, smena.o_id, smena.w_id, \n"
    "smena.cena,person.s_caption fio, izdel.marka, vid_oper.vid, (SELECT (CASE naimen WHEN 0 THEN 'Готовая продукция' ELSE 'Заготовки' END)) as nmn, oper.naimen,  smena.brak, smena.kol_vo::numeric,\n"
    "round((kol_vo-brak)*smena.cena::numeric, 2) as summa, smena.prize, color,time, smena.ok, vvod, smena.id_doc, smena.id_doc_item, smena.f_gds_qty_use, smena.id_gds_use, smena.id_cons_use"),
    QStringLiteral("fio, izdel.marka, vid_oper.vid, oper.naimen, color"));

namespace {
QString smenaN(int shift, const QString& line2)
{
    return journalShift(
        shift,
        QStringLiteral("smena.data, smena.smena, smena.i_id, smena.o_id, smena.w_id, \n"
                       "%1\n"
                       "round((kol_vo-brak)*smena.cena::numeric, 2) as summa, smena.prize, smena.id, color,time,smena.ok,vvod, "
                       "smena.id_doc, smena.id_doc_item, smena.f_gds_qty_use, smena.id_gds_use, smena.id_cons_use  ")
            .arg(line2),
        QStringLiteral("fio"));
}

// A shift's timesheet rows of the month with the name of each person whose code names the worker,
// the row's hours, and the worker's journal earnings of the month (all shifts) in all and per
// hour of this row. The earnings are summed once per worker, not once per timesheet row.
QString hTabel(const QString& shifts, const QString& order)
{
    const QString summ = QStringLiteral(
        "(coalesce(d1,0)+coalesce(d2,0)+coalesce(d3,0)+coalesce(d4,0)+coalesce(d5,0)+coalesce(d6,0)+coalesce(d7,0)+coalesce(d8,0)+coalesce(d9,0)+coalesce(d10,0)+\n"
        "coalesce(d11,0)+coalesce(d12,0)+coalesce(d13,0)+coalesce(d14,0)+coalesce(d15,0)+coalesce(d16,0)+coalesce(d17,0)+coalesce(d18,0)+coalesce(d19,0)+coalesce(d20,0)+\n"
        "coalesce(d21,0)+coalesce(d22,0)+coalesce(d23,0)+coalesce(d24,0)+coalesce(d25,0)+coalesce(d26,0)+coalesce(d27,0)+coalesce(d28,0)+coalesce(d29,0)+coalesce(d30,0)+\n"
        "coalesce(d31,0))");
    return QStringLiteral(
               "select person.fio, \n"
               "%2 as summ, \n"
               "case when %2=0 then 0 else\n"
               "(s.earned/%2) end ::numeric(10,2) as average_price, s.earned::numeric(10,2) as cena_all,\n"
               "h_tabel.*\n"
               "from accounts_dep.h_tabel\n"
               "cross join lateral (select distinct p.s_caption as fio from cmn_contractor.person p\n"
               "                    where accounts_dep.person_code_id(p.s_code)=h_tabel.w_id) person\n"
               "join (select w_id, sum(cena::numeric*(kol_vo-brak)) as earned from accounts_dep.smena\n"
               "      where data >=:date1 and data <:date2 group by w_id) s on s.w_id = h_tabel.w_id\n"
               "where %1 and month=:mnth and h_tabel.year=:yea\n"
               "order by %3")
        .arg(shifts, summ, order);
}
} // namespace

const QString Smena2 = smenaN(2, QStringLiteral("smena.cena, s_caption fio, izdel.marka, vid_oper.vid, (SELECT (CASE naimen WHEN 0 THEN 'Готовая продукция' ELSE 'Заготовки' END)) as nmn, oper.naimen, smena.kol_vo::numeric, smena.brak, "));
const QString Smena3 = smenaN(3, QStringLiteral("smena.cena,s_caption fio, izdel.marka, vid_oper.vid, (SELECT (CASE naimen WHEN 0 THEN 'Готовая продукция' ELSE 'Заготовки' END)) as nmn,  oper.naimen, smena.kol_vo::numeric, smena.brak, "));
const QString Smena4 = smenaN(4, QStringLiteral("smena.cena,person.s_caption fio, izdel.marka, vid_oper.vid, (SELECT (CASE naimen WHEN 0 THEN 'Готовая продукция' ELSE 'Заготовки' END)) as nmn, oper.naimen, smena.kol_vo::numeric, smena.brak, "));

const QString H_Tabel_1 = hTabel(QStringLiteral("h_tabel.smena=1"), QStringLiteral("fio, h_tabel.w_id, h_tabel.id"));
const QString H_Tabel_2 = hTabel(QStringLiteral("h_tabel.smena=2"), QStringLiteral("fio, h_tabel.w_id, h_tabel.id"));
const QString H_Tabel_3 = hTabel(QStringLiteral("h_tabel.smena=3"), QStringLiteral("fio, h_tabel.w_id, h_tabel.id"));
const QString H_Tabel_123 =
    hTabel(QStringLiteral("h_tabel.smena in (1,2,3)"), QStringLiteral("h_tabel.smena, fio, h_tabel.w_id, h_tabel.id"));

const QString Oper_del = QStringLiteral("delete from accounts_dep.oper where id=:id");

} // namespace sql

TDataModule6::TDataModule6(const QSqlDatabase& db, Prompts& prompts, QObject* parent)
    : QObject(parent),
      ADO_DB(db),
      Workers(db, sql::Workers), Izdel(db, sql::Izdel), Oper(db, sql::Oper), Vid_oper(db, sql::Vid_oper),
      Smena1(db, sql::Smena1), Smena2(db, sql::Smena2), Smena3(db, sql::Smena3), Smena4(db, sql::Smena4),
      H_Tabel_1(db, sql::H_Tabel_1), H_Tabel_2(db, sql::H_Tabel_2), H_Tabel_3(db, sql::H_Tabel_3),
      Control(db),
      DelSmena(db), SQL_exec(db), H_Tabel_ins(db), Oper_ins(db), Oper_ed(db), Oper_del(db, sql::Oper_del),
      m_prompts(prompts)
{
    Workers.setObjectName(QStringLiteral("Workers"));
    Izdel.setObjectName(QStringLiteral("Izdel"));
    Oper.setObjectName(QStringLiteral("Oper"));
    Vid_oper.setObjectName(QStringLiteral("Vid_oper"));
    Control.setObjectName(QStringLiteral("Control"));
    Dataset* shifts[] = {&Smena1, &Smena2, &Smena3, &Smena4};
    for (int i = 0; i < 4; ++i) {
        shifts[i]->setObjectName(QStringLiteral("Smena%1").arg(i + 1));
        // The stored marks left out: "ok" for shift 1, "ta" for the others; the login sets "ta" on all.
        shifts[i]->setParam(QStringLiteral("ok"), i == 0 ? codes::kMarkApproved : codes::kMarkNone);
        shifts[i]->setFilterText(QStringLiteral("i_id<>7777"));
    }
    H_Tabel_1.setObjectName(QStringLiteral("H_Tabel_1"));
    H_Tabel_2.setObjectName(QStringLiteral("H_Tabel_2"));
    H_Tabel_3.setObjectName(QStringLiteral("H_Tabel_3"));
}

Dataset& TDataModule6::smenaQuery(int shift)
{
    switch (shift) {
    case 2: return Smena2;
    case 3: return Smena3;
    case 4: return Smena4;
    default: return Smena1;
    }
}

void TDataModule6::openShifts(const QDate& day)
{
    for (int shift = 1; shift <= 4; ++shift) {
        Dataset& q = smenaQuery(shift);
        q.close();
        q.setParam(QStringLiteral("DATA"), day);
        q.open();
    }
}

bool TDataModule6::CheckDuplicate(const QString& sql, const Params& params)
{
    Control.close();
    Control.clearSql();
    Control.addSql(sql);
    Control.setParams(params);
    Control.open();
    const bool twin = Control.asLongLong(QStringLiteral("cnt")) > 0;
    Control.close();
    return twin;
}

QString TDataModule6::NormalizeDecimal(const QString& text) const
{
    qsizetype at = text.indexOf(QLatin1Char(','));
    if (at < 0) at = text.indexOf(QLatin1Char('.'));
    if (at < 0) return text;
    QString result = text;
    result.replace(at, 1, DbDelimiter);
    return result;
}
