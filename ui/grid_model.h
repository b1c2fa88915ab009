#pragma once
#include <QAbstractTableModel>
#include <QPointer>
#include <functional>

#include "data/dataset.h"

/// One column of a grid over a dataset.
struct ColumnSpec {
    QString field;
    QString title;
    Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter;
    bool hidden = false;
    int width = 0;  ///< pixels; 0 leaves the view's default
    /// Display text of a value; empty uses the general format (numbers with up to 15 digits).
    std::function<QString(const QVariant&)> format;
    /// Extra roles of a cell (colour, font): given the visible row and the role, a value or {}.
    std::function<QVariant(const Dataset&, int row, int role)> style;
};

/// A read-only table model over a dataset's visible rows, with the columns a window names.
class GridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    GridModel(Dataset* dataset, QList<ColumnSpec> columns, QObject* parent = nullptr);

    /// Binds the model to another dataset (the journal's grid changes shift queries).
    void setDataset(Dataset* dataset);
    Dataset* dataset() const { return m_dataset; }
    const QList<ColumnSpec>& columns() const { return m_columns; }
    /// Column of the grid that shows a field, or -1.
    int columnOf(const QString& field) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    /// The general format: integers as they are, other numbers with up to 15 significant digits
    /// and the workstation's decimal separator, dates as dd.MM.yyyy.
    static QString generalFormat(const QVariant& value, bool numeric);

private:
    void reconnect();
    QPointer<Dataset> m_dataset;
    QList<ColumnSpec> m_columns;
    QList<int> m_fieldColumns;   // dataset column of each grid column, -1 when absent
    QList<QMetaObject::Connection> m_connections;
};
