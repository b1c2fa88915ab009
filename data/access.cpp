#include "data/access.h"

namespace access_rights {

Role roleForCode(const QString& typed)
{
    const QString code = typed.trimmed();
    if (code == QLatin1String("61370452") || code == QLatin1String("3851")) return Role::Full;
    if (code == QLatin1String("brivet")) return Role::Planner;
    if (code == kForemenCode) return Role::Foremen;
    if (code == QLatin1String("frumo")) return Role::Warehouse;
    return Role::None;
}

QString codeOf(Role role)
{
    switch (role) {
    case Role::Full: return QStringLiteral("3851");
    case Role::Planner: return QStringLiteral("brivet");
    case Role::Foremen: return kForemenCode;
    case Role::Warehouse: return QStringLiteral("frumo");
    case Role::None: break;
    }
    return {};
}

namespace {
// A menu and every item in it: a disabled menu alone leaves its items reachable by shortcut.
const QStringList kRefBooks = {"N2", "N1", "N3", "N4", "N6", "N8"};
const QStringList kTimesheets = {"N11", "N9", "N13", "N14", "N15", "N17", "N18", "N19", "N20"};
const QStringList kHubRestricted = {"Button1", "Button2", "Button4", "Button6"};
} // namespace

const QList<Restriction>& restrictions()
{
    static const QList<Restriction> table = {
        {Role::Planner, QStringLiteral("Form1"),
         QStringList{"Button1", "BrigadeButton", "Button2", "Button3", "RadioButton1", "RadioButton2", "RadioButton3",
                     "RadioButton4", "CBox1", "Button8", "DBGrid2", "DateT"} + kRefBooks + kTimesheets},
        {Role::Foremen, QStringLiteral("Form1"), QStringList{"Button2", "Button3", "SummaryAction"} + kRefBooks + kTimesheets},
        {Role::Foremen, QStringLiteral("Form18"), kHubRestricted},
        {Role::Warehouse, QStringLiteral("Form1"),
         QStringList{"Button1", "BrigadeButton", "Button2", "Button3"} + kRefBooks + kTimesheets},
        {Role::Warehouse, QStringLiteral("Form18"), kHubRestricted + QStringList{"RadioGroup1"}},
    };
    return table;
}

QStringList disabledControls(Role role, const QString& window)
{
    QStringList out;
    for (const Restriction& r : restrictions())
        if (r.role == role && r.window == window) out += r.controls;
    return out;
}

QString roleName(Role role)
{
    switch (role) {
    case Role::Full: return QStringLiteral("полный доступ");
    case Role::Planner: return QStringLiteral("планировщик");
    case Role::Foremen: return QStringLiteral("мастер");
    case Role::Warehouse: return QStringLiteral("склад");
    case Role::None: break;
    }
    return QStringLiteral("нет доступа");
}

QString roleKey(Role role)
{
    switch (role) {
    case Role::Full: return QStringLiteral("full");
    case Role::Planner: return QStringLiteral("planner");
    case Role::Foremen: return QStringLiteral("foremen");
    case Role::Warehouse: return QStringLiteral("warehouse");
    case Role::None: break;
    }
    return QStringLiteral("none");
}

} // namespace access_rights
