#include "platform/PrivateFolder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/FileSystemPaths.h"

namespace {

constexpr mode_t kWritableByOthers = S_IWGRP | S_IWOTH;

bool ownerTrusted(const struct stat& info) { return info.st_uid == 0 || info.st_uid == geteuid(); }

std::string parentOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == 0 || slash == std::string::npos ? "/" : path.substr(0, slash);
}

std::optional<std::string> whyParentsAreNotSafe(const std::string& folder) {
  std::string path = resolvedPath(folder);
  if (path.empty()) return std::string("it cannot be checked (") + std::strerror(errno) + ")";
  while (path != "/") {
    path = parentOf(path);
    struct stat info {};
    if (stat(path.c_str(), &info) != 0)
      return "the folder '" + path + "' above it cannot be checked (" + std::strerror(errno) + ")";
    if (!ownerTrusted(info)) return "the folder '" + path + "' above it belongs to another user";
    if ((info.st_mode & kWritableByOthers) == 0) return std::nullopt;
    if ((info.st_mode & S_ISVTX) == 0)
      return "others can write to the folder '" + path + "' above it";
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> whyFolderIsNotPrivate(const std::string& path) {
  const std::string folder = withoutTrailingSlashes(path);
  struct stat info {};
  if (lstat(folder.c_str(), &info) != 0)
    return std::string("it cannot be checked (") + std::strerror(errno) + ")";
  if (S_ISLNK(info.st_mode)) return "it is a symbolic link";
  if (!S_ISDIR(info.st_mode)) return "it is not a folder";
  if (info.st_uid != geteuid()) return "it belongs to another user";
  if ((info.st_mode & kWritableByOthers) != 0) return "others can write to it";
  return whyParentsAreNotSafe(folder);
}
