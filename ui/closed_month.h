#pragma once
#include <QList>
#include <QVariant>
#include <QWidget>

/// Greys out the controls whose work a closed month refuses (its rebuild, its recalculation, its
/// entries), saying so in their tooltips, and gives back for an open month those it greyed. A
/// control disabled for another reason (the role, running work) is left as it is.
inline void greyForClosedMonth(const QList<QWidget*>& controls, bool closed)
{
    static constexpr const char* kGreyed = "tabel_greyed_tooltip";
    for (QWidget* w : controls) {
        if (!w) continue;
        const QVariant greyed = w->property(kGreyed);
        if (closed && !greyed.isValid() && !w->testAttribute(Qt::WA_ForceDisabled)) {
            w->setProperty(kGreyed, w->toolTip());
            w->setEnabled(false);
            w->setToolTip(QStringLiteral("Месяц закрыт: его записи, часы и табель не изменяются."));
        } else if (!closed && greyed.isValid()) {
            w->setToolTip(greyed.toString());
            w->setProperty(kGreyed, QVariant());
            w->setEnabled(true);
        }
    }
}
