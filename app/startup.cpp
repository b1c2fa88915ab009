#include "app/startup.h"
#include "data/db_error.h"
#include "data/prompts.h"

std::optional<QSqlDatabase> connectFromCommandLine(const QStringList& args, Prompts& prompts, const QString& connectionName)
{
    try {
        return openConnection(ConnectionSettings::fromArguments(args), connectionName);
    } catch (const DbError&) {
        prompts.error(QStringLiteral("Подключение к БД отсутсвует!!!"), QStringLiteral("Ошибка!"));
        return std::nullopt;
    }
}
