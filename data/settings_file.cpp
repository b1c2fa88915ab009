#include "data/settings_file.h"
#include "data/connection.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QSettings>
#include <QStringDecoder>

#include <algorithm>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kOrganization = QStringLiteral("tabel");
const QString kApplication = QStringLiteral("tabel");

/// A settings file is a few lines typed by hand; anything larger is something else.
constexpr qint64 kLargestFile = 1024 * 1024;

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
        {QStringLiteral("connection"), QStringLiteral("user"), &FileSettings::user, false,
         QStringLiteral("имя пользователя БД")},
        {QStringLiteral("connection"), QStringLiteral("sslmode"), &FileSettings::sslmode, false,
         QStringLiteral("одно из disable, allow, prefer, require, verify-ca, verify-full")},
        {QStringLiteral("spreadsheet"), QStringLiteral("program"), &FileSettings::spreadsheetProgram, false,
         QStringLiteral("программа, которой открываются книги .xlsx")},
    };
    return all;
}

/// The groups the program reads, in the order of keys().
QStringList groups()
{
    QStringList out;
    for (const Key& k : keys())
        if (!out.contains(k.group)) out << k.group;
    return out;
}

/// Groups that builds before this one wrote into the user's file (the windows' places, the last
/// shift and periods, kept now in a file of their own): passed over, so that such a file is still
/// read.
const QStringList kFormerGroups = {QStringLiteral("windows"), QStringLiteral("journal"), QStringLiteral("hub"),
                                   QStringLiteral("sheets")};

QString shown(const QString& path) { return QDir::toNativeSeparators(path); }

[[noreturn]] void unreadable(const QString& path, const QString& why)
{
    throw SettingsError(QStringLiteral("Файл настроек %1 не прочитать: %2.").arg(shown(path), why));
}

[[noreturn]] void badLine(const QString& path, int number, const QString& line, const QString& why)
{
    throw SettingsError(QStringLiteral("Файл настроек %1 не разобрать: строка %2 «%3» — %4.").arg(shown(path), QString::number(number), line, why));
}

[[noreturn]] void badValue(const QString& path, const QString& group, const QString& key, const QString& why)
{
    throw SettingsError(QStringLiteral("Файл настроек %1: ключ %2 в группе [%3] — %4.").arg(shown(path), key, group, why));
}

QString systemReason(int error)
{
    return error == EACCES ? QStringLiteral("нет права на чтение") : QString::fromLocal8Bit(std::strerror(error));
}

/// Refuses what is no file of text: a folder, a device, a pipe, a socket, or a file too large.
void checkKind(const QString& path, const struct stat& st)
{
    if (S_ISDIR(st.st_mode)) unreadable(path, QStringLiteral("это папка, а не файл"));
    if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)) unreadable(path, QStringLiteral("это устройство, а не файл"));
    if (S_ISFIFO(st.st_mode)) unreadable(path, QStringLiteral("это канал, а не файл"));
    if (!S_ISREG(st.st_mode)) unreadable(path, QStringLiteral("это не обычный файл"));
    if (st.st_size > kLargestFile)
        unreadable(path, QStringLiteral("в нем %1 байт, а файл настроек не больше 1 МБ").arg(qlonglong(st.st_size)));
}

/// The file's bytes; a null array when there is no file. A link is followed to the file it
/// names. Only a regular file of at most kLargestFile is read: never a device that gives bytes
/// without end or a pipe that waits for a writer.
QByteArray fileBytes(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat st {};
    if (::lstat(name.constData(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) return {};
        unreadable(path, systemReason(errno));
    }
    if (::stat(name.constData(), &st) != 0) {
        if (errno == ELOOP) unreadable(path, QStringLiteral("ссылки на него замыкаются в круг"));
        if (errno == ENOENT || errno == ENOTDIR)
            unreadable(path, QStringLiteral("это ссылка на %1, а такого файла нет").arg(shown(QFile::symLinkTarget(path))));
        unreadable(path, systemReason(errno));
    }
    checkKind(path, st);
    // Without waiting, should the file have become a pipe since.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) unreadable(path, systemReason(errno));
    const struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    if (::fstat(fd, &st) != 0) unreadable(path, systemReason(errno));
    checkKind(path, st);
    QByteArray bytes(kLargestFile + 1, Qt::Uninitialized);
    qsizetype got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + got, size_t(bytes.size() - got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) unreadable(path, systemReason(errno));
        if (n == 0) break;
        got += n;
    }
    if (got > kLargestFile) unreadable(path, QStringLiteral("в нем больше 1 МБ, а файл настроек не больше"));
    bytes.truncate(got);
    return bytes;
}

