#pragma once

#include "jobs/QueuedMainThread.h"

// The test's own thread plays the main thread: posted tasks run inside runUntil.
class TestMainThread : public QueuedMainThread {
 public:
  bool runUntil(const std::function<bool()>& done,
                std::chrono::milliseconds timeout = std::chrono::seconds(30)) {
    return QueuedMainThread::runUntil(done, timeout, std::chrono::milliseconds(50));
  }
};
