#include "app/shell/GuiPrompts.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QMetaObject>

#include <algorithm>
#include <condition_variable>

#include "app/config/CStationsErrorDlg.h"
#include "app/media/CQueryNewPatientIDDlg.h"
#include "config/ProductVersion.h"

struct GuiPrompts::Question {
  QuestionKind kind = QuestionKind::NewPatientData;
  std::condition_variable done;
  bool answered = false;
  bool accepted = false;
  NewPatientDataAnswer patientData;
  QPointer<QWidget> window;  // main thread only
};

namespace {

// Questions come from workers at any time: above the main window, which may stay on top, and
// answerable while a window-modal dialog runs there, so with no parent.
void bringToFront(QWidget* window) {
  window->setWindowFlag(Qt::WindowStaysOnTopHint, true);
  window->show();
  window->raise();
  window->activateWindow();
}

}  // namespace

GuiPrompts::GuiPrompts(QObject* parent) : QObject(parent) {}

GuiPrompts::~GuiPrompts() { cancelAll(); }

bool GuiPrompts::cancelled() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return cancelled_;
}

std::shared_ptr<GuiPrompts::Question> GuiPrompts::ask(
    QuestionKind kind, std::function<QWidget*(const std::shared_ptr<Question>&)> show) {
  auto question = std::make_shared<Question>();
  question->kind = kind;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    // Unanswered counts as cancelled.
    if (cancelled_ || std::find(stopping_.begin(), stopping_.end(), kind) != stopping_.end())
      return question;
    open_.push_back(question);
  }
  QMetaObject::invokeMethod(
      this,
      [this, question, show = std::move(show)] {
        {
          std::lock_guard<std::mutex> lock(mutex_);
          if (question->answered) return;
        }
        question->window = show(question);
      },
      Qt::QueuedConnection);
  std::unique_lock<std::mutex> lock(mutex_);
  question->done.wait(lock, [&] { return question->answered; });
  return question;
}

void GuiPrompts::answer(const std::shared_ptr<Question>& question, bool accepted) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (question->answered) return;
  question->answered = true;
  question->accepted = accepted;
  open_.erase(std::remove(open_.begin(), open_.end(), question), open_.end());
  question->done.notify_all();
}

void GuiPrompts::cancelOpen(const std::function<bool(const Question&)>& cancels) {
  std::vector<std::shared_ptr<Question>> cancelled;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto kept = std::stable_partition(open_.begin(), open_.end(),
                                      [&](const auto& question) { return !cancels(*question); });
    cancelled.assign(kept, open_.end());
    open_.erase(kept, open_.end());
    for (const auto& question : cancelled) {
      question->answered = true;
      question->accepted = false;
      question->done.notify_all();
    }
  }
  for (const auto& question : cancelled)
    if (question->window) question->window->close();
}

void GuiPrompts::cancelAll() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    cancelled_ = true;
  }
  cancelOpen([](const Question&) { return true; });
  for (const QPointer<QWidget>& dialog : stationChoices_)
    if (dialog) dialog->close();
}

void GuiPrompts::stopAsking(QuestionKind kind) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (std::find(stopping_.begin(), stopping_.end(), kind) == stopping_.end())
      stopping_.push_back(kind);
  }
  cancelOpen([kind](const Question& question) { return question.kind == kind; });
}

void GuiPrompts::resumeAsking(QuestionKind kind) {
  std::lock_guard<std::mutex> lock(mutex_);
  stopping_.erase(std::remove(stopping_.begin(), stopping_.end(), kind), stopping_.end());
}

bool GuiPrompts::asking(QuestionKind kind) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return std::find(stopping_.begin(), stopping_.end(), kind) == stopping_.end();
}

QString GuiPrompts::aboutJob(const std::string& jobFolder, const std::string& sourceRoot) const {
  QString text = describeJob_ && !jobFolder.empty() ? describeJob_(jobFolder) : QString();
  if (!sourceRoot.empty()) {
    const QString medium = QStringLiteral("medium %1").arg(QString::fromStdString(sourceRoot));
    text = text.isEmpty() ? medium : text + QStringLiteral(", ") + medium;
  }
  return text;
}

std::optional<NewPatientDataAnswer> GuiPrompts::askNewPatientData(
    const NewPatientDataQuestion& asked) {
  const auto question =
      ask(QuestionKind::NewPatientData, [this, asked](const std::shared_ptr<Question>& question) {
        auto* dialog = new CQueryNewPatientIDDlg(asked);
        const QString about = aboutJob(asked.jobFolder, asked.sourceRoot);
        if (!about.isEmpty()) {
          dialog->setAboutLine(about);
          dialog->setWindowTitle(QStringLiteral("Kalvora - ") + about);
        }
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        if (patientQuerySource_) {
          PatientQueryOffer offer = patientQuerySource_();
          if (offer.params || !offer.problem.empty()) dialog->offerPatientQuery(std::move(offer));
        }
        connect(dialog, &QDialog::finished, this, [this, question, dialog](int result) {
          {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!question->answered) question->patientData = dialog->answer();
          }
          answer(question, result == QDialog::Accepted);
        });
        bringToFront(dialog);
        return static_cast<QWidget*>(dialog);
      });
  std::lock_guard<std::mutex> lock(mutex_);
  if (!question->accepted) return std::nullopt;
  return question->patientData;
}

bool GuiPrompts::askRetryAssociation(const AssociationRetryQuestion& asked) {
  const auto question =
      ask(QuestionKind::RetryAssociation, [this, asked](const std::shared_ptr<Question>& question) {
        const QString about = aboutJob(asked.jobFolder, {});
        QString title = QString::fromLatin1(kProductName);
        if (!about.isEmpty()) title += QStringLiteral(" - ") + about;
        auto* box =
            new QMessageBox(QMessageBox::Critical, title, QString::fromStdString(asked.text),
                            QMessageBox::Yes | QMessageBox::No);
        if (!about.isEmpty()) box->setInformativeText(about);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setObjectName(QStringLiteral("retryQuestion"));
        connect(box, &QMessageBox::finished, this, [this, question, box](int) {
          answer(question, box->clickedButton() == box->button(QMessageBox::Yes));
        });
        bringToFront(box);
        return static_cast<QWidget*>(box);
      });
  std::lock_guard<std::mutex> lock(mutex_);
  return question->accepted;
}

std::optional<StationChoice> GuiPrompts::chooseStation(const CStationArray& stations) {
  return chooseStationFor(stations, {});
}

std::optional<StationChoice> GuiPrompts::chooseStationFor(const CStationArray& stations,
                                                          const std::string& jobFolder) {
  if (cancelled()) return std::nullopt;
  // Above the main window, and answerable while a window-modal dialog runs there.
  CStationsErrorDlg dialog(stations);
  dialog.setAboutLine(aboutJob(jobFolder, {}));
  dialog.setWindowFlag(Qt::WindowStaysOnTopHint, true);
  dialog.setWindowModality(Qt::ApplicationModal);
  stationChoices_.push_back(&dialog);
  const int result = dialog.exec();
  stationChoices_.erase(
      std::remove(stationChoices_.begin(), stationChoices_.end(), QPointer<QWidget>(&dialog)),
      stationChoices_.end());
  if (result != QDialog::Accepted || cancelled()) return std::nullopt;
  return dialog.choice();
}
