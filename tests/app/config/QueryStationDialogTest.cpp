#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "DialogDriving.h"
#include "GuiTestRegistry.h"
#include "MessageBoxRecorder.h"
#include "StoreScpPeer.h"
#include "TempDir.h"
#include "app/config/COptionsDlg.h"
#include "app/config/CPasswordDlg.h"
#include "app/config/CQueryStationDlg.h"
#include "config/KalvoraSettings.h"

namespace {

struct Fixture {
  AppSettings settings;
  CStationArray stations;
  CRuleArray rules;
  CFilterArray filters;
  LiveConfiguration live() { return {settings, stations, rules, filters}; }
};

std::optional<QueryStation> storedStation(const TempDir& folder) {
  KalvoraSettings settings;
  if (loadKalvoraSettings(folder.path(), settings)) return std::nullopt;
  return settings.queryStation;
}

}  // namespace

class QueryStationDialogTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void init() { QVERIFY(!QApplication::activeModalWidget()); }

  // Behind the configuration password, beside the station list; OK writes kalvora.json.
  void theOptionsButtonSetsUpAndRemovesTheStation() {
    TempDir work;
    Fixture f;
    COptionsDlg options(f.live());
    QVERIFY(!options.findChild<QPushButton*>(QStringLiteral("queryStationButton")));
    options.setWorkingFolder(work.path());
    options.show();
    QPushButton* button = control<QPushButton>(&options, "queryStationButton");
    QCOMPARE(button->text(), QStringLiteral("Query station"));

    // A wrong password opens nothing.
    whileModal([&] { QTest::mouseClick(button, Qt::LeftButton); },
               [](QWidget* password) {
                 QVERIFY(qobject_cast<CPasswordDlg*>(password));
                 static_cast<QDialog*>(password)->reject();
               });
    QVERIFY(!storedStation(work));

    const auto withPassword = [](std::function<void(CQueryStationDlg*)> handle) {
      return [handle](QWidget* password) {
        type(password, "password", "TRELIMSOPAX");
        onNextModal([handle](QWidget* modal) {
          auto* dialog = qobject_cast<CQueryStationDlg*>(modal);
          QVERIFY(dialog);
          handle(dialog);
        });
        static_cast<QDialog*>(password)->accept();
      };
    };
    whileModal([&] { QTest::mouseClick(button, Qt::LeftButton); },
               withPassword([](CQueryStationDlg* dialog) {
                 QCOMPARE(dialog->title(), QStringLiteral("Kalvora - Query station"));
                 type(dialog, "aeTitle", "PACS");
                 type(dialog, "host", "127.0.0.1");
                 type(dialog, "port", "4242");
                 control<QComboBox>(dialog, "model")->setCurrentIndex(1);
                 dialog->accept();
               }));
    const std::optional<QueryStation> stored = storedStation(work);
    QVERIFY(stored.has_value());
    QVERIFY((*stored == QueryStation{"PACS", "127.0.0.1", 4242, QueryModel::PatientRoot, {}}));

    // Shown again as stored; "Remove" and OK take it away.
    whileModal([&] { QTest::mouseClick(button, Qt::LeftButton); },
               withPassword([](CQueryStationDlg* dialog) {
                 QCOMPARE(textOf(dialog, "aeTitle"), QStringLiteral("PACS"));
                 QCOMPARE(textOf(dialog, "port"), QStringLiteral("4242"));
                 QCOMPARE(control<QComboBox>(dialog, "model")->currentIndex(), 1);
                 QTest::mouseClick(control<QPushButton>(dialog, "removeButton"), Qt::LeftButton);
                 dialog->accept();
               }));
    QVERIFY(!storedStation(work));
  }

  void aStationThatCannotBeUsedIsRefusedAndNothingIsWritten() {
    TempDir work;
    AppSettings settings;
    const struct {
      const char* aeTitle;
      const char* port;
      const char* message;
    } cases[] = {
        {"PACS", "0", "Please enter an integer between 1 and 65000."},
        {"PACS", "x", "Please enter an integer."},
        {"", "104", "The query station needs an AE title and a host."},
    };
    for (const auto& c : cases) {
      MessageBoxRecorder boxes;
      CQueryStationDlg dialog(work.path(), settings);
      dialog.show();
      type(&dialog, "aeTitle", QString::fromLatin1(c.aeTitle));
      type(&dialog, "host", "ris");
      type(&dialog, "port", QString::fromLatin1(c.port));
      QTest::mouseClick(control<QPushButton>(&dialog, "okButton"), Qt::LeftButton);
      QVERIFY(dialog.isVisible());
      QCOMPARE(boxes.texts, QStringList{QString::fromLatin1(c.message)});
      QVERIFY(!storedStation(work));
    }
  }

  void testEchoesTheTypedStation() {
    TempDir work;
    StoreScpPeer peer(work.path());
    AppSettings settings;
    settings.timeoutMs = 5000;
    CQueryStationDlg dialog(work.path(), settings);
    dialog.show();
    type(&dialog, "aeTitle", "STORESCP");
    type(&dialog, "host", "127.0.0.1");
    type(&dialog, "port", QString::number(peer.port()));
    QSignalSpy finished(&dialog, &CQueryStationDlg::testFinished);
    QTest::mouseClick(control<QPushButton>(&dialog, "testButton"), Qt::LeftButton);
    QVERIFY(finished.wait(20000));
    QCOMPARE(finished.at(0).at(0).toBool(), true);
    QVERIFY(dialog.testResult().startsWith(QStringLiteral("Reached.")));
  }
};

KALVORA_GUI_TEST(QueryStationDialogTest);
#include "QueryStationDialogTest.moc"
