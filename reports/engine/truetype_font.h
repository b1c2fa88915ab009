#pragma once
#include <QByteArray>
#include <QString>

#include <memory>
#include <vector>

/// A TrueType face of the system, read from its tables once: the glyph of a character, the
/// advance of a glyph, the vertical metrics, and a subset of the face holding only the glyphs a
/// document used, to embed in it. Read-only once loaded, so any thread may use it.
class TrueTypeFont {
public:
    /// The face the system gives for the family in that weight, shared by everyone who asks;
    /// null when the system has no TrueType outlines for it.
    static std::shared_ptr<const TrueTypeFont> load(const QString& family, bool bold);

    /// The face's name without blanks, for the document's font dictionary.
    QByteArray postScriptName() const { return m_name; }
    int unitsPerEm() const { return m_unitsPerEm; }
    int ascent() const { return m_ascent; }     ///< font units, up from the baseline
    int descent() const { return m_descent; }   ///< font units, negative: down from the baseline
    /// xMin, yMin, xMax, yMax in font units.
    const int* boundingBox() const { return m_bbox; }
    int glyphCount() const { return int(m_advances.size()); }

    /// The glyph of a Unicode code point; 0 (the missing glyph's box) when the face has none.
    unsigned glyph(char32_t codePoint) const;
    /// The glyph's advance in font units.
    int advance(unsigned glyph) const { return glyph < m_advances.size() ? m_advances[glyph] : 0; }

    /// The face as a TrueType file with every glyph not in used (indexed by glyph, glyph 0 always
    /// kept, composite glyphs with their parts) left empty; glyph numbers stay as they are.
    QByteArray subset(const std::vector<bool>& used) const;

private:
    TrueTypeFont() = default;
    bool read(const QByteArray& head, const QByteArray& hhea, const QByteArray& maxp, const QByteArray& hmtx,
              const QByteArray& loca, const QByteArray& cmap);
    QByteArray glyphData(unsigned glyph) const;
    unsigned lookUp(char32_t codePoint) const;   ///< through the character map

    static constexpr char32_t kCommon = 0x500;   ///< up to the end of Cyrillic

    QByteArray m_name;
    int m_unitsPerEm = 1000;
    int m_ascent = 0, m_descent = 0;
    int m_bbox[4] = {0, 0, 0, 0};
    std::vector<quint16> m_advances;
    std::vector<quint32> m_offsets;   ///< into glyf, one more than the glyphs
    QByteArray m_cmap;                ///< the chosen subtable
    int m_cmapFormat = 0;
    std::vector<quint16> m_common;    ///< the glyphs of the code points below kCommon
    QByteArray m_head, m_hhea, m_maxp, m_hmtx, m_glyf, m_cvt, m_fpgm, m_prep;
};
