#include "rules/change_history.h"
#include "data/cursor.h"
#include "data/formats.h"
#include "data/statement.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QSqlQuery>
#include <QStringList>

#include <algorithm>
#include <array>
#include <vector>

namespace change_history {
namespace {

// A record comes back as it is kept: an added or deleted entry as the text of its row (read by
// the columns of its layout), an update as its changed fields ({"kol_vo": [10, 12]}), a month's
// closing as its row, an entry kept whole before the history was made compact as its row; with
// the entry's day, worker (or month) as the row stood after the change (before it, for a
// deletion). Who made it and the layouts are read by their ids, once each.
const QString kSelect = QStringLiteral(R"(
select l.id, to_char(l.at, 'YYYY-MM-DD HH24:MI:SS') as at, l.author, l.tbl::text as tbl, l.act::text as act,
       coalesce(l.row_id, 0) as row_id, coalesce(l.reason, '') as reason, l.layout, l.entry, l.fields::text as fields,
       l.day, coalesce(l.worker, 0) as worker, l.in_month, l.in_year
  from accounts_dep.change_log l
)");

const QString kOfEntry = kSelect + QStringLiteral(R"(
 where l.tbl = :tbl and l.row_id = :row_id
 order by l.at, l.id)");

// The approvals are the database's: an entry marked "ok" or "да" before or after the change.
const QString kOfPeriod = kSelect + QStringLiteral(R"(
 where l.at >= :date1 and l.at < :date2
   and (cast(:everything as boolean) or l.tbl = 'm' or (l.tbl = 's' and (l.ok_before or l.ok_after))))");
const QString kOldestFirst = QStringLiteral("\n order by l.at, l.id");
const QString kNewestFirst = QStringLiteral("\n order by l.at desc, l.id desc");

const QString kAuthors = QStringLiteral(
    "select id, db_user, client from accounts_dep.change_author where id = any(cast(:ids as integer[]))");

const QString kLayouts = QStringLiteral(R"(
select l.id, l.tbl::text, c.name, c.type
  from accounts_dep.change_layout l, unnest(l.columns, l.types) with ordinality as c(name, type, n)
 where l.id = any(cast(:ids as integer[]))
 order by l.id, c.n)");

// Records read from the server at a time.
constexpr int kBatch = 5000;

/// How a field's value is shown; the references are shown by the names they point to.
enum class Kind { Plain, Date, Time, Worker, Product, Operation, Group, WorkKind };
constexpr int kReferenceKinds = int(Kind::WorkKind) - int(Kind::Worker) + 1;

// The names a reference is shown by, each read for all the records at once.
const std::array<QString, kReferenceKinds> kNames = {
    QStringLiteral("select id, fio as name from accounts_dep.person where id = any(cast(:ids as bigint[]))"),
    QStringLiteral("select id, s_caption as name from cmn_gds_and_srv.gds_and_srv where id = any(cast(:ids as bigint[]))"),
    QStringLiteral("select o.id, v.vid as name from accounts_dep.oper o join accounts_dep.vid_oper v on v.id = o.vid "
                   "where o.id = any(cast(:ids as bigint[]))"),
    QStringLiteral("select id, s_caption as name from cmn_classifier.item where id = any(cast(:ids as bigint[]))"),
    QStringLiteral("select id, vid as name from accounts_dep.vid_oper where id = any(cast(:ids as bigint[]))"),
};

struct FieldSpec {
    QString column;
    QString title;
    Kind kind = Kind::Plain;
};

// The fields of each table in the order and under the names of the windows that show them.
// Other columns are shown by their own names, and only where an update changed them.
const QList<FieldSpec>& fieldsOf(const QString& table)
{
    static const QList<FieldSpec> journal = {
        {QStringLiteral("data"), QStringLiteral("Дата"), Kind::Date},
        {QStringLiteral("smena"), QStringLiteral("Смена")},
        {QStringLiteral("w_id"), QStringLiteral("Фамилия И.О."), Kind::Worker},
        {QStringLiteral("i_id"), QStringLiteral("Марка изделия"), Kind::Product},
        {QStringLiteral("o_id"), QStringLiteral("Операция"), Kind::Operation},
        {QStringLiteral("color"), QStringLiteral("Цвет")},
        {QStringLiteral("time"), QStringLiteral("Часы")},
        {QStringLiteral("kol_vo"), QStringLiteral("Кол-во")},
        {QStringLiteral("brak"), QStringLiteral("Брак")},
        {QStringLiteral("cena"), QStringLiteral("Цена")},
        {QStringLiteral("prize"), QStringLiteral("Премия (%)")},
        {QStringLiteral("ok"), QStringLiteral("OK")},
        {QStringLiteral("vvod"), QStringLiteral("Заведен"), Kind::Time},
    };
    static const QList<FieldSpec> hours = {
        {QStringLiteral("d_date"), QStringLiteral("Дата"), Kind::Date},
        {QStringLiteral("id_p"), QStringLiteral("ФИО"), Kind::Worker},
        {QStringLiteral("id_nom"), QStringLiteral("Номенклатура"), Kind::Group},
        {QStringLiteral("id_o"), QStringLiteral("Работа"), Kind::WorkKind},
        {QStringLiteral("price"), QStringLiteral("Цена")},
        {QStringLiteral("cnt"), QStringLiteral("Кол-во")},
        {QStringLiteral("i_holiday"), QStringLiteral("Вых.")},
        {QStringLiteral("i_night"), QStringLiteral("Ноч.")},
        {QStringLiteral("i_mnth"), QStringLiteral("Месяц")},
        {QStringLiteral("i_year"), QStringLiteral("Год")},
        {QStringLiteral("i_smena"), QStringLiteral("Смена")},
    };
    // The month itself is the record's subject.
    static const QList<FieldSpec> month = {
        {QStringLiteral("closed_at"), QStringLiteral("Закрыт"), Kind::Time},
        {QStringLiteral("closed_by"), QStringLiteral("Кем закрыт")},
    };
    static const QList<FieldSpec> none;
    if (table == QLatin1String("smena")) return journal;
    if (table == QLatin1String("fatigue")) return hours;
    if (table == QLatin1String("closed_month")) return month;
    return none;
}

/// Columns never shown as changes: the entry's id is the record's own column, and a month's
/// year and month are its subject.
bool isOwnColumn(const QString& column)
{
    return column == QLatin1String("id") || column == QLatin1String("year") || column == QLatin1String("month");
}

const QString kEmpty = QStringLiteral("—");

/// A time as its text reads ("2024-03-15 10:20:30", or "2024-03-15T10:20:30.5+03:00" as a row's
/// copy in the history has it), to the second and without its zone. It is held as UTC so that
/// nothing shifts it: a time in the workstation's zone looks its zone up anew, file and all, for
/// every one of a month's records.
QDateTime wallClock(const QString& text)
{
    if (text.size() < 19) return {};
    const QDate day = QDate::fromString(text.left(10), Qt::ISODate);
    const auto part = [&](int at) { return QStringView(text).mid(at, 2).toInt(); };
    const QTime time(part(11), part(14), part(17));
    return day.isValid() && time.isValid() ? QDateTime(day, time, Qt::UTC) : QDateTime();
}

/// A field as read, shown once the names of the references are in.
struct RawChange {
    QString field;
    Kind kind;
    QJsonValue before, after;   // Undefined: the row has no side there
};

/// A record as it is kept, before its row is read by its layout and its references named.
struct RawRecord {
    Record record;
    int author = 0;
    int layout = 0;
    QString entry;    // an added or deleted entry's row as text
    QString fields;   // the changed fields, or a row kept whole
    QDate day;
    qlonglong worker = 0;
    QVariant month, year;
    std::vector<RawChange> changes;
};

/// A column of a layout: its name and whether its values are numbers or truth values.
struct LayoutColumn {
    QString name;
    enum class Type { Text, Number, Truth } type = Type::Text;
};
/// A layout's columns, and where in them each field the windows show stands (-1: nowhere).
struct Layout {
    std::vector<LayoutColumn> columns;
    std::vector<int> shown;
};

LayoutColumn::Type typeOf(const QString& sqlType)
{
    static const QStringList numbers = {QStringLiteral("smallint"), QStringLiteral("integer"), QStringLiteral("bigint"),
                                        QStringLiteral("real"), QStringLiteral("double precision")};
    if (sqlType == QLatin1String("boolean")) return LayoutColumn::Type::Truth;
    if (numbers.contains(sqlType) || sqlType.startsWith(QLatin1String("numeric"))) return LayoutColumn::Type::Number;
    return LayoutColumn::Type::Text;
}

/// The fields of a row's record text ("(5,2024-03-15,,\"a \"\"b\"\"\")"): each a value or, where
/// nothing stands between the commas, NULL (a null QString). Quoted values keep their commas,
/// parentheses and blanks; a doubled quote or a backslash gives the character after it.
QStringList recordFields(const QString& text)
{
    QStringList out;
    const qsizetype n = text.size();
    if (n < 2 || text.front() != QLatin1Char('(')) return out;
    qsizetype i = 1;
    while (i < n) {
        // Most values are plain: taken whole, without a character at a time.
        qsizetype end = i;
        while (end < n && text.at(end) != QLatin1Char(',') && text.at(end) != QLatin1Char(')') && text.at(end) != QLatin1Char('"')
               && text.at(end) != QLatin1Char('\\'))
            ++end;
        if (end < n && text.at(end) != QLatin1Char('"') && text.at(end) != QLatin1Char('\\')) {
            out << (end > i ? text.mid(i, end - i) : QString());
            i = end;
            if (text.at(i) == QLatin1Char(')')) break;
            ++i;
            continue;
        }
        QString value;
        bool any = false;
        bool quoted = false;
        for (; i < n; ++i) {
            const QChar c = text.at(i);
            if (quoted) {
                if (c == QLatin1Char('\\') && i + 1 < n) {
                    value += text.at(++i);
                } else if (c == QLatin1Char('"')) {
                    if (i + 1 < n && text.at(i + 1) == QLatin1Char('"')) value += text.at(++i);
                    else quoted = false;
                } else {
                    value += c;
                }
            } else if (c == QLatin1Char('"')) {
                quoted = any = true;
            } else if (c == QLatin1Char(',') || c == QLatin1Char(')')) {
                break;
            } else if (c == QLatin1Char('\\') && i + 1 < n) {
                value += text.at(++i);
                any = true;
            } else {
                value += c;
                any = true;
            }
        }
        out << (any ? (value.isNull() ? QString(QLatin1String("")) : value) : QString());
        if (i >= n || text.at(i) == QLatin1Char(')')) break;
        ++i;   // the comma
    }
    return out;
}

/// A field of a row kept as text as a row's copy in jsonb would have held it: a number as a
/// number, a truth value as such, NULL as null, the rest as text.
QJsonValue valueOf(const QString& v, LayoutColumn::Type type)
{
    if (v.isNull()) return QJsonValue(QJsonValue::Null);
    if (type == LayoutColumn::Type::Number) return v.toDouble();
    if (type == LayoutColumn::Type::Truth) return v == QLatin1String("t");
    return v;
}

bool isReference(Kind kind) { return int(kind) >= int(Kind::Worker); }
int referenceIndex(Kind kind) { return int(kind) - int(Kind::Worker); }

QJsonObject parseObject(const QString& text)
{
    return text.isEmpty() ? QJsonObject() : QJsonDocument::fromJson(text.toUtf8()).object();
}

QString tableName(const QString& code)
{
    if (code == QLatin1String("s")) return QStringLiteral("smena");
    if (code == QLatin1String("f")) return QStringLiteral("fatigue");
    return QStringLiteral("closed_month");
}

QString actionName(const QString& code)
{
    if (code == QLatin1String("i")) return QStringLiteral("insert");
    if (code == QLatin1String("u")) return QStringLiteral("update");
    if (code == QLatin1String("d")) return QStringLiteral("delete");
    if (code == QLatin1String("c")) return QStringLiteral("close");
    return QStringLiteral("reopen");
}

RawRecord readRecord(const QSqlQuery& q)
{
    RawRecord raw;
    Record& r = raw.record;
    r.id = q.value(0).toLongLong();
    r.at = wallClock(q.value(1).toString());
    raw.author = q.value(2).toInt();
    r.table = tableName(q.value(3).toString());
    r.action = actionName(q.value(4).toString());
    r.rowId = q.value(5).toLongLong();
    r.reason = q.value(6).toString();
    raw.layout = q.value(7).toInt();
    raw.entry = q.value(8).toString();
    raw.fields = q.value(9).toString();
    raw.day = q.value(10).toDate();
    raw.worker = q.value(11).toLongLong();
    raw.month = q.value(12);
    raw.year = q.value(13);
    return raw;
}

/// The record's fields: an update's with their values before and after, an added row's after
/// only, a deleted one's before only.
void readChanges(RawRecord& raw, const Layout* layout)
{
    const Record& r = raw.record;
    const bool update = r.action == QLatin1String("update");
    const bool added = r.action == QLatin1String("insert") || r.action == QLatin1String("close");
    const auto change = [&](const QString& title, Kind kind, const QJsonValue& value) {
        const QJsonValue none(QJsonValue::Undefined);
        if (update) {
            const QJsonArray pair = value.toArray();
            raw.changes.push_back({title, kind, pair.at(0), pair.at(1)});
        } else {
            raw.changes.push_back({title, kind, added ? none : value, added ? value : none});
        }
    };
    const QList<FieldSpec>& specs = fieldsOf(r.table);
    raw.changes.reserve(size_t(specs.size()));
    if (!raw.entry.isEmpty() && layout) {
        const QStringList values = recordFields(raw.entry);
        for (qsizetype k = 0; k < specs.size() && size_t(k) < layout->shown.size(); ++k) {
            const int c = layout->shown[size_t(k)];
            if (c >= 0 && c < values.size()) change(specs.at(k).title, specs.at(k).kind, valueOf(values.at(c), layout->columns[size_t(c)].type));
        }
        return;
    }
    const QJsonObject fields = parseObject(raw.fields);
    for (const FieldSpec& f : specs)
        if (const auto it = fields.constFind(f.column); it != fields.constEnd()) change(f.title, f.kind, *it);
    if (update)
        for (auto it = fields.constBegin(); it != fields.constEnd(); ++it) {
            const auto named = [&](const FieldSpec& f) { return f.column == it.key(); };
            if (std::none_of(specs.begin(), specs.end(), named) && !isOwnColumn(it.key())) change(it.key(), Kind::Plain, it.value());
        }
}

QString plain(const QJsonValue& v)
{
    switch (v.type()) {
    case QJsonValue::Null:
    case QJsonValue::Undefined: return kEmpty;
    case QJsonValue::Bool: return v.toBool() ? QStringLiteral("да") : QStringLiteral("нет");
    case QJsonValue::Double: return formats::general(v.toDouble());
    case QJsonValue::String: return v.toString();
    case QJsonValue::Array: return QString::fromUtf8(QJsonDocument(v.toArray()).toJson(QJsonDocument::Compact));
    case QJsonValue::Object: return QString::fromUtf8(QJsonDocument(v.toObject()).toJson(QJsonDocument::Compact));
    }
    return kEmpty;
}

/// A set of ids as the statements take it: "{1,2,3}".
QString idList(const QSet<qlonglong>& ids)
{
    QStringList list;
    list.reserve(ids.size());
    for (const qlonglong id : ids) list << QString::number(id);
    return QStringLiteral("{%1}").arg(list.join(QLatin1Char(',')));
}

// What a reading keeps of what it learned, beyond which it starts afresh: a plant's history
// names the same few thousand workers and products again and again, and shows a moment of entry
// once.
constexpr qsizetype kKept = 100000;

/// Reads records a batch at a time and shows them as people read them: the authors, the layouts
/// and the names of the references each read once, for the ids of a batch not yet known; values
/// worked out once each (a month's records repeat the same days, workers, products and
/// quantities thousands of times).
class Reader {
public:
    explicit Reader(const QSqlDatabase& db) : m_db(db) {}

