#include <QTest>

#include "GuiTestRegistry.h"
#include "MessageBoxRecorder.h"
#include "TempDir.h"
#include "app/help/CLinkStatic.h"
#include "app/shell/CAboutBox.h"

class LinkTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void aLinkThatCannotBeOpenedSaysWhyAndIsNotVisited() {
    TempDir work;
    const struct {
      std::string address;
      const char* reason;
    } cases[] = {
        {"file://" + work.path() + "/missing.html", "The specified file was not found."},
        {"file://" + work.path() + "/no/such/folder/index.html",
         "The specified path was not found."},
    };
    for (const auto& c : cases) {
      MessageBoxRecorder boxes;
      CLinkStatic link;
      link.SetLink(QString::fromStdString(c.address));
      link.MarkVisited(true);
      link.show();
      QCOMPARE(link.toolTip(), QString::fromStdString(c.address));
      QTest::mouseClick(&link, Qt::LeftButton);
      QCOMPARE(boxes.texts, QStringList{QStringLiteral("Unable to open hyperlink:\n\n") +
                                        QString::fromLatin1(c.reason)});
      QVERIFY(!link.visited());
      QCOMPARE(link.palette().color(QPalette::WindowText), link.linkColour);
    }
    QCOMPARE(CLinkStatic::linkErrorText(26), QStringLiteral("A sharing violation occurred. "));
    QCOMPARE(CLinkStatic::linkErrorText(4), QStringLiteral("Unknown Error (4) occurred."));
  }

  void hoverUnderlinesAndColours() {
    CLinkStatic link;
    link.setText(QStringLiteral("support@example.org"));
    link.SetLink(QStringLiteral("mailto:support@example.org"));
    QCOMPARE(link.text(), QStringLiteral("support@example.org"));
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QApplication::sendEvent(&link, &enter);
    QVERIFY(link.font().underline());
    QCOMPARE(link.palette().color(QPalette::WindowText), link.hoverColour);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&link, &leave);
    QVERIFY(!link.font().underline());
    link.MarkVisited(true);
    QCOMPARE(link.palette().color(QPalette::WindowText), link.visitedColour);
  }

  void aboutBoxShowsTheVersionAndTheMakersLinks() {
    CAboutBox about;
    QCOMPARE(about.versionText(), QStringLiteral("Version 2.1 RC5"));
    QVERIFY(about.webLink()->link().startsWith(QStringLiteral("https://www.example.org/")));
    QCOMPARE(about.mailLink()->link(), QStringLiteral("mailto:support@example.org"));
  }
};

KALVORA_GUI_TEST(LinkTest);
#include "LinkTest.moc"
