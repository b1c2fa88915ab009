#include "ui/grid_model.h"
#include "data/dataset.h"

#include <QDateTime>
#include <QFont>
#include "data/formats.h"

GridModel::GridModel(Dataset* dataset, QList<ColumnSpec> columns, QObject* parent)
    : QAbstractTableModel(parent), m_columns(std::move(columns))
{
    setDataset(dataset);
}

void GridModel::setDataset(Dataset* dataset)
{
    beginResetModel();
    for (const auto& c : m_connections) disconnect(c);
    m_connections.clear();
    m_dataset = dataset;
    if (m_dataset) {
        m_connections << connect(m_dataset, &Dataset::reset, this, [this] {
            beginResetModel();
            reconnect();
            endResetModel();
        });
        m_connections << connect(m_dataset, &Dataset::rowChanged, this, [this](int row) {
            emit dataChanged(index(row, 0), index(row, columnCount() - 1));
        });
    }
    reconnect();
    endResetModel();
}

void GridModel::reconnect()
{
    m_fieldColumns.clear();
    for (const ColumnSpec& c : m_columns)
        m_fieldColumns << (m_dataset && m_dataset->isOpen() ? m_dataset->fieldIndex(c.field) : -1);
}

int GridModel::columnOf(const QString& field) const
{
    for (int i = 0; i < m_columns.size(); ++i)
        if (m_columns.at(i).field.compare(field, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

int GridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() || !m_dataset || !m_dataset->isOpen() ? 0 : m_dataset->recordCount();
}

int GridModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(m_columns.size()); }

QString GridModel::generalFormat(const QVariant& value, bool numeric)
{
    return formats::general(value, numeric);
}

QVariant GridModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || !m_dataset || index.row() >= rowCount()) return {};
    const ColumnSpec& spec = m_columns.at(index.column());
    if (spec.style) {
        const QVariant styled = spec.style(*m_dataset, index.row(), role);
        if (styled.isValid()) return styled;
    }
    const int fc = m_fieldColumns.at(index.column());
    switch (role) {
    case Qt::DisplayRole: {
        if (fc < 0) return {};
        const QVariant v = m_dataset->valueAt(index.row(), fc);
        if (spec.format) return spec.format(v);
        const int type = m_dataset->fieldType(fc).id();
        return generalFormat(v, type == QMetaType::Double || type == QMetaType::Float);
    }
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(spec.alignment);
    default:
        return {};
    }
}

QVariant GridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= m_columns.size()) return {};
    switch (role) {
    case Qt::DisplayRole: return m_columns.at(section).title;
    case Qt::TextAlignmentRole: return QVariant::fromValue(Qt::AlignCenter);
    case Qt::FontRole: {
        QFont f;
        f.setBold(true);
        return f;
    }
    default: return {};
    }
}
