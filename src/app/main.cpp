#include <dcmtk/oflog/oflog.h>

#include <QApplication>
#include <QDir>
#include <QSessionManager>

#include <cstdio>

#include "app/help/HelpFiles.h"
#include "app/shell/CKalvoraDlg.h"
#include "app/shell/CommandLine.h"
#include "app/shell/GuiPrompts.h"
#include "app/shell/Icons.h"
#include "app/shell/KalvoraTray.h"
#include "app/shell/QtMainThreadPoster.h"
#include "app/shell/SingleInstance.h"
#include "app/shell/TerminationSignals.h"
#include "config/ConfigurationLock.h"
#include "config/ProductVersion.h"
#include "jobs/KalvoraEngine.h"
#include "platform/MediaArrivalWatcher.h"
#include "platform/OpticalMounts.h"
#include "platform/UserFolders.h"

int main(int argc, char** argv) {
  // Answered before any window system is needed, so it works without a desktop.
  const CommandLine commandLine = readCommandLine(argc, argv);
  if (commandLine.exitStatus) return *commandLine.exitStatus;

  QApplication app(argc, argv);
  QApplication::setApplicationName(QString::fromLatin1(kProductName));
  QApplication::setApplicationVersion(QString::fromLatin1(kProductVersion));
  QApplication::setQuitOnLastWindowClosed(false);
  QApplication::setWindowIcon(Icons::application());

  // From here on a termination signal ends Kalvora in order (once its window runs).
  TerminationSignals termination;
  SingleInstance instance;
  if (!instance.acquire()) {
    instance.notifyRunningInstance();
    return 0;
  }

  const QString workdir = commandLine.workdir.isEmpty()
                              ? QString::fromStdString(defaultWorkingFolder())
                              : commandLine.workdir;
  // From before the configuration is read until it is written back: kalvora-cli must not
  // change it meanwhile (the exit would write over its change).
  ConfigurationLock configurationLock;
  // Without it, this run's exit would write over another tray application's configuration.
  if (!configurationLock.acquire(workdir.toStdString(), 2000)) {
    std::fprintf(stderr,
                 "kalvora: another program holds the configuration lock of %s (another Kalvora "
                 "runs with it); not started\n",
                 QFile::encodeName(workdir).constData());
    return 1;
  }
  // Last, the source tree's help/ beside a build folder, for build/kalvora.
  setHelpFolders(workdir, QString::fromStdString(installedDataFolder()),
                 QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/..")));
  // Media hold all sorts of files; the job log says what became of each.
  OFLog::configure(OFLogger::FATAL_LOG_LEVEL);

  QtMainThreadPoster mainThread;
  GuiPrompts prompts;
  KalvoraEngine engine(mainThread, prompts);
  // Read when the question opens, so a station set up meanwhile in the Options is asked.
  prompts.setPatientQuerySource([&engine, folder = workdir.toStdString()] {
    return patientQueryOffer(folder, engine.settings.callingAeTitle, engine.settings.timeoutMs,
                             engine.settings.maxPduSize);
  });
  int status = 0;
  {
    CKalvoraDlg window(engine, prompts, workdir);
    QObject::connect(&window, &CKalvoraDlg::exitRequested, &app, [] {
      // Whatever modal window is open (a start-up message, a dialog) must not hold it up.
      for (QWidget* modal = QApplication::activeModalWidget(); modal;) {
        modal->close();
        QWidget* next = QApplication::activeModalWidget();
        modal = next == modal ? nullptr : next;
      }
      QCoreApplication::quit();
    });
    QObject::connect(&instance, &SingleInstance::showRequested, &window,
                     &CKalvoraDlg::showRequestedByAnotherStart);
    QObject::connect(&termination, &TerminationSignals::terminationRequested, &window,
                     &CKalvoraDlg::exitWithoutQuestions);
    // The configuration is saved by then: a second Ctrl-C or SIGTERM must end the process
    // even when the shutdown waits for a worker.
    QObject::connect(&window, &CKalvoraDlg::exitRequested, &termination,
                     &TerminationSignals::restoreDefaults);
    // Also sent for checkpoints: save, do not quit. The session's end quits the application
    // (below) or sends SIGTERM or SIGHUP.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &window,
                     [&window](QSessionManager&) { window.commitSessionData(); });
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &window, [&window] {
      if (!window.exiting()) window.exitWithoutQuestions();
    });
    window.setOpticalMediaSource([] { return opticalMountPoints(); });
    // The watcher calls from its own thread; the window takes it on the event loop.
    MediaArrivalWatcher watcher([&window](const MediaArrival& arrival) {
      QMetaObject::invokeMethod(
          &window, [&window, mountPoint = arrival.mountPoint] { window.mediaArrived(mountPoint); },
          Qt::QueuedConnection);
    });
    window.initialise();
    watcher.start();
    if (!window.exiting()) status = QApplication::exec();
    // The workers may take a moment to end: nothing of Kalvora stays on screen meanwhile.
    window.hide();
    window.tray().RemoveTrayIcon();
    QCoreApplication::processEvents();
    watcher.stop();
    // Nobody answers a question any more; the workers must not wait for one.
    prompts.cancelAll();
    engine.Shutdown();
  }
  return status;
}
