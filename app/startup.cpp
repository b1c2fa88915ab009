#include "app/startup.h"
#include "data/db_error.h"
#include "data/prompts.h"

std::optional<FileSettings> readSettingsFiles(Prompts& prompts, const QStringList& files)
{
    try {
        return settings_file::read(files);
    } catch (const SettingsError& e) {
        prompts.error(e.text());
        return std::nullopt;
    }
}

std::optional<QSqlDatabase> connectFromCommandLine(const QStringList& args, Prompts& prompts, const QString& connectionName,
                                                   const FileSettings& files, const QString& user)
{
    ConnectionSettings settings = ConnectionSettings::fromArguments(args, files);
    settings.setPersonalUser(user);
    QSqlDatabase db = addConnection(settings, connectionName);
    try {
        openWithPassword(db, settings.password);
    } catch (const DbError& e) {
        // A person whose password libpq's own means do not give types it in the login.
        if (!user.isEmpty() && isPasswordNeeded(e)) return db;
        prompts.error(QStringLiteral("Подключение к БД отсутсвует!!!"), QStringLiteral("Ошибка!"));
        return std::nullopt;
    }
    return db;
}
