#include "rules/journal_entries.h"
#include "data/codes.h"
#include "data/dataset.h"
#include "data/references.h"
#include "data/statement.h"
#include "data/timesheet_cell.h"
#include "data/transaction.h"
#include "rules/entry_limits.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>
#include <QSqlQuery>
#include <QStringList>

namespace shift_entry {
namespace {

const QString kEntryAsStored = QStringLiteral(
    "select xmin::text as ver, w_id, i_id, o_id, smena, data, kol_vo, brak, color, time, cena "
    "from accounts_dep.smena where id=:id");
// The row stays locked to the end of the save: nobody changes it between the check and the write.
const QString kLockEntry = QStringLiteral(
    "select xmin::text as ver, w_id, smena, data from accounts_dep.smena where id=:id for update");

const QString kDuplicateAdd = QStringLiteral(
    "select count(id) as cnt from accounts_dep.SMENA where w_id=:w_id and o_id=:o_id and i_id=:i_id "
    "and data=:data and smena=:smena and color=:color");
const QString kDuplicateChange = QStringLiteral(
    "select count(id) as cnt from accounts_dep.SMENA where w_id=:w_id and o_id=:o_id and i_id=:i_id "
    "and data=:data and smena=:smena and id<>:id and color=:color");

const QString kSmenaInsert = QStringLiteral(
    "insert into accounts_dep.SMENA(w_id, i_id, o_id, cena, kol_vo, brak, data, smena, color, time, vvod,ok, "
    "prize, id_doc, id_doc_item, f_gds_qty_use, id_gds_use, id_cons_use) "
    "values(:w_id, :i_id, :o_id, :cena, :kol_vo, :brak, :data, :smena, :color, :time, :vvod, :ok, 0, 0, 0, 0, 0, 0) returning id");
const QString kSmenaUpdate = QStringLiteral(
    "update accounts_dep.SMENA set w_id=:w_id, i_id=:i_id, o_id=:o_id, cena=:cena, kol_vo=:kol_vo, brak=:brak, "
    "data=:data, smena=:smena, color=:color, time=:time, vvod=:vvod, prize=0, id_doc=0, id_doc_item=0, "
    "f_gds_qty_use=0, id_gds_use=0, id_cons_use=0 where id=:id");

// The entry's worker, product and operation are held to the end of the save: a deletion by
// another client waits for it (and then finds the entry), or went first and the save refuses.
// Taken before the entry's own row, which a product's deletion takes after the product.

// What the entry makes of the worker's day in its shift and of his month, read after the write
// under the month lock.
const QString kWorkerTotals = QStringLiteral(
    "select coalesce(sum(time) filter (where smena=:smena and data=:data), 0) as day_hours, "
    "coalesce(abs(sum((kol_vo-brak)*cena::numeric)), 0) as month_amount "
    "from accounts_dep.smena where w_id=:w_id and data>=:month_start and data<:next_month");

bool sameAsShown(const Dataset& stored, const Dataset& shown)
{
    for (const char* field : {"w_id", "i_id", "o_id", "smena", "brak", "color", "time"})
        if (stored.asLongLong(QLatin1String(field)) != shown.asLongLong(QLatin1String(field))) return false;
    return stored.asLongLong(QStringLiteral("kol_vo")) == shown.asLongLong(QStringLiteral("kol_vo")) &&
           Money::fromValue(stored.value(QStringLiteral("cena"))) == Money::fromValue(shown.value(QStringLiteral("cena"))) &&
           stored.asDate(QStringLiteral("data")) == shown.asDate(QStringLiteral("data"));
}

} // namespace

QString versionOf(const QSqlDatabase& db, const Dataset& journalRow)
{
    Dataset stored(db, kEntryAsStored);
    stored.setParam(QStringLiteral("id"), journalRow.asInt(QStringLiteral("id")));
    stored.open();
    if (stored.isEmpty() || !sameAsShown(stored, journalRow)) return {};
    return stored.asString(QStringLiteral("ver"));
}

QString outcomeMessage(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Saved: return {};
    case Outcome::Duplicate: return QStringLiteral("Позиция с такими параметрами уже заведена!");
    case Outcome::Stale:
        return QStringLiteral("Позицию уже изменил или удалил другой пользователь. Журнал обновлён; "
                              "откройте позицию заново.");
    case Outcome::WorkerGone:
        return QStringLiteral("Работник удалён из справочника другим пользователем. Позиция не записана: "
                              "выберите работника заново.");
    case Outcome::ProductGone:
        return QStringLiteral("Изделие удалено из справочника другим пользователем. Позиция не записана: "
                              "выберите операцию заново.");
    case Outcome::OperationGone:
        return QStringLiteral("Операция удалена из справочника другим пользователем. Позиция не записана: "
                              "выберите операцию заново.");
    case Outcome::DayHoursTooMany:
        return QStringLiteral("У работника за этот день в этой смене набралось бы больше %1 ч. Позиция не записана: "
                              "проверьте поле «Время».")
            .arg(entry_limits::kDayHours);
    case Outcome::MonthAmountTooLarge:
        return QStringLiteral("Сумма работника за месяц превысила бы %1 р. Позиция не записана: "
                              "проверьте поля «Кол-во» и «Брак».")
            .arg(entry_limits::monthAmountText());
    }
    return {};
}

