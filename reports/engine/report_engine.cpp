#include "reports/engine/report_engine.h"
#include "reports/engine/report_data.h"

#include <limits>

QStringList ReportDocument::texts(int page) const
{
    QStringList out;
    for (const PageElement& e : pages.at(size_t(page)).elements)
        if (!e.text.isEmpty()) out << e.text;
    return out;
}

/// Where a page starts: the stage its first band belongs to (-1 the opening, a row, or the
/// row count for the closing footers), the running sums and group keys as that stage began, and
/// how many of the stage's bands went on the pages before.
struct PageStart {
    int page = 1;
    int stage = -1;
    std::vector<Money> sums;
    QStringList previous;
    int bandsBefore = 0;
};

namespace {

/// One run of a layout over data.
class LayoutRun {
public:
    /// Pages go to the sink; keepElements false lays out without placing a text (to learn where
    /// pages start, recorded in starts when given).
    LayoutRun(const ReportLayout& layout, const ReportData& data, const PageSink& sink, bool keepElements = true,
              std::vector<PageStart>* starts = nullptr)
        : m_layout(layout), m_data(data), m_sink(sink), m_keep(keepElements), m_starts(starts)
    {
        int slotCount = 0;
        for (Band& band : m_layout.bands()) {
            std::vector<int> bandSlots;
            for (ReportItem& item : band.items) {
                if (item.kind != ReportItem::Kind::Expression) continue;
                item.expression.bind(m_data, slotCount);
                const std::vector<int> s = item.expression.sumSlots();
                if (!s.empty()) {
                    bandSlots.insert(bandSlots.end(), s.begin(), s.end());
                    m_summing.push_back(&item.expression);
                }
            }
            m_bandSlots.push_back(std::move(bandSlots));
        }
        for (ReportLayout::Group& g : m_layout.groups())
            if (g.breaks) g.breakExpression.bind(m_data, slotCount);
        m_sums.assign(size_t(slotCount), Money());

        const auto& bands = m_layout.bands();
        for (size_t i = 0; i < bands.size(); ++i) {
            if (bands[i].kind == Band::Kind::PageFooter && m_pageFooter < 0) m_pageFooter = int(i);
            if (bands[i].kind == Band::Kind::Detail) m_details.push_back(int(i));
            if (bands[i].kind == Band::Kind::Title) m_titles.push_back(int(i));
        }
        const QSizeF page = m_layout.pageSize();
        const QMarginsF m = m_layout.margins();
        m_top = m.top();
        m_footerTop = page.height() - m.bottom() - (m_pageFooter >= 0 ? band(m_pageFooter).height : 0);

        m_doc.orientation = m_layout.orientation();
        m_doc.pageSize = page;
        m_doc.margins = m;
        m_doc.fontFamily = m_layout.fontFamily();
    }

    /// Lays out from the start of the report, or from where a page starts, up to the page
    /// numbered lastPage (1-based); returns the number of the last page laid out.
    int run(const PageStart* from = nullptr, int lastPage = std::numeric_limits<int>::max())
    {
        m_lastPage = lastPage;
        const bool any = m_data.hasRow(0);
        const auto& groups = m_layout.groups();
        const int levels = int(groups.size());
        int stage = -1;
        QStringList previous;
        if (from) {
            // The pages before are not laid out again: the stage's bands that went on them are
            // passed over (their sums cleared as then), and the page starts after them.
            stage = from->stage;
            m_sums = from->sums;
            previous = from->previous;
            m_pageNumber = from->page - 1;
            m_skip = from->bandsBefore;
            m_afterBreak = from->page > 1;
        }
        m_pending = m_skip == 0;
        beginStage(stage, previous);
        if (stage == -1) {
            m_row = any ? 0 : m_data.rowForEmptyReport();
            for (int t : m_titles) printChain(t, m_row);
            if (!any) {
                for (int g = 0; g < levels; ++g)
                    if (!groups[size_t(g)].breaks) printChain(groups[size_t(g)].header, m_row);
                for (int g = levels - 1; g >= 0; --g)
                    if (!groups[size_t(g)].breaks && groups[size_t(g)].footer >= 0) printChain(groups[size_t(g)].footer, m_row);
            }
            stage = 0;
        }
        if (any) {
            int row = stage;
            for (; !m_stop && m_data.hasRow(row); ++row) {
                beginStage(row, previous);
                QStringList keys;
                for (const ReportLayout::Group& g : groups) keys << (g.breaks ? keyOf(g.breakExpression, row) : QString());
                int changed = 0;
                if (row > 0) {
                    while (changed < levels && keys.at(changed) == previous.at(changed)) ++changed;
                    m_row = row - 1;
                    for (int g = levels - 1; g >= changed; --g)
                        if (groups[size_t(g)].footer >= 0) printChain(groups[size_t(g)].footer, row - 1);
                }
                m_row = row;
                if (changed < levels) {
                    // Headers go to the next page together with the first row under them.
                    double needed = 0;
                    for (int g = changed; g < levels; ++g) needed += chainHeight(groups[size_t(g)].header);
                    for (int d : m_details) needed += chainHeight(d);
                    if (placing() && m_y + needed > m_footerTop && m_pageHasBands) newPage();
                    for (int g = changed; g < levels; ++g) printChain(groups[size_t(g)].header, row);
                }
                const EvalContext ctx{&m_data, row, &m_sums};
                for (const ReportExpression* e : m_summing) e->accumulate(ctx, m_sums);
                for (int d : m_details) printChain(d, row);
                previous = keys;
            }
            if (!m_stop) {
                beginStage(row, previous);
                m_row = row - 1;
                for (int g = levels - 1; g >= 0; --g)
                    if (groups[size_t(g)].footer >= 0) printChain(groups[size_t(g)].footer, row - 1);
            }
        }
        if (!m_stop) {
            placing();
            finishPage();
            handOver();
        }
        return m_pageNumber;
    }

private:
    const Band& band(int index) const { return m_layout.bands()[size_t(index)]; }

