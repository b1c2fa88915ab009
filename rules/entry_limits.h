#pragma once
#include <QString>
#include <limits>
#include <optional>

/// The bounds a journal or hour entry must keep so that every later step over it (the timesheet
/// cell, the month's pay sheets, the average-piecework recalculation) can hold what it sums.
namespace entry_limits {

/// A timesheet day cell is a smallint: a worker's hours of one day in one row stay within it.
inline constexpr qint64 kDayHours = std::numeric_limits<qint16>::max();
/// A worker's money of one month, piecework or hour-paid work, in roubles. The sheets keep a
/// worker's month in numeric(10,2) and the recalculation may raise it by 120 % (day off and
/// night): ten million leaves room for both, and no real month comes near it.
inline constexpr qint64 kMonthAmount = 10'000'000;

/// The largest value each number typed into a journal entry holds: its column (quantity and
/// colour are integers, defects a smallint) or the timesheet cell it feeds (hours).
inline constexpr qint64 kQuantityMax = std::numeric_limits<qint32>::max();
inline constexpr qint64 kColourMax = std::numeric_limits<qint32>::max();
inline constexpr qint64 kDefectsMax = std::numeric_limits<qint16>::max();
inline constexpr qint64 kHoursMax = std::numeric_limits<qint16>::max();

/// A field's text read as a whole number of 0 … max: digits only, blanks around allowed. Nothing
/// for a sign, a fraction, a letter, an empty text or a number beyond max.
inline std::optional<qint64> wholeNumber(const QString& text, qint64 max)
{
    const QString t = text.trimmed();
    if (t.isEmpty() || t.size() > 18) return std::nullopt;
    qint64 value = 0;
    for (const QChar c : t) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return std::nullopt;
        value = value * 10 + (c.unicode() - '0');
    }
    if (value > max) return std::nullopt;
    return value;
}

/// Whether the text is digits only (a whole number of any size).
inline bool allDigits(const QString& text)
{
    const QString t = text.trimmed();
    if (t.isEmpty()) return false;
    for (const QChar c : t)
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
    return true;
}

/// What a save says of a field's text that is no whole number of 0 … max, naming the field by
/// its caption; empty for such a number and for an empty text (which the completeness check
/// answers).
inline QString numberProblem(const QString& caption, const QString& text, qint64 max)
{
    if (text.trimmed().isEmpty() || wholeNumber(text, max)) return {};
    return allDigits(text) ? QStringLiteral("Слишком большое значение в поле «%1»: не больше %2.").arg(caption).arg(max)
                           : QStringLiteral("В поле «%1» должно быть целое число не меньше 0.").arg(caption);
}

/// kMonthAmount as a message writes it: digits in groups of three ("10 000 000").
inline QString monthAmountText()
{
    QString digits = QString::number(kMonthAmount);
    for (qsizetype i = digits.size() - 3; i > 0; i -= 3) digits.insert(i, QLatin1Char(' '));
    return digits;
}

} // namespace entry_limits
