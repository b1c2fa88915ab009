#include "reports/month_summary_charts.h"
#include "data/data_module.h"
#include "data/formats.h"
#include "data/replacing_file.h"
#include "reports/engine/report_expression.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QCoreApplication>
#include <QCursor>
#include <QGraphicsRectItem>
#include <QGraphicsScene>
#include <QHorizontalBarSeries>
#include <QLegend>
#include <QLineSeries>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QStackedBarSeries>
#include <QToolTip>
#include <QGraphicsLayout>
#include <QValueAxis>

using namespace month_summary;

namespace {

// The chart's numbers as the program writes them: a decimal comma, no thousands separator.
QLocale chartLocale()
{
    QLocale locale(QLocale::Russian, QLocale::Russia);
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale;
}

QString rubles(const Money& m) { return formats::general(m.rounded(2, Money::Rounding::HalfAwayFromZero)); }
QString percent(double part, double whole)
{
    return whole > 0 ? formats::general(std::round(part * 1000 / whole) / 10) : QStringLiteral("0");
}

QString shiftName(int shift) { return shift == 4 ? QStringLiteral("Переработка") : QStringLiteral("Смена №%1").arg(shift); }

// Series told apart in grey as well as in colour: a dark and a light solid, hatching and
// cross-hatching, each bar outlined.
struct Look {
    QColor colour;
    Qt::BrushStyle pattern;
};
const Look kLooks[] = {{QColor(31, 78, 140), Qt::SolidPattern},
                       {QColor(245, 180, 80), Qt::SolidPattern},
                       {QColor(30, 120, 50), Qt::BDiagPattern},
                       {QColor(170, 30, 30), Qt::DiagCrossPattern}};

QFont chartFont(double points, bool bold = false)
{
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
}

QBarSet* barSet(const QString& label, int look, const QList<double>& values)
{
    auto* set = new QBarSet(label);
    set->setBrush(QBrush(kLooks[look].colour, kLooks[look].pattern));
    set->setPen(QPen(QColor(30, 30, 30), 0.6));
    set->setLabelColor(Qt::black);
    set->setLabelFont(chartFont(6.5));
    set->append(values);
    return set;
}

// Each bar's figures on hover.
void tellOnHover(QBarSet* set, std::function<QString(int)> text)
{
    QObject::connect(set, &QBarSet::hovered, set, [text = std::move(text)](bool on, int index) {
        if (on) QToolTip::showText(QCursor::pos(), text(index));
        else QToolTip::hideText();
    });
}

std::unique_ptr<QChart> newChart(const QString& title)
{
    auto chart = std::make_unique<QChart>();
    chart->setTitle(title);
    chart->setTitleFont(chartFont(9, true));
    chart->setLocale(chartLocale());
    chart->setLocalizeNumbers(true);
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->setBackgroundRoundness(0);
    chart->setMargins(QMargins(2, 2, 2, 2));
    // No frame round the chart: on a screen of 768 lines its plot has those lines more.
    chart->layout()->setContentsMargins(0, 0, 0, 0);
    chart->legend()->setAlignment(Qt::AlignBottom);
    chart->legend()->setFont(chartFont(7));
    return chart;
}

QBarCategoryAxis* categoryAxis(QChart& chart, const QStringList& categories, Qt::Alignment where = Qt::AlignBottom)
{
    auto* axis = new QBarCategoryAxis;
    axis->append(categories);
    axis->setLabelsFont(chartFont(6.5));
    axis->setGridLineVisible(false);
    chart.addAxis(axis, where);
    return axis;
}

QValueAxis* valueAxis(QChart& chart, const QString& title, Qt::Alignment where = Qt::AlignLeft)
{
    auto* axis = new QValueAxis;
    axis->setLabelFormat(QStringLiteral("%.0f"));
    axis->setLabelsFont(chartFont(6.5));
    axis->setTitleText(title);
    axis->setTitleFont(chartFont(7));
    chart.addAxis(axis, where);
    return axis;
}

void attach(QAbstractSeries* series, std::initializer_list<QAbstractAxis*> axes)
{
    for (QAbstractAxis* a : axes) series->attachAxis(a);
}

// Values from zero up, to a round number.
void fromZero(QValueAxis* axis)
{
    axis->setMin(0);
    if (axis->max() <= 0) axis->setMax(1);
    axis->applyNiceNumbers();
}

/// Shades the days off of a chart whose categories are the days of a month, under its bars, in
/// the light red of the timesheets' day-off titles (a light grey on a monochrome printer).
class DaysOffShading : public QObject {
public:
    DaysOffShading(QChart* chart, QAbstractSeries* series, const QList<int>& indexes)
        : QObject(chart), m_chart(chart), m_series(series)
    {
        for (int index : indexes) {
            auto* shade = new QGraphicsRectItem(chart);
            shade->setBrush(QColor(255, 0, 0, 38));
            shade->setPen(Qt::NoPen);
            shade->setZValue(0.5);   // over the plot's background, under the grid and the bars
            m_shades << std::pair{index, shade};
        }
        connect(chart, &QChart::plotAreaChanged, this, [this] { place(); });
    }

private:
    void place()
    {
        const QRectF area = m_chart->plotArea();
        for (const auto& [index, shade] : std::as_const(m_shades)) {
            const double left = m_chart->mapToPosition(QPointF(index - 0.5, 0), m_series).x();
            const double right = m_chart->mapToPosition(QPointF(index + 0.5, 0), m_series).x();
            shade->setRect(QRectF(left, area.top(), right - left, area.height()));
        }
    }
    QChart* m_chart;
    QAbstractSeries* m_series;
    QList<std::pair<int, QGraphicsRectItem*>> m_shades;
};

QList<int> daysOff(const Summary& s)
{
    QList<int> out;
    for (int d = 1; d <= s.daysInMonth; ++d)
        if (timesheet_days::kindOf(d, s.request.month, s.request.year) == timesheet_days::DayKind::Weekend) out << d - 1;
    return out;
}

QStringList dayCategories(const Summary& s)
{
    QStringList out;
    for (int d = 1; d <= s.daysInMonth; ++d) out << QString::number(d);
    return out;
}

QString dayText(const Summary& s, int index)
{
    return formats::date(QDate(s.request.year, s.request.month, index + 1));
}

bool isDayOff(const Summary& s, int day)
{
    return timesheet_days::kindOf(day, s.request.month, s.request.year) == timesheet_days::DayKind::Weekend;
}

// Pieces (or money) of the month by day, stacked by shift; its table by shift.
SummaryFigure dayFigure(const Summary& s, bool money, const DayClick& onDay)
{
    SummaryFigure f;
    f.name = money ? QStringLiteral("DayMoneyChart") : QStringLiteral("DayPiecesChart");
    f.chart = newChart(money ? QStringLiteral("Сдельный заработок по дням, р.") : QStringLiteral("Выпуск по дням, шт. (без брака)"));
    const int n = s.daysInMonth;
    std::vector<QList<DayShift>> byShift(kShifts, QList<DayShift>(n));
    for (const DayShift& d : s.days)
        if (d.shift >= 1 && d.shift <= kShifts && d.day >= 1 && d.day <= n) byShift[size_t(d.shift - 1)][d.day - 1] = d;
    auto* series = new QStackedBarSeries;
    series->setBarWidth(0.75);
    f.headings = {QStringLiteral("Смена"), money ? QStringLiteral("Сумма, р.") : QStringLiteral("Штук"),
                  QStringLiteral("В выходные дни"), QStringLiteral("Дней с записями")};
    Money allMoney, allOffMoney;
    qint64 allPieces = 0, allOffPieces = 0;
    for (int shift = 1; shift <= kShifts; ++shift) {
        const QList<DayShift>& days = byShift[size_t(shift - 1)];
        QList<double> values;
        Money sum, off;
        qint64 pieces = 0, offPieces = 0;
        int worked = 0;
        for (int i = 0; i < n; ++i) {
            const DayShift& d = days.at(i);
            values << (money ? d.amount.toDouble() : double(d.pieces));
            sum += d.amount;
            pieces += d.pieces;
            worked += d.entries > 0;
            if (isDayOff(s, i + 1)) {
                off += d.amount;
                offPieces += d.pieces;
            }
        }
        QBarSet* set = barSet(shiftName(shift), shift - 1, values);
        tellOnHover(set, [&s, days, shift](int i) {
            const DayShift& d = days.value(i);
            return QStringLiteral("%1, %2: %3 шт., %4 р., %5 ч.; записей %6, утверждено %7")
                .arg(dayText(s, i), shiftName(shift), QString::number(d.pieces), rubles(d.amount), QString::number(d.hours))
                .arg(d.entries)
                .arg(d.approved);
        });
        if (onDay) QObject::connect(set, &QBarSet::clicked, set, [onDay, shift](int i) { onDay(i + 1, shift); });
        series->append(set);
        f.rows << QStringList{shiftName(shift), money ? rubles(sum) : QString::number(pieces),
                              money ? rubles(off) : QString::number(offPieces), QString::number(worked)};
        allMoney += sum;
        allOffMoney += off;
        allPieces += pieces;
        allOffPieces += offPieces;
    }
    f.rows << QStringList{QStringLiteral("Итого"), money ? rubles(allMoney) : QString::number(allPieces),
                          money ? rubles(allOffMoney) : QString::number(allOffPieces), QString()};
    f.chart->addSeries(series);
    QAbstractAxis* x = categoryAxis(*f.chart, dayCategories(s));
    QValueAxis* y = valueAxis(*f.chart, money ? QStringLiteral("р.") : QStringLiteral("шт."));
    attach(series, {x, y});
    fromZero(y);
    new DaysOffShading(f.chart.get(), series, daysOff(s));
    return f;
}

// The ten largest shares and the rest, as horizontal bars named with their amounts.
SummaryFigure shareFigure(const QString& name, const QString& title, const QString& heading, const QList<Share>& all)
{
    SummaryFigure f;
    f.name = name;
    f.chart = newChart(title);
    f.chart->legend()->hide();
    const QList<Share> shares = largest(all, 10);
    Money total;
    for (const Share& sh : all) total += sh.amount;
    QStringList categories;
    QList<double> values;
    // From the bottom up: the largest on top.
    for (qsizetype i = shares.size() - 1; i >= 0; --i) {
        const Share& sh = shares.at(i);
        const QString shown = sh.name.isEmpty() ? QStringLiteral("(не указано)") : sh.name;
        categories << (shown.size() > 24 ? shown.left(23) + QChar(0x2026) : shown) + QStringLiteral(" — ") + rubles(sh.amount);
        values << sh.amount.toDouble();
    }
    for (const Share& sh : shares)
        f.rows << QStringList{sh.name.isEmpty() ? QStringLiteral("(не указано)") : sh.name, rubles(sh.amount),
                              percent(sh.amount.toDouble(), total.toDouble())};
    f.rows << QStringList{QStringLiteral("Итого"), rubles(total), total.isZero() ? QStringLiteral("0") : QStringLiteral("100")};
    f.headings = {heading, QStringLiteral("Сумма, р."), QStringLiteral("Доля, %")};
    auto* series = new QHorizontalBarSeries;
    series->setBarWidth(0.7);
    QBarSet* set = barSet(QStringLiteral("Сумма, р."), 0, values);
    tellOnHover(set, [categories](int i) { return categories.value(i); });
    series->append(set);
    f.chart->addSeries(series);
    QAbstractAxis* y = categoryAxis(*f.chart, categories, Qt::AlignLeft);
    QValueAxis* x = valueAxis(*f.chart, QStringLiteral("р."), Qt::AlignBottom);
    attach(series, {x, y});
    fromZero(x);
    return f;
}

QString monthShort(const MonthFigure& m)
{
    return formats::monthName(m.month).left(3) + QLatin1Char(' ') + QString::number(m.year);
}

// The twelve months: the money as bars, the hours as a line; this month marked "►".
SummaryFigure monthsFigure(const Summary& s)
{
    SummaryFigure f;
    f.name = QStringLiteral("MonthsChart");
    f.chart = newChart(s.withHours() ? QStringLiteral("Последние двенадцать месяцев: заработок и часы")
                                     : QStringLiteral("Последние двенадцать месяцев: сдельный заработок и часы"));
    QStringList categories;
    QList<double> piecework, hourPaid;
    auto* hours = new QLineSeries;
    hours->setName(QStringLiteral("Часы"));
    hours->setPen(QPen(Qt::black, 1.6, Qt::DashLine));
    hours->setPointsVisible(true);
    f.headings = {QStringLiteral("Месяц"), QStringLiteral("Сделка, р.")};
    if (s.withHours()) f.headings << QStringLiteral("Почасовые, р.");
    f.headings << QStringLiteral("Часы");
    for (int i = 0; i < s.months.size(); ++i) {
        const MonthFigure& m = s.months.at(i);
        const bool current = i == s.months.size() - 1;
        categories << (current ? QStringLiteral("► ") : QString()) + monthShort(m);
        piecework << m.piecework.toDouble();
        hourPaid << m.hourPaid.toDouble();
        hours->append(i, double(m.hours));
        QStringList row{(current ? QStringLiteral("► ") : QString()) + formats::monthName(m.month) + QLatin1Char(' ') +
                            QString::number(m.year),
                        rubles(m.piecework)};
        if (s.withHours()) row << rubles(m.hourPaid);
        row << QString::number(m.hours);
        f.rows << row;
    }
    auto* bars = new QBarSeries;
    bars->setBarWidth(0.8);
    const auto monthTip = [&s](const QString& what, int i) {
        const MonthFigure& m = s.months.value(i);
        return QStringLiteral("%1 %2: %3").arg(formats::monthName(m.month)).arg(m.year).arg(what);
    };
    QBarSet* pw = barSet(QStringLiteral("Сделка, р."), 0, piecework);
    tellOnHover(pw, [&s, monthTip](int i) {
        return monthTip(QStringLiteral("сделка %1 р., %2 ч.").arg(rubles(s.months.value(i).piecework)).arg(s.months.value(i).hours), i);
    });
    bars->append(pw);
    if (s.withHours()) {
        QBarSet* hp = barSet(QStringLiteral("Почасовые, р."), 2, hourPaid);
        tellOnHover(hp, [&s, monthTip](int i) {
            return monthTip(QStringLiteral("почасовые %1 р.").arg(rubles(s.months.value(i).hourPaid)), i);
        });
        bars->append(hp);
    }
    f.chart->addSeries(bars);
    f.chart->addSeries(hours);
    QAbstractAxis* x = categoryAxis(*f.chart, categories);
    QValueAxis* money = valueAxis(*f.chart, QStringLiteral("р."));
    QValueAxis* time = valueAxis(*f.chart, QStringLiteral("ч."), Qt::AlignRight);
    attach(bars, {x, money});
    attach(hours, {x, time});
    fromZero(money);
    fromZero(time);
    return f;
}

// Hours by day: the journal's against the hour entries'.
SummaryFigure hoursFigure(const Summary& s)
{
    SummaryFigure f;
    f.name = QStringLiteral("HoursChart");
    f.chart = newChart(QStringLiteral("Часы по дням: сделка и почасовые работы"));
    const int n = s.daysInMonth;
    QList<double> piecework(n, 0), hourPaid(n, 0);
    qint64 pw = 0, pwOff = 0;
    for (const DayShift& d : s.days) {
        if (d.day < 1 || d.day > n) continue;
        piecework[d.day - 1] += double(d.hours);
        pw += d.hours;
        if (isDayOff(s, d.day)) pwOff += d.hours;
    }
    qint64 kindHours[2] = {0, 0}, kindOff[2] = {0, 0};
    for (const HourDay& h : s.hourDays) {
        if (h.day < 1 || h.day > n) continue;
        hourPaid[h.day - 1] += double(h.hours);
        const int k = h.kind == 7778 ? 1 : 0;
        kindHours[k] += h.hours;
        if (isDayOff(s, h.day)) kindOff[k] += h.hours;
    }
    auto* series = new QStackedBarSeries;
    series->setBarWidth(0.75);
    QBarSet* a = barSet(QStringLiteral("Сделка"), 0, piecework);
    tellOnHover(a, [&s, piecework, hourPaid](int i) {
        return QStringLiteral("%1: сделка %2 ч., почасовые %3 ч.").arg(dayText(s, i)).arg(piecework.value(i)).arg(hourPaid.value(i));
    });
    series->append(a);
    f.headings = {QStringLiteral("Работа"), QStringLiteral("Часов"), QStringLiteral("В выходные дни")};
    f.rows << QStringList{QStringLiteral("Сделка"), QString::number(pw), QString::number(pwOff)};
    if (s.withHours()) {
        QBarSet* b = barSet(QStringLiteral("Почасовые работы"), 2, hourPaid);
        tellOnHover(b, [&s, piecework, hourPaid](int i) {
            return QStringLiteral("%1: почасовые %2 ч., сделка %3 ч.").arg(dayText(s, i)).arg(hourPaid.value(i)).arg(piecework.value(i));
        });
        series->append(b);
        f.rows << QStringList{QStringLiteral("Хоз. работы"), QString::number(kindHours[0]), QString::number(kindOff[0])};
        f.rows << QStringList{QStringLiteral("Ср. сдельная"), QString::number(kindHours[1]), QString::number(kindOff[1])};
    }
    f.rows << QStringList{QStringLiteral("Итого"), QString::number(pw + kindHours[0] + kindHours[1]),
                          QString::number(pwOff + kindOff[0] + kindOff[1])};
    f.chart->addSeries(series);
    QAbstractAxis* x = categoryAxis(*f.chart, dayCategories(s));
    QValueAxis* y = valueAxis(*f.chart, QStringLiteral("ч."));
    attach(series, {x, y});
    fromZero(y);
    new DaysOffShading(f.chart.get(), series, daysOff(s));
    return f;
}

// The month's entries approved and waiting, by shift, the counts on the bars.
SummaryFigure approvalsFigure(const Summary& s)
{
    SummaryFigure f;
    f.name = QStringLiteral("ApprovalsChart");
    f.chart = newChart(QStringLiteral("Утверждение записей месяца по сменам"));
    int entries[kShifts] = {}, approved[kShifts] = {};
    for (const DayShift& d : s.days) {
        if (d.shift < 1 || d.shift > kShifts) continue;
        entries[d.shift - 1] += d.entries;
        approved[d.shift - 1] += d.approved;
    }
    QStringList categories;
    QList<double> yes, waiting;
    f.headings = {QStringLiteral("Смена"), QStringLiteral("Записей"), QStringLiteral("Утверждено"), QStringLiteral("Ждут"),
                  QStringLiteral("Утверждено, %")};
    int all = 0, allApproved = 0;
    for (int i = 0; i < kShifts; ++i) {
        const QString share = percent(approved[i], entries[i]);
        categories << shiftName(i + 1) + QStringLiteral(": ") + share + QStringLiteral(" %");
        yes << approved[i];
        waiting << entries[i] - approved[i];
        f.rows << QStringList{shiftName(i + 1), QString::number(entries[i]), QString::number(approved[i]),
                              QString::number(entries[i] - approved[i]), share};
        all += entries[i];
        allApproved += approved[i];
    }
    f.rows << QStringList{QStringLiteral("Итого"), QString::number(all), QString::number(allApproved),
                          QString::number(all - allApproved), percent(allApproved, all)};
    auto* series = new QStackedBarSeries;
    series->setBarWidth(0.6);
    series->setLabelsVisible(true);
    series->setLabelsPosition(QAbstractBarSeries::LabelsCenter);
    series->setLabelsPrecision(12);
    QBarSet* a = barSet(QStringLiteral("Утверждено"), 1, yes);
    QBarSet* b = barSet(QStringLiteral("Ждут утверждения"), 3, waiting);
    // Their counts are read on the hatching: single lines leave them room, the set's colour stays.
    b->setBrush(QBrush(kLooks[3].colour, Qt::BDiagPattern));
    b->setLabelFont(chartFont(6.5, true));
    const auto tip = [categories, yes, waiting](int i) {
        return QStringLiteral("%1: утверждено %2, ждут %3").arg(categories.value(i)).arg(yes.value(i)).arg(waiting.value(i));
    };
    tellOnHover(a, tip);
    tellOnHover(b, tip);
    series->append(a);
    series->append(b);
    f.chart->addSeries(series);
    QAbstractAxis* x = categoryAxis(*f.chart, categories);
    QValueAxis* y = valueAxis(*f.chart, QStringLiteral("записей"));
    attach(series, {x, y});
    fromZero(y);
    // The bars carry their numbers; three marks are enough, and fit a low chart.
    y->setTickCount(3);
    return f;
}

constexpr double kMarginMm = 10, kTitleMm = 9, kRowMm = 4.2;
// The charts are laid out as on a screen of 96 dots an inch, their fonts at their sizes, and
// then drawn to the size of their place on the paper.
constexpr double kScreenDotsPerMm = 96 / 25.4;

void paintChart(QPainter& painter, std::unique_ptr<QChart> chart, const QRectF& target, const QRectF& place)
{
    QGraphicsScene scene;   // owns the chart from here
    QChart* c = chart.release();
    scene.addItem(c);
    const QSizeF size(place.width() * kScreenDotsPerMm, place.height() * kScreenDotsPerMm);
    c->resize(size);
    scene.setSceneRect(QRectF(QPointF(0, 0), size));
    QCoreApplication::sendPostedEvents();   // the chart's layout, and with it its plot area
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    scene.render(&painter, target, scene.sceneRect(), Qt::IgnoreAspectRatio);
    painter.restore();
}

void paintTable(QPainter& painter, const SummaryFigure& f, const QRectF& mm, double k)
{
    const int columns = int(f.headings.size());
    if (columns == 0) return;
    const double first = mm.width() * (columns > 3 ? 0.3 : 0.45);
    const double other = (mm.width() - first) / std::max(columns - 1, 1);
    const auto cell = [&](int row, int column) {
        const double x = column == 0 ? mm.x() : mm.x() + first + other * (column - 1);
        return QRectF((x + 0.8) * k, (mm.y() + row * kRowMm) * k, ((column == 0 ? first : other) - 1.6) * k, kRowMm * k);
    };
    painter.save();
    painter.setPen(QPen(Qt::black, 0.2 * k));
    QList<QStringList> lines{f.headings};
    lines += f.rows;
    for (int r = 0; r < lines.size(); ++r) {
        painter.setFont(chartFont(7, r == 0 || r == lines.size() - 1));
        for (int c = 0; c < columns; ++c)
            painter.drawText(cell(r, c), int((c == 0 ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter | Qt::TextSingleLine),
                             lines.at(r).value(c));
        if (r <= 1 || r == lines.size() - 1) {
            const double y = (mm.y() + r * kRowMm) * k;
            painter.drawLine(QPointF(mm.x() * k, y), QPointF(mm.right() * k, y));
        }
    }
    const double bottom = (mm.y() + lines.size() * kRowMm) * k;
    painter.drawLine(QPointF(mm.x() * k, bottom), QPointF(mm.right() * k, bottom));
    painter.restore();
}

} // namespace

std::vector<SummaryPage> summaryPages(const Summary& s, const DayClick& onDay)
{
    std::vector<SummaryPage> pages(4);
    pages[0].caption = QStringLiteral("По дням");
    pages[0].figures.push_back(dayFigure(s, false, onDay));
    pages[0].figures.push_back(dayFigure(s, true, onDay));
    pages[1].caption = QStringLiteral("Группы и операции");
    pages[1].sideBySide = true;
    pages[1].figures.push_back(shareFigure(QStringLiteral("GroupsChart"), QStringLiteral("Сдельный заработок по номенклатурным группам"),
                                           QStringLiteral("Номенклатурная группа"), s.groups));
    pages[1].figures.push_back(shareFigure(QStringLiteral("KindsChart"), QStringLiteral("Сдельный заработок по видам операций"),
                                           QStringLiteral("Вид операции"), s.kinds));
    pages[2].caption = QStringLiteral("Двенадцать месяцев");
    pages[2].figures.push_back(monthsFigure(s));
    pages[3].caption = QStringLiteral("Часы и утверждение");
    pages[3].figures.push_back(hoursFigure(s));
    pages[3].figures.push_back(approvalsFigure(s));
    return pages;
}

QString summaryTotals(const Summary& s)
{
    const MonthFigure& m = s.thisMonth();
    qint64 pieces = 0;
    int waiting = 0;
    Money entries;
    for (const DayShift& d : s.days) {
        pieces += d.pieces;
        waiting += d.entries - d.approved;
        entries += d.amount;
    }
    QString totals = QStringLiteral("Штук: %1; сделка: %2 р.").arg(pieces).arg(rubles(m.piecework));
    // The timesheet rounds each worker's month to kopecks, the reports and the tables here the
    // entries' sum: where the two differ, both are said, so that neither looks like a mistake.
    if (rubles(entries) != rubles(m.piecework))
        totals += QStringLiteral(" (по табелю сдельщины, с округлением по каждому работнику; по записям %1 р.)").arg(rubles(entries));
    if (s.withHours()) totals += QStringLiteral("; почасовые: %1 р.").arg(rubles(m.hourPaid));
    totals += QStringLiteral("; часов: %1; ждут утверждения: %2").arg(m.hours).arg(waiting);
    return totals;
}

QString summaryTitle(const Request& r)
{
    QString title = QStringLiteral("Сводка за месяц: %1 %2").arg(formats::monthName(r.month)).arg(r.year);
    if (r.productKind == 1) title += QStringLiteral(" (готовая продукция)");
    if (r.productKind == 2) title += QStringLiteral(" (заготовки)");
    return title;
}

void paintSummary(QPainter& painter, QPagedPaintDevice& device, const Summary& summary)
{
    const double k = device.logicalDpiX() / 25.4;
    const QSizeF paper = device.pageLayout().fullRect(QPageLayout::Millimeter).size();
    const QRectF area(kMarginMm, kMarginMm, paper.width() - 2 * kMarginMm, paper.height() - 2 * kMarginMm);
    std::vector<SummaryPage> pages = summaryPages(summary);
    const QString title = summaryTitle(summary.request);
    for (size_t p = 0; p < pages.size(); ++p) {
        if (p > 0) device.newPage();
        SummaryPage& page = pages[p];
        painter.setPen(Qt::black);
        painter.setFont(chartFont(11, true));
        const QRectF head(area.x() * k, area.y() * k, area.width() * k, kTitleMm * k);
        painter.drawText(head, int(Qt::AlignLeft | Qt::AlignTop), title + QStringLiteral(" — ") + page.caption);
        painter.setFont(chartFont(7));
        painter.drawText(head, int(Qt::AlignRight | Qt::AlignTop),
                         QStringLiteral("Стр. %1 из %2").arg(p + 1).arg(pages.size()));
        painter.drawText(head, int(Qt::AlignLeft | Qt::AlignBottom), summaryTotals(summary));
        const QRectF body = area.adjusted(0, kTitleMm, 0, 0);
        const int n = int(page.figures.size());
        for (int i = 0; i < n; ++i) {
            SummaryFigure& f = page.figures[size_t(i)];
            const QRectF box = page.sideBySide
                                   ? QRectF(body.x() + i * body.width() / n, body.y(), body.width() / n, body.height()).adjusted(i ? 3 : 0, 0, i + 1 < n ? -3 : 0, 0)
                                   : QRectF(body.x(), body.y() + i * body.height() / n, body.width(), body.height() / n).adjusted(0, 0, 0, -2);
            const double tableMm = (f.rows.size() + 1) * kRowMm;
            const QRectF chartPlace(box.x(), box.y(), box.width(), box.height() - tableMm - 1);
            const QRectF table(box.x(), box.bottom() - tableMm, std::min(box.width(), 180.0), tableMm);
            paintTable(painter, f, table, k);
            paintChart(painter, std::move(f.chart),
                       QRectF(chartPlace.x() * k, chartPlace.y() * k, chartPlace.width() * k, chartPlace.height() * k), chartPlace);
        }
    }
}

void writeSummaryPdf(const Summary& summary, const QString& path)
{
    ReplacingFile file(path);
    if (!file.open()) throw ReportError(file.errorString());
    {
        QPdfWriter writer(&file.device());
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageOrientation(QPageLayout::Landscape);
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        writer.setResolution(300);
        writer.setTitle(summaryTitle(summary.request));
        writer.setCreator(QStringLiteral("tabel"));
        QPainter painter;
        if (!painter.begin(&writer)) {
            file.discard();
            throw ReportError(QStringLiteral("PDF не записать: %1").arg(path));
        }
        paintSummary(painter, writer, summary);
        painter.end();
    }
    if (!file.commit()) throw ReportError(file.errorString());
}

int writeSummaryPdfFor(TDataModule6& dm, const ReportRequest& request, const QString& path)
{
    const Summary summary = month_summary::read(dm.ADO_DB, {request.month, request.year, request.productKind});
    writeSummaryPdf(summary, path);
    return 4;
}
