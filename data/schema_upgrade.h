#pragma once
#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

/// The department's schema as a numbered series of migrations (db/migrations/NNNN_what.sql,
/// carried in the program), and the upkeep of a database by them: which it has (the table
/// accounts_dep.schema_migrations), which it lacks, and applying those in order, all in one
/// transaction under a lock, so that two upgrades never run at once and a failed one leaves the
/// database as it was.
namespace schema_upgrade {

/// A migration of this build.
struct Migration {
    int number = 0;
    QString name;        ///< "0004_closed_months_and_history"
    QByteArray text;     ///< the SQL, as the file has it
    QString sha256;      ///< of the text, lower-case hex
};

/// The build's migrations, in order.
const QList<Migration>& migrations();

/// A migration as the database records it.
struct Applied {
    int number = 0;
    QString name;
    QString sha256;
    QDateTime at;
    QString by;        ///< the login that applied it
    QString build;     ///< the client build that applied it
    bool adopted = false;   ///< found done in a database made before migrations, never run there
};

/// What a database has and what the build would do to it.
struct State {
    enum class Kind {
        Empty,        ///< no department schema yet: every migration is applied
        Untracked,    ///< the department's tables without the record of migrations: the first is adopted
        Tracked,      ///< migrations recorded
    } kind = Kind::Empty;
    QList<Applied> applied;
    QList<Migration> missing;     ///< to apply, in order (the adopted first one not among them)
    QStringList problems;         ///< why the build must not upgrade it: a changed or unknown migration
};

/// Reads what the database has; throws DbError when it cannot be read.
State state(const QSqlDatabase& db);

/// The names of the build's migrations the database lacks (empty: it is up to date), for the
/// start of the client; read in one statement.
QStringList missing(const QSqlDatabase& db);

/// Said when the database lacks migrations the build needs: full access is given the command
/// that adds them (and what they are); every other role is sent to the administrator.
QString outdatedText(const QStringList& missing, bool fullAccess, const QString& database, const QString& server);

/// What one step of an upgrade did.
struct Step {
    QString name;
    bool adopted = false;
    qint64 ms = 0;              ///< how long the step ran
    QStringList locks;          ///< the tables it locked, with the mode ("accounts_dep.smena: AccessExclusiveLock")
};

/// Brings the database up to date: waits for any other upgrade, reads its state again under the
/// lock, refuses (throws UpgradeRefused naming the migration) a changed or unknown one, records
/// the first migration as adopted in a database made before migrations, applies the missing ones
/// in order and records each with its SHA-256, the time, the login and the build. Every step
/// and its locks are held until the whole upgrade commits. With dryRun it changes nothing:
/// the steps come back with the SQL they would run in sql.
struct Result {
    QList<Step> steps;
    qint64 totalMs = 0;         ///< from the lock to the commit: how long every lock was held
    QString sql;                ///< what a dry run would run
};
Result upgrade(const QSqlDatabase& db, const QString& build, bool dryRun);

/// Why the database must not be upgraded by this build.
class UpgradeRefused : public std::runtime_error {
public:
    explicit UpgradeRefused(const QString& text) : std::runtime_error(text.toStdString()), m_text(text) {}
    const QString& text() const { return m_text; }

private:
    QString m_text;
};

} // namespace schema_upgrade
