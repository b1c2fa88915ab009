#include "rules/name_check.h"

#include <QList>

namespace name_check {
namespace {

// Characters that steer the text rather than show (line and paragraph separators, and the
// direction embeddings, overrides and isolates) make a name that prints differently from how it
// reads in the list; they are refused like control characters.
bool steers(char32_t c)
{
    return c == 0x2028 || c == 0x2029 || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

// Shows nothing on its own: blanks of any width and format characters (zero-width space and
// joiners, soft hyphen, direction marks, byte order mark).
bool invisible(char32_t c)
{
    if (QChar::isSpace(c)) return true;
    return QChar::category(c) == QChar::Other_Format || c == 0x115F || c == 0x1160 || c == 0x3164 || c == 0x2800;
}

} // namespace

Fault check(const QString& name, int maxLength)
{
    const QList<uint> chars = name.toUcs4();
    bool seen = false;
    for (const uint c : chars) {
        if (QChar::category(c) == QChar::Other_Control || steers(c)) return Fault::Incomplete;
        if (!invisible(c)) seen = true;
    }
    if (!seen) return Fault::Incomplete;
    if (maxLength > 0 && chars.size() > maxLength) return Fault::TooLong;
    return Fault::None;
}

} // namespace name_check
