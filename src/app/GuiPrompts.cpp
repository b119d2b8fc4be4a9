#include "app/GuiPrompts.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QMetaObject>

#include <algorithm>
#include <condition_variable>

#include "config/ProductVersion.h"
#include "config/dialogs/CStationsErrorDlg.h"
#include "media/dialogs/CQueryNewPatientIDDlg.h"

struct GuiPrompts::Question {
  std::condition_variable done;
  bool answered = false;
  bool accepted = false;
  NewPatientDataAnswer patientData;
  QPointer<QWidget> window;  // main thread only
};

namespace {

void bringToFront(QWidget* window) {
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
    std::function<QWidget*(const std::shared_ptr<Question>&)> show) {
  auto question = std::make_shared<Question>();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (cancelled_) return question;  // unanswered counts as cancelled
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

void GuiPrompts::cancelAll() {
  std::vector<std::shared_ptr<Question>> open;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    cancelled_ = true;
    open.swap(open_);
    for (const auto& question : open) {
      question->answered = true;
      question->accepted = false;
      question->done.notify_all();
    }
  }
  for (const auto& question : open)
    if (question->window) question->window->close();
  for (const QPointer<QWidget>& dialog : stationChoices_)
    if (dialog) dialog->close();
}

std::optional<NewPatientDataAnswer> GuiPrompts::askNewPatientData(
    const NewPatientDataQuestion& asked) {
  const auto question = ask([this, asked](const std::shared_ptr<Question>& question) {
    auto* dialog = new CQueryNewPatientIDDlg(asked);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
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
  const QString text = QString::fromStdString(asked.text);
  const auto question = ask([this, text](const std::shared_ptr<Question>& question) {
    auto* box = new QMessageBox(QMessageBox::Critical, QString::fromLatin1(kProductName), text,
                                QMessageBox::Yes | QMessageBox::No);
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
  if (cancelled()) return std::nullopt;
  CStationsErrorDlg dialog(stations, mainWindow_);
  stationChoices_.push_back(&dialog);
  const int result = dialog.exec();
  stationChoices_.erase(
      std::remove(stationChoices_.begin(), stationChoices_.end(), QPointer<QWidget>(&dialog)),
      stationChoices_.end());
  if (result != QDialog::Accepted || cancelled()) return std::nullopt;
  return dialog.choice();
}
