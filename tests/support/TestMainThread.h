#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

#include "jobs/MainThreadPoster.h"

// The test's own thread plays the main thread: posted tasks run inside runUntil.
class TestMainThread : public MainThreadPoster {
 public:
  void post(std::function<void()> task) override;
  // Runs posted tasks until `done` holds (checked after each task) or the time is up.
  bool runUntil(const std::function<bool()>& done,
                std::chrono::milliseconds timeout = std::chrono::seconds(30));

 private:
  std::mutex mutex_;
  std::condition_variable posted_;
  std::deque<std::function<void()>> tasks_;
};
