#include <dcmtk/oflog/oflog.h>
#include <sys/stat.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QSessionManager>

#include <cstdio>

#include "app/CKalvoraDlg.h"
#include "app/GuiPrompts.h"
#include "app/ProductInfo.h"
#include "app/QtMainThreadPoster.h"
#include "app/SingleInstance.h"
#include "app/TerminationSignals.h"
#include "help/HelpFiles.h"
#include "jobs/KalvoraEngine.h"

namespace {

// $XDG_CONFIG_HOME/kalvora, or ~/.config/kalvora.
QString defaultWorkingFolder() {
  const QByteArray config = qgetenv("XDG_CONFIG_HOME");
  const QString base = config.startsWith('/') ? QString::fromLocal8Bit(config)
                                              : QDir::homePath() + QStringLiteral("/.config");
  return base + QStringLiteral("/kalvora");
}

// share/kalvora beside the executable's bin folder.
QString installedDataFolder() {
  return QDir(QCoreApplication::applicationDirPath() + QStringLiteral("/../share/kalvora"))
      .absolutePath();
}

}  // namespace

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

  SingleInstance instance;
  if (!instance.acquire()) {
    instance.notifyRunningInstance();
    return 0;
  }

  const QString workdir =
      QDir(parser.isSet(workdirOption) ? parser.value(workdirOption) : defaultWorkingFolder())
          .absolutePath();
  // The configuration is the user's alone.
  if (!QDir(workdir).exists()) {
    QDir().mkpath(workdir);
    chmod(QFile::encodeName(workdir).constData(), 0700);
  }
  setHelpFolders(workdir, installedDataFolder());
  // Media hold all sorts of files; the job log says what became of each.
  OFLog::configure(OFLogger::FATAL_LOG_LEVEL);

  QtMainThreadPoster mainThread;
  GuiPrompts prompts;
  KalvoraEngine engine(mainThread, prompts);
  int status = 0;
  {
    CKalvoraDlg window(engine, prompts, workdir);
    TerminationSignals termination;
    QObject::connect(&window, &CKalvoraDlg::exitRequested, &app, &QCoreApplication::quit);
    QObject::connect(&instance, &SingleInstance::showRequested, &window,
                     &CKalvoraDlg::showRequestedByAnotherStart);
    QObject::connect(&termination, &TerminationSignals::terminationRequested, &window,
                     &CKalvoraDlg::exitWithoutQuestions);
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &window,
                     [&window](QSessionManager&) { window.exitWithoutQuestions(); });
    window.initialise();
    status = QApplication::exec();
    // Nobody answers a question any more; the workers must not wait for one.
    prompts.cancelAll();
    engine.Shutdown();
  }
  return status;
}
