#include "reports/engine/truetype_font.h"

#include <QFont>
#include <QHash>
#include <QRawFont>

#include <map>
#include <mutex>

namespace {

quint16 u16(const QByteArray& d, qsizetype at)
{
    if (at < 0 || at + 2 > d.size()) return 0;
    return quint16((uchar(d[at]) << 8) | uchar(d[at + 1]));
}

qint16 s16(const QByteArray& d, qsizetype at) { return qint16(u16(d, at)); }

quint32 u32(const QByteArray& d, qsizetype at)
{
    return (quint32(u16(d, at)) << 16) | u16(d, at + 2);
}

void put16(QByteArray& d, qsizetype at, quint16 v)
{
    d[at] = char(v >> 8);
    d[at + 1] = char(v & 0xff);
}

void append16(QByteArray& d, quint16 v)
{
    d.append(char(v >> 8));
    d.append(char(v & 0xff));
}

void append32(QByteArray& d, quint32 v)
{
    append16(d, quint16(v >> 16));
    append16(d, quint16(v & 0xffff));
}

quint32 checksum(const QByteArray& table)
{
    quint32 sum = 0;
    for (qsizetype i = 0; i < table.size(); i += 4) {
        quint32 word = 0;
        for (int k = 0; k < 4; ++k) word = (word << 8) | (i + k < table.size() ? uchar(table[i + k]) : 0);
        sum += word;
    }
    return sum;
}

// Component flags of a composite glyph.
constexpr quint16 kArgsAreWords = 0x0001, kHasScale = 0x0008, kMoreComponents = 0x0020, kHasXYScale = 0x0040,
                  kHasTwoByTwo = 0x0080;

} // namespace

std::shared_ptr<const TrueTypeFont> TrueTypeFont::load(const QString& family, bool bold)
{
    static std::mutex lock;
    static QHash<QString, std::shared_ptr<const TrueTypeFont>> loaded;
    const QString key = family + (bold ? QStringLiteral("\n1") : QStringLiteral("\n0"));
    const std::lock_guard<std::mutex> hold(lock);
    if (auto it = loaded.constFind(key); it != loaded.cend()) return *it;

    QFont font(family);
    font.setBold(bold);
    const QRawFont raw = QRawFont::fromFont(font);
    std::shared_ptr<TrueTypeFont> face(new TrueTypeFont);
    if (!raw.isValid()) return nullptr;
    face->m_glyf = raw.fontTable("glyf");
    face->m_cvt = raw.fontTable("cvt ");
    face->m_fpgm = raw.fontTable("fpgm");
    face->m_prep = raw.fontTable("prep");
    if (!face->read(raw.fontTable("head"), raw.fontTable("hhea"), raw.fontTable("maxp"), raw.fontTable("hmtx"),
                    raw.fontTable("loca"), raw.fontTable("cmap")))
        return nullptr;
    face->m_name = (raw.familyName() + (bold ? QStringLiteral("-Bold") : QString())).toLatin1();
    face->m_name.replace(' ', "");
    loaded.insert(key, face);
    return face;
}

bool TrueTypeFont::read(const QByteArray& head, const QByteArray& hhea, const QByteArray& maxp, const QByteArray& hmtx,
                        const QByteArray& loca, const QByteArray& cmap)
{
    if (head.size() < 54 || hhea.size() < 36 || maxp.size() < 6 || m_glyf.isEmpty() || cmap.size() < 4) return false;
    m_head = head;
    m_hhea = hhea;
    m_maxp = maxp;
    m_hmtx = hmtx;
    m_unitsPerEm = u16(head, 18);
    if (m_unitsPerEm == 0) return false;
    for (int i = 0; i < 4; ++i) m_bbox[i] = s16(head, 36 + 2 * i);
    const bool longOffsets = s16(head, 50) == 1;
    m_ascent = s16(hhea, 4);
    m_descent = s16(hhea, 6);
    const int metrics = u16(hhea, 34);
    const int glyphs = u16(maxp, 4);
    if (metrics == 0 || metrics > glyphs || hmtx.size() < metrics * 4) return false;

    m_advances.resize(size_t(glyphs));
    for (int g = 0; g < glyphs; ++g) m_advances[size_t(g)] = u16(hmtx, 4 * std::min(g, metrics - 1));
    m_offsets.resize(size_t(glyphs) + 1);
    if (loca.size() < (glyphs + 1) * (longOffsets ? 4 : 2)) return false;
    for (int g = 0; g <= glyphs; ++g) {
        m_offsets[size_t(g)] = longOffsets ? u32(loca, 4 * g) : quint32(u16(loca, 2 * g)) * 2;
        if (m_offsets[size_t(g)] > quint32(m_glyf.size())) return false;
    }

    // The Unicode subtable: the full repertoire where there is one, else the basic plane.
    const int tables = u16(cmap, 2);
    qsizetype best = -1;
    int bestRank = 0;
    for (int i = 0; i < tables; ++i) {
        const int platform = u16(cmap, 4 + 8 * i), encoding = u16(cmap, 6 + 8 * i);
        const qsizetype at = u32(cmap, 8 + 8 * i);
        const int format = u16(cmap, at);
        int rank = 0;
        if (format == 12 && ((platform == 3 && encoding == 10) || platform == 0)) rank = 2;
        else if (format == 4 && ((platform == 3 && encoding == 1) || platform == 0)) rank = 1;
        if (rank > bestRank) {
            bestRank = rank;
            best = at;
        }
    }
    if (best < 0) return false;
    m_cmapFormat = u16(cmap, best);
    const qsizetype length = m_cmapFormat == 12 ? qsizetype(u32(cmap, best + 4)) : u16(cmap, best + 2);
    m_cmap = cmap.mid(best, length);
    // The characters of nearly every text (Latin, punctuation, Cyrillic) looked up once here.
    m_common.resize(kCommon);
    for (char32_t c = 0; c < kCommon; ++c) m_common[c] = quint16(lookUp(c));
    return true;
}

