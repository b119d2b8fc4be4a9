#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <future>

#include "DicomFixtures.h"
#include "GuiTestRegistry.h"
#include "MessageBoxRecorder.h"
#include "ModalWatcher.h"
#include "StoreScpPeer.h"
#include "TempDir.h"
#include "app/config/CStationsErrorDlg.h"
#include "app/media/CQueryNewPatientIDDlg.h"
#include "app/shell/CKalvoraDlg.h"
#include "app/shell/CSelectMediaDialog.h"
#include "app/shell/CStatusDlg.h"
#include "app/shell/GuiPrompts.h"
#include "app/shell/KalvoraTray.h"
#include "app/shell/QtMainThreadPoster.h"
#include "config/ConfigFiles.h"
#include "dicom/CopyIdentity.h"
#include "jobs/JobJournal.h"
#include "jobs/KalvoraEngine.h"

namespace fs = std::filesystem;

namespace {

template <typename Widget>
Widget* child(QWidget* parent, const char* name) {
  return parent->findChild<Widget*>(QString::fromLatin1(name));
}

QString labelText(QWidget* window, const char* name) { return child<QLabel>(window, name)->text(); }

CQueryNewPatientIDDlg* openPatientQuestion() {
  for (QWidget* widget : QApplication::topLevelWidgets())
    if (auto* dialog = qobject_cast<CQueryNewPatientIDDlg*>(widget); dialog && dialog->isVisible())
      return dialog;
  return nullptr;
}

void noAutomountSetting(CKalvoraDlg& window) {
  window.setAutomountControl([] { return AutomountSetting::Absent; }, [] { return false; });
}

int filesIn(const std::string& folder) {
  int count = 0;
  for (const auto& entry : fs::recursive_directory_iterator(folder))
    count += entry.is_regular_file() ? 1 : 0;
  return count;
}

// A job folder an earlier run read completely and did not deliver to `destinations`.
std::string keepJobFolder(const TempDir& work, const char* name,
                          const std::vector<JobDestination>& destinations) {
  const std::string folder = work / "jobs/" + name;
  fs::create_directories(folder);
  fs::permissions(work / "jobs", fs::perms::owner_all);
  fs::permissions(folder, fs::perms::owner_all);
  writeFixtureImage(folder + "/IM1");
  writeFixtureImage(folder + "/IM2");
  auto journal = JobJournal::create(folder);
  for (const char* copy : {"IM1", "IM2"})
    journal->recordCopy(copy, readCopyIdentity(folder + "/" + copy));
  journal->recordReadingFinished();
  for (const JobDestination& destination : destinations) journal->chooseDestination(destination);
  return folder;
}

}  // namespace

// The main window over a real engine, sending to a real storescp.
class MainWindowTest : public QObject {
  Q_OBJECT

 private:
  // Three images of one patient, and a configuration that sends them to the peer.
  void prepare(const TempDir& work, const StoreScpPeer& peer, bool askForNewPatientData) {
    fs::create_directories(work / "medium/DICOM");
    fs::create_directories(work / "config");
    for (int i = 0; i < 3; ++i) writeFixtureImage(work / ("medium/DICOM/IM" + std::to_string(i)));
    Configuration config;
    config.settings.tempFolder = work / "jobs/";
    config.settings.startMinimized = 1;
    config.settings.sendToStandardDestination = 1;
    config.settings.standardDestination = 0;
    config.settings.askForNewPatientData = askForNewPatientData;
    config.settings.timeoutMs = 5000;
    config.stations.Add({"PACS", peer.aeTitle(), "127.0.0.1", peer.port()});
    QVERIFY(!saveConfiguration(work / "config", config));
  }

