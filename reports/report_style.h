#pragma once
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

} // namespace report_style