    /// The rows of the query, shown, handed to take in their order.
    void readBatch(QSqlQuery& q, const std::function<void(const Record&)>& take)
    {
        std::vector<RawRecord> raws;
        while (q.next()) raws.push_back(readRecord(q));
        learnAuthorsAndLayouts(raws);
        for (RawRecord& raw : raws) {
            const auto layout = m_layouts.constFind(raw.layout);
            readChanges(raw, layout == m_layouts.constEnd() ? nullptr : &*layout);
        }
        learnNames(raws);
        for (RawRecord& raw : raws) take(present(raw));
    }

private:
    void learnAuthorsAndLayouts(const std::vector<RawRecord>& raws)
    {
        QSet<qlonglong> authors, layouts;
        for (const RawRecord& raw : raws) {
            if (!m_authors.contains(raw.author)) authors.insert(raw.author);
            if (raw.layout && !m_layouts.contains(raw.layout)) layouts.insert(raw.layout);
        }
        if (m_authors.size() > kKept) m_authors.clear();
        if (!authors.isEmpty()) {
            Statement s(kAuthors);
            s.setParam(QStringLiteral("ids"), idList(authors));
            QSqlQuery q = s.exec(m_db);
            while (q.next()) m_authors.insert(q.value(0).toInt(), {q.value(1).toString(), q.value(2).toString()});
        }
        if (!layouts.isEmpty()) {
            Statement s(kLayouts);
            s.setParam(QStringLiteral("ids"), idList(layouts));
            QSqlQuery q = s.exec(m_db);
            QHash<int, QString> tables;
            while (q.next()) {
                m_layouts[q.value(0).toInt()].columns.push_back({q.value(2).toString(), typeOf(q.value(3).toString())});
                tables.insert(q.value(0).toInt(), tableName(q.value(1).toString()));
            }
            for (auto it = tables.constBegin(); it != tables.constEnd(); ++it) {
                Layout& layout = m_layouts[it.key()];
                for (const FieldSpec& f : fieldsOf(it.value())) {
                    const auto at = std::find_if(layout.columns.begin(), layout.columns.end(),
                                                 [&](const LayoutColumn& c) { return c.name == f.column; });
                    layout.shown.push_back(at == layout.columns.end() ? -1 : int(at - layout.columns.begin()));
                }
            }
        }
    }

