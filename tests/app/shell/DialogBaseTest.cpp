#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>

#include "GuiTestRegistry.h"
#include "MessageBoxRecorder.h"
#include "ModalWatcher.h"
#include "TempDir.h"
#include "app/help/CHelpDlg.h"
#include "app/help/HelpFiles.h"
#include "app/shell/DialogFields.h"
#include "app/shell/DialogTitleBar.h"
#include "app/shell/KalvoraDialog.h"

#include <filesystem>

class DialogBaseTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void titleLineWithCloseAndOptionalHelp() {
    KalvoraDialog dialog;
    QVERIFY(dialog.windowFlags() & Qt::FramelessWindowHint);
    QVERIFY(dialog.titleBar()->isHidden());

    dialog.setTitle(QStringLiteral("Kalvora - Options"));
    dialog.show();
    auto* title = dialog.findChild<QLabel*>(QStringLiteral("titleLabel"));
    QCOMPARE(title->text(), QStringLiteral("Kalvora - Options"));
    QVERIFY(title->font().bold());
    QVERIFY(dialog.titleBar()->helpButton()->isHidden());
    dialog.setHelpFile(QStringLiteral("help_option.txt"));
    QVERIFY(dialog.titleBar()->helpButton()->isVisible());

    QTest::mouseClick(dialog.titleBar()->closeButton(), Qt::LeftButton);
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QVERIFY(!dialog.isVisible());
  }

  void readOnlyFieldsLookReadOnly() {
    KalvoraDialog dialog;
    auto* layout = new QVBoxLayout(dialog.body());
    auto* entry = new QLineEdit(dialog.body());
    auto* shown = new QLineEdit(dialog.body());
    shown->setReadOnly(true);
    layout->addWidget(entry);
    layout->addWidget(shown);
    dialog.show();
    QCOMPARE(shown->palette().color(QPalette::Base), dialog.palette().color(QPalette::Window));
    QVERIFY(entry->palette().color(QPalette::Base) != dialog.palette().color(QPalette::Window));
  }

  // Enter on a destructive question keeps everything; on any other it answers Yes.
  void destructiveQuestionsDefaultToNo() {
    const struct {
      bool destructive;
      QMessageBox::StandardButton expected;
    } cases[] = {{true, QMessageBox::No}, {false, QMessageBox::Yes}};
    for (const auto& c : cases) {
      QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
      onNextModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        QVERIFY(box);
        defaultButton = box->standardButton(box->defaultButton());
        box->done(QMessageBox::No);
      });
      const QString text = QStringLiteral("Delete it?");
      const bool yes = c.destructive ? MessageBoxes::confirmDestructive(nullptr, text)
                                     : MessageBoxes::askYesNo(nullptr, text);
      QVERIFY(!yes);
      QCOMPARE(defaultButton, c.expected);
    }
  }

  void helpButtonOpensTheDialogsHelpFile() {
    TempDir work;
    std::filesystem::create_directories(work / "help");
    writeFileBytes(work / "help/help_rules.txt", "How rules forward a job.");
    setHelpFolders(QString::fromStdString(work.path()), QString());

    KalvoraDialog dialog;
    dialog.setTitle(QStringLiteral("Kalvora - Rules"));
    dialog.setHelpFile(QStringLiteral("help_rules.txt"));
    dialog.show();
    QString shown;
    onNextModal([&](QWidget* modal) {
      auto* help = qobject_cast<CHelpDlg*>(modal);
      if (help) shown = help->helpText();
      modal->close();
    });
    QTest::mouseClick(dialog.titleBar()->helpButton(), Qt::LeftButton);
    QCOMPARE(shown, QStringLiteral("How rules forward a job."));
    QVERIFY(dialog.isVisible());  // help leaves the dialog open
  }

  void pressOnTheBackgroundMovesTheWindow() {
    for (bool movable : {true, false}) {
      KalvoraDialog dialog;
      dialog.setTitle(QStringLiteral("Kalvora - Security"));
      dialog.setMoveByBackground(movable);
      dialog.resize(200, 120);
      dialog.move(100, 100);
      dialog.show();
      QVERIFY(QTest::qWaitForWindowExposed(&dialog));
      const QPoint before = dialog.pos();
      QTest::mousePress(dialog.body(), Qt::LeftButton, {}, QPoint(20, 20));
      QTest::mouseMove(dialog.body(), QPoint(60, 50));
      QTest::mouseRelease(dialog.body(), Qt::LeftButton, {}, QPoint(60, 50));
      if (movable)
        QCOMPARE(dialog.pos(), before + QPoint(40, 30));
      else
        QCOMPARE(dialog.pos(), before);
    }
  }

  void integerFieldsRefuseWhatIsNoNumberOrOutOfRange() {
    struct Case {
      const char* text;
      bool accepted;
      const char* message;
    };
    const Case cases[] = {
        {"104", true, ""},
        {" 65000 ", true, ""},
        {"abc", false, "Please enter an integer."},
        {"", false, "Please enter an integer."},
        {"0", false, "Please enter an integer between 1 and 65000."},
        {"65001", false, "Please enter an integer between 1 and 65000."},
    };
    for (const Case& c : cases) {
      MessageBoxRecorder boxes;
      KalvoraDialog dialog;
      auto* field = new QLineEdit(dialog.body());
      auto* other = new QLineEdit(dialog.body());
      auto* layout = new QVBoxLayout(dialog.body());
      layout->addWidget(field);
      layout->addWidget(other);
      dialog.show();
      QApplication::setActiveWindow(&dialog);
      other->setFocus();
      field->setText(QString::fromLatin1(c.text));
      int value = -7;
      QCOMPARE(readIntegerField(field, 1, 65000, value), c.accepted);
      if (c.accepted) {
        QVERIFY(boxes.texts.isEmpty());
        QCOMPARE(value, field->text().trimmed().toInt());
      } else {
        QCOMPARE(boxes.texts, QStringList{QString::fromLatin1(c.message)});
        QCOMPARE(value, -7);
        QVERIFY(field->hasFocus());
      }
    }
  }
};

KALVORA_GUI_TEST(DialogBaseTest);
#include "DialogBaseTest.moc"
