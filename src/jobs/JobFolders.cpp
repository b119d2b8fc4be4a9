#include "jobs/JobFolders.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "dicom/CopyIdentity.h"
#include "platform/FileSystemPaths.h"
#include "platform/PrivateFolder.h"
#include "platform/UserFolders.h"
#include "workers/JobFolderEntries.h"

namespace {

constexpr mode_t kPrivate = 0700;

// True when `path` is a folder this user owns, reached without a link.
bool isOwnFolder(const std::string& path) {
  struct stat info {};
  return lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == geteuid();
}

// Kalvora's journal in the open folder: a plain file of this user, not a link.
bool holdsJournal(int folderFd) {
  struct stat info {};
  return fstatat(folderFd, kJobJournalName, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
         S_ISREG(info.st_mode) && info.st_uid == geteuid();
}

// Digits of a time (9 to 14 of them, first not 0), optionally ".N" with N from 2.
bool isJobFolderName(const std::string& name) {
  const std::size_t dot = name.find('.');
  const std::string digits = name.substr(0, dot);
  if (digits.size() < 9 || digits.size() > 14 || digits[0] == '0') return false;
  if (digits.find_first_not_of("0123456789") != std::string::npos) return false;
  if (dot == std::string::npos) return true;
  const std::string suffix = name.substr(dot + 1);
  return !suffix.empty() && suffix.size() < 10 &&
         suffix.find_first_not_of("0123456789") == std::string::npos && std::stoul(suffix) >= 2;
}

std::string systemText(int error) { return std::strerror(error); }

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
  makePrivateFolders(path);
  struct stat info {};
  return stat(path.c_str(), &info) == 0;
}

std::string ResolveTempFolder(const std::string& tempFolder, std::string& error) {
  if (tempFolder.empty()) return defaultTempFolder();
  if (tempFolder.front() == '/') return tempFolder;
  error = "The temporary folder '" + tempFolder + "' is refused: it is not an absolute path.";
  return "";
}

JobFolder CreateJobFolder(const std::string& tempFolder, std::time_t now,
                          const std::function<bool(const std::string&)>& isTaken) {
  JobFolder result;
  const std::string resolved = ResolveTempFolder(tempFolder, result.error);
  const std::string name = MakeJobFolderName(resolved.empty() ? tempFolder : resolved, now);
  const auto taken = [&](const std::string& candidate) { return isTaken && isTaken(candidate); };
  std::string candidate = name;
  for (unsigned suffix = 2; taken(candidate); ++suffix)
    candidate = name + "." + std::to_string(suffix);
  result.path = candidate;
  if (!result.error.empty()) return result;

  const int chainError = makePrivateFolders(resolved);
  struct stat info {};
  if (chainError != 0 && stat(resolved.c_str(), &info) != 0) {
    result.error =
        "Can't create the temporary folder '" + resolved + "' (" + systemText(chainError) + ")";
    return result;
  }
  if (const auto why = whyFolderIsNotPrivate(resolved)) {
    result.error = "The temporary folder '" + resolved + "' is refused: " + *why + ".";
    return result;
  }
  for (unsigned suffix = 2;; ++suffix) {
    if (!taken(candidate)) {
      // mkdir never follows a link at the last component: a planted one gives EEXIST.
      if (mkdir(candidate.c_str(), kPrivate) == 0) {
        if (isOwnFolder(candidate)) {
          chmod(candidate.c_str(), kPrivate);  // whatever the umask left
          result.path = candidate;
          return result;
        }
        // Swapped for something else right after it was made: not ours to use.
      } else if (errno != EEXIST) {
        result.error = "Can't create the job folder (" + systemText(errno) + ")";
        return result;
      }
    }
    candidate = name + "." + std::to_string(suffix);
  }
}

JobFolderMark ReadJobFolderMark(const std::string& folder, const std::string& tempFolder) {
  JobFolderMark mark;
  std::string error;
  const std::string resolved = ResolveTempFolder(tempFolder, error);
  const std::string path = withoutTrailingSlashes(folder);
  if (resolved.empty() || !isOwnFolder(path)) return mark;
  const std::size_t slash = path.rfind('/');
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const std::string parent =
      slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
  if (!isJobFolderName(name)) return mark;
  const std::string realParent = resolvedPath(parent);
  if (realParent.empty() || realParent != resolvedPath(resolved)) return mark;
  mark.namedAndPlaced = true;
  const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return mark;
  mark.holdsJournal = holdsJournal(fd);
  close(fd);
  mark.proven = mark.holdsJournal && JobJournal::read(path).provesFolder(path);
  return mark;
}

bool IsKalvoraJobFolder(const std::string& folder, const std::string& tempFolder) {
  return ReadJobFolderMark(folder, tempFolder).proven;
}

std::string FirstFileInFolder(const std::string& folder) {
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return {};
  std::string first;
  forEachEntry(fd, [&](const std::string& name, const struct stat& info) {
    if (!S_ISREG(info.st_mode) || isJobFolderPrivateEntry(name)) return true;
    first = name;
    return false;
  });
  close(fd);
  return first;
}

std::vector<std::string> ListJobCopies(const std::string& folder) {
  std::vector<std::string> copies;
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return copies;
  forEachEntry(fd, [&](const std::string& name, const struct stat& info) {
    if (S_ISREG(info.st_mode) && !isJobFolderPrivateEntry(name)) copies.push_back(name);
    return true;
  });
  close(fd);
  std::sort(copies.begin(), copies.end());
  return copies;
}

namespace {

bool isPartialCopy(const std::string& name, const struct stat& info) {
  return S_ISREG(info.st_mode) &&
         name.compare(0, std::char_traits<char>::length(kPartialCopyPrefix), kPartialCopyPrefix) ==
             0;
}

// The copy `name` as the journal recorded it, still as written.
bool isRecordedCopy(int folderFd, const std::string& name, const struct stat& info,
                    const JobJournalState& journal, CopyIdentity& identity) {
  if (!S_ISREG(info.st_mode)) return false;
  const auto recorded = journal.copies.find(name);
  if (journal.format == 2 && recorded == journal.copies.end()) return false;
  identity = readCopyIdentityAt(folderFd, name);
  return journal.format != 2 || (identity.known() && identity == recorded->second);
}

JobFolderContents sortOpenFolder(int fd, const JobJournalState& journal) {
  JobFolderContents contents;
  forEachEntry(fd, [&](const std::string& name, const struct stat& info) {
    if (name == kJobJournalName || isPartialCopy(name, info)) return true;
    CopyIdentity identity;
    if (!isJobFolderPrivateEntry(name) && isRecordedCopy(fd, name, info, journal, identity))
      contents.copies.push_back({name, identity});
    else
      contents.others.push_back(S_ISDIR(info.st_mode) ? name + "/" : name);
    return true;
  });
  std::sort(contents.copies.begin(), contents.copies.end(),
            [](const JobCopy& a, const JobCopy& b) { return a.name < b.name; });
  std::sort(contents.others.begin(), contents.others.end());
  return contents;
}

}  // namespace

JobFolderContents SortJobFolder(const std::string& folder, const JobJournalState& journal) {
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return {};
  JobFolderContents contents = sortOpenFolder(fd, journal);
  close(fd);
  return contents;
}

JobFolderRemoval DeleteJobFolder(const std::string& folder, const JobJournalState& journal) {
  JobFolderRemoval removal;
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    removal.folderGone = errno == ENOENT;
    return removal;
  }
  if (!holdsJournal(fd)) {
    close(fd);
    removal.removed = -1;
    return removal;
  }
  const bool recordsCopies = journal.format == 2;
  forEachEntry(fd, [&](const std::string& name, const struct stat& info) {
    if (name == kJobJournalName) return true;
    CopyIdentity identity;
    if (isPartialCopy(name, info)) {
      unlinkat(fd, name.c_str(), 0);
    } else if (recordsCopies && !isJobFolderPrivateEntry(name) &&
               isRecordedCopy(fd, name, info, journal, identity) &&
               unlinkat(fd, name.c_str(), 0) == 0) {
      ++removal.removed;
    } else {
      removal.left.push_back(S_ISDIR(info.st_mode) ? name + "/" : name);
    }
    return true;
  });
  std::sort(removal.left.begin(), removal.left.end());
  // Last, and only when nothing else is left: while the journal is there, its lock keeps
  // other processes off the folder, and the folder stays listed.
  if (removal.left.empty()) {
    unlinkat(fd, kJobJournalName, 0);
    removal.folderGone = rmdir(folder.c_str()) == 0;
  }
  close(fd);
  return removal;
}
