#pragma once

#include <QObject>
#include <QString>

#include <memory>
#include <thread>

#include "config/TlsSettings.h"

struct AppSettings;
struct CStation;
class StationEcho;

// Runs one C-ECHO to a station on a thread of its own and reports on the GUI thread.
// Destroyed while the echo runs (its dialog closes, the application ends), it cuts the echo
// and waits for the thread, which then ends at once: nothing outlives the window.
class StationEchoWorker : public QObject {
  Q_OBJECT
 public:
  explicit StationEchoWorker(QObject* parent = nullptr);
  ~StationEchoWorker() override;

  // Calling AE title, time-out and PDU size as the settings give them; over TLS when on.
  void start(const CStation& station, const AppSettings& settings, const TlsSettings& tls = {});
  bool running() const { return running_; }

 Q_SIGNALS:
  void finished(bool reached, const QString& message);

 private:
  void deliver(bool reached, const QString& message);

  std::unique_ptr<StationEcho> echo_;
  std::thread thread_;
  bool running_ = false;
};
