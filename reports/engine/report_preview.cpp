#include "reports/engine/report_preview.h"
#include "reports/engine/report_render.h"
#include "data/prompts.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QGraphicsItem>
#include <QGraphicsView>
#include <QHash>
#include <QScrollBar>
#include <QTimer>
#include <QPrintPreviewWidget>
#include <QGuiApplication>
#include <QScreen>
#include <QIcon>
#include <QPageSize>
#include <QPaintEngine>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QToolBar>

namespace {

QString suggestedFileName(const QString& title)
{
    QString name = title.simplified();
    static const QString forbidden = QStringLiteral("/\\:*?\"<>|");
    for (QChar& c : name)
        if (forbidden.contains(c)) c = QLatin1Char('_');
    while (name.endsWith(QLatin1Char('.'))) name.chop(1);
    if (name.isEmpty()) name = QStringLiteral("Отчет");
    return QDir::home().filePath(name + QStringLiteral(".pdf"));
}

void savePdf(const ReportPages& pages, Prompts& prompts, QWidget* parent)
{
    QFileDialog dialog(parent, QStringLiteral("Сохранить в PDF"), suggestedFileName(pages.format().title),
                       QStringLiteral("PDF (*.pdf)"));
    dialog.setObjectName(QStringLiteral("savePdfDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("pdf"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    try {
        writeReportPdf(pages, dialog.selectedFiles().constFirst());
    } catch (const ReportError& e) {
        prompts.error(e.text());
    }
}

/// The pages of a print preview that are painted in full: those in view and a few screens
/// around them. The preview paints every page into a picture each time it is drawn again, which
/// for a report of thousands of pages would hold them all; the pages away from the view are
/// handed over blank instead, and the preview is drawn again (the same pages, the view where it
/// was) when the view comes near them.
class PagesInView : public QObject {
public:
    PagesInView(QPrintPreviewWidget& preview, int pageCount) : QObject(&preview), m_preview(preview), m_count(pageCount)
    {
        m_last = std::min(m_count, kReach) - 1;
        m_redraw.setSingleShot(true);
        m_redraw.setInterval(30);
        connect(&m_redraw, &QTimer::timeout, this, &PagesInView::redraw);
        connect(&m_preview, &QPrintPreviewWidget::previewChanged, this, &PagesInView::check);
        if (auto* view = m_preview.findChild<QGraphicsView*>()) {
            m_view = view;
            connect(view->verticalScrollBar(), &QScrollBar::valueChanged, this, &PagesInView::check);
            connect(view->horizontalScrollBar(), &QScrollBar::valueChanged, this, &PagesInView::check);
        }
    }

    /// The first and the last page (0-based) to paint in full.
    std::pair<int, int> wanted() const { return {m_first, m_last}; }
    /// The preview is being drawn again: its pages are new items.
    void painting() { m_pages.clear(); }

private:
    static constexpr int kReach = 12;

    void check()
    {
        if (!m_view || !m_view->scene()) return;
        if (m_pages.isEmpty()) {
            // The preview adds its pages in order, one item each.
            const QList<QGraphicsItem*> items = m_view->scene()->items(Qt::AscendingOrder);
            for (int i = 0; i < items.size(); ++i) m_pages.insert(items.at(i), i);
        }
        int lo = m_count, hi = -1;
        for (QGraphicsItem* item : m_view->items(m_view->viewport()->rect())) {
            const int page = m_pages.value(item, -1);
            if (page < 0) continue;
            lo = std::min(lo, page);
            hi = std::max(hi, page);
        }
        if (hi < 0 || (lo >= m_first && hi <= m_last)) return;
        const int reach = std::max(kReach, hi - lo + 1);
        m_first = std::max(0, lo - reach);
        m_last = std::min(m_count - 1, hi + reach);
        m_redraw.start();
    }

    void redraw()
    {
        const int x = m_view->horizontalScrollBar()->value(), y = m_view->verticalScrollBar()->value();
        m_preview.updatePreview();
        m_view->horizontalScrollBar()->setValue(x);
        m_view->verticalScrollBar()->setValue(y);
    }

    QPrintPreviewWidget& m_preview;
    QGraphicsView* m_view = nullptr;
    int m_count = 0;
    int m_first = 0, m_last = -1;
    QHash<QGraphicsItem*, int> m_pages;
    QTimer m_redraw;
};

/// Paints the pages on the preview's printer: those in view in full, the others blank.
void paintPreview(const ReportPages& pages, QPrinter& printer, PagesInView& inView)
{
    inView.painting();
    printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), pages.format().orientation, QMarginsF(0, 0, 0, 0)));
    printer.setFullPage(true);
    QPainter painter(&printer);
    const double k = printer.logicalDpiX() / 25.4;
    const int count = pages.pageCount();
    int next = 0;
    const auto begin = [&] {
        if (next++ > 0) printer.newPage();
    };
    const auto [first, last] = inView.wanted();
    while (next < first) begin();
    pages.layOutPages(first, last, [&](const ReportDocument& format, ReportPage&& page) {
        begin();
        paintPage(painter, format.fontFamily, page, k);
    });
    while (next < count) begin();
}

} // namespace

