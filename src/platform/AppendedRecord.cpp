#include "platform/AppendedRecord.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace {

std::string failure(const std::string& path, int error) {
  return path + ": " + std::generic_category().message(error);
}

}  // namespace

std::optional<std::string> appendRecordLine(const std::string& path, const std::string& line) {
  const int fd =
      open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0600);
  if (fd < 0) return failure(path, errno);
  struct stat status {};
  if (fstat(fd, &status) != 0) {
    const int error = errno;
    close(fd);
    return failure(path, error);
  }
  if (!S_ISREG(status.st_mode)) {
    close(fd);
    return path + ": Not a regular file";
  }
  if ((status.st_mode & S_IROTH) != 0) {
    close(fd);
    return path + ": readable by others; nothing written";
  }
  const std::string record = line + "\n";
  size_t written = 0;
  int error = 0;
  while (written < record.size()) {
    const ssize_t done = write(fd, record.data() + written, record.size() - written);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) {
      error = done < 0 ? errno : EIO;
      break;
    }
    written += static_cast<size_t>(done);
  }
  if (error == 0 && fdatasync(fd) != 0) error = errno;
  if (close(fd) != 0 && error == 0) error = errno;
  if (error != 0) return failure(path, error);
  return std::nullopt;
}
