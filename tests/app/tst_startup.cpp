#include "app/startup.h"
#include "app/tabel_application.h"
#include "data/connection.h"
#include "data/db_error.h"
#include "data/read_server.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/test_database.h"

#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <stdexcept>

namespace {

/// An object whose event handler raises what the test tells it to.
class Thrower : public QObject {
public:
    int kind = 0;
    bool event(QEvent* e) override
    {
        if (e->type() != QEvent::User) return QObject::event(e);
        switch (kind) {
        case 0: throw DbError(QStringLiteral("отношение не существует"), QStringLiteral("42P01"));
        case 1: throw std::runtime_error("нет памяти");
        case 2: throw DbError(QString());
        default: throw 42;
        }
    }
};

} // namespace

/// Start-up: the command line, the connection, and the application's last line of defence.
class TestStartup : public QObject {
    Q_OBJECT
private slots:
    void commandLine_data();
    void commandLine();
    void unreachableServerSaysSoAndGivesNoConnection_data();
    void unreachableServerSaysSoAndGivesNoConnection();
    void aBadSettingsFileIsToldAndEndsTheStart();
    void lastResortHandlerShowsTheError_data();
    void lastResortHandlerShowsTheError();
};

void TestStartup::commandLine_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QStringList>("files");   ///< the settings files' database and server
    QTest::addColumn<QString>("database");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    const QString def = ConnectionSettings::defaultServer();
    const QStringList noFiles = {"", ""};
    QTest::newRow("none") << QStringList{} << noFiles << "vorteks" << def << 5432;
    QTest::newRow("database alone is ignored") << QStringList{"other"} << noFiles << "vorteks" << def << 5432;
    QTest::newRow("database and server") << QStringList{"other", "db.plant"} << noFiles << "other" << "db.plant" << 5432;
    QTest::newRow("server with port") << QStringList{"other", "10.1.2.3:6543"} << noFiles << "other" << "10.1.2.3" << 6543;
    QTest::newRow("empty server") << QStringList{"other", ""} << noFiles << "vorteks" << def << 5432;
    QTest::newRow("IPv6 address") << QStringList{"other", "fd00::5"} << noFiles << "other" << "fd00::5" << 5432;
    QTest::newRow("IPv6 address in brackets") << QStringList{"other", "[::1]"} << noFiles << "other" << "::1" << 5432;
    QTest::newRow("IPv6 address with port") << QStringList{"other", "[::1]:6543"} << noFiles << "other" << "::1" << 6543;
    // What is no host and port is kept whole, and connecting says the host is unknown.
    QTest::newRow("IPv6 bracket not closed") << QStringList{"other", "[::1:6543"} << noFiles << "other" << "[::1:6543" << 5432;
    QTest::newRow("a port that is no port") << QStringList{"other", "[::1]:pg"} << noFiles << "other" << "[::1]:pg" << 5432;
    // The settings files stand in for the command line's server, each key for itself.
    const QStringList files = {"plant", "db.plant:6000"};
    QTest::newRow("the files' database and server") << QStringList{} << files << "plant" << "db.plant" << 6000;
    QTest::newRow("the command line over the files") << QStringList{"other", "10.1.2.3"} << files << "other" << "10.1.2.3" << 5432;
    QTest::newRow("a database alone over the files is ignored") << QStringList{"other"} << files << "plant" << "db.plant" << 6000;
    QTest::newRow("the files' server alone") << QStringList{} << QStringList{"", "db.plant"} << "vorteks" << "db.plant" << 5432;
    QTest::newRow("the files' database alone") << QStringList{} << QStringList{"plant", ""} << "plant" << def << 5432;
    QTest::newRow("the files' IPv6 server") << QStringList{} << QStringList{"", "[fd00::5]:6000"} << "vorteks" << "fd00::5" << 6000;
}

void TestStartup::commandLine()
{
    QFETCH(QStringList, args);
    QFETCH(QStringList, files);
    FileSettings fileSettings;
    fileSettings.database = files.at(0);
    fileSettings.server = files.at(1);
    const ConnectionSettings s = ConnectionSettings::fromArguments(args, fileSettings);
    QTEST(s.database, "database");
    QTEST(s.host, "host");
    QTEST(s.port, "port");
    QCOMPARE(s.user, QStringLiteral("sys"));
    QVERIFY(s.options.contains(QLatin1String("sslmode=allow")));
    // A person of the settings logs in as himself, with no password of the program's, over the SSL they ask.
    fileSettings.sslmode = QStringLiteral("verify-full");
    ConnectionSettings person = ConnectionSettings::fromArguments(args, fileSettings);
    person.setPersonalUser(QStringLiteral("ivanov"));
    QCOMPARE(person.user, QStringLiteral("ivanov"));
    QVERIFY(person.password.isEmpty());
    QVERIFY2(person.options.contains(QLatin1String("sslmode=verify-full;")) && !person.options.contains(QLatin1String("allow")),
             qPrintable(person.options));
    // The read server, written alike, is taken apart alike.
    if (args.size() >= 2 && !args.at(1).isEmpty()) {
        read_server::set(args.at(1));
        const auto restore = qScopeGuard([] { read_server::set({}); });
        QTEST(read_server::current()->host, "host");
        QTEST(read_server::current()->port, "port");
    }
}

