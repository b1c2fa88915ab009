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

// The name the owner's hold_reference() knows the row's table by.
QString kind(Row row)
{
    switch (row) {
    case Row::Worker: return QStringLiteral("person");
    case Row::Product: return QStringLiteral("product");
    case Row::Group: return QStringLiteral("group");
    case Row::OperationKind: return QStringLiteral("operation_kind");
    case Row::Operation: return QStringLiteral("operation");
    }
    return {};
}

// Runs a locking statement of one row (parameter :id); true when it gave the row.
bool lock(const QSqlDatabase& db, const QString& text, qlonglong id)
{
    Dataset held(db, text);
    held.setParam(QStringLiteral("id"), id);
    held.open();
    return !held.isEmpty();
}

} // namespace

bool hold(const QSqlDatabase& db, Row row, qlonglong id) { return lock(db, holdText(row), id); }

// Through the owner's function: a lock FOR KEY SHARE asks for a right to update the table, which
// those who only add entries do not have.
QString holdText(Row row)
{
    return QStringLiteral("select 1 where accounts_dep.hold_reference('%1', :id)").arg(kind(row));
}

bool lockForDelete(const QSqlDatabase& db, Row row, qlonglong id)
{
    return lock(db, QStringLiteral("select id from %1 where id=:id for update").arg(table(row)), id);
}

void lockNames(const QSqlDatabase& db, const QString& book)
{
    // Keyed by the book's own object id: the one-number key space of advisory locks is apart
    // from the two-number one that the timesheet's month locks use.
    execSql(db, QStringLiteral("select pg_advisory_xact_lock(cast(cast(cast(:book as regclass) as oid) as bigint))"),
            {{QStringLiteral("book"), book}});
}

} // namespace references
