#include "data/formats.h"
#include "data/money.h"

#include <QDateTime>
#include <QLocale>
#include <charconv>
#include <cmath>

namespace formats {

QString general(double value)
{
    if (!std::isfinite(value)) return {};
    if (value == 0) value = 0;  // no "-0"
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(value, 'g', 15);
}

QString general(const Money& value)
{
    QString digits = value.toString();
    const bool negative = digits.startsWith(QLatin1Char('-'));
    const qsizetype point = digits.indexOf(QLatin1Char('.'));
    const qsizetype whole = (point < 0 ? digits.size() : point) - (negative ? 1 : 0);
    const bool zeroWhole = digits.mid(negative ? 1 : 0, whole) == QLatin1String("0");
    if (point >= 0) {
        // Significant digits of a number below 1 start at its first non-zero decimal.
        qsizetype leading = 0;
        if (zeroWhole)
            while (point + 1 + leading < digits.size() && digits.at(point + 1 + leading) == QLatin1Char('0')) ++leading;
        const qsizetype decimals = digits.size() - point - 1;
        const qsizetype keep = zeroWhole ? leading + 15 : std::max<qsizetype>(0, 15 - whole);
        if (decimals > keep) digits = value.rounded(int(keep), Money::Rounding::HalfAwayFromZero).toString();
    }
    if (digits == QLatin1String("-0")) digits = QStringLiteral("0");
    const QLocale locale;
    digits.replace(QLatin1Char('.'), locale.decimalPoint());
    if (digits.startsWith(QLatin1Char('-'))) digits.replace(0, 1, locale.negativeSign());
    return digits;
}

QString general(const QVariant& value, bool numericText)
{
    if (value.isNull()) return {};
    switch (value.userType()) {
    case QMetaType::QDate: return date(value.toDate());
    case QMetaType::QDateTime: {
        const QDateTime dt = value.toDateTime();
        return dt.time() == QTime(0, 0) ? date(dt.date()) : dateTime(dt);
    }
    case QMetaType::Int: case QMetaType::LongLong: case QMetaType::Short:
    case QMetaType::UInt: case QMetaType::ULongLong: case QMetaType::UShort:
        return QString::number(value.toLongLong());
    case QMetaType::Double: case QMetaType::Float:
        return general(value.toDouble());
    default:
        break;
    }
    if (numericText) {
        bool ok = false;
        const double d = value.toString().toDouble(&ok);
        if (ok) return general(d);
    }
    return value.toString();
}

QString date(const QDate& day)
{
    return day.isValid() ? day.toString(QStringLiteral("dd.MM.yyyy")) : QString();
}

QString dateTime(const QDateTime& moment)
{
    return moment.isValid() ? moment.toString(QStringLiteral("dd.MM.yyyy hh:mm:ss")) : QString();
}

const QStringList& monthNames()
{
    static const QStringList names = {
        QStringLiteral("Январь"), QStringLiteral("Февраль"), QStringLiteral("Март"),
        QStringLiteral("Апрель"), QStringLiteral("Май"), QStringLiteral("Июнь"),
        QStringLiteral("Июль"), QStringLiteral("Август"), QStringLiteral("Сентябрь"),
        QStringLiteral("Октябрь"), QStringLiteral("Ноябрь"), QStringLiteral("Декабрь"),
    };
    return names;
}

QString monthName(int month)
{
    return month >= 1 && month <= 12 ? monthNames().at(month - 1) : QString();
}

std::optional<int> parseDigits(QStringView text)
{
    if (text.isEmpty() || text.size() > 9) return std::nullopt;
    int n = 0;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return std::nullopt;
        n = n * 10 + (c.unicode() - u'0');
    }
    return n;
}

