#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

#include <filesystem>
#include <future>
#include <set>

#include "DicomFixtures.h"
#include "GuiTestRegistry.h"
#include "MessageBoxRecorder.h"
#include "ModalWatcher.h"
#include "StoreScpPeer.h"
#include "TempDir.h"
#include "app/config/COptionsDlg.h"
#include "app/media/CQueryNewPatientIDDlg.h"
#include "app/shell/CKalvoraDlg.h"
#include "app/shell/CStatusDlg.h"
#include "app/shell/GuiPrompts.h"
#include "app/shell/Icons.h"
#include "app/shell/KalvoraTray.h"
#include "app/shell/QtMainThreadPoster.h"
#include "config/ConfigFiles.h"
#include "jobs/KalvoraEngine.h"

namespace fs = std::filesystem;

namespace {

template <typename Widget>
Widget* child(QWidget* parent, const char* name) {
  return parent->findChild<Widget*>(QString::fromLatin1(name));
}

CQueryNewPatientIDDlg* openPatientQuestion() {
  for (QWidget* widget : QApplication::topLevelWidgets())
    if (auto* dialog = qobject_cast<CQueryNewPatientIDDlg*>(widget); dialog && dialog->isVisible())
      return dialog;
  return nullptr;
}

// The first job's status; empty until the scan has reported its start.
std::string firstJobStatus(const KalvoraEngine& engine) {
  return engine.jobs().size() > 0 ? engine.jobs()[0].status : std::string();
}

QImage pictureOf(const QIcon& icon) { return icon.pixmap(QSize(16, 16), 1.0).toImage(); }

// The main window over a real engine, its configuration in `work`/config, a medium of three
// images of one patient in `work`/medium, sending to one station.
struct Desk {
  Desk(const TempDir& work, int stationPort, bool askForNewPatientData = false)
      : window(engine, prompts, QString::fromStdString(work / "config")) {
    fs::create_directories(work / "medium");
    fs::create_directories(work / "config");
    for (const char* name : {"IM1", "IM2", "IM3"})
      writeFixtureImage(work / (std::string("medium/") + name));
    Configuration config;
    config.settings.tempFolder = work / "jobs/";
    config.settings.startMinimized = 1;
    config.settings.sendToStandardDestination = 1;
    config.settings.standardDestination = 0;
    config.settings.askForNewPatientData = askForNewPatientData;
    config.settings.timeoutMs = 100000;
    config.stations.Add({"PACS", "STORESCP", "127.0.0.1", stationPort});
    if (saveConfiguration(work / "config", config)) throw std::runtime_error("no configuration");
    window.setAutomountControl([] { return AutomountSetting::Absent; }, [] { return false; });
    window.initialise();
  }
  ~Desk() { prompts.cancelAll(); }

  MessageBoxRecorder boxes;
  QtMainThreadPoster mainThread;
  GuiPrompts prompts;
  KalvoraEngine engine{mainThread, prompts};
  CKalvoraDlg window;
};

}  // namespace