 private Q_SLOTS:
  void manualStartReadsSendsAndShowsTheJob() {
    TempDir work;
    fs::create_directories(work / "received");
    StoreScpPeer peer(work / "received");
    prepare(work, peer, true);
    MessageBoxRecorder boxes;

    QtMainThreadPoster mainThread;
    GuiPrompts prompts;
    KalvoraEngine engine(mainThread, prompts);
    CKalvoraDlg window(engine, prompts, QString::fromStdString(work / "config"));
    // Whatever fails, no worker is left waiting on a question.
    const std::shared_ptr<void> cancelAtEnd(nullptr, [&](void*) { prompts.cancelAll(); });
    noAutomountSetting(window);
    window.initialise();
    QVERIFY(boxes.texts.isEmpty());
    // Offscreen there is no tray: the window shows itself although it starts minimized.
    QVERIFY(window.isVisible());
    QCOMPARE(window.tray().toolTip(), QStringLiteral("Kalvora 2.1 RC5\nDestination: PACS"));
    QCOMPARE(labelText(&window, "scanFiles"), QStringLiteral("-"));
    auto* stopScans = child<QToolButton>(&window, "stopScansButton");
    auto* stopSends = child<QToolButton>(&window, "stopSendsButton");
    QVERIFY(!stopScans->isEnabled() && !stopSends->isEnabled());

    const std::string medium = work / "medium";
    window.setOpticalMediaSource([&] { return std::vector<std::string>{medium}; });
    onNextModal([](QWidget* modal) {
      QVERIFY(qobject_cast<CSelectMediaDialog*>(modal));
      QTest::mouseClick(child<QPushButton>(modal, "okButton"), Qt::LeftButton);
    });
    QTest::mouseClick(child<QPushButton>(&window, "manualStartButton"), Qt::LeftButton);

    // The scan waits on the patient question: a job works, so the window and tray say so.
    QTRY_VERIFY(openPatientQuestion() != nullptr);
    QCOMPARE(window.jobList()->topLevelItemCount(), 1);
    QCOMPARE(window.jobList()->topLevelItem(0)->text(0), QStringLiteral("1"));
    QVERIFY(stopScans->isEnabled());
    QVERIFY(!stopSends->isEnabled());
    // The menu follows the busy flag without being opened.
    QMenu& menu = window.tray().menu();
    QMenu* destinations = menu.actions().at(0)->menu();
    QCOMPARE(destinations->actions().size(), 1);
    QVERIFY(destinations->actions().at(0)->isChecked());
    QVERIFY(!destinations->actions().at(0)->isEnabled());  // greyed while busy
    window.tray().AnimateTray();
    QVERIFY(window.tray().currentIcon().cacheKey() != 0);

    CQueryNewPatientIDDlg* question = openPatientQuestion();
    child<QLineEdit>(question, "newPatientId")->setText(QStringLiteral("LOCAL-77"));
    QTest::mouseClick(child<QPushButton>(question, "okButton"), Qt::LeftButton);

    QTRY_COMPARE_WITH_TIMEOUT(labelText(&window, "sendFiles"), QStringLiteral("3"), 30000);
    QTRY_VERIFY(!engine.counters().busy);
    QCOMPARE(labelText(&window, "scanFiles"), QStringLiteral("3"));
    QCOMPARE(labelText(&window, "scanErrors"), QStringLiteral("-"));
    QCOMPARE(labelText(&window, "sendErrors"), QStringLiteral("-"));
    QVERIFY(!stopScans->isEnabled() && !stopSends->isEnabled());
    QCOMPARE(window.jobList()->topLevelItem(0)->text(1), QStringLiteral("Doe John"));
    QCOMPARE(window.jobList()->topLevelItem(0)->toolTip(1), QStringLiteral("Doe John"));
    QCOMPARE(window.jobList()->topLevelItem(0)->toolTip(0), QStringLiteral("Finished"));
    QCOMPARE(filesIn(work / "received"), 3);
    QVERIFY(menu.actions().at(0)->menu()->actions().at(0)->isEnabled());

    // The status window shows the job's log and patients.
    window.jobList()->setCurrentItem(window.jobList()->topLevelItem(0));
    QString status, log;
    int patients = -1;
    onNextModal([&](QWidget* modal) {
      auto* dialog = qobject_cast<CStatusDlg*>(modal);
      status = dialog->jobStatus();
      log = dialog->logText();
      patients = child<QTreeWidget>(modal, "patients")->topLevelItemCount();
      dialog->accept();
    });
    window.runStatus();
    QCOMPARE(status, QStringLiteral("Finished"));
    QVERIFY(
        log.startsWith(QStringLiteral("Start to scan media ") + QString::fromStdString(medium)));
    QVERIFY(log.contains(QStringLiteral("Sending finished. (sended files: 3)")));
    QCOMPARE(patients, 1);
  }

