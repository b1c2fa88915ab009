#include "data/settings_file.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

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
    refused("a misspelt key", none, "[connection]\nsever=db.plant\n", "user", {"sever", "такого ключа нет", "server"});
    refused("a key put aside with #", none, "[connection]\n#server=db.old\nserver=db.plant\n", "user",
            {"#server", "комментарий начинается с «;»"});
    refused("a key under a key", none, "[connection]\nserver/port=5432\n", "user", {"server", "такого ключа нет"});
    refused("a line without =", none, "[connection]\nserver db.plant\n", "user", {"строка 2", "server db.plant"});
    refused("a group not closed", "[connection\nserver=db.plant\n", none, "machine", {"строка 1", "[connection"});
    refused("a folder in the file's place", kFolder, none, "machine", {"это папка"});
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
    } catch (const SettingsError& e) {
        QVERIFY2(!badFile.isEmpty(), qPrintable(e.text()));
        QVERIFY2(e.text().contains(badFile == QLatin1String("machine") ? machineFile : userFile), qPrintable(e.text()));
        for (const QString& part : std::as_const(said)) QVERIFY2(e.text().contains(part), qPrintable(e.text()));
    }
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