void printReport(const ReportPages& pages, QPrinter& printer, Prompts& prompts)
{
    // The printer's own PDF output writes straight over the file and never says that a write
    // failed; the report's PDF writer replaces the file only when it is whole. The preview's
    // pages (a picture engine) are painted as they are, whatever output was chosen.
    if (printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty() && printer.paintEngine()
        && printer.paintEngine()->type() == QPaintEngine::Pdf) {
        try {
            writeReportPdf(pages, printer.outputFileName());
        } catch (const ReportError& e) {
            prompts.error(e.text());
        }
        return;
    }
    // The report keeps its own paper and orientation whatever the printer was set to.
    printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), pages.format().orientation, QMarginsF(0, 0, 0, 0)));
    printer.setFullPage(true);
    QPainter painter(&printer);
    paintReport(painter, printer, pages);
}

void showReportPreview(const ReportPages& pages, PreviewZoom zoom, Prompts& prompts, QWidget* parent)
{
    const ReportDocument& document = pages.format();
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), document.orientation, QMarginsF(0, 0, 0, 0)));
    printer.setFullPage(true);
    printer.setDocName(document.title);

    QPrintPreviewDialog preview(&printer, parent);
    preview.setObjectName(QStringLiteral("ReportPreview"));
    preview.setWindowTitle(document.title.trimmed().isEmpty()
                               ? QStringLiteral("Предварительный просмотр")
                               : QStringLiteral("Предварительный просмотр: ") + document.title.trimmed());
    // Counted before the preview asks for its pages: the one pass through the rows it takes.
    auto* inView = new PagesInView(*preview.findChild<QPrintPreviewWidget*>(), pages.pageCount());
    QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview, [&pages, &prompts, &printer, inView](QPrinter* target) {
        // The preview draws on its own printer; printing and saving to a file paint every page.
        if (target == &printer && target->paintEngine() && target->paintEngine()->type() == QPaintEngine::Picture)
            paintPreview(pages, *target, *inView);
        else
            printReport(pages, *target, prompts);
    });

    if (auto* toolbar = preview.findChild<QToolBar*>()) {
        auto* save = new QAction(QIcon::fromTheme(QStringLiteral("document-save")), QStringLiteral("Сохранить в PDF"), &preview);
        save->setObjectName(QStringLiteral("savePdfAction"));
        save->setToolTip(QStringLiteral("Сохранить в PDF"));
        QObject::connect(save, &QAction::triggered, &preview,
                         [&pages, &prompts, &preview] { savePdf(pages, prompts, &preview); });
        toolbar->addSeparator();
        toolbar->addAction(save);
    }
    const char* fit = zoom == PreviewZoom::WholePage ? "fitPageAction" : "fitWidthAction";
    if (auto* action = preview.findChild<QAction*>(QLatin1String(fit))) action->trigger();

    // Opens at the top of the first page, once the pages are in place, whatever the fit scrolled.
    if (auto* widget = preview.findChild<QPrintPreviewWidget*>()) {
        auto* once = new QObject(&preview);
        QObject::connect(widget, &QPrintPreviewWidget::previewChanged, once, [widget, once] {
            QTimer::singleShot(0, widget, [widget] {
                if (auto* view = widget->findChild<QGraphicsView*>()) {
                    view->verticalScrollBar()->setValue(view->verticalScrollBar()->minimum());
                    view->horizontalScrollBar()->setValue(view->horizontalScrollBar()->minimum());
                }
            });
            once->deleteLater();
        });
    }
    // The whole screen also where the window manager does not maximise windows.
    if (QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen()) preview.setGeometry(screen->availableGeometry());
    preview.setWindowState(preview.windowState() | Qt::WindowMaximized);
    preview.exec();
}