  // Two jobs an earlier run did not deliver: shown "Failed" at start, one sent again once
  // its station is back, the other discarded after the question.
  void failedJobsAreFoundAtStartAndTheirButtonsAct() {
    TempDir work;
    fs::create_directories(work / "config");
    fs::create_directories(work / "received");
    const int port = freeLoopbackPort();
    const JobDestination station{"STORESCP", "127.0.0.1", port};
    Configuration config;
    config.settings.tempFolder = work / "jobs";
    config.settings.startMinimized = 1;
    config.settings.timeoutMs = 5000;
    QVERIFY(!saveConfiguration(work / "config", config));
    std::vector<std::string> folders;
    for (const char* name : {"20261231235901", "20261231235902"})
      folders.push_back(keepJobFolder(work, name, {station}));
    MessageBoxRecorder boxes(false);
    QtMainThreadPoster mainThread;
    GuiPrompts prompts;
    KalvoraEngine engine(mainThread, prompts);
    CKalvoraDlg window(engine, prompts, QString::fromStdString(work / "config"));
    noAutomountSetting(window);
    window.initialise();
    QCOMPARE(window.jobList()->topLevelItemCount(), 2);
    QCOMPARE(window.jobList()->topLevelItem(0)->toolTip(0), QStringLiteral("Failed"));
    QVERIFY(window.tray().toolTip().endsWith(QStringLiteral("\n2 jobs not delivered")));

    // Opens the status window on a row and acts in it; returns its status afterwards.
    const auto inStatusWindow = [&](int row, const char* button) {
      window.jobList()->setCurrentItem(window.jobList()->topLevelItem(row));
      QString before, after;
      onNextModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<CStatusDlg*>(modal);
        before = dialog->jobStatus();
        auto* clicked = child<QPushButton>(modal, button);
        QVERIFY(clicked->isVisible());
        QTest::mouseClick(clicked, Qt::LeftButton);
        after = dialog->jobStatus();
        dialog->accept();
      });
      window.runStatus();
      return before + " -> " + after;
    };

    StoreScpPeer peer(work / "received", {}, "STORESCP", port);
    QCOMPARE(inStatusWindow(0, "sendAgainButton"), QStringLiteral("Failed -> Pending"));
    QTRY_COMPARE_WITH_TIMEOUT(engine.jobs()[0].status, std::string("Finished"), 30000);
    QCOMPARE(filesIn(work / "received"), 2);
    QVERIFY(!fs::exists(folders[0]));
    QVERIFY(window.tray().toolTip().endsWith(QStringLiteral("\n1 job not delivered")));

    QCOMPARE(inStatusWindow(1, "discardButton"), QStringLiteral("Failed -> Failed"));
    QCOMPARE(boxes.texts.size(), 1);
    QVERIFY(boxes.defaultNo[0]);  // Enter keeps the job
    QVERIFY(fs::exists(folders[1] + "/IM1"));
    boxes.setAnswer(true);
    QCOMPARE(inStatusWindow(1, "discardButton"), QStringLiteral("Failed -> Stopped"));
    QVERIFY(!fs::exists(folders[1]));
    QVERIFY(!window.tray().toolTip().contains(QStringLiteral("not delivered")));
  }

  // A job never sent: "Send again" asks for a station, and jobs that arrive meanwhile do not
  // change which job is sent.
  void sendingAgainAsksForAStationWhileOtherJobsArrive() {
    TempDir work;
    fs::create_directories(work / "config");
    fs::create_directories(work / "received");
    fs::create_directories(work / "medium");
    writeFixtureImage(work / "medium/IM1");
    StoreScpPeer peer(work / "received");
    Configuration config;
    config.settings.tempFolder = work / "jobs";
    config.settings.startMinimized = 1;
    config.settings.timeoutMs = 5000;
    config.settings.sendToStandardDestination = 0;  // and no rules: the user chooses
    config.stations.Add({"PACS", peer.aeTitle(), "127.0.0.1", peer.port()});
    QVERIFY(!saveConfiguration(work / "config", config));
    const std::string kept = keepJobFolder(work, "20261231235901", {});
    MessageBoxRecorder boxes;
    QtMainThreadPoster mainThread;
    GuiPrompts prompts;
    KalvoraEngine engine(mainThread, prompts);
    engine.setSendAfterScan(false);
    CKalvoraDlg window(engine, prompts, QString::fromStdString(work / "config"));
    noAutomountSetting(window);
    window.initialise();
    QCOMPARE(engine.jobs().size(), 1);

    window.jobList()->setCurrentItem(window.jobList()->topLevelItem(0));
    onNextModalOf<CStatusDlg>([&](CStatusDlg* status) {
      onNextModalOf<CStationsErrorDlg>([&](CStationsErrorDlg* choice) {
        QCOMPARE(choice->aboutLine(), QStringLiteral("Media #1"));  // the job it is for
        QVERIFY(choice->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        engine.StartScan(work / "medium");
        QTRY_COMPARE(engine.jobs().size(), 2);
        child<QComboBox>(choice, "stationList")->setCurrentIndex(0);
        choice->accept();
      });
      QTest::mouseClick(child<QPushButton>(status, "sendAgainButton"), Qt::LeftButton);
      status->accept();
    });
    window.runStatus();
    QTRY_COMPARE_WITH_TIMEOUT(engine.jobs()[0].status, std::string("Finished"), 30000);
    QCOMPARE(filesIn(work / "received"), 2);
    QVERIFY(!fs::exists(kept));
    QVERIFY(boxes.texts.isEmpty());
    QTRY_VERIFY(!engine.counters().busy);
  }

  // The engine may refuse a kept job: a command line sent or discarded it, or it runs.
  void keptJobActionsThatCannotActSayWhy() {
    TempDir work;
    fs::create_directories(work / "config");
    const JobDestination closedPort{"PACS", "127.0.0.1", freeLoopbackPort()};
    Configuration config;
    config.settings.tempFolder = work / "jobs";
    config.settings.startMinimized = 1;
    QVERIFY(!saveConfiguration(work / "config", config));
    const std::string gone = keepJobFolder(work, "20261231235901", {closedPort});
    const std::string running = keepJobFolder(work, "20261231235902", {closedPort});
    QtMainThreadPoster mainThread;
    GuiPrompts prompts;
    KalvoraEngine engine(mainThread, prompts);
    CKalvoraDlg window(engine, prompts, QString::fromStdString(work / "config"));
    noAutomountSetting(window);
    window.initialise();
    QCOMPARE(engine.jobs().size(), 2);

    QStringList boxes;
    MessageBoxes::setHandlerForTests([&](const MessageBoxes::Request& request) {
      boxes << request.text;
      // Meanwhile the job starts sending (to a station that does not answer, so it runs
      // until its retry question is answered).
      if (request.question) engine.ResendJob(running);
      return true;
    });
    const auto click = [&](int row, const char* button) {
      window.jobList()->setCurrentItem(window.jobList()->topLevelItem(row));
      onNextModalOf<CStatusDlg>([&](CStatusDlg* status) {
        QTest::mouseClick(child<QPushButton>(status, button), Qt::LeftButton);
        status->accept();
      });
      window.runStatus();
    };

    fs::remove_all(gone);  // as `kalvora-cli jobs discard` does
    click(0, "sendAgainButton");
    QCOMPARE(boxes.size(), 1);
    QVERIFY2(boxes[0].startsWith(QStringLiteral("Job 1: its folder ") +
                                 QString::fromStdString(gone) + QStringLiteral(" is gone.")),
             qPrintable(boxes[0]));

    click(1, "discardButton");
    QCOMPARE(boxes.size(), 3);  // the question, then why not
    QCOMPARE(boxes[2], QStringLiteral("Job 2 is still working. Try again when it has ended."));
    QVERIFY(fs::exists(running + "/IM1"));
    MessageBoxes::setHandlerForTests(nullptr);
    prompts.cancelAll();
    QTRY_VERIFY_WITH_TIMEOUT(!engine.isJobActive(running), 20000);
  }

  // A scan waiting on new patient data, a send waiting on its retry question: the stop
  // answers the question instead of waiting 30 s for a worker that cannot stop.
  void stopWithAQuestionOpenCancelsItAndReturnsAtOnce() {
    TempDir work;
    fs::create_directories(work / "medium");
    fs::create_directories(work / "config");
    for (const char* name : {"IM1", "IM2", "IM3"})
      writeFixtureImage(work / (std::string("medium/") + name));
    Configuration config;
    config.settings.tempFolder = work / "jobs/";
    config.settings.startMinimized = 1;
    config.settings.standardDestination = 0;
    config.settings.askForNewPatientData = 1;
    config.stations.Add({"PACS", "PACS", "127.0.0.1", freeLoopbackPort()});  // nobody there
    QVERIFY(!saveConfiguration(work / "config", config));
    MessageBoxRecorder boxes;
    QtMainThreadPoster mainThread;
    GuiPrompts prompts;
    KalvoraEngine engine(mainThread, prompts);
    CKalvoraDlg window(engine, prompts, QString::fromStdString(work / "config"));
    // Whatever fails, no worker is left waiting on a question.
    const std::shared_ptr<void> cancelAtEnd(nullptr, [&](void*) { prompts.cancelAll(); });
    noAutomountSetting(window);
    window.initialise();
    const auto retryQuestion = [] {
      for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->objectName() == QLatin1String("retryQuestion") && widget->isVisible())
          return widget;
      return static_cast<QWidget*>(nullptr);
    };
    const auto clickTakes = [&](const char* button) {
      const auto started = std::chrono::steady_clock::now();
      QTest::mouseClick(child<QToolButton>(&window, button), Qt::LeftButton);
      return std::chrono::steady_clock::now() - started;
    };

    // A scan that read the whole medium before it saw the stop stays Pending.
    engine.setSendAfterScan(false);
    window.mediaArrived(work / "medium");
    QTRY_VERIFY(openPatientQuestion() != nullptr);
    QVERIFY(clickTakes("stopScansButton") < std::chrono::seconds(10));
    QTRY_VERIFY(openPatientQuestion() == nullptr);
    QTRY_VERIFY(!engine.counters().busy);
    QVERIFY(engine.jobs()[0].status != "Copying");

    engine.setSendAfterScan(true);
    engine.settings.askForNewPatientData = 0;
    window.mediaArrived(work / "medium");
    QTRY_VERIFY_WITH_TIMEOUT(retryQuestion() != nullptr, 20000);
    QVERIFY(clickTakes("stopSendsButton") < std::chrono::seconds(10));
    QTRY_VERIFY(retryQuestion() == nullptr);
    QTRY_VERIFY(!engine.counters().busy);
    QCOMPARE(QString::fromStdString(engine.jobs()[1].status), QStringLiteral("Failed"));

    // Questions after the stop are asked again.
    window.mediaArrived(work / "medium");
    QTRY_VERIFY_WITH_TIMEOUT(retryQuestion() != nullptr, 20000);
    prompts.cancelAll();
    QTRY_VERIFY(!engine.counters().busy);
  }

  void exitWithAQuestionOpenSavesAndDoesNotHang() {
    TempDir work;
    fs::create_directories(work / "received");
    StoreScpPeer peer(work / "received");
    prepare(work, peer, true);
    MessageBoxRecorder boxes;

    QtMainThreadPoster mainThread;
    GuiPrompts prompts;
    KalvoraEngine engine(mainThread, prompts);
    CKalvoraDlg window(engine, prompts, QString::fromStdString(work / "config"));
    noAutomountSetting(window);
    window.initialise();
    // A medium mounted while the window is out of the way (minimised, without a tray): read,
    // and the window left where it is.
    window.hideMainWindow();
    window.mediaArrived(work / "medium");
    QTRY_VERIFY(openPatientQuestion() != nullptr);
    QVERIFY(window.isMinimized());

    window.move(321, 234);
    int exits = 0;
    connect(&window, &CKalvoraDlg::exitRequested, this, [&] { ++exits; });
    QTest::keyClick(&window, Qt::Key_Escape);
    QCOMPARE(exits, 1);
    QTRY_VERIFY(openPatientQuestion() == nullptr);

    const auto started = std::chrono::steady_clock::now();
    engine.Shutdown();
    QVERIFY(std::chrono::steady_clock::now() - started < std::chrono::seconds(20));

    Configuration saved;
    QVERIFY(loadConfiguration(work / "config", saved).messages.empty());
    QCOMPARE(saved.settings.windowX, 321);
    QCOMPARE(saved.settings.windowY, 234);
    QCOMPARE(saved.stations.GetSize(), 1);
  }

  void trayTipAndStandardDestinationMenu() {
    TempDir work;
    MessageBoxRecorder boxes;
    QtMainThreadPoster mainThread;
    GuiPrompts prompts;
    KalvoraEngine engine(mainThread, prompts);
    bool dialogOpen = false;
    KalvoraTray tray(engine, [&] { return dialogOpen; });

    QCOMPARE(KalvoraTray::tipText(engine),
             QStringLiteral("Kalvora 2.1 RC5\nNo standard destination"));
    QMenu& menu = tray.menu();
    tray.refreshMenu();
    QVERIFY(!menu.actions().at(0)->isEnabled());  // no stations
    QCOMPARE(menu.defaultAction()->text(), QStringLiteral("Open"));

    for (int i = 0; i < 35; ++i)
      engine.stations.Add({"S" + std::to_string(i), "AE", "127.0.0.1", 104});
    engine.stations[34].alias = std::string(50, 'A');
    engine.settings.sendToStandardDestination = 1;
    engine.settings.standardDestination = 34;
    const QString tip = KalvoraTray::tipText(engine);
    QCOMPARE(tip.size(), 63);
    QVERIFY(tip.startsWith(QStringLiteral("Kalvora 2.1 RC5\nDestination: AAAA")));

    // Refilled as often as things change, the menu keeps one submenu.
    const auto menusAlive = [] {
      int count = 0;
      for (QWidget* widget : QApplication::allWidgets())
        count += qobject_cast<QMenu*>(widget) ? 1 : 0;
      return count;
    };
    const int menusBefore = menusAlive();
    for (int i = 0; i < 5; ++i) tray.refreshMenu();
    QCOMPARE(menusAlive(), menusBefore);
    const QList<QAction*> stations = menu.actions().at(0)->menu()->actions();
    QCOMPARE(stations.size(), 35);
    QVERIFY(stations.at(34)->isChecked());
    stations.at(31)->trigger();  // id 231: shown, but does nothing
    QCOMPARE(engine.settings.standardDestination, 34);
    stations.at(30)->trigger();  // id 230
    QCOMPARE(engine.settings.standardDestination, 30);
    stations.at(2)->trigger();
    QCOMPARE(engine.settings.standardDestination, 2);
    QCOMPARE(menu.actions().at(0)->menu()->actions().at(2)->isChecked(), true);
    QCOMPARE(menu.actions().at(0)->menu()->actions().at(30)->isChecked(), false);

    dialogOpen = true;
    tray.refreshMenu();
    QStringList greyed;
    for (QAction* action : menu.actions())
      if (!action->isSeparator() && !action->isEnabled()) greyed << action->text();
    QCOMPARE(greyed,
             (QStringList{QStringLiteral("Info"), QStringLiteral("Start reading a media manually"),
                          QStringLiteral("Options")}));
  }

  // A double click toggles the window whatever the tray reports for it; one click does nothing.
  void trayDoubleClickTogglesTheWindowOnEveryKindOfTray() {
    constexpr auto T = QSystemTrayIcon::Trigger;
    constexpr auto D = QSystemTrayIcon::DoubleClick;
    constexpr auto pause = QSystemTrayIcon::Unknown;  // longer than a double click
    const struct {
      const char* tray;
      std::vector<QSystemTrayIcon::ActivationReason> clicks;
      int toggles;
    } cases[] = {
        {"StatusNotifierItem: two Triggers", {T, T}, 1},
        {"XEmbed: Trigger, DoubleClick", {T, D}, 1},
        {"Trigger for each press and a DoubleClick", {T, T, D}, 1},
        {"DoubleClick alone", {D}, 1},
        {"one click", {T}, 0},
        {"two single clicks", {T, pause, T}, 0},
        {"two double clicks", {T, T, pause, T, D}, 2},
    };
    MessageBoxRecorder boxes;
    QtMainThreadPoster mainThread;
    GuiPrompts prompts;
    KalvoraEngine engine(mainThread, prompts);
    const int interval = QApplication::doubleClickInterval();
    QApplication::setDoubleClickInterval(1000);
    for (const auto& c : cases) {
      KalvoraTray tray(engine, [] { return false; });
      int toggles = 0;
      connect(&tray, &KalvoraTray::toggleRequested, this, [&] { ++toggles; });
      for (QSystemTrayIcon::ActivationReason click : c.clicks) {
        if (click == pause)
          QTest::qWait(1200);
        else
          Q_EMIT tray.icon().activated(click);
      }
      QVERIFY2(toggles == c.toggles, c.tray);
    }
    QApplication::setDoubleClickInterval(interval);
  }

  void autorunCheckAsksOnlyWhenTheDesktopSettingIsOff() {
    struct Case {
      AutomountSetting setting;
      bool answer;
      int questions;
      int enables;
    };
    const Case cases[] = {{AutomountSetting::Absent, true, 0, 0},
                          {AutomountSetting::Enabled, true, 0, 0},
                          {AutomountSetting::Disabled, false, 1, 0},
                          {AutomountSetting::Disabled, true, 1, 1}};
    for (const Case& c : cases) {
      TempDir work;
      Configuration config;
      QVERIFY(!saveConfiguration(work.path(), config));
      MessageBoxRecorder boxes(c.answer);
      QtMainThreadPoster mainThread;
      GuiPrompts prompts;
      KalvoraEngine engine(mainThread, prompts);
      CKalvoraDlg window(engine, prompts, QString::fromStdString(work.path()));
      std::atomic<int> enables{0};
      // The desktop's tool is asked off the GUI thread: the window goes on meanwhile.
      std::promise<void> answer;
      std::shared_future<void> answered = answer.get_future().share();
      window.setAutomountControl(
          [&, answered] {
            answered.wait();
            return c.setting;
          },
          [&] { return ++enables > 0; });
      window.initialise();
      const bool checkedBeforeTheAnswer = window.autorunChecked();
      answer.set_value();
      QVERIFY(!checkedBeforeTheAnswer);
      QTRY_VERIFY(window.autorunChecked());
      QCOMPARE(boxes.texts.size(), c.questions);
      if (c.questions)
        QVERIFY(
            boxes.texts[0].contains(QStringLiteral("enable the autorun feature in desktop now?")));
      QTRY_COMPARE(enables.load(), c.enables);
    }
  }

  // A saved position on a screen that is no longer there brings the window back onto one.
  void aPositionOffEveryScreenIsBroughtBack() {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const struct {
      int x, y;
      bool kept;
    } cases[] = {{screen.left() + 40, screen.top() + 50, true},
                 {screen.right() + 4000, screen.bottom() + 3000, false},
                 {screen.left() - 3000, screen.top() + 20, false}};
    for (const auto& c : cases) {
      TempDir work;
      Configuration config;
      config.settings.windowX = c.x;
      config.settings.windowY = c.y;
      QVERIFY(!saveConfiguration(work.path(), config));
      MessageBoxRecorder boxes;
      QtMainThreadPoster mainThread;
      GuiPrompts prompts;
      KalvoraEngine engine(mainThread, prompts);
      CKalvoraDlg window(engine, prompts, QString::fromStdString(work.path()));
      noAutomountSetting(window);
      window.initialise();
      QVERIFY(window.isVisible());
      if (c.kept)
        QCOMPARE(window.pos(), QPoint(c.x, c.y));
      else
        QVERIFY2(screen.contains(window.frameGeometry()),
                 qPrintable(QStringLiteral("%1,%2").arg(window.x()).arg(window.y())));
    }
  }

  void windowCommands() {
    TempDir work;
    MessageBoxRecorder boxes;
    QtMainThreadPoster mainThread;
    GuiPrompts prompts;
    KalvoraEngine engine(mainThread, prompts);
    CKalvoraDlg window(engine, prompts, QString::fromStdString(work.path()));
    noAutomountSetting(window);
    window.initialise();
    // A fresh working folder: the defaults with the default filters, no error, no file yet.
    QVERIFY(boxes.texts.isEmpty());
    QVERIFY(fs::is_empty(work.path()));
    QCOMPARE(engine.filters.GetSize(), 14);
    // No tray offscreen: the icon is asked for all the same (a tray may start later), and
    // the window, shown instead, has a taskbar entry.
    QVERIFY(window.tray().icon().isVisible());
    QVERIFY(window.isVisible());
    QCOMPARE(window.windowType(), Qt::Window);

    // Without a tray nothing would bring a hidden window back: the window's close and "X"
    // minimise it, and a second start restores it.
    window.close();
    QVERIFY(window.isMinimized() && window.visibleFlag());
    window.showRequestedByAnotherStart();
    QVERIFY(window.isVisible() && !window.isMinimized());
    QTest::mouseClick(child<QPushButton>(&window, "hideButton"), Qt::LeftButton);
    QVERIFY(window.isMinimized());
    window.showRequestedByAnotherStart();
    QVERIFY(window.isVisible() && !window.isMinimized());

    const int collapsedHeight = window.sizeHint().height();
    QTest::mouseClick(child<QPushButton>(&window, "expandButton"), Qt::LeftButton);
    QVERIFY(window.jobList()->isVisible());
    QVERIFY(window.sizeHint().height() >= collapsedHeight + 90);
    QTest::mouseClick(child<QPushButton>(&window, "expandButton"), Qt::LeftButton);
    QVERIFY(!window.jobList()->isVisible());

    // A medium selection dialog with no optical medium: OK says so and starts nothing.
    // Meanwhile the tray menu greys what would open a second dialog.
    const auto optionsInTheTray = [&] { return window.tray().menu().actions().at(4); };
    QCOMPARE(optionsInTheTray()->text(), QStringLiteral("Options"));
    QVERIFY(optionsInTheTray()->isEnabled());
    bool greyedMeanwhile = false;
    bool stayedOpen = false;
    onNextModal([&](QWidget* modal) {
      greyedMeanwhile = !optionsInTheTray()->isEnabled();
      static_cast<QDialog*>(modal)->accept();
      stayedOpen = modal->isVisible();
      static_cast<QDialog*>(modal)->reject();
    });
    window.runManualStart();
    QVERIFY(!window.dialogOpen());
    QVERIFY(greyedMeanwhile);
    QVERIFY(stayedOpen);
    QCOMPARE(boxes.texts.size(), 1);
    QVERIFY(boxes.texts.takeFirst().startsWith(QStringLiteral("There is no medium")));
    QVERIFY(optionsInTheTray()->isEnabled());
    QCOMPARE(engine.jobs().size(), 0);

    // Stations changed in the options are in the tray menu once they close.
    onNextModal([&](QWidget* modal) {
      engine.stations.Add({"PACS", "AE", "127.0.0.1", 104});
      static_cast<QDialog*>(modal)->reject();
    });
    window.runOptions();
    QVERIFY(boxes.texts.isEmpty());
    QMenu* destinations = window.tray().menu().actions().at(0)->menu();
    QCOMPARE(destinations->actions().size(), 1);
    QCOMPARE(destinations->actions().at(0)->text(), QStringLiteral("PACS"));

    // The session manager asks to save (for a checkpoint too): saved, and Kalvora goes on.
    int exits = 0;
    connect(&window, &CKalvoraDlg::exitRequested, this, [&] { ++exits; });
    window.move(150, 160);
    window.commitSessionData();
    Configuration saved;
    QVERIFY(loadConfiguration(work.path(), saved).messages.empty());
    QCOMPARE(saved.stations.GetSize(), 1);
    QCOMPARE(saved.filters.GetSize(), 14);
    QCOMPARE(saved.settings.windowX, 150);
    QCOMPARE(exits, 0);
    QVERIFY(!window.exiting() && window.isVisible() && window.tray().icon().isVisible());
  }

  // Beside saved files, a missing or empty one is no first start: its message. The
  // defaults that stood in for it are not saved in its place at exit, so the next start (and
  // the command line) still find it damaged; the files that were read are saved.
  void aMissingOrEmptyFileBesideSavedOnesIsReported() {
    for (const bool empty : {false, true}) {
      TempDir work;
      Configuration config;
      config.settings.anonymize = 1;
      QVERIFY(!saveConfiguration(work.path(), config));
      if (empty)
        writeFileBytes(work / "stations.dat", "");
      else
        fs::remove(work / "stations.dat");
      MessageBoxRecorder boxes;
      QtMainThreadPoster mainThread;
      GuiPrompts prompts;
      KalvoraEngine engine(mainThread, prompts);
      CKalvoraDlg window(engine, prompts, QString::fromStdString(work.path()));
      noAutomountSetting(window);
      window.initialise();
      QCOMPARE(boxes.texts, QStringList{QStringLiteral("Error: No DICOM stations loaded")});
      QCOMPARE(engine.settings.anonymize, 1);
      QCOMPARE(fs::exists(work / "stations.dat"), empty);
      engine.settings.windowX = 321;
      window.commitSessionData();
      QCOMPARE(fs::exists(work / "stations.dat"), empty);
      if (empty) QCOMPARE(readFileBytes(work / "stations.dat"), std::string());
      Configuration saved;
      QCOMPARE(loadConfiguration(work.path(), saved).damagedFiles,
               std::vector<std::string>{"stations.dat"});
      QCOMPARE(saved.settings.anonymize, 1);
    }
  }
};

KALVORA_GUI_TEST(MainWindowTest);
#include "MainWindowTest.moc"
