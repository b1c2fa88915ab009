#pragma once
#include "reports/engine/report_layout.h"

#include <QColor>
#include <QString>

/// What the print layouts share: colours, line heights and the texts that several print.
namespace report_style {

inline const QColor kGroupGrey(0xDD, 0xDD, 0xDD);
inline const QColor kTitleLight(0xEA, 0xF1, 0xFB);
inline constexpr double kLine = 4.5;        ///< one line of 8-point text, mm
inline constexpr double kSpacer = 2;        ///< the narrow band under a report header
inline constexpr double kTitleFont = 11;    ///< points

/// The product kind of a row.
inline const QString kKindText = QStringLiteral("IF(naimen=0,'Готовая продукция','Заготовки')");
/// The colour after the operation kind: none, primer, or the colour number.
inline const QString kColourText =
    QStringLiteral("if(color>0,if(color=1,' (грунт)',' (RAL: '+STR(color)+')'),' ')");

/// The first columns of a detailed report's line: brand, operation kind, colour, product kind.
inline constexpr Column kDetailMarka{0, 32}, kDetailVid{32, 38}, kDetailColour{70, 12}, kDetailKind{82, 32};
inline void addOperationColumns(Band& detail)
{
    detail.expr(QStringLiteral("marka"), kDetailMarka);
    detail.expr(QStringLiteral("vid"), kDetailVid);
    detail.expr(QStringLiteral("color"), kDetailColour).centre();
    detail.expr(kKindText, kDetailKind);
}

} // namespace report_style