namespace {
const QString kIzdelMarka = QStringLiteral("select marka from accounts_dep.izdel where id=:id");
const QString kPaint = QStringLiteral("КРАСКА");
} // namespace

QString operationCaption(const QString& marka, const QString& vid, int naimen)
{
    return marka.trimmed() + QStringLiteral("; ") + vid.trimmed() + QStringLiteral("; ") + codes::productKindText(naimen);
}

bool takesColour(const QString& operationCaption) { return operationCaption.toUpper().contains(kPaint); }

QString productMark(const QSqlDatabase& db, int productId)
{
    Dataset marka(db, kIzdelMarka);
    marka.setParam(QStringLiteral("id"), productId);
    marka.open();
    return marka.asString(QStringLiteral("marka"));
}

struct Writer::Statements {
    QSqlDatabase db;
    PreparedQuery holdWorker{db, references::holdText(references::Row::Worker)};
    PreparedQuery holdProduct{db, references::holdText(references::Row::Product)};
    PreparedQuery holdOperation{db, references::holdText(references::Row::Operation)};
    PreparedQuery totals{db, kWorkerTotals};
    PreparedQuery lockEntry{db, kLockEntry};
    PreparedQuery twinsOnAdd{db, kDuplicateAdd};
    PreparedQuery twinsOnChange{db, kDuplicateChange};
    PreparedQuery insert{db, kSmenaInsert};
    PreparedQuery update{db, kSmenaUpdate};
    timesheet_cell::JournalCells cells{db};
};

Writer::Writer(const QSqlDatabase& db) : m(new Statements{db}) {}
Writer::~Writer() = default;

void Writer::renew(PreparedQuery::Renewal when)
{
    for (PreparedQuery* q : {&m->holdWorker, &m->holdProduct, &m->holdOperation, &m->totals, &m->lockEntry,
                             &m->twinsOnAdd, &m->twinsOnChange, &m->insert, &m->update})
        q->renew(when);
    m->cells.renew(when);
}

Outcome Writer::save(const Entry& e) { return saveAll({e}).outcome; }

BatchOutcome Writer::saveAll(const QList<Entry>& entries)
{
    renew();
    try {
        return write(entries);
    } catch (const DbError& error) {
        // 26000: the server no longer knows a prepared statement, so it knows none of them.
        if (error.sqlState() == QLatin1String("26000")) renew(PreparedQuery::Renewal::Always);
        throw;
    }
}

