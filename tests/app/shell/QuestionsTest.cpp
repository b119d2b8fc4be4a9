#include <QAbstractButton>
#include <QMessageBox>
#include <QTest>

#include <atomic>
#include <future>
#include <thread>

#include "GuiTestRegistry.h"
#include "ModalWatcher.h"
#include "app/config/CStationsErrorDlg.h"
#include "app/media/CQueryNewPatientIDDlg.h"
#include "app/shell/GuiPrompts.h"

namespace {

template <typename Window>
Window* shown(const char* objectName = nullptr) {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    auto* window = qobject_cast<Window*>(widget);
    if (window && window->isVisible() &&
        (!objectName || window->objectName() == QLatin1String(objectName)))
      return window;
  }
  return nullptr;
}

bool finishesSoon(std::future<void>& done) {
  return done.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
}

}  // namespace

// Questions from workers are shown by the main thread while the worker waits.
class QuestionsTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void workerWaitsForTheAnswerGivenOnTheMainThread() {
    GuiPrompts prompts;
    bool retry = false;
    std::optional<NewPatientDataAnswer> answer;
    auto asked = std::async(std::launch::async, [&] {
      retry = prompts.askRetryAssociation({"PACS", "Retry 'PACS'?", "", ""});
      answer = prompts.askNewPatientData({"P1", "", "DOE^J", "19630517", "CT", "", "", ""});
    });

    QTRY_VERIFY(shown<QMessageBox>("retryQuestion") != nullptr);
    QMessageBox* box = shown<QMessageBox>("retryQuestion");
    QCOMPARE(box->text(), QStringLiteral("Retry 'PACS'?"));
    QTest::mouseClick(box->button(QMessageBox::Yes), Qt::LeftButton);

    QTRY_VERIFY(shown<CQueryNewPatientIDDlg>() != nullptr);
    CQueryNewPatientIDDlg* dialog = shown<CQueryNewPatientIDDlg>();
    QTest::keyClicks(dialog->findChild<QWidget*>(QStringLiteral("newPatientId")),
                     QStringLiteral("NEW1"));
    dialog->accept();
    QVERIFY(finishesSoon(asked));
    asked.get();
    QVERIFY(retry);
    QVERIFY(answer.has_value());
    QCOMPARE(answer->newPatientId, std::string("NEW1"));
  }

  void openQuestionsAreCancelledAtShutdown() {
    GuiPrompts prompts;
    std::atomic<int> answered{0};
    bool retry = true;
    std::optional<NewPatientDataAnswer> answer = NewPatientDataAnswer{};
    auto patient = std::async(std::launch::async, [&] {
      answer = prompts.askNewPatientData({"P1", "", "", "", "MR", "", "", ""});
      ++answered;
    });
    auto association = std::async(std::launch::async, [&] {
      retry = prompts.askRetryAssociation({"PACS", "Retry 'PACS'?", "", ""});
      ++answered;
    });
    QTRY_VERIFY(shown<CQueryNewPatientIDDlg>() && shown<QMessageBox>("retryQuestion"));
    QCOMPARE(answered.load(), 0);

    prompts.cancelAll();
    QVERIFY(finishesSoon(patient) && finishesSoon(association));
    QVERIFY(!answer.has_value());
    QVERIFY(!retry);
    QTRY_VERIFY(!shown<CQueryNewPatientIDDlg>() && !shown<QMessageBox>("retryQuestion"));

    // A question asked after shutdown began is answered at once.
    QVERIFY(!prompts.askNewPatientData({"P2", "", "", "", "CT", "", "", ""}).has_value());
    QVERIFY(!prompts.askRetryAssociation({"PACS", "Retry?", "", ""}));
    QVERIFY(!prompts.chooseStation(CStationArray()).has_value());
  }

  // A stop answers the questions of its own kind, open or asked until it ends, and no others.
  void aStopCancelsTheQuestionsOfItsKindWhileItRuns() {
    GuiPrompts prompts;
    std::optional<NewPatientDataAnswer> answer = NewPatientDataAnswer{};
    auto patient = std::async(std::launch::async, [&] {
      answer = prompts.askNewPatientData({"P1", "", "", "", "CT", "", "", ""});
    });
    bool retry = false;
    auto association = std::async(std::launch::async, [&] {
      retry = prompts.askRetryAssociation({"PACS", "Retry 'PACS'?", "", ""});
    });
    QTRY_VERIFY(shown<CQueryNewPatientIDDlg>() && shown<QMessageBox>("retryQuestion"));

    bool askedDuringTheStop = true;
    prompts.stopAsking(GuiPrompts::QuestionKind::NewPatientData);
    QVERIFY(finishesSoon(patient));
    auto again = std::async(std::launch::async, [&] {
      askedDuringTheStop =
          prompts.askNewPatientData({"P2", "", "", "", "CT", "", "", ""}).has_value();
    });
    QVERIFY(finishesSoon(again));
    prompts.resumeAsking(GuiPrompts::QuestionKind::NewPatientData);
    QVERIFY(!answer.has_value());
    QVERIFY(!askedDuringTheStop);
    QTRY_VERIFY(!shown<CQueryNewPatientIDDlg>());
    QVERIFY(shown<QMessageBox>("retryQuestion") != nullptr);
    QVERIFY(!prompts.cancelled());

    auto later = std::async(std::launch::async, [&] {
      answer = prompts.askNewPatientData({"P3", "", "", "", "CT", "", "", ""});
    });
    QTRY_VERIFY(shown<CQueryNewPatientIDDlg>() != nullptr);
    QTest::mouseClick(shown<QMessageBox>("retryQuestion")->button(QMessageBox::Yes),
                      Qt::LeftButton);
    QVERIFY(finishesSoon(association));
    QVERIFY(retry);
    prompts.cancelAll();
    QVERIFY(finishesSoon(later));
  }

  void aQuestionNotShownYetIsCancelledToo() {
    // The event loop has ended (or not come round): only the cancel itself releases it.
    GuiPrompts prompts;
    std::atomic<bool> asking{false};
    std::optional<NewPatientDataAnswer> answer = NewPatientDataAnswer{};
    auto patient = std::async(std::launch::async, [&] {
      asking = true;
      answer = prompts.askNewPatientData({"P1", "", "", "", "CT", "", "", ""});
    });
    while (!asking) std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    prompts.cancelAll();
    QVERIFY(finishesSoon(patient));
    QVERIFY(!answer.has_value());
    QCoreApplication::processEvents();
    QVERIFY(!shown<CQueryNewPatientIDDlg>());
  }

  void aStationChoiceOpenAtShutdownEndsCancelled() {
    GuiPrompts prompts;
    CStationArray stations;
    stations.Add({"PACS", "AE", "127.0.0.1", 104});
    onNextModal([&](QWidget* modal) {
      QVERIFY(qobject_cast<CStationsErrorDlg*>(modal));
      prompts.cancelAll();
    });
    QVERIFY(!prompts.chooseStation(stations).has_value());
  }
};

KALVORA_GUI_TEST(QuestionsTest);
#include "QuestionsTest.moc"
