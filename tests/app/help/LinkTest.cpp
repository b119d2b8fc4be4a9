#include <QMouseEvent>
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

  // A press on a link is the link's: the dialog under it does not start moving (a window
  // manager would then keep the release from the link).
  void aPressOnALinkDoesNotMoveItsDialog() {
    MessageBoxRecorder boxes;
    CAboutBox about;
    about.show();
    about.move(100, 100);
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    const QPoint start = about.pos();
    CLinkStatic* link = about.mailLink();
    QTest::mousePress(link, Qt::LeftButton, Qt::NoModifier, QPoint(2, 2));
    QMouseEvent drag(QEvent::MouseMove, QPointF(40, 40), link->mapToGlobal(QPointF(40, 40)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&about, &drag);
    QCOMPARE(about.pos(), start);
    // The background still moves the window.
    QTest::mousePress(&about, Qt::LeftButton, Qt::NoModifier, QPoint(3, 3));
    QMouseEvent move(QEvent::MouseMove, QPointF(43, 43), about.mapToGlobal(QPointF(43, 43)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&about, &move);
    QVERIFY(about.pos() != start);
    QTest::mouseRelease(&about, Qt::LeftButton, Qt::NoModifier, QPoint(43, 43));
  }
};

KALVORA_GUI_TEST(LinkTest);
#include "LinkTest.moc"
