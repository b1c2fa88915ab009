#include "reports/engine/report_pdf.h"

#include "data/replacing_file.h"
#include "reports/engine/truetype_font.h"

#include <QDir>
#include <QHash>
#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>
#include <zlib.h>

namespace {

// As the printer's painter draws them (report_render.cpp).
constexpr double kTextPaddingMm = 0.6;
constexpr double kLineWidthMm = 0.2;
constexpr double kPointsPerMm = 72 / 25.4;

// The objects every file has, numbered first; the pages and the faces' parts follow.
constexpr int kCatalog = 1, kPages = 2, kInfo = 3, kResources = 4, kRegular = 5, kBold = 6, kFirstFree = 7;

/// A number in the page's units to a thousandth, as PDF writes it: no exponent, no trailing zeros;
/// written at text, which has room for 24 characters. Returns the characters written.
int writeNumber(char* text, double v)
{
    int n = 0;
    long long m = std::llround(v * 1000);
    if (m < 0) {
        text[n++] = '-';
        m = -m;
    }
    char digits[20];
    int d = 0;
    long long whole = m / 1000;
    do {
        digits[d++] = char('0' + whole % 10);
        whole /= 10;
    } while (whole);
    while (d) text[n++] = digits[--d];
    const int frac = int(m % 1000);
    if (frac) {
        text[n++] = '.';
        text[n++] = char('0' + frac / 100);
        if (frac % 100) text[n++] = char('0' + frac / 10 % 10);
        if (frac % 10) text[n++] = char('0' + frac % 10);
    }
    return n;
}

// Lines are made in a buffer and appended at once: a byte appended alone costs an insert.
void appendNumber(QByteArray& out, double v)
{
    char text[24];
    out.append(text, writeNumber(text, v));
}

void appendNumbers(QByteArray& out, std::initializer_list<double> values, const char* op)
{
    char line[200];
    int n = 0;
    for (double v : values) {
        n += writeNumber(line + n, v);
        line[n++] = ' ';
    }
    out.append(line, n);
    out.append(op);
    out.append("\n", 1);
}

void appendHex16(QByteArray& out, unsigned v)
{
    static const char hex[] = "0123456789ABCDEF";
    const char c[4] = {hex[(v >> 12) & 15], hex[(v >> 8) & 15], hex[(v >> 4) & 15], hex[v & 15]};
    out.append(c, 4);
}

/// A text string of the document's information: UTF-16 with its byte order mark, in hex.
QByteArray textString(const QString& text)
{
    QByteArray out("<FEFF");
    for (QChar c : text) appendHex16(out, c.unicode());
    out.append('>');
    return out;
}

/// One face of the document and the codes its text is written in. Each code stands for one glyph
/// drawn for one character, so that a reader copying the text gets every character back, also
/// where several characters are drawn with the same glyph (the missing glyph's box above all).
/// Code 0 is the box standing for U+FFFD, what a character is drawn as once the codes run out.
struct DocumentFont {
    static constexpr unsigned kCodes = 0x10000;   // two bytes a code
    std::shared_ptr<const TrueTypeFont> face;
    std::vector<quint16> glyphOfCode{0};
    std::vector<char32_t> textOfCode{0xFFFD};
    std::vector<quint16> codeOfGlyph;   // by glyph: the first code that draws it, 0 while none
    QHash<quint64, quint16> otherCodes;  // (glyph, character) for the glyph's other characters

