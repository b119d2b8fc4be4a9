#pragma once

#include <QObject>

#include <memory>
#include <thread>

#include "net/PatientQuery.h"

// Runs one patient query on a thread of its own and reports on the GUI thread. Destroyed
// while the query runs (its dialog closes, the application ends), it cuts the query and
// waits for the thread, which then ends at once: nothing outlives the window.
class PatientQueryWorker : public QObject {
  Q_OBJECT
 public:
  explicit PatientQueryWorker(QObject* parent = nullptr);
  ~PatientQueryWorker() override;

  void start(const PatientQueryParams& params, const PatientQueryKeys& keys);
  bool running() const { return running_; }

 Q_SIGNALS:
  void finished(const PatientQueryResult& result);

 private:
  void deliver(const PatientQueryResult& result);

  std::unique_ptr<PatientQuery> query_;
  std::thread thread_;
  bool running_ = false;
};
