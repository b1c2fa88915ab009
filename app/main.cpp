#include "app/command_line.h"
#include "app/login_window.h"
#include "app/startup.h"
#include "app/tabel_application.h"
#include "app/windows.h"
#include "build_stamp.h"
#include "data/data_module.h"
#include "data/read_server.h"
#include "journal/journal_window.h"
#include "ui/message_prompts.h"
#include "ui/window_memory.h"

#include <QSettings>
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

} // namespace

int main(int argc, char** argv)
{
    QStringList rawArgs;
    for (int i = 1; i < argc; ++i) rawArgs << QString::fromLocal8Bit(argv[i]);
    const BuildStamp stamp{kBuildDate, kBuildTime};
    if (isCommandLineRun(rawArgs)) return runWithoutWindows(rawArgs, argv, stamp);

    TabelApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    MessageBoxPrompts prompts;
    app.setPrompts(&prompts);
    WindowMemory memory;
    app.installEventFilter(&memory);
    const QStringList args = app.arguments().mid(1);
    try {
        const auto db = connectFromCommandLine(args, prompts);
        if (!db) return 0;
        setClientName(*db, clientName(QStringLiteral("login"), stamp.text()));
        // The standby the windows read from, when the settings name one ([connection] read_server
        // of ~/.config/tabel/tabel.conf, or of /etc/xdg/tabel/tabel.conf for the whole machine).
        read_server::set(QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("tabel"), QStringLiteral("tabel"))
                             .value(QStringLiteral("connection/read_server"))
                             .toString());
        TDataModule6 DataModule6(*db, prompts);
        TForm1 Form1(DataModule6);
        // The login is the main window: shown at once, the program runs while it exists.
        TForm23 Form23(DataModule6, Form1, stamp);
        Form23.endProgram = [&app] { app.exit(0); };
        Form23.show();
        if (Form23.ending()) return 0;
        Windows windows(DataModule6, Form1, Form23);
        app.exec();
    } catch (const std::exception& e) {
        prompts.error(QString::fromLocal8Bit(e.what()));
    }
    return 0;
}
