#include "platform/MediaArrivalWatcher.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

MediaArrivalWatcher::MediaArrivalWatcher(Callback onArrival, std::string mountInfoPath,
                                         std::string sysfsRoot)
    : onArrival_(std::move(onArrival)),
      mountInfoPath_(std::move(mountInfoPath)),
      sysfsRoot_(std::move(sysfsRoot)) {}

MediaArrivalWatcher::~MediaArrivalWatcher() { stop(); }

bool MediaArrivalWatcher::start() {
  if (running()) return true;
  // Opened before the table is read, so a mount in between still wakes the watcher.
  mountInfoFd_ = open(mountInfoPath_.c_str(), O_RDONLY | O_CLOEXEC);
  wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (mountInfoFd_ < 0 || wakeFd_ < 0) {
    closeDescriptors();
    return false;
  }
  try {
    const std::optional<std::string> table = readMountInfo();
    if (!table) {
      closeDescriptors();
      return false;
    }
    knownMounts_ = parseMountInfo(*table);
    thread_ = std::thread(&MediaArrivalWatcher::watch, this);
  } catch (...) {
    closeDescriptors();
    return false;
  }
  return true;
}

void MediaArrivalWatcher::stop() {
  if (!running()) return;
  const uint64_t one = 1;
  ssize_t written;
  do {
    written = write(wakeFd_, &one, sizeof one);
  } while (written < 0 && errno == EINTR);
  thread_.join();
  closeDescriptors();
}

void MediaArrivalWatcher::closeDescriptors() {
  if (mountInfoFd_ >= 0) close(mountInfoFd_);
  if (wakeFd_ >= 0) close(wakeFd_);
  mountInfoFd_ = wakeFd_ = -1;
}

void MediaArrivalWatcher::watch() {
  pollfd watched[2] = {{mountInfoFd_, POLLPRI, 0}, {wakeFd_, POLLIN, 0}};
  for (;;) {
    if (poll(watched, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (watched[1].revents != 0) return;
    // The mount table reports a change as POLLPRI together with POLLERR.
    if (watched[0].revents & POLLNVAL) return;
    if (watched[0].revents & (POLLPRI | POLLERR)) readChanges();
  }
}

void MediaArrivalWatcher::readChanges() {
  try {
    // A table that could not be read whole would make known mounts look new later.
    const std::optional<std::string> table = readMountInfo();
    if (!table) return;
    std::vector<MountEntry> current = parseMountInfo(*table);
    const std::vector<MediaArrival> arrivals = findArrivals(knownMounts_, current, sysfsRoot_);
    knownMounts_ = std::move(current);
    for (const MediaArrival& arrival : arrivals) {
      try {
        onArrival_(arrival);
      } catch (...) {
        // A failing receiver must not end the watching.
      }
    }
  } catch (...) {
  }
}

std::optional<std::string> MediaArrivalWatcher::readMountInfo() const {
  if (lseek(mountInfoFd_, 0, SEEK_SET) < 0) return std::nullopt;
  // Large reads: the kernel hands out the table in as few pieces as fit.
  std::string text;
  std::string buffer(1 << 16, '\0');
  for (;;) {
    const ssize_t got = read(mountInfoFd_, buffer.data(), buffer.size());
    if (got == 0) return text;
    if (got > 0) {
      text.append(buffer.data(), static_cast<size_t>(got));
    } else if (errno != EINTR) {
      return std::nullopt;
    }
  }
}
