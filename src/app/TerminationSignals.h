#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <memory>

// SIGTERM and SIGINT become a signal on the event loop, where the application can
// save its configuration and end in order.
class TerminationSignals : public QObject {
  Q_OBJECT
 public:
  explicit TerminationSignals(QObject* parent = nullptr);
  ~TerminationSignals() override;

 Q_SIGNALS:
  void terminationRequested();

 private:
  std::unique_ptr<QSocketNotifier> notifier_;
};