    /// The names of every reference the records hold, one statement a kind of reference.
    void learnNames(const std::vector<RawRecord>& raws)
    {
        std::array<QSet<qlonglong>, kReferenceKinds> ids;
        const auto wanted = [&](Kind kind, qlonglong id) {
            if (!m_names[referenceIndex(kind)].contains(id)) ids[referenceIndex(kind)].insert(id);
        };
        for (const RawRecord& raw : raws) {
            if (raw.worker) wanted(Kind::Worker, raw.worker);
            for (const RawChange& c : raw.changes) {
                if (!isReference(c.kind)) continue;
                for (const QJsonValue& v : {c.before, c.after})
                    if (v.isDouble()) wanted(c.kind, qlonglong(v.toDouble()));
            }
        }
        for (int k = 0; k < kReferenceKinds; ++k) {
            if (ids[k].isEmpty()) continue;
            if (m_names[k].size() > kKept) {
                m_names[k].clear();
                m_references[k].clear();
            }
            // An id without a name is known as such: it is not asked for again.
            for (const qlonglong id : std::as_const(ids[k])) m_names[k].insert(id, QString());
            Statement s(kNames[k]);
            s.setParam(QStringLiteral("ids"), idList(ids[k]));
            QSqlQuery q = s.exec(m_db);
            while (q.next()) m_names[k].insert(q.value(0).toLongLong(), q.value(1).toString());
        }
    }

