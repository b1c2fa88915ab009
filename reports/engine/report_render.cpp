#include "reports/engine/report_render.h"

#include "reports/engine/report_pdf.h"

#include <QDir>
#include <algorithm>
#include <QFont>
#include <QHash>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPainter>

namespace {

constexpr double kTextPaddingMm = 0.6;
constexpr double kLineWidthMm = 0.2;

} // namespace

void paintReportPage(QPainter& painter, const ReportDocument& document, int page, double k)
{
    paintPage(painter, document.fontFamily, document.pages.at(size_t(page)), k);
}

void paintPage(QPainter& painter, const QString& fontFamily, const ReportPage& page, double k)
{
    painter.save();
    QHash<quint64, QFont> fonts;
    quint64 currentFont = ~quint64(0);
    const auto useFontOf = [&](const PageElement& e) {
        const quint64 key = (quint64(e.fontSize * 100) << 1) | (e.bold ? 1 : 0);
        if (key == currentFont) return;
        auto it = fonts.find(key);
        if (it == fonts.end()) {
            QFont f(fontFamily);
            f.setPointSizeF(e.fontSize);
            f.setBold(e.bold);
            it = fonts.insert(key, f);
        }
        painter.setFont(*it);
        currentFont = key;
    };
    QPen line(Qt::black);
    // Never thinner than a device dot: a coarse device (a small preview) would drop the line.
    line.setWidthF(std::max(kLineWidthMm * k, 1.0));
    painter.setPen(Qt::black);
    for (const PageElement& e : page.elements) {
        const QRectF r(e.rect.x() * k, e.rect.y() * k, e.rect.width() * k, e.rect.height() * k);
        if (e.background.isValid()) painter.fillRect(r, e.background);
        if (!e.text.isEmpty()) {
            useFontOf(e);
            const double pad = kTextPaddingMm * k;
            painter.drawText(r.adjusted(pad, 0, -pad, 0), int(e.alignment | Qt::AlignVCenter | Qt::TextSingleLine), e.text);
        }
        if (e.frame) {
            painter.save();
            painter.setPen(line);
            if (e.frame & FrameTop) painter.drawLine(r.topLeft(), r.topRight());
            if (e.frame & FrameBottom) painter.drawLine(r.bottomLeft(), r.bottomRight());
            if (e.frame & FrameLeft) painter.drawLine(r.topLeft(), r.bottomLeft());
            if (e.frame & FrameRight) painter.drawLine(r.topRight(), r.bottomRight());
            painter.restore();
        }
    }
    painter.restore();
}

void paintReport(QPainter& painter, QPagedPaintDevice& device, const ReportPages& pages)
{
    const double k = device.logicalDpiX() / 25.4;
    bool first = true;
    pages.layOutPages(0, pages.pageCount() - 1, [&](const ReportDocument& format, ReportPage&& page) {
        if (!first) device.newPage();
        first = false;
        paintPage(painter, format.fontFamily, page, k);
    });
}

void writeReportPdf(const ReportPages& pages, const QString& path)
{
    ReportPdfFile out(path);
    pages.layOutPages(0, pages.pageCount() - 1,
                      [&](const ReportDocument& format, ReportPage&& page) { out.addPage(format, std::move(page)); });
    out.commit();
}

int writeReportPdf(const ReportLayout& layout, const ReportData& data, const QString& title, const QString& path)
{
    ReportPdfFile out(path);
    const int pages = layOutReportPages(layout, data, [&](const ReportDocument& format, ReportPage&& page) {
        ReportDocument titled;
        titled.orientation = format.orientation;
        titled.pageSize = format.pageSize;
        titled.fontFamily = format.fontFamily;
        titled.title = title;
        out.addPage(titled, std::move(page));
    });
    out.commit();
    return pages;
}
