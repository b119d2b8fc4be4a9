#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

#include "workers/MainThreadPoster.h"

// A main thread without a GUI: the thread that calls runUntil runs the posted tasks.
class QueuedMainThread : public MainThreadPoster {
 public:
  void post(std::function<void()> task) override;
  // Runs posted tasks until `done` holds (checked before and after each task) or the
  // time is up; returns done(). `done` is also checked at least every `poll`.
  bool runUntil(const std::function<bool()>& done,
                std::chrono::milliseconds timeout = std::chrono::hours(24 * 365),
                std::chrono::milliseconds poll = std::chrono::milliseconds(200));

 private:
  std::mutex mutex_;
  std::condition_variable posted_;
  std::deque<std::function<void()>> tasks_;
};
