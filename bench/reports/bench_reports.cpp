// The detailed worker report over 10,000 detail rows (100 workers of 100 rows) rendered to a PDF
// through the report engine (layout, running sums, page model, painting), against drawing the
// same texts and boxes at the same positions straight onto a PDF with QPainter. Each is run three
// times in turns; the best times and their ratio are printed.

#include "reports/engine/report_data.h"
#include "reports/engine/report_engine.h"
#include "reports/engine/report_render.h"
#include "reports/worker_detailed_report.h"

#include <QElapsedTimer>
#include <QFont>
#include <QGuiApplication>
#include <QLocale>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kWorkers = 100;
constexpr int kRowsPerWorker = 100;

/// Rows shaped as the detailed worker report's query returns them: exact decimals as text.
TableReportData makeRows()
{
    const QStringList fields = {"fio", "marka", "vid", "naimen", "sum_time", "kolvo", "brk", "summa", "color", "s_prize",
                                "f_sum7", "f_sum7_n", "f_sum8", "f_sum8_n", "f_sum7h", "f_sum7h_n", "f_sum8h", "f_sum8h_n",
                                "f_sum7_all", "f_sum8_all"};
    std::vector<bool> numeric(size_t(fields.size()), true);
    numeric[0] = numeric[1] = numeric[2] = false;
    TableReportData data(QStringLiteral("w_Report"), fields, numeric);
    static const char* kinds[] = {"Резка", "Гибка", "Сварка", "Зачистка швов", "Сборка", "Покраска порошковая", "Упаковка"};
    for (int w = 0; w < kWorkers; ++w) {
        const QString fio = QStringLiteral("Работник %1 А.Б.").arg(w + 1000);
        for (int r = 0; r < kRowsPerWorker; ++r) {
            const int kolvo = 5 + (w * 7 + r * 3) % 60;
            const double cena = 12.5 + (r % 17) * 3.75;
            data.addRow({fio, QStringLiteral("ДМ-%1").arg(100 + r), QString::fromUtf8(kinds[(w + r) % 7]), (r % 4 == 0) ? 1 : 0,
                         qlonglong((r % 9) + 1), QString::number(kolvo), qlonglong(r % 3), kolvo * cena,
                         (r % 7 == 5) ? QVariant(7035) : QVariant(), 0.0,
                         QStringLiteral("1620.00"), QStringLiteral("0.00"), QStringLiteral("840.00"), QStringLiteral("210.00"),
                         QStringLiteral("9.00"), QStringLiteral("0.00"), QStringLiteral("4.00"), QStringLiteral("1.00"),
                         QStringLiteral("154200.00"), QStringLiteral("98700.00")});
        }
    }
    return data;
}

/// The baseline: the page model's texts and boxes drawn one by one with a plain QPainter.
void drawDirectly(const ReportDocument& doc, const QString& path)
{
    QPdfWriter pdf(path);
    pdf.setResolution(600);
    pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), doc.orientation, QMarginsF(0, 0, 0, 0)));
    QPainter p(&pdf);
    const double k = pdf.logicalDpiX() / 25.4;
    QFont regular(doc.fontFamily), bold(doc.fontFamily);
    regular.setPointSizeF(8);
    bold.setPointSizeF(8);
    bold.setBold(true);
    QPen line(Qt::black);
    line.setWidthF(0.2 * k);
    bool lastBold = false;
    double lastSize = -1;
    for (int page = 0; page < doc.pageCount(); ++page) {
        if (page > 0) pdf.newPage();
        for (const PageElement& e : doc.pages[size_t(page)].elements) {
            const QRectF r(e.rect.x() * k, e.rect.y() * k, e.rect.width() * k, e.rect.height() * k);
            if (e.background.isValid()) p.fillRect(r, e.background);
            if (!e.text.isEmpty()) {
                if (e.bold != lastBold || e.fontSize != lastSize) {
                    QFont f = e.bold ? bold : regular;
                    f.setPointSizeF(e.fontSize);
                    p.setFont(f);
                    lastBold = e.bold;
                    lastSize = e.fontSize;
                }
                p.setPen(Qt::black);
                p.drawText(r.adjusted(0.6 * k, 0, -0.6 * k, 0), int(e.alignment | Qt::AlignVCenter), e.text);
            }
            if (e.frame) {
                p.setPen(line);
                if (e.frame & FrameTop) p.drawLine(r.topLeft(), r.topRight());
                if (e.frame & FrameBottom) p.drawLine(r.bottomLeft(), r.bottomRight());
                if (e.frame & FrameLeft) p.drawLine(r.topLeft(), r.bottomLeft());
                if (e.frame & FrameRight) p.drawLine(r.topRight(), r.bottomRight());
            }
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    QTemporaryDir dir;
    const TableReportData rows = makeRows();
    ReportLabel title(QStringLiteral("   Детальный отчет по рабочим за период с 01.03.2024 по 01.04.2024"));
    const ReportLayout layout = TForm20::makeLayout(title);

    qint64 bestEngine = -1, bestLayout = -1, bestDirect = -1;
    ReportDocument doc;
    for (int round = 0; round < 3; ++round) {
        QElapsedTimer t;
        t.start();
        doc = layOutReport(layout, rows);
        const qint64 laidOut = t.nsecsElapsed();
        writeReportPdf(doc, dir.filePath(QStringLiteral("engine.pdf")));
        const qint64 engine = t.nsecsElapsed();

        t.restart();
        drawDirectly(doc, dir.filePath(QStringLiteral("direct.pdf")));
        const qint64 direct = t.nsecsElapsed();

        bestEngine = bestEngine < 0 ? engine : std::min(bestEngine, engine);
        bestLayout = bestLayout < 0 ? laidOut : std::min(bestLayout, laidOut);
        bestDirect = bestDirect < 0 ? direct : std::min(bestDirect, direct);
    }
    std::size_t elements = 0;
    for (const ReportPage& p : doc.pages) elements += p.elements.size();
    std::printf("detailed worker report, %d detail rows: %d pages, %zu texts and boxes\n", kWorkers * kRowsPerWorker,
                doc.pageCount(), elements);
    std::printf("report engine to PDF:        %8.1f ms (of which layout and sums %.1f ms)\n", bestEngine / 1e6, bestLayout / 1e6);
    std::printf("same texts drawn directly:   %8.1f ms\n", bestDirect / 1e6);
    std::printf("ratio engine / direct:       %8.2f (goal 1.5 or less)\n", double(bestEngine) / double(bestDirect));
    return 0;
}
