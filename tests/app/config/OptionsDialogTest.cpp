#include <sys/stat.h>
#include <unistd.h>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QTest>

#include <filesystem>

#include "DialogDriving.h"
#include "GuiTestRegistry.h"
#include "MessageBoxRecorder.h"
#include "TempDir.h"
#include "app/config/CDicomDlg.h"
#include "app/config/CFiltersDlg.h"
#include "app/config/CFolderBrowser.h"
#include "app/config/COptionsDlg.h"
#include "app/config/CPasswordDlg.h"
#include "app/config/CStationsDlg.h"
#include "app/media/CEditAnonymizeDataDlg.h"

namespace fs = std::filesystem;

namespace {

const QString kNoStationsQuestion = QStringLiteral(
    "There are no DICOM stations defined. You can not\ndefine a rule.\n\nDo you want to define a "
    "DICOM station now.");

struct Fixture {
  AppSettings settings;
  CStationArray stations;
  CRuleArray rules;
  CFilterArray filters;
  LiveConfiguration live() { return {settings, stations, rules, filters}; }
};

mode_t modeOf(const std::string& path) {
  struct stat info {};
  stat(path.c_str(), &info);
  return info.st_mode & 07777;
}

// Answers the password dialog with the password, then hands the guarded dialog on.
std::function<void(QWidget*)> withPassword(std::function<void(QWidget*)> guarded) {
  return [guarded](QWidget* password) {
    QVERIFY(qobject_cast<CPasswordDlg*>(password));
    type(password, "password", "TRELIMSOPAX");
    onNextModal(guarded);
    static_cast<QDialog*>(password)->accept();
  };
}

}  // namespace

class OptionsDialogTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void init() { QVERIFY(!QApplication::activeModalWidget()); }

  void destinationListSelectsTheStationAtTheStoredIndex() {
    Fixture f;
    f.stations.Add({"b", "B", "hb", 104});
    f.stations.Add({"c", "C", "hc", 104});
    f.stations.Add({"a", "A", "ha", 104});
    for (int stored : {1, -1, 3}) {
      f.settings.standardDestination = stored;
      COptionsDlg dialog(f.live());
      auto* box = control<QComboBox>(&dialog, "standardDestination");
      QCOMPARE(box->itemText(0), QStringLiteral("a"));
      QCOMPARE(box->currentText(), stored == 1 ? QStringLiteral("c") : QString());
      dialog.accept();
      QCOMPARE(f.settings.standardDestination, stored == 1 ? 1 : -1);
    }
    COptionsDlg dialog(f.live());
    control<QComboBox>(&dialog, "standardDestination")->setCurrentIndex(0);  // "a"
    dialog.accept();
    QCOMPARE(f.settings.standardDestination, 2);
  }

  void warnsWhileTheStandardDestinationIsTickedWithoutAStation() {
    Fixture f;
    f.stations.Add({"PACS", "P", "hp", 104});
    f.settings.standardDestination = -1;  // as after the first station is added
    COptionsDlg dialog(f.live());
    auto* warning = control<QLabel>(&dialog, "noDestinationWarning");
    auto* send = control<QCheckBox>(&dialog, "sendToStandardDestination");
    auto* box = control<QComboBox>(&dialog, "standardDestination");
    QVERIFY(send->isChecked());
    QVERIFY(!warning->isHidden());
    box->setCurrentIndex(0);
    QVERIFY(warning->isHidden());
    box->setCurrentIndex(-1);
    send->setChecked(false);
    QVERIFY(warning->isHidden());
  }

  void cancelKeepsTheSettingsWhileSubDialogChangesStay() {
    Fixture f;
    COptionsDlg dialog(f.live());
    dialog.show();
    auto* verbose = control<QCheckBox>(&dialog, "verbose");
    verbose->setChecked(true);

    whileModal([&] { dialog.editFilters(); },
               [](QWidget* filters) {
                 QVERIFY(qobject_cast<CFiltersDlg*>(filters));
                 MessageBoxRecorder yes(true);
                 static_cast<CFiltersDlg*>(filters)->resetList();
                 static_cast<QDialog*>(filters)->accept();
               });
    whileModal([&] { dialog.editAnonymization(); },
               [](QWidget* anonymization) {
                 QVERIFY(qobject_cast<CEditAnonymizeDataDlg*>(anonymization));
                 control<QCheckBox>(anonymization, "anonymizePhysicians")->setChecked(true);
                 static_cast<QDialog*>(anonymization)->accept();
               });
    whileModal([&] { dialog.editDicomOptions(); }, withPassword([](QWidget* dicom) {
                 QVERIFY(qobject_cast<CDicomDlg*>(dicom));
                 type(dicom, "aeTitle", "FRONTDESK");
                 static_cast<QDialog*>(dicom)->accept();
               }));
    QVERIFY(verbose->isChecked());  // unsaved edits survive the sub-dialogs

    dialog.reject();
    QCOMPARE(f.settings.verbose, 0);
    QCOMPARE(f.filters.GetSize(), 14);
    QCOMPARE(f.settings.anonymizePhysicians, 1);
    QCOMPARE(f.settings.callingAeTitle, std::string("FRONTDESK"));
  }

  void editRulesWithoutStationsOffersToDefineOne() {
    Fixture f;
    COptionsDlg dialog(f.live());
    dialog.show();
    {
      MessageBoxRecorder no(false);
      dialog.editRules();
      QCOMPARE(no.texts, QStringList{kNoStationsQuestion});
      QVERIFY(!QApplication::activeModalWidget());
    }
    MessageBoxRecorder yes(true);
    bool passwordAsked = false;
    whileModal([&] { dialog.editRules(); },
               [&](QWidget* password) {
                 passwordAsked = qobject_cast<CPasswordDlg*>(password) != nullptr;
                 static_cast<QDialog*>(password)->reject();
               });
    QVERIFY(passwordAsked);
  }

  void stationListVisitRefillsTheDestinationsFromTheStoredIndex() {
    Fixture f;
    f.stations.Add({"PACS", "P", "hp", 104});
    f.stations.Add({"Archive", "A", "ha", 104});
    f.settings.standardDestination = 0;
    COptionsDlg dialog(f.live());
    dialog.show();
    auto* box = control<QComboBox>(&dialog, "standardDestination");
    box->setCurrentIndex(box->findText(QStringLiteral("Archive")));

    // A cancelled password changes nothing, not even the choice just made.
    whileModal([&] { dialog.editStations(); },
               [](QWidget* password) { static_cast<QDialog*>(password)->reject(); });
    QCOMPARE(box->currentText(), QStringLiteral("Archive"));

    whileModal([&] { dialog.editStations(); }, withPassword([](QWidget* stations) {
                 QVERIFY(qobject_cast<CStationsDlg*>(stations));
                 onNextModal([](QWidget* add) {
                   type(add, "alias", "Cardio");
                   type(add, "aeTitle", "CARDIO");
                   type(add, "address", "cardio");
                   type(add, "port", "4006");
                   static_cast<QDialog*>(add)->accept();
                 });
                 static_cast<CStationsDlg*>(stations)->addStation();
                 static_cast<QDialog*>(stations)->accept();
               }));
    QCOMPARE(box->count(), 3);
    QCOMPARE(box->itemText(1), QStringLiteral("Cardio"));
    QCOMPARE(box->currentText(), QStringLiteral("PACS"));
  }

  void typedTempFolderIsStoredWithoutOneTrailingSeparator() {
    TempDir temp;
    writeFileBytes(temp / "file", "x");
    struct Case {
      std::string typed;
      std::string stored;  // empty with a message: refused
      QString message;
    };
    const std::string file = temp / "file";
    const Case cases[] = {
        {temp / "jobs/", temp / "jobs", {}},
        {temp / "jobs2//", temp / "jobs2/", {}},
        {"", "", {}},  // jobs then go to the default folder
        // The root folder is root's own: anyone else is refused it.
        {"/", geteuid() == 0 ? "/" : "",
         geteuid() == 0 ? QString() : QStringLiteral("The temporary folder '/' is refused: ")},
        {"/tmp", "", QStringLiteral("The temporary folder '/tmp' is refused: ")},
        {"jobs", "", QStringLiteral("The folder:\n\njobs\n\nis invalid. Please reenter.")},
        {file + "/jobs", "",
         QStringLiteral("The folder:\n\n%1\n\ncan not be created. Please double check.")
             .arg(QString::fromStdString(file + "/jobs"))},
    };
    for (const Case& c : cases) {
      Fixture f;
      f.settings.tempFolder = "/unchanged";
      COptionsDlg dialog(f.live());
      dialog.show();
      QApplication::setActiveWindow(&dialog);
      type(&dialog, "tempFolder", QString::fromStdString(c.typed));
      MessageBoxRecorder boxes;
      dialog.accept();
      if (c.message.isEmpty()) {
        QVERIFY(boxes.texts.isEmpty());
        QCOMPARE(f.settings.tempFolder, c.stored);
      } else {
        QCOMPARE(boxes.texts.size(), 1);
        QVERIFY2(boxes.texts.first().startsWith(c.message), qPrintable(boxes.texts.first()));
        QVERIFY(dialog.isVisible());
        QVERIFY(control<QLineEdit>(&dialog, "tempFolder")->hasFocus());
        QCOMPARE(f.settings.tempFolder, std::string("/unchanged"));
      }
    }
  }

  void typedTempFolderIsCreatedPrivate() {
    TempDir temp;
    Fixture f;
    COptionsDlg dialog(f.live());
    type(&dialog, "tempFolder", QString::fromStdString(temp / "a/b"));
    const mode_t previous = umask(0);
    dialog.accept();
    umask(previous);
    QCOMPARE(f.settings.tempFolder, temp / "a/b");
    QCOMPARE(modeOf(temp / "a"), mode_t(0700));
    QCOMPARE(modeOf(temp / "a/b"), mode_t(0700));
  }

  void noteFollowsTheCompressionBoxAndOkStoresEveryBox() {
    Fixture f;
    COptionsDlg dialog(f.live());
    auto* compressed = control<QCheckBox>(&dialog, "noCompressedTransfer");
    auto* note = control<QLabel>(&dialog, "compressionNote");
    QVERIFY(compressed->isChecked());
    QVERIFY(note->isEnabled());
    compressed->setChecked(false);
    QVERIFY(!note->isEnabled());

    const char* boxes[] = {"useExtensionFilter", "startMinimized", "openTrayAfterReading",
                           "stayOnTop",          "verbose",        "sendToStandardDestination",
                           "useForwardRules",    "anonymize",      "askForNewPatientData"};
    for (const char* name : boxes) {
      auto* box = control<QCheckBox>(&dialog, name);
      box->setChecked(!box->isChecked());
    }
    const AppSettings before = f.settings;
    dialog.accept();
    const AppSettings& after = f.settings;
    QCOMPARE(after.useExtensionFilter, 1 - before.useExtensionFilter);
    QCOMPARE(after.startMinimized, 1 - before.startMinimized);
    QCOMPARE(after.openTrayAfterReading, 1 - before.openTrayAfterReading);
    QCOMPARE(after.stayOnTop, 1 - before.stayOnTop);
    QCOMPARE(after.verbose, 1 - before.verbose);
    QCOMPARE(after.sendToStandardDestination, 1 - before.sendToStandardDestination);
    QCOMPARE(after.useForwardRules, 1 - before.useForwardRules);
    QCOMPARE(after.anonymize, 1 - before.anonymize);
    QCOMPARE(after.askForNewPatientData, 1 - before.askForNewPatientData);
    QCOMPARE(after.noCompressedTransfer, 0);
  }

  void folderBrowserStaysOpenUntilTheFolderIsUsable() {
    TempDir temp;
    CFolderBrowser browser(QString::fromStdString(temp / "missing/deeper"));
    browser.show();
    // Opens on the start folder, or the nearest one above it that exists.
    QCOMPARE(browser.pathField()->text(), QString::fromStdString(temp.path()));
    QVERIFY(browser.okEnabled());
    QTest::keyClicks(browser.pathField(), "x");
    browser.pathField()->selectAll();
    QTest::keyClick(browser.pathField(), Qt::Key_Delete);
    QVERIFY(!browser.okEnabled());
    MessageBoxRecorder boxes(false);

    browser.pathField()->setText(QString::fromStdString(temp.path() + "/"));
    browser.accept();
    QCOMPARE(boxes.texts.size(), 1);
    QVERIFY(boxes.texts.last().endsWith(QStringLiteral("is invalid. Please reenter.")));
    QVERIFY(browser.isVisible());

    // A missing folder: declining keeps the browser open; Yes creates it, private.
    browser.pathField()->setText(QString::fromStdString(temp / "new..jobs"));
    browser.accept();
    QCOMPARE(boxes.texts.size(), 2);
    QVERIFY(boxes.texts.last().endsWith(
        QStringLiteral("does not exist. Do you want the folder to be created?")));
    QVERIFY(browser.isVisible());
    QVERIFY(!fs::exists(temp / "new..jobs"));

    boxes.setAnswer(true);
    browser.accept();
    QCOMPARE(browser.result(), int(QDialog::Accepted));
    QCOMPARE(browser.chosenFolder(), QString::fromStdString(temp / "new..jobs"));
    QCOMPARE(modeOf(temp / "new..jobs"), mode_t(0700));

    // Hidden folders, as the default ~/.cache/kalvora, are folders like any other.
    fs::create_directories(temp / ".cache/kalvora");
    CFolderBrowser hidden(QString::fromStdString(temp / ".cache/kalvora"));
    hidden.show();
    QCOMPARE(hidden.pathField()->text(), QString::fromStdString(temp / ".cache/kalvora"));
    hidden.accept();
    QCOMPARE(boxes.texts.size(), 3);
    QCOMPARE(hidden.result(), int(QDialog::Accepted));
  }
};

KALVORA_GUI_TEST(OptionsDialogTest);
#include "OptionsDialogTest.moc"
