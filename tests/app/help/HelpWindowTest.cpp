#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include "GuiTestRegistry.h"
#include "ModalWatcher.h"
#include "TempDir.h"
#include "app/help/CHelpDlg.h"
#include "app/help/HelpFiles.h"
#include "app/shell/DialogTitleBar.h"
#include "app/shell/KalvoraDialog.h"

#include <sys/stat.h>

#include <filesystem>

class HelpWindowTest : public QObject {
  Q_OBJECT

 private:
  static void writeHelp(const std::string& folder, const std::string& name,
                        const std::string& bytes) {
    std::filesystem::create_directories(folder + "/help");
    writeFileBytes(folder + "/help/" + name, bytes);
  }

 private Q_SLOTS:
  void showsTheFileOfTheWorkingFolderFirstThenTheInstalledOne() {
    TempDir work, data;
    setHelpFolders(QString::fromStdString(work.path()), QString::fromStdString(data.path()));
    writeHelp(data.path(), "help_option.txt", "installed text");
    writeHelp(data.path(), "help_rules.txt", "installed rules");
    writeHelp(work.path(), "help_option.txt",
              "Gr\xc3\xb6\xc3\x9f"
              "e: local text\n\tindented");

    CHelpDlg local(nullptr, QStringLiteral("help_option.txt"));
    QCOMPARE(local.heading(), QStringLiteral("Kalvora 2.1 RC5"));
    QCOMPARE(local.helpText(), QStringLiteral("Gr\u00f6\u00dfe: local text\n\tindented"));

    CHelpDlg installed(nullptr, QStringLiteral("help_rules.txt"));
    QCOMPARE(installed.helpText(), QStringLiteral("installed rules"));

    // Last, the help/ of the source tree above a build folder's program.
    TempDir source;
    setHelpFolders(QString::fromStdString(work.path()), QString::fromStdString(data.path()),
                   QString::fromStdString(source.path()));
    writeHelp(source.path(), "help_rules.txt", "source rules");
    writeHelp(source.path(), "help_dicom.txt", "source dicom");
    QCOMPARE(CHelpDlg(nullptr, QStringLiteral("help_rules.txt")).helpText(),
             QStringLiteral("installed rules"));
    QCOMPARE(CHelpDlg(nullptr, QStringLiteral("help_dicom.txt")).helpText(),
             QStringLiteral("source dicom"));
  }

  void missingOrEmptyFiles() {
    TempDir work;
    setHelpFolders(QString::fromStdString(work.path()), QString());
    CHelpDlg missing(nullptr, QStringLiteral("help_stations.txt"));
    QCOMPARE(missing.heading(), QStringLiteral("Kalvora 2.1 RC5"));
    QCOMPARE(missing.helpText(), QStringLiteral("No help available."));

    writeHelp(work.path(), "help_filter.txt", "");
    CHelpDlg empty(nullptr, QStringLiteral("help_filter.txt"));
    QCOMPARE(empty.helpText(), QString());

    // Only names inside the help folder are shown.
    writeFileBytes(work / "secret.txt", "not help");
    CHelpDlg outside(nullptr, QStringLiteral("../secret.txt"));
    QCOMPARE(outside.helpText(), QStringLiteral("No help available."));
  }

  // A FIFO under a help file's name would block the window until someone writes to it: it is
  // passed over, and the next folder's file shown.
  void aHelpFileThatIsNoRegularFileIsPassedOver() {
    TempDir work, data;
    setHelpFolders(QString::fromStdString(work.path()), QString::fromStdString(data.path()));
    std::filesystem::create_directories(work / "help");
    QCOMPARE(mkfifo((work / "help/help_error.txt").c_str(), 0600), 0);
    writeHelp(data.path(), "help_error.txt", "installed error help");
    QCOMPARE(CHelpDlg(nullptr, QStringLiteral("help_error.txt")).helpText(),
             QStringLiteral("installed error help"));
  }

  void closeEndsTheWindow() {
    CHelpDlg help(nullptr, QStringLiteral("help_error.txt"));
    help.show();
    QTest::mouseClick(help.findChild<QPushButton*>(QStringLiteral("closeButton")), Qt::LeftButton);
    QCOMPARE(help.result(), int(QDialog::Accepted));
    QVERIFY(!help.isVisible());
  }
};

KALVORA_GUI_TEST(HelpWindowTest);
#include "HelpWindowTest.moc"
