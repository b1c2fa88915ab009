#include "rules/hour_entries.h"
#include "data/dataset.h"
#include "data/references.h"
#include "data/timesheet_cell.h"
#include "data/transaction.h"
#include "rules/entry_limits.h"

#include <QSqlQuery>

namespace hour_entry {
namespace {

const QString kInsert = QStringLiteral(
    "insert into accounts_dep.fatigue (id_nom, id_o, id_p, d_date, i_mnth, i_year, i_smena, cnt, price, i_holiday, i_night) "
    "values (:id_nom, :id_o, :id_p, :d_date, :i_mnth, :i_year, :i_smena, :cnt, :price, :i_holiday, :i_night) returning d_date");

// A change writes only over the entry as it was read: another client's change in between
// leaves no row to update and is reported instead of being overwritten.
const QString kUpdate = QStringLiteral(
    "update accounts_dep.fatigue set id_nom=:id_nom, id_o=:id_o, id_p=:id_p, cnt=:cnt, price=:price, "
    "i_holiday=:i_holiday, i_night=:i_night where id=:id and id_nom is not distinct from :old_id_nom "
    "and id_o is not distinct from :old_id_o and id_p is not distinct from :old_id_p "
    "and cnt is not distinct from :old_cnt and price is not distinct from :old_price "
    "and i_holiday is not distinct from :old_i_holiday and i_night is not distinct from :old_i_night returning d_date");

// What the entry makes of the worker's day in its timesheet row and of his month of hour-paid
// work, read after the write under the month lock.
const QString kWorkerTotals = QStringLiteral(
    "select coalesce(sum(cnt) filter (where id_o=:kind and i_night=:night and d_date=:day), 0) as day_hours, "
    "coalesce(abs(sum(cnt*price)), 0) as month_amount "
    "from accounts_dep.fatigue where id_p=:worker and d_date>=:month_start and d_date<:next_month");

// The deleted row itself tells whose cell to bring into step, whatever the list showed.
const QString kDelete = QStringLiteral(
    "delete from accounts_dep.fatigue where id=:id returning id_p, id_o, i_night, d_date");

const QStringList kCompared = {"id_nom", "id_o", "id_p", "cnt", "price", "i_holiday", "i_night"};

/// Whether the worker's totals with the entry can be kept.
Outcome totalsOutcome(const QSqlDatabase& db, int worker, int kind, int night, const QDate& day)
{
    const QDate monthStart(day.year(), day.month(), 1);
    Statement totals(kWorkerTotals);
    totals.setParams({{QStringLiteral("kind"), kind}, {QStringLiteral("night"), night}, {QStringLiteral("day"), day},
                      {QStringLiteral("worker"), worker}, {QStringLiteral("month_start"), monthStart},
                      {QStringLiteral("next_month"), monthStart.addMonths(1)}});
    QSqlQuery row = totals.exec(db);
    row.next();
    if (row.value(0).toLongLong() > entry_limits::kDayHours) return Outcome::DayHoursTooMany;
    if (Money::fromValue(row.value(1)) >= Money::units(entry_limits::kMonthAmount)) return Outcome::MonthAmountTooLarge;
    return Outcome::Saved;
}

} // namespace

Money hourlyPrice(const Money& normPrice, bool dayOff, bool night)
{
    Money price = normPrice;
    if (dayOff) price = price * 2;
    if (night) price = price * *Money::parse(u"1.2");
    return price;
}

Money sum(qint64 hours, const Money& normPrice, bool dayOff, bool night)
{
    return hourlyPrice(normPrice, dayOff, night) * hours;
}

Stored storedOf(const Dataset& row)
{
    Stored s;
    s.id = row.asInt(QStringLiteral("id"));
    s.workerId = row.asInt(QStringLiteral("id_p"));
    s.kind = row.asInt(QStringLiteral("id_o"));
    for (const QString& column : kCompared) s.values.append({QStringLiteral("old_") + column, row.value(column)});
    return s;
}

QString outcomeMessage(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Saved: return {};
    case Outcome::WorkerGone:
        return QStringLiteral("Работник удалён из справочника другим пользователем. Запись не сохранена: "
                              "выберите работника заново.");
    case Outcome::GroupGone:
        return QStringLiteral("Номенклатурная группа удалена другим пользователем. Запись не сохранена: "
                              "выберите группу заново.");
    case Outcome::ChangedMeanwhile:
        return QStringLiteral("Запись изменена или удалена другим пользователем. Список обновлён.");
    case Outcome::DayHoursTooMany:
        return QStringLiteral("У работника за этот день набралось бы больше %1 ч. Запись не сохранена: проверьте часы.")
            .arg(entry_limits::kDayHours);
    case Outcome::MonthAmountTooLarge:
        return QStringLiteral("Сумма работника за месяц превысила бы %1 р. Запись не сохранена: проверьте часы.")
            .arg(entry_limits::monthAmountText());
    }
    return {};
}