void TestStartup::unreachableServerSaysSoAndGivesNoConnection_data()
{
    // The arguments (database, server), the settings files' server and the file it came from,
    // and the second line of the message.
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("fileServer");
    QTest::addColumn<QString>("said");
    const QString here = QStringLiteral("127.0.0.1:%1").arg(TestDatabase::port());
    // Nothing listens on port 1 of the loopback address.
    QTest::newRow("refused, named on the command line")
        << QStringList{"vorteks", "127.0.0.1:1"} << QString()
        << "БД vorteks на сервере 127.0.0.1:1: сервер не принимает подключений (не запущен, или адрес или порт не те); "
           "сервер указан в командной строке.";
    QTest::newRow("refused, named by a settings file")
        << QStringList{} << "127.0.0.1:1"
        << "БД vorteks на сервере 127.0.0.1:1: сервер не принимает подключений (не запущен, или адрес или порт не те); "
           "сервер задан в файле /etc/xdg/tabel/tabel.conf.";
    QTest::newRow("no such database")
        << QStringList{"no_such_base", here} << QString()
        << QStringLiteral("БД no_such_base на сервере %1: такой БД на сервере нет; сервер указан в командной строке.").arg(here);
}

void TestStartup::unreachableServerSaysSoAndGivesNoConnection()
{
    QFETCH(QStringList, args);
    QFETCH(QString, fileServer);
    ScriptedPrompts prompts;
    FileSettings files;
    if (!fileServer.isEmpty()) {
        files.server = fileServer;
        files.serverFrom = QStringLiteral("/etc/xdg/tabel/tabel.conf");
    }
    const auto db = connectFromCommandLine(args, prompts, QStringLiteral("probe"), files);
    QVERIFY(!db.has_value());
    QCOMPARE(prompts.said().size(), 1);
    // The first line as it always was, the second what, why and who named the server.
    QCOMPARE(prompts.said().first().text.section(QLatin1Char('\n'), 0, 0), QStringLiteral("Подключение к БД отсутсвует!!!"));
    QTEST(prompts.said().first().text.section(QLatin1Char('\n'), 1), "said");
    QCOMPARE(prompts.said().first().title, QStringLiteral("Ошибка!"));
}

void TestStartup::aBadSettingsFileIsToldAndEndsTheStart()
{
    QTemporaryDir dir;
    const QString good = dir.filePath(QStringLiteral("good.conf")), bad = dir.filePath(QStringLiteral("bad.conf"));
    QFile g(good), b(bad);
    QVERIFY(g.open(QIODevice::WriteOnly) && g.write("[connection]\nserver=db.plant\n") > 0);
    QVERIFY(b.open(QIODevice::WriteOnly) && b.write("[connection]\nserver=db.plant:pg\n") > 0);
    g.close();
    b.close();
    ScriptedPrompts prompts;
    const auto read = readSettingsFiles(prompts, {good, dir.filePath(QStringLiteral("missing.conf"))});
    QVERIFY(read.has_value());
    QCOMPARE(read->server, QStringLiteral("db.plant"));
    QVERIFY(prompts.said().isEmpty());

    QVERIFY(!readSettingsFiles(prompts, {good, bad}).has_value());
    QCOMPARE(prompts.said().size(), 1);
    QVERIFY2(prompts.said().first().text.contains(bad) && prompts.said().first().text.contains(QStringLiteral("server")),
             qPrintable(prompts.said().first().text));
    QCOMPARE(prompts.said().first().title, QStringLiteral("Ошибка"));
}

void TestStartup::lastResortHandlerShowsTheError_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("shown");
    QTest::newRow("database") << 0 << "отношение не существует";
    QTest::newRow("other") << 1 << "нет памяти";
    QTest::newRow("without a text") << 2 << "Действие не выполнено: произошла ошибка без описания.";
    QTest::newRow("not an exception class") << 3 << "Действие не выполнено: произошла ошибка без описания.";
}

void TestStartup::lastResortHandlerShowsTheError()
{
    QFETCH(int, kind);
    QFETCH(QString, shown);
    auto* app = dynamic_cast<TabelApplication*>(QCoreApplication::instance());
    QVERIFY(app);
    ScriptedPrompts prompts;
    app->setPrompts(&prompts);
    Thrower thrower;
    thrower.kind = kind;
    QEvent event(QEvent::User);
    QCOMPARE(QCoreApplication::sendEvent(&thrower, &event), false);
    app->setPrompts(nullptr);
    QCOMPARE(prompts.texts(), QStringList{shown});
    QCOMPARE(prompts.said().first().title, QStringLiteral("Ошибка"));
}

int main(int argc, char** argv)
{
    // The application under test is the program's own, with its handler.
    TabelApplication app(argc, argv);
    TestStartup test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_startup.moc"
