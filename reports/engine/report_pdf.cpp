#include "reports/engine/report_pdf.h"

#include "data/replacing_file.h"

#include <QDir>
#include <QHash>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <cairo-pdf.h>
#include <cairo.h>

namespace {

// As the printer's painter draws them (report_render.cpp).
constexpr double kTextPaddingMm = 0.6;
constexpr double kLineWidthMm = 0.2;
constexpr double kPointsPerMm = 72 / 25.4;

} // namespace

/// Cairo's PDF surface, drawn in millimetres, writing through the replacing file.
struct ReportPdfFile::Writer {
    QString path;
    ReplacingFile file;
    QString writeError;
    cairo_surface_t* surface = nullptr;
    cairo_t* cr = nullptr;
    QHash<quint64, cairo_scaled_font_t*> fonts;   // by size and weight
    quint64 currentFont = ~quint64(0);
    double ascent = 0, height = 0;               // of the current font, mm
    QHash<QString, double> widths;               // advances in the current font, mm

    explicit Writer(const QString& target) : path(target), file(target) {}
    ~Writer()
    {
        for (cairo_scaled_font_t* f : std::as_const(fonts)) cairo_scaled_font_destroy(f);
        if (cr) cairo_destroy(cr);
        if (surface) cairo_surface_destroy(surface);
    }

    ReportError failed(const QString& reason) const
    {
        return ReportError(QStringLiteral("Не удалось записать файл %1: %2").arg(QDir::toNativeSeparators(path), reason));
    }

    static cairo_status_t write(void* closure, const unsigned char* data, unsigned int length)
    {
        auto* self = static_cast<Writer*>(closure);
        if (!self->writeError.isEmpty()) return CAIRO_STATUS_WRITE_ERROR;
        QIODevice& out = self->file.device();
        if (out.write(reinterpret_cast<const char*>(data), length) != qint64(length)) {
            self->writeError = out.errorString();
            return CAIRO_STATUS_WRITE_ERROR;
        }
        return CAIRO_STATUS_SUCCESS;
    }

    void start(const ReportDocument& format)
    {
        const bool portrait = format.orientation == QPageLayout::Portrait;
        const double w = (portrait ? 210 : 297) * kPointsPerMm, h = (portrait ? 297 : 210) * kPointsPerMm;
        surface = cairo_pdf_surface_create_for_stream(&Writer::write, this, w, h);
        const QByteArray title = format.title.toUtf8();
        cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_TITLE, title.constData());
        cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_CREATOR, "tabel");
        cr = cairo_create(surface);
        if (cairo_status(cr) != CAIRO_STATUS_SUCCESS) throw failed(QStringLiteral("PDF не начать"));
        cairo_scale(cr, kPointsPerMm, kPointsPerMm);
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_SQUARE);
        cairo_set_line_width(cr, kLineWidthMm);
        family = format.fontFamily.toUtf8();
    }

    void useFontOf(const PageElement& e)
    {
        const quint64 key = (quint64(e.fontSize * 100) << 1) | (e.bold ? 1 : 0);
        if (key == currentFont) return;
        auto it = fonts.find(key);
        if (it == fonts.end()) {
            cairo_save(cr);
            cairo_select_font_face(cr, family.constData(), CAIRO_FONT_SLANT_NORMAL,
                                   e.bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
            cairo_set_font_size(cr, e.fontSize / kPointsPerMm);
            cairo_scaled_font_t* font = cairo_get_scaled_font(cr);
            cairo_scaled_font_reference(font);
            cairo_restore(cr);
            it = fonts.insert(key, font);
        }
        cairo_set_scaled_font(cr, *it);
        cairo_font_extents_t extents;
        cairo_scaled_font_extents(*it, &extents);
        ascent = extents.ascent;
        height = extents.ascent + extents.descent;
        currentFont = key;
        widths.clear();
    }

    double widthOf(const QString& text, const QByteArray& utf8)
    {
        auto it = widths.constFind(text);
        if (it != widths.cend()) return *it;
        cairo_text_extents_t extents;
        cairo_text_extents(cr, utf8.constData(), &extents);
        if (widths.size() > 4096) widths.clear();
        return *widths.insert(text, extents.x_advance);
    }

    void paint(const ReportPage& page)
    {
        for (const PageElement& e : page.elements) {
            const QRectF& r = e.rect;
            if (e.background.isValid()) {
                cairo_set_source_rgb(cr, e.background.redF(), e.background.greenF(), e.background.blueF());
                cairo_rectangle(cr, r.x(), r.y(), r.width(), r.height());
                cairo_fill(cr);
                cairo_set_source_rgb(cr, 0, 0, 0);
            }
            if (!e.text.isEmpty()) text(e);
            if (e.frame) {
                if (e.frame & FrameTop) line(r.left(), r.top(), r.right(), r.top());
                if (e.frame & FrameBottom) line(r.left(), r.bottom(), r.right(), r.bottom());
                if (e.frame & FrameLeft) line(r.left(), r.top(), r.left(), r.bottom());
                if (e.frame & FrameRight) line(r.right(), r.top(), r.right(), r.bottom());
                cairo_stroke(cr);
            }
        }
        cairo_show_page(cr);
    }

    void line(double x1, double y1, double x2, double y2)
    {
        cairo_move_to(cr, x1, y1);
        cairo_line_to(cr, x2, y2);
    }

    /// One line of text in its box less the padding, centred upright, aligned across; clipped at
    /// the box only when it does not fit, as the printer's painter does.
    void text(const PageElement& e)
    {
        useFontOf(e);
        const QRectF box = e.rect.adjusted(kTextPaddingMm, 0, -kTextPaddingMm, 0);
        const QByteArray utf8 = e.text.toUtf8();
        const double width = widthOf(e.text, utf8);
        double x = box.left();
        if (e.alignment & Qt::AlignRight) x = box.right() - width;
        else if (e.alignment & Qt::AlignHCenter) x = box.left() + (box.width() - width) / 2;
        const double baseline = box.top() + (box.height() - height) / 2 + ascent;
        const bool clip = width > box.width() || height > box.height();
        if (clip) {
            cairo_save(cr);
            cairo_rectangle(cr, box.x(), box.y(), box.width(), box.height());
            cairo_clip(cr);
        }
        cairo_move_to(cr, x, baseline);
        cairo_show_text(cr, utf8.constData());
        if (clip) cairo_restore(cr);
    }

    QByteArray family;
};

