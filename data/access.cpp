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

const QList<Restriction>& restrictions()
{
    static const QList<Restriction> table = {
        {Role::Planner, QStringLiteral("Form1"),
         {"Button1", "Button2", "Button3", "RadioButton1", "RadioButton2", "RadioButton3", "RadioButton4",
          "CBox1", "Button8", "DBGrid2", "N2", "N11", "DateT"}},
        {Role::Foremen, QStringLiteral("Form1"), {"Button2", "Button3", "N2", "N11"}},
        {Role::Foremen, QStringLiteral("Form18"), {"Button1", "Button2", "Button4", "Button6"}},
        {Role::Warehouse, QStringLiteral("Form1"), {"Button1", "Button2", "Button3", "N2", "N11"}},
        {Role::Warehouse, QStringLiteral("Form18"), {"Button1", "Button2", "Button4", "Button6", "RadioGroup1"}},
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

} // namespace access_rights
