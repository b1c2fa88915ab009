#include "reports/engine/report_data.h"
#include "data/dataset.h"
#include "data/db_error.h"

#include <QSqlField>
#include <QSqlRecord>

#include <QHash>
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

QueryReportData::QueryReportData(const QString& name, QSqlQuery query, RowFilter filter)
    : m_name(name), m_query(std::move(query)), m_filter(std::move(filter))
{
    const QSqlRecord record = m_query.record();
    for (int c = 0; c < record.count(); ++c) {
        m_fields << record.fieldName(c);
        switch (record.field(c).metaType().id()) {
        case QMetaType::Int: case QMetaType::UInt: case QMetaType::LongLong: case QMetaType::ULongLong:
        case QMetaType::Short: case QMetaType::UShort: case QMetaType::Double: case QMetaType::Float:
            m_numeric.push_back(true);
            break;
        default:
            m_numeric.push_back(false);
        }
    }
}

bool QueryReportData::hasRow(int row) const
{
    while (row >= m_read) {
        if (m_done) return false;
        if (!m_query.next()) {
            m_done = true;
            return false;
        }
        QVariantList values;
        values.reserve(m_fields.size());
        for (int c = 0; c < m_fields.size(); ++c) values << m_query.value(c);
        const bool kept = m_filter.matches([&](const QString& field) -> QVariant {
            const int column = fieldIndex(field);
            if (column < 0) throw DbError(QStringLiteral("Поле %1 не найдено").arg(field));
            return values.at(column);
        });
        m_lastRead = values;
        if (kept) m_rows[m_read++ % 2] = std::move(values);
    }
    return true;
}

int QueryReportData::fieldIndex(const QString& field) const
{
    for (int i = 0; i < m_fields.size(); ++i)
        if (m_fields.at(i).compare(field, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

QVariant QueryReportData::value(int row, int column) const
{
    if (m_read == 0) return m_lastRead.value(column);
    if (row < m_read - 2 || row >= m_read) return {};
    return m_rows[row % 2].value(column);
}

int QueryReportData::rowForEmptyReport() const
{
    hasRow(0);
    return m_read == 0 && !m_lastRead.isEmpty() ? 0 : -1;
}

ReportRows::ReportRows(const ReportData& source, const QStringList& fields) : m_name(source.name())
{
    std::vector<int> columns;
    for (const QString& field : fields) {
        const int column = source.fieldIndex(field);
        if (column < 0) continue;   // an expression naming it is refused when the layout binds
        columns.push_back(column);
        m_fields << field;
        m_numeric.push_back(source.isNumeric(column));
    }
    const size_t width = columns.size();
    m_values.resize(width);
    std::vector<QHash<QString, quint32>> places(width);
    std::vector<qint64> nullPlace(width, -1);
    const auto read = [&](int row) {
        for (size_t c = 0; c < width; ++c) {
            const QVariant v = source.value(row, columns[c]);
            qint64 place;
            if (v.isNull()) {
                if (nullPlace[c] < 0) {
                    nullPlace[c] = qint64(m_values[c].size());
                    m_values[c].push_back(v);
                }
                place = nullPlace[c];
            } else {
                const QString key = v.toString();
                auto it = places[c].constFind(key);
                if (it == places[c].cend()) {
                    it = places[c].insert(key, quint32(m_values[c].size()));
                    m_values[c].push_back(v);
                }
                place = *it;
            }
            m_cells.push_back(quint32(place));
        }
    };
    for (; source.hasRow(m_rowCount); ++m_rowCount) read(m_rowCount);
    if (m_rowCount == 0 && source.rowForEmptyReport() >= 0) {
        read(source.rowForEmptyReport());
        m_emptyReportRow = true;
    }
    m_cells.shrink_to_fit();
    for (auto& values : m_values) values.shrink_to_fit();
}

int ReportRows::fieldIndex(const QString& field) const
{
    for (int i = 0; i < m_fields.size(); ++i)
        if (m_fields.at(i).compare(field, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

QVariant ReportRows::value(int row, int column) const
{
    const size_t width = m_values.size();
    return m_values[size_t(column)][m_cells[size_t(row) * width + size_t(column)]];
}