    /// The code that draws glyph for character c.
    quint16 code(unsigned glyph, char32_t c)
    {
        if (glyph >= codeOfGlyph.size()) codeOfGlyph.resize(glyph + 1, 0);
        quint16& first = codeOfGlyph[glyph];
        if (first && textOfCode[first] == c) return first;
        const quint64 key = (quint64(glyph) << 32) | c;
        if (first)
            if (const auto it = otherCodes.constFind(key); it != otherCodes.cend()) return *it;
        if (glyphOfCode.size() == kCodes) return 0;
        const auto made = quint16(glyphOfCode.size());
        glyphOfCode.push_back(quint16(glyph));
        textOfCode.push_back(c);
        if (first) otherCodes.insert(key, made);
        else first = made;
        return made;
    }
};

/// The character a text's character is written as: a control character (a tab, a line break
/// inside a name) as a blank, half of a surrogate pair without its other half as U+FFFD.
char32_t printable(const QString& text, qsizetype& i)
{
    const char16_t c = text.at(i).unicode();
    if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
        return QChar::surrogateToUcs4(c, text.at(++i).unicode());
    if (QChar::isSurrogate(c)) return 0xFFFD;
    if (QChar::category(c) == QChar::Other_Control || c == 0x2028 || c == 0x2029) return U' ';
    return c;
}

/// One character of a line as drawn: the character whose glyph is drawn, and the character it
/// stands for when the text is copied (another only for a bracket mirrored in right-to-left text).
struct DrawnChar {
    char32_t shown;
    char32_t meant;
};

/// Puts the characters in the order they are seen from left to right, as the printer's painter
/// draws them: the bidirectional algorithm for one line without explicit embeddings. The line
/// runs right to left when its first letter does (a Hebrew name); runs of the other direction
/// in it, with the blanks and numbers between their letters, are turned round. A mark stays
/// after the letter it sits on; brackets in a right-to-left run are mirrored.
void reorderRightToLeft(std::vector<DrawnChar>& chars)
{
    enum Kind : unsigned char { Left, Right, Arabic, European, ArabicNumber, Separator, Terminator, Neutral };
    const size_t n = chars.size();
    std::vector<Kind> kinds(n);
    std::vector<bool> mark(n);
    Kind line = Neutral;   // the direction of the first letter
    for (size_t i = 0; i < n; ++i) {
        switch (QChar::direction(chars[i].meant)) {
        case QChar::DirL: kinds[i] = Left; break;
        case QChar::DirR: kinds[i] = Right; break;
        case QChar::DirAL: kinds[i] = Arabic; break;
        case QChar::DirEN: kinds[i] = European; break;
        case QChar::DirAN: kinds[i] = ArabicNumber; break;
        case QChar::DirES:
        case QChar::DirCS: kinds[i] = Separator; break;
        case QChar::DirET: kinds[i] = Terminator; break;
        case QChar::DirNSM: mark[i] = true; break;
        default: kinds[i] = Neutral;
        }
        if (line == Neutral && (kinds[i] == Left || kinds[i] == Right || kinds[i] == Arabic) && !mark[i])
            line = kinds[i] == Left ? Left : Right;
    }
    if (line == Neutral) line = Left;
    const unsigned char lineLevel = line == Right;
    for (size_t i = 0; i < n; ++i)
        if (mark[i]) kinds[i] = i ? kinds[i - 1] : line;   // of the letter it sits on
    // Numbers after Arabic letters are Arabic numbers.
    Kind strong = line;
    for (size_t i = 0; i < n; ++i) {
        if (kinds[i] == Left || kinds[i] == Right || kinds[i] == Arabic) strong = kinds[i];
        else if (kinds[i] == European && strong == Arabic) kinds[i] = ArabicNumber;
    }
    for (size_t i = 1; i + 1 < n; ++i)   // 1,5 and 1.5 are one number
        if (kinds[i] == Separator && kinds[i - 1] == kinds[i + 1] && (kinds[i - 1] == European || kinds[i - 1] == ArabicNumber))
            kinds[i] = kinds[i - 1];
    // Calls f(first, end) for each run of characters of the kind.
    const auto runsOf = [&](Kind kind, const auto& f) {
        for (size_t i = 0; i < n;) {
            size_t end = i;
            while (end < n && kinds[end] == kind) ++end;
            if (end == i) ++i;
            else f(i, end), i = end;
        }
    };
    runsOf(Terminator, [&](size_t first, size_t end) {   // 100% and $5: the sign goes with its number
        const bool number = (first > 0 && kinds[first - 1] == European) || (end < n && kinds[end] == European);
        std::fill(kinds.begin() + std::ptrdiff_t(first), kinds.begin() + std::ptrdiff_t(end), number ? European : Neutral);
    });
    // Numbers after left-to-right letters are read as those letters. Levels: even left to right,
    // odd right to left; a number in a right-to-left run is a left-to-right piece in it.
    strong = line;
    std::vector<unsigned char> levels(n);
    for (size_t i = 0; i < n; ++i) {
        if (kinds[i] == Separator || kinds[i] == Terminator) kinds[i] = Neutral;
        if (kinds[i] == Arabic) kinds[i] = Right;
        if (kinds[i] == Left || kinds[i] == Right) strong = kinds[i];
        if (kinds[i] == European && strong == Left) kinds[i] = Left;
        levels[i] = kinds[i] == Right ? 1 : kinds[i] == Left ? lineLevel * 2 : 2;
    }
    // Blanks and signs between two pieces of one direction go with them, others with the line.
    const auto direction = [&](size_t i) { return i >= n || kinds[i] == Left ? Left : Right; };
    runsOf(Neutral, [&](size_t first, size_t end) {
        const Kind before = first ? direction(first - 1) : line, after = end < n ? direction(end) : line;
        const unsigned char level = before != after ? lineLevel : before == Right ? 1 : lineLevel * 2;
        std::fill(levels.begin() + std::ptrdiff_t(first), levels.begin() + std::ptrdiff_t(end), level);
    });
    // Letters with their marks, turned round run by run from the highest level down.
    std::vector<std::pair<size_t, size_t>> clusters;   // first character, end
    for (size_t i = 0; i < n; ++i)
        if (!mark[i] || clusters.empty()) clusters.emplace_back(i, i + 1);
        else clusters.back().second = i + 1;
    for (unsigned char level = 2; level >= 1; --level)
        for (size_t c = 0; c < clusters.size();) {
            if (levels[clusters[c].first] < level) {
                ++c;
                continue;
            }
            size_t end = c;
            while (end < clusters.size() && levels[clusters[end].first] >= level) ++end;
            std::reverse(clusters.begin() + std::ptrdiff_t(c), clusters.begin() + std::ptrdiff_t(end));
            c = end;
        }
    std::vector<DrawnChar> drawn;
    drawn.reserve(n);
    for (const auto& [first, end] : clusters)
        for (size_t i = first; i < end; ++i)
            drawn.push_back({levels[first] % 2 ? char32_t(QChar::mirroredChar(chars[i].meant)) : chars[i].shown, chars[i].meant});
    chars.swap(drawn);
}

/// The text's characters in the order they are drawn from left to right (see printable and
/// reorderRightToLeft), into chars.
void drawnOrder(const QString& text, std::vector<DrawnChar>& chars)
{
    chars.clear();
    bool rightToLeft = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char32_t c = printable(text, i);
        if (c >= 0x590 && !rightToLeft) {   // no letter before the Hebrew ones is right-to-left
            const QChar::Direction d = QChar::direction(c);
            rightToLeft = d == QChar::DirR || d == QChar::DirAL;
        }
        chars.push_back({c, c});
    }
    if (rightToLeft) reorderRightToLeft(chars);
}

} // namespace

