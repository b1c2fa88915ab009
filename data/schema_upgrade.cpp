#include "data/schema_upgrade.h"
#include "data/connection.h"
#include "data/db_error.h"
#include "data/statement.h"
#include "data/transaction.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QSet>
#include <QSqlDriver>
#include <QSqlQuery>

#include <libpq-fe.h>

namespace schema_upgrade {
namespace {

// The one lock of an upgrade, held to its commit: two upgrades never run at once. The number is
// the program's own ("tabl" in ASCII).
constexpr qint64 kUpgradeLock = 0x7461626c;

const QString kRecord = QStringLiteral(
    "create table if not exists accounts_dep.schema_migrations (\n"
    "  number     integer primary key,\n"
    "  name       text not null,\n"
    "  sha256     text not null,\n"
    "  applied_at timestamptz not null default now(),\n"
    "  applied_by text not null default session_user,\n"
    "  build      text not null,\n"
    "  adopted    boolean not null default false\n"
    ")");

QString shown(const Migration& m) { return m.name; }

QSqlQuery run(const QSqlDatabase& db, const QString& text, const Params& params = {})
{
    Statement statement(text);
    statement.setParams(params);
    return statement.exec(db);
}

// A migration's text, run as it stands: several statements and function bodies, which the
// toolkit's query would take apart or prepare. Inside the upgrade's transaction.
void runScript(const QSqlDatabase& db, const Migration& m)
{
    const QVariant handle = db.driver()->handle();
    PGconn* conn = handle.isValid() ? *static_cast<PGconn* const*>(handle.constData()) : nullptr;
    if (!conn) throw DbError(QStringLiteral("нет соединения с сервером"));
    PGresult* result = PQexec(conn, m.text.constData());
    const ExecStatusType status = PQresultStatus(result);
    if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK || status == PGRES_EMPTY_QUERY) {
        PQclear(result);
        return;
    }
    const QString text = QString::fromUtf8(PQresultErrorMessage(result)).trimmed();
    const QString state = QString::fromLatin1(PQresultErrorField(result, PG_DIAG_SQLSTATE));
    PQclear(result);
    throw DbError(QStringLiteral("%1: %2").arg(shown(m), text), state);
}

// The tables this session holds locks on, each with its strongest mode.
QMap<QString, QString> heldLocks(const QSqlDatabase& db)
{
    QSqlQuery q = run(db, QStringLiteral(
        "select n.nspname || '.' || c.relname, l.mode from pg_locks l\n"
        "join pg_class c on c.oid = l.relation join pg_namespace n on n.oid = c.relnamespace\n"
        "where l.pid = pg_backend_pid() and l.granted and l.locktype = 'relation' and c.relkind in ('r', 'p', 'v', 'm')\n"
        "and n.nspname not in ('pg_catalog', 'information_schema', 'pg_toast')"));
    static const QStringList strength = {"AccessShareLock", "RowShareLock", "RowExclusiveLock", "ShareUpdateExclusiveLock",
                                         "ShareLock", "ShareRowExclusiveLock", "ExclusiveLock", "AccessExclusiveLock"};
    QMap<QString, QString> locks;
    while (q.next()) {
        const QString table = q.value(0).toString(), mode = q.value(1).toString();
        if (strength.indexOf(mode) > strength.indexOf(locks.value(table))) locks[table] = mode;
    }
    return locks;
}

State read(const QSqlDatabase& db)
{
    State s;
    // From the catalog, which every login reads: a login the schema grants nothing (an old schema
    // before its roles) still learns what is missing.
    QSqlQuery there = run(db, QStringLiteral(
        "select bool_or(c.relname = 'schema_migrations'), bool_or(c.relname = 'smena') from pg_class c\n"
        "join pg_namespace n on n.oid = c.relnamespace\n"
        "where n.nspname = 'accounts_dep' and c.relname in ('schema_migrations', 'smena') and c.relkind in ('r', 'p')"));
    there.next();
    if (there.value(0).toBool()) {
        s.kind = State::Kind::Tracked;
        QSqlQuery q = run(db, QStringLiteral("select number, name, sha256, applied_at, applied_by, build, adopted "
                                             "from accounts_dep.schema_migrations order by number"));
        while (q.next())
            s.applied << Applied{q.value(0).toInt(), q.value(1).toString(), q.value(2).toString(), q.value(3).toDateTime(),
                                 q.value(4).toString(), q.value(5).toString(), q.value(6).toBool()};
    } else {
        s.kind = there.value(1).toBool() ? State::Kind::Untracked : State::Kind::Empty;
    }
    QSet<int> done;
    for (const Applied& a : std::as_const(s.applied)) {
        done << a.number;
        const auto known = std::find_if(migrations().begin(), migrations().end(), [&](const Migration& m) { return m.number == a.number; });
        if (known == migrations().end())
            s.problems << QStringLiteral("в БД есть изменение схемы %1, которого эта программа не знает: БД обновлена более "
                                         "новой программой, обновляйте ею")
                              .arg(a.name);
        else if (known->sha256 != a.sha256)
            s.problems << QStringLiteral("изменение схемы %1 в БД записано с другим текстом, чем в этой программе "
                                         "(SHA-256 %2, а у программы %3): текст примененного изменения не правят")
                              .arg(a.name, a.sha256, known->sha256);
    }
    for (const Migration& m : migrations()) {
        if (done.contains(m.number)) continue;
        // A database made before migrations has the first one done: it is adopted, never run.
        if (s.kind == State::Kind::Untracked && m.number == migrations().constFirst().number) continue;
        s.missing << m;
    }
    return s;
}

void record(const QSqlDatabase& db, const Migration& m, const QString& build, bool adopted)
{
    run(db, QStringLiteral("insert into accounts_dep.schema_migrations (number, name, sha256, build, adopted) "
                           "values (:number, :name, :sha256, :build, :adopted)"),
        {{"number", m.number}, {"name", m.name}, {"sha256", m.sha256}, {"build", build}, {"adopted", adopted}});
}

} // namespace

