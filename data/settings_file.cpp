#include "data/settings_file.h"
#include "data/connection.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

namespace {

const QString kOrganization = QStringLiteral("tabel");
const QString kApplication = QStringLiteral("tabel");

/// A key the program reads, where it goes, and what its value must be.
struct Key {
    QString group;
    QString name;
    QString FileSettings::*field;
    bool server;   ///< host or host:port
    QString what;  ///< what an empty value lacks
};

const QList<Key>& keys()
{
    static const QList<Key> all = {
        {QStringLiteral("connection"), QStringLiteral("database"), &FileSettings::database, false, QStringLiteral("имя базы данных")},
        {QStringLiteral("connection"), QStringLiteral("server"), &FileSettings::server, true,
         QStringLiteral("адрес сервера: host или host:port")},
        {QStringLiteral("connection"), QStringLiteral("read_server"), &FileSettings::readServer, true,
         QStringLiteral("адрес сервера для чтения: host или host:port")},
        {QStringLiteral("spreadsheet"), QStringLiteral("program"), &FileSettings::spreadsheetProgram, false,
         QStringLiteral("программа, которой открываются книги .xlsx")},
    };
    return all;
}

QString shown(const QString& path) { return QDir::toNativeSeparators(path); }

[[noreturn]] void badValue(const QString& path, const QString& group, const QString& key, const QString& why)
{
    throw SettingsError(QStringLiteral("Файл настроек %1: ключ %2 в группе [%3] — %4.").arg(shown(path), key, group, why));
}

/// The first line of the file that is neither blank, a comment, a group's title nor a
/// "key=value", shown to whoever edits the file: the toolkit passes over such a line without a
/// word, and the value meant there would silently be missing.
QString badLine(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return QString();
    const QList<QByteArray> lines = f.readAll().split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QString line = QString::fromUtf8(lines.at(i)).trimmed();
        if (i == 0 && line.startsWith(QChar(0xFEFF))) line = line.mid(1).trimmed();   // a mark of UTF-8 some editors put first
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')) || line.startsWith(QLatin1Char('#'))) continue;
        const bool fine = line.startsWith(QLatin1Char('[')) ? line.contains(QLatin1Char(']')) : line.contains(QLatin1Char('='));
        if (!fine) return QStringLiteral("строка %1 «%2»").arg(i + 1).arg(line);
    }
    return QString();
}

/// Throws when the file exists but cannot be read as a settings file.
void checkReadable(const QString& path, const QSettings& settings)
{
    const QFileInfo info(path);
    if (info.isDir()) throw SettingsError(QStringLiteral("Файл настроек %1 не прочитать: это папка, а не файл.").arg(shown(path)));
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw SettingsError(QStringLiteral("Файл настроек %1 не прочитать: %2.")
                                .arg(shown(path), info.isReadable() ? f.errorString() : QStringLiteral("нет права на чтение")));
    if (const QString line = badLine(path); !line.isEmpty())
        throw SettingsError(QStringLiteral("Файл настроек %1 не разобрать: %2 — ни «ключ=значение», ни заголовок "
                                           "группы «[группа]».").arg(shown(path), line));
    if (settings.status() == QSettings::FormatError)
        throw SettingsError(QStringLiteral("Файл настроек %1 не разобрать: в нем должны быть только строки "
                                           "«ключ=значение» под заголовками групп «[группа]».").arg(shown(path)));
    if (settings.status() != QSettings::NoError)
        throw SettingsError(QStringLiteral("Файл настроек %1 не прочитать.").arg(shown(path)));
}

/// One value, checked: a single text, not empty; a server with a host and, when written, a port.
QString checkedValue(const QString& path, const Key& key, const QVariant& value)
{
    if (value.typeId() == QMetaType::QStringList)
        badValue(path, key.group, key.name, QStringLiteral("несколько значений через запятую, нужно одно (значение с запятой пишется в кавычках)"));
    const QString text = value.toString().trimmed();
    if (text.isEmpty() || (key.server && text.startsWith(QLatin1Char(':'))))
        badValue(path, key.group, key.name, QStringLiteral("пустое значение, нужно %1").arg(key.what));
    if (key.server) {
        const QString port = ConnectionSettings::writtenPort(text);
        if (!port.isNull() && ConnectionSettings::portNumber(port) == 0)
            badValue(path, key.group, key.name, QStringLiteral("порт «%1», а нужен номер от 1 до 65535 (одни цифры)").arg(port));
    }
    return text;
}

void readFile(const QString& path, FileSettings& into)
{
    QSettings settings(path, QSettings::IniFormat);
    checkReadable(path, settings);
    QStringList groups;
    for (const Key& k : keys())
        if (!groups.contains(k.group)) groups << k.group;
    for (const QString& group : std::as_const(groups)) {
        settings.beginGroup(group);
        QStringList known;
        for (const Key& k : keys())
            if (k.group == group) known << k.name;
        // Every key under the group, "x/y" ones included.
        for (const QString& name : settings.allKeys()) {
            if (known.contains(name)) continue;
            // The toolkit takes "#key=value" for a key of that name, not for a comment.
            badValue(path, group, name,
                     QStringLiteral("такого ключа нет (есть %1)%2")
                         .arg(known.join(QStringLiteral(", ")),
                              name.startsWith(QLatin1Char('#')) ? QStringLiteral("; комментарий начинается с «;», а не с «#»")
                                                                : QString()));
        }
        for (const Key& k : keys())
            if (k.group == group && settings.contains(k.name)) into.*k.field = checkedValue(path, k, settings.value(k.name));
        settings.endGroup();
    }
}

} // namespace

QStringList settings_file::paths()
{
    // The toolkit's own format here is INI in a ".conf" file, the one the windows' places go to.
    return {QSettings(QSettings::NativeFormat, QSettings::SystemScope, kOrganization, kApplication).fileName(),
            QSettings(QSettings::NativeFormat, QSettings::UserScope, kOrganization, kApplication).fileName()};
}

FileSettings settings_file::read(const QStringList& files)
{
    FileSettings settings;
    for (const QString& path : files)
        if (QFileInfo::exists(path)) readFile(path, settings);
    return settings;
}
