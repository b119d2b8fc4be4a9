#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>
#include <mutex>
#include <string>
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

  void setMainWindow(QWidget* window) { mainWindow_ = window; }
  // Main thread, each time the new patient data question opens: the query station it offers.
  void setPatientQuerySource(std::function<PatientQueryOffer()> source) {
    patientQuerySource_ = std::move(source);
  }
  // Names a job for the questions ("Media #3 (DOE JOHN)"), from its folder; main thread.
  void setJobDescription(std::function<QString(const std::string& jobFolder)> describe) {
    describeJob_ = std::move(describe);
  }

  std::optional<NewPatientDataAnswer> askNewPatientData(
      const NewPatientDataQuestion& question) override;
  bool askRetryAssociation(const AssociationRetryQuestion& question) override;
  std::optional<StationChoice> chooseStation(const CStationArray& stations) override;
  std::optional<StationChoice> chooseStationFor(const CStationArray& stations,
                                                const std::string& jobFolder) override;

  // Main thread.
  void cancelAll();
  bool cancelled() const;

  // Scans ask for new patient data, sends whether to retry an association.
  enum class QuestionKind { NewPatientData, RetryAssociation };
  // Main thread: from stopAsking until resumeAsking every question of `kind`, open now or
  // asked meanwhile, is answered "cancel", so that a worker waiting on one can see its stop
  // request. Questions asked afterwards are shown as usual.
  void stopAsking(QuestionKind kind);
  void resumeAsking(QuestionKind kind);
  bool asking(QuestionKind kind) const;

 private:
  struct Question;
  // Worker side: nothing when the question was cancelled before it could be shown.
  std::shared_ptr<Question> ask(QuestionKind kind,
                                std::function<QWidget*(const std::shared_ptr<Question>&)> show);
  void answer(const std::shared_ptr<Question>& question, bool accepted);
  // Answers the questions `cancels` picks as cancelled and closes their windows.
  void cancelOpen(const std::function<bool(const Question&)>& cancels);

  QString aboutJob(const std::string& jobFolder, const std::string& sourceRoot) const;

  QPointer<QWidget> mainWindow_;
  std::function<PatientQueryOffer()> patientQuerySource_;
  std::function<QString(const std::string&)> describeJob_;
  mutable std::mutex mutex_;
  bool cancelled_ = false;
  std::vector<QuestionKind> stopping_;  // kinds cancelled while a stop runs
  std::vector<std::shared_ptr<Question>> open_;
  std::vector<QPointer<QWidget>> stationChoices_;
};