Outcome save(const QSqlDatabase& db, const Entry& e, const Stored* changed)
{
    const int night = e.night ? 1 : 0;
    Params values{{QStringLiteral("id_nom"), e.groupId},
                  {QStringLiteral("id_o"), e.kind},
                  {QStringLiteral("id_p"), e.workerId},
                  {QStringLiteral("cnt"), e.hours},
                  {QStringLiteral("price"), hourlyPrice(e.normPrice, e.dayOff, e.night).toString()},
                  {QStringLiteral("i_holiday"), e.dayOff ? 1 : 0},
                  {QStringLiteral("i_night"), night}};
    Transaction tx(db);
    // The worker and the nomenclature group are held to the end of the save, as a journal
    // entry holds its own: a deletion waits for the save, or went first and the save refuses.
    if (!references::hold(db, references::Row::Worker, e.workerId)) return Outcome::WorkerGone;
    if (!references::hold(db, references::Row::Group, e.groupId)) return Outcome::GroupGone;
    Statement write(changed ? kUpdate : kInsert);
    if (changed) {
        values += changed->values;
        values.append({QStringLiteral("id"), changed->id});
    } else {
        values += Params{{QStringLiteral("d_date"), e.day}, {QStringLiteral("i_mnth"), e.day.month()},
                         {QStringLiteral("i_year"), e.day.year()}, {QStringLiteral("i_smena"), e.shift}};
    }
    write.setParams(values);
    QSqlQuery saved = write.exec(db);
    if (!saved.next()) return Outcome::ChangedMeanwhile;
    const QDate entryDay = saved.value(0).toDate();
    saved.finish();
    const Outcome totals = totalsOutcome(db, e.workerId, e.kind, night, entryDay);
    if (totals != Outcome::Saved) return totals;
    timesheet_cell::syncHours(db, tx, e.workerId, e.kind, night, entryDay);
    // An entry moved to another worker or kind leaves hours behind in the cell it left.
    if (changed && (changed->workerId != e.workerId || changed->kind != e.kind))
        timesheet_cell::syncHours(db, tx, changed->workerId, changed->kind, night, entryDay);
    tx.commit();
    return Outcome::Saved;
}

QString removalMessage(Removal removal)
{
    if (removal == Removal::AlreadyGone) return QStringLiteral("Запись уже удалена другим пользователем.");
    return {};
}

Removal remove(const QSqlDatabase& db, int id)
{
    Transaction tx(db);
    Statement del(kDelete);
    del.setParam(QStringLiteral("id"), id);
    QSqlQuery row = del.exec(db);
    if (!row.next()) return Removal::AlreadyGone;
    timesheet_cell::syncHours(db, tx, int(Dataset::toLongLong(row.value(0))), int(Dataset::toLongLong(row.value(1))),
                              int(Dataset::toLongLong(row.value(2))), row.value(3).toDate());
    tx.commit();
    return Removal::Deleted;
}

// Each journal entry of the worker in the month counts as (kol_vo - brak) * cena with the repriced
// entry's own day-off (x2) and night (+20%) surcharges, per journal hour, rounded to kopecks; a
// worker without journal hours that month, or without a person row, gets 0. The join of the
// products that the first version of this statement carried multiplied the work by their number
// without changing a price; it is left out. The month's journal is read once for every worker and
// pair of flags that has entries, not once an entry, with the same arithmetic per journal entry.
// An entry without a worker or flags finds no average and gets 0, as it always did.
const QString kRecalculateAveragePiecework = QStringLiteral(
    "with a as (select k.id_p, k.i_holiday, k.i_night, case when coalesce(sum(s.time),0)::numeric(10,2)=0 then 0 "
    "else coalesce(sum((s.kol_vo-s.brak)*(s.cena::numeric*(1+k.i_holiday+k.i_night*0.2)))/sum(time),0)::numeric(10,2) "
    "end as price "
    "from (select distinct id_p, i_holiday, i_night from accounts_dep.fatigue "
    "where i_mnth = :mnth and i_year = :yea and id_o =7778) k "
    "join accounts_dep.person p on p.id=k.id_p "
    "join accounts_dep.smena s on s.w_id=p.id and s.data<:date2 and s.data>=:date1 "
    "group by k.id_p, k.i_holiday, k.i_night) "
    "update accounts_dep.fatigue f set price=coalesce(a.price,0) "
    "from accounts_dep.fatigue e left join a on a.id_p=e.id_p and a.i_holiday=e.i_holiday and a.i_night=e.i_night "
    "where f.id=e.id and e.i_mnth = :mnth and e.i_year = :yea and e.id_o =7778");

void recalculateAveragePiecework(const QSqlDatabase& db, const QDate& dayOfMonth)
{
    const QDate first(dayOfMonth.year(), dayOfMonth.month(), 1);
    Transaction tx(db);
    execSql(db, kRecalculateAveragePiecework,
            {{QStringLiteral("date1"), first}, {QStringLiteral("date2"), first.addMonths(1)},
             {QStringLiteral("mnth"), first.month()}, {QStringLiteral("yea"), first.year()}});
    tx.commit();
}

} // namespace hour_entry
