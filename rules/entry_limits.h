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

/// kMonthAmount as a message writes it: digits in groups of three ("10 000 000").
inline QString monthAmountText()
{
    QString digits = QString::number(kMonthAmount);
    for (qsizetype i = digits.size() - 3; i > 0; i -= 3) digits.insert(i, QLatin1Char(' '));
    return digits;
}

} // namespace entry_limits