    Record present(RawRecord& raw)
    {
        Record r = std::move(raw.record);
        const auto author = m_authors.constFind(raw.author);
        if (author != m_authors.constEnd()) {
            r.dbUser = author->first;
            r.client = author->second;
        }
        r.subject = subject(raw);
        r.changes.reserve(qsizetype(raw.changes.size()));
        for (const RawChange& c : raw.changes)
            r.changes.append({c.field, c.before.isUndefined() ? QString() : value(c.before, c.kind),
                              c.after.isUndefined() ? QString() : value(c.after, c.kind)});
        return r;
    }

    QString value(const QJsonValue& v, Kind kind)
    {
        if (v.isNull() || v.isUndefined()) return kEmpty;
        switch (kind) {
        case Kind::Plain:
            return v.isDouble() ? remembered(m_numbers, v.toDouble(), [&] { return plain(v); }) : plain(v);
        case Kind::Date:
            return remembered(m_days, v.toString(), [&] { return day(v.toString()); });
        case Kind::Time:
            return remembered(m_times, v.toString(), [&] {
                const QDateTime t = wallClock(v.toString());
                return t.isValid() ? formats::dateTime(t) : plain(v);
            });
        default:
            break;
        }
        const qlonglong id = qlonglong(v.toDouble());
        return remembered(m_references[referenceIndex(kind)], id, [&] {
            const QString name = m_names[referenceIndex(kind)].value(id).trimmed();
            if (name.isEmpty()) return QString::number(id);
            return kind == Kind::Worker ? QStringLiteral("%1 %2").arg(id).arg(name) : name;
        });
    }

