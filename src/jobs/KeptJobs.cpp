#include "jobs/KeptJobs.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>

#include "jobs/JobFolders.h"
#include "platform/PrivateFolder.h"
#include "workers/JobFolderEntries.h"

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

// Anything at all under the journal's name, also a link or a pipe.
bool journalEntryExists(const std::string& folder) {
  struct stat info {};
  return lstat((folder + "/" + kJobJournalName).c_str(), &info) == 0;
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
  job.journal = JobJournal::read(jobFolder);
  JobFolderContents contents = SortJobFolder(jobFolder, job.journal);
  job.copies = std::move(contents.copies);
  job.others = std::move(contents.others);
  job.inUse = JobJournal::isLocked(jobFolder);
  return job;
}

KeptJobSearch SearchKeptJobs(const std::string& tempFolder) {
  KeptJobSearch search;
  std::string error;
  const std::string resolved = ResolveTempFolder(tempFolder, error);
  struct stat info {};
  if (resolved.empty() || (lstat(resolved.c_str(), &info) != 0 && errno == ENOENT)) return search;
  // Kept patient data is never hidden without a word.
  if (const auto why = whyFolderIsNotPrivate(resolved)) {
    search.notLooked = "The temporary folder '" + resolved + "' cannot be trusted (" + *why +
                       "): kept jobs there are not shown; make it private with chmod 700.";
    return search;
  }
  for (const std::string& name : sortedEntryNames(resolved)) {
    // Named as job folders are named, in the same spelling (a separator may double).
    const std::string folder = resolved + "/" + name;
    const JobFolderMark mark = ReadJobFolderMark(folder, tempFolder);
    if (mark.proven) {
      search.jobs.push_back(ReadKeptJob(folder));
    } else if (mark.namedAndPlaced && mark.holdsJournal) {
      search.passedOver.push_back("'" + folder +
                                  "' is not shown: its journal was not made with it (copied "
                                  "from another folder, or empty); nothing in it is touched.");
    } else if (mark.namedAndPlaced && journalEntryExists(folder)) {
      search.passedOver.push_back("'" + folder +
                                  "' is not shown: its journal is not a plain file of yours; "
                                  "nothing in it is touched.");
    }
  }
  return search;
}

std::vector<KeptJob> FindKeptJobs(const std::string& tempFolder) {
  return SearchKeptJobs(tempFolder).jobs;
}
