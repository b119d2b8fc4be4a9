#include "platform/FileReplacement.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace {

std::string folderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// The file's own name with a leading dot, the process id and a counter: unique among
// the processes and threads that save beside it.
int createSiblingFile(const std::string& path, std::string& siblingPath) {
  static std::atomic<unsigned> counter{0};
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  for (int attempt = 0; attempt < 100; ++attempt) {
    siblingPath =
        folder + "." + name + ".new-" + std::to_string(getpid()) + "-" + std::to_string(counter++);
    const int fd = open(siblingPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

int writeAll(int fd, const char* bytes, std::size_t size) {
  std::size_t written = 0;
  while (written < size) {
    const ssize_t n = write(fd, bytes + written, size - written);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    written += static_cast<std::size_t>(n);
  }
  return 0;
}

void syncFolder(const std::string& folder) {
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);  // the rename is done; a failure here cannot be undone anyway
  close(fd);
}

}  // namespace

int replaceFileContents(const std::string& path, const std::string& bytes) {
  std::string siblingPath;
  const int fd = createSiblingFile(path, siblingPath);
  if (fd < 0) return errno;

  struct stat old {};
  // Whoever may write the configuration decides where patient data goes.
  if (stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode)) fchmod(fd, old.st_mode & 07755);

  int error = writeAll(fd, bytes.data(), bytes.size());
  if (error == 0 && fsync(fd) != 0) error = errno;
  if (close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && rename(siblingPath.c_str(), path.c_str()) != 0) error = errno;
  if (error != 0) {
    unlink(siblingPath.c_str());
    return error;
  }
  syncFolder(folderOf(path));
  return 0;
}

int copyToNewFile(int sourceFd, const std::string& path) {
  int fd = -1;
  std::string target = path;
  for (int suffix = 2; fd < 0 && suffix < 100; ++suffix) {
    fd = open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0 && errno != EEXIST) return errno;
    if (fd < 0) target = path + "-" + std::to_string(suffix);
  }
  if (fd < 0) return EEXIST;

  int error = 0;
  char buffer[64 * 1024];
  for (off_t offset = 0; error == 0;) {
    const ssize_t n = pread(sourceFd, buffer, sizeof buffer, offset);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) error = errno;
    if (n <= 0) break;
    error = writeAll(fd, buffer, static_cast<std::size_t>(n));
    offset += n;
  }
  if (error == 0 && fsync(fd) != 0) error = errno;
  if (close(fd) != 0 && error == 0) error = errno;
  if (error != 0) {
    unlink(target.c_str());
    return error;
  }
  syncFolder(folderOf(target));
  return 0;
}
