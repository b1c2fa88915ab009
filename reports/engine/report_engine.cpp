#include "reports/engine/report_engine.h"
#include "reports/engine/report_data.h"

QStringList ReportDocument::texts(int page) const
{
    QStringList out;
    for (const PageElement& e : pages.at(size_t(page)).elements)
        if (!e.text.isEmpty()) out << e.text;
    return out;
}

namespace {

/// One run of a layout over data.
class LayoutRun {
public:
    LayoutRun(const ReportLayout& layout, const ReportData& data, const PageSink& sink)
        : m_layout(layout), m_data(data), m_sink(sink)
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

    int run()
    {
        startPage();
        const bool any = m_data.hasRow(0);
        m_row = any ? 0 : m_data.rowForEmptyReport();
        for (int t : m_titles) printChain(t, m_row);
        const auto& groups = m_layout.groups();
        const int levels = int(groups.size());
        if (!any) {
            for (int g = 0; g < levels; ++g)
                if (!groups[size_t(g)].breaks) printChain(groups[size_t(g)].header, m_row);
            for (int g = levels - 1; g >= 0; --g)
                if (!groups[size_t(g)].breaks && groups[size_t(g)].footer >= 0) printChain(groups[size_t(g)].footer, m_row);
        } else {
            QStringList previous;
            int row = 0;
            for (; m_data.hasRow(row); ++row) {
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
                    if (m_y + needed > m_footerTop && m_pageHasBands) newPage();
                    for (int g = changed; g < levels; ++g) printChain(groups[size_t(g)].header, row);
                }
                const EvalContext ctx{&m_data, row, &m_sums};
                for (const ReportExpression* e : m_summing) e->accumulate(ctx, m_sums);
                for (int d : m_details) printChain(d, row);
                previous = keys;
            }
            m_row = row - 1;
            for (int g = levels - 1; g >= 0; --g)
                if (groups[size_t(g)].footer >= 0) printChain(groups[size_t(g)].footer, row - 1);
        }
        finishPage();
        handOver();
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

    void printChain(int index, int row)
    {
        if (m_y + chainHeight(index) > m_footerTop && m_pageHasBands) newPage();
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
        if (b.resets)
            for (int slot : m_bandSlots[size_t(index)]) m_sums[size_t(slot)] = Money();
    }

    void startPage()
    {
        m_doc.pages.emplace_back();
        ++m_pageNumber;
        m_y = m_top;
        m_pageHasBands = false;
    }

    /// The finished page goes to the sink and is not kept.
    void handOver()
    {
        m_sink(m_doc, std::move(m_doc.pages.back()));
        m_doc.pages.clear();
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
        if (whole.pages.empty()) {
            whole.orientation = format.orientation;
            whole.pageSize = format.pageSize;
            whole.margins = format.margins;
            whole.fontFamily = format.fontFamily;
        }
        whole.pages.push_back(std::move(page));
    });
    return whole;
}
