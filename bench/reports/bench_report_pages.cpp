// The worker report of a whole plant month (6,000 workers, 163,617 rows of the report's query,
// some 8,000 pages) laid out through the real layout and written to a PDF page by page, with
// the rows made as the layout asks for them, as they arrive from the server. Prints the time
// and the peak memory of the process against their goals, the time the layout takes alone, the
// report's PDF writer against QPdfWriter painting the same pages (on a tenth of the rows), and
// the preview's way: the rows held compactly, the pages counted, late pages laid out again.

#include "reports/engine/report_data.h"
#include "reports/engine/report_engine.h"
#include "reports/engine/report_render.h"
#include "reports/worker_report.h"

#include <QElapsedTimer>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QFile>
#include <QFileInfo>
#include <QApplication>
#include "data/prompts.h"
#include "reports/engine/report_preview.h"
#include <QTimer>
#include <QWidget>
#include <QLocale>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cstdio>

namespace {

constexpr int kWorkers = 6000;
constexpr int kRows = 163617;

/// The report query's rows, made from their number: workers in name order, each with its
/// products and operations; exact decimals as text, as the server sends them.
class PlantMonthRows : public ReportData {
public:
    QString name() const override { return QStringLiteral("t_Report"); }
    int rowCount() const override { return kRows; }
    int fieldIndex(const QString& field) const override
    {
        for (int i = 0; i < int(std::size(kFields)); ++i)
            if (field.compare(QLatin1String(kFields[i]), Qt::CaseInsensitive) == 0) return i;
        return -1;
    }
    bool isNumeric(int column) const override { return column != 0 && column != 2 && column != 4; }
    QVariant value(int row, int column) const override
    {
        const int worker = int(qint64(row) * kWorkers / kRows);
        switch (column) {
        case 0: return QStringLiteral("Работник-%1 Иван Петрович").arg(100000 + worker);
        case 1: return QString::number(1 + (row * 7) % 90) + QStringLiteral(".00");
        case 2: return QString::fromUtf8(kKinds[(row / 3) % 7]);
        case 3: return QStringLiteral("%1.%2").arg(50 + (row * 13) % 4000).arg((row * 7) % 100, 2, 10, QLatin1Char('0'));
        case 4: return QStringLiteral("Изделие %1").arg(1000 + (worker * 16 + row % 27 * 16 / 27) % 2000);
        case 5: return (row / 5) % 3 == 0 ? 1 : 0;
        case 6: return row % 11 == 0 ? QVariant(7035) : QVariant(row % 5 == 0 ? 1 : 0);
        case 7: return QStringLiteral("%1.00").arg((worker * 37) % 900);
        case 8: return QStringLiteral("%1.50").arg((worker * 17) % 300);
        case 9: return QStringLiteral("%1.50").arg((worker * 54) % 1200);
        case 10: return QStringLiteral("18253400.00");
        case 11: return QStringLiteral("9410770.50");
        default: return {};
        }
    }

private:
    static constexpr const char* kFields[] = {"fio", "kolvo", "vid", "summa", "nom", "naimen", "color",
                                              "f_sum7", "f_sum8", "f_sum78", "f_sum7_all", "f_sum8_all"};
    static constexpr const char* kKinds[] = {"Резка", "Гибка", "Сварка", "Зачистка швов", "Сборка", "Покраска порошковая",
                                             "Упаковка"};
};

/// Says every error on stderr; asks nothing.
class QuietPrompts : public Prompts {
public:
    void error(const QString& text, const QString&) override { std::fprintf(stderr, "%s\n", qPrintable(text)); }
    bool question(const QString&, const QString&) override { return false; }
    void information(const QString&, const QString&) override {}
};

/// The process's peak resident memory so far, MB.
double peakMb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    static const QRegularExpression hwm(QStringLiteral("VmHWM:\\s+(\\d+) kB"));
    const auto m = hwm.match(QString::fromLatin1(status.readAll()));
    return m.hasMatch() ? m.captured(1).toDouble() / 1024 : -1;
}