    /// The entry by its day (or month) and worker, or the month.
    QString subject(const RawRecord& raw)
    {
        QString when;
        if (raw.day.isValid())
            when = remembered(m_dates, raw.day, [&] { return formats::date(raw.day); });
        else if (!raw.month.isNull() && !raw.year.isNull())
            when = QStringLiteral("%1.%2").arg(raw.month.toString().rightJustified(2, QLatin1Char('0')), raw.year.toString());
        if (!raw.worker) return when;
        const QString worker = value(QJsonValue(double(raw.worker)), Kind::Worker);
        return when.isEmpty() ? worker : when + QStringLiteral(", ") + worker;
    }

    template <typename Key, typename Make>
    static QString remembered(QHash<Key, QString>& known, const Key& key, Make make)
    {
        auto it = known.constFind(key);
        if (it == known.constEnd()) {
            if (known.size() > kKept) known.clear();
            it = known.insert(key, make());
        }
        return *it;
    }
    static QString day(const QString& text)
    {
        const QDate d = QDate::fromString(text.left(10), Qt::ISODate);
        return d.isValid() ? formats::date(d) : kEmpty;
    }

    QSqlDatabase m_db;
    QHash<int, std::pair<QString, QString>> m_authors;   // login, client
    QHash<int, Layout> m_layouts;
    std::array<QHash<qlonglong, QString>, kReferenceKinds> m_names;
    QHash<double, QString> m_numbers;
    QHash<QString, QString> m_days;
    QHash<QDate, QString> m_dates;
    QHash<QString, QString> m_times;
    std::array<QHash<qlonglong, QString>, kReferenceKinds> m_references;
};

/// The statement's records, a batch at a time, each shown and handed to take.
void read(const QSqlDatabase& db, const Statement& statement, const std::function<void(const Record&)>& take)
{
    Reader reader(db);
    Cursor cursor(db, statement);
    for (;;) {
        QSqlQuery batch = cursor.fetch(kBatch);
        bool any = false;
        reader.readBatch(batch, [&](const Record& r) {
            any = true;
            take(r);
        });
        if (!any) break;
    }
}

QList<Record> collected(const QSqlDatabase& db, const Statement& statement)
{
    QList<Record> records;
    read(db, statement, [&](const Record& r) { records.append(r); });
    return records;
}

} // namespace

QString Record::what() const
{
    if (table == QLatin1String("smena")) return QStringLiteral("Журнал");
    if (table == QLatin1String("fatigue")) return QStringLiteral("Часы");
    if (table == QLatin1String("closed_month")) return QStringLiteral("Месяц");
    return table;
}

QString Record::actionText() const
{
    if (action == QLatin1String("insert")) return QStringLiteral("Добавлена");
    if (action == QLatin1String("update")) return QStringLiteral("Изменена");
    if (action == QLatin1String("delete")) return QStringLiteral("Удалена");
    if (action == QLatin1String("close")) return QStringLiteral("Месяц закрыт");
    if (action == QLatin1String("reopen")) return QStringLiteral("Месяц открыт");
    return action;
}

QString Record::changesText() const
{
    // A month's records are hundreds of thousands: the line is put together in one piece.
    const bool update = action == QLatin1String("update");
    qsizetype size = 0;
    for (const FieldChange& c : changes) size += c.field.size() + c.before.size() + c.after.size() + 7;
    QString text;
    text.reserve(size);
    for (const FieldChange& c : changes) {
        if (!text.isEmpty()) text += QLatin1String("; ");
        text += c.field;
        text += QLatin1String(": ");
        if (update) {
            text += c.before;
            text += QStringView(u" → ");
            text += c.after;
        } else {
            text += c.after.isNull() ? c.before : c.after;
        }
    }
    return text;
}

QList<Record> entryHistory(const QSqlDatabase& db, Table table, qlonglong rowId)
{
    Statement s(kOfEntry);
    s.setParams({{QStringLiteral("tbl"), table == Table::Journal ? QStringLiteral("s") : QStringLiteral("f")},
                 {QStringLiteral("row_id"), rowId}});
    return collected(db, s);
}

namespace {

Statement ofPeriod(const QDate& from, const QDate& to, Scope scope, Order order = Order::OldestFirst)
{
    Statement s(kOfPeriod + (order == Order::OldestFirst ? kOldestFirst : kNewestFirst));
    s.setParams({{QStringLiteral("date1"), from},
                 {QStringLiteral("date2"), to},
                 {QStringLiteral("everything"), scope == Scope::Everything}});
    return s;
}

} // namespace

QList<Record> periodChanges(const QSqlDatabase& db, const QDate& from, const QDate& to, Scope scope)
{
    return collected(db, ofPeriod(from, to, scope));
}

void eachPeriodChange(const QSqlDatabase& db, const QDate& from, const QDate& to, Scope scope,
                      const std::function<void(const Record&)>& take, Order order)
{
    read(db, ofPeriod(from, to, scope, order), take);
}

} // namespace change_history
