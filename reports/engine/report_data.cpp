#include "reports/engine/report_data.h"
#include "data/dataset.h"

#include <QSignalBlocker>

TableReportData::TableReportData(const QString& name, const QStringList& fields, const std::vector<bool>& numeric)
    : m_name(name), m_fields(fields), m_numeric(numeric)
{
    m_numeric.resize(size_t(fields.size()), false);
}

void TableReportData::addRow(const QVariantList& values)
{
    QVariantList row = values;
    while (row.size() < m_fields.size()) row << QVariant();
    m_rows.push_back(row);
}

int TableReportData::fieldIndex(const QString& field) const
{
    for (int i = 0; i < m_fields.size(); ++i)
        if (m_fields.at(i).compare(field, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

DatasetReportData::DatasetReportData(const QString& name, Dataset& dataset) : m_name(name), m_dataset(dataset)
{
    if (dataset.isOpen() && dataset.isEmpty() && dataset.isFiltered()) {
        const int rec = dataset.recNo();
        {
            const QSignalBlocker quiet(dataset);
            dataset.setFiltered(false);
            if (!dataset.isEmpty())
                for (int c = 0; c < dataset.fieldCount(); ++c)
                    m_unfilteredLast << dataset.valueAt(dataset.recordCount() - 1, c);
            dataset.setFiltered(true);
            if (rec > 0) dataset.setRecNo(rec);
        }
    }
}

int DatasetReportData::rowCount() const { return m_dataset.isOpen() ? m_dataset.recordCount() : 0; }

int DatasetReportData::fieldIndex(const QString& field) const
{
    return m_dataset.isOpen() ? m_dataset.fieldIndex(field) : -1;
}

bool DatasetReportData::isNumeric(int column) const
{
    switch (m_dataset.fieldType(column).id()) {
    case QMetaType::Int: case QMetaType::UInt: case QMetaType::LongLong: case QMetaType::ULongLong:
    case QMetaType::Short: case QMetaType::UShort: case QMetaType::Double: case QMetaType::Float:
        return true;
    default:
        return false;
    }
}

QVariant DatasetReportData::value(int row, int column) const
{
    if (row >= rowCount()) return m_unfilteredLast.value(column);
    return m_dataset.valueAt(row, column);
}

int DatasetReportData::rowForEmptyReport() const
{
    return rowCount() == 0 && !m_unfilteredLast.isEmpty() ? 0 : -1;
}
