#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

// A worker's thread that the owner can wait for with a time limit.
class WorkerThread {
 public:
  WorkerThread() = default;
  ~WorkerThread() { join(); }
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;

  // Runs `body` on a new thread; does nothing when one was started already.
  void start(std::function<void()> body);
  // True once the body has returned (or when nothing was started).
  bool waitFor(std::chrono::milliseconds timeout);
  void join();

 private:
  std::mutex mutex_;
  std::condition_variable ended_;
  bool finished_ = true;
  std::thread thread_;
};