/// The PDF file, written object by object as pages come: each page's drawing in millimetres
/// from the paper's top left corner, compressed; the faces embedded at the end, each cut down
/// to the glyphs the pages used, with what each glyph stands for so that the text can be
/// searched and copied.
struct ReportPdfFile::Writer {
    QString path;
    ReplacingFile file;
    qint64 written = 0;
    std::vector<qint64> offsets = std::vector<qint64>(kFirstFree, -1);   // by object number
    std::vector<int> pageObjects;
    QString title;
    QString family;
    DocumentFont fonts[2];   // regular, bold
    std::vector<DrawnChar> line;   // the text being painted, kept to spare allocating it anew
    bool started = false;

    explicit Writer(const QString& target) : path(target), file(target) {}

    ReportError failed(const QString& reason) const
    {
        return ReportError(QStringLiteral("Не удалось записать файл %1: %2").arg(QDir::toNativeSeparators(path), reason));
    }

    /// Throws at the first write that fails (a full disk): nothing after it could be of use.
    void write(const QByteArray& bytes)
    {
        QIODevice& out = file.device();
        if (out.write(bytes) != bytes.size()) throw failed(out.errorString());
        written += bytes.size();
    }

    int newObject()
    {
        offsets.push_back(-1);
        return int(offsets.size()) - 1;
    }

