#include "media/LoadAhead.h"

LoadAhead::~LoadAhead() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ending_ = true;
  }
  wake_.notify_one();
  if (thread_.joinable()) thread_.join();
}

std::future<MediaFileLoad> LoadAhead::start(std::function<MediaFileLoad()> load) {
  std::packaged_task<MediaFileLoad()> task(std::move(load));
  std::future<MediaFileLoad> result = task.get_future();
  if (!thread_.joinable()) thread_ = std::thread([this] { run(); });
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queued_.push_back(std::move(task));
  }
  wake_.notify_one();
  return result;
}

void LoadAhead::run() {
  for (;;) {
    std::packaged_task<MediaFileLoad()> task;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [this] { return ending_ || !queued_.empty(); });
      if (ending_) return;
      task = std::move(queued_.front());
      queued_.pop_front();
    }
    // An exception of the load reaches whoever waits for it, never this thread.
    task();
  }
}
