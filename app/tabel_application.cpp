#include "app/tabel_application.h"
#include "ui/keyboard_style.h"
#include "data/db_error.h"
#include "data/prompts.h"
#include "ui/guard.h"

#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

TabelApplication::TabelApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    setStyle(new KeyboardStyle);
    auto* qtRu = new QTranslator(this);
    if (qtRu->load(QLocale(QLocale::Russian), QStringLiteral("qtbase"), QStringLiteral("_"),
                   QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        installTranslator(qtRu);
}

bool TabelApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        if (m_prompts) showError(*m_prompts, e);
    } catch (...) {
        if (m_prompts) m_prompts->error(errorBoxText(QString()));
    }
    return false;
}
