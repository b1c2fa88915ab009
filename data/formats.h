#pragma once
#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <optional>

class Money;

/// How numbers and dates are written for people, the same in grids, reports and exports.
namespace formats {

/// The general format: up to 15 significant digits, the workstation's decimal separator, no
/// thousands separator, no "-0"; empty for a value that is not finite.
QString general(double value);

/// An exact amount in the general format, from its digits: up to 15 significant digits (rounded
/// half away from zero beyond them), the workstation's decimal separator, no exponent.
QString general(const Money& value);

/// A database value in the general format: NULL empty, integers as they are, other numbers as
/// general(double), dates as dd.MM.yyyy (with the time when it is not midnight). numericText:
/// the value is exact numeric digits that arrived as text.
QString general(const QVariant& value, bool numericText = false);

/// A date as dd.MM.yyyy; empty for an invalid date.
QString date(const QDate& day);

/// A moment as dd.MM.yyyy hh:mm:ss, by its own clock; empty for an invalid moment.
QString dateTime(const QDateTime& moment);

/// "Январь" … "Декабрь"; month 1 to 12, empty otherwise.
QString monthName(int month);
/// The twelve month names; a drop-down's index plus 1 is the month number.
const QStringList& monthNames();

/// A number as a user types it: optional sign, digits with at most one decimal comma or point,
/// optional exponent, nothing around it. Numbers with more than 15 significant digits are not
/// read (they would lose digits).
std::optional<double> parseNumber(QStringView text);
/// A whole number written in digits only, as an option's value or a port is: no sign, no
/// spaces, at most 9 digits; nothing for any other text.
std::optional<int> parseDigits(QStringView text);
/// Whether parseNumber reads the text.
inline bool isNumeric(QStringView text) { return parseNumber(text).has_value(); }

/// A display mask such as "#0.00", "#0.000", "#0" or "#,##0.##": "0" a digit always shown,
/// "#" a digit shown when needed, "," in the integer part groups thousands. Numbers are rounded
/// half away from zero on their decimal digits; the decimal separator is the workstation's.
class Mask {
public:
    Mask() = default;
    /// The parsed mask, or nothing for a mask it does not understand.
    static std::optional<Mask> parse(const QString& mask);
    bool isEmpty() const { return m_text.isEmpty(); }
    const QString& text() const { return m_text; }
    QString format(double value) const;
    /// An exact amount, rounded half away from zero on its own digits.
    QString format(const Money& value) const;

private:
    /// The mask applied to the digits of a value already rounded to at most m_maxDecimals.
    QString layout(bool negative, QString integer, QString fraction) const;

    QString m_text;
    int m_minInteger = 0;
    int m_minDecimals = 0;
    int m_maxDecimals = 0;
    bool m_grouping = false;
};

} // namespace formats
