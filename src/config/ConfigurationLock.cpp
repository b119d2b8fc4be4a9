#include "config/ConfigurationLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

namespace {

bool lockWithoutWaiting(int fd) {
  int result;
  do {
    result = flock(fd, LOCK_EX | LOCK_NB);
  } while (result != 0 && errno == EINTR);
  return result == 0;
}

int openFolder(const std::string& workingFolder) {
  return open(workingFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

}  // namespace

ConfigurationLock::~ConfigurationLock() { release(); }

void ConfigurationLock::release() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

bool ConfigurationLock::acquire(const std::string& workingFolder, int waitMs) {
  release();
  const int fd = openFolder(workingFolder);
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
  const int fd = openFolder(workingFolder);
  if (fd < 0) return true;  // no folder yet: no tray application works with it
  if (!lockWithoutWaiting(fd)) {
    close(fd);
    return false;
  }
  fd_ = fd;
  return true;
}
