#pragma once
#include <QString>
#include <QStringList>

/// The roles that the access codes select, and what each role may not use.
namespace access_rights {

enum class Role { None, Full, Planner, Foremen, Warehouse };

inline const QString kForemenCode = QStringLiteral("kolpant");

/// The role of a typed code: the text is trimmed, letter case counts; None for any other text.
Role roleForCode(const QString& typed);
/// A code of the role, for the windows that know the role by its code (a personal login's
/// role comes from its membership, not from a typed code); empty for None.
QString codeOf(Role role);

/// What a role loses: controls of a window, by object name, that it disables.
struct Restriction {
    Role role;
    QString window;       ///< "Form1", "Form18"
    QStringList controls; ///< object names of widgets or menu items
};

/// Every role's disabled controls, in one table. A menu the role may not use is listed with
/// every item in it.
const QList<Restriction>& restrictions();

/// The controls of a window that the role disables.
QStringList disabledControls(Role role, const QString& window);

/// Whether the role may use a control ("Form18", "Button2"); full access may use all.
inline bool mayUse(Role role, const QString& window, const QString& control)
{
    return role != Role::None && !disabledControls(role, window).contains(control);
}

/// Whether the menu "Табель" is open to the role (full access only).
inline bool mayUseTimesheets(Role role) { return role == Role::Full; }

/// The role as the status bar names it.
QString roleName(Role role);
/// The role in ASCII, as the client names itself to the server: "full", "planner", "foremen",
/// "warehouse", "none".
QString roleKey(Role role);

} // namespace access_rights
