#pragma once
#include <QSqlDatabase>
#include <QString>
#include <optional>

/// A second server for reading: a hot standby the primary keeps up to date by streaming
/// replication. Long reads (reports, sheets and their spreadsheets, the history, the month-end
/// batch) go there so that they never slow the foremen's entries on the primary; every write
/// stays on the primary. A standby that cannot be reached, that is no standby, or that is further
/// behind the primary than its limit is not used: the reads go to the primary, and the user is
/// told why once.
namespace read_server {

struct Settings {
    QString host;
    int port = 5432;
    int lagLimitSeconds = 30;
    /// host:port, an IPv6 address in brackets.
    QString shown() const
    {
        return (host.contains(QLatin1Char(':')) ? QStringLiteral("[%1]:%2") : QStringLiteral("%1:%2")).arg(host).arg(port);
    }
};

/// Sets the read server for every session opened from now on: "host" or "host:port" (empty:
/// none, all reads on the primary).
void set(const QString& server, int lagLimitSeconds = 30);
std::optional<Settings> current();

/// What a standby is checked against: the primary's write position now ("16/B374D848"), which a
/// standby must have replayed, and what makes its data the primary's own (the cluster's system
/// identifier and the database's oid, which a streaming standby shares and nothing else does).
struct Primary {
    QString position;           ///< empty: no read server is set, or the primary is itself read-only
    QString systemIdentifier;   ///< pg_control_system()'s, as digits
    QString databaseOid;
    QString shown;              ///< "host:port", for the user

    bool isEmpty() const { return position.isEmpty(); }
};

/// The primary's state, read on its own session; empty when no read server is set or when the
/// primary is itself read-only (then it is read as it is).
Primary primary(const QSqlDatabase& primary);

/// Why the standby cannot serve reads now (in Russian, for the user), or empty when it can: it
/// replicates this very primary (the same cluster and database), is in recovery and has replayed
/// the primary's position (waited for up to a second), or else its last replayed change is no
/// older than the limit. Positions and replay times of another cluster say nothing, so a standby
/// of another cluster is refused before they are looked at.
QString lagProblem(const QSqlDatabase& standby, const Primary& primary);

/// Opens, or checks again, a session on the read server for reading, made like the connection
/// sourceName (database, user, settings) but for the read server's host and port, under the name
/// given, in the calling thread. Returns empty when it may serve reads; why not otherwise (the
/// session is then closed). A server found unreachable is not tried again for a minute.
QString openSession(QSqlDatabase& session, const QString& sourceName, const QString& name, int lockWaitMs,
                    const Primary& primary);

/// Whether the user should now be told why reads go to the primary: true the first time a
/// reason is given after the standby served (or since the start); an empty reason (the standby
/// serves again) resets it.
bool tellOnce(const QString& why);

} // namespace read_server
