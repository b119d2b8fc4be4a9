#include "workers/WorkerThread.h"

void WorkerThread::start(std::function<void()> body) {
  if (thread_.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    finished_ = false;
  }
  thread_ = std::thread([this, body = std::move(body)] {
    body();
    {
      std::lock_guard<std::mutex> lock(mutex_);
      finished_ = true;
    }
    ended_.notify_all();
  });
}

bool WorkerThread::waitFor(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(mutex_);
  return ended_.wait_for(lock, timeout, [this] { return finished_; });
}

void WorkerThread::join() {
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}
