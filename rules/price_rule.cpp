#include "rules/price_rule.h"
#include "data/codes.h"
#include "data/money.h"

namespace entry_price {

QString withSurcharges(const QString& basePrice, bool dayOff, int shift)
{
    Money price = Money::fromValue(basePrice);
    if (dayOff) price = price * 2;
    if (shift == 3) price = price * *Money::parse(u"1.2");
    if (shift == codes::kOvertimeShift) price = price * *Money::parse(u"1.5");
    return price.toString();
}

QString rounded(const QString& number) { return Money::fromValue(number).rounded(4).toString(); }

QString amount(qint64 quantity, const QString& price) { return (Money::fromValue(price) * quantity).rounded(4).toString(); }

} // namespace entry_price
