#include "jobs/KeptJobs.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>

#include "jobs/JobFolders.h"
#include "platform/PrivateFolder.h"

namespace {

std::vector<std::string> sortedEntryNames(const std::string& folder) {
  std::vector<std::string> names;
  DIR* dir = opendir(folder.c_str());
  if (!dir) return names;
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

std::time_t JobFolderLeftAt(const std::string& folder) {
  std::time_t newest = 0;
  struct stat info {};
  if (lstat(folder.c_str(), &info) == 0) newest = info.st_mtime;
  DIR* dir = opendir(folder.c_str());
  if (!dir) return newest;
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "..") continue;
    if (lstat((folder + "/" + name).c_str(), &info) == 0) newest = std::max(newest, info.st_mtime);
  }
  closedir(dir);
  return newest;
}

KeptJob ReadKeptJob(const std::string& jobFolder) {
  KeptJob job;
  job.jobFolder = jobFolder;
  job.leftAt = JobFolderLeftAt(jobFolder);
  job.copies = ListJobCopies(jobFolder);
  job.journal = JobJournal::read(jobFolder);
  job.inUse = JobJournal::isLocked(jobFolder);
  return job;
}

std::vector<KeptJob> FindKeptJobs(const std::string& tempFolder) {
  std::string error;
  const std::string resolved = ResolveTempFolder(tempFolder, error);
  std::vector<KeptJob> kept;
  if (resolved.empty() || whyFolderIsNotPrivate(resolved)) return kept;
  for (const std::string& name : sortedEntryNames(resolved)) {
    // Named as job folders are named, in the same spelling (a separator may double).
    const std::string folder = resolved + "/" + name;
    if (IsKalvoraJobFolder(folder, tempFolder)) kept.push_back(ReadKeptJob(folder));
  }
  return kept;
}
