#include "media/MediaScan.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "media/JobFolderCopy.h"
#include "workers/MainThreadPoster.h"

namespace {

struct DirCloser {
  void operator()(DIR* dir) const { closedir(dir); }
};

std::unique_ptr<DIR, DirCloser> openFolder(const std::string& folder, bool followLink) {
  const int fd =
      open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | (followLink ? 0 : O_NOFOLLOW));
  if (fd < 0) return nullptr;
  DIR* dir = fdopendir(fd);
  if (dir == nullptr) {
    const int error = errno;
    close(fd);
    errno = error;
  }
  return std::unique_ptr<DIR, DirCloser>(dir);
}

std::string unreadableFolder(int error) {
  return std::string("Can't read folder (") + std::strerror(error) + ")";
}

enum class EntryKind { Folder, LinkedFolder, Other };

// Links to folders are not followed: one pointing above itself would never end the walk.
EntryKind kindOf(DIR* dir, const dirent& entry) {
  unsigned char type = entry.d_type;
  struct stat info {};
  if (type == DT_UNKNOWN) {
    if (fstatat(dirfd(dir), entry.d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) return EntryKind::Other;
    if (S_ISDIR(info.st_mode)) return EntryKind::Folder;
    if (S_ISLNK(info.st_mode)) type = DT_LNK;
  }
  if (type == DT_DIR) return EntryKind::Folder;
  if (type == DT_LNK && fstatat(dirfd(dir), entry.d_name, &info, 0) == 0 && S_ISDIR(info.st_mode)) {
    return EntryKind::LinkedFolder;
  }
  return EntryKind::Other;
}

}  // namespace

MediaScan::MediaScan(ScanRequest request, MainThreadPoster& mainThread, UserPrompts& prompts,
                     ReportHandler onReport)
    : request_(std::move(request)),
      mainThread_(mainThread),
      onReport_(std::move(onReport)),
      newPatientData_(prompts, request_.jobFolder, request_.sourceRoot) {}

MediaScan::~MediaScan() {
  requestStop();
  join();
}

void MediaScan::start() {
  worker_.start([this] { Scan(); });
}

void MediaScan::requestStop() { stopFlag_.store(true); }

void MediaScan::join() { worker_.join(); }

bool MediaScan::stopSeen() {
  if (!stopRequested_ && stopFlag_.load()) stopRequested_ = true;
  return stopRequested_;
}

void MediaScan::Notify() {
  progress_.filesSeen = filesSeen_;
  progress_.filesSaved = filesSaved_;
  if (!onReport_) return;
  mainThread_.post(
      [handler = onReport_, snapshot = progress_] { handler(snapshot.event, snapshot); });
}

void MediaScan::report(ScanEvent event, const std::string& message) {
  progress_.event = event;
  progress_.message = message;
  Notify();
}

void MediaScan::reportFile(ScanEvent event, const std::string& name, const std::string& message) {
  progress_.fileName = name;
  report(event, message);
}

void MediaScan::Scan() {
  try {
    hasExclusions_ = !request_.excludedExtensions.empty();
    progress_.sourceRoot = request_.sourceRoot;
    progress_.jobFolder = request_.jobFolder;
    report(ScanEvent::ScanStarted, "");
    if (request_.sourceRoot.empty() || request_.jobFolder.empty()) {
      report(ScanEvent::ScanError, "parameter empty");
    } else if (!request_.jobFolderError.empty()) {
      reportFile(ScanEvent::ScanError, request_.jobFolder, request_.jobFolderError);
    } else if (ScanDirectory(request_.sourceRoot) == 0) {
      report(ScanEvent::ScanSkipped, "Media contains no data or no valid media present");
    }
    finishPending();
    // Once the scan has finished, the disc may go back to the patient: the copies must be on
    // the disk by then, not only named.
    if (!stopRequested_ && request_.jobFolderError.empty() && filesSaved_ > 0) {
      if (const int error = SyncJobFolder(request_.jobFolder))
        reportFile(ScanEvent::ScanError, request_.jobFolder,
                   std::string("The copies could not be written to the disk (") +
                       std::strerror(error) + ")");
    }
  } catch (...) {
    try {
      report(ScanEvent::ScanError, "Unknown error in MediaScan::Scan()");
    } catch (...) {
    }
  }
  try {
    report(stopRequested_ ? ScanEvent::ScanStopped : ScanEvent::ScanFinished, "");
  } catch (...) {
    // Nothing left to tell: the main thread cannot be reached.
  }
}

void MediaScan::importAhead(const std::string& path, const std::string& name) {
  std::future<MediaFileLoad> next = loadAhead_.start([this, path, name] {
    static const std::vector<std::string> none;
    return loadMediaFile(path, name, hasExclusions_ ? request_.excludedExtensions : none,
                         &stopFlag_);
  });
  finishPending();
  pending_ = std::move(next);
}

void MediaScan::finishPending() {
  if (!pending_.valid()) return;
  MediaFileLoad load = pending_.get();
  // A stop seen meanwhile: the file read ahead is not imported.
  if (!stopSeen()) FinishImport(std::move(load));
}

int MediaScan::ScanDirectory(const std::string& folder, bool followLink) {
  int listed = 0;
  try {
    if (folder.empty()) return 0;
    const auto dir = openFolder(folder, followLink);
    if (!dir) {
      // The medium's root that cannot be listed is an empty medium, reported by Scan.
      if (folder != request_.sourceRoot)
        reportFile(ScanEvent::ScanError, folder, unreadableFolder(errno));
      return 0;
    }
    const std::string prefix = folder.back() == '/' ? folder : folder + "/";
    while (!stopRequested_) {
      errno = 0;
      const dirent* entry = readdir(dir.get());
      if (entry == nullptr) {
        // What a failing medium did not list is not copied: that must not go unsaid.
        if (errno != 0) reportFile(ScanEvent::ScanError, folder, unreadableFolder(errno));
        break;
      }
      const std::string name = entry->d_name;
      if (name == "." || name == "..") continue;
      listed = 1;
      switch (kindOf(dir.get(), *entry)) {
        case EntryKind::Folder:
          ScanDirectory(prefix + name, false);
          break;
        case EntryKind::LinkedFolder:
          break;
        case EntryKind::Other:
          if (!stopSeen()) importAhead(prefix + name, name);
          break;
      }
    }
  } catch (...) {
    try {
      report(ScanEvent::ScanError, "Unknown error in MediaScan::ScanDirectory()");
    } catch (...) {
    }
  }
  return listed;
}
