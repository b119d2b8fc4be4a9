#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "GuiTestRegistry.h"
#include "MessageBoxRecorder.h"
#include "app/config/CStationsErrorDlg.h"

namespace {

template <typename Widget>
Widget* child(QWidget* parent, const char* name) {
  return parent->findChild<Widget*>(QString::fromLatin1(name));
}

void pressOk(QWidget* dialog) {
  QTest::mouseClick(child<QPushButton>(dialog, "okButton"), Qt::LeftButton);
}

}  // namespace

class StationChoiceDialogTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void definedStationsAreListedByAliasWithTheirIndex() {
    CStationArray stations;
    stations.Add({"b", "AE_B", "host-b", 104});
    stations.Add({"a", "AE_A", "host-a", 11112});
    MessageBoxRecorder boxes;
    CStationsErrorDlg dialog(stations);
    dialog.show();
    QCOMPARE(dialog.title(), QStringLiteral("Kalvora - No station selected"));
    QCOMPARE(dialog.helpFile(), QStringLiteral("help_error.txt"));
    auto* list = child<QComboBox>(&dialog, "stationList");
    QVERIFY(child<QRadioButton>(&dialog, "definedChoice")->isChecked());
    QCOMPARE(list->currentIndex(), -1);

    pressOk(&dialog);  // nothing chosen yet
    QCOMPARE(boxes.texts,
             QStringList{QStringLiteral("No station selected. Please, select a station.")});
    QVERIFY(dialog.isVisible());

    QCOMPARE(list->itemText(0), QStringLiteral("a"));
    list->setCurrentIndex(0);
    pressOk(&dialog);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.choiceKind(), 0);
    QCOMPARE(dialog.stationIndex(), 1);
    QCOMPARE(dialog.choice().aeTitle, std::string("AE_A"));
    QCOMPARE(dialog.choice().port, 11112);
  }

  // The options, reached from the tray, may change the list while the choice is open.
  void theStationChosenIsTheOneShownWhateverHappensToTheList() {
    CStationArray stations;
    stations.Add({"b", "AE_B", "host-b", 104});
    stations.Add({"a", "AE_A", "host-a", 11112});
    MessageBoxRecorder boxes;
    CStationsErrorDlg dialog(stations);
    dialog.show();
    child<QComboBox>(&dialog, "stationList")->setCurrentIndex(0);  // "a"
    stations.RemoveAt(1);
    stations.Add({"c", "AE_C", "host-c", 105});
    pressOk(&dialog);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.choice().aeTitle, std::string("AE_A"));
    QCOMPARE(dialog.choice().host, std::string("host-a"));
    QCOMPARE(dialog.choice().port, 11112);
  }

  void manualConfiguration() {
    CStationArray none;
    MessageBoxRecorder boxes;
    CStationsErrorDlg dialog(none);
    dialog.show();
    QVERIFY(child<QRadioButton>(&dialog, "manualChoice")->isChecked());
    QVERIFY(!child<QComboBox>(&dialog, "stationList")->isEnabled());

    const struct {
      const char* aeTitle;
      const char* address;
      const char* port;
      const char* message;
    } refused[] = {
        {"", "pacs", "104", "Error in data. AETitle or Address is empty."},
        {"PACS", "", "104", "Error in data. AETitle or Address is empty."},
        {"PACS", "pacs", "x", "Please enter an integer."},
        {"PACS", "pacs", "65001", "Please enter an integer between 0 and 65000."},
    };
    for (const auto& c : refused) {
      boxes.texts.clear();
      child<QLineEdit>(&dialog, "aeTitle")->setText(QString::fromLatin1(c.aeTitle));
      child<QLineEdit>(&dialog, "address")->setText(QString::fromLatin1(c.address));
      child<QLineEdit>(&dialog, "port")->setText(QString::fromLatin1(c.port));
      pressOk(&dialog);
      QCOMPARE(boxes.texts, QStringList{QString::fromLatin1(c.message)});
      QVERIFY(dialog.isVisible());
    }

    // A port of 0 is taken as it is.
    child<QLineEdit>(&dialog, "port")->setText(QStringLiteral("0"));
    pressOk(&dialog);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.choiceKind(), 1);
    QCOMPARE(dialog.choice().aeTitle, std::string("PACS"));
    QCOMPARE(dialog.choice().host, std::string("pacs"));
    QCOMPARE(dialog.choice().port, 0);
  }
};

KALVORA_GUI_TEST(StationChoiceDialogTest);
#include "StationChoiceDialogTest.moc"
