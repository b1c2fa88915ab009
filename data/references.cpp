#include "data/references.h"
#include "data/dataset.h"

namespace references {
namespace {

QString table(Row row)
{
    switch (row) {
    case Row::Worker: return QStringLiteral("accounts_dep.person");
    case Row::Product: return QStringLiteral("cmn_gds_and_srv.gds_and_srv");
    case Row::Group: return QStringLiteral("cmn_classifier.item");
    case Row::OperationKind: return QStringLiteral("accounts_dep.vid_oper");
    case Row::Operation: return QStringLiteral("accounts_dep.oper");
    }
    return {};
}

QString lockText(Row row, const char* mode)
{
    return QStringLiteral("select id from %1 where id=:id for %2").arg(table(row), QLatin1String(mode));
}

bool lock(const QSqlDatabase& db, Row row, qlonglong id, const char* mode)
{
    Dataset held(db, lockText(row, mode));
    held.setParam(QStringLiteral("id"), id);
    held.open();
    return !held.isEmpty();
}

} // namespace

bool hold(const QSqlDatabase& db, Row row, qlonglong id) { return lock(db, row, id, "key share"); }

QString holdText(Row row) { return lockText(row, "key share"); }

bool lockForDelete(const QSqlDatabase& db, Row row, qlonglong id) { return lock(db, row, id, "update"); }

void lockNames(const QSqlDatabase& db, const QString& book)
{
    // Keyed by the book's own object id: the one-number key space of advisory locks is apart
    // from the two-number one that the timesheet's month locks use.
    execSql(db, QStringLiteral("select pg_advisory_xact_lock(cast(cast(cast(:book as regclass) as oid) as bigint))"),
            {{QStringLiteral("book"), book}});
}

} // namespace references
