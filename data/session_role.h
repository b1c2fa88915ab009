#pragma once
#include "data/access.h"

#include <QSqlDatabase>

/// The role of a personal login: the widest of the department's group roles it is a member of
/// (tabel_full, then tabel_foremen, tabel_warehouse, tabel_planner; a superuser is full access),
/// None for a login in none of them.
namespace session_role {

access_rights::Role of(const QSqlDatabase& db);

/// Whether the login may change the schema: a superuser, or a member of the schema's owner role.
bool mayChangeSchema(const QSqlDatabase& db);

/// The group role a role stands for ("tabel_full").
QString groupOf(access_rights::Role role);

} // namespace session_role
