#include "data/settings_file.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

/// Stands for a folder where the file should be.
const QString kFolder = QStringLiteral("<folder>");

/// Lays the file down: nothing for a null text, a folder for kFolder, else the text.
bool lay(const QString& path, const QString& text)
{
    if (text.isNull()) return true;
    if (text == kFolder) return QDir().mkpath(path);
    QFile f(path);
    const QByteArray bytes = text.toUtf8();
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

} // namespace

/// The machine's and the user's settings files: what is read, in which order, and what is refused.
class TestSettingsFile : public QObject {
    Q_OBJECT
private slots:
    void read_data();
    void read();
    void onlyATextFileIsRead_data();
    void onlyATextFileIsRead();
    void aFileAnEarlierBuildRewroteIsRead();
    void pathsAreTheToolkits();
    void theExampleIsGood();
};

void TestSettingsFile::read_data()
{
    QTest::addColumn<QString>("machine");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QStringList>("expected");   ///< database, server, read_server, program
    QTest::addColumn<QString>("badFile");        ///< "machine" or "user" when refused
    QTest::addColumn<QStringList>("said");       ///< what the refusal says besides the file's path
    const QString none;
    const QStringList nothing = {"", "", "", ""};

    QTest::newRow("no files") << none << none << nothing << "" << QStringList{};
    QTest::newRow("empty files") << "" << "" << nothing << "" << QStringList{};
    QTest::newRow("the machine's alone")
        << "[connection]\ndatabase=plant\nserver=db.plant:6432\n" << none << QStringList{"plant", "db.plant:6432", "", ""} << ""
        << QStringList{};
    QTest::newRow("the user's over the machine's, key by key")
        << "[connection]\ndatabase=plant\nserver=db.plant\n[spreadsheet]\nprogram=calc\n"
        << "[connection]\nserver=10.0.0.5:5433\nread_server=replica.plant\n"
        << QStringList{"plant", "10.0.0.5:5433", "replica.plant", "calc"} << "" << QStringList{};
    QTest::newRow("comments, blanks, quotes and the windows' groups")
        << none
        << "; the plant's server\n# the same\n\n[windows]\nForm1=@Rect(0 0 10 10)\n[connection]\n server = db.plant ; the plant's\n"
           "[spreadsheet]\nprogram=\"soffice --calc, --nologo\"\n"
        << QStringList{"", "db.plant", "", "soffice --calc, --nologo"} << "" << QStringList{};
    QTest::newRow("a file that starts with the mark of UTF-8")
        << none << "\xEF\xBB\xBF[connection]\nserver=db.plant\n" << QStringList{"", "db.plant", "", ""} << "" << QStringList{};
    QTest::newRow("an IPv6 address") << none << "[connection]\nserver=fd00::5\n" << QStringList{"", "fd00::5", "", ""} << ""
                                     << QStringList{};
    QTest::newRow("IPv6 addresses in brackets") << none << "[connection]\nserver=[::1]:6432\nread_server=[fd00::6]\n"
                                                << QStringList{"", "[::1]:6432", "[fd00::6]", ""} << "" << QStringList{};
    QTest::newRow("quotes inside a value stay for the command line")
        << none << "[spreadsheet]\nprogram=soffice \"--infilter=Calc; MS, Excel\" --calc ; the plant's\n"
        << QStringList{"", "", "", "soffice \"--infilter=Calc; MS, Excel\" --calc"} << "" << QStringList{};
    QTest::newRow("a personal login over SSL") << none << "[connection]\nserver=db.plant\nuser=ivanov\nsslmode=verify-full\n"
                                               << QStringList{"", "db.plant", "", ""} << "" << QStringList{};
    QTest::newRow("lines ended as on another system, a group written twice")
        << "[connection]\r\ndatabase=plant\r\n[spreadsheet] ; the desktop's\r\nprogram=calc\r\n[connection]\r\nserver=db.plant\r\n"
        << none << QStringList{"plant", "db.plant", "", "calc"} << "" << QStringList{};

    const auto refused = [&](const char* name, const QString& machine, const QString& user, const QString& file,
                             const QStringList& said) { QTest::newRow(name) << machine << user << nothing << file << said; };
    refused("a port that is no number", none, "[connection]\nserver=db.plant:pg\n", "user",
            {"server", "[connection]", "порт «pg»", "от 1 до 65535"});
    refused("port 0", none, "[connection]\nread_server=db.plant:0\n", "user", {"read_server", "порт «0»"});
    refused("port too big", "[connection]\nserver=db.plant:65536\n", none, "machine", {"server", "порт «65536»"});
    refused("no port after the colon", none, "[connection]\nserver=db.plant:\n", "user", {"server", "порт «»"});
    refused("an empty server", none, "[connection]\nserver=\n", "user", {"server", "пустое значение"});
    refused("a port without a host", none, "[connection]\nserver=:5432\n", "user", {"server", "пустое значение"});
    refused("an empty database", "[connection]\ndatabase=  \n", none, "machine", {"database", "пустое значение"});
    refused("an empty program", none, "[spreadsheet]\nprogram=\n", "user", {"program", "[spreadsheet]", "пустое значение"});
    refused("two servers", none, "[connection]\nserver=db1, db2\n", "user", {"server", "несколько значений"});
    refused("an sslmode libpq has not", none, "[connection]\nsslmode=strict\n", "user", {"sslmode", "«strict»", "verify-full"});
    refused("an empty user", none, "[connection]\nuser=\n", "user", {"user", "пустое значение"});
    refused("a misspelt key", none, "[connection]\nsever=db.plant\n", "user", {"sever", "такого ключа нет", "server"});
    refused("a key put aside with #", none, "[connection]\n#server=db.old\nserver=db.plant\n", "user",
            {"#server", "комментарий начинается с «;»"});
    refused("a key under a key", none, "[connection]\nserver/port=5432\n", "user", {"server", "такого ключа нет"});
    refused("a line without =", none, "[connection]\nserver db.plant\n", "user", {"строка 2", "server db.plant"});
    refused("a group not closed", "[connection\nserver=db.plant\n", none, "machine", {"строка 1", "[connection"});
    refused("a folder in the file's place", kFolder, none, "machine", {"это папка"});
    refused("a group in other letters", none, "[connection]\nserver=db.plant\n[Spreadsheet]\nprogram=calc\n", "user",
            {"строка 3", "[Spreadsheet]", "строчными", "[spreadsheet]"});
    refused("a group the program does not know", "[conection]\nserver=db.plant\n", none, "machine",
            {"строка 1", "такой группы нет", "[connection], [spreadsheet]"});
    refused("a key outside any group", none, "; the plant\nserver=db.plant\n[connection]\n", "user", {"строка 2", "вне группы"});
    refused("a key written twice", none, "[connection]\nserver=db1\n; the new one\nserver=db2\n", "user",
            {"строка 4", "server", "уже задан в строке 2"});
    refused("a key written twice in a group written twice", none,
            "[connection]\nserver=db1\n[spreadsheet]\nprogram=calc\n[connection]\nserver=db2\n", "user",
            {"строка 6", "уже задан в строке 2"});
    refused("a quote not closed", none, "[spreadsheet]\nprogram=\"soffice --calc\n[connection]\nserver=db\n", "user",
            {"строка 2", "кавычка"});
    refused("no key before =", none, "[connection]\n=db.plant\n", "user", {"строка 2", "нет имени ключа"});
    refused("text after a group's title", none, "[connection] server=db.plant\n", "user", {"строка 1", "лишнее «server=db.plant»"});
    refused("an IPv6 address with its bracket not closed", none, "[connection]\nserver=[::1:5432\n", "user",
            {"server", "квадратных скобках"});
    refused("an IPv6 address with text after its bracket", none, "[connection]\nread_server=[::1]5432\n", "user",
            {"read_server", "квадратных скобках"});
    refused("an IPv6 address with a port that is no number", none, "[connection]\nserver=[::1]:pg\n", "user", {"порт «pg»"});
    // The machine's file is read first: its fault is told even when the user's is good.
    refused("the machine's fault under a good user's file", "[connection]\nserver=db:x\n",
            "[connection]\nserver=db.plant\n", "machine", {"порт «x»"});
}

