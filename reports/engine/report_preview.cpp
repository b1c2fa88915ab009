#include "reports/engine/report_preview.h"
#include "reports/engine/report_render.h"
#include "data/prompts.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
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

void savePdf(const ReportDocument& document, Prompts& prompts, QWidget* parent)
{
    QFileDialog dialog(parent, QStringLiteral("Сохранить в PDF"), suggestedFileName(document.title),
                       QStringLiteral("PDF (*.pdf)"));
    dialog.setObjectName(QStringLiteral("savePdfDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("pdf"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    try {
        writeReportPdf(document, dialog.selectedFiles().constFirst());
    } catch (const ReportError& e) {
        prompts.error(e.text());
    }
}

} // namespace

void printReport(const ReportDocument& document, QPrinter& printer, Prompts& prompts)
{
    // The printer's own PDF output writes straight over the file and never says that a write
    // failed; the report's PDF writer replaces the file only when it is whole. The preview's
    // pages (a picture engine) are painted as they are, whatever output was chosen.
    if (printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty() && printer.paintEngine()
        && printer.paintEngine()->type() == QPaintEngine::Pdf) {
        try {
            writeReportPdf(document, printer.outputFileName());
        } catch (const ReportError& e) {
            prompts.error(e.text());
        }
        return;
    }
    // The report keeps its own paper and orientation whatever the printer was set to.
    printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), document.orientation, QMarginsF(0, 0, 0, 0)));
    printer.setFullPage(true);
    QPainter painter(&printer);
    paintReport(painter, printer, document);
}

void showReportPreview(const ReportDocument& document, PreviewZoom zoom, Prompts& prompts, QWidget* parent)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), document.orientation, QMarginsF(0, 0, 0, 0)));
    printer.setFullPage(true);
    printer.setDocName(document.title);

    QPrintPreviewDialog preview(&printer, parent);
    preview.setObjectName(QStringLiteral("ReportPreview"));
    preview.setWindowTitle(document.title.trimmed().isEmpty()
                               ? QStringLiteral("Предварительный просмотр")
                               : QStringLiteral("Предварительный просмотр: ") + document.title.trimmed());
    QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview,
                     [&document, &prompts](QPrinter* target) { printReport(document, *target, prompts); });

    if (auto* toolbar = preview.findChild<QToolBar*>()) {
        auto* save = new QAction(QIcon::fromTheme(QStringLiteral("document-save")), QStringLiteral("Сохранить в PDF"), &preview);
        save->setObjectName(QStringLiteral("savePdfAction"));
        save->setToolTip(QStringLiteral("Сохранить в PDF"));
        QObject::connect(save, &QAction::triggered, &preview,
                         [&document, &prompts, &preview] { savePdf(document, prompts, &preview); });
        toolbar->addSeparator();
        toolbar->addAction(save);
    }
    const char* fit = zoom == PreviewZoom::WholePage ? "fitPageAction" : "fitWidthAction";
    if (auto* action = preview.findChild<QAction*>(QLatin1String(fit))) action->trigger();

    preview.setWindowState(preview.windowState() | Qt::WindowMaximized);
    preview.exec();
}
