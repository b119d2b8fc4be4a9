#include <QApplication>
#include <QCommandLineParser>
#include <QDir>

#include <cstdio>

#include "app/ProductInfo.h"
#include "help/HelpFiles.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QString::fromLatin1(kProductName));
  QApplication::setApplicationVersion(QString::fromLatin1(kProductVersion));
  QApplication::setQuitOnLastWindowClosed(false);

  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("Imports patient media into DICOM stations; lives in the tray."));
  parser.addHelpOption();
  const QCommandLineOption versionOption(QStringLiteral("version"),
                                         QStringLiteral("Prints the product and version."));
  const QCommandLineOption workdirOption(QStringLiteral("workdir"),
                                         QStringLiteral("Folder with the configuration files."),
                                         QStringLiteral("DIR"));
  parser.addOption(versionOption);
  parser.addOption(workdirOption);
  parser.process(app);
  if (parser.isSet(versionOption)) {
    std::printf("%s %s\n", kProductName, kProductVersion);
    return 0;
  }
  const QString workdir =
      parser.isSet(workdirOption) ? parser.value(workdirOption) : QDir::currentPath();
  setHelpFolders(workdir, QString());
  return 0;
}
