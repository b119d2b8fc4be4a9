#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <filesystem>
#include <memory>

#include "DicomFixtures.h"
#include "GuiTestRegistry.h"
#include "MessageBoxRecorder.h"
#include "ModalWatcher.h"
#include "StoreScpPeer.h"
#include "TempDir.h"
#include "app/config/COptionsDlg.h"
#include "app/config/CPasswordDlg.h"
#include "app/config/CStationsDlg.h"
#include "app/media/CQueryNewPatientIDDlg.h"
#include "app/shell/CKalvoraDlg.h"
#include "app/shell/GuiPrompts.h"
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

void close(QWidget* dialog, bool ok) {
  if (ok)
    static_cast<QDialog*>(dialog)->accept();
  else
    static_cast<QDialog*>(dialog)->reject();
}

CQueryNewPatientIDDlg* openPatientQuestion() {
  for (QWidget* widget : QApplication::topLevelWidgets())
    if (auto* dialog = qobject_cast<CQueryNewPatientIDDlg*>(widget); dialog && dialog->isVisible())
      return dialog;
  return nullptr;
}

int filesIn(const std::string& folder) {
  int count = 0;
  for (const auto& entry : fs::recursive_directory_iterator(folder))
    count += entry.is_regular_file() ? 1 : 0;
  return count;
}

std::vector<std::string> recordsIn(const std::string& file) {
  std::vector<std::string> lines;
  const std::string text = readFileBytes(file);
  for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    lines.push_back(text.substr(start, end - start));
  return lines;
}

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

}  // namespace

