#include "jobs/KalvoraEngine.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <deque>

#include "config/ConfigValidation.h"
#include "jobs/DestinationSelection.h"
#include "jobs/EngineObserver.h"
#include "jobs/JobFolders.h"
#include "jobs/JobLog.h"
#include "jobs/KeptJobs.h"
#include "media/MediaScan.h"
#include "net/StoreScu.h"
#include "platform/MediaEject.h"

using std::chrono::milliseconds;

namespace {

// How long a stop command waits for its workers, all together.
constexpr milliseconds kStopWait{30000};
constexpr milliseconds kSendStopGrace{2000};

// A root that lists no entry at all (no medium, drive not ready) starts nothing.
bool hasAnyEntry(const std::string& root) {
  DIR* dir = opendir(root.c_str());
  if (!dir) return false;
  bool found = false;
  while (dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") {
      found = true;
      break;
    }
  }
  closedir(dir);
  return found;
}

std::string bareName(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

KalvoraEngine::KalvoraEngine(MainThreadPoster& mainThread, UserPrompts& prompts)
    : mainThread_(mainThread), prompts_(prompts), alive_(std::make_shared<bool>(true)) {}

KalvoraEngine::~KalvoraEngine() { Shutdown(); }

std::string KalvoraEngine::StartScan(const std::string& root) {
  if (shutDown_ || stoppedEverything_ || !hasAnyEntry(root)) return "";
  const std::time_t now = std::time(nullptr);
  const JobFolder folder = makeJobFolder(now);
  const std::string& jobFolder = folder.path;
  if (JobJournal* journal = journalOf(jobFolder)) journal->recordSource(root, now);
  audited_[jobFolder].sourceRoot = root;

  ScanRequest request = makeScanRequest(root, jobFolder, settings, filters);
  if (const auto warning = anonymizationWarning(settings)) startWarnings_[jobFolder] = *warning;
  // The scan reports why and ends without reading the medium.
  request.jobFolderError = folder.error;
  if (!folder.error.empty()) unmadeFolders_.insert(jobFolder);
  // Held until the scan's last report is handled, which comes after its last copy.
  if (const JobJournal* journal = journalOf(jobFolder))
    request.copyWritten = [journal](const std::string& name, const CopyIdentity& identity) {
      journal->appendCopyRecord(name, identity);
    };

  std::weak_ptr<bool> alive = alive_;
  auto worker =
      std::make_unique<MediaScan>(std::move(request), mainThread_, prompts_,
                                  [this, alive](ScanEvent event, const ScanProgress& progress) {
                                    if (alive.lock()) handleScanReport(event, progress);
                                  });
  scanning_.insert(jobFolder);
  worker->start();
  scanThreads_.push_back({std::move(worker), jobFolder});
  return jobFolder;
}

JobFolder KalvoraEngine::makeJobFolder(std::time_t now) {
  // A folder of this run that is gone already still names a job: never reuse it. Nor one
  // that another process took for a kept job the moment it was made.
  std::set<std::string> lost;
  const auto taken = [&](const std::string& name) {
    return jobs_.FindJob(name) >= 0 || scanning_.count(name) > 0 || lost.count(name) > 0;
  };
  for (int attempt = 0; attempt < 10; ++attempt) {
    JobFolder folder = CreateJobFolder(settings.tempFolder, now, taken);
    if (!folder.error.empty()) return folder;
    if (auto journal = JobJournal::create(folder.path)) {
      journals_[folder.path] = std::move(journal);
      return folder;
    }
    rmdir(folder.path.c_str());  // only while empty: then no other process has it
    lost.insert(folder.path);
  }
  JobFolder failed = CreateJobFolder(settings.tempFolder, now, taken);
  if (failed.error.empty()) {
    rmdir(failed.path.c_str());
    failed.error = "Can't create the job folder (its journal could not be made)";
  }
  return failed;
}

JobJournal* KalvoraEngine::journalOf(const std::string& jobFolder) const {
  const auto found = journals_.find(jobFolder);
  return found == journals_.end() ? nullptr : found->second.get();
}

bool KalvoraEngine::AdoptJobFolder(const std::string& jobFolder) {
  if (shutDown_ || IsKalvoraJobFolder(jobFolder, settings.tempFolder) ||
      jobs_.FindJob(jobFolder) >= 0)
    return false;
  foreignFolders_.insert(jobFolder);
  addJobFromJournal(jobFolder, JobStatus::Pending, "", std::make_unique<JobJournal>());
  return true;
}

int KalvoraEngine::addJobFromJournal(const std::string& jobFolder, JobStatus status,
                                     const std::string& log, std::unique_ptr<JobJournal> journal) {
  const int index = jobs_.AddJob(jobFolder, jobStatusText(status), log);
  for (const auto& [patientId, patientName] : journal->state().copiedPatients)
    jobs_.AddJobPatient(jobFolder, patientName, patientId);
  journals_[jobFolder] = std::move(journal);
  if (observer_) observer_->jobAdded(index);
  return index;
}

int KalvoraEngine::removeJobFolder(const std::string& jobFolder) {
  const auto journal = journals_.find(jobFolder);
  if (journal == journals_.end() || foreignFolders_.count(jobFolder) > 0) return -1;
  // As on disk: a scan records its copies there first (see ScanRequest::copyWritten), also
  // those whose reports a shutdown no longer handles.
  const JobJournalState recorded = JobJournal::read(jobFolder);
  const JobFolderRemoval removal = DeleteJobFolder(jobFolder, recorded);
  if (recorded.madeByEarlierVersion() && !removal.left.empty()) {
    appendLog(jobFolder, "Job folder '" + jobFolder +
                             "' kept: an earlier version of Kalvora made it without recording "
                             "its copies; delete it yourself once checked\r\n");
  } else if (!removal.left.empty()) {
    appendLog(jobFolder, leftInJobFolderLogLine(jobFolder, removal.left));
  }
  journals_.erase(journal);  // releases the lock once the folder is gone
  audited_.erase(jobFolder);
  return removal.removed;
}

void KalvoraEngine::releaseIdleJournal(const std::string& jobFolder) {
  if (foreignFolders_.count(jobFolder) == 0 && !isJobActive(jobFolder)) journals_.erase(jobFolder);
}

int KalvoraEngine::undeliveredJobCount() const {
  int count = 0;
  for (int i = 0; i < jobs_.size(); ++i)
    count += jobs_[i].status == jobStatusText(JobStatus::Failed) ? 1 : 0;
  return count;
}

bool KalvoraEngine::jobFolderMade(const std::string& jobFolder) const {
  return unmadeFolders_.count(jobFolder) == 0;
}

bool KalvoraEngine::isJobActive(const std::string& jobFolder) const {
  const auto sends = runningSends_.find(jobFolder);
  return scanning_.count(jobFolder) > 0 || (sends != runningSends_.end() && sends->second > 0);
}

void KalvoraEngine::appendLog(const std::string& jobFolder,
                              const std::optional<std::string>& line) {
  if (line) jobs_.AppendJobLog(jobFolder, *line);
}

void KalvoraEngine::jobChanged(const std::string& jobFolder) {
  const int index = jobs_.FindJob(jobFolder);
  if (index >= 0 && observer_) observer_->jobChanged(index);
}

void KalvoraEngine::countersChanged(bool busyBefore) {
  if (!observer_) return;
  observer_->countersChanged();
  if (busyBefore != counters_.busy) observer_->busyChanged(counters_.busy);
}

void KalvoraEngine::handleScanReport(ScanEvent event, const ScanProgress& p) {
  const bool busyBefore = counters_.busy;
  const bool folderMade = jobFolderMade(p.jobFolder);
  // Without its folder, the job's one line tells why it did nothing.
  const bool verbose = settings.verbose != 0 || !folderMade;
  switch (event) {
    case ScanEvent::ScanStarted: {
      std::string log = *scanLogLine(event, p, verbose);
      const auto warning = startWarnings_.find(p.jobFolder);
      if (warning != startWarnings_.end()) {
        log += "WARNING: " + warning->second + "\r\n";
        startWarnings_.erase(warning);
      }
      const int index = jobs_.AddJob(p.jobFolder, jobStatusText(JobStatus::Copying), log);
      if (observer_) observer_->jobAdded(index);
      counters_.scanStarted();
      break;
    }
    case ScanEvent::FileCopied:
      counters_.fileCopied();
      appendLog(p.jobFolder, scanLogLine(event, p, verbose));
      jobs_.AddJobPatient(p.jobFolder, p.patientName, p.patientId);
      noteAuditedCopy(p);
      if (JobJournal* journal = journalOf(p.jobFolder)) {
        journal->noteCopy(p.copyName, CopyIdentity{p.copySopInstanceUid, p.copySize});
        journal->recordPatient(p.patientId, p.patientName);
      }
      break;
    case ScanEvent::FileNotCopied:
      counters_.fileNotCopied();
      ++audited_[p.jobFolder].notCopied;
      appendLog(p.jobFolder, scanLogLine(event, p, verbose));
      break;
    case ScanEvent::ScanFinished:
      jobs_.SetJobStatus(p.jobFolder,
                         jobStatusText(folderMade ? JobStatus::Pending : JobStatus::Stopped));
      counters_.scanEnded();
      scanning_.erase(p.jobFolder);
      if (JobJournal* journal = journalOf(p.jobFolder)) journal->recordReadingFinished();
      auditImport(p.jobFolder, ImportEnd::Finished);
      if (settings.openTrayAfterReading) EjectMedia(p.sourceRoot);
      // A folder we did not make may hold anything: it is never sent.
      if (sendAfterScan_ && folderMade) StartSending(p.jobFolder);
      releaseIdleJournal(p.jobFolder);
      break;
    case ScanEvent::ScanStopped:
      appendLog(p.jobFolder, scanLogLine(event, p, verbose));
      jobs_.SetJobStatus(p.jobFolder, jobStatusText(JobStatus::Stopped));
      counters_.scanStopped(p.filesSaved);
      scanning_.erase(p.jobFolder);
      auditImport(p.jobFolder, ImportEnd::Stopped);
      if (settings.openTrayAfterReading) EjectMedia(p.sourceRoot);
      if (folderMade) removeJobFolder(p.jobFolder);
      break;
    case ScanEvent::ScanError:
      if (p.fileLost) {
        counters_.fileNotCopied();
        ++audited_[p.jobFolder].notCopied;
      }
      appendLog(p.jobFolder, scanLogLine(event, p, verbose));
      break;
    case ScanEvent::FileAnonymized:
    case ScanEvent::ScanSkipped:
      appendLog(p.jobFolder, scanLogLine(event, p, verbose));
      break;
  }
  jobChanged(p.jobFolder);
  completeRequestedStops();
  countersChanged(busyBefore);
  if (observer_) observer_->scanReported(event, p);
}

void KalvoraEngine::handleSendReport(SendEvent event, const SendProgress& p,
                                     const JobDestination& destination) {
  const bool busyBefore = counters_.busy;
  const bool verbose = settings.verbose != 0;
  noteAuditedSend(event, p, destination);  // before a delivered job's folder goes
  switch (event) {
    case SendEvent::SendStarted:
      counters_.sendStarted();
      jobs_.SetJobStatus(p.jobFolder, jobStatusText(JobStatus::Sending));
      appendLog(p.jobFolder, sendLogLine(event, p, verbose));
      break;
    case SendEvent::SendFailed:
      counters_.sendFailed();
      appendLog(p.jobFolder, sendLogLine(event, p, verbose));
      break;
    case SendEvent::FileSent:
      counters_.fileSent();
      appendLog(p.jobFolder, sendLogLine(event, p, verbose));
      if (JobJournal* journal = journalOf(p.jobFolder))
        journal->recordStored(destination, bareName(p.currentFile), p.sentIdentity);
      break;
    case SendEvent::FileFailed:
      counters_.fileNotSent();
      appendLog(p.jobFolder, sendLogLine(event, p, verbose));
      break;
    case SendEvent::SendNotice:
    case SendEvent::FileConverted:
      appendLog(p.jobFolder, sendLogLine(event, p, verbose));
      break;
    case SendEvent::SendFinished:
      appendLog(p.jobFolder, sendLogLine(event, p, verbose));
      counters_.sendEnded(p.filesRemaining, p.filesNotAttempted);
      --stationBusy_[destination];
      sendEnded(p.jobFolder, destination);
      startNextWaitingSend(destination);
      break;
  }
  jobChanged(p.jobFolder);
  completeRequestedStops();
  countersChanged(busyBefore);
  if (observer_) observer_->sendReported(event, p);
}

// A job is delivered when every station chosen for it stored every copy of its folder; only
// then does the folder go. Otherwise it is "Failed" and kept, to be sent again, also when its
// send was stopped.
void KalvoraEngine::sendEnded(const std::string& jobFolder, const JobDestination& destination) {
  JobJournal* journal = journalOf(jobFolder);
  int& running = runningSends_[jobFolder];
  if (running > 0) --running;
  if (!journal) return;  // every send holds its job's journal
  const std::vector<JobCopy> copies = SortJobFolder(jobFolder, journal->state()).copies;
  // Sends of one job share its folder: it goes with the last of them.
  if (running > 0) {
    if (!journal->state().missingAt(destination, copies).empty())
      jobs_.SetJobStatus(jobFolder, jobStatusText(JobStatus::Failed));
    return;
  }
  bool delivered = true;
  for (const JobDestination& chosen : journal->state().destinations) {
    const std::vector<std::string> missing = journal->state().missingAt(chosen, copies);
    if (missing.empty()) continue;
    delivered = false;
    appendLog(jobFolder, undeliveredLogLine(chosen, missing, copies.size()));
  }
  if (!delivered) {
    jobs_.SetJobStatus(jobFolder, jobStatusText(JobStatus::Failed));
    releaseIdleJournal(jobFolder);
    return;
  }
  jobs_.SetJobStatus(jobFolder, jobStatusText(JobStatus::Finished));
  removeJobFolder(jobFolder);
}

namespace {

milliseconds timeLeft(std::chrono::steady_clock::time_point deadline) {
  const auto left = deadline - std::chrono::steady_clock::now();
  return std::max(milliseconds(0), std::chrono::duration_cast<milliseconds>(left));
}

}  // namespace

// The waits block the main thread: views repaint on the counters' change before them. Every
// worker is asked at once and all share one wait, so stations that stalled do not add up.
void KalvoraEngine::StopScans() {
  counters_.scanStopStarted();
  countersChanged(counters_.busy);
  for (ScanEntry& entry : scanThreads_)
    if (!entry.worker->waitFor(milliseconds(0))) entry.worker->requestStop();
  const auto deadline = std::chrono::steady_clock::now() + kStopWait;
  for (ScanEntry& entry : scanThreads_) entry.worker->waitFor(timeLeft(deadline));
  counters_.scanStopEnded();
  countersChanged(counters_.busy);
}

// A send that waits for a station's answer sees no stop request: after a short grace its
// association is cut. The file in flight is then not stored, and the job is kept, "Failed",
// to be sent again.
void KalvoraEngine::StopSends() {
  dropWaitingSends();
  counters_.sendStopStarted();
  countersChanged(counters_.busy);
  for (SendEntry& entry : sendThreads_)
    if (!entry.worker->waitFor(milliseconds(0))) entry.worker->requestStop();
  const auto graceEnd = std::chrono::steady_clock::now() + kSendStopGrace;
  for (SendEntry& entry : sendThreads_)
    if (!entry.worker->waitFor(timeLeft(graceEnd))) entry.worker->abort();
  const auto deadline = std::chrono::steady_clock::now() + kStopWait;
  for (SendEntry& entry : sendThreads_) entry.worker->waitFor(timeLeft(deadline));
  counters_.sendStopEnded();
  countersChanged(counters_.busy);
}

void KalvoraEngine::RequestStopScans() {
  bool asked = false;
  for (ScanEntry& entry : scanThreads_)
    if (scanning_.count(entry.jobFolder) > 0) {
      entry.worker->requestStop();
      asked = true;
    }
  if (!asked) return;
  scanStopping_ = true;
  counters_.scanStopStarted();
  countersChanged(counters_.busy);
}

void KalvoraEngine::RequestStopSends() {
  bool asked = false;
  for (SendEntry& entry : sendThreads_)
    if (!entry.worker->waitFor(milliseconds(0))) {
      entry.worker->requestStop();
      asked = true;
    }
  if (!asked) return;
  sendStopping_ = true;
  counters_.sendStopStarted();
  countersChanged(counters_.busy);
}

void KalvoraEngine::AbortStoppingSends() {
  if (!sendStopping_) return;
  for (SendEntry& entry : sendThreads_)
    if (!entry.worker->waitFor(milliseconds(0))) entry.worker->abort();
}

void KalvoraEngine::completeRequestedStops() {
  if (scanStopping_ && scanning_.empty()) {
    scanStopping_ = false;
    counters_.scanStopEnded();
  }
  if (sendStopping_ && std::all_of(runningSends_.begin(), runningSends_.end(),
                                   [](const auto& job) { return job.second == 0; })) {
    sendStopping_ = false;
    counters_.sendStopEnded();
  }
}

void KalvoraEngine::StopEverythingNow() {
  stoppedEverything_ = true;
  dropWaitingSends();
  for (ScanEntry& entry : scanThreads_) entry.worker->requestStop();
  for (SendEntry& entry : sendThreads_) {
    entry.worker->requestStop();
    entry.worker->abort();
  }
}

void KalvoraEngine::Shutdown() {
  if (shutDown_) return;
  shutDown_ = true;
  alive_.reset();

  for (ScanEntry& entry : scanThreads_) {
    if (!entry.worker->waitFor(milliseconds(1000))) entry.worker->requestStop();
    entry.worker->join();
  }
  for (SendEntry& entry : sendThreads_) {
    if (!entry.worker->waitFor(milliseconds(1000))) {
      entry.worker->requestStop();
      // Closing must not wait on a peer that stopped answering.
      if (!entry.worker->waitFor(milliseconds(1000))) entry.worker->abort();
    }
    entry.worker->join();
  }
  // Only once no send reads them any more. A copy cut short goes, as a stopped scan's;
  // everything read completely stays until it has reached its stations.
  std::vector<std::string> copyingJobs;
  for (const ScanEntry& entry : scanThreads_) {
    const int index = jobs_.FindJob(entry.jobFolder);
    if (index < 0 || jobs_[index].status == jobStatusText(JobStatus::Copying))
      copyingJobs.push_back(entry.jobFolder);
  }
  auditUnfinishedWork(copyingJobs);
  for (const std::string& jobFolder : copyingJobs)
    if (jobFolderMade(jobFolder)) removeJobFolder(jobFolder);
  scanThreads_.clear();
  sendThreads_.clear();
  journals_.clear();
}
