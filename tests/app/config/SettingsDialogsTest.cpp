#include <QCheckBox>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include "DialogDriving.h"
#include "GuiTestRegistry.h"
#include "MessageBoxRecorder.h"
#include "app/config/CDicomDlg.h"
#include "app/config/CPasswordDlg.h"
#include "app/shell/DialogTitleBar.h"

// The password guard and the DICOM options.
class SettingsDialogsTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void passwordIsExactAndClearedAfterAWrongTry() {
    CPasswordDlg dialog;
    QVERIFY(!dialog.moveByBackground());
    QVERIFY(dialog.titleBar()->helpButton()->isHidden());
    dialog.show();
    auto* field = control<QLineEdit>(&dialog, "password");
    QCOMPARE(field->echoMode(), QLineEdit::Password);
    MessageBoxRecorder boxes;
    for (const char* wrong : {"trelimsopax", "TRELIMSOPAX ", " TRELIMSOPAX", ""}) {
      field->setText(QString::fromLatin1(wrong));
      dialog.accept();
      QVERIFY2(dialog.isVisible(), wrong);
      QCOMPARE(field->text(), QString());
    }
    QCOMPARE(boxes.texts.size(), 4);
    QCOMPARE(boxes.texts.first(), QStringLiteral("Password not valid!!! Please, try again."));

    field->setText(QStringLiteral("TRELIMSOPAX"));
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(boxes.texts.size(), 4);
  }

  void dicomOptionsStoreOnlyAFullyValidEntry() {
    struct Case {
      const char* aeTitle;
      const char* pdu;
      const char* timeout;
      QString message;  // empty: stored, unless the AE title is empty
    };
    const Case cases[] = {
        {"MY_AE", "4096", "1", {}},
        {"a very long ae title, kept", "131072", "100000", {}},
        {"MY_AE", "4095", "1000",
         QStringLiteral("Please enter an integer between 4096 and 131072.")},
        {"MY_AE", "131073", "1000",
         QStringLiteral("Please enter an integer between 4096 and 131072.")},
        {"MY_AE", "16k", "1000", QStringLiteral("Please enter an integer.")},
        {"MY_AE", "16384", "0", QStringLiteral("Please enter an integer between 1 and 100000.")},
        {"", "8192", "2000", {}},  // stays open without a word
    };
    for (const Case& c : cases) {
      AppSettings settings;
      const AppSettings before = settings;
      CDicomDlg dialog(settings);
      dialog.show();
      QApplication::setActiveWindow(&dialog);
      type(&dialog, "aeTitle", QString::fromLatin1(c.aeTitle));
      type(&dialog, "maxPduSize", QString::fromLatin1(c.pdu));
      type(&dialog, "timeout", QString::fromLatin1(c.timeout));
      control<QCheckBox>(&dialog, "correctSpacePaddedUids")->setChecked(true);
      control<QCheckBox>(&dialog, "proposeRequiredContextsOnly")->setChecked(true);
      MessageBoxRecorder boxes;
      dialog.accept();
      const bool stored = c.message.isEmpty() && *c.aeTitle;
      QCOMPARE(boxes.texts, c.message.isEmpty() ? QStringList() : QStringList{c.message});
      QCOMPARE(dialog.isVisible(), !stored);
      if (stored) {
        QCOMPARE(settings.callingAeTitle, std::string(c.aeTitle));
        QCOMPARE(QString::number(settings.maxPduSize), QString::fromLatin1(c.pdu));
        QCOMPARE(QString::number(settings.timeoutMs), QString::fromLatin1(c.timeout));
        QCOMPARE(settings.correctSpacePaddedUids, 1);
        QCOMPARE(settings.proposeRequiredContextsOnly, 1);
      } else {
        QCOMPARE(settings.callingAeTitle, before.callingAeTitle);
        QCOMPARE(settings.maxPduSize, before.maxPduSize);
        QCOMPARE(settings.timeoutMs, before.timeoutMs);
        QCOMPARE(settings.correctSpacePaddedUids, before.correctSpacePaddedUids);
      }
      if (!c.message.isEmpty()) {
        const char* field = c.message.contains(QStringLiteral("4096")) || c.pdu[2] == 'k'
                                ? "maxPduSize"
                                : "timeout";
        QVERIFY2(control<QLineEdit>(&dialog, field)->hasFocus(), field);
      }
    }
  }
};

KALVORA_GUI_TEST(SettingsDialogsTest);
#include "SettingsDialogsTest.moc"
