#pragma once

#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/MediaArrival.h"
#include "platform/MountTable.h"

// Learns of media as they are mounted: waits on the mount table's change notification and
// reports each newly mounted optical or removable file system once. Mounts present at
// start() are not arrivals.
class MediaArrivalWatcher {
 public:
  // Called on the watcher's own thread, one arrival at a time.
  using Callback = std::function<void(const MediaArrival&)>;

  explicit MediaArrivalWatcher(Callback onArrival,
                               std::string mountInfoPath = "/proc/self/mountinfo",
                               std::string sysfsRoot = "/sys");
  ~MediaArrivalWatcher();
  MediaArrivalWatcher(const MediaArrivalWatcher&) = delete;
  MediaArrivalWatcher& operator=(const MediaArrivalWatcher&) = delete;

  // Takes the current mount table as known and starts watching. false when the mount
  // table cannot be opened or the thread not started. Does nothing while running.
  bool start();
  // Ends the watching thread and waits for it; no callback runs after it returns.
  // Not to be called from the callback itself.
  void stop();
  bool running() const { return thread_.joinable(); }

 private:
  void watch();
  void readChanges();
  std::optional<std::string> readMountInfo() const;
  void closeDescriptors();

  Callback onArrival_;
  std::string mountInfoPath_;
  std::string sysfsRoot_;
  int mountInfoFd_ = -1;
  int wakeFd_ = -1;
  std::vector<MountEntry> knownMounts_;
  std::thread thread_;
};