const QList<Migration>& migrations()
{
    static const QList<Migration> all = [] {
        QList<Migration> list;
        const QDir dir(QStringLiteral(":/migrations"));
        for (const QString& file : dir.entryList({QStringLiteral("*.sql")}, QDir::Files, QDir::Name)) {
            QFile f(dir.filePath(file));
            if (!f.open(QIODevice::ReadOnly)) continue;
            Migration m;
            m.name = file.chopped(4);
            m.number = m.name.section(QLatin1Char('_'), 0, 0).toInt();
            m.text = f.readAll();
            m.sha256 = QString::fromLatin1(QCryptographicHash::hash(m.text, QCryptographicHash::Sha256).toHex());
            list << m;
        }
        return list;
    }();
    return all;
}

State state(const QSqlDatabase& db) { return read(db); }

QStringList missing(const QSqlDatabase& db)
{
    QStringList names;
    for (const Migration& m : read(db).missing) names << m.name;
    return names;
}

QString outdatedText(const QStringList& missing, bool fullAccess, const QString& database, const QString& server)
{
    const QString said = QStringLiteral("В БД нет изменений схемы, нужных этой версии программы: %1.").arg(missing.join(QStringLiteral(", ")));
    if (!fullAccess) return said + QStringLiteral(" Работа с ней невозможна: обратитесь к администратору, БД нужно обновить.");
    return said + QStringLiteral(" Обновите БД (сначала сделайте ее резервную копию) под суперпользователем или членом "
                                 "роли tabel_owner:\n"
                                 "tabel %1 %2 --user ИМЯ --upgrade-database\n"
                                 "С --dry-run команда только покажет SQL, который выполнит.")
                      .arg(database, server);
}

Result upgrade(const QSqlDatabase& db, const QString& build, bool dryRun)
{
    Result result;
    Transaction transaction(db);
    run(db, QStringLiteral("set local client_min_messages = warning"));
    run(db, QStringLiteral("select pg_advisory_xact_lock(:lock)"), {{"lock", kUpgradeLock}});
    QElapsedTimer held;
    held.start();
    // Read again under the lock: an upgrade that ran meanwhile has changed what is missing.
    const State s = read(db);
    if (!s.problems.isEmpty()) throw UpgradeRefused(s.problems.join(QLatin1Char('\n')));
    if (s.kind == State::Kind::Untracked) {
        const Migration& first = migrations().constFirst();
        result.steps << Step{first.name, true, 0, {}};
        result.sql += QStringLiteral("-- %1: таблицы отдела уже есть, изменение принимается как сделанное\n").arg(first.name);
    }
    for (const Migration& m : s.missing)
        result.sql += QStringLiteral("-- %1\n").arg(m.name) + QString::fromUtf8(m.text) + QLatin1Char('\n');
    if (dryRun) {
        for (const Migration& m : s.missing) result.steps << Step{m.name, false, 0, {}};
        return result;   // rolled back: nothing changed
    }
    if (s.missing.isEmpty() && s.kind == State::Kind::Tracked) {
        transaction.commit();
        result.totalMs = held.elapsed();
        return result;
    }
    // Made only where missing: even "if not exists" asks for a right to create schemas in the
    // database, which a member of the schema's owner need not have.
    if (!run(db, QStringLiteral("select 1 from pg_namespace where nspname = 'accounts_dep'")).next())
        run(db, QStringLiteral("create schema accounts_dep"));
    run(db, kRecord);
    if (s.kind == State::Kind::Untracked) record(db, migrations().constFirst(), build, true);
    for (const Migration& m : s.missing) {
        const QMap<QString, QString> before = heldLocks(db);
        QElapsedTimer step;
        step.start();
        runScript(db, m);
        Step done{m.name, false, step.elapsed(), {}};
        const QMap<QString, QString> after = heldLocks(db);
        for (auto it = after.begin(); it != after.end(); ++it)
            if (before.value(it.key()) != it.value()) done.locks << QStringLiteral("%1: %2").arg(it.key(), it.value());
        record(db, m, build, false);
        result.steps << done;
    }
    transaction.commit();
    result.totalMs = held.elapsed();
    return result;
}

} // namespace schema_upgrade
