#pragma once
#include "data/connection.h"

#include <QSqlDatabase>
#include <QStringList>
#include <optional>

class Prompts;

/// Reads the settings files (the machine's, then the user's over it). When one of them is bad,
/// says why, naming the file and the key, and gives nothing: the program then ends.
std::optional<FileSettings> readSettingsFiles(Prompts& prompts, const QStringList& files = settings_file::paths());

/// Opens the client's connection from the command line (arguments without the program name),
/// and where it names no server from the settings files, as the code login "sys" or as the
/// person named. When it cannot be opened, says "Подключение к БД отсутсвует!!!" and gives
/// nothing: the program then ends without a login. A person's connection that wants a password
/// is given back unopened: the login asks for it.
std::optional<QSqlDatabase> connectFromCommandLine(const QStringList& args, Prompts& prompts,
                                                   const QString& connectionName = QString::fromLatin1(kConnectionName),
                                                   const FileSettings& files = {}, const QString& user = {});