    /// Writes object number n with its body (a dictionary, perhaps followed by a stream).
    void object(int n, const QByteArray& body)
    {
        offsets[size_t(n)] = written;
        write(QByteArray::number(n) + " 0 obj\n" + body + "\nendobj\n");
    }

    /// The compressor, kept from stream to stream: setting one up costs more than a page.
    struct Deflater {
        z_stream z{};
        bool ready = deflateInit(&z, 3) == Z_OK;   // a fast level: 6 took a fifth of a long report's time for 15 % less
        ~Deflater() { deflateEnd(&z); }
    } deflater;

    QByteArray packed(const QByteArray& data)
    {
        z_stream& z = deflater.z;
        if (!deflater.ready || deflateReset(&z) != Z_OK) throw failed(QStringLiteral("нет памяти для сжатия"));
        QByteArray out(qsizetype(deflateBound(&z, uLong(data.size()))), Qt::Uninitialized);
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.constData()));
        z.avail_in = uInt(data.size());
        z.next_out = reinterpret_cast<Bytef*>(out.data());
        z.avail_out = uInt(out.size());
        if (deflate(&z, Z_FINISH) != Z_STREAM_END) throw failed(QStringLiteral("сжатие не удалось"));
        out.truncate(qsizetype(z.total_out));
        return out;
    }

    void stream(int n, QByteArray dictionary, const QByteArray& data)
    {
        const QByteArray packed = this->packed(data);
        dictionary += " /Filter /FlateDecode /Length " + QByteArray::number(packed.size());
        object(n, "<<" + dictionary + " >>\nstream\n" + packed + "\nendstream");
    }

    void start(const ReportDocument& format)
    {
        family = format.fontFamily.isEmpty() ? QStringLiteral("DejaVu Sans") : format.fontFamily;
        for (int bold = 0; bold < 2; ++bold) {
            fonts[bold].face = TrueTypeFont::load(family, bold);
            if (!fonts[bold].face) fonts[bold].face = TrueTypeFont::load(QStringLiteral("DejaVu Sans"), bold);
            if (!fonts[bold].face) throw failed(QStringLiteral("нет шрифта %1").arg(family));
        }
        title = format.title;
        write(QByteArrayLiteral("%PDF-1.4\n%\xE2\xE3\xCF\xD3\n"));
        started = true;
    }

    void paint(const ReportDocument& format, const ReportPage& page)
    {
        const bool portrait = format.orientation == QPageLayout::Portrait;
        QSizeF paper = format.pageSize.isValid() ? format.pageSize : QSizeF(210, 297);
        if (portrait != (paper.width() <= paper.height())) paper.transpose();
        const double width = paper.width() * kPointsPerMm, height = paper.height() * kPointsPerMm;
        QByteArray out;
        out.reserve(32 * 1024);
        appendNumbers(out, {kPointsPerMm, 0, 0, -kPointsPerMm, 0, height}, "cm");
        appendNumber(out, kLineWidthMm);
        out.append(" w 2 J\n");
        int currentFont = -1;
        double currentSize = -1;
        bool lines = false;
        for (const PageElement& e : page.elements) {
            const QRectF& r = e.rect;
            if (e.background.isValid()) {
                if (lines) out.append("S\n");
                lines = false;
                appendNumbers(out, {e.background.redF(), e.background.greenF(), e.background.blueF()}, "rg");
                appendNumbers(out, {r.x(), r.y(), r.width(), r.height()}, "re f 0 g");
            }
            if (!e.text.isEmpty()) {
                if (lines) out.append("S\n");
                lines = false;
                text(out, e, currentFont, currentSize);
            }
            if (e.frame) {
                const auto line = [&](double x1, double y1, double x2, double y2) {
                    appendNumbers(out, {x1, y1}, "m");
                    appendNumbers(out, {x2, y2}, "l");
                };
                if (e.frame & FrameTop) line(r.left(), r.top(), r.right(), r.top());
                if (e.frame & FrameBottom) line(r.left(), r.bottom(), r.right(), r.bottom());
                if (e.frame & FrameLeft) line(r.left(), r.top(), r.left(), r.bottom());
                if (e.frame & FrameRight) line(r.right(), r.top(), r.right(), r.bottom());
                lines = true;
            }
        }
        if (lines) out.append("S\n");

        const int content = newObject(), pageObject = newObject();
        stream(content, {}, out);
        QByteArray dictionary = "<< /Type /Page /Parent " + QByteArray::number(kPages) + " 0 R /MediaBox [0 0 ";
        appendNumber(dictionary, width);
        dictionary.append(' ');
        appendNumber(dictionary, height);
        dictionary += "] /Resources " + QByteArray::number(kResources) + " 0 R /Contents " + QByteArray::number(content) + " 0 R >>";
        object(pageObject, dictionary);
        pageObjects.push_back(pageObject);
    }

    /// One line of text in its box less the padding, centred upright, aligned across; clipped at
    /// the box only when it does not fit, as the printer's painter does.
    void text(QByteArray& out, const PageElement& e, int& currentFont, double& currentSize)
    {
        DocumentFont& font = fonts[e.bold ? 1 : 0];
        const TrueTypeFont& face = *font.face;
        const double size = e.fontSize / kPointsPerMm;   // the em in millimetres
        QByteArray glyphs;
        glyphs.reserve(e.text.size() * 4 + 2);
        glyphs.append('<');
        long long units = 0;
        drawnOrder(e.text, line);
        for (const DrawnChar& c : line) {
            const quint16 code = font.code(face.glyph(c.shown), c.meant);
            units += face.advance(font.glyphOfCode[code]);
            appendHex16(glyphs, code);
        }
        glyphs.append('>');
        const double scale = size / face.unitsPerEm();
        const double width = units * scale, ascent = face.ascent() * scale, height = (face.ascent() - face.descent()) * scale;
        const QRectF box = e.rect.adjusted(kTextPaddingMm, 0, -kTextPaddingMm, 0);
        double x = box.left();
        if (e.alignment & Qt::AlignRight) x = box.right() - width;
        else if (e.alignment & Qt::AlignHCenter) x = box.left() + (box.width() - width) / 2;
        const double baseline = box.top() + (box.height() - height) / 2 + ascent;
        const bool clip = width > box.width() || height > box.height();
        const int fontBefore = currentFont;
        const double sizeBefore = currentSize;
        if (clip) {
            out.append("q ");
            appendNumbers(out, {box.x(), box.y(), box.width(), box.height()}, "re W n");
        }
        out.append("BT ");
        if (currentFont != int(e.bold) || currentSize != size) {
            out.append(e.bold ? "/F2 " : "/F1 ");
            appendNumber(out, size);
            out.append(" Tf ");
            currentFont = e.bold;
            currentSize = size;
        }
        appendNumbers(out, {1, 0, 0, -1, x, baseline}, "Tm");
        out += glyphs;
        out.append(" Tj ET\n");
        if (clip) {
            out.append("Q\n");
            currentFont = fontBefore;   // the font set inside is forgotten with the clip
            currentSize = sizeBefore;
        }
    }

    /// The face as a composite font of the document's codes, cut down to the glyphs used: each
    /// code's glyph in the map of codes to glyphs, its width, and its character in the map a
    /// reader copies the text by.
    void writeFont(int n, const DocumentFont& font, const QByteArray& tag)
    {
        const TrueTypeFont& face = *font.face;
        const double k = 1000.0 / face.unitsPerEm();
        const int descendant = newObject(), descriptor = newObject(), file = newObject(), glyphMap = newObject(),
                  unicode = newObject();
        const QByteArray name = tag + '+' + face.postScriptName();
        object(n, "<< /Type /Font /Subtype /Type0 /BaseFont /" + name + " /Encoding /Identity-H /DescendantFonts [" +
                      QByteArray::number(descendant) + " 0 R] /ToUnicode " + QByteArray::number(unicode) + " 0 R >>");
        QByteArray widths = "[0 [";
        QByteArray glyphs;
        std::vector<bool> used(size_t(face.glyphCount()), false);
        for (const quint16 g : font.glyphOfCode) {
            widths += QByteArray::number(qRound(face.advance(g) * k)) + ' ';
            glyphs.append(char(g >> 8));
            glyphs.append(char(g & 0xff));
            if (g < used.size()) used[g] = true;
        }
        widths += "]]";
        object(descendant, "<< /Type /Font /Subtype /CIDFontType2 /BaseFont /" + name +
                               " /CIDSystemInfo << /Registry (Adobe) /Ordering (Identity) /Supplement 0 >> /FontDescriptor " +
                               QByteArray::number(descriptor) + " 0 R /CIDToGIDMap " + QByteArray::number(glyphMap) +
                               " 0 R /DW 1000 /W " + widths + " >>");
        const int* b = face.boundingBox();
        QByteArray bbox;
        for (int i = 0; i < 4; ++i) bbox += QByteArray::number(qRound(b[i] * k)) + (i < 3 ? " " : "");
        object(descriptor, "<< /Type /FontDescriptor /FontName /" + name + " /Flags 32 /FontBBox [" + bbox +
                               "] /ItalicAngle 0 /Ascent " + QByteArray::number(qRound(face.ascent() * k)) + " /Descent " +
                               QByteArray::number(qRound(face.descent() * k)) + " /CapHeight " +
                               QByteArray::number(qRound(face.ascent() * k)) + " /StemV 80 /FontFile2 " + QByteArray::number(file) +
                               " 0 R >>");
        const QByteArray program = face.subset(used);
        stream(file, " /Length1 " + QByteArray::number(program.size()), program);
        stream(glyphMap, {}, glyphs);

        QByteArray map = "/CIDInit /ProcSet findresource begin 12 dict begin begincmap\n"
                         "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
                         "/CMapName /Adobe-Identity-UCS def /CMapType 2 def\n"
                         "1 begincodespacerange <0000> <FFFF> endcodespacerange\n";
        const size_t codes = font.textOfCode.size();
        for (size_t i = 0; i < codes; i += 100) {
            const size_t end = std::min(codes, i + 100);
            map += QByteArray::number(qulonglong(end - i)) + " beginbfchar\n";
            for (size_t code = i; code < end; ++code) {
                map.append('<');
                appendHex16(map, unsigned(code));
                map.append("> <");
                const QString text = QString::fromUcs4(&font.textOfCode[code], 1);
                for (QChar c : text) appendHex16(map, c.unicode());
                map.append(">\n");
            }
            map += "endbfchar\n";
        }
        map += "endcmap CMapName currentdict /CMap defineresource pop end end\n";
        stream(unicode, {}, map);
    }

    void finish()
    {
        if (pageObjects.empty()) paint(ReportDocument(), ReportPage());   // a file of no pages is no PDF
        writeFont(kRegular, fonts[0], "TABELA");
        writeFont(kBold, fonts[1], "TABELB");
        object(kResources, "<< /Font << /F1 " + QByteArray::number(kRegular) + " 0 R /F2 " + QByteArray::number(kBold) +
                               " 0 R >> /ProcSet [/PDF /Text] >>");
        QByteArray kids;
        for (int p : pageObjects) kids += QByteArray::number(p) + " 0 R ";
        object(kPages, "<< /Type /Pages /Kids [" + kids + "] /Count " + QByteArray::number(qulonglong(pageObjects.size())) + " >>");
        object(kInfo, "<< /Title " + textString(title) + " /Creator (tabel) /Producer (tabel) >>");
        object(kCatalog, "<< /Type /Catalog /Pages " + QByteArray::number(kPages) + " 0 R >>");
        const qint64 xref = written;
        QByteArray table = "xref\n0 " + QByteArray::number(qulonglong(offsets.size())) + "\n0000000000 65535 f \n";
        for (size_t n = 1; n < offsets.size(); ++n)
            table += QByteArray::number(offsets[n]).rightJustified(10, '0') + " 00000 n \n";
        table += "trailer\n<< /Size " + QByteArray::number(qulonglong(offsets.size())) + " /Root " + QByteArray::number(kCatalog) +
                 " 0 R /Info " + QByteArray::number(kInfo) + " 0 R >>\nstartxref\n" + QByteArray::number(xref) + "\n%%EOF\n";
        write(table);
    }
};

