#pragma once
#include <QStringList>
#include <QVariant>
#include <vector>

class Dataset;

/// The rows a report prints: a named query's fields by row and column.
class ReportData {
public:
    virtual ~ReportData() = default;
    /// The query's name, which expressions may put before a field ("t_Report.f_sum7").
    virtual QString name() const = 0;
    virtual int rowCount() const = 0;
    /// The column of a field, letter case ignored; -1 when there is none.
    virtual int fieldIndex(const QString& field) const = 0;
    /// Whether a column holds numbers (exact decimals may arrive as text).
    virtual bool isNumeric(int column) const = 0;
    virtual QVariant value(int row, int column) const = 0;
    /// The row that the footers of a report without printed rows read their fields from,
    /// or -1 when there is none (the fields then read as missing).
    virtual int rowForEmptyReport() const { return -1; }
};

/// Rows held in memory, for reports built from computed data.
class TableReportData : public ReportData {
public:
    TableReportData(const QString& name, const QStringList& fields, const std::vector<bool>& numeric);
    void addRow(const QVariantList& values);

    QString name() const override { return m_name; }
    int rowCount() const override { return int(m_rows.size()); }
    int fieldIndex(const QString& field) const override;
    bool isNumeric(int column) const override { return m_numeric.at(size_t(column)); }
    QVariant value(int row, int column) const override { return m_rows.at(size_t(row)).at(column); }

private:
    QString m_name;
    QStringList m_fields;
    std::vector<bool> m_numeric;
    std::vector<QVariantList> m_rows;
};

/// The visible (filtered) rows of an open dataset. When a filter leaves no row of a query that
/// has rows, the footers still read the query's last row: the whole department's figures that
/// every row carries stay on the page whatever the filter.
class DatasetReportData : public ReportData {
public:
    DatasetReportData(const QString& name, Dataset& dataset);

    QString name() const override { return m_name; }
    int rowCount() const override;
    int fieldIndex(const QString& field) const override;
    bool isNumeric(int column) const override;
    QVariant value(int row, int column) const override;
    int rowForEmptyReport() const override;

private:
    QString m_name;
    Dataset& m_dataset;
    QVariantList m_unfilteredLast;   // the last row of the query when the filter hides every row
};
