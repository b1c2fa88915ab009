#pragma once
#include "rules/sheet_statements.h"
#include "ui/grid_model.h"

#include <QColor>
#include <QPalette>
#include <QStyledItemDelegate>

/// The day columns d1 … d31 of the timesheet grids: which days of the chosen month are
/// weekends and which lie past its end, the colours of their titles, and the painter of
/// their cells. The time timesheet and the piecework timesheets share it.
namespace timesheet_days {

inline const QColor kSilver(0xC0, 0xC0, 0xC0);      ///< empty days, titles of days past the month's end
inline const QColor kRed(0xFF, 0x00, 0x00);         ///< Saturdays and Sundays
inline const QColor kLightBlue(0xE1, 0xE4, 0xFF);   ///< the totals columns
inline const QColor kLightGreen(0xC0, 0xDC, 0xC0);  ///< days of more than 8 hours

/// How one unselected day cell is drawn.
struct CellLook {
    QColor text;
    bool bold = false;
    QColor background;   ///< invalid: the grid's own
};

/// The drawing of a day cell holding value hours (empty counts as 0): 0 silver (red on a
/// weekend, invisible past the month's end); 1 to 7 in the column's colour; 8 bold, red on a
/// weekend, else the normal text colour; more than 8 bold on light green in the column's colour.
CellLook cellLook(int hours, DayKind kind, const QPalette& palette);

/// The 31 day columns "1" … "31" over the fields d1 … d31.
QList<ColumnSpec> dayColumns(int width = 24);

/// A column drawn on light blue ("Итого" and the other totals).
ColumnSpec totalsColumn(ColumnSpec spec);

} // namespace timesheet_days

/// A grid model whose columns include d1 … d31, coloured for a chosen month: titles of
/// weekends red, titles of days past the month's end silver.
class TimesheetGridModel : public GridModel {
    Q_OBJECT
public:
    TimesheetGridModel(Dataset* dataset, QList<ColumnSpec> columns, QObject* parent = nullptr);

    void setMonth(int month, int year);
    /// The day a grid column shows (1..31), or 0 for any other column.
    int dayOfColumn(int column) const { return m_days.value(column, 0); }
    timesheet_days::DayKind kindOfColumn(int column) const;

    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QList<int> m_days;
    int m_month = 1;
    int m_year = 2000;
};

/// Draws the day cells of a TimesheetGridModel by timesheet_days::cellLook; the selected cell
/// and the other columns are drawn as usual.
class TimesheetCellPainter : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};