/// Paints the pages handed over on a thread of its own, so that laying out the next pages and
/// painting the last ones share the machine's cores; a few pages wait at most. Whatever stops
/// the painting there (a write that fails, no memory) is kept and handed to the caller as the
/// file's failure, by the next page handed over or by the end.
struct ReportPdfFile::Painter {
    static constexpr size_t kWaiting = 16;
    std::mutex lock;
    std::condition_variable changed;
    std::deque<std::pair<ReportDocument, ReportPage>> pages;
    bool closing = false;
    std::optional<ReportError> failure;
    std::thread thread;

    explicit Painter(Writer& writer) : thread([this, &writer] { run(writer); }) {}
    ~Painter() { stop(); }

    void add(const ReportDocument& format, ReportPage&& page)
    {
        std::unique_lock<std::mutex> hold(lock);
        changed.wait(hold, [this] { return pages.size() < kWaiting || failure; });
        if (failure) throw *failure;
        pages.emplace_back(format, std::move(page));
        hold.unlock();
        changed.notify_all();
    }

    /// Waits until every page handed over is painted; throws what stopped the painting.
    void finish()
    {
        stop();
        if (failure) throw *failure;
    }

private:
    void stop()
    {
        {
            const std::lock_guard<std::mutex> hold(lock);
            closing = true;
        }
        changed.notify_all();
        if (thread.joinable()) thread.join();
    }