void TestSettingsFile::read()
{
    QFETCH(QString, machine);
    QFETCH(QString, user);
    QFETCH(QStringList, expected);
    QFETCH(QString, badFile);
    QFETCH(QStringList, said);
    QTemporaryDir dir;
    const QString machineFile = dir.filePath(QStringLiteral("etc.conf"));
    const QString userFile = dir.filePath(QStringLiteral("home.conf"));
    QVERIFY(lay(machineFile, machine) && lay(userFile, user));
    try {
        const FileSettings s = settings_file::read({machineFile, userFile});
        QVERIFY2(badFile.isEmpty(), "read without a word");
        QCOMPARE((QStringList{s.database, s.server, s.readServer, s.spreadsheetProgram}), expected);
        // The personal login and its SSL, where a file names them.
        QCOMPARE(s.user, user.contains(QLatin1String("user=ivanov")) ? QStringLiteral("ivanov") : QString());
        QCOMPARE(s.sslmode, user.contains(QLatin1String("sslmode=verify-full")) ? QStringLiteral("verify-full") : QString());
        // Which file named the server, for the word on a failed connection: the user's over the machine's.
        const auto names = [](const QString& text) { return QRegularExpression(QStringLiteral("(^|\\n)\\s*server\\s*=")).match(text).hasMatch(); };
        QCOMPARE(s.serverFrom, names(user) ? userFile : names(machine) ? machineFile : QString());
    } catch (const SettingsError& e) {
        QVERIFY2(!badFile.isEmpty(), qPrintable(e.text()));
        QVERIFY2(e.text().contains(badFile == QLatin1String("machine") ? machineFile : userFile), qPrintable(e.text()));
        for (const QString& part : std::as_const(said)) QVERIFY2(e.text().contains(part), qPrintable(e.text()));
    }
}

