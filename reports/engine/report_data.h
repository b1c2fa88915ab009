#pragma once
#include "data/row_filter.h"

#include <QSqlQuery>
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
    /// The rows there are; a source read as it goes knows only once it has read them all.
    virtual int rowCount() const = 0;
    /// Whether the row exists, reading up to it where the rows are read as they go. Rows are
    /// asked for in order; a source read as it goes keeps only the row asked for and the one
    /// before it.
    virtual bool hasRow(int row) const { return row < rowCount(); }
    /// The column of a field, letter case ignored; -1 when there is none.
    virtual int fieldIndex(const QString& field) const = 0;
    /// Whether a column holds numbers (exact decimals may arrive as text).
    virtual bool isNumeric(int column) const = 0;
    virtual QVariant value(int row, int column) const = 0;
    /// The row that the footers of a report without printed rows read their fields from,
    /// or -1 when there is none (the fields then read as missing).
    virtual int rowForEmptyReport() const { return -1; }
};

/// The rows of a query read as the layout goes, one at a time from the server, never all held:
/// a report of a whole plant month is laid out in the memory of two rows. A filter (the hub's
/// product kind) leaves rows out as they come; when it leaves none, the footers read the query's
/// last row, as DatasetReportData's do.
class QueryReportData : public ReportData {
public:
    /// The query must be executed, forward only.
    QueryReportData(const QString& name, QSqlQuery query, RowFilter filter = {});

    QString name() const override { return m_name; }
    int rowCount() const override { return m_read; }
    bool hasRow(int row) const override;
    int fieldIndex(const QString& field) const override;
    bool isNumeric(int column) const override { return m_numeric.at(size_t(column)); }
    QVariant value(int row, int column) const override;
    int rowForEmptyReport() const override;

private:
    QString m_name;
    mutable QSqlQuery m_query;
    RowFilter m_filter;
    QStringList m_fields;
    std::vector<bool> m_numeric;
    mutable QVariantList m_rows[2];      // rows m_read - 1 and m_read - 2, by index modulo 2
    mutable QVariantList m_lastRead;     // the last row of the query, filtered out or not
    mutable int m_read = 0;
    mutable bool m_done = false;
};

/// Rows read once from another source and held compactly for any number of layouts: only the
/// fields asked for, each value once per field (a worker's name once, not once a row) and a
/// number per cell. A plant month's worker report (160,000 rows) takes some 20 MB so. The row
/// the footers of a report without rows read (rowForEmptyReport) is kept too.
class ReportRows : public ReportData {
public:
    /// Reads every row of the source in order, keeping the fields named (letter case ignored)
    /// that the source has.
    ReportRows(const ReportData& source, const QStringList& fields);

    QString name() const override { return m_name; }
    int rowCount() const override { return m_rowCount; }
    int fieldIndex(const QString& field) const override;
    bool isNumeric(int column) const override { return m_numeric.at(size_t(column)); }
    QVariant value(int row, int column) const override;
    int rowForEmptyReport() const override { return m_emptyReportRow ? m_rowCount : -1; }

private:
    QString m_name;
    QStringList m_fields;
    std::vector<bool> m_numeric;
    std::vector<std::vector<QVariant>> m_values;   // by column: each value once
    std::vector<quint32> m_cells;                  // rows one after another: the value's place
    int m_rowCount = 0;
    bool m_emptyReportRow = false;
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
