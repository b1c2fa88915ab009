#include "data/timesheet_cell.h"
#include "data/codes.h"
#include "data/dataset.h"
#include "data/prepared_query.h"
#include "data/statement.h"
#include "data/transaction.h"

#include <algorithm>
#include <map>

namespace timesheet_cell {
namespace {

// One lock per worker and month: the read of the day's total and the write of the cell must
// not interleave with another client's, or the later write carries a stale total.
const QString kLock = QStringLiteral("select pg_advisory_xact_lock(:worker, :month)");

const QString kJournalHours = QStringLiteral(
    "select sum(time) as tim from accounts_dep.smena where w_id=:w_id and smena=:smena and data=:data "
    "group by w_id, smena, data");
const QString kJournalUpdate = QStringLiteral(
    "update accounts_dep.h_tabel set d%1=:tim where w_id=:w_id and smena=:smena and month=:month and year=:year");
const QString kJournalInsert = QStringLiteral(
    "insert into accounts_dep.h_tabel(smena, w_id, month, year, d%1) values(:smena, :w_id, :month, :year, :tim)");

const QString kHours = QStringLiteral(
    "select sum(cnt) as tim from accounts_dep.fatigue where id_p=:w_id and id_o=:kind and i_night=:night "
    "and d_date=:data");
const QString kHoursUpdate = QStringLiteral(
    "update accounts_dep.h_tabel set d%1=:tim where w_id=:w_id and i_type=:kind and i_night=:night "
    "and month=:month and year=:year");
const QString kHoursInsert = QStringLiteral(
    "insert into accounts_dep.h_tabel(w_id, month, year, i_type, i_night, d%1) "
    "values(:w_id, :month, :year, :kind, :night, :tim)");

int monthKey(const QDate& day) { return day.year() * 100 + day.month(); }

/// The statements of one kind of row; the day's column is part of the text, so each day has
/// its own update and insert, prepared when first needed.
class RowStatements {
public:
    RowStatements(const QSqlDatabase& db, const QString& total, const QString& update, const QString& insert)
        : m_db(db), m_lock(db, kLock), m_total(db, total), m_update(update), m_insert(insert) {}

    void lock(int workerId, const QDate& day)
    {
        m_lock.exec({{QStringLiteral("worker"), workerId}, {QStringLiteral("month"), monthKey(day)}});
    }

    void lockAll(QList<std::pair<int, QDate>> workerMonths)
    {
        QList<std::pair<int, int>> keys;
        for (const auto& [worker, day] : workerMonths) keys.append({worker, monthKey(day)});
        std::sort(keys.begin(), keys.end());
        keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
        for (const auto& [worker, month] : keys)
            m_lock.exec({{QStringLiteral("worker"), worker}, {QStringLiteral("month"), month}});
    }

    void sync(int workerId, const QDate& day, Params key)
    {
        lock(workerId, day);
        QSqlQuery& total = m_total.exec(key + Params{{QStringLiteral("data"), day}});
        // No entry that day: the day is empty (NULL). Entries of 0 hours: the day holds 0 and the
        // worker has his row, as the month rebuild makes it.
        QVariant tim(QMetaType(QMetaType::Int));
        if (total.next() && !total.value(0).isNull()) tim = total.value(0).toInt();
        total.finish();
        key.append({QStringLiteral("month"), day.month()});
        key.append({QStringLiteral("year"), day.year()});
        key.append({QStringLiteral("tim"), tim});
        if (forDay(m_updates, m_update, day).exec(key).numRowsAffected() > 0 || tim.isNull()) return;
        forDay(m_inserts, m_insert, day).exec(key);
    }

    void renew(PreparedQuery::Renewal when)
    {
        m_lock.renew(when);
        m_total.renew(when);
        for (auto* prepared : {&m_updates, &m_inserts})
            for (auto& [day, query] : *prepared) query.renew(when);
    }

private:
    PreparedQuery& forDay(std::map<int, PreparedQuery>& prepared, const QString& text, const QDate& day)
    {
        auto it = prepared.find(day.day());
        if (it == prepared.end()) it = prepared.try_emplace(day.day(), m_db, text.arg(day.day())).first;
        return it->second;
    }

    QSqlDatabase m_db;
    PreparedQuery m_lock;
    PreparedQuery m_total;
    QString m_update, m_insert;
    std::map<int, PreparedQuery> m_updates, m_inserts;
};

RowStatements journalRows(const QSqlDatabase& db) { return {db, kJournalHours, kJournalUpdate, kJournalInsert}; }

Params journalKey(int workerId, int shift) { return {{QStringLiteral("w_id"), workerId}, {QStringLiteral("smena"), shift}}; }

} // namespace

struct JournalCells::Statements {
    RowStatements rows;
};

JournalCells::JournalCells(const QSqlDatabase& db) : m(new Statements{journalRows(db)}) {}
JournalCells::~JournalCells() = default;

void JournalCells::lockMonths(Transaction&, QList<std::pair<int, QDate>> workerMonths)
{
    m->rows.lockAll(std::move(workerMonths));
}

void JournalCells::sync(Transaction&, int workerId, int shift, const QDate& day)
{
    m->rows.sync(workerId, day, journalKey(workerId, shift));
}

void JournalCells::renew(PreparedQuery::Renewal when) { m->rows.renew(when); }

void lockMonths(const QSqlDatabase& db, Transaction& inside, QList<std::pair<int, QDate>> workerMonths)
{
    JournalCells(db).lockMonths(inside, std::move(workerMonths));
}

void syncJournal(const QSqlDatabase& db, Transaction& inside, int workerId, int shift, const QDate& day)
{
    JournalCells(db).sync(inside, workerId, shift, day);
}

void syncHours(const QSqlDatabase& db, Transaction&, int workerId, int kind, int night, const QDate& day)
{
    RowStatements(db, kHours, kHoursUpdate, kHoursInsert)
        .sync(workerId, day, {{QStringLiteral("w_id"), workerId}, {QStringLiteral("kind"), kind},
                              {QStringLiteral("night"), night}});
}

} // namespace timesheet_cell
