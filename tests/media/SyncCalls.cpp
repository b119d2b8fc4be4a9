#include "SyncCalls.h"

#include <dlfcn.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <mutex>

namespace {

std::mutex mutex;
std::vector<std::string> synced;
std::atomic<int> failure{0};

}  // namespace

std::vector<std::string> takeSyncedFolders() {
  std::lock_guard<std::mutex> lock(mutex);
  return std::move(synced);
}

void failSyncsWith(int error) { failure = error; }

extern "C" int syncfs(int fd) {
  char target[PATH_MAX] = {};
  const ssize_t length =
      readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), target, sizeof target - 1);
  {
    std::lock_guard<std::mutex> lock(mutex);
    synced.emplace_back(target, length > 0 ? static_cast<size_t>(length) : 0);
  }
  if (const int error = failure.load()) {
    errno = error;
    return -1;
  }
  using Syncfs = int (*)(int);
  static const Syncfs real = reinterpret_cast<Syncfs>(dlsym(RTLD_NEXT, "syncfs"));
  return real(fd);
}
