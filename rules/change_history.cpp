#include "rules/change_history.h"
#include "data/codes.h"
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

// An update comes back as the fields that differ, each with its value before and after
// ({"kol_vo": [10, 12]}): an approval carries one field instead of the whole entry twice. An
// added or deleted row comes back whole. The entry's day, worker and month are read from the
// row as it stands after the change (before it, for a deletion).
const QString kSelect = QStringLiteral(R"(
select l.id, to_char(l.at, 'YYYY-MM-DD HH24:MI:SS') as at, l.db_user, l.client, l.table_name, l.action,
       coalesce(l.row_id, 0) as row_id, coalesce(l.reason, '') as reason,
       (case when l.action = 'update'
             then (select jsonb_object_agg(o.key, jsonb_build_array(o.value, l.new_row -> o.key))
                     from jsonb_each(l.old_row) o where o.value is distinct from l.new_row -> o.key)
             else coalesce(l.new_row, l.old_row) end)::text as fields,
       coalesce(c.r ->> 'data', c.r ->> 'd_date') as day,
       coalesce(c.r ->> 'w_id', c.r ->> 'id_p') as worker,
       coalesce(c.r ->> 'month', c.r ->> 'i_mnth') as month,
       coalesce(c.r ->> 'year', c.r ->> 'i_year') as year
  from accounts_dep.change_log l
  cross join lateral (select coalesce(l.new_row, l.old_row) as r) c
)");

const QString kOfEntry = kSelect + QStringLiteral(R"(
 where l.table_name = :table_name and l.row_id = :row_id
 order by l.at, l.id)");

const QString kOfPeriod = kSelect + QStringLiteral(R"(
 where l.at >= :date1 and l.at < :date2
   and (cast(:everything as boolean) or l.table_name = 'closed_month'
        or (l.table_name = 'smena' and (l.old_row ->> 'ok' in (:approved, :approved_ru)
                                        or l.new_row ->> 'ok' in (:approved, :approved_ru))))
 order by l.at, l.id)");

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

struct RawRecord {
    Record record;
    std::vector<RawChange> changes;
    QString day, month, year;
    qlonglong worker = 0;
};

using Names = std::array<QHash<qlonglong, QString>, kReferenceKinds>;

bool isReference(Kind kind) { return int(kind) >= int(Kind::Worker); }
int referenceIndex(Kind kind) { return int(kind) - int(Kind::Worker); }

QJsonObject parseRow(const QVariant& text)
{
    return text.isNull() ? QJsonObject() : QJsonDocument::fromJson(text.toString().toUtf8()).object();
}

