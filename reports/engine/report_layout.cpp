#include "reports/engine/report_layout.h"

ReportItem& Band::text(const QString& fixedText, Column at)
{
    ReportItem& item = items.emplace_back();
    item.kind = ReportItem::Kind::Text;
    item.text = fixedText;
    item.at = at;
    return item;
}

ReportItem& Band::expr(const QString& expression, Column at)
{
    ReportItem& item = items.emplace_back();
    item.kind = ReportItem::Kind::Expression;
    item.expression = ReportExpression(expression);
    item.at = at;
    return item;
}

ReportItem& Band::label(const ReportLabel& label, Column at)
{
    ReportItem& item = items.emplace_back();
    item.kind = ReportItem::Kind::Label;
    item.label = label;
    item.at = at;
    return item;
}

ReportItem& Band::pageNumber(Column at)
{
    ReportItem& item = items.emplace_back();
    item.kind = ReportItem::Kind::PageNumber;
    item.at = at;
    return item;
}

ReportLayout::ReportLayout(QPageLayout::Orientation orientation) : m_orientation(orientation) {}

QSizeF ReportLayout::pageSize() const
{
    return m_orientation == QPageLayout::Portrait ? QSizeF(210, 297) : QSizeF(297, 210);
}

int ReportLayout::indexOf(const Band& band) const
{
    for (size_t i = 0; i < m_bands.size(); ++i)
        if (&m_bands[i] == &band) return int(i);
    throw ReportError(QStringLiteral("Полоса не из этого макета"));
}

Band& ReportLayout::add(Band::Kind kind, double height)
{
    Band& band = m_bands.emplace_back();
    band.kind = kind;
    band.height = height;
    band.lineHeight = height;
    return band;
}

Band& ReportLayout::title(double height) { return add(Band::Kind::Title, height); }

Band& ReportLayout::groupHeader(const QString& breakExpression, double height)
{
    Group group;
    group.breaks = !breakExpression.trimmed().isEmpty();
    if (group.breaks) group.breakExpression = ReportExpression(breakExpression);
    Band& band = add(Band::Kind::GroupHeader, height);
    group.header = int(m_bands.size()) - 1;
    band.group = int(m_groups.size());
    m_groups.push_back(std::move(group));
    return band;
}

Band& ReportLayout::groupFooter(const Band& header, double height)
{
    const int h = indexOf(header);
    if (header.kind != Band::Kind::GroupHeader) throw ReportError(QStringLiteral("Подвал группы без её заголовка"));
    const int group = m_bands[size_t(h)].group;
    Band& band = add(Band::Kind::GroupFooter, height);
    band.group = group;
    m_groups[size_t(group)].footer = int(m_bands.size()) - 1;
    return band;
}

Band& ReportLayout::child(const Band& parent, double height)
{
    const int p = indexOf(parent);
    Band& band = add(Band::Kind::Child, height);
    m_bands[size_t(p)].children.push_back(int(m_bands.size()) - 1);
    return band;
}

Band& ReportLayout::detail(double height) { return add(Band::Kind::Detail, height); }

Band& ReportLayout::pageFooter(double height) { return add(Band::Kind::PageFooter, height); }

QStringList ReportLayout::fieldNames() const
{
    QStringList out;
    const auto add = [&out](const ReportExpression& e) {
        for (const QString& f : e.fieldNames())
            if (!out.contains(f.toLower())) out << f.toLower();
    };
    for (const Band& band : m_bands)
        for (const ReportItem& item : band.items)
            if (item.kind == ReportItem::Kind::Expression) add(item.expression);
    for (const Group& g : m_groups)
        if (g.breaks) add(g.breakExpression);
    return out;
}