void TestSettingsFile::onlyATextFileIsRead_data()
{
    QTest::addColumn<QString>("how");        ///< "file" of the bytes, "link" to the path in bytes, "pipe", "loop"
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("said");   ///< what the refusal says; empty when read
    const QByteArray good = "[connection]\nserver=db.plant\n";
    QByteArray megabyte = good;
    while (megabyte.size() < 1024 * 1024) megabyte += "; " + QByteArray(70, '-') + '\n';
    megabyte.truncate(1024 * 1024);
    QTest::newRow("a link to a settings file") << "link" << QByteArray("good.conf") << QStringList{};
    QTest::newRow("a file of 1 MB") << "file" << megabyte << QStringList{};
    QTest::newRow("a file over 1 MB") << "file" << megabyte + '\n' << QStringList{"больше 1 МБ"};
    QTest::newRow("a link to /dev/zero") << "link" << QByteArray("/dev/zero") << QStringList{"устройство"};
    QTest::newRow("a link to /dev/urandom") << "link" << QByteArray("/dev/urandom") << QStringList{"устройство"};
    QTest::newRow("a link to a folder") << "link" << QByteArray(".") << QStringList{"папка"};
    QTest::newRow("a link to nothing") << "link" << QByteArray("gone.conf") << QStringList{"ссылка на", "gone.conf", "нет"};
    QTest::newRow("links in a loop") << "loop" << QByteArray() << QStringList{"круг"};
    QTest::newRow("a pipe") << "pipe" << QByteArray() << QStringList{"канал"};
    QTest::newRow("a NUL byte") << "file" << QByteArray("[connection]\nserver=db") + '\0' + ".plant\n"
                                << QStringList{"строка 2", "«server=db.plant»", "нулевой байт"};
    QTest::newRow("text not in UTF-8") << "file" << QByteArray("[connection]\nserver=db.pl\xe4nt\n") << QStringList{"строка 2", "UTF-8"};
}