unsigned TrueTypeFont::glyph(char32_t c) const { return c < m_common.size() ? m_common[c] : lookUp(c); }

unsigned TrueTypeFont::lookUp(char32_t c) const
{
    const QByteArray& t = m_cmap;
    if (m_cmapFormat == 12) {
        qsizetype lo = 0, hi = qsizetype(u32(t, 12)) - 1;
        while (lo <= hi) {
            const qsizetype mid = (lo + hi) / 2, at = 16 + 12 * mid;
            if (c < u32(t, at)) hi = mid - 1;
            else if (c > u32(t, at + 4)) lo = mid + 1;
            else return u32(t, at + 8) + (c - u32(t, at));
        }
        return 0;
    }
    if (c > 0xffff) return 0;
    const int segments = u16(t, 6) / 2;
    const qsizetype ends = 14, starts = ends + 2 * segments + 2, deltas = starts + 2 * segments, ranges = deltas + 2 * segments;
    int lo = 0, hi = segments - 1;
    while (lo < hi) {   // the first segment whose end is at or past c
        const int mid = (lo + hi) / 2;
        if (u16(t, ends + 2 * mid) < c) lo = mid + 1;
        else hi = mid;
    }
    const quint16 start = u16(t, starts + 2 * lo);
    if (c < start || c > u16(t, ends + 2 * lo)) return 0;
    const quint16 delta = u16(t, deltas + 2 * lo), range = u16(t, ranges + 2 * lo);
    if (range == 0) return quint16(c + delta);
    const quint16 g = u16(t, ranges + 2 * lo + range + 2 * (c - start));
    return g == 0 ? 0 : quint16(g + delta);
}

QByteArray TrueTypeFont::glyphData(unsigned glyph) const
{
    if (glyph + 1 >= m_offsets.size()) return {};
    return m_glyf.mid(m_offsets[glyph], m_offsets[glyph + 1] - m_offsets[glyph]);
}

QByteArray TrueTypeFont::subset(const std::vector<bool>& used) const
{
    // The glyphs kept: those used, the missing glyph's box, and the parts of composite glyphs.
    std::vector<bool> keep(m_advances.size(), false);
    std::vector<unsigned> pending{0};
    for (size_t g = 0; g < used.size() && g < keep.size(); ++g)
        if (used[g]) pending.push_back(unsigned(g));
    while (!pending.empty()) {
        const unsigned g = pending.back();
        pending.pop_back();
        if (g >= keep.size() || keep[g]) continue;
        keep[g] = true;
        const QByteArray data = glyphData(g);
        if (data.size() < 10 || s16(data, 0) >= 0) continue;
        for (qsizetype at = 10;;) {
            const quint16 flags = u16(data, at);
            pending.push_back(u16(data, at + 2));
            at += 4 + ((flags & kArgsAreWords) ? 4 : 2);
            if (flags & kHasScale) at += 2;
            else if (flags & kHasXYScale) at += 4;
            else if (flags & kHasTwoByTwo) at += 8;
            if (!(flags & kMoreComponents) || at >= data.size()) break;
        }
    }

    QByteArray glyf, loca;
    for (size_t g = 0; g < keep.size(); ++g) {
        append32(loca, quint32(glyf.size()));
        if (!keep[g]) continue;
        glyf += glyphData(unsigned(g));
        while (glyf.size() % 4) glyf.append('\0');
    }
    append32(loca, quint32(glyf.size()));
    QByteArray head = m_head;
    put16(head, 8, 0);   // checkSumAdjustment, which readers do not check
    put16(head, 10, 0);
    put16(head, 50, 1);  // long offsets

    std::map<QByteArray, QByteArray> tables{{"glyf", glyf}, {"head", head}, {"hhea", m_hhea}, {"hmtx", m_hmtx},
                                            {"loca", loca}, {"maxp", m_maxp}};
    if (!m_cvt.isEmpty()) tables["cvt "] = m_cvt;
    if (!m_fpgm.isEmpty()) tables["fpgm"] = m_fpgm;
    if (!m_prep.isEmpty()) tables["prep"] = m_prep;

    const quint16 count = quint16(tables.size());
    quint16 power = 1, log2 = 0;
    while (power * 2 <= count) {
        power *= 2;
        ++log2;
    }
    QByteArray out;
    append32(out, 0x00010000);
    append16(out, count);
    append16(out, quint16(power * 16));
    append16(out, log2);
    append16(out, quint16(count * 16 - power * 16));
    quint32 offset = 12 + 16 * count;
    for (const auto& [tag, data] : tables) {
        out += tag;
        append32(out, checksum(data));
        append32(out, offset);
        append32(out, quint32(data.size()));
        offset += quint32((data.size() + 3) / 4 * 4);
    }
    for (const auto& [tag, data] : tables) {
        out += data;
        while (out.size() % 4) out.append('\0');
    }
    return out;
}