/// A value as written after "=": the blanks around it and a comment after ";" left out; the
/// quotes around a value as a whole taken off, other quotes kept (a command line needs them).
struct Value {
    QString text;
    bool several = false;    ///< a comma outside quotes
    bool unclosed = false;   ///< a quote opened and not closed
};

Value valueOf(QStringView written)
{
    Value v;
    bool quoted = false;
    for (const QChar c : written) {
        if (c == QLatin1Char('"')) quoted = !quoted;
        else if (!quoted && c == QLatin1Char(';')) break;
        else if (!quoted && c == QLatin1Char(',')) v.several = true;
        v.text += c;
    }
    v.unclosed = quoted;
    v.text = v.text.trimmed();
    if (v.text.size() >= 2 && v.text.startsWith(QLatin1Char('"')) && v.text.indexOf(QLatin1Char('"'), 1) == v.text.size() - 1)
        v.text = v.text.mid(1, v.text.size() - 2);
    return v;
}

/// One value, checked: a single text, not empty; a server with a host and, when written, a port.
QString checkedValue(const QString& path, const Key& key, const Value& value)
{
    if (value.several)
        badValue(path, key.group, key.name, QStringLiteral("несколько значений через запятую, нужно одно (значение с запятой пишется в кавычках)"));
    const QString text = value.text.trimmed();
    if (text.isEmpty() || (key.server && text.startsWith(QLatin1Char(':'))))
        badValue(path, key.group, key.name, QStringLiteral("пустое значение, нужно %1").arg(key.what));
    if (key.server) {
        if (ConnectionSettings::writtenHost(text).isEmpty())
            badValue(path, key.group, key.name,
                     QStringLiteral("«%1»: адрес IPv6 пишется в квадратных скобках, [::1] или [::1]:5432").arg(text));
        const QString port = ConnectionSettings::writtenPort(text);
        if (!port.isNull() && ConnectionSettings::portNumber(port) == 0)
            badValue(path, key.group, key.name, QStringLiteral("порт «%1», а нужен номер от 1 до 65535 (одни цифры)").arg(port));
    }
    static const QStringList sslModes = {QStringLiteral("disable"), QStringLiteral("allow"), QStringLiteral("prefer"),
                                         QStringLiteral("require"), QStringLiteral("verify-ca"), QStringLiteral("verify-full")};
    if (key.field == &FileSettings::sslmode && !sslModes.contains(text))
        badValue(path, key.group, key.name, QStringLiteral("«%1», а нужно %2").arg(text, key.what));
    return text;
}

