#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

#include <cstring>

#include <filesystem>
#include <memory>
#include <string>

#include "GuiTestRegistry.h"
#include "OtherUser.h"
#include "TempDir.h"
#include "app/shell/SingleInstance.h"
#include "app/shell/TerminationSignals.h"
#include "config/ConfigFiles.h"
#include "config/ConfigurationLock.h"

namespace {

ino_t inodeOf(const std::string& path) {
  struct stat status {};
  return stat(path.c_str(), &status) == 0 ? status.st_ino : 0;
}

QProcess* startKalvora(const TempDir& runtime, const std::string& workdir) {
  auto* process = new QProcess;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), QString::fromStdString(runtime.path()));
  environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  process->setProcessEnvironment(environment);
  process->start(QStringLiteral(KALVORA_GUI_EXECUTABLE),
                 {QStringLiteral("--workdir"), QString::fromStdString(workdir)});
  return process;
}

// `kalvora-cli config ARGS...`: its exit status and what it said.
QString runCliConfig(const QStringList& args) {
  QProcess cli;
  cli.start(QStringLiteral(KALVORA_CLI_EXECUTABLE), QStringList{QStringLiteral("config")} + args);
  if (!cli.waitForFinished(20000) || cli.exitStatus() != QProcess::NormalExit)
    return QStringLiteral("did not end");
  return QString::number(cli.exitCode()) + QLatin1Char(' ') +
         QString::fromLocal8Bit(cli.readAllStandardError());
}

// A socket file left behind by a process that is gone.
void leaveStaleSocket(const QString& path) {
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const QByteArray name = path.toLocal8Bit();
  std::memcpy(address.sun_path, name.constData(), name.size());
  bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  close(fd);
}

}  // namespace

class SingleInstanceTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void aSecondStartWakesTheFirstAndEnds() {
    TempDir runtime;
    SingleInstance first(QString::fromStdString(runtime.path()));
    QVERIFY(first.acquire());
    QSignalSpy shows(&first, &SingleInstance::showRequested);

    SingleInstance inProcess(QString::fromStdString(runtime.path()));
    QVERIFY(!inProcess.acquire());
    std::filesystem::create_directories(runtime / "work");

