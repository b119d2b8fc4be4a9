// The engine's side of job folders that outlive their run: found at start, sent again,
// discarded.

#include "jobs/KalvoraEngine.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "jobs/EngineObserver.h"
#include "jobs/JobFolders.h"
#include "jobs/JobLog.h"
#include "jobs/KeptJobs.h"

namespace {

bool delivered(const JobJournalState& journal, const std::vector<std::string>& copies) {
  if (journal.destinations.empty()) return false;
  for (const JobDestination& destination : journal.destinations)
    if (!journal.missingAt(destination, copies).empty()) return false;
  return true;
}

}  // namespace

KalvoraEngine::Adoption KalvoraEngine::AdoptKeptJob(const std::string& jobFolder) {
  if (shutDown_ || !IsKalvoraJobFolder(jobFolder, settings.tempFolder) ||
      jobs_.FindJob(jobFolder) >= 0)
    return Adoption::NotKept;
  const std::time_t leftAt = JobFolderLeftAt(jobFolder);  // before opening may touch the journal
  bool inUse = false;
  std::unique_ptr<JobJournal> journal = JobJournal::open(jobFolder, inUse);
  if (!journal) return inUse ? Adoption::InUse : Adoption::NotKept;
  const std::vector<std::string> copies = ListJobCopies(jobFolder);
  // Nothing of a patient's that did not arrive: the run before only failed to clean up.
  if (copies.empty() || delivered(journal->state(), copies)) {
    DeleteJobFolder(jobFolder);
    return Adoption::NotKept;
  }
  const std::string log = foundJobLog(jobFolder, leftAt, copies, journal->state());
  addJobFromJournal(jobFolder, JobStatus::Failed, log, std::move(journal));
  return Adoption::Adopted;
}

std::vector<std::string> KalvoraEngine::RecoverJobFolders() {
  std::vector<std::string> adopted;
  for (const KeptJob& kept : FindKeptJobs(settings.tempFolder)) {
    if (kept.inUse) continue;
    if (AdoptKeptJob(kept.jobFolder) == Adoption::Adopted) adopted.push_back(kept.jobFolder);
  }
  return adopted;
}

bool KalvoraEngine::ResendJob(const std::string& jobFolder,
                              const std::optional<StationChoice>& replacement) {
  JobJournal* journal = journalOf(jobFolder);
  if (shutDown_ || !journal || jobs_.FindJob(jobFolder) < 0 || isJobActive(jobFolder)) return false;
  struct stat info {};
  if (lstat(jobFolder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return false;

  const std::vector<std::string> copies = ListJobCopies(jobFolder);
  if (replacement) {
    const JobDestination chosen{replacement->aeTitle, replacement->host, replacement->port};
    const std::vector<JobDestination> before = journal->state().destinations;
    for (const JobDestination& destination : before)
      if (!(destination == chosen) && !journal->state().missingAt(destination, copies).empty())
        journal->withdrawDestination(destination);
    journal->chooseDestination(chosen);
  }
  const int sendsBefore = runningSends_[jobFolder];
  const std::vector<JobDestination> destinations = journal->state().destinations;
  if (destinations.empty()) {
    StartSending(jobFolder);
    if (runningSends_[jobFolder] == sendsBefore) return false;
    jobs_.SetJobStatus(jobFolder, jobStatusText(JobStatus::Pending));
    jobChanged(jobFolder);
    return true;
  }
  failedDestinations_.erase(jobFolder);
  for (const JobDestination& destination : destinations)
    if (!journal->state().missingAt(destination, copies).empty())
      StartSendJob(destination.aeTitle, destination.host, destination.port, jobFolder);
  if (runningSends_[jobFolder] > sendsBefore) {
    // Copied and about to be sent, until the first send reports.
    jobs_.SetJobStatus(jobFolder, jobStatusText(JobStatus::Pending));
    jobChanged(jobFolder);
    return true;
  }

  // Everything arrived already (the run before ended before it could clean up).
  jobs_.SetJobStatus(jobFolder, jobStatusText(JobStatus::Finished));
  removeJobFolder(jobFolder);
  jobChanged(jobFolder);
  return true;
}

int KalvoraEngine::DiscardJob(const std::string& jobFolder) {
  if (!journalOf(jobFolder) || foreignFolders_.count(jobFolder) > 0 || isJobActive(jobFolder))
    return -1;
  const int removed = removeJobFolder(jobFolder);
  failedDestinations_.erase(jobFolder);
  jobs_.SetJobStatus(jobFolder, jobStatusText(JobStatus::Stopped));
  appendLog(jobFolder, "Job folder discarded (" + std::to_string(removed) + " files removed)\r\n");
  jobChanged(jobFolder);
  return removed;
}
