#include "data/dataset.h"
#include "data/db_error.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <algorithm>

namespace {

// Field and table names come from the program's own texts; they are checked all the same,
// since they are the only parts of a written statement that are not bound.
void requireIdentifier(const QString& name)
{
    static const QRegularExpression ident(QStringLiteral(R"(^[A-Za-z_][A-Za-z0-9_]*(\.[A-Za-z_][A-Za-z0-9_]*)?$)"));
    if (!ident.match(name).hasMatch()) throw DbError(QStringLiteral("Недопустимое имя: %1").arg(name));
}

bool isNumericType(const QMetaType& t)
{
    switch (t.id()) {
    case QMetaType::Int: case QMetaType::UInt: case QMetaType::LongLong: case QMetaType::ULongLong:
    case QMetaType::Short: case QMetaType::UShort: case QMetaType::Double: case QMetaType::Float:
        return true;
    default:
        return false;
    }
}

int compareValues(const QVariant& a, const QVariant& b, bool numeric)
{
    if (a.isNull() || b.isNull()) return int(!a.isNull()) - int(!b.isNull());
    if (numeric) {
        const double x = Dataset::toDouble(a), y = Dataset::toDouble(b);
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    if (a.userType() == QMetaType::QDate || a.userType() == QMetaType::QDateTime) {
        const QDateTime x = a.toDateTime(), y = b.toDateTime();
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    return QString::localeAwareCompare(a.toString(), b.toString());
}

} // namespace

Dataset::Dataset(const QSqlDatabase& db, QObject* parent) : QObject(parent), m_db(db) {}

Dataset::Dataset(const QSqlDatabase& db, const QString& sql, QObject* parent) : QObject(parent), m_db(db)
{
    setSql(sql);
}

void Dataset::addSql(const QString& line) { m_stmt.appendLine(line); }

void Dataset::open()
{
    if (isOpen()) close();
    adopt(fetch(m_stmt, m_db));
}

Dataset::Snapshot Dataset::fetch(const Statement& statement, const QSqlDatabase& db)
{
    QSqlQuery q = statement.exec(db);
    const QSqlRecord rec = q.record();
    Snapshot rows;
    for (int i = 0; i < rec.count(); ++i) {
        rows.fields << rec.fieldName(i);
        rows.types.push_back(rec.field(i).metaType());
    }
    const int columns = rec.count();
    if (q.size() > 0) rows.cells.reserve(size_t(q.size()) * columns);
    while (q.next()) {
        for (int c = 0; c < columns; ++c) rows.cells.push_back(q.value(c));
        ++rows.rowCount;
    }
    return rows;
}

void Dataset::adopt(Snapshot&& rows)
{
    if (isOpen()) close();
    m_fields = std::move(rows.fields);
    m_types = std::move(rows.types);
    m_fieldIndex.clear();
    // The first occurrence of a repeated name ("h_tabel.*" beside "smena") is the one read by name.
    for (int i = int(m_fields.size()) - 1; i >= 0; --i) m_fieldIndex.insert(m_fields.at(i).toLower(), i);
    m_cells = std::move(rows.cells);
    m_rowCount = rows.rowCount;
    m_state = State::Browse;
    m_pending.clear();
    rebuildVisible();
}

void Dataset::close()
{
    if (m_state == State::Closed) return;
    m_state = State::Closed;
    m_cells.clear();
    m_cells.shrink_to_fit();
    m_rowCount = 0;
    m_visible.clear();
    m_pending.clear();
    m_current = 0;
    emit reset();
    emit currentChanged(-1);
}

void Dataset::refresh()
{
    const int rec = recNo();
    open();
    if (rec > 0 && !isEmpty()) setRecNo(std::min(rec, recordCount()));
}

void Dataset::openTable(const QString& table, const QString& keyField)
{
    requireIdentifier(table);
    setUpdateTable(table, keyField);
    setSql(QStringLiteral("select * from ") + table);
    open();
}

void Dataset::setUpdateTable(const QString& table, const QString& keyField)
{
    requireIdentifier(table);
    requireIdentifier(keyField);
    m_updateTable = table;
    m_keyField = keyField;
}

void Dataset::setCurrent(int row)
{
    m_current = row;
    m_eof = m_bof = false;
    emit currentChanged(m_visible.empty() ? -1 : m_current);
}

void Dataset::setRecNo(int recNo)
{
    if (m_visible.empty()) return;
    setCurrent(std::clamp(recNo, 1, recordCount()) - 1);
}

void Dataset::next()
{
    if (m_visible.empty()) { m_eof = true; return; }
    if (m_current + 1 >= recordCount()) { m_eof = true; return; }
    setCurrent(m_current + 1);
}

void Dataset::prior()
{
    if (m_visible.empty()) { m_bof = true; return; }
    if (m_current == 0) { m_bof = true; return; }
    setCurrent(m_current - 1);
}

bool Dataset::locate(const QString& field, const QVariant& value)
{
    const int column = requireField(field);
    const QString wanted = toText(value);
    for (int i = 0; i < recordCount(); ++i) {
        if (toText(cell(sourceRowOf(i), column)).compare(wanted, Qt::CaseInsensitive) == 0) {
            setCurrent(i);
            return true;
        }
    }
    return false;
}

int Dataset::requireField(const QString& field) const
{
    const int column = fieldIndex(field);
    if (column < 0) throw DbError(QStringLiteral("Поле %1 не найдено").arg(field));
    return column;
}

QVariant Dataset::value(const QString& field) const
{
    const int column = requireField(field);
    if (m_state == State::Edit || m_state == State::Insert) {
        const auto it = m_pending.constFind(m_fields.at(column).toLower());
        if (it != m_pending.cend()) return it.value();
    }
    if (m_visible.empty()) return {};
    return cell(sourceRowOf(m_current), column);
}

QDate Dataset::asDate(const QString& field) const
{
    const QVariant v = value(field);
    if (v.userType() == QMetaType::QDateTime) return v.toDateTime().date();
    return v.toDate();
}

QVariant Dataset::valueAt(int row, int column) const
{
    if (row < 0 || row >= recordCount() || column < 0 || column >= fieldCount()) return {};
    return cell(sourceRowOf(row), column);
}

QVariant Dataset::valueAt(int row, const QString& field) const { return valueAt(row, fieldIndex(field)); }

QString Dataset::toText(const QVariant& v)
{
    if (v.isNull()) return {};
    if (v.userType() == QMetaType::QDate) return v.toDate().toString(QStringLiteral("dd.MM.yyyy"));
    if (v.userType() == QMetaType::QDateTime) return v.toDateTime().toString(QStringLiteral("dd.MM.yyyy hh:mm:ss"));
    return v.toString();
}

qlonglong Dataset::toLongLong(const QVariant& v)
{
    if (v.isNull()) return 0;
    bool ok = false;
    const qlonglong n = v.toLongLong(&ok);
    if (ok) return n;
    return qRound64(v.toString().toDouble());
}

double Dataset::toDouble(const QVariant& v)
{
    if (v.isNull()) return 0.0;
    return v.toDouble();
}

void Dataset::setFilterText(const QString& expression)
{
    m_filterText = expression;
    m_filter = expression.trimmed().isEmpty() ? RowFilter() : RowFilter::parse(expression);
    if (m_filtered) rebuildVisible();
}

void Dataset::setFilter(const RowFilter& filter)
{
    m_filterText.clear();
    m_filter = filter;
    if (m_filtered) rebuildVisible();
}

void Dataset::setFiltered(bool on)
{
    if (m_filtered == on) return;
    m_filtered = on;
    rebuildVisible();
}

void Dataset::setSort(const QString& expression)
{
    m_sort.clear();
    for (const QString& part : expression.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QStringList words = part.simplified().split(QLatin1Char(' '));
        if (m_state != State::Closed) requireField(words.value(0));
        m_sort << std::pair{words.value(0), words.value(1).compare(QLatin1String("DESC"), Qt::CaseInsensitive) == 0};
    }
    rebuildVisible();
}

void Dataset::setSearch(const QString& text, const QStringList& fields)
{
    if (text == m_searchText && fields == m_searchFields) return;
    m_searchText = text;
    m_searchFields = fields;
    rebuildVisible();
}

bool Dataset::rowMatches(int sourceRow) const
{
    return m_filter.matches([&](const QString& field) -> QVariant {
        const int column = fieldIndex(field);
        if (column < 0) throw DbError(QStringLiteral("Поле %1 не найдено").arg(field));
        return cell(sourceRow, column);
    });
}

void Dataset::rebuildVisible()
{
    if (m_state == State::Closed) return;
    m_visible.clear();
    m_visible.reserve(size_t(m_rowCount));
    const bool filtering = m_filtered && !m_filter.isEmpty();
    std::vector<int> searched;
    for (const QString& field : std::as_const(m_searchFields))
        if (const int column = fieldIndex(field); column >= 0 && !m_searchText.isEmpty()) searched.push_back(column);
    const auto found = [&](int r) {
        for (int column : searched) {
            const QString text = toText(cell(r, column));
            if (text.contains(m_searchText, Qt::CaseInsensitive)) return true;
            // Numbers are shown with a decimal comma and kept with a point.
            if (isNumericType(m_types.at(size_t(column))) &&
                QString(text).replace(QLatin1Char('.'), QLatin1Char(',')).contains(m_searchText, Qt::CaseInsensitive))
                return true;
        }
        return false;
    };
    for (int r = 0; r < m_rowCount; ++r)
        if ((!filtering || rowMatches(r)) && (searched.empty() || found(r))) m_visible.push_back(r);
    std::vector<std::pair<int, bool>> order;   // column, descending
    std::vector<bool> numeric;
    for (const auto& [field, desc] : std::as_const(m_sort))
        if (const int column = fieldIndex(field); column >= 0) {
            order.emplace_back(column, desc);
            numeric.push_back(isNumericType(m_types.at(size_t(column))));
        }
    if (!order.empty()) {
        std::stable_sort(m_visible.begin(), m_visible.end(), [&](int a, int b) {
            for (size_t i = 0; i < order.size(); ++i) {
                const auto& [column, desc] = order[i];
                const int c = compareValues(cell(a, column), cell(b, column), numeric[i]);
                if (c != 0) return desc ? c > 0 : c < 0;
            }
            return false;
        });
    }
    m_current = 0;
    m_eof = m_bof = false;
    emit reset();
    emit currentChanged(m_visible.empty() ? -1 : 0);
}

void Dataset::requireUpdateTable() const
{
    if (m_updateTable.isEmpty()) throw DbError(QStringLiteral("Набор данных не связан с таблицей"));
    if (m_state == State::Closed) throw DbError(QStringLiteral("Набор данных закрыт"));
}

void Dataset::append()
{
    requireUpdateTable();
    m_pending.clear();
    m_state = State::Insert;
}

void Dataset::edit()
{
    requireUpdateTable();
    if (m_visible.empty()) throw DbError(QStringLiteral("Нет записи для изменения"));
    m_pending.clear();
    m_state = State::Edit;
}

void Dataset::setField(const QString& field, const QVariant& value)
{
    if (m_state != State::Edit && m_state != State::Insert)
        throw DbError(QStringLiteral("Набор данных не в режиме правки"));
    requireIdentifier(field);
    m_pending.insert(field.toLower(), value);
}

void Dataset::post()
{
    if (m_state != State::Edit && m_state != State::Insert) return;
    requireUpdateTable();
    QStringList columns;
    Params params;
    int n = 0;
    for (auto it = m_pending.cbegin(); it != m_pending.cend(); ++it, ++n) {
        columns << it.key();
        params.append({QStringLiteral("p%1").arg(n), it.value()});
    }
    QString text;
    if (m_state == State::Insert) {
        QStringList holders;
        for (int i = 0; i < columns.size(); ++i) holders << QStringLiteral(":p%1").arg(i);
        text = columns.isEmpty()
            ? QStringLiteral("insert into %1 default values returning *").arg(m_updateTable)
            : QStringLiteral("insert into %1 (%2) values (%3) returning *")
                  .arg(m_updateTable, columns.join(QLatin1String(", ")), holders.join(QLatin1String(", ")));
    } else {
        if (columns.isEmpty()) { m_state = State::Browse; return; }
        QStringList sets;
        for (int i = 0; i < columns.size(); ++i) sets << QStringLiteral("%1 = :p%2").arg(columns.at(i)).arg(i);
        text = QStringLiteral("update %1 set %2 where %3 = :key returning *")
                   .arg(m_updateTable, sets.join(QLatin1String(", ")), m_keyField);
        params.append({QStringLiteral("key"), cell(sourceRowOf(m_current), requireField(m_keyField))});
    }
    Statement s(text);
    s.setParams(params);
    QSqlQuery q = s.exec(m_db);
    const bool got = q.next();
    const QSqlRecord rec = q.record();

    const int columnsInSnapshot = fieldCount();
    int row;
    if (m_state == State::Insert) {
        row = m_rowCount++;
        m_cells.resize(size_t(m_rowCount) * columnsInSnapshot);
    } else {
        row = sourceRowOf(m_current);
    }
    // The snapshot takes what the table now holds; fields the table lacks keep what they had
    // or, where the program set them, the value it set.
    for (int c = 0; c < columnsInSnapshot; ++c) {
        const QString name = m_fields.at(c).toLower();
        const int rc = got ? rec.indexOf(name) : -1;
        if (rc >= 0) cell(row, c) = q.value(rc);
        else if (m_pending.contains(name)) cell(row, c) = m_pending.value(name);
    }
    const State was = m_state;
    m_state = State::Browse;
    m_pending.clear();
    if (was == State::Insert) {
        rebuildVisible();
        const auto it = std::find(m_visible.begin(), m_visible.end(), row);
        if (it != m_visible.end()) setCurrent(int(it - m_visible.begin()));
    } else {
        emit rowChanged(m_current);
    }
}

void Dataset::cancel()
{
    if (m_state == State::Edit || m_state == State::Insert) m_state = State::Browse;
    m_pending.clear();
}

void Dataset::remove()
{
    requireUpdateTable();
    if (m_visible.empty()) return;
    const int row = sourceRowOf(m_current);
    execSql(m_db, QStringLiteral("delete from %1 where %2 = :key").arg(m_updateTable, m_keyField),
            {{QStringLiteral("key"), cell(row, requireField(m_keyField))}});
    const int columns = fieldCount();
    m_cells.erase(m_cells.begin() + ptrdiff_t(row) * columns, m_cells.begin() + ptrdiff_t(row + 1) * columns);
    --m_rowCount;
    const int keep = m_current;
    m_state = State::Browse;
    rebuildVisible();
    if (!m_visible.empty()) setCurrent(std::min(keep, recordCount() - 1));
}
