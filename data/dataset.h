#pragma once
#include "data/row_filter.h"
#include "data/statement.h"

#include <QDate>
#include <QHash>
#include <QMetaType>
#include <QObject>
#include <QSqlDatabase>
#include <QStringList>
#include <QVariant>
#include <vector>

/// A query that opens into a static client-side snapshot of all its rows, with a current row
/// (record number 1-based), a client-side filter and sort, and writing back to one table.
/// Fields are read by name ignoring case; a NULL reads as "", 0 or 0.0.
class Dataset : public QObject {
    Q_OBJECT
public:
    enum class State { Closed, Browse, Edit, Insert };

    explicit Dataset(const QSqlDatabase& db, QObject* parent = nullptr);
    Dataset(const QSqlDatabase& db, const QString& sql, QObject* parent = nullptr);

    // --- text and parameters
    /// Replaces the text; parameter values given for the previous text are dropped.
    void setSql(const QString& text) { m_stmt.setText(text); }
    void clearSql() { m_stmt.setText(QString()); }
    /// Adds a line to the text (lines are joined by line breaks).
    void addSql(const QString& line);
    const QString& sql() const { return m_stmt.text(); }
    void setParam(const QString& name, const QVariant& value) { m_stmt.setParam(name, value); }
    void setParams(const Params& params) { m_stmt.setParams(params); }
    QVariant param(const QString& name) const { return m_stmt.param(name); }
    bool hasParameter(const QString& name) const { return m_stmt.hasParameter(name); }

    // --- open, close, refresh
    /// Runs the text and takes all rows; the current row is the first. Throws DbError.
    void open();

    /// All rows of a statement as a dataset takes them, fetched on any session and thread and
    /// handed to the dataset by adopt(): for a sheet read in the background.
    struct Snapshot {
        QStringList fields;
        std::vector<QMetaType> types;
        std::vector<QVariant> cells;   // rows one after another
        int rowCount = 0;
    };
    /// The text with its parameter values, to run elsewhere.
    const Statement& statement() const { return m_stmt; }
    /// Runs the statement on the session and takes all its rows. Throws DbError.
    static Snapshot fetch(const Statement& statement, const QSqlDatabase& db);
    /// Opens on rows fetched elsewhere, as open() does on its own.
    void adopt(Snapshot&& rows);
    void close();
    bool isOpen() const { return m_state != State::Closed; }
    /// Close and reopen, then return to the same record number (or the last one).
    void refresh();
    /// Opens a whole table by name for reading and writing ("accounts_dep.ver").
    void openTable(const QString& table, const QString& keyField = QStringLiteral("id"));
    /// The table (and its key) that append/edit/post/remove write to.
    void setUpdateTable(const QString& table, const QString& keyField = QStringLiteral("id"));

    // --- navigation over the visible (filtered, sorted) rows
    int recordCount() const { return int(m_visible.size()); }
    bool isEmpty() const { return m_visible.empty(); }
    int recNo() const { return m_visible.empty() ? 0 : m_current + 1; }
    void setRecNo(int recNo);
    void first() { setRecNo(1); }
    void last() { setRecNo(recordCount()); }
    void next();
    void prior();
    bool eof() const { return m_eof || m_visible.empty(); }
    bool bof() const { return m_bof || m_visible.empty(); }
    /// Moves to the first visible row whose field equals the value, ignoring case.
    bool locate(const QString& field, const QVariant& value);

    // --- fields of the current row
    int fieldCount() const { return int(m_fields.size()); }
    QString fieldName(int column) const { return m_fields.at(column); }
    int fieldIndex(const QString& name) const { return m_fieldIndex.value(name.toLower(), -1); }
    QMetaType fieldType(int column) const { return m_types.at(column); }
    QVariant value(const QString& field) const;
    QString asString(const QString& field) const { return toText(value(field)); }
    int asInt(const QString& field) const { return int(toLongLong(value(field))); }
    qlonglong asLongLong(const QString& field) const { return toLongLong(value(field)); }
    double asDouble(const QString& field) const { return toDouble(value(field)); }
    QDate asDate(const QString& field) const;
    bool isNull(const QString& field) const { return value(field).isNull(); }
    /// A cell of a visible row (0-based), for grids.
    QVariant valueAt(int row, int column) const;
    QVariant valueAt(int row, const QString& field) const;

    static QString toText(const QVariant& v);
    static qlonglong toLongLong(const QVariant& v);
    static double toDouble(const QVariant& v);

    // --- client-side filter and sort
    /// Sets the filter by its expression (see RowFilter::parse); takes effect while filtered.
    void setFilterText(const QString& expression);
    void setFilter(const RowFilter& filter);
    /// The filter in force: empty while filtering is off.
    RowFilter activeFilter() const { return m_filtered ? m_filter : RowFilter(); }
    const QString& filterText() const { return m_filterText; }
    void setFiltered(bool on);
    bool isFiltered() const { return m_filtered; }
    /// Sorts the snapshot by "field [ASC|DESC][, …]"; empty restores the order of the query. The
    /// order holds over reopening; a field the rows lack is passed over.
    void setSort(const QString& expression);
    /// Shows only the rows where one of the fields holds the text (letter case aside), besides
    /// the filter; an empty text shows them all. The search holds over reopening.
    void setSearch(const QString& text, const QStringList& fields);
    const QString& searchText() const { return m_searchText; }

    // --- writing back
    State state() const { return m_state; }
    void append();
    void edit();
    void setField(const QString& field, const QVariant& value);
    /// Writes the pending insert or edit to the update table and keeps the row in the snapshot.
    void post();
    void cancel();
    /// Deletes the current row from the update table and from the snapshot.
    void remove();

    const QSqlDatabase& database() const { return m_db; }

signals:
    /// The visible rows changed as a whole (open, close, filter, sort, insert, delete).
    void reset();
    /// One visible row's values changed.
    void rowChanged(int row);
    /// The current row moved (0-based visible row, -1 when there is none).
    void currentChanged(int row);

private:
    void rebuildVisible();
    bool rowMatches(int sourceRow) const;
    int sourceRowOf(int visibleRow) const { return m_visible.at(visibleRow); }
    const QVariant& cell(int sourceRow, int column) const { return m_cells[size_t(sourceRow) * m_fields.size() + column]; }
    QVariant& cell(int sourceRow, int column) { return m_cells[size_t(sourceRow) * m_fields.size() + column]; }
    int requireField(const QString& field) const;
    void requireUpdateTable() const;
    void setCurrent(int row);

    QSqlDatabase m_db;
    Statement m_stmt;
    State m_state = State::Closed;

    QStringList m_fields;
    QHash<QString, int> m_fieldIndex;   // lower-case name → column
    std::vector<QMetaType> m_types;
    std::vector<QVariant> m_cells;      // rows one after another
    int m_rowCount = 0;
    std::vector<int> m_visible;         // source rows shown, in order
    int m_current = 0;
    bool m_eof = false;
    bool m_bof = false;

    QString m_filterText;
    RowFilter m_filter;
    bool m_filtered = false;
    QList<std::pair<QString, bool>> m_sort; // field, descending
    QString m_searchText;
    QStringList m_searchFields;

    QString m_updateTable;
    QString m_keyField = QStringLiteral("id");
    QHash<QString, QVariant> m_pending; // fields set since append/edit
};
