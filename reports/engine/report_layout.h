#pragma once
#include "reports/engine/report_expression.h"

#include <QColor>
#include <QFlags>
#include <QMarginsF>
#include <QPageLayout>
#include <QSizeF>
#include <QString>
#include <deque>
#include <memory>
#include <vector>

enum FrameSide { NoFrame = 0, FrameTop = 1, FrameBottom = 2, FrameLeft = 4, FrameRight = 8, FrameBox = 15 };
Q_DECLARE_FLAGS(FrameSides, FrameSide)
Q_DECLARE_OPERATORS_FOR_FLAGS(FrameSides)

/// A label of a layout whose caption the caller sets, such as a report's title. Copies share
/// one caption, so a layout sees what the window's label was last set to.
class ReportLabel {
public:
    explicit ReportLabel(const QString& designText = {}) : m_caption(std::make_shared<QString>(designText)) {}
    void setCaption(const QString& text) { *m_caption = text; }
    QString caption() const { return *m_caption; }

private:
    std::shared_ptr<QString> m_caption;
};

/// Where an item stands across the page: millimetres from the left margin, and its width.
struct Column {
    double x = 0;
    double width = 0;
};

/// One item of a band: fixed text, an expression (a field is the simplest), the caption of a
/// label or the page number; with its place, alignment, weight, frame, background and mask.
struct ReportItem {
    enum class Kind { Text, Expression, Label, PageNumber };
    Kind kind = Kind::Text;
    QString text;               ///< fixed text
    ReportExpression expression;
    ReportLabel label;
    Column at;
    int line = 0;               ///< line of the band, from 0
    Qt::Alignment alignment = Qt::AlignLeft;
    int bold = -1;              ///< -1: as the band
    double fontSize = 0;        ///< points; 0: as the band
    FrameSides frame;
    QColor background;
    DisplayMask mask;

    ReportItem& left() { alignment = Qt::AlignLeft; return *this; }
    ReportItem& right() { alignment = Qt::AlignRight; return *this; }
    ReportItem& centre() { alignment = Qt::AlignHCenter; return *this; }
    ReportItem& setBold(bool on = true) { bold = on ? 1 : 0; return *this; }
    ReportItem& setMask(const QString& displayMask) { mask = DisplayMask(displayMask); return *this; }
    ReportItem& framed(FrameSides sides = FrameBox) { frame = sides; return *this; }
    ReportItem& shaded(const QColor& colour) { background = colour; return *this; }
    ReportItem& onLine(int bandLine) { line = bandLine; return *this; }
    ReportItem& setFontSize(double points) { fontSize = points; return *this; }
};

/// A horizontal strip of a layout that prints as a whole: title, group header or footer,
/// child of another band, detail (once per row) or page footer.
struct Band {
    enum class Kind { Title, GroupHeader, GroupFooter, Child, Detail, PageFooter };
    Kind kind = Kind::Detail;
    double height = 0;          ///< millimetres
    double lineHeight = 0;      ///< height of one of the band's lines
    int group = -1;             ///< group headers and footers: their group
    std::vector<int> children;  ///< child bands, printed right after this one
    bool resets = false;        ///< clears its running sums after it prints
    FrameSides frame;
    QColor background;
    bool bold = false;
    double fontSize = 0;        ///< points; 0: the layout's
    std::deque<ReportItem> items;

    /// Splits the band into lines of equal height for items placed with onLine().
    Band& lines(int count) { lineHeight = height / count; return *this; }
    Band& resetAfterPrint() { resets = true; return *this; }
    Band& framed(FrameSides sides = FrameBox) { frame = sides; return *this; }
    Band& shaded(const QColor& colour) { background = colour; return *this; }
    Band& setBold(bool on = true) { bold = on; return *this; }
    Band& setFontSize(double points) { fontSize = points; return *this; }

    ReportItem& text(const QString& fixedText, Column at);
    ReportItem& expr(const QString& expression, Column at);
    ReportItem& label(const ReportLabel& label, Column at);
    ReportItem& pageNumber(Column at);
};

/// A banded report layout on A4 with 10 mm margins: its bands in print order and its groups.
/// Built once; laying it out over data (report_engine.h) leaves it as it is.
class ReportLayout {
public:
    /// A group: a header with a break expression (or none: printed once at the start, its
    /// footer once at the end) and its footer.
    struct Group {
        int header = -1;
        int footer = -1;
        bool breaks = false;
        ReportExpression breakExpression;
    };

    explicit ReportLayout(QPageLayout::Orientation orientation = QPageLayout::Portrait);

    Band& title(double height);
    /// A group header; an empty break expression makes a group that never breaks. Groups
    /// nest in the order they are declared, the first outermost.
    Band& groupHeader(const QString& breakExpression, double height);
    Band& groupFooter(const Band& header, double height);
    Band& child(const Band& parent, double height);
    Band& detail(double height);
    Band& pageFooter(double height);

    QPageLayout::Orientation orientation() const { return m_orientation; }
    /// The paper in millimetres, turned as the orientation says.
    QSizeF pageSize() const;
    QMarginsF margins() const { return {10, 10, 10, 10}; }
    double contentWidth() const { return pageSize().width() - margins().left() - margins().right(); }
    QString fontFamily() const { return m_fontFamily; }
    double fontSize() const { return m_fontSize; }
    void setFont(const QString& family, double points) { m_fontFamily = family; m_fontSize = points; }

    const std::deque<Band>& bands() const { return m_bands; }
    std::deque<Band>& bands() { return m_bands; }
    const std::vector<Group>& groups() const { return m_groups; }
    std::vector<Group>& groups() { return m_groups; }
    int indexOf(const Band& band) const;
    /// The fields the layout's expressions and group breaks read, in lower case, each once.
    QStringList fieldNames() const;

private:
    Band& add(Band::Kind kind, double height);

    QPageLayout::Orientation m_orientation;
    QString m_fontFamily = QStringLiteral("DejaVu Sans");
    double m_fontSize = 8;
    std::deque<Band> m_bands;
    std::vector<Group> m_groups;
};