    void run(Writer& writer)
    {
        try {
            paintAll(writer);
        } catch (const ReportError& e) {
            fail(e);
        } catch (const std::bad_alloc&) {
            fail(writer.failed(QStringLiteral("не хватило памяти")));
        } catch (const std::exception& e) {
            fail(writer.failed(QString::fromLocal8Bit(e.what())));
        } catch (...) {
            fail(writer.failed(QStringLiteral("сбой при записи страницы")));
        }
    }

    void paintAll(Writer& writer)
    {
        for (;;) {
            std::unique_lock<std::mutex> hold(lock);
            changed.wait(hold, [this] { return closing || !pages.empty(); });
            if (pages.empty()) return;
            auto [format, page] = std::move(pages.front());
            pages.pop_front();
            hold.unlock();
            changed.notify_all();
            writer.paint(format, page);
        }
    }

    void fail(const ReportError& why)
    {
        {
            const std::lock_guard<std::mutex> hold(lock);
            failure = why;
            pages.clear();
        }
        changed.notify_all();
    }
};

ReportPdfFile::ReportPdfFile(const QString& path) : m_writer(std::make_unique<Writer>(path))
{
    if (!m_writer->file.open()) throw m_writer->failed(m_writer->file.errorString());
}

ReportPdfFile::~ReportPdfFile() = default;

void ReportPdfFile::addPage(const ReportDocument& format, ReportPage page)
{
    if (!m_writer->started) {
        m_writer->start(format);
        m_painter = std::make_unique<Painter>(*m_writer);
    }
    m_painter->add(format, std::move(page));
}

void ReportPdfFile::commit()
{
    Writer& w = *m_writer;
    if (!w.started) w.start(ReportDocument());
    if (m_painter) m_painter->finish();   // every page painted
    w.finish();
    if (!w.file.commit()) throw w.failed(w.file.errorString());
}
