#include "app/command_line.h"
#include "app/login_window.h"
#include "app/startup.h"
#include "app/tabel_application.h"
#include "app/windows.h"
#include "build_stamp.h"
#include "data/data_module.h"
#include "data/db_error.h"
#include "data/read_server.h"
#include "journal/journal_window.h"
#include "ui/message_prompts.h"
#include "ui/window_memory.h"

#include <QIcon>
#include <QTextStream>
#include <cstdio>

namespace {

/// A report or a spreadsheet written from the command line, without a screen. The arguments
/// are the program's own: none reaches the toolkit, which would take "-platform", "-reverse"
/// and their like (and the value after them) for itself.
int runWithoutWindows(const QStringList& rawArgs, char** argv, const BuildStamp& stamp)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // The error stream of a scheduled run carries the program's own messages: the toolkit's
    // notes about the session it runs in are left out, its errors are kept.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type == QtCriticalMsg || type == QtFatalMsg) std::fprintf(stderr, "%s\n", qPrintable(text));
    });
    int toolkitArgc = 1;
    TabelApplication app(toolkitArgc, argv);
    QTextStream err(stderr);
    return runCommandLine(rawArgs, stamp, err);
}

/// "tabel 1.0.0 (build 20261211.3600)".
QString versionText(const BuildStamp& stamp)
{
    return QStringLiteral("tabel %1 (build %2)").arg(QStringLiteral(TABEL_VERSION), stamp.text());
}

} // namespace

int main(int argc, char** argv)
{
    QStringList rawArgs;
    for (int i = 1; i < argc; ++i) rawArgs << QString::fromLocal8Bit(argv[i]);
    const BuildStamp stamp{kBuildDate, kBuildTime};
    if (rawArgs == QStringList{QStringLiteral("--version")}) {
        std::printf("%s\n", qPrintable(versionText(stamp)));
        return 0;
    }
    if (isCommandLineRun(rawArgs)) return runWithoutWindows(rawArgs, argv, stamp);

    TabelApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    // The installed desktop entry and icon (tabel.desktop, hicolor's "tabel").
    QGuiApplication::setDesktopFileName(QStringLiteral("tabel"));
    app.setWindowIcon(QIcon::fromTheme(QStringLiteral("tabel")));
    MessageBoxPrompts prompts;
    app.setPrompts(&prompts);
    WindowMemory memory;
    app.installEventFilter(&memory);
    QStringList args = app.arguments().mid(1);
    const QString named = personalUser(args);
    const std::optional<FileSettings> files = readSettingsFiles(prompts);
    if (!files) return 1;
    // A person logs in as himself when named here or in the settings; else the code login.
    const QString user = named.isEmpty() ? files->user : named;
    try {
        auto db = connectFromCommandLine(args, prompts, QString::fromLatin1(kConnectionName), *files, user);
        if (!db) return 0;
        setClientName(*db, clientName(QStringLiteral("login"), stamp.text()));
        // The standby the windows read from, when the settings files name one and the server is
        // theirs too: a server named on the command line is read as it is.
        read_server::set(ConnectionSettings::namesServer(args) ? QString() : files->readServer);
        TDataModule6 DataModule6(*db, prompts);
        TForm1 Form1(DataModule6);
        // The login is the main window: shown at once, the program runs while it exists.
        TForm23 Form23(DataModule6, Form1, stamp);
        Form23.endProgram = [&app] { app.exit(0); };
        if (!user.isEmpty())
            Form23.setPersonalLogin(user, [&db](const QString& password) {
                try {
                    openWithPassword(*db, password);
                    return QString();
                } catch (const DbError& e) {
                    return loginFailureText(e);
                }
            });
        Form23.show();
        if (Form23.ending()) return 0;
        Windows windows(DataModule6, Form1, Form23, files->spreadsheetProgram);
        app.exec();
    } catch (const std::exception& e) {
        prompts.error(QString::fromLocal8Bit(e.what()));
    }
    return 0;
}
