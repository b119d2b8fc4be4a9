#include "platform/FileSystemPaths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>

namespace {

constexpr mode_t kPrivate = 0700;

int makePrivateFolder(const std::string& path) {
  if (mkdir(path.c_str(), kPrivate) != 0) return errno == EEXIST ? 0 : errno;
  // The umask may have taken bits from the owner too; a folder swapped in meanwhile is not ours.
  struct stat info {};
  if (lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == geteuid())
    chmod(path.c_str(), kPrivate);
  return 0;
}

}  // namespace

std::string withoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::string resolvedPath(const std::string& path) {
  const std::unique_ptr<char, decltype(&std::free)> real(realpath(path.c_str(), nullptr),
                                                         &std::free);
  return real ? real.get() : "";
}

int makePrivateFolders(const std::string& path) {
  for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
       slash = path.find('/', slash + 1))
    makePrivateFolder(path.substr(0, slash));
  return makePrivateFolder(path);
}
