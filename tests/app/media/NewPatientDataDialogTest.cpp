#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include "GuiTestRegistry.h"
#include "MessageBoxRecorder.h"
#include "app/media/CQueryNewPatientIDDlg.h"

namespace {

NewPatientDataQuestion sampleQuestion(const std::string& birthDate) {
  return {"P-4711", "ACC-0815", "DOE^JANE", birthDate, "CT", "", "", ""};
}

QLineEdit* field(QWidget* dialog, const char* name) {
  return dialog->findChild<QLineEdit*>(QString::fromLatin1(name));
}

}  // namespace

class NewPatientDataDialogTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void showsTheCurrentDataWithTheBirthDateDayFirst() {
    const struct {
      const char* stored;
      const char* shown;
    } cases[] = {
        {"19630517", "17/05/1963"}, {"1963", "1963"}, {"", ""}, {"1963-05-17", "1963-05-17"}};
    for (const auto& c : cases) {
      CQueryNewPatientIDDlg dialog(sampleQuestion(c.stored));
      QCOMPARE(field(&dialog, "currentBirthDate")->text(), QString::fromLatin1(c.shown));
      QCOMPARE(field(&dialog, "currentModality")->text(), QStringLiteral("CT"));
      QCOMPARE(dialog.title(), QStringLiteral("Kalvora"));
      QCOMPARE(dialog.helpFile(), QStringLiteral("help_newpatientdata.txt"));
    }
    // The current data is shown as the file holds it, even beyond what may be typed anew.
    NewPatientDataQuestion longValues = sampleQuestion("");
    longValues.patientId = std::string(80, '7');
    longValues.accessionNumber = std::string(70, 'A');
    CQueryNewPatientIDDlg dialog(longValues);
    QCOMPARE(field(&dialog, "currentPatientId")->text().size(), 80);
    QCOMPARE(field(&dialog, "currentAccessionNumber")->text().size(), 70);
  }

  void copyButtonsAndTheAnswer() {
    CQueryNewPatientIDDlg dialog(sampleQuestion("19630517"));
    dialog.show();
    for (const char* button : {"copyPatientId", "copyAccessionNumber", "copyPatientName"})
      QTest::mouseClick(dialog.findChild<QToolButton*>(QString::fromLatin1(button)),
                        Qt::LeftButton);
    QCOMPARE(field(&dialog, "newPatientId")->text(), QStringLiteral("P-4711"));
    QCOMPARE(field(&dialog, "newAccessionNumber")->text(), QStringLiteral("ACC-0815"));
    QCOMPARE(field(&dialog, "newPatientName")->text(), QStringLiteral("DOE^JANE"));
    field(&dialog, "newAccessionNumber")->clear();
    QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("okButton")), Qt::LeftButton);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    const NewPatientDataAnswer answer = dialog.answer();
    QCOMPARE(answer.newPatientId, std::string("P-4711"));
    QCOMPARE(answer.newAccessionNumber, std::string());
    QCOMPARE(answer.newPatientName, std::string("DOE^JANE"));
  }

  void anEmptyPatientIdIsRefusedAndLimitsHold() {
    MessageBoxRecorder boxes;
    CQueryNewPatientIDDlg dialog(sampleQuestion(""));
    dialog.show();
    field(&dialog, "newAccessionNumber")->setText(QStringLiteral("A1"));
    QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("okButton")), Qt::LeftButton);
    QVERIFY(dialog.isVisible());
    QCOMPARE(boxes.texts, QStringList{QStringLiteral("Patient ID is empty but have to contain "
                                                     "data!\nPlease, fill in a patient ID into "
                                                     "the field.")});
    QCOMPARE(boxes.icons.at(0), MessageBoxes::Icon::Question);

    QTest::keyClicks(field(&dialog, "newPatientId"), QString(70, QLatin1Char('9')));
    QCOMPARE(field(&dialog, "newPatientId")->text().size(), 64);
    QCOMPARE(field(&dialog, "newPatientName")->maxLength(), 128);

    QTest::keyClick(&dialog, Qt::Key_Escape);
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
  }
};

KALVORA_GUI_TEST(NewPatientDataDialogTest);
#include "NewPatientDataDialogTest.moc"