RawRecord readRecord(const QSqlQuery& q)
{
    RawRecord raw;
    Record& r = raw.record;
    r.id = q.value(0).toLongLong();
    r.at = wallClock(q.value(1).toString());
    r.dbUser = q.value(2).toString();
    r.client = q.value(3).toString();
    r.table = q.value(4).toString();
    r.action = q.value(5).toString();
    r.rowId = q.value(6).toLongLong();
    r.reason = q.value(7).toString();
    const QJsonObject fields = parseRow(q.value(8));
    raw.day = q.value(9).toString();
    raw.worker = q.value(10).toString().toLongLong();
    raw.month = q.value(11).toString();
    raw.year = q.value(12).toString();

    // An update's fields hold their values before and after; an added row has no side before,
    // a deleted one none after.
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
    for (const FieldSpec& f : specs)
        if (const auto it = fields.constFind(f.column); it != fields.constEnd()) change(f.title, f.kind, *it);
    if (update)
        for (auto it = fields.constBegin(); it != fields.constEnd(); ++it) {
            const auto named = [&](const FieldSpec& f) { return f.column == it.key(); };
            if (std::none_of(specs.begin(), specs.end(), named) && !isOwnColumn(it.key())) change(it.key(), Kind::Plain, it.value());
        }
    return raw;
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

/// The names of every reference the records hold, one statement a kind of reference.
Names readNames(const QSqlDatabase& db, const std::vector<RawRecord>& raws)
{
    std::array<QSet<qlonglong>, kReferenceKinds> ids;
    for (const RawRecord& raw : raws) {
        if (raw.worker) ids[referenceIndex(Kind::Worker)].insert(raw.worker);
        for (const RawChange& c : raw.changes) {
            if (!isReference(c.kind)) continue;
            for (const QJsonValue& v : {c.before, c.after})
                if (v.isDouble()) ids[referenceIndex(c.kind)].insert(qlonglong(v.toDouble()));
        }
    }
    Names names;
    for (int k = 0; k < kReferenceKinds; ++k) {
        if (ids[k].isEmpty()) continue;
        QStringList list;
        list.reserve(ids[k].size());
        for (const qlonglong id : std::as_const(ids[k])) list << QString::number(id);
        Statement s(kNames[k]);
        s.setParam(QStringLiteral("ids"), QStringLiteral("{%1}").arg(list.join(QLatin1Char(','))));
        QSqlQuery q = s.exec(db);
        while (q.next()) names[k].insert(q.value(0).toLongLong(), q.value(1).toString());
    }
    return names;
}

/// Values as people read them, each distinct one worked out once: a month's records repeat the
/// same days, workers, products and quantities thousands of times.
class Presenter {
public:
    explicit Presenter(Names names) : m_names(std::move(names)) {}

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
        QString when = remembered(m_days, raw.day, [&] { return day(raw.day); });
        if (when == kEmpty)
            when = raw.month.isEmpty() || raw.year.isEmpty()
                       ? QString()
                       : QStringLiteral("%1.%2").arg(raw.month.rightJustified(2, QLatin1Char('0')), raw.year);
        if (!raw.worker) return when;
        const QString worker = value(QJsonValue(double(raw.worker)), Kind::Worker);
        return when.isEmpty() ? worker : when + QStringLiteral(", ") + worker;
    }

private:
    template <typename Key, typename Make>
    static QString remembered(QHash<Key, QString>& known, const Key& key, Make make)
    {
        auto it = known.constFind(key);
        if (it == known.constEnd()) it = known.insert(key, make());
        return *it;
    }
    static QString day(const QString& text)
    {
        const QDate d = QDate::fromString(text.left(10), Qt::ISODate);
        return d.isValid() ? formats::date(d) : kEmpty;
    }

    Names m_names;
    QHash<double, QString> m_numbers;
    QHash<QString, QString> m_days;
    QHash<QString, QString> m_times;
    std::array<QHash<qlonglong, QString>, kReferenceKinds> m_references;
};

QList<Record> read(const QSqlDatabase& db, const Statement& statement)
{
    std::vector<RawRecord> raws;
    {
        QSqlQuery q = statement.exec(db);
        if (q.size() > 0) raws.reserve(size_t(q.size()));
        while (q.next()) raws.push_back(readRecord(q));
    }
    Presenter shown(readNames(db, raws));
    QList<Record> records;
    records.reserve(qsizetype(raws.size()));
    for (RawRecord& raw : raws) {
        Record& r = raw.record;
        r.subject = shown.subject(raw);
        r.changes.reserve(qsizetype(raw.changes.size()));
        for (const RawChange& c : raw.changes)
            r.changes.append({c.field, c.before.isUndefined() ? QString() : shown.value(c.before, c.kind),
                              c.after.isUndefined() ? QString() : shown.value(c.after, c.kind)});
        records.append(std::move(r));
    }
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
    const bool update = action == QLatin1String("update");
    QStringList parts;
    parts.reserve(changes.size());
    for (const FieldChange& c : changes) {
        if (update)
            parts << QStringLiteral("%1: %2 → %3").arg(c.field, c.before, c.after);
        else
            parts << QStringLiteral("%1: %2").arg(c.field, c.after.isNull() ? c.before : c.after);
    }
    return parts.join(QStringLiteral("; "));
}

QList<Record> entryHistory(const QSqlDatabase& db, Table table, qlonglong rowId)
{
    Statement s(kOfEntry);
    s.setParams({{QStringLiteral("table_name"), table == Table::Journal ? QStringLiteral("smena") : QStringLiteral("fatigue")},
                 {QStringLiteral("row_id"), rowId}});
    return read(db, s);
}

QList<Record> periodChanges(const QSqlDatabase& db, const QDate& from, const QDate& to, Scope scope)
{
    Statement s(kOfPeriod);
    s.setParams({{QStringLiteral("date1"), from},
                 {QStringLiteral("date2"), to},
                 {QStringLiteral("everything"), scope == Scope::Everything},
                 {QStringLiteral("approved"), codes::kMarkApproved},
                 {QStringLiteral("approved_ru"), codes::kMarkApprovedRu}});
    return read(db, s);
}

} // namespace change_history
