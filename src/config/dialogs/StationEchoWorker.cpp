#include "config/dialogs/StationEchoWorker.h"

#include <QCoreApplication>

#include <thread>

#include "config/AppSettings.h"
#include "config/CStation.h"
#include "net/StationEcho.h"

// Shared by the dialog side and the thread; `receiver` is read and cleared only on the
// GUI thread.
struct StationEchoWorker::State {
  std::unique_ptr<StationEcho> echo;
  StationEchoWorker* receiver = nullptr;
};

StationEchoWorker::StationEchoWorker(QObject* parent) : QObject(parent) {}

StationEchoWorker::~StationEchoWorker() {
  if (!state_) return;
  state_->receiver = nullptr;
  state_->echo->cut();
}

void StationEchoWorker::start(const CStation& station, const AppSettings& settings) {
  if (state_) return;
  state_ = std::make_shared<State>();
  state_->receiver = this;
  state_->echo =
      std::make_unique<StationEcho>(settings.callingAeTitle, station.aeTitle, station.host,
                                    station.port, settings.timeoutMs, settings.maxPduSize);
  std::thread([state = state_] {
    EchoResult result;
    try {
      result = state->echo->run();
    } catch (...) {
      result = {false, "The test failed unexpectedly."};
    }
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) return;
    QMetaObject::invokeMethod(
        app,
        [state, result] {
          if (state->receiver)
            state->receiver->deliver(result.ok, QString::fromStdString(result.message));
        },
        Qt::QueuedConnection);
  }).detach();
}

void StationEchoWorker::deliver(bool reached, const QString& message) {
  state_.reset();
  Q_EMIT finished(reached, message);
}
