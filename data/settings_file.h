#pragma once
#include <QString>
#include <QStringList>
#include <stdexcept>

/// What the program's settings files say; a key that no file sets is an empty string.
struct FileSettings {
    QString database;             ///< [connection] database
    QString server;               ///< [connection] server: host or host:port
    QString readServer;           ///< [connection] read_server: a second server, for reading
    QString user;                 ///< [connection] user: a personal login in place of the access code
    QString sslmode;              ///< [connection] sslmode: libpq's, "allow" when not given
    QString spreadsheetProgram;   ///< [spreadsheet] program: opens workbooks where the desktop has no program for .xlsx
    QString serverFrom;           ///< the file whose [connection] server was taken; empty when none named it
};

/// A settings file that exists but cannot be read, is no settings file, or holds a bad value.
/// The text names the file and, for a value, its group and key.
class SettingsError : public std::runtime_error {
public:
    explicit SettingsError(const QString& text) : std::runtime_error(text.toStdString()), m_text(text) {}
    const QString& text() const { return m_text; }

private:
    QString m_text;
};

namespace settings_file {

/// The machine's file and the user's, in the order they are read: where the toolkit keeps the
/// settings of the system and of the user (/etc/xdg/tabel/tabel.conf, then
/// $XDG_CONFIG_HOME/tabel/tabel.conf, by default ~/.config/tabel/tabel.conf).
QStringList paths();

/// Reads the files in order, each key of a later file over the same key of an earlier one; a
/// file that does not exist is skipped without a word. Only a regular file (a link to one
/// included) of at most 1 MB of UTF-8 text is read. Throws SettingsError for the first file that
/// cannot be read (a folder, a device, a pipe, a link to nothing or a loop of links, a file too
/// large) or is malformed: a line that is neither "[group]" nor "key=value", a group the program
/// does not know (letter case counts), a key outside a group, a key written twice, a quote not
/// closed, a NUL byte; or that holds an empty value, a port that is no number from 1 to 65535, an
/// IPv6 address with its brackets miswritten, several values where one is meant, or a key the
/// program does not know in its groups [connection] and [spreadsheet]. The groups earlier builds
/// kept the windows' places in ([windows], [journal], [hub], [sheets]) are passed over.
FileSettings read(const QStringList& files = paths());

} // namespace settings_file
