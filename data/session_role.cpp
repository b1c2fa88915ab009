#include "data/session_role.h"
#include "data/statement.h"

#include <QSqlQuery>

namespace session_role {

using access_rights::Role;

QString groupOf(Role role)
{
    switch (role) {
    case Role::Full: return QStringLiteral("tabel_full");
    case Role::Planner: return QStringLiteral("tabel_planner");
    case Role::Foremen: return QStringLiteral("tabel_foremen");
    case Role::Warehouse: return QStringLiteral("tabel_warehouse");
    case Role::None: break;
    }
    return {};
}

Role of(const QSqlDatabase& db)
{
    // The widest first; a group missing from the cluster (before the roles were made) is no match.
    QSqlQuery q = Statement(QStringLiteral(
        "select v.rank from (values ('tabel_full', 1), ('tabel_foremen', 2), ('tabel_warehouse', 3), ('tabel_planner', 4)) v(name, rank)\n"
        "join pg_roles r on r.rolname = v.name\n"
        "where pg_has_role(session_user, r.oid, 'member') order by v.rank limit 1")).exec(db);
    if (!q.next()) return Role::None;
    switch (q.value(0).toInt()) {
    case 1: return Role::Full;
    case 2: return Role::Foremen;
    case 3: return Role::Warehouse;
    default: return Role::Planner;
    }
}

bool mayChangeSchema(const QSqlDatabase& db)
{
    QSqlQuery q = Statement(QStringLiteral(
        "select r.rolsuper or coalesce((select pg_has_role(session_user, o.oid, 'member') from pg_roles o\n"
        "                                where o.rolname = 'tabel_owner'), false)\n"
        "from pg_roles r where r.rolname = session_user")).exec(db);
    return q.next() && q.value(0).toBool();
}

} // namespace session_role
