#include "jobs/JobFolders.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace {

constexpr mode_t kPrivate = 0700;

// True when `path` is a folder this user owns, reached without a link.
bool isOwnFolder(const std::string& path) {
  struct stat info {};
  return lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == geteuid();
}

// A level made here is private whatever the umask; levels that were there stay as they are.
void makePrivateFolder(const std::string& path) {
  if (mkdir(path.c_str(), kPrivate) == 0 && isOwnFolder(path)) chmod(path.c_str(), kPrivate);
}

template <typename Visit>
void forEachEntry(int folderFd, Visit visit) {
  const int listFd = dup(folderFd);
  if (listFd < 0) return;
  DIR* dir = fdopendir(listFd);
  if (dir == nullptr) {
    close(listFd);
    return;
  }
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    struct stat info {};
    if (fstatat(folderFd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (!visit(name, info)) break;
  }
  closedir(dir);
}

}  // namespace

std::string MakeJobFolderName(const std::string& tempFolder, std::time_t now) {
  std::tm local{};
  localtime_r(&now, &local);
  char digits[64];
  std::snprintf(digits, sizeof digits, "%d%d%d%d%d%d", local.tm_year + 1900, local.tm_mon + 1,
                local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
  return tempFolder + "/" + digits;
}

bool CreateFolderChain(const std::string& path) {
  for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
       slash = path.find('/', slash + 1)) {
    makePrivateFolder(path.substr(0, slash));
  }
  makePrivateFolder(path);
  struct stat info {};
  return stat(path.c_str(), &info) == 0;
}

std::string CreateJobFolder(const std::string& tempFolder, std::time_t now,
                            const std::function<bool(const std::string&)>& isTaken) {
  const std::string name = MakeJobFolderName(tempFolder, now);
  CreateFolderChain(tempFolder);
  std::string candidate = name;
  for (unsigned suffix = 2;; ++suffix) {
    if (!isTaken || !isTaken(candidate)) {
      // mkdir never follows a link at the last component: a planted one gives EEXIST.
      if (mkdir(candidate.c_str(), kPrivate) == 0) {
        if (isOwnFolder(candidate)) {
          chmod(candidate.c_str(), kPrivate);  // whatever the umask left
          return candidate;
        }
        // Swapped for something else right after it was made: not ours to use.
      } else if (errno != EEXIST) {
        return name;
      }
    }
    candidate = name + "." + std::to_string(suffix);
  }
}

std::string FirstFileInFolder(const std::string& folder) {
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return {};
  std::string first;
  forEachEntry(fd, [&](const std::string& name, const struct stat& info) {
    if (!S_ISREG(info.st_mode)) return true;
    first = name;
    return false;
  });
  close(fd);
  return first;
}

void DeleteJobFolder(const std::string& folder) {
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return;
  forEachEntry(fd, [&](const std::string& name, const struct stat& info) {
    if (!S_ISDIR(info.st_mode)) unlinkat(fd, name.c_str(), 0);
    return true;
  });
  close(fd);
  rmdir(folder.c_str());
}
