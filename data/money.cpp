#include "data/money.h"

#include <QLocale>
#include <algorithm>

namespace {

constexpr int kMaxDigits = 20;   // significant digits taken from a text
constexpr int kMaxScale = 40;
constexpr int kWidestPower = 37;  // 10^37 is the largest power of ten a mantissa holds

__extension__ typedef __int128 Wide;

Wide pow10(int n)
{
    Wide p = 1;
    while (n-- > 0) p *= 10;
    return p;
}

bool fitsPower(int n) { return n >= 0 && n <= kWidestPower + 1; }   // 10^38 still fits

} // namespace

MoneyOverflow::MoneyOverflow() : std::overflow_error("Сумма вне пределов точного счета (больше 38 значащих цифр)") {}

Money Money::units(qint64 value) { return {Wide(value), 0}; }

std::optional<Money> Money::parse(QStringView text)
{
    const QStringView t = text.trimmed();
    if (t.isEmpty()) return std::nullopt;
    Wide mantissa = 0;
    int scale = 0;
    qsizetype i = 0;
    bool negative = false;
    if (t.at(0) == QLatin1Char('-') || t.at(0) == QLatin1Char('+')) {
        negative = t.at(0) == QLatin1Char('-');
        ++i;
    }
    int digits = 0;
    bool point = false, any = false;
    for (; i < t.size(); ++i) {
        const QChar c = t.at(i);
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
            any = true;
            if (mantissa == 0 && c == QLatin1Char('0')) {
                if (point) ++scale;
                continue;
            }
            if (++digits > kMaxDigits) return std::nullopt;
            mantissa = mantissa * 10 + (c.unicode() - '0');
            if (point) ++scale;
        } else if ((c == QLatin1Char('.') || c == QLatin1Char(',')) && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (!any) return std::nullopt;
    if (i < t.size()) {
        if (t.at(i) != QLatin1Char('e') && t.at(i) != QLatin1Char('E')) return std::nullopt;
        bool ok = false;
        const int exponent = t.mid(i + 1).toInt(&ok);
        if (!ok || exponent < -kMaxScale || exponent > kMaxDigits) return std::nullopt;
        scale -= exponent;
        if (scale < 0) {
            if (!fitsPower(-scale) || __builtin_mul_overflow(mantissa, pow10(-scale), &mantissa)) return std::nullopt;
            scale = 0;
        }
    }
    if (scale > kMaxScale) return std::nullopt;
    return Money(negative ? -mantissa : mantissa, scale);
}

Money Money::fromValue(const QVariant& value)
{
    if (value.isNull()) return {};
    switch (value.userType()) {
    case QMetaType::Int: case QMetaType::LongLong: case QMetaType::Short:
    case QMetaType::UInt: case QMetaType::ULongLong: case QMetaType::UShort:
        return units(value.toLongLong());
    case QMetaType::Double: case QMetaType::Float: {
        const double d = value.toDouble();
        return parse(QString::number(d, 'g', QLocale::FloatingPointShortest)).value_or(Money());
    }
    default:
        break;
    }
    if (auto exact = parse(value.toString())) return *exact;
    // Too many digits to keep exactly: the nearest double, in its shortest exact form.
    bool ok = false;
    const double d = value.toString().trimmed().toDouble(&ok);
    return ok ? parse(QString::number(d, 'g', QLocale::FloatingPointShortest)).value_or(Money()) : Money();
}

Money Money::rounded(int decimals, Rounding how) const
{
    if (m_scale <= decimals) return aligned(*this, decimals);
    const int drop = m_scale - decimals;
    // A mantissa is below 2 * 10^38: dropping more digits than that leaves less than a half.
    if (!fitsPower(drop)) return {0, decimals};
    const bool negative = m_mantissa < 0;
    const Wide m = negative ? -m_mantissa : m_mantissa;
    const Wide unit = pow10(drop);
    Wide q = m / unit;
    const Wide r = m % unit;
    const Wide rest = unit - r;   // compared with r, not 2 * r, which may not fit
    const bool up = how == Rounding::HalfEven ? (r > rest || (r == rest && (q % 2) != 0)) : r >= rest;
    if (up) ++q;
    return {negative ? -q : q, decimals};
}

Money Money::aligned(const Money& m, int scale)
{
    if (m.m_scale >= scale) return m;
    Wide mantissa = 0;
    if (!fitsPower(scale - m.m_scale) || __builtin_mul_overflow(m.m_mantissa, pow10(scale - m.m_scale), &mantissa))
        throw MoneyOverflow();
    return {mantissa, scale};
}

std::pair<Money, Money> Money::common(const Money& a, const Money& b)
{
    // Decimals far below a kopeck give way to the digits of a large amount.
    for (int scale = std::max(a.m_scale, b.m_scale); scale >= std::min(a.m_scale, b.m_scale); --scale) {
        try {
            return {aligned(a.rounded(std::min(a.m_scale, scale)), scale), aligned(b.rounded(std::min(b.m_scale, scale)), scale)};
        } catch (const MoneyOverflow&) {
        }
    }
    throw MoneyOverflow();
}

Money Money::operator+(const Money& other) const
{
    const auto [a, b] = common(*this, other);
    Wide sum = 0;
    if (__builtin_add_overflow(a.m_mantissa, b.m_mantissa, &sum)) throw MoneyOverflow();
    return {sum, a.m_scale};
}

Money Money::operator-(const Money& other) const { return *this + (-other); }
Money Money::operator-() const
{
    Wide negated = 0;
    if (__builtin_sub_overflow(Wide(0), m_mantissa, &negated)) throw MoneyOverflow();
    return {negated, m_scale};
}

Money Money::operator*(const Money& other) const
{
    Wide mantissa = 0;
    if (__builtin_mul_overflow(m_mantissa, other.m_mantissa, &mantissa)) {
        // Too many digits for one product: drop the finest decimals of the finer factor first.
        const Money& finer = m_scale >= other.m_scale ? *this : other;
        const Money& coarser = m_scale >= other.m_scale ? other : *this;
        if (finer.m_scale == 0) throw MoneyOverflow();
        return finer.rounded(finer.m_scale / 2) * coarser;
    }
    Money product(mantissa, m_scale + other.m_scale);
    // Keep the scale within what a text can carry; the digits dropped are far below a kopeck.
    return product.m_scale > kMaxScale ? product.rounded(kMaxScale) : product;
}

Money Money::operator*(qint64 factor) const
{
    Wide product = 0;
    if (__builtin_mul_overflow(m_mantissa, Wide(factor), &product)) throw MoneyOverflow();
    return {product, m_scale};
}

std::optional<Money> Money::divided(const Money& divisor, int decimals) const
{
    if (divisor.m_mantissa == 0) return std::nullopt;
    // this / divisor = (m1 / 10^s1) / (m2 / 10^s2); scaled by 10^decimals that is
    // m1 * 10^(s2 + decimals - s1) / m2, rounded once. Fewer decimals where the digits would not fit.
    for (int d = decimals; d >= 0; --d) {
        Wide numerator = m_mantissa < 0 ? -m_mantissa : m_mantissa;
        Wide denominator = divisor.m_mantissa < 0 ? -divisor.m_mantissa : divisor.m_mantissa;
        int shift = divisor.m_scale + d - m_scale;
        if (shift < 0) {
            if (-shift > kWidestPower || __builtin_mul_overflow(denominator, pow10(-shift), &denominator)) continue;
            shift = 0;
        }
        if (shift > kWidestPower || __builtin_mul_overflow(numerator, pow10(shift), &numerator)) continue;
        Wide q = numerator / denominator;
        const Wide r = numerator % denominator;
        const Wide rest = denominator - r;
        if (r > rest || (r == rest && q % 2 != 0)) ++q;
        const bool negative = (m_mantissa < 0) != (divisor.m_mantissa < 0);
        return Money(negative ? -q : q, d);
    }
    return std::nullopt;
}

int Money::compare(const Money& other) const
{
    if ((m_mantissa < 0) != (other.m_mantissa < 0)) return m_mantissa < 0 ? -1 : 1;
    const int scale = std::max(m_scale, other.m_scale);
    try {
        const Wide a = aligned(*this, scale).m_mantissa, b = aligned(other, scale).m_mantissa;
        return a < b ? -1 : (a > b ? 1 : 0);
    } catch (const MoneyOverflow&) {
        // The coarser one's digits do not fit at the finer scale: it is the larger in size.
        const bool thisCoarser = m_scale < other.m_scale;
        const bool negative = m_mantissa < 0;
        return (thisCoarser != negative) ? 1 : -1;
    }
}

QString Money::toString() const
{
    const bool negative = m_mantissa < 0;
    Wide m = negative ? -m_mantissa : m_mantissa;
    QString digits;
    do {
        digits.prepend(QChar(char16_t(u'0' + int(m % 10))));
        m /= 10;
    } while (m > 0);
    if (m_scale > 0) {
        while (digits.size() <= m_scale) digits.prepend(QLatin1Char('0'));
        digits.insert(digits.size() - m_scale, QLatin1Char('.'));
        while (digits.endsWith(QLatin1Char('0'))) digits.chop(1);
        if (digits.endsWith(QLatin1Char('.'))) digits.chop(1);
    }
    if (negative && digits != QLatin1String("0")) digits.prepend(QLatin1Char('-'));
    return digits;
}

double Money::toDouble() const { return toString().toDouble(); }
