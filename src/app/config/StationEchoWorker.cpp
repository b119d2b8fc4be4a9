#include "app/config/StationEchoWorker.h"

#include <QMetaObject>

#include "config/AppSettings.h"
#include "config/CStation.h"
#include "net/StationEcho.h"

StationEchoWorker::StationEchoWorker(QObject* parent) : QObject(parent) {}

StationEchoWorker::~StationEchoWorker() {
  if (!thread_.joinable()) return;
  echo_->cut();
  thread_.join();
}

void StationEchoWorker::start(const CStation& station, const AppSettings& settings,
                              const TlsSettings& tls) {
  if (running_ || thread_.joinable()) return;
  running_ = true;
  echo_ = std::make_unique<StationEcho>(settings.callingAeTitle, station.aeTitle, station.host,
                                        station.port, settings.timeoutMs, settings.maxPduSize, tls);
  thread_ = std::thread([this] {
    EchoResult result;
    try {
      result = echo_->run();
    } catch (...) {
      result = {false, "The test failed unexpectedly."};
    }
    // This object waits for the thread before it goes, so it is there to be posted to; a
    // report still queued when it goes is dropped with it.
    QMetaObject::invokeMethod(
        this, [this, result] { deliver(result.ok, QString::fromStdString(result.message)); },
        Qt::QueuedConnection);
  });
}

void StationEchoWorker::deliver(bool reached, const QString& message) {
  thread_.join();  // it has posted this, its last act
  running_ = false;
  Q_EMIT finished(reached, message);
}