/// The text of a line; refuses one that holds a NUL byte or is not UTF-8, which would otherwise
/// be read as something else than was written.
QString lineText(const QString& path, int number, QByteArray bytes)
{
    if (bytes.endsWith('\r')) bytes.chop(1);
    if (bytes.contains('\0')) {
        badLine(path, number, QString::fromUtf8(bytes.replace('\0', "")).trimmed(),
                QStringLiteral("в ней нулевой байт, а в файле настроек только текст"));
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (utf8.hasError()) badLine(path, number, text.trimmed(), QStringLiteral("текст не в кодировке UTF-8"));
    if (number == 1 && text.startsWith(QChar(0xFEFF))) text.remove(0, 1);   // a mark of UTF-8 some editors put first
    return text.trimmed();
}

void readFile(const QString& path, FileSettings& into)
{
    const QByteArray bytes = fileBytes(path);
    if (bytes.isNull()) return;
    const QStringList known = groups();
    const QString knownShown = QLatin1Char('[') + known.join(QStringLiteral("], [")) + QLatin1Char(']');
    QString group;             // the group of the lines that follow; empty before the first
    bool passedOver = false;   // a group of an earlier build's
    QHash<QString, int> lineOfKey;
    const QList<QByteArray> lines = bytes.split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const int number = int(i + 1);
        const QString line = lineText(path, number, lines.at(i));
        // A "#" line is no comment to the format; one without "=" is passed over all the same.
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')) || (line.startsWith(QLatin1Char('#')) && !line.contains(QLatin1Char('='))))
            continue;
        const qsizetype close = line.indexOf(QLatin1Char(']'));
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (line.startsWith(QLatin1Char('[')) ? close < 0 : equals < 0)
            badLine(path, number, line, QStringLiteral("ни «ключ=значение», ни заголовок группы «[группа]»"));
        if (line.startsWith(QLatin1Char('['))) {
            const QString after = line.mid(close + 1).trimmed();
            if (!after.isEmpty() && !after.startsWith(QLatin1Char(';')))
                badLine(path, number, line, QStringLiteral("после заголовка группы лишнее «%1»").arg(after));
            group = line.mid(1, close - 1).trimmed();
            passedOver = kFormerGroups.contains(group);
            if (passedOver || known.contains(group)) continue;
            for (const QString& name : known + kFormerGroups)
                if (name.compare(group, Qt::CaseInsensitive) == 0)
                    badLine(path, number, line, QStringLiteral("группа пишется строчными буквами: [%1]").arg(name));
            badLine(path, number, line, QStringLiteral("такой группы нет (есть %1)").arg(knownShown));
        }
        if (passedOver) continue;
        const QString name = line.left(equals).trimmed();
        // The format takes "#key=value" for a key of that name, not for a comment.
        const QString hash = name.startsWith(QLatin1Char('#')) ? QStringLiteral("; комментарий начинается с «;», а не с «#»") : QString();
        if (name.isEmpty()) badLine(path, number, line, QStringLiteral("нет имени ключа перед «=»"));
        if (group.isEmpty())
            badLine(path, number, line, QStringLiteral("ключ вне группы, а ключи пишутся под заголовком своей группы (%1)%2").arg(knownShown, hash));
        const Value value = valueOf(QStringView(line).mid(equals + 1));
        if (value.unclosed) badLine(path, number, line, QStringLiteral("кавычка открыта и не закрыта"));
        const auto key = std::find_if(keys().cbegin(), keys().cend(), [&](const Key& k) { return k.group == group && k.name == name; });
        if (key == keys().cend()) {
            QStringList names;
            for (const Key& k : keys())
                if (k.group == group) names << k.name;
            badValue(path, group, name, QStringLiteral("такого ключа нет (есть %1)%2").arg(names.join(QStringLiteral(", ")), hash));
        }
        const QString where = group + QLatin1Char('\n') + name;
        if (const int first = lineOfKey.value(where))
            badLine(path, number, line, QStringLiteral("ключ %1 в группе [%2] уже задан в строке %3").arg(name, group, QString::number(first)));
        lineOfKey.insert(where, number);
        into.*key->field = checkedValue(path, *key, value);
        if (key->field == &FileSettings::server) into.serverFrom = path;
    }
}

} // namespace

QStringList settings_file::paths()
{
    // The toolkit's own places for the settings of the system and of the user.
    return {QSettings(QSettings::NativeFormat, QSettings::SystemScope, kOrganization, kApplication).fileName(),
            QSettings(QSettings::NativeFormat, QSettings::UserScope, kOrganization, kApplication).fileName()};
}

FileSettings settings_file::read(const QStringList& files)
{
    FileSettings settings;
    for (const QString& path : files) readFile(path, settings);
    return settings;
}