// What the clerk sees of each medium: its state in the list, a notification when it is done,
// questions in view and answerable, a window that never waits on a worker.
class WhatTheClerkSeesTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void everyJobStateHasItsOwnIcon() {
    std::set<QByteArray> pictures;
    for (JobStatus status : {JobStatus::Copying, JobStatus::Pending, JobStatus::Sending,
                             JobStatus::Finished, JobStatus::Stopped, JobStatus::Failed}) {
      const QImage picture = pictureOf(Icons::jobState(jobStatusText(status)));
      QVERIFY2(!picture.isNull(), jobStatusText(status));
      pictures.insert(QByteArray(reinterpret_cast<const char*>(picture.constBits()),
                                 static_cast<int>(picture.sizeInBytes())));
    }
    QCOMPARE(pictures.size(), size_t(6));
  }

  // A delivered medium: its row says so, and the tray tells which images went where.
  void aDeliveredMediumIsToldWithItsImagesAndStation() {
    TempDir work;
    fs::create_directories(work / "received");
    StoreScpPeer peer(work / "received");
    Desk desk(work, peer.port());
    QTreeWidget* list = desk.window.jobList();
    std::vector<std::string> rowStates;
    connect(list->model(), &QAbstractItemModel::dataChanged, this, [&] {
      const std::string state = list->topLevelItem(0)->text(2).toStdString();
      if (!state.empty() && (rowStates.empty() || rowStates.back() != state))
        rowStates.push_back(state);
    });
    desk.window.mediaArrived(work / "medium");
    QTRY_COMPARE_WITH_TIMEOUT(firstJobStatus(desk.engine), std::string("Finished"), 30000);
    QCOMPARE(rowStates, (std::vector<std::string>{"Copying", "Pending", "Sending", "Finished"}));
    QVERIFY(pictureOf(list->topLevelItem(0)->icon(0)) == pictureOf(Icons::jobState("Finished")));
    QTRY_COMPARE(desk.window.tray().lastNotification(),
                 QStringLiteral("Kalvora - Media #1\n3 images of Doe John stored at PACS"));
    desk.window.tray().AnimateTray();
    QCOMPARE(desk.window.tray().iconName(), QStringLiteral("idle"));
  }

  // A medium the station refused: the tray says why and that it is kept, its icon asks for
  // attention, and the status window follows "Send again" to the next failure by itself.
  void anUndeliveredMediumIsToldAndTheStatusWindowFollowsItsNextTry() {
    TempDir work;
    fs::create_directories(work / "received");
    StoreScpPeer refusing(work / "received", {"--refuse"});
    Desk desk(work, refusing.port());
    desk.window.mediaArrived(work / "medium");
    QTRY_COMPARE_WITH_TIMEOUT(firstJobStatus(desk.engine), std::string("Failed"), 30000);
    QTRY_VERIFY(!desk.window.tray().lastNotification().isEmpty());
    const QString told = desk.window.tray().lastNotification();
    QVERIFY2(told.startsWith(QStringLiteral("Kalvora - Media #1\nDoe John not delivered: ")),
             qPrintable(told));
    QVERIFY2(told.contains(QStringLiteral("kept")), qPrintable(told));
    QTRY_VERIFY(!desk.engine.counters().busy);
    desk.window.tray().AnimateTray();
    QCOMPARE(desk.window.tray().iconName(), QStringLiteral("attention"));
    QVERIFY(pictureOf(desk.window.jobList()->topLevelItem(0)->icon(0)) ==
            pictureOf(Icons::jobState("Failed")));

    desk.window.jobList()->setCurrentItem(desk.window.jobList()->topLevelItem(0));
    QString logShown, logOfTheJob;
    bool sendAgainShownAgain = false;
    onNextModalOf<CStatusDlg>([&](CStatusDlg* status) {
      const size_t logBefore = desk.engine.jobs()[0].log.size();
      QTest::mouseClick(child<QPushButton>(status, "sendAgainButton"), Qt::LeftButton);
      // Failed again, and shown so without stepping away and back.
      QTRY_VERIFY_WITH_TIMEOUT(status->jobStatus() == QLatin1String("Failed") &&
                                   desk.engine.jobs()[0].log.size() > logBefore &&
                                   !desk.engine.counters().busy,
                               30000);
      logShown = status->logText();
      logOfTheJob = QString::fromStdString(desk.engine.jobs()[0].log).remove(QLatin1Char('\r'));
      sendAgainShownAgain = child<QPushButton>(status, "sendAgainButton")->isVisible();
      status->accept();
    });
    desk.window.runStatus();
    QCOMPARE(logShown, logOfTheJob);
    QVERIFY(sendAgainShownAgain);
  }

  // While the Options dialog is open, a worker's question is above everything and answerable,
  // and names the medium it is about.
  void aQuestionIsAnswerableWhileTheOptionsAreOpen() {
    TempDir work;
    fs::create_directories(work / "received");
    StoreScpPeer peer(work / "received");
    Desk desk(work, peer.port(), true);
    desk.engine.setSendAfterScan(false);
    Qt::WindowModality optionsModality = Qt::NonModal;
    QString about;
    bool onTop = false;
    onNextModalOf<COptionsDlg>([&](COptionsDlg* options) {
      optionsModality = options->windowModality();
      desk.window.mediaArrived(work / "medium");
      QTRY_VERIFY(openPatientQuestion() != nullptr);
      CQueryNewPatientIDDlg* question = openPatientQuestion();
      onTop = question->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
      about = question->aboutLine();
      // Typed and clicked as the clerk would: input to a blocked window would be dropped.
      QTest::keyClicks(child<QLineEdit>(question, "newPatientId"), QStringLiteral("LOCAL-1"));
      QTest::mouseClick(child<QPushButton>(question, "okButton"), Qt::LeftButton);
      QTRY_VERIFY_WITH_TIMEOUT(firstJobStatus(desk.engine) == "Pending", 30000);
      options->reject();
    });
    desk.window.runOptions();
    QCOMPARE(optionsModality, Qt::WindowModal);
    QVERIFY(onTop);
    QCOMPARE(about, QStringLiteral("Media #1, medium ") + QString::fromStdString(work / "medium"));
    QCOMPARE(desk.engine.jobs()[0].patients.at(0).patientId, std::string("LOCAL-1"));
  }

  // Stop on a send that waits for a station's answer returns at once; the button shows the
  // stop under way until the send's last report, which keeps the job.
  void stopReturnsAtOnceAndEndsOnTheLastReport() {
    TempDir work;
    TempDir scratch;
    const std::string arrived = scratch / "arrived";
    fs::create_directories(work / "received");
    StoreScpPeer stalling(work / "received", {"--exec-on-reception",
                                              "touch '" + arrived + "'; sleep 300", "--exec-sync"});
    Desk desk(work, stalling.port());
    desk.window.mediaArrived(work / "medium");
    QTRY_VERIFY_WITH_TIMEOUT(fs::exists(arrived), 30000);
    auto* stop = child<QToolButton>(&desk.window, "stopSendsButton");
    QTRY_VERIFY(stop->isEnabled());

    QTest::mouseClick(stop, Qt::LeftButton);
    // Back from the click while the send still runs: nothing waited for it.
    QVERIFY(desk.engine.isJobActive(desk.engine.jobs()[0].jobFolder));
    QVERIFY(stop->isChecked() && !stop->isEnabled());
    QCOMPARE(stop->toolTip(), QStringLiteral("Stopping..."));

    QTRY_VERIFY_WITH_TIMEOUT(!desk.engine.sendStopping(), 30000);
    QVERIFY(!stop->isChecked());
    QCOMPARE(stop->toolTip(), QStringLiteral("Stop sending"));
    QCOMPARE(desk.engine.jobs()[0].status, std::string("Failed"));
    QVERIFY(fs::exists(desk.engine.jobs()[0].jobFolder));  // kept, to be sent again
  }
};

KALVORA_GUI_TEST(WhatTheClerkSeesTest);
#include "WhatTheClerkSeesTest.moc"
