#include "timesheets/day_columns.h"

#include <QBrush>
#include <QDate>
#include <QRegularExpression>
#include <QStringList>

namespace timesheet_days {

namespace {
QColor columnColour(DayKind kind, const QPalette& palette)
{
    switch (kind) {
    case DayKind::Weekend: return kRed;
    case DayKind::PastEnd: return palette.color(QPalette::Base);
    default: return palette.color(QPalette::Text);
    }
}
} // namespace

CellLook cellLook(int hours, DayKind kind, const QPalette& palette)
{
    CellLook look{columnColour(kind, palette)};
    if (hours == 0) {
        if (kind == DayKind::Workday) look.text = kSilver;
    } else if (hours == 8) {
        look.bold = true;
        if (kind != DayKind::Weekend) look.text = palette.color(QPalette::Text);
    } else if (hours > 8) {
        look.bold = true;
        look.background = kLightGreen;
    }
    return look;
}

QList<ColumnSpec> dayColumns(int width)
{
    QList<ColumnSpec> columns;
    for (int d = 1; d <= 31; ++d)
        columns.append({.field = QStringLiteral("d%1").arg(d), .title = QString::number(d),
                        .alignment = Qt::AlignRight | Qt::AlignVCenter, .width = width});
    return columns;
}

ColumnSpec totalsColumn(ColumnSpec spec)
{
    spec.style = [](const Dataset&, int, int role) -> QVariant {
        return role == Qt::BackgroundRole ? QVariant(QBrush(kLightBlue)) : QVariant();
    };
    return spec;
}

} // namespace timesheet_days

using namespace timesheet_days;

TimesheetGridModel::TimesheetGridModel(Dataset* dataset, QList<ColumnSpec> columns, QObject* parent)
    : GridModel(dataset, std::move(columns), parent)
{
    static const QRegularExpression dayField(QStringLiteral("^d([1-9]|[12][0-9]|3[01])$"),
                                             QRegularExpression::CaseInsensitiveOption);
    for (const ColumnSpec& c : GridModel::columns()) {
        const auto m = dayField.match(c.field);
        m_days << (m.hasMatch() ? m.captured(1).toInt() : 0);
    }
}

void TimesheetGridModel::setMonth(int month, int year)
{
    m_month = month;
    m_year = year;
    if (columnCount() > 0) {
        emit headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
        if (rowCount() > 0) emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
    }
}

DayKind TimesheetGridModel::kindOfColumn(int column) const
{
    const int day = dayOfColumn(column);
    return day > 0 ? kindOf(day, m_month, m_year) : DayKind::Workday;
}

QVariant TimesheetGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role == Qt::ForegroundRole && orientation == Qt::Horizontal && dayOfColumn(section) > 0) {
        switch (kindOfColumn(section)) {
        case DayKind::Weekend: return QBrush(kRed);
        case DayKind::PastEnd: return QBrush(kSilver);
        default: return {};
        }
    }
    return GridModel::headerData(section, orientation, role);
}

void TimesheetCellPainter::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    const auto* model = qobject_cast<const TimesheetGridModel*>(index.model());
    if (!model || model->dayOfColumn(index.column()) == 0 || (option->state & QStyle::State_Selected)) return;
    const CellLook look = cellLook(index.data().toInt(), model->kindOfColumn(index.column()), option->palette);
    option->palette.setColor(QPalette::Text, look.text);
    option->font.setBold(look.bold);
    if (look.background.isValid()) option->backgroundBrush = QBrush(look.background);
}
