#pragma once
#include "reports/engine/report_layout.h"

#include <QRectF>
#include <QStringList>
#include <functional>
#include <vector>

class ReportData;

/// One text or box placed on a page, in millimetres from the paper's top-left corner.
struct PageElement {
    QRectF rect;
    QString text;
    Qt::Alignment alignment = Qt::AlignLeft;
    bool bold = false;
    double fontSize = 8;   ///< points
    QColor background;     ///< invalid: none
    FrameSides frame;
};

struct ReportPage {
    std::vector<PageElement> elements;   ///< in paint order
};

/// A laid-out report: its paper and its pages, ready to be painted on a printer, a PDF or a
/// preview, and read by tests.
struct ReportDocument {
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    QSizeF pageSize;       ///< millimetres
    QMarginsF margins;
    QString fontFamily;
    QString title;         ///< the document's name for the printer and the PDF
    std::vector<ReportPage> pages;

    int pageCount() const { return int(pages.size()); }
    /// The texts of a page (0-based), in paint order, empty ones left out.
    QStringList texts(int page) const;
};

/// Lays the layout out over the rows: title, group headers and footers at their breaks,
/// running sums cleared by the bands that reset them, child bands right after their parents,
/// page breaks where a band (with its children) no longer fits above the page footer, and a
/// group header never left alone at the foot of a page. A report without rows prints its title
/// and the headers and footers of the groups that never break. Throws ReportError when an
/// expression names a field the data does not have.
ReportDocument layOutReport(const ReportLayout& layout, const ReportData& data);

/// Where a report laid out page by page puts each page as soon as it is complete: format is the
/// document's paper and font without pages.
using PageSink = std::function<void(const ReportDocument& format, ReportPage&& page)>;
/// Lays out as layOutReport, keeping no page: each goes to the sink when it is complete (a report
/// of thousands of pages written to a file in the memory of one). Returns the number of pages.
int layOutReportPages(const ReportLayout& layout, const ReportData& data, const PageSink& sink);