std::optional<double> parseNumber(QStringView text)
{
    constexpr qsizetype kLongest = 40;
    constexpr int kSignificantDigits = 15;
    if (text.size() > kLongest) return std::nullopt;
    char buffer[kLongest + 1];
    qsizetype n = 0;
    qsizetype i = 0;
    const qsizetype size = text.size();
    auto at = [&](qsizetype k) { return k < size ? text[k].unicode() : u'\0'; };
    auto isDigit = [](char16_t c) { return c >= u'0' && c <= u'9'; };

    if (at(i) == u'+' || at(i) == u'-') {
        if (at(i) == u'-') buffer[n++] = '-';
        ++i;
    }
    int mantissaDigits = 0;
    int firstSignificant = -1;
    int lastSignificant = -1;
    bool separatorSeen = false;
    for (; i < size; ++i) {
        const char16_t c = text[i].unicode();
        if (isDigit(c)) {
            if (c != u'0') {
                if (firstSignificant < 0) firstSignificant = mantissaDigits;
                lastSignificant = mantissaDigits;
            }
            ++mantissaDigits;
            buffer[n++] = char(c);
        } else if ((c == u',' || c == u'.') && !separatorSeen) {
            separatorSeen = true;
            buffer[n++] = '.';
        } else {
            break;
        }
    }
    if (mantissaDigits == 0) return std::nullopt;
    if (firstSignificant >= 0 && lastSignificant - firstSignificant + 1 > kSignificantDigits)
        return std::nullopt;
    if (at(i) == u'e' || at(i) == u'E') {
        buffer[n++] = 'e';
        ++i;
        if (at(i) == u'+' || at(i) == u'-') buffer[n++] = char(text[i++].unicode());
        if (!isDigit(at(i))) return std::nullopt;
        while (isDigit(at(i))) {
            if (n >= kLongest) return std::nullopt;
            buffer[n++] = char(text[i++].unicode());
        }
    }
    if (i != size) return std::nullopt;
    double value = 0;
    const auto [end, error] = std::from_chars(buffer, buffer + n, value);
    if (error != std::errc() || end != buffer + n || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::optional<Mask> Mask::parse(const QString& mask)
{
    if (mask.isEmpty() || mask.count(QLatin1Char('.')) > 1) return std::nullopt;
    Mask m;
    m.m_text = mask;
    const int point = mask.indexOf(QLatin1Char('.'));
    const QString integer = point < 0 ? mask : mask.left(point);
    const QString decimals = point < 0 ? QString() : mask.mid(point + 1);
    for (QChar c : integer) {
        if (c == QLatin1Char('0')) ++m.m_minInteger;
        else if (c == QLatin1Char(',')) m.m_grouping = true;
        else if (c != QLatin1Char('#')) return std::nullopt;
    }
    for (QChar c : decimals) {
        if (c != QLatin1Char('0') && c != QLatin1Char('#')) return std::nullopt;
        if (c == QLatin1Char('0')) ++m.m_minDecimals;
        ++m.m_maxDecimals;
    }
    return m;
}

QString Mask::format(double value) const
{
    if (!std::isfinite(value)) return {};
    // The decimal digits of the value to 15 significant places: rounding works on them, so a
    // sum that is 2.675 on paper rounds to 2.68 even where its binary form is a hair below.
    const QString e = QString::number(std::fabs(value), 'e', 14);
    const int ePos = e.indexOf(QLatin1Char('e'));
    QString mantissa = e.left(ePos);
    mantissa.remove(QLatin1Char('.'));
    const int exponent = e.mid(ePos + 1).toInt();
    QString integer, fraction;
    if (exponent >= 0) {
        integer = mantissa.left(exponent + 1);
        while (integer.size() < exponent + 1) integer += QLatin1Char('0');
        fraction = mantissa.mid(exponent + 1);
    } else {
        integer = QStringLiteral("0");
        fraction = QString(-exponent - 1, QLatin1Char('0')) + mantissa;
    }
    if (fraction.size() > m_maxDecimals) {
        const bool up = fraction.at(m_maxDecimals) >= QLatin1Char('5');
        fraction.truncate(m_maxDecimals);
        if (up) {
            QString all = integer + fraction;
            int i = all.size() - 1;
            for (; i >= 0; --i) {
                if (all.at(i) == QLatin1Char('9')) {
                    all[i] = QLatin1Char('0');
                } else {
                    all[i] = QChar(all.at(i).unicode() + 1);
                    break;
                }
            }
            if (i < 0) all.prepend(QLatin1Char('1'));
            integer = all.left(all.size() - fraction.size());
            fraction = all.right(fraction.size());
        }
    }
    return layout(value < 0, integer, fraction);
}

QString Mask::format(const Money& value) const
{
    const QString digits = value.rounded(m_maxDecimals, Money::Rounding::HalfAwayFromZero).toString();
    const bool negative = digits.startsWith(QLatin1Char('-'));
    const QString plain = negative ? digits.mid(1) : digits;
    const int point = plain.indexOf(QLatin1Char('.'));
    return layout(negative, point < 0 ? plain : plain.left(point), point < 0 ? QString() : plain.mid(point + 1));
}

QString Mask::layout(bool negative, QString integer, QString fraction) const
{
    while (fraction.size() > m_minDecimals && fraction.endsWith(QLatin1Char('0'))) fraction.chop(1);
    while (fraction.size() < m_minDecimals) fraction += QLatin1Char('0');
    while (integer.size() > 1 && integer.startsWith(QLatin1Char('0'))) integer.remove(0, 1);
    if (integer == QLatin1String("0") && m_minInteger == 0 && !fraction.isEmpty()) integer.clear();
    while (integer.size() < m_minInteger) integer.prepend(QLatin1Char('0'));

    bool zero = true;
    for (QChar c : integer + fraction)
        if (c != QLatin1Char('0')) zero = false;
    const QLocale locale;
    if (m_grouping) {
        for (int i = integer.size() - 3; i > 0; i -= 3) integer.insert(i, locale.groupSeparator());
    }
    QString out = integer;
    if (!fraction.isEmpty()) out += locale.decimalPoint() + fraction;
    if (out.isEmpty()) out = QStringLiteral("0");
    if (negative && !zero) out.prepend(locale.negativeSign());
    return out;
}

} // namespace formats
