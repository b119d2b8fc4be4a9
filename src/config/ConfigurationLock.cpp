#include "config/ConfigurationLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

namespace {

constexpr char kLockFileName[] = ".kalvora-tray.lock";

bool lockWithoutWaiting(int fd) {
  int result;
  do {
    result = flock(fd, LOCK_EX | LOCK_NB);
  } while (result != 0 && errno == EINTR);
  return result == 0;
}

}  // namespace

ConfigurationLock::~ConfigurationLock() { release(); }

std::string ConfigurationLock::pathIn(const std::string& workingFolder) {
  if (!workingFolder.empty() && workingFolder.back() == '/') return workingFolder + kLockFileName;
  return workingFolder + "/" + kLockFileName;
}

void ConfigurationLock::release() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

bool ConfigurationLock::acquire(const std::string& workingFolder, int waitMs) {
  release();
  const int fd = open(pathIn(workingFolder).c_str(),
                      O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
  while (!lockWithoutWaiting(fd)) {
    if (std::chrono::steady_clock::now() >= deadline) {
      close(fd);
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  fd_ = fd;
  return true;
}

bool ConfigurationLock::acquireUnlessHeld(const std::string& workingFolder) {
  release();
  const int fd =
      open(pathIn(workingFolder).c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  // No tray application has used this folder (or its lock cannot be opened, so it holds none).
  if (fd < 0) return true;
  if (!lockWithoutWaiting(fd)) {
    close(fd);
    return false;
  }
  fd_ = fd;
  return true;
}
