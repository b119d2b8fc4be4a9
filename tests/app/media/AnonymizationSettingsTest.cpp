#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QTest>

#include "GuiTestRegistry.h"
#include "MessageBoxRecorder.h"
#include "app/media/CEditAnonymizeDataDlg.h"

namespace {

QLineEdit* entry(QWidget* dialog, const char* name) {
  return dialog->findChild<QLineEdit*>(QString::fromLatin1(name));
}

}  // namespace

class AnonymizationSettingsTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void emptyTextsAreStoredAsTheirDefaults() {
    AppSettings settings;
    settings.patientNameText = "";
    CEditAnonymizeDataDlg dialog(settings);
    for (const char* name : {"anonymizedPatientId", "physiciansName", "institutionName"})
      entry(&dialog, name)->clear();
    dialog.findChild<QCheckBox*>(QStringLiteral("anonymizePatientId"))->setChecked(true);
    dialog.findChild<QCheckBox*>(QStringLiteral("datesToCurrentDate"))->setChecked(true);
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(settings.anonymizedPatientId, std::string("00000001"));
    QCOMPARE(settings.physiciansName, std::string("Anonymized"));
    QCOMPARE(settings.institutionName, std::string("Anonymized"));
    QCOMPARE(settings.patientNameText, std::string("Anonymized by KALVORA"));
    QCOMPARE(settings.anonymizePatientId, 1);
    QCOMPARE(settings.datesToCurrentDate, 1);

    // The next opening shows what was stored; the carried text stays as it is.
    settings.patientNameText = "kept as it is";
    CEditAnonymizeDataDlg again(settings);
    QCOMPARE(entry(&again, "anonymizedPatientId")->text(), QStringLiteral("00000001"));
    again.accept();
    QCOMPARE(settings.patientNameText, std::string("kept as it is"));
  }

  void closeStoresNothing() {
    AppSettings settings;
    CEditAnonymizeDataDlg dialog(settings);
    dialog.findChild<QCheckBox*>(QStringLiteral("anonymizeComments"))->setChecked(true);
    entry(&dialog, "physiciansName")->setText(QStringLiteral("Dr. Nobody"));
    dialog.reject();
    QCOMPARE(settings.anonymizeComments, 0);
    QCOMPARE(settings.physiciansName, std::string("Anonymized by Kalvora"));
  }

  void textsLongerThanTheirLimitAreRefused() {
    AppSettings settings;
    settings.physiciansName = std::string(128, 'p');  // as a loaded configuration may hold
    CEditAnonymizeDataDlg dialog(settings);
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    QLineEdit* physicians = entry(&dialog, "physiciansName");
    QCOMPARE(physicians->text().size(), 128);  // shown whole, not cut

    MessageBoxRecorder boxes;
    dialog.accept();
    QCOMPARE(boxes.texts, QStringList{"Please enter no more than 127 characters."});
    QVERIFY(dialog.isVisible());
    QVERIFY(physicians->hasFocus());
    QCOMPARE(settings.physiciansName, std::string(128, 'p'));

    // Typing cannot make it longer, deleting shortens it, and then it is taken.
    physicians->end(false);
    QTest::keyClicks(physicians, "x");
    QCOMPARE(physicians->text().size(), 128);
    QTest::keyClick(physicians, Qt::Key_Backspace);
    QCOMPARE(physicians->text().size(), 127);
    QTest::keyClicks(physicians, "xy");
    QCOMPARE(physicians->text().size(), 127);

    QLineEdit* patientId = entry(&dialog, "anonymizedPatientId");
    patientId->clear();
    QTest::keyClicks(patientId, QString(70, QLatin1Char('9')));
    QCOMPARE(patientId->text().size(), 64);

    dialog.accept();
    QCOMPARE(boxes.texts.size(), 1);
    QCOMPARE(settings.physiciansName, std::string(127, 'p'));
    QCOMPARE(settings.anonymizedPatientId, std::string(64, '9'));
  }
};

KALVORA_GUI_TEST(AnonymizationSettingsTest);
#include "AnonymizationSettingsTest.moc"
