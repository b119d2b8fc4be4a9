#pragma once

#include <QObject>
#include <QString>

#include <memory>

struct AppSettings;
struct CStation;

// Runs one C-ECHO to a station on a thread of its own and reports on the GUI thread.
// Destroyed while the echo runs, it cuts the echo and is told nothing more; the thread
// ends by itself.
class StationEchoWorker : public QObject {
  Q_OBJECT
 public:
  explicit StationEchoWorker(QObject* parent = nullptr);
  ~StationEchoWorker() override;

  // Calling AE title, time-out and PDU size as the settings give them.
  void start(const CStation& station, const AppSettings& settings);
  bool running() const { return state_ != nullptr; }

 Q_SIGNALS:
  void finished(bool reached, const QString& message);

 private:
  struct State;
  void deliver(bool reached, const QString& message);

  std::shared_ptr<State> state_;
};
