#include "app/help/HelpFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>

namespace {

// Help texts are a few kilobytes; anything far larger is no help text.
constexpr qint64 kLargestHelpText = 1 << 20;

QStringList& folders() {
  static QStringList list;
  return list;
}

// Opened without blocking and read only when it is a regular file: a FIFO or a device under
// a help file's name must not hold up the window.
std::optional<QString> readRegularFile(const QString& path) {
  const int fd =
      open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > kLargestHelpText) {
    close(fd);
    return std::nullopt;
  }
  QFile file;
  if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
    close(fd);
    return std::nullopt;
  }
  return QString::fromUtf8(file.read(kLargestHelpText));
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
    if (auto text = readRegularFile(QDir(folder).filePath(name))) return text;
  }
  return std::nullopt;
}