/// Paints the pages handed over on a thread of its own, so that laying out the next pages and
/// painting the last ones share the machine's cores; a few pages wait at most.
struct ReportPdfFile::Painter {
    static constexpr size_t kWaiting = 16;
    std::mutex lock;
    std::condition_variable changed;
    std::deque<ReportPage> pages;
    bool closing = false;
    std::thread thread;

    explicit Painter(Writer& writer) : thread([this, &writer] { run(writer); }) {}
    ~Painter()
    {
        {
            const std::lock_guard<std::mutex> hold(lock);
            closing = true;
        }
        changed.notify_all();
        thread.join();
    }

    void add(ReportPage&& page)
    {
        std::unique_lock<std::mutex> hold(lock);
        changed.wait(hold, [this] { return pages.size() < kWaiting; });
        pages.push_back(std::move(page));
        hold.unlock();
        changed.notify_all();
    }

    void run(Writer& writer)
    {
        for (;;) {
            std::unique_lock<std::mutex> hold(lock);
            changed.wait(hold, [this] { return closing || !pages.empty(); });
            if (pages.empty()) return;
            ReportPage page = std::move(pages.front());
            pages.pop_front();
            hold.unlock();
            changed.notify_all();
            writer.paint(page);
        }
    }
};

ReportPdfFile::ReportPdfFile(const QString& path) : m_writer(std::make_unique<Writer>(path))
{
    if (!m_writer->file.open()) throw m_writer->failed(m_writer->file.errorString());
}

ReportPdfFile::~ReportPdfFile() = default;

void ReportPdfFile::addPage(const ReportDocument& format, ReportPage page)
{
    if (!m_writer->cr) {
        m_writer->start(format);
        m_painter = std::make_unique<Painter>(*m_writer);
    }
    m_painter->add(std::move(page));
}

void ReportPdfFile::commit()
{
    Writer& w = *m_writer;
    if (!w.cr) w.start(ReportDocument());
    m_painter.reset();   // every page painted
    cairo_surface_finish(w.surface);
    const cairo_status_t status = cairo_surface_status(w.surface);
    if (status != CAIRO_STATUS_SUCCESS) {
        w.file.discard();
        throw w.failed(!w.writeError.isEmpty() ? w.writeError : QString::fromUtf8(cairo_status_to_string(status)));
    }
    if (!w.file.commit()) throw w.failed(w.file.errorString());
}
