#include "media/MediaFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

const char* const kNotAFile = "Not a regular file";

std::string unreadable(int error) {
  return std::string("Can't read file (") + std::strerror(error) + ")";
}

bool procFdAvailable() {
  static const bool available = access("/proc/self/fd", X_OK) == 0;
  return available;
}

}  // namespace

MediaFile::~MediaFile() {
  if (fd_ >= 0) close(fd_);
}

MediaFile::Opened MediaFile::open(const std::string& path, std::string& error) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) {
    error = unreadable(errno);
    return Opened::Unreadable;
  }
  if (!S_ISREG(info.st_mode)) {
    error = kNotAFile;
    return Opened::NotAFile;
  }
  fd_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd_ < 0) {
    error = unreadable(errno);
    return Opened::Unreadable;
  }
  // The entry may have changed since the check; trust only what was opened.
  if (fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) {
    error = kNotAFile;
    return Opened::NotAFile;
  }
  loadPath_ = procFdAvailable() ? "/proc/self/fd/" + std::to_string(fd_) : path;
  return Opened::Yes;
}

bool MediaFile::hasDicomPrefix() const {
  char head[132];
  return fd_ >= 0 && pread(fd_, head, sizeof head, 0) == static_cast<ssize_t>(sizeof head) &&
         std::memcmp(head + 128, "DICM", 4) == 0;
}