void TestSettingsFile::onlyATextFileIsRead()
{
    QFETCH(QString, how);
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, said);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("tabel.conf"));
    const auto write = [](const QString& file, const QByteArray& content) {
        QFile f(file);
        return f.open(QIODevice::WriteOnly) && f.write(content) == content.size();
    };
    QVERIFY(write(dir.filePath(QStringLiteral("good.conf")), "[connection]\nserver=db.plant\n"));
    if (how == QLatin1String("file")) QVERIFY(write(path, bytes));
    if (how == QLatin1String("link")) QCOMPARE(::symlink(bytes.constData(), QFile::encodeName(path).constData()), 0);
    if (how == QLatin1String("pipe")) QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    if (how == QLatin1String("loop")) {
        QCOMPARE(::symlink("other.conf", QFile::encodeName(path).constData()), 0);
        QCOMPARE(::symlink("tabel.conf", QFile::encodeName(dir.filePath(QStringLiteral("other.conf"))).constData()), 0);
    }
    try {
        const FileSettings s = settings_file::read({path});
        QVERIFY2(said.isEmpty(), "read without a word");
        QCOMPARE(s.server, QStringLiteral("db.plant"));
    } catch (const SettingsError& e) {
        QVERIFY2(!said.isEmpty(), qPrintable(e.text()));
        QVERIFY2(e.text().startsWith(QStringLiteral("Файл настроек %1 ").arg(path)), qPrintable(e.text()));
        for (const QString& part : std::as_const(said)) QVERIFY2(e.text().contains(part), qPrintable(e.text()));
    }
}

void TestSettingsFile::aFileAnEarlierBuildRewroteIsRead()
{
    // Earlier builds kept the windows' places, the journal's shift and the last periods in the
    // user's file, written by the toolkit: values of any bytes, lists, dates.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("tabel.conf"));
    {
        QSettings old(path, QSettings::IniFormat);
        QByteArray everyByte;
        for (int b = 0; b < 256; ++b) everyByte.append(char(b));
        old.setValue(QStringLiteral("windows/Form1/geometry"), everyByte);
        old.setValue(QStringLiteral("windows/Form3/columns/DBGrid1"), QStringList{"10", "0", "177"});
        old.setValue(QStringLiteral("windows/Form8/geometry"), QByteArray("\"; [x] = \"\n"));
        old.setValue(QStringLiteral("journal/shift"), 3);
        old.setValue(QStringLiteral("hub/period"), QVariantList{QDate(2024, 3, 1), QDate(2024, 4, 1)});
        old.setValue(QStringLiteral("sheets/period"), QVariantList{3, 2024});
        old.setValue(QStringLiteral("connection/server"), QStringLiteral("db.plant:6432"));
        old.sync();
        QCOMPARE(old.status(), QSettings::NoError);
    }
    QCOMPARE(settings_file::read({path}).server, QStringLiteral("db.plant:6432"));
}

void TestSettingsFile::pathsAreTheToolkits()
{
    QTemporaryDir system, user;
    QSettings::setPath(QSettings::NativeFormat, QSettings::SystemScope, system.path());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, user.path());
    QCOMPARE(settings_file::paths(), (QStringList{system.filePath(QStringLiteral("tabel/tabel.conf")),
                                                  user.filePath(QStringLiteral("tabel/tabel.conf"))}));
}

void TestSettingsFile::theExampleIsGood()
{
    // The example installed with the program is read as it stands.
    const FileSettings s = settings_file::read({QStringLiteral(TABEL_EXAMPLE_SETTINGS)});
    QCOMPARE(s.database, QStringLiteral("vorteks"));
    QCOMPARE(s.server, QStringLiteral("db.plant:5432"));
    QCOMPARE(s.spreadsheetProgram, QStringLiteral("libreoffice --calc"));
}

QTEST_GUILESS_MAIN(TestSettingsFile)
#include "tst_settings_file.moc"