// The options reached from the main window and the tray: refused while a job works; what
// they change is in effect for the next job, in the window and tray, and in the files
// saved at exit. The change, the job's read and its send are in the audit trail.
class OptionsFromTheTrayTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void changesReachTheNextJobAndTheSavedFiles() {
    TempDir work;
    fs::create_directories(work / "received");
    fs::create_directories(work / "medium");
    fs::create_directories(work / "config");
    for (int i = 0; i < 2; ++i) writeFixtureImage(work / ("medium/IM" + std::to_string(i)));
    StoreScpPeer peer(work / "received");
    {
      Configuration config;
      config.settings.tempFolder = work / "jobs/";
      config.settings.stayOnTop = 1;
      config.settings.sendToStandardDestination = 1;
      config.settings.standardDestination = 0;
      config.settings.askForNewPatientData = 1;
      config.settings.timeoutMs = 5000;
      config.stations.Add({"Old PACS", "GONE", "127.0.0.1", freeLoopbackPort()});
      QVERIFY(!saveConfiguration(work / "config", config));
    }
    const std::string trail = work / "audit.log";
    writeFileBytes(work / "config/kalvora.json", "{\"audit\": {\"file\": \"" + trail + "\"}}");
    MessageBoxRecorder boxes;
    QtMainThreadPoster mainThread;
    GuiPrompts prompts;
    KalvoraEngine engine(mainThread, prompts);
    CKalvoraDlg window(engine, prompts, QString::fromStdString(work / "config"));
    window.setAutomountControl([] { return AutomountSetting::Absent; }, [] { return false; });
    // Whatever fails below, no question keeps the scan waiting when all this goes.
    const std::unique_ptr<GuiPrompts, void (*)(GuiPrompts*)> cancelQuestions(
        &prompts, [](GuiPrompts* open) { open->cancelAll(); });
    window.initialise();
    QVERIFY(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));

    // "...": a station is added behind the password and becomes the standard destination;
    // the window no longer stays on top, and jobs go to a new folder.
    onNextModal([&](QWidget* modal) {
      auto* options = qobject_cast<COptionsDlg*>(modal);
      QVERIFY(options);
      QVERIFY(window.dialogOpen());
      onNextModal([&](QWidget* password) {
        child<QLineEdit>(password, "password")->setText(QStringLiteral("TRELIMSOPAX"));
        onNextModal([&](QWidget* stations) {
          QVERIFY(qobject_cast<CStationsDlg*>(stations));
          onNextModal([&](QWidget* add) {
            child<QLineEdit>(add, "alias")->setText(QStringLiteral("Archive"));
            child<QLineEdit>(add, "aeTitle")->setText(QString::fromStdString(peer.aeTitle()));
            child<QLineEdit>(add, "address")->setText(QStringLiteral("127.0.0.1"));
            child<QLineEdit>(add, "port")->setText(QString::number(peer.port()));
            close(add, true);
          });
          static_cast<CStationsDlg*>(stations)->addStation();
          close(stations, true);
        });
        close(password, true);
      });
      options->editStations();
      auto* destination = child<QComboBox>(options, "standardDestination");
      destination->setCurrentIndex(destination->findText(QStringLiteral("Archive")));
      child<QCheckBox>(options, "stayOnTop")->setChecked(false);
      child<QLineEdit>(options, "tempFolder")->setText(QString::fromStdString(work / "jobs2"));
      close(options, true);
    });
    QTest::mouseClick(child<QPushButton>(&window, "optionsButton"), Qt::LeftButton);
    QVERIFY(!window.dialogOpen());
    QVERIFY(boxes.texts.isEmpty());
    QVERIFY(!window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QCOMPARE(window.tray().toolTip(), QStringLiteral("Kalvora 2.1 RC5\nDestination: Archive"));
    // The audit trail names the files the change is written to.
    const std::string uri = "file://" + work / "config/";
    QCOMPARE(recordsIn(trail).size(), size_t(1));
    QVERIFY(contains(recordsIn(trail)[0], "<EventID csd-code=\"110113\""));
    QVERIFY(contains(recordsIn(trail)[0], uri + "config.dat\""));
    QVERIFY(contains(recordsIn(trail)[0], uri + "stations.dat\""));
    QVERIFY(!contains(recordsIn(trail)[0], uri + "rules.dat\""));

    // The tray's "Options", cancelled, changes nothing.
    bool opened = false;
    onNextModal([&](QWidget* modal) {
      opened = qobject_cast<COptionsDlg*>(modal) != nullptr;
      child<QCheckBox>(modal, "stayOnTop")->setChecked(true);
      close(modal, false);
    });
    Q_EMIT window.tray().optionsRequested();
    QVERIFY(opened);
    QCOMPARE(engine.settings.stayOnTop, 0);
    QCOMPARE(recordsIn(trail).size(), size_t(1));

    // The next job goes below the new folder, to the new destination. While it works the
    // options stay shut.
    const std::string job = engine.StartScan(work / "medium");
    QCOMPARE(job.rfind(work / "jobs2/", 0), 0u);
    QTRY_VERIFY(openPatientQuestion() != nullptr);
    window.runOptions();
    QCOMPARE(boxes.texts, QStringList{QStringLiteral("Can't change the options while running!")});
    CQueryNewPatientIDDlg* question = openPatientQuestion();
    child<QLineEdit>(question, "newPatientId")->setText(QStringLiteral("LOCAL-78"));
    QTest::mouseClick(child<QPushButton>(question, "okButton"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!engine.counters().busy, 30000);
    QCOMPARE(filesIn(work / "received"), 2);
    QCOMPARE(recordsIn(trail).size(), size_t(3));
    QVERIFY(contains(recordsIn(trail)[1], "<EventID csd-code=\"110107\""));
    QVERIFY(contains(recordsIn(trail)[2], "<EventID csd-code=\"110104\""));
    QVERIFY(contains(recordsIn(trail)[2], "ParticipantObjectID=\"LOCAL-78\""));

    // Saved at exit.
    QVERIFY(window.PrepareExit(false));
    Configuration saved;
    QVERIFY(loadConfiguration(work / "config", saved).messages.empty());
    QCOMPARE(saved.settings.tempFolder, work / "jobs2");
    QCOMPARE(saved.settings.stayOnTop, 0);
    QCOMPARE(saved.settings.standardDestination, 1);
    QCOMPARE(saved.stations.GetSize(), 2);
    QCOMPARE(saved.stations[1].alias, std::string("Archive"));
  }
};

KALVORA_GUI_TEST(OptionsFromTheTrayTest);
#include "OptionsFromTheTrayTest.moc"