    for (int start = 0; start < 2; ++start) {
      std::unique_ptr<QProcess> second(startKalvora(runtime, runtime / "work"));
      QTRY_COMPARE_WITH_TIMEOUT(second->state(), QProcess::NotRunning, 20000);
      QCOMPARE(second->exitStatus(), QProcess::NormalExit);
      QCOMPARE(second->exitCode(), 0);
      QTRY_COMPARE(shows.count(), start + 1);
    }
    // The second start did not touch the configuration.
    QVERIFY(!std::filesystem::exists(runtime / "work/config.dat"));
  }

  void aCrashedInstanceLeavesNothingThatBlocks() {
    TempDir runtime;
    {
      SingleInstance probe(QString::fromStdString(runtime.path()));
      std::filesystem::remove(probe.socketPath().toStdString());
      writeFileBytes(probe.lockPath().toStdString(), "");
      leaveStaleSocket(probe.socketPath());
    }
    SingleInstance next(QString::fromStdString(runtime.path()));
    QVERIFY(next.acquire());
    QSignalSpy shows(&next, &SingleInstance::showRequested);
    SingleInstance later(QString::fromStdString(runtime.path()));
    QVERIFY(!later.acquire());
    QVERIFY(later.notifyRunningInstance());
    QTRY_COMPARE(shows.count(), 1);
  }

  void terminationSavesTheConfiguration() {
    TempDir runtime;
    std::filesystem::create_directories(runtime / "work");
    Configuration config;
    config.settings.startMinimized = 1;
    config.settings.windowX = 40;
    config.stations.Add({"PACS", "STORESCP", "127.0.0.1", 104});
    QVERIFY(!saveConfiguration(runtime / "work", config));
    // Saved at exit: written anew, the file has another inode. A file that could not be read
    // (rules.dat, missing) is reported and left as it is, not replaced by an empty list.
    std::filesystem::remove(runtime / "work/rules.dat");
    const ino_t settingsBefore = inodeOf(runtime / "work/config.dat");

    std::unique_ptr<QProcess> kalvora(startKalvora(runtime, runtime / "work"));
    QVERIFY(kalvora->waitForStarted());
    // Running once its instance socket is there.
    QTRY_VERIFY_WITH_TIMEOUT(
        std::filesystem::exists(runtime / "KALVORA-088FA840-B10D-11D3-BC36-006067709674"), 20000);
    QVERIFY(!std::filesystem::exists(runtime / "work/rules.dat") ||
            std::filesystem::file_size(runtime / "work/rules.dat") == 0);
    // The exit writes the configuration back: the command line must not change it meanwhile.
    const QString work = QString::fromStdString(runtime / "work");
    QTRY_VERIFY_WITH_TIMEOUT(!ConfigurationLock().acquireUnlessHeld(runtime / "work"), 20000);
    const QString refused = runCliConfig({QStringLiteral("--workdir"), work, QStringLiteral("set"),
                                          QStringLiteral("windowX"), QStringLiteral("7")});
    QVERIFY2(refused.startsWith(QStringLiteral("1 Nothing was changed: the tray application")),
             qPrintable(refused));
    QVERIFY(runCliConfig({QStringLiteral("--workdir"), work, QStringLiteral("stations"),
                          QStringLiteral("list")})
                .startsWith(QStringLiteral("0 ")));
    kill(static_cast<pid_t>(kalvora->processId()), SIGTERM);
    QVERIFY(kalvora->waitForFinished(20000));
    QCOMPARE(kalvora->exitStatus(), QProcess::NormalExit);
    QCOMPARE(kalvora->exitCode(), 0);

    Configuration saved;
    QCOMPARE(loadConfiguration(runtime / "work", saved).damagedFiles,
             std::vector<std::string>{"rules.dat"});
    QVERIFY(inodeOf(runtime / "work/config.dat") != settingsBefore);
    QCOMPARE(saved.stations.GetSize(), 1);
    QCOMPARE(saved.settings.windowX, 40);

    // The session's end (SIGHUP) and Ctrl-C end it in the same order.
    for (int signal : {SIGHUP, SIGINT}) {
      const ino_t before = inodeOf(runtime / "work/config.dat");
      std::unique_ptr<QProcess> again(startKalvora(runtime, runtime / "work"));
      QTRY_VERIFY_WITH_TIMEOUT(!ConfigurationLock().acquireUnlessHeld(runtime / "work"), 20000);
      kill(static_cast<pid_t>(again->processId()), signal);
      QVERIFY(again->waitForFinished(20000));
      QVERIFY2(again->exitStatus() == QProcess::NormalExit && again->exitCode() == 0,
               strsignal(signal));
      QVERIFY(inodeOf(runtime / "work/config.dat") != before);
    }
  }

  // Help, version and mistakes are answered before a display is needed; Qt's own options
  // pass. A --workdir that is not there is refused, not made.
  void theCommandLineIsReadWithoutADisplay() {
    TempDir scratch;
    const QString missing = QString::fromStdString(scratch / "missing");
    const struct {
      QStringList args;
      int status;
      const char* printed;  // on stdout for status 0, else on stderr
    } cases[] = {
        {{QStringLiteral("--help-all")}, 0, "--platform <platformName[:options]>"},
        {{QStringLiteral("--version")}, 0, "Kalvora 2.1 RC5"},
        {{QStringLiteral("-h")}, 0, "--workdir <DIR>"},
        {{QStringLiteral("--bogus")}, 1, "kalvora: Unknown option 'bogus'."},
        {{QStringLiteral("-reverse"), QStringLiteral("-session"), QStringLiteral("id1"),
          QStringLiteral("--bogus")},
         1,
         "kalvora: Unknown option 'bogus'."},
        {{QStringLiteral("--workdir"), missing}, 1, "kalvora: --workdir: Directory does not exist"},
    };
    for (const auto& c : cases) {
      QProcess kalvora;
      QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
      for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
      environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), QString::fromStdString(scratch.path()));
      kalvora.setProcessEnvironment(environment);
      kalvora.start(QStringLiteral(KALVORA_GUI_EXECUTABLE), c.args);
      QVERIFY(kalvora.waitForFinished(20000));
      const QString what = c.args.join(QLatin1Char(' '));
      QVERIFY2(kalvora.exitStatus() == QProcess::NormalExit, qPrintable(what));
      QVERIFY2(kalvora.exitCode() == c.status, qPrintable(what));
      const QByteArray printed =
          c.status == 0 ? kalvora.readAllStandardOutput() : kalvora.readAllStandardError();
      QVERIFY2(printed.contains(c.printed), qPrintable(what + QStringLiteral(": ") + printed));
    }
    QVERIFY(!std::filesystem::exists(missing.toStdString()));
  }

  // Once the exit has begun a second signal is no longer the application's to handle: the
  // shutdown may wait for a worker, and the user wants the process gone.
  // Two tray applications on one working folder (each with its own runtime folder): the
  // second would write over the first's configuration at exit, so it does not start.
  void aSecondTrayOnTheSameWorkingFolderDoesNotStart() {
    TempDir first, second, work;
    std::unique_ptr<QProcess> running(startKalvora(first, work.path()));
    QTRY_VERIFY_WITH_TIMEOUT(!ConfigurationLock().acquireUnlessHeld(work.path()), 20000);
    std::unique_ptr<QProcess> refused(startKalvora(second, work.path()));
    QVERIFY(refused->waitForFinished(20000));
    QCOMPARE(refused->exitCode(), 1);
    QVERIFY(QString::fromLocal8Bit(refused->readAllStandardError())
                .contains(QStringLiteral("not started")));
    QCOMPARE(running->state(), QProcess::Running);
    kill(static_cast<pid_t>(running->processId()), SIGTERM);
    QVERIFY(running->waitForFinished(20000));
  }

  // Without $XDG_RUNTIME_DIR, a folder under the runtime folder's name that another user made
  // first is not used, nor is the single instance given up: a private folder in the user's
  // cache takes its place, and a second start still wakes the first.
  void aRuntimeFolderMadeByAnotherUserIsPassedOver() {
    if (const std::string why = whyNoOtherUser(false); !why.empty()) QSKIP(why.c_str());
    TempDir temp, workA, workB;
    std::filesystem::permissions(temp.path(), std::filesystem::perms(0755));
    const std::string planted = temp / ("kalvora-" + std::to_string(getuid()));
    std::filesystem::create_directories(planted);
    std::filesystem::permissions(planted, std::filesystem::perms(0700));
    giveToNobody(planted);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    environment.insert(QStringLiteral("TMPDIR"), QString::fromStdString(temp.path()));
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), QString::fromStdString(temp / "cache"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    const auto start = [&](const TempDir& work) {
      auto process = std::make_unique<QProcess>();
      process->setProcessEnvironment(environment);
      process->start(QStringLiteral(KALVORA_GUI_EXECUTABLE),
                     {QStringLiteral("--workdir"), QString::fromStdString(work.path())});
      return process;
    };
    std::unique_ptr<QProcess> first = start(workA);
    QTRY_VERIFY_WITH_TIMEOUT(!ConfigurationLock().acquireUnlessHeld(workA.path()), 20000);
    std::unique_ptr<QProcess> second = start(workB);
    QVERIFY(second->waitForFinished(20000));
    QCOMPARE(second->exitCode(), 0);
    QVERIFY(std::filesystem::is_empty(planted));
    kill(static_cast<pid_t>(first->processId()), SIGTERM);
    QVERIFY(first->waitForFinished(20000));
  }

  void terminationSignalsGiveWayOnceExitHasBegun() {
    const auto handlerOf = [](int signal) {
      struct sigaction now {};
      sigaction(signal, nullptr, &now);
      return now.sa_handler;
    };
    signal(SIGHUP, SIG_IGN);  // as nohup starts a program
    {
      TerminationSignals ignoredHangUp;
      QVERIFY(handlerOf(SIGHUP) == SIG_IGN);
    }
    signal(SIGHUP, SIG_DFL);
    TerminationSignals termination;
    QSignalSpy requests(&termination, &TerminationSignals::terminationRequested);
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
      raise(signal);
      QTRY_COMPARE(requests.count(), 1);
      requests.clear();
    }
    termination.restoreDefaults();
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) QVERIFY(handlerOf(signal) == SIG_DFL);
  }
};

KALVORA_GUI_TEST(SingleInstanceTest);
#include "SingleInstanceTest.moc"