namespace {

bool holds(PreparedQuery& hold, int id)
{
    QSqlQuery& row = hold.exec({{QStringLiteral("id"), id}});
    const bool held = row.next();
    row.finish();
    return held;
}

/// Where a changed entry stood before the save.
struct Place {
    int worker = 0;
    int shift = 0;
    QDate day;
};

} // namespace

BatchOutcome Writer::write(const QList<Entry>& entries)
{
    Transaction tx(m->db);
    for (int i = 0; i < entries.size(); ++i) {
        const Entry& e = entries.at(i);
        if (!holds(m->holdWorker, e.workerId)) return {Outcome::WorkerGone, i};
        if (!holds(m->holdProduct, e.productId)) return {Outcome::ProductGone, i};
        if (!holds(m->holdOperation, e.operationId)) return {Outcome::OperationGone, i};
    }
    QList<std::pair<int, QDate>> months;
    QList<Place> old(entries.size());
    for (int i = 0; i < entries.size(); ++i) {
        const Entry& e = entries.at(i);
        months.append({e.workerId, e.day});
        if (e.id == 0) continue;
        QSqlQuery& stored = m->lockEntry.exec({{QStringLiteral("id"), e.id}});
        if (!stored.next() || e.version.isEmpty() || stored.value(0).toString() != e.version) return {Outcome::Stale, i};
        old[i] = {stored.value(1).toInt(), stored.value(2).toInt(), stored.value(3).toDate()};
        stored.finish();
        months.append({old[i].worker, old[i].day});
    }
    // Under the same lock as the cell upkeep: two clients saving the same entry at once cannot
    // both find no twin. All months at once, in the one order every client takes them.
    m->cells.lockMonths(tx, months);

    QList<int> ids;
    for (int i = 0; i < entries.size(); ++i) {
        const Entry& e = entries.at(i);
        Params values = {{QStringLiteral("w_id"), e.workerId},   {QStringLiteral("o_id"), e.operationId},
                         {QStringLiteral("i_id"), e.productId},  {QStringLiteral("data"), e.day},
                         {QStringLiteral("smena"), e.shift},     {QStringLiteral("color"), e.colour},
                         {QStringLiteral("id"), e.id}};
        // An entry saved before it in the same transaction counts as a twin too.
        QSqlQuery& twins = (e.id != 0 ? m->twinsOnChange : m->twinsOnAdd).exec(values);
        const bool twin = twins.next() && twins.value(0).toLongLong() > 0;
        twins.finish();
        if (twin) return {Outcome::Duplicate, i};

        values += {{QStringLiteral("cena"), e.price.toString()},   {QStringLiteral("kol_vo"), e.quantity},
                   {QStringLiteral("brak"), e.defects}, {QStringLiteral("time"), e.hours},
                   {QStringLiteral("vvod"), e.keyedIn}, {QStringLiteral("ok"), codes::kMarkNew}};
        if (e.id != 0) {
            if (m->update.exec(values).numRowsAffected() != 1) return {Outcome::Stale, i};
            ids << e.id;
        } else {
            // The new entry's id comes back as its row (the query fetches row by row, so no count).
            QSqlQuery& added = m->insert.exec(values);
            const bool written = added.next();
            if (written) ids << added.value(0).toInt();
            added.finish();
            if (!written) return {Outcome::Stale, i};
        }

        const QDate monthStart(e.day.year(), e.day.month(), 1);
        QSqlQuery& totals = m->totals.exec({{QStringLiteral("w_id"), e.workerId}, {QStringLiteral("smena"), e.shift},
                                            {QStringLiteral("data"), e.day}, {QStringLiteral("month_start"), monthStart},
                                            {QStringLiteral("next_month"), monthStart.addMonths(1)}});
        totals.next();
        const qint64 dayHours = totals.value(0).toLongLong();
        const Money monthAmount = Money::fromValue(totals.value(1));
        totals.finish();
        if (dayHours > entry_limits::kDayHours) return {Outcome::DayHoursTooMany, i};
        if (monthAmount >= Money::units(entry_limits::kMonthAmount)) return {Outcome::MonthAmountTooLarge, i};

        m->cells.sync(tx, e.workerId, e.shift, e.day);
        // A change that moves the entry leaves hours behind in the cell it left.
        const Place& was = old.at(i);
        if (e.id != 0 && (was.worker != e.workerId || was.shift != e.shift || was.day != e.day))
            m->cells.sync(tx, was.worker, was.shift, was.day);
    }
    tx.commit();
    return {Outcome::Saved, -1, ids};
}

