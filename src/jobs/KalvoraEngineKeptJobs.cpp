// The engine's side of job folders that outlive their run: found at start, sent again,
// discarded.

#include "jobs/KalvoraEngine.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "jobs/AuditMessage.h"
#include "jobs/EngineObserver.h"
#include "jobs/JobFolders.h"
#include "jobs/JobLog.h"
#include "jobs/KeptJobs.h"

namespace {

bool delivered(const JobJournalState& journal, const std::vector<JobCopy>& copies) {
  if (journal.destinations.empty()) return false;
  for (const JobDestination& destination : journal.destinations)
    if (!journal.missingAt(destination, copies).empty()) return false;
  return true;
}

}  // namespace

KalvoraEngine::Adoption KalvoraEngine::AdoptKeptJob(const std::string& jobFolder,
                                                    std::string* why) {
  if (shutDown_ || !IsKalvoraJobFolder(jobFolder, settings.tempFolder) ||
      jobs_.FindJob(jobFolder) >= 0)
    return Adoption::NotKept;
  const std::time_t leftAt = JobFolderLeftAt(jobFolder);  // before opening may touch the journal
  int error = 0;
  std::unique_ptr<JobJournal> journal = JobJournal::open(jobFolder, error);
  if (!journal) {
    if (error == EWOULDBLOCK) return Adoption::InUse;
    if (error == ENOENT) return Adoption::NotKept;  // delivered or discarded just now
    if (why) *why = std::strerror(error);
    return Adoption::Failed;
  }
  const JobFolderContents contents = SortJobFolder(jobFolder, journal->state());
  const std::vector<JobCopy>& copies = contents.copies;
  // Nothing of a patient's that did not arrive: the run before only failed to clean up. A
  // folder holding anything else stays, and is shown.
  if (contents.others.empty() && (copies.empty() || delivered(journal->state(), copies)) &&
      DeleteJobFolder(jobFolder, journal->state()).folderGone)
    return Adoption::NotKept;
  const std::string log = foundJobLog(jobFolder, leftAt, contents, journal->state());
  addJobFromJournal(jobFolder, JobStatus::Failed, log, std::move(journal));
  return Adoption::Adopted;
}

std::vector<std::string> KalvoraEngine::RecoverJobFolders() {
  std::vector<std::string> adopted;
  for (const KeptJob& kept : FindKeptJobs(settings.tempFolder)) {
    if (kept.inUse || AdoptKeptJob(kept.jobFolder) != Adoption::Adopted) continue;
    adopted.push_back(kept.jobFolder);
    // Shown here, free for a command line until it is sent again or discarded here.
    releaseIdleJournal(kept.jobFolder);
  }
  return adopted;
}

bool KalvoraEngine::isKeptJob(const std::string& jobFolder) const {
  const int index = jobs_.FindJob(jobFolder);
  if (index < 0 || !jobFolderMade(jobFolder) || isJobActive(jobFolder)) return false;
  const std::string& status = jobs_[index].status;
  return status == jobStatusText(JobStatus::Pending) || status == jobStatusText(JobStatus::Failed);
}

JobJournal* KalvoraEngine::holdJournal(const std::string& jobFolder) {
  if (JobJournal* held = journalOf(jobFolder)) return held;
  int error = 0;
  std::unique_ptr<JobJournal> journal = JobJournal::open(jobFolder, error);
  if (journal) return (journals_[jobFolder] = std::move(journal)).get();
  if (error == ENOENT) {
    jobs_.SetJobStatus(jobFolder, jobStatusText(JobStatus::Stopped));
    appendLog(jobFolder, "Job folder '" + jobFolder +
                             "' is gone: another Kalvora process has sent or discarded it\r\n");
  } else if (error == EWOULDBLOCK) {
    appendLog(jobFolder, "ERROR: Job folder '" + jobFolder +
                             "' is in use by another Kalvora process; left as it is\r\n");
  } else {
    appendLog(jobFolder, "ERROR: Job folder '" + jobFolder + "' cannot be opened (" +
                             std::strerror(error) + ")\r\n");
  }
  jobChanged(jobFolder);
  return nullptr;
}

bool KalvoraEngine::ResendJob(const std::string& jobFolder,
                              const std::optional<StationChoice>& replacement) {
  if (shutDown_ || stoppedEverything_ || !isKeptJob(jobFolder)) return false;
  JobJournal* journal = holdJournal(jobFolder);
  if (!journal) return false;

  const std::vector<JobCopy> copies = SortJobFolder(jobFolder, journal->state()).copies;
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
    if (runningSends_[jobFolder] == sendsBefore) {
      releaseIdleJournal(jobFolder);
      return false;
    }
    jobs_.SetJobStatus(jobFolder, jobStatusText(JobStatus::Pending));
    jobChanged(jobFolder);
    return true;
  }
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
  if (foreignFolders_.count(jobFolder) > 0 || !isKeptJob(jobFolder)) return -1;
  const JobJournal* journal = holdJournal(jobFolder);
  if (!journal) return -1;
  // Read while the copies are there.
  std::vector<std::string> copies;
  for (const JobCopy& copy : SortJobFolder(jobFolder, journal->state()).copies)
    copies.push_back(copy.name);
  const std::vector<AuditInstance> instances = auditInstances(jobFolder, copies);
  const int removed = removeJobFolder(jobFolder);
  struct stat info {};
  const bool kept = lstat(jobFolder.c_str(), &info) == 0;
  AuditEventOutcome outcome;
  if (kept)
    outcome = {AuditOutcome::MinorFailure,
               "not discarded whole: " + std::to_string(removed) + " files removed"};
  writeAudit(jobFolder, studyDeletedAuditMessage(currentAuditActor(), instances, outcome));
  // What stays is still patient data of a kept job: it stays listed.
  jobs_.SetJobStatus(jobFolder, jobStatusText(kept ? JobStatus::Failed : JobStatus::Stopped));
  appendLog(jobFolder,
            std::string(kept ? "Job folder not discarded whole (" : "Job folder discarded (") +
                std::to_string(removed) + " files removed)\r\n");
  jobChanged(jobFolder);
  return removed;
}
