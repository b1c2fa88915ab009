#pragma once
// What keeps the benchmarks to the database bench/run.sh seeded for them: the seed's mark on
// that database, and rows put back as they were before a benchmark changed them.
#include "data/statement.h"
#include "data/transaction.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>

namespace bench {

/// The comment bench/seed_large.sql leaves on the database it has seeded (the seed writes the
/// same text); the benchmarks work in no database without it.
inline const QString kSeedMark = QStringLiteral(
    "tabel benchmarks: seeded by bench/seed_large.sql; the benchmarks change and delete its data");

/// Why the benchmarks must not touch the connection's database: empty when the database carries
/// the seed's mark, else a sentence naming the database.
inline QString refusal(const QSqlDatabase& db)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("select current_database(), "
                               "coalesce(shobj_description((select oid from pg_database where datname = current_database()), "
                               "'pg_database'), '')")) ||
        !q.next())
        return QStringLiteral("cannot read the mark of the database: %1").arg(q.lastError().text());
    if (q.value(1).toString() == kSeedMark) return {};
    return QStringLiteral("the database %1 was not seeded by bench/run.sh (it lacks the seed's mark); the benchmarks "
                          "change and delete data and work only in the database bench/run.sh seeds for them")
        .arg(q.value(0).toString());
}

/// Rows of a table keyed by id, as they were when kept (in a temporary table of the connection).
class KeptRows {
public:
    /// Keeps the rows of table that condition (an SQL condition with params) selects now.
    KeptRows(const QSqlDatabase& db, const QString& table, const QString& condition, const Params& params = {})
        : m_db(db), m_table(table), m_condition(condition), m_params(params),
          m_copy(QStringLiteral("kept_rows_%1").arg(++counter()))
    {
        execSql(m_db, QStringLiteral("create temporary table %1 (like %2)").arg(m_copy, m_table));
        execSql(m_db, QStringLiteral("insert into %1 select * from %2 where %3").arg(m_copy, m_table, m_condition), m_params);
    }

    /// In one transaction: deletes the rows the condition selects that were not kept (they
    /// appeared since), and puts back, with its id, every kept row changed or deleted since.
    void restore()
    {
        Transaction tx(m_db);
        execSql(m_db,
                QStringLiteral("delete from %1 t where (%2) and not exists (select 1 from %3 k where k.id = t.id)")
                    .arg(m_table, m_condition, m_copy),
                m_params);
        execSql(m_db, QStringLiteral("delete from %1 t using %2 k where t.id = k.id and row(t.*) is distinct from row(k.*)")
                          .arg(m_table, m_copy));
        execSql(m_db, QStringLiteral("insert into %1 select * from %2 k where not exists (select 1 from %1 t where t.id = k.id)")
                          .arg(m_table, m_copy));
        tx.commit();
    }

    ~KeptRows()
    {
        QSqlQuery(m_db).exec(QStringLiteral("drop table if exists %1").arg(m_copy));
    }
    KeptRows(const KeptRows&) = delete;
    KeptRows& operator=(const KeptRows&) = delete;

private:
    static int& counter()
    {
        static int n = 0;
        return n;
    }

    QSqlDatabase m_db;
    QString m_table;
    QString m_condition;
    Params m_params;
    QString m_copy;
};

} // namespace bench
