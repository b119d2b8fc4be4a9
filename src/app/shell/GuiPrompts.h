#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "app/media/PatientMatchPanel.h"
#include "workers/UserPrompts.h"

// The engine's questions as dialogs. A worker never creates a widget: it hands the
// question to the main thread, which shows the dialog, and waits for the answer.
// cancelAll() answers every open question, and every later one, with "cancel", so a
// shutdown never waits on a dialog nobody will answer.
class GuiPrompts : public QObject, public UserPrompts {
  Q_OBJECT
 public:
  explicit GuiPrompts(QObject* parent = nullptr);
  ~GuiPrompts() override;

  // Parent of the station choice, which runs modally over the main window.
  void setMainWindow(QWidget* window) { mainWindow_ = window; }
  // Main thread, each time the new patient data question opens: the query station it offers.
  void setPatientQuerySource(std::function<PatientQueryOffer()> source) {
    patientQuerySource_ = std::move(source);
  }

  std::optional<NewPatientDataAnswer> askNewPatientData(
      const NewPatientDataQuestion& question) override;
  bool askRetryAssociation(const AssociationRetryQuestion& question) override;
  std::optional<StationChoice> chooseStation(const CStationArray& stations) override;

  // Main thread.
  void cancelAll();
  bool cancelled() const;

  // Scans ask for new patient data, sends whether to retry an association.
  enum class QuestionKind { NewPatientData, RetryAssociation };
  // Main thread: runs `stop` while every question of `kind`, open now or asked meanwhile, is
  // answered "cancel", so that a worker waiting on one can see its stop request. Questions
  // asked afterwards are shown as usual.
  void cancelWhile(QuestionKind kind, const std::function<void()>& stop);

 private:
  struct Question;
  // Worker side: nothing when the question was cancelled before it could be shown.
  std::shared_ptr<Question> ask(QuestionKind kind,
                                std::function<QWidget*(const std::shared_ptr<Question>&)> show);
  void answer(const std::shared_ptr<Question>& question, bool accepted);
  // Answers the questions `cancels` picks as cancelled and closes their windows.
  void cancelOpen(const std::function<bool(const Question&)>& cancels);

  QPointer<QWidget> mainWindow_;
  std::function<PatientQueryOffer()> patientQuerySource_;
  mutable std::mutex mutex_;
  bool cancelled_ = false;
  std::vector<QuestionKind> stopping_;  // kinds cancelled while a stop runs
  std::vector<std::shared_ptr<Question>> open_;
  std::vector<QPointer<QWidget>> stationChoices_;
};
