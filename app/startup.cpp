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
                                                   const FileSettings& files)
{
    try {
        return openConnection(ConnectionSettings::fromArguments(args, files), connectionName);
    } catch (const DbError&) {
        prompts.error(QStringLiteral("Подключение к БД отсутсвует!!!"), QStringLiteral("Ошибка!"));
        return std::nullopt;
    }
}
