#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <memory>

// SIGTERM, SIGINT and SIGHUP (the session's end) become a signal on the event loop, where
// the application can save its configuration and end in order.
class TerminationSignals : public QObject {
  Q_OBJECT
 public:
  explicit TerminationSignals(QObject* parent = nullptr);
  ~TerminationSignals() override;

  // Once the exit has begun (the configuration saved): a further signal ends the process
  // at once, whatever the shutdown still waits for.
  void restoreDefaults();

 Q_SIGNALS:
  void terminationRequested();

 private:
  std::unique_ptr<QSocketNotifier> notifier_;
};
