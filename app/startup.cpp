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
        // The first line as it always was; the second says to what, why, and who named the server.
        const QString named = ConnectionSettings::namesServer(args) ? QStringLiteral("сервер указан в командной строке")
                              : !files.server.isEmpty()           ? QStringLiteral("сервер задан в файле %1").arg(files.serverFrom)
                                                                  : QStringLiteral("сервер по умолчанию этой сборки");
        prompts.error(QStringLiteral("Подключение к БД отсутсвует!!!\nБД %1 на сервере %2:%3: %4; %5.")
                          .arg(settings.database, settings.host)
                          .arg(settings.port)
                          .arg(connectionFailureText(e), named),
                      QStringLiteral("Ошибка!"));
        return std::nullopt;
    }
    return db;
}
