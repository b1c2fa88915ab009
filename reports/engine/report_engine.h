#pragma once
#include "reports/engine/report_layout.h"

#include <QRectF>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

class ReportData;
struct ReportDocument;
struct ReportPage;

/// Where a report laid out page by page puts each page as soon as it is complete: format is the
/// document's paper and font without pages.
using PageSink = std::function<void(const ReportDocument& format, ReportPage&& page)>;

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

/// A report's pages to paint, laid out as they are asked for: a document holding them all, or
/// a paged report that holds its rows and lays out only the pages asked for.
class ReportPages {
public:
    virtual ~ReportPages() = default;
    /// The paper, font and title, without pages.
    virtual const ReportDocument& format() const = 0;
    virtual int pageCount() const = 0;
    /// Hands pages first..last (0-based, both within the count) to the sink, in order.
    virtual void layOutPages(int first, int last, const PageSink& sink) const = 0;
};

/// A laid-out report: its paper and its pages, ready to be painted on a printer, a PDF or a
/// preview, and read by tests.
struct ReportDocument : ReportPages {
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    QSizeF pageSize;       ///< millimetres
    QMarginsF margins;
    QString fontFamily;
    QString title;         ///< the document's name for the printer and the PDF
    std::vector<ReportPage> pages;

    int pageCount() const override { return int(pages.size()); }
    const ReportDocument& format() const override { return *this; }
    void layOutPages(int first, int last, const PageSink& sink) const override;
    /// The texts of a page (0-based), in paint order, empty ones left out.
    QStringList texts(int page) const;
    /// Takes the paper and font of another document (not its title or pages).
    void takeFormat(const ReportDocument& format);
};

/// Lays the layout out over the rows: title, group headers and footers at their breaks,
/// running sums cleared by the bands that reset them, child bands right after their parents,
/// page breaks where a band (with its children) no longer fits above the page footer, and a
/// group header never left alone at the foot of a page. A report without rows prints its title
/// and the headers and footers of the groups that never break. Throws ReportError when an
/// expression names a field the data does not have.
ReportDocument layOutReport(const ReportLayout& layout, const ReportData& data);

/// Lays out as layOutReport, keeping no page: each goes to the sink when it is complete (a report
/// of thousands of pages written to a file in the memory of one). Returns the number of pages.
int layOutReportPages(const ReportLayout& layout, const ReportData& data, const PageSink& sink);

/// A report laid out over rows it holds (read any number of times, any row at any time), page
/// by page as asked: once through without placing a text to learn where each page starts (the
/// row, the running sums and the group keys), then any page again from its start. A preview of
/// thousands of pages holds the rows and a few numbers a page, never the pages.
class PagedReport : public ReportPages {
public:
    /// Throws ReportError when an expression names a field the rows do not have.
    PagedReport(const ReportLayout& layout, std::shared_ptr<const ReportData> rows, const QString& title);
    ~PagedReport() override;

    const ReportDocument& format() const override { return m_format; }
    /// Lays the report out once without keeping a page the first time it is asked.
    int pageCount() const override;
    void layOutPages(int first, int last, const PageSink& sink) const override;
    /// Every page, for tests and small reports.
    ReportDocument document() const;

private:
    struct Starts;
    ReportLayout m_layout;
    std::shared_ptr<const ReportData> m_rows;
    ReportDocument m_format;
    mutable std::unique_ptr<Starts> m_starts;
};
