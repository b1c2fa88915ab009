#include "reports/engine/report_render.h"

#include "data/replacing_file.h"

#include <QDir>
#include <algorithm>
#include <QFont>
#include <QHash>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

namespace {

constexpr double kTextPaddingMm = 0.6;
constexpr double kLineWidthMm = 0.2;

} // namespace

void paintReportPage(QPainter& painter, const ReportDocument& document, int page, double k)
{
    painter.save();
    QHash<quint64, QFont> fonts;
    quint64 currentFont = ~quint64(0);
    const auto useFontOf = [&](const PageElement& e) {
        const quint64 key = (quint64(e.fontSize * 100) << 1) | (e.bold ? 1 : 0);
        if (key == currentFont) return;
        auto it = fonts.find(key);
        if (it == fonts.end()) {
            QFont f(document.fontFamily);
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
    for (const PageElement& e : document.pages.at(size_t(page)).elements) {
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

void paintReport(QPainter& painter, QPagedPaintDevice& device, const ReportDocument& document)
{
    const double k = device.logicalDpiX() / 25.4;
    for (int p = 0; p < document.pageCount(); ++p) {
        if (p > 0) device.newPage();
        paintReportPage(painter, document, p, k);
    }
}

void writeReportPdf(const ReportDocument& document, const QString& path)
{
    const auto failed = [&](const QString& reason) {
        return ReportError(QStringLiteral("Не удалось записать файл %1: %2").arg(QDir::toNativeSeparators(path), reason));
    };
    ReplacingFile file(path);
    if (!file.open()) throw failed(file.errorString());
    {
        QPdfWriter pdf(&file.device());
        pdf.setResolution(600);
        pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), document.orientation, QMarginsF(0, 0, 0, 0)));
        pdf.setTitle(document.title);
        pdf.setCreator(QStringLiteral("tabel"));
        QPainter painter;
        if (!painter.begin(&pdf)) throw failed(QStringLiteral("PDF не начать"));
        paintReport(painter, pdf, document);
        painter.end();
    }
    if (!file.commit()) throw failed(file.errorString());
}
