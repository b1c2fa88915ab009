#pragma once
#include "data/connection.h"

#include <QSqlDatabase>
#include <QStringList>
#include <optional>

class Prompts;

/// Opens the client's connection from the command line (arguments without the program name).
/// When it cannot be opened, says "Подключение к БД отсутсвует!!!" and gives nothing: the
/// program then ends without a login.
std::optional<QSqlDatabase> connectFromCommandLine(const QStringList& args, Prompts& prompts,
                                                   const QString& connectionName = QString::fromLatin1(kConnectionName));
