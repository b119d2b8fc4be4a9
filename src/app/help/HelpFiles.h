#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// Help texts live as help/<name> under the working folder, or else under the installed
// data folder, or else (for a program run from its build folder) under the folder above the
// executable's, where the source tree keeps them. The application names them once at start-up.
void setHelpFolders(const QString& workingFolder, const QString& installedDataFolder,
                    const QString& aboveExecutableFolder = QString());
QStringList helpFolders();

// The bytes of the first help/<name> that can be read, as UTF-8 text; nothing when
// there is none.
std::optional<QString> loadHelpText(const QString& name);