namespace {

// The cell to bring into step is the one of the row as it was deleted, which another client may
// have moved to another worker, shift or date since the grid was read.
const QString kDeleteEntry =
    QStringLiteral("delete from accounts_dep.smena where id=:id returning w_id, smena, data");
const QString kSetMark = QStringLiteral("update accounts_dep.smena set ok=:ok where id=:id");
// Each entry by its id and the mark the journal showed, in the order given; only a row that still
// has that mark is written.
const QString kSetMarks = QStringLiteral(
    "update accounts_dep.smena s set ok=:ok\n"
    "from (select i.id, w.was #>> '{}' as was\n"
    "      from unnest(cast(:ids as integer[])) with ordinality i(id, n)\n"
    "      join jsonb_array_elements(cast(:was as jsonb)) with ordinality w(was, n) on w.n = i.n) c\n"
    "where s.id = c.id and s.ok is not distinct from c.was\n"
    "returning s.id");

} // namespace

QString removalMessage(Removal removal)
{
    if (removal == Removal::AlreadyGone)
        return QStringLiteral("Эта позиция уже удалена другим пользователем. Журнал обновлён.");
    return {};
}

Removal remove(const QSqlDatabase& db, int id)
{
    // The entry and the timesheet cell it fed go together, or neither does.
    Transaction tx(db);
    Dataset gone(db, kDeleteEntry);
    gone.setParam(QStringLiteral("id"), id);
    gone.open();
    if (gone.isEmpty()) return Removal::AlreadyGone;
    timesheet_cell::syncJournal(db, tx, gone.asInt(QStringLiteral("w_id")), gone.asInt(QStringLiteral("smena")),
                                gone.asDate(QStringLiteral("data")));
    tx.commit();
    return Removal::Deleted;
}

void toggleApproval(const QSqlDatabase& db, int id, const QString& shownMark)
{
    execSql(db, kSetMark,
            {{QStringLiteral("id"), id},
             {QStringLiteral("ok"), codes::isApproved(shownMark) ? codes::kMarkNew : codes::kMarkApproved}});
}

QList<int> setMarks(const QSqlDatabase& db, const QList<ShownMark>& entries, bool approved)
{
    if (entries.isEmpty()) return {};
    QStringList ids;
    QJsonArray was;
    for (const ShownMark& e : entries) {
        ids << QString::number(e.id);
        was.append(e.mark.isNull() ? QJsonValue(QJsonValue::Null) : QJsonValue(e.mark));
    }
    Transaction tx(db);
    Statement update(kSetMarks);
    update.setParams({{QStringLiteral("ok"), approved ? codes::kMarkApproved : codes::kMarkNew},
                      {QStringLiteral("ids"), QStringLiteral("{%1}").arg(ids.join(QLatin1Char(',')))},
                      {QStringLiteral("was"), QString::fromUtf8(QJsonDocument(was).toJson(QJsonDocument::Compact))}});
    QSqlQuery q = update.exec(db);
    QSet<int> written;
    while (q.next()) written.insert(q.value(0).toInt());
    tx.commit();
    QList<int> left;
    for (const ShownMark& e : entries)
        if (!written.contains(e.id)) left << e.id;
    return left;
}

} // namespace shift_entry