    QString keyOf(const ReportExpression& e, int row) const
    {
        const ReportValue v = e.evaluate(EvalContext{&m_data, row, &m_sums});
        switch (v.kind) {
        case ReportValue::Kind::Number: return QStringLiteral("n") + v.number.toString();
        case ReportValue::Kind::Text: return QStringLiteral("t") + v.text;
        default: return QStringLiteral("-");
        }
    }

    double chainHeight(int index) const
    {
        double h = band(index).height;
        for (int c : band(index).children) h += chainHeight(c);
        return h;
    }

    /// Remembers how a stage (the opening, a row, the closing footers) begins, for the page
    /// starts recorded in it.
    void beginStage(int stage, const QStringList& previous)
    {
        if (!m_starts) return;
        m_stage.stage = stage;
        m_stage.sums = m_sums;
        m_stage.previous = previous;
        m_stage.bandsBefore = 0;
    }

    /// Whether bands are placed on a page (false while those of earlier pages are passed over);
    /// starts the page when the last of them has been passed.
    bool placing()
    {
        if (m_skip > 0) return false;
        if (m_pending) {
            m_pending = false;
            // The page footer that closed the page before cleared its sums then.
            if (m_afterBreak && m_pageFooter >= 0 && band(m_pageFooter).resets)
                for (int slot : m_bandSlots[size_t(m_pageFooter)]) m_sums[size_t(slot)] = Money();
            startPage();
        }
        return true;
    }

    void printChain(int index, int row)
    {
        if (placing() && m_y + chainHeight(index) > m_footerTop && m_pageHasBands) newPage();
        emitBand(index, row);
        for (int c : band(index).children) printChain(c, row);
    }

    QString itemText(const ReportItem& item, const EvalContext& ctx) const
    {
        switch (item.kind) {
        case ReportItem::Kind::Text: return item.text;
        case ReportItem::Kind::Label: return item.label.caption();
        case ReportItem::Kind::PageNumber: return QString::number(m_pageNumber);
        case ReportItem::Kind::Expression: {
            const ReportValue v = item.expression.evaluate(ctx);
            if (v.kind == ReportValue::Kind::Number && !item.mask.isEmpty()) return item.mask.format(v.number);
            return v.toText();
        }
        }
        return {};
    }

    void emitBand(int index, int row)
    {
        const Band& b = band(index);
        if (b.kind != Band::Kind::PageFooter && m_starts) ++m_stage.bandsBefore;
        if (m_skip > 0) {
            if (--m_skip == 0) m_pending = true;
            clearSumsOf(index);
            return;
        }
        if (!m_keep) {
            m_y += b.height;
            if (b.kind != Band::Kind::PageFooter) m_pageHasBands = true;
            clearSumsOf(index);
            return;
        }
        std::vector<PageElement>& out = m_doc.pages.back().elements;
        const double left = m_layout.margins().left();
        const QRectF bandRect(left, m_y, m_layout.contentWidth(), b.height);
        const double bandFont = b.fontSize > 0 ? b.fontSize : m_layout.fontSize();
        if (b.background.isValid()) {
            PageElement e;
            e.rect = bandRect;
            e.background = b.background;
            out.push_back(std::move(e));
        }
        const EvalContext ctx{&m_data, row, &m_sums};
        for (const ReportItem& item : b.items) {
            PageElement e;
            e.text = itemText(item, ctx);
            if (e.text.isEmpty() && !item.background.isValid() && !item.frame) continue;
            e.rect = QRectF(left + item.at.x, m_y + item.line * b.lineHeight, item.at.width, b.lineHeight);
            e.alignment = item.alignment;
            e.bold = item.bold < 0 ? b.bold : item.bold == 1;
            e.fontSize = item.fontSize > 0 ? item.fontSize : bandFont;
            e.background = item.background;
            e.frame = item.frame;
            out.push_back(std::move(e));
        }
        if (b.frame) {
            PageElement e;
            e.rect = bandRect;
            e.frame = b.frame;
            out.push_back(std::move(e));
        }
        m_y += b.height;
        if (b.kind != Band::Kind::PageFooter) m_pageHasBands = true;
        clearSumsOf(index);
    }

