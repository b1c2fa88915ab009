#pragma once
#include <QString>
#include <QStringView>
#include <QVariant>
#include <optional>
#include <stdexcept>

/// Thrown where an amount would take more digits than Money keeps exactly (about 38): an
/// amount is never carried on wrapped round.
class MoneyOverflow : public std::overflow_error {
public:
    MoneyOverflow();
};

/// An exact decimal amount: a price per piece or per hour, a sum, a total. It carries every
/// digit it was given or made of (mantissa / 10^scale, up to 38 significant digits), so that
/// a half at the fifth decimal is a half and a kopeck is a kopeck; it rounds only where asked.
/// The one type money travels in between the database, the rules, the screen and the files.
class Money {
public:
    enum class Rounding {
        HalfEven,          ///< a half goes to the even neighbour (the price rule)
        HalfAwayFromZero,  ///< a half goes away from zero (the server's numeric rounding)
    };

    Money() = default;
    /// A whole number of units.
    static Money units(qint64 value);
    /// "12.34", "-0,5", "1e-05", blanks around; nothing for anything else or for more digits than
    /// are kept exactly.
    static std::optional<Money> parse(QStringView text);
    /// A database value: numeric digits as text (exact), an integer, or a double taken in its
    /// shortest exact form ("0.1" is 0.1, not its binary neighbour). NULL and unreadable: 0.
    static Money fromValue(const QVariant& value);

    /// Rounded to that many decimals.
    Money rounded(int decimals, Rounding how = Rounding::HalfEven) const;

    /// Sums, differences and products throw MoneyOverflow rather than wrap round.
    Money operator+(const Money& other) const;
    Money operator-(const Money& other) const;
    Money operator-() const;
    Money operator*(const Money& other) const;
    Money operator*(qint64 factor) const;
    /// The quotient rounded half to even at that many decimals; nothing for a zero divisor. Meant
    /// for a share such as an amount without its coefficient, rounded again where it is shown:
    /// with 18 decimals the second rounding cannot move a kopeck.
    std::optional<Money> divided(const Money& divisor, int decimals = 18) const;
    Money& operator+=(const Money& other) { return *this = *this + other; }
    bool operator==(const Money& other) const { return compare(other) == 0; }
    bool operator<(const Money& other) const { return compare(other) < 0; }
    bool operator<=(const Money& other) const { return compare(other) <= 0; }
    bool operator>(const Money& other) const { return compare(other) > 0; }
    bool operator>=(const Money& other) const { return compare(other) >= 0; }
    bool isZero() const { return m_mantissa == 0; }
    bool isNegative() const { return m_mantissa < 0; }

    /// Digits with a point and no trailing zeros ("31.5", "-0.0001", "14"): what a statement binds.
    QString toString() const;
    /// For a check of magnitude or a chart, never for a sum that is shown or stored.
    double toDouble() const;

private:
    __extension__ typedef __int128 Wide;
    Money(Wide mantissa, int scale) : m_mantissa(mantissa), m_scale(scale) {}
    static Money aligned(const Money& m, int scale);
    /// The two at one scale: the finer one's; where the coarser one's digits would not fit at it,
    /// the finer one rounded to fewer decimals. Throws MoneyOverflow when even that cannot be.
    static std::pair<Money, Money> common(const Money& a, const Money& b);
    int compare(const Money& other) const;

    Wide m_mantissa = 0;
    int m_scale = 0;
};
