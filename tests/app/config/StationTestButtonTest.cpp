#include <QPushButton>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>

#include <chrono>
#include <filesystem>

#include "DialogDriving.h"
#include "GuiTestRegistry.h"
#include "MessageBoxRecorder.h"
#include "StoreScpPeer.h"
#include "TempDir.h"
#include "app/config/CStationsAddDlg.h"
#include "app/config/CStationsEditDlg.h"

namespace {

void typeStation(QWidget* dialog, const std::string& aeTitle, int port) {
  type(dialog, "alias", "PACS");
  type(dialog, "aeTitle", QString::fromStdString(aeTitle));
  type(dialog, "address", "127.0.0.1");
  type(dialog, "port", QString::number(port));
}

int threadsOfThisProcess() {
  int count = 0;
  for ([[maybe_unused]] const auto& task : std::filesystem::directory_iterator("/proc/self/task"))
    ++count;
  return count;
}

}  // namespace

// The "Test" button of the station dialogs: a C-ECHO to the station as typed, on a
// thread of its own, while the dialog goes on answering.
class StationTestButtonTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void reachesARunningStationAndSaysWhyNotForAClosedPort() {
    TempDir received;
    StoreScpPeer peer(received.path());
    AppSettings settings;
    settings.timeoutMs = 5000;
    CStationArray stations;
    stations.Add({"OLD", "WRONG_AE", "127.0.0.1", 1});
    for (bool add : {true, false}) {
      std::unique_ptr<StationFieldsDlg> dialog;
      if (add)
        dialog = std::make_unique<CStationsAddDlg>(stations, settings);
      else
        dialog = std::make_unique<CStationsEditDlg>(stations, 0, settings);
      dialog->show();
      auto* button = control<QPushButton>(dialog.get(), "testButton");
      QSignalSpy finished(dialog.get(), &StationFieldsDlg::testFinished);

      typeStation(dialog.get(), peer.aeTitle(), peer.port());
      QTest::mouseClick(button, Qt::LeftButton);
      QVERIFY(!button->isEnabled());
      QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 20000);
      QCOMPARE(finished.at(0).at(0).toBool(), true);
      QVERIFY2(dialog->testResult().startsWith(QStringLiteral("Reached.")),
               qPrintable(dialog->testResult()));
      QVERIFY(button->isEnabled());

      typeStation(dialog.get(), peer.aeTitle(), freeLoopbackPort());
      QTest::mouseClick(button, Qt::LeftButton);
      QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 2, 20000);
      QCOMPARE(finished.at(1).at(0).toBool(), false);
      QVERIFY2(dialog->testResult().startsWith(QStringLiteral("Could not reach the station")),
               qPrintable(dialog->testResult()));
    }
    // Testing stores nothing.
    QCOMPARE(stations.GetSize(), 1);
    QCOMPARE(stations[0].aeTitle, std::string("WRONG_AE"));
  }

  void aWrongPortIsRefusedBeforeAnythingIsSent() {
    AppSettings settings;
    CStationArray stations;
    CStationsAddDlg dialog(stations, settings);
    dialog.show();
    typeStation(&dialog, "AE", 0);
    MessageBoxRecorder boxes;
    dialog.testStation();
    QCOMPARE(boxes.texts, QStringList{"Please enter an integer between 1 and 65000."});
    QVERIFY(!dialog.testRunning());
  }

  void closingDuringATestDoesNotWaitForTheStation() {
    // A station that accepts the connection and then says nothing.
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress::LocalHost));
    AppSettings settings;
    settings.timeoutMs = 60000;
    CStationArray stations;
    auto dialog = std::make_unique<CStationsAddDlg>(stations, settings);
    dialog->show();
    typeStation(dialog.get(), "SILENT", silent.serverPort());
    const int threadsBefore = threadsOfThisProcess();
    dialog->testStation();
    QVERIFY(dialog->testRunning());
    QTest::qWait(200);
    const auto start = std::chrono::steady_clock::now();
    dialog.reset();
    QVERIFY(std::chrono::steady_clock::now() - start < std::chrono::seconds(5));
    // The test's thread is gone with the dialog: nothing may outlive the application.
    QCOMPARE(threadsOfThisProcess(), threadsBefore);
    QTest::qWait(100);  // a late report finds no dialog
  }
};

KALVORA_GUI_TEST(StationTestButtonTest);
#include "StationTestButtonTest.moc"
