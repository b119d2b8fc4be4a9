#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>

#include <filesystem>
#include <memory>

#include "DicomFixtures.h"
#include "GuiTestRegistry.h"
#include "StoreScpPeer.h"
#include "TempDir.h"
#include "WorklistPeer.h"
#include "app/media/CQueryNewPatientIDDlg.h"
#include "app/shell/GuiPrompts.h"
#include "app/shell/QtMainThreadPoster.h"
#include "jobs/KalvoraEngine.h"

namespace fs = std::filesystem;

namespace {

template <typename Widget>
Widget* child(QWidget* parent, const char* name) {
  auto* widget = parent->findChild<Widget*>(QString::fromLatin1(name));
  if (!widget) qFatal("no control %s", name);
  return widget;
}

CQueryNewPatientIDDlg* openQuestion() {
  for (QWidget* widget : QApplication::topLevelWidgets())
    if (auto* dialog = qobject_cast<CQueryNewPatientIDDlg*>(widget); dialog && dialog->isVisible())
      return dialog;
  return nullptr;
}

// A medium's file of a patient the hospital knows under another ID.
void writeForeignImage(const std::string& path, const std::string& uid) {
  FixtureImage image;
  image.patientId = "EXT-1";
  image.patientName = "MUSTERMANN^E";
  image.birthDate = "19800101";
  image.accessionNumber = "EXT-ACC";
  image.sopInstanceUid = uid;
  writeFixtureImage(path, image);
  DcmFileFormat file;
  QVERIFY(file.loadFile(path.c_str()).good());
  file.getDataset()->putAndInsertString(DCM_PatientSex, "F");
  QVERIFY(file.saveFile(path.c_str()).good());
}

std::string tagOf(const std::string& path, const DcmTagKey& tag) {
  DcmFileFormat file;
  OFString value;
  if (file.loadFile(path.c_str()).bad() || file.getDataset()->findAndGetOFString(tag, value).bad())
    return "<absent>";
  return value.c_str();
}

NewPatientDataQuestion erikasQuestion() {
  NewPatientDataQuestion question;
  question.patientId = "EXT-1";
  question.patientName = "MUSTERMANN^E";
  question.birthDate = "19800101";
  question.sex = "F";
  question.modality = "CT";
  return question;
}

PatientQueryOffer offerOf(const QueryStation& station, int timeoutMs) {
  return {PatientQueryParams{"KALVORA", station, timeoutMs, 16384}, {}};
}

}  // namespace

class PatientFindTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  // The clerk finds the patient, picks the second of two matches and confirms: the copies
  // arrive at the station under the local ID and accession number.
  void thePickedMatchReachesTheStation() {
    TempDir work;
    fs::create_directories(work / "medium");
    fs::create_directories(work / "received");
    writeForeignImage(work / "medium/IM1", "1.2.826.0.1.3680043.2.1143.901");
    writeForeignImage(work / "medium/IM2", "1.2.826.0.1.3680043.2.1143.902");
    WorklistPeer worklist("WORKLIST");
    worklist.add({"", "MUSTERMANN^ERIKA", "H-0042", "HOSP", "19800101", "F", "A-77", "CT"});
    worklist.add({"", "MUSTERMANN^EVA", "H-0044", "HOSP", "19800101", "F", "A-79", "CT"});
    worklist.add({"", "MUSTERMANN^MAX", "H-0043", "HOSP", "19750505", "M", "A-78", "MR"});
    StoreScpPeer peer(work / "received");

    QtMainThreadPoster mainThread;
    GuiPrompts prompts;
    const std::shared_ptr<void> cancelAtEnd(nullptr, [&](void*) { prompts.cancelAll(); });
    KalvoraEngine engine(mainThread, prompts);
    const QueryStation station{"WORKLIST", "127.0.0.1", worklist.port(), QueryModel::Worklist, {}};
    prompts.setPatientQuerySource([&] { return offerOf(station, 5000); });
    engine.settings.tempFolder = work / "jobs";
    engine.settings.askForNewPatientData = 1;
    engine.settings.sendToStandardDestination = 1;
    engine.settings.standardDestination = 0;
    engine.settings.openTrayAfterReading = 0;
    engine.settings.timeoutMs = 5000;
    engine.stations.Add({"PACS", peer.aeTitle(), "127.0.0.1", peer.port()});
    fs::create_directories(work / "jobs");
    const std::string jobFolder = engine.StartScan(work / "medium");
    QVERIFY(!jobFolder.empty());

    QTRY_VERIFY(openQuestion() != nullptr);
    CQueryNewPatientIDDlg* question = openQuestion();
    QTest::mouseClick(child<QPushButton>(question, "findButton"), Qt::LeftButton);
    auto* matches = child<QListWidget>(question, "matchList");
    QTRY_COMPARE_WITH_TIMEOUT(matches->count(), 2, 20000);
    QVERIFY(matches->item(0)->text().startsWith(QStringLiteral("H-0042 (HOSP)  MUSTERMANN^ERIKA")));
    // Nothing is taken before the clerk picks.
    QCOMPARE(child<QLineEdit>(question, "newPatientId")->text(), QString());

    QTest::mouseClick(matches->viewport(), Qt::LeftButton, {},
                      matches->visualItemRect(matches->item(1)).center());
    QCOMPARE(child<QLineEdit>(question, "newPatientId")->text(), QStringLiteral("H-0044"));
    QCOMPARE(child<QLineEdit>(question, "newAccessionNumber")->text(), QStringLiteral("A-79"));
    QCOMPARE(child<QLineEdit>(question, "newPatientName")->text(),
             QStringLiteral("MUSTERMANN^EVA"));
    QTest::mouseClick(child<QPushButton>(question, "okButton"), Qt::LeftButton);

    QTRY_VERIFY_WITH_TIMEOUT(!engine.isJobActive(jobFolder), 30000);
    int received = 0;
    for (const auto& entry : fs::directory_iterator(work / "received")) {
      ++received;
      QCOMPARE(tagOf(entry.path(), DCM_PatientID), std::string("H-0044"));
      QCOMPARE(tagOf(entry.path(), DCM_AccessionNumber), std::string("A-79"));
      QCOMPARE(tagOf(entry.path(), DCM_PatientName), std::string("MUSTERMANN^EVA"));
    }
    QCOMPARE(received, 2);
    const int job = engine.jobs().FindJob(jobFolder);
    QVERIFY(job >= 0);
    QVERIFY(QString::fromStdString(engine.jobs()[job].log)
                .contains(QStringLiteral("picked from the match H-0044 (HOSP) from WORKLIST")));
    engine.Shutdown();
  }

  // A single match is offered, not taken; a station that is not there says so and typing
  // goes on.
  void oneMatchIsNotTakenByItselfAndAFailureLeavesTyping() {
    WorklistPeer worklist("WORKLIST");
    worklist.add({"", "MUSTERMANN^ERIKA", "H-0042", "HOSP", "19800101", "F", "A-77", "CT"});
    {
      CQueryNewPatientIDDlg dialog(erikasQuestion());
      dialog.offerPatientQuery(
          offerOf({"WORKLIST", "127.0.0.1", worklist.port(), QueryModel::Worklist, {}}, 5000));
      dialog.show();
      QTest::mouseClick(child<QPushButton>(&dialog, "findButton"), Qt::LeftButton);
      QTRY_COMPARE_WITH_TIMEOUT(child<QListWidget>(&dialog, "matchList")->count(), 1, 20000);
      QCOMPARE(child<QLineEdit>(&dialog, "newPatientId")->text(), QString());
      QCOMPARE(dialog.answer().chosenMatch, std::string());
    }
    CQueryNewPatientIDDlg dialog(erikasQuestion());
    dialog.offerPatientQuery(
        offerOf({"NOBODY", "127.0.0.1", worklist.port(), QueryModel::Worklist, {}}, 5000));
    dialog.show();
    QTest::mouseClick(child<QPushButton>(&dialog, "findButton"), Qt::LeftButton);
    auto* status = child<QLabel>(&dialog, "findStatus");
    QTRY_VERIFY_WITH_TIMEOUT(status->text().contains(QStringLiteral("refused")), 20000);
    QVERIFY(child<QPushButton>(&dialog, "findButton")->isEnabled());
    child<QLineEdit>(&dialog, "newPatientId")->setText(QStringLiteral("TYPED-1"));
    QTest::mouseClick(child<QPushButton>(&dialog, "okButton"), Qt::LeftButton);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.answer().newPatientId, std::string("TYPED-1"));
  }

  // A station that never answers keeps the dialog usable, and closing it ends the query.
  void aSilentStationLeavesTheDialogUsable() {
    SilentStation silent;
    auto dialog = std::make_unique<CQueryNewPatientIDDlg>(erikasQuestion());
    dialog->offerPatientQuery(
        offerOf({"SILENT", "127.0.0.1", silent.port(), QueryModel::Worklist, {}}, 3600000));
    dialog->show();
    QTest::mouseClick(child<QPushButton>(dialog.get(), "findButton"), Qt::LeftButton);
    QVERIFY(child<QLabel>(dialog.get(), "findStatus")->text().startsWith(QStringLiteral("Asking")));
    QTest::keyClicks(child<QLineEdit>(dialog.get(), "newPatientId"), QStringLiteral("TYPED-2"));
    QTest::mouseClick(child<QPushButton>(dialog.get(), "okButton"), Qt::LeftButton);
    QCOMPARE(dialog->result(), int(QDialog::Accepted));
    QCOMPARE(dialog->answer().newPatientId, std::string("TYPED-2"));
    dialog.reset();  // cuts the query: a wait of an hour would fail the test
  }
};

KALVORA_GUI_TEST(PatientFindTest);
#include "PatientFindTest.moc"
