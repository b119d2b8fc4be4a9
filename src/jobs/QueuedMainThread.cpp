#include "jobs/QueuedMainThread.h"

#include <algorithm>

void QueuedMainThread::post(std::function<void()> task) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    tasks_.push_back(std::move(task));
  }
  posted_.notify_one();
}

bool QueuedMainThread::runUntil(const std::function<bool()>& done,
                                std::chrono::milliseconds timeout, std::chrono::milliseconds poll) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return false;
    std::function<void()> task;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      const auto wakeUp = std::min(deadline, now + poll);
      if (!posted_.wait_until(lock, wakeUp, [this] { return !tasks_.empty(); })) continue;
      task = std::move(tasks_.front());
      tasks_.pop_front();
    }
    task();
  }
  return true;
}
