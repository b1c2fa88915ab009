#include "app/startup.h"
#include "app/tabel_application.h"
#include "data/data_module.h"
#include "ui/message_prompts.h"

#include <QLabel>
#include <QMainWindow>

int main(int argc, char** argv)
{
    TabelApplication app(argc, argv);
    MessageBoxPrompts prompts;
    app.setPrompts(&prompts);
    try {
        const auto db = connectFromCommandLine(app.arguments().mid(1), prompts);
        if (!db) return 0;
        TDataModule6 DataModule6(*db, prompts);
        QMainWindow window;
        window.setWindowTitle(QStringLiteral("Табель"));
        window.setCentralWidget(new QLabel(QStringLiteral("Подключено: %1").arg(db->databaseName())));
        window.resize(640, 400);
        window.show();
        app.exec();
    } catch (const std::exception& e) {
        prompts.error(QString::fromLocal8Bit(e.what()));
    }
    return 0;
}
