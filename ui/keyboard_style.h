#pragma once
#include <QProxyStyle>

/// The platform's look, with the menu bar reachable from the keyboard as on every desktop: Alt
/// pressed and let go alone highlights it (the arrows and the underlined letters then pick), as
/// F10 does in the windows that have a menu bar.
class KeyboardStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;
    int styleHint(StyleHint hint, const QStyleOption* option = nullptr, const QWidget* widget = nullptr,
                  QStyleHintReturn* returnData = nullptr) const override;
};

class QMenuBar;
class QWidget;

/// F10 in the window opens the first menu of its menu bar that may be opened.
void openMenuBarOnF10(QWidget* window, QMenuBar* bar);
