#include "jobs/KalvoraEngine.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <ctime>

#include "jobs/DestinationSelection.h"
#include "jobs/EngineObserver.h"
#include "jobs/JobFolders.h"
#include "jobs/JobLog.h"
#include "media/MediaScan.h"
#include "net/StoreScu.h"
#include "platform/MediaEject.h"

using std::chrono::milliseconds;

namespace {

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

int countPlainFiles(const std::string& folder) {
  int count = 0;
  DIR* dir = opendir(folder.c_str());
  if (!dir) return 0;
  while (dirent* entry = readdir(dir)) {
    struct stat info {};
    const std::string path = folder + "/" + entry->d_name;
    if (lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) ++count;
  }
  closedir(dir);
  return count;
}

}  // namespace

KalvoraEngine::KalvoraEngine(MainThreadPoster& mainThread, UserPrompts& prompts)
    : mainThread_(mainThread), prompts_(prompts), alive_(std::make_shared<bool>(true)) {}

KalvoraEngine::~KalvoraEngine() { Shutdown(); }

std::string KalvoraEngine::StartScan(const std::string& root) {
  if (shutDown_ || stoppedEverything_ || !hasAnyEntry(root)) return "";
  // A folder of this run that is gone already still names a job: never reuse it.
  const JobFolder folder =
      CreateJobFolder(settings.tempFolder, std::time(nullptr), [this](const std::string& name) {
        return jobs_.FindJob(name) >= 0 || scanning_.count(name) > 0;
      });
  const std::string& jobFolder = folder.path;

  ScanRequest request = makeScanRequest(root, jobFolder, settings, filters);
  // The scan reports why and ends without reading the medium.
  request.jobFolderError = folder.error;
  if (!folder.error.empty()) unmadeFolders_.insert(jobFolder);

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

void KalvoraEngine::StartSending(const std::string& jobFolder) {
  if (shutDown_ || stoppedEverything_) return;
  for (const StationChoice& station :
       selectDestinations(settings, stations, rules, jobFolder, prompts_))
    StartSendJob(station.aeTitle, station.host, station.port, jobFolder);
}

void KalvoraEngine::StartSendJob(const std::string& calledAeTitle, const std::string& host,
                                 int port, const std::string& jobFolder) {
  if (shutDown_ || stoppedEverything_) return;
  SendParams params = makeSendParams(settings, calledAeTitle, host, port, jobFolder);

  std::weak_ptr<bool> alive = alive_;
  auto worker =
      std::make_unique<StoreScu>(std::move(params), mainThread_, prompts_,
                                 [this, alive](SendEvent event, const SendProgress& progress) {
                                   if (alive.lock()) handleSendReport(event, progress);
                                 });
  ++runningSends_[jobFolder];
  worker->start();
  sendThreads_.push_back({std::move(worker), jobFolder});
}

void KalvoraEngine::AdoptJobFolder(const std::string& jobFolder) {
  adopted_[jobFolder] = {countPlainFiles(jobFolder), false,
                         IsKalvoraJobFolder(jobFolder, settings.tempFolder)};
  const int index = jobs_.AddJob(jobFolder, jobStatusText(JobStatus::Pending), "");
  if (observer_) observer_->jobAdded(index);
}

int KalvoraEngine::adoptedFileCount(const std::string& jobFolder) const {
  const auto adopted = adopted_.find(jobFolder);
  return adopted == adopted_.end() ? 0 : adopted->second.fileCount;
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
      const int index = jobs_.AddJob(p.jobFolder, jobStatusText(JobStatus::Copying),
                                     *scanLogLine(event, p, verbose));
      if (observer_) observer_->jobAdded(index);
      counters_.scanStarted();
      break;
    }
    case ScanEvent::FileCopied:
      counters_.fileCopied();
      appendLog(p.jobFolder, scanLogLine(event, p, verbose));
      jobs_.AddJobPatient(p.jobFolder, p.patientName, p.patientId);
      break;
    case ScanEvent::FileNotCopied:
      counters_.fileNotCopied();
      appendLog(p.jobFolder, scanLogLine(event, p, verbose));
      break;
    case ScanEvent::ScanFinished:
      jobs_.SetJobStatus(p.jobFolder,
                         jobStatusText(folderMade ? JobStatus::Pending : JobStatus::Stopped));
      counters_.scanEnded();
      scanning_.erase(p.jobFolder);
      if (settings.openTrayAfterReading) EjectMedia(p.sourceRoot);
      // A folder we did not make may hold anything: it is never sent.
      if (sendAfterScan_ && folderMade) StartSending(p.jobFolder);
      break;
    case ScanEvent::ScanStopped:
      appendLog(p.jobFolder, scanLogLine(event, p, verbose));
      jobs_.SetJobStatus(p.jobFolder, jobStatusText(JobStatus::Stopped));
      counters_.scanStopped(p.filesSaved);
      scanning_.erase(p.jobFolder);
      if (settings.openTrayAfterReading) EjectMedia(p.sourceRoot);
      if (folderMade) DeleteJobFolder(p.jobFolder);
      break;
    case ScanEvent::ScanError:
      // A damaged image is a file lost, counted as one that was not copied.
      if (p.damagedDicom) counters_.fileNotCopied();
      appendLog(p.jobFolder, scanLogLine(event, p, verbose));
      break;
    case ScanEvent::FileAnonymized:
    case ScanEvent::ScanSkipped:
      appendLog(p.jobFolder, scanLogLine(event, p, verbose));
      break;
  }
  jobChanged(p.jobFolder);
  countersChanged(busyBefore);
  if (observer_) observer_->scanReported(event, p);
}