/// The same pages painted through QPdfWriter, the printer's painter on Qt's own PDF engine.
int writeThroughQt(const ReportLayout& layout, const ReportData& rows, const QString& path)
{
    QPdfWriter pdf(path);
    pdf.setResolution(600);
    pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), layout.orientation(), QMarginsF(0, 0, 0, 0)));
    QPainter painter(&pdf);
    const double k = pdf.logicalDpiX() / 25.4;
    bool first = true;
    return layOutReportPages(layout, rows, [&](const ReportDocument& format, ReportPage&& page) {
        if (!first) pdf.newPage();
        first = false;
        paintPage(painter, format.fontFamily, page, k);
    });
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    QTemporaryDir dir;
    ReportLabel title(QStringLiteral("   Отчет по рабочим за период с 01.03.2024 по 01.04.2024"));
    const ReportLayout layout = TForm16::makeLayout(title);
    const PlantMonthRows rows;
    const double startMb = peakMb();

    QElapsedTimer t;
    t.start();

    const int counted = layOutReportPages(layout, rows, [](const ReportDocument&, ReportPage&&) {});
    const double layoutS = t.nsecsElapsed() / 1e9;

    const QString path = dir.filePath(QStringLiteral("workers.pdf"));
    t.restart();
    const int pages = writeReportPdf(layout, rows, title.caption().trimmed(), path);
    const double pdfS = t.nsecsElapsed() / 1e9;
    const double peak = peakMb();

    // The baseline is slow: a tenth of the rows is enough for its rate a page.
    struct Part : PlantMonthRows {
        int rowCount() const override { return kRows / 10; }
    } part;
    t.restart();
    const int qtPages = writeThroughQt(layout, part, dir.filePath(QStringLiteral("qt.pdf")));
    const double qtS = t.nsecsElapsed() / 1e9;
    t.restart();
    const int oursPages = writeReportPdf(layout, part, title.caption().trimmed(), dir.filePath(QStringLiteral("part.pdf")));
    const double oursS = t.nsecsElapsed() / 1e9;

    std::printf("worker report of a plant month: %d rows, %d workers, %d pages (%d counted), PDF %.1f MB\n", kRows, kWorkers,
                pages, counted, QFileInfo(path).size() / 1e6);
    std::printf("layout alone: %.2f s; layout and PDF: %.2f s (%.2f ms a page)\n", layoutS, pdfS, pdfS * 1000 / pages);
    std::printf("a tenth of it: QPdfWriter %.2f s for %d pages (%.2f ms a page), the report's PDF writer %.2f s for %d pages "
                "(%.2f ms a page): ratio %.2f\n",
                qtS, qtPages, qtS * 1000 / qtPages, oursS, oursPages, oursS * 1000 / oursPages, oursS / qtS);
    std::printf("plant month worker report to PDF: time %.2f s (goal < 8 s), peak %.0f MB (goal < 200 MB; %.0f MB before)\n",
                pdfS, peak, startMb);

    // The preview's way: the rows taken compactly, the pages counted once, then a late page and
    // the screens around it laid out again as the view jumps there.
    t.restart();
    const auto held = std::make_shared<ReportRows>(rows, layout.fieldNames());
    const double rowsS = t.nsecsElapsed() / 1e9;
    const double rowsPeak = peakMb();
    t.restart();
    const PagedReport paged(layout, held, title.caption().trimmed());
    const int previewPages = paged.pageCount();
    const double countS = t.nsecsElapsed() / 1e9;
    t.restart();
    int around = 0;
    paged.layOutPages(previewPages - 40, previewPages - 1, [&](const ReportDocument&, ReportPage&&) { ++around; });
    const double jumpS = t.nsecsElapsed() / 1e9;
    std::printf("preview of it: rows held compactly in %.2f s (peak %.0f MB), %d pages counted in %.2f s, "
                "%d pages near the end laid out again in %.3f s; counted and laid out %.2f s, peak %.0f MB\n",
                rowsS, rowsPeak, previewPages, countS, around, jumpS, countS + jumpS, peakMb());

    // The print preview itself, closed as soon as it shows its first page.
    QuietPrompts prompts;
    t.restart();
    double shownS = -1;
    QTimer::singleShot(0, [&] {
        shownS = t.nsecsElapsed() / 1e9;
        if (QWidget* preview = QApplication::activeModalWidget()) preview->close();
    });
    showReportPreview(paged, PreviewZoom::PageWidth, prompts);
    std::printf("print preview of its %d pages shown in %.2f s (goal < 8 s), peak %.0f MB (goal < 200 MB)\n", previewPages, shownS,
                peakMb());
    return 0;
}
