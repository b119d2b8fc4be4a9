#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <thread>

#include "media/MediaFileLoad.h"

// The thread that reads the medium's files one ahead of the scan, kept for the whole scan: a
// thread started for each file is a cost of its own on a medium of many small images.
class LoadAhead {
 public:
  LoadAhead() = default;
  // Drops the loads not begun, waits for the one under way and ends the thread.
  ~LoadAhead();
  LoadAhead(const LoadAhead&) = delete;
  LoadAhead& operator=(const LoadAhead&) = delete;

  // Queues `load` behind those given before; the thread starts with the first. Throws
  // std::system_error when no thread can be had.
  std::future<MediaFileLoad> start(std::function<MediaFileLoad()> load);

 private:
  void run();

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::packaged_task<MediaFileLoad()>> queued_;
  bool ending_ = false;
  std::thread thread_;
};