void KalvoraEngine::handleSendReport(SendEvent event, const SendProgress& p) {
  const bool busyBefore = counters_.busy;
  const bool verbose = settings.verbose != 0;
  auto adopted = adopted_.find(p.jobFolder);
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
      // A send stopped before every file was offered did not finish the job.
      jobs_.SetJobStatus(p.jobFolder,
                         jobStatusText(p.stopped && p.filesNotAttempted > 0 ? JobStatus::Stopped
                                                                            : JobStatus::Finished));
      appendLog(p.jobFolder, sendLogLine(event, p, verbose));
      counters_.sendEnded(p.filesRemaining, p.filesNotAttempted);
      if (adopted != adopted_.end() &&
          (p.filesSent < adopted->second.fileCount || p.filesFailed + p.filesNotAttempted > 0))
        adopted->second.incomplete = true;
      sendEnded(p);
      break;
  }
  jobChanged(p.jobFolder);
  countersChanged(busyBefore);
  if (observer_) observer_->sendReported(event, p);
}

void KalvoraEngine::sendEnded(const SendProgress& p) {
  // Sends of one job share its folder: it goes with the last of them.
  int& running = runningSends_[p.jobFolder];
  if (running > 0) --running;
  if (running > 0) return;
  const auto adopted = adopted_.find(p.jobFolder);
  const bool keep =
      adopted != adopted_.end() && (adopted->second.incomplete || !adopted->second.madeByKalvora);
  if (!keep) DeleteJobFolder(p.jobFolder);
}

// The waits block the main thread: views repaint on the counters' change before them.
void KalvoraEngine::StopScans() {
  counters_.scanStopStarted();
  countersChanged(counters_.busy);
  for (ScanEntry& entry : scanThreads_) {
    if (entry.worker->waitFor(milliseconds(0))) continue;
    entry.worker->requestStop();
    entry.worker->waitFor(milliseconds(30000));
  }
  counters_.scanStopEnded();
  countersChanged(counters_.busy);
}

void KalvoraEngine::StopSends() {
  counters_.sendStopStarted();
  countersChanged(counters_.busy);
  for (SendEntry& entry : sendThreads_) {
    if (entry.worker->waitFor(milliseconds(0))) continue;
    entry.worker->requestStop();
    if (!entry.worker->waitFor(milliseconds(30000))) entry.worker->abort();
  }
  counters_.sendStopEnded();
  countersChanged(counters_.busy);
}

void KalvoraEngine::StopEverythingNow() {
  stoppedEverything_ = true;
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
  // Only once no send reads them any more.
  if (!keepJobFolders_)
    for (const ScanEntry& entry : scanThreads_)
      if (jobFolderMade(entry.jobFolder)) DeleteJobFolder(entry.jobFolder);
  scanThreads_.clear();
  sendThreads_.clear();
}