    void clearSumsOf(int index)
    {
        if (band(index).resets)
            for (int slot : m_bandSlots[size_t(index)]) m_sums[size_t(slot)] = Money();
    }

    void startPage()
    {
        m_doc.pages.emplace_back();
        ++m_pageNumber;
        m_y = m_top;
        m_pageHasBands = false;
        if (m_starts) {
            m_stage.page = m_pageNumber;
            m_starts->push_back(m_stage);
        }
    }

    /// The finished page goes to the sink and is not kept; the run stops after the last page
    /// asked for.
    void handOver()
    {
        m_sink(m_doc, std::move(m_doc.pages.back()));
        m_doc.pages.clear();
        if (m_pageNumber >= m_lastPage) m_stop = true;
    }

    void finishPage()
    {
        if (m_pageFooter < 0) return;
        m_y = m_footerTop;
        emitBand(m_pageFooter, m_row);
    }

    void newPage()
    {
        finishPage();
        handOver();
        startPage();
    }

    ReportLayout m_layout;   // a copy whose expressions are bound to the data
    const ReportData& m_data;
    const PageSink& m_sink;
    bool m_keep = true;
    std::vector<PageStart>* m_starts = nullptr;
    PageStart m_stage;        // how the current stage began, while page starts are recorded
    int m_skip = 0;           // bands of earlier pages still to pass over
    bool m_pending = false;   // the page starts with the next band placed
    bool m_afterBreak = false;
    bool m_stop = false;
    int m_lastPage = 0;
    int m_pageNumber = 0;
    std::vector<std::vector<int>> m_bandSlots;
    std::vector<const ReportExpression*> m_summing;
    std::vector<Money> m_sums;
    int m_pageFooter = -1;
    std::vector<int> m_details;
    std::vector<int> m_titles;
    double m_top = 0;
    double m_footerTop = 0;

    ReportDocument m_doc;
    double m_y = 0;
    bool m_pageHasBands = false;
    int m_row = -1;
};

} // namespace

int layOutReportPages(const ReportLayout& layout, const ReportData& data, const PageSink& sink)
{
    return LayoutRun(layout, data, sink).run();
}

ReportDocument layOutReport(const ReportLayout& layout, const ReportData& data)
{
    ReportDocument whole;
    layOutReportPages(layout, data, [&whole](const ReportDocument& format, ReportPage&& page) {
        if (whole.pages.empty()) whole.takeFormat(format);
        whole.pages.push_back(std::move(page));
    });
    return whole;
}

void ReportDocument::takeFormat(const ReportDocument& format)
{
    orientation = format.orientation;
    pageSize = format.pageSize;
    margins = format.margins;
    fontFamily = format.fontFamily;
}

void ReportDocument::layOutPages(int first, int last, const PageSink& sink) const
{
    ReportDocument paper;
    paper.takeFormat(*this);
    paper.title = title;
    for (int p = std::max(first, 0); p <= last && p < pageCount(); ++p) {
        ReportPage copy = pages[size_t(p)];
        sink(paper, std::move(copy));
    }
}

struct PagedReport::Starts {
    std::vector<PageStart> pages;
};

PagedReport::PagedReport(const ReportLayout& layout, std::shared_ptr<const ReportData> rows, const QString& title)
    : m_layout(layout), m_rows(std::move(rows))
{
    m_format.orientation = layout.orientation();
    m_format.pageSize = layout.pageSize();
    m_format.margins = layout.margins();
    m_format.fontFamily = layout.fontFamily();
    m_format.title = title;
    // Binds the expressions: a field the rows lack is refused now, not when a page is shown.
    LayoutRun(m_layout, *m_rows, [](const ReportDocument&, ReportPage&&) {});
}

PagedReport::~PagedReport() = default;

int PagedReport::pageCount() const
{
    if (!m_starts) {
        auto starts = std::make_unique<Starts>();
        LayoutRun(m_layout, *m_rows, [](const ReportDocument&, ReportPage&&) {}, false, &starts->pages).run();
        m_starts = std::move(starts);
    }
    return int(m_starts->pages.size());
}

void PagedReport::layOutPages(int first, int last, const PageSink& sink) const
{
    first = std::max(first, 0);
    last = std::min(last, pageCount() - 1);
    if (first > last) return;
    const PageSink titled = [&](const ReportDocument&, ReportPage&& page) { sink(m_format, std::move(page)); };
    LayoutRun(m_layout, *m_rows, titled).run(&m_starts->pages[size_t(first)], last + 1);
}

ReportDocument PagedReport::document() const
{
    ReportDocument whole = m_format;
    layOutPages(0, pageCount() - 1, [&whole](const ReportDocument&, ReportPage&& page) { whole.pages.push_back(std::move(page)); });
    return whole;
}
