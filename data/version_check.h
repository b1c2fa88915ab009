#pragma once
#include <QString>

class TDataModule6;

/// When this client was built: date as yyyymmdd, time of day in seconds.
struct BuildStamp {
    int date = 0;
    int time = 0;
    /// "20261211.3600", as the login's title shows it.
    QString text() const { return QStringLiteral("%1.%2").arg(date).arg(time); }
};

enum class VersionVerdict {
    Current,   ///< the database has seen no newer build
    Outdated   ///< a newer build has run against this database: this one must stop
};

/// Reads the version row, hands its delimiter to the data module, raises the row to this
/// build's stamp when the build is newer (on a server that takes writes: a standby is only
/// compared with) (in one statement that only ever raises it, so two
/// clients starting at once cannot lower it), and tells whether a newer build has run. A row
/// without a stamp, or no row at all, counts as the oldest and takes this build's stamp.
VersionVerdict checkVersion(TDataModule6& dm, const BuildStamp& stamp, BuildStamp* newest = nullptr);

/// What follows the refusal of an older build: both builds named.
QString outdatedBuildsText(const BuildStamp& ours, const BuildStamp& newest);
