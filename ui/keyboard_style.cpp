#include "ui/keyboard_style.h"

#include <QAction>
#include <QMenuBar>
#include <QShortcut>

int KeyboardStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget, QStyleHintReturn* returnData) const
{
    if (hint == SH_MenuBar_AltKeyNavigation) return 1;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}

void openMenuBarOnF10(QWidget* window, QMenuBar* bar)
{
    auto* f10 = new QShortcut(QKeySequence(Qt::Key_F10), window);
    QObject::connect(f10, &QShortcut::activated, bar, [bar] {
        for (QAction* a : bar->actions())
            if (a->isVisible() && a->isEnabled() && !a->isSeparator()) {
                bar->setFocus(Qt::MenuBarFocusReason);
                bar->setActiveAction(a);
                return;
            }
    });
}
