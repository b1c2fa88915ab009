#pragma once
#include <QString>

/// The price per piece of a journal entry, fixed when its operation is picked: the operation's
/// base price, times 2.0 on a day off, then times 1.2 in shift 3 or 1.5 in overtime (shift 4);
/// the bonuses compound. Worked out exactly (texts with a point, such as "31.5"), so that a half
/// at the fifth decimal is a half and goes to the even neighbour when rounded to 4 decimals.
namespace entry_price {

/// The final price before rounding. An unreadable base price counts as 0.
QString withSurcharges(const QString& basePrice, bool dayOff, int shift);
/// A number rounded to 4 decimals, halves to the even neighbour: the price stored and shown.
QString rounded(const QString& number);
/// quantity × price, rounded to 4 decimals.
QString amount(qint64 quantity, const QString& price);

} // namespace entry_price
