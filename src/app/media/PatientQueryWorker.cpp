#include "app/media/PatientQueryWorker.h"

#include <QMetaObject>

PatientQueryWorker::PatientQueryWorker(QObject* parent) : QObject(parent) {}

PatientQueryWorker::~PatientQueryWorker() {
  if (!thread_.joinable()) return;
  query_->cut();
  thread_.join();
}

void PatientQueryWorker::start(const PatientQueryParams& params, const PatientQueryKeys& keys) {
  if (running_ || thread_.joinable()) return;
  running_ = true;
  query_ = std::make_unique<PatientQuery>(params);
  thread_ = std::thread([this, keys] {
    PatientQueryResult result = query_->run(keys);  // never throws
    // This object waits for the thread before it goes, so it is there to be posted to; a
    // report still queued when it goes is dropped with it.
    QMetaObject::invokeMethod(
        this, [this, result = std::move(result)] { deliver(result); }, Qt::QueuedConnection);
  });
}

void PatientQueryWorker::deliver(const PatientQueryResult& result) {
  thread_.join();  // it has posted this, its last act
  running_ = false;
  Q_EMIT finished(result);
}
