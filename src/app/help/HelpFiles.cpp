#include "app/help/HelpFiles.h"

#include <QDir>
#include <QFile>

namespace {

QStringList& folders() {
  static QStringList list;
  return list;
}

}  // namespace

void setHelpFolders(const QString& workingFolder, const QString& installedDataFolder,
                    const QString& aboveExecutableFolder) {
  folders().clear();
  for (const QString& folder : {workingFolder, installedDataFolder, aboveExecutableFolder})
    if (!folder.isEmpty()) folders().append(QDir(folder).filePath(QStringLiteral("help")));
}

QStringList helpFolders() { return folders(); }

std::optional<QString> loadHelpText(const QString& name) {
  // Only a plain name: the help folder is the whole of what may be shown.
  if (name.isEmpty() || name.contains(QLatin1Char('/')) || name == QLatin1String("..") ||
      name == QLatin1String("."))
    return std::nullopt;
  for (const QString& folder : folders()) {
    QFile file(QDir(folder).filePath(name));
    if (file.open(QIODevice::ReadOnly)) return QString::fromUtf8(file.readAll());
  }
  return std::nullopt;
}
