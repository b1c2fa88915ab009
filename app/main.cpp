#include "app/login_window.h"
#include "app/startup.h"
#include "app/tabel_application.h"
#include "app/windows.h"
#include "build_stamp.h"
#include "data/data_module.h"
#include "journal/journal_window.h"
#include "reports/headless_report.h"
#include "ui/message_prompts.h"

#include <QTextStream>
#include <cstdio>

int main(int argc, char** argv)
{
    QStringList rawArgs;
    for (int i = 1; i < argc; ++i) rawArgs << QString::fromLocal8Bit(argv[i]);
    // A report rendered to PDF for a scheduled run needs no screen.
    const bool headless = isHeadlessReportCall(rawArgs);
    if (headless && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    TabelApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    MessageBoxPrompts prompts;
    app.setPrompts(&prompts);
    const BuildStamp stamp{kBuildDate, kBuildTime};
    const QStringList args = app.arguments().mid(1);
    if (headless) {
        QTextStream err(stderr);
        return runHeadlessReport(args, stamp, err);
    }
    try {
        const auto db = connectFromCommandLine(args, prompts);
        if (!db) return 0;
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
