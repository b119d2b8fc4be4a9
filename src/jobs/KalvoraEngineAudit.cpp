// The engine's audit trail: one record per medium read, per send to a station and per
// discarded job, naming the patients, studies and number of instances. Reads and sends that
// a shutdown cuts off are recorded too, with what had been reported of them.

#include <filesystem>
#include <system_error>

#include "jobs/AuditMessage.h"
#include "jobs/KalvoraEngine.h"
#include "net/FileTransfer.h"
#include "platform/VolumeLabel.h"

namespace {

const char kClosed[] = "ended as Kalvora closed";

std::string bareName(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string filesText(int count) {
  return std::to_string(count) + (count == 1 ? " file" : " files");
}

}  // namespace

void KalvoraEngine::noteAuditedCopy(const ScanProgress& p) {
  audited_[p.jobFolder].copies[p.copyName] =
      AuditInstance{textInUtf8(p.patientId, p.characterSet),
                    textInUtf8(p.patientName, p.characterSet), p.studyInstanceUid, p.sopClassUid};
}

void KalvoraEngine::auditImport(const std::string& jobFolder, ImportEnd end) {
  AuditedJob& job = audited_[jobFolder];
  std::vector<AuditInstance> instances;
  for (const auto& [name, instance] : job.copies) instances.push_back(instance);
  AuditEventOutcome outcome;
  if (!jobFolderMade(jobFolder))
    outcome = {AuditOutcome::SeriousFailure, "the job folder could not be made"};
  else if (end == ImportEnd::Stopped)
    outcome = {AuditOutcome::MinorFailure, "stopped manually; the copies were deleted"};
  else if (end == ImportEnd::Closed)
    outcome = {AuditOutcome::MinorFailure, std::string(kClosed) + "; the copies were deleted"};
  else if (job.notCopied > 0)
    outcome = {AuditOutcome::MinorFailure, filesText(job.notCopied) + " not copied"};
  AuditActor actor = currentAuditActor();
  actor.aeTitle = settings.callingAeTitle;
  // A medium named relative to the command's folder is recorded where it is.
  std::error_code failed;
  std::string medium = std::filesystem::absolute(job.sourceRoot, failed).lexically_normal();
  if (failed || medium.empty()) medium = job.sourceRoot;
  writeAudit(jobFolder, importAuditMessage(actor, {medium, volumeLabelOf(job.sourceRoot)},
                                           instances, outcome));
}

void KalvoraEngine::noteAuditedSend(SendEvent event, const SendProgress& p,
                                    const JobDestination& destination) {
  if (event == SendEvent::SendStarted) auditedSends_[{p.jobFolder, destination}];
  if (event == SendEvent::FileSent)
    auditedSends_[{p.jobFolder, destination}].push_back(bareName(p.currentFile));
  if (event != SendEvent::SendFinished) return;
  auditedSends_.erase({p.jobFolder, destination});
  // The job's own list of files, each with its outcome, counts last.
  std::vector<std::string> stored;
  for (const FileTransfer& transfer : p.transfers)
    if (transfer.outcome == FileTransfer::Outcome::Stored)
      stored.push_back(bareName(transfer.path));
  const int notStored =
      std::max(static_cast<int>(p.transfers.size() - stored.size()), std::max(p.filesRemaining, 0));
  AuditEventOutcome outcome;
  if (notStored > 0 || p.stopped) {
    outcome.outcome = stored.empty() ? AuditOutcome::SeriousFailure : AuditOutcome::MinorFailure;
    outcome.description = filesText(notStored) + " not stored";
    if (p.stopped) outcome.description += " (stopped)";
  }
  auditSend(p.jobFolder, destination, stored, outcome);
}

void KalvoraEngine::auditSend(const std::string& jobFolder, const JobDestination& destination,
                              const std::vector<std::string>& stored,
                              const AuditEventOutcome& outcome) {
  AuditStation station{"", destination.aeTitle, destination.host, destination.port};
  for (const CStation& configured : stations)
    if (configured.aeTitle == destination.aeTitle && configured.host == destination.host &&
        configured.port == destination.port) {
      station.alias = configured.alias;
      break;
    }
  AuditActor actor = currentAuditActor();
  actor.aeTitle = settings.callingAeTitle;
  writeAudit(jobFolder,
             transferAuditMessage(actor, station, auditInstances(jobFolder, stored), outcome));
}

void KalvoraEngine::auditUnfinishedWork(const std::vector<std::string>& copyingJobs) {
  for (const std::string& jobFolder : copyingJobs) auditImport(jobFolder, ImportEnd::Closed);
  for (const auto& [send, stored] : auditedSends_) {
    // Files stored while it closed are not reported, so not counted here.
    const AuditEventOutcome outcome{
        stored.empty() ? AuditOutcome::SeriousFailure : AuditOutcome::MinorFailure, kClosed};
    auditSend(send.first, send.second, stored, outcome);
  }
  auditedSends_.clear();
}

std::vector<AuditInstance> KalvoraEngine::auditInstances(
    const std::string& jobFolder, const std::vector<std::string>& names) const {
  const auto job = audited_.find(jobFolder);
  std::vector<AuditInstance> instances;
  for (const std::string& name : names) {
    if (job != audited_.end()) {
      const auto known = job->second.copies.find(name);
      if (known != job->second.copies.end()) {
        instances.push_back(known->second);
        continue;
      }
    }
    instances.push_back(readAuditInstance(jobFolder + "/" + name));
  }
  return instances;
}

void KalvoraEngine::writeAudit(const std::string& jobFolder, const std::string& record) {
  if (const std::optional<std::string> problem = auditTrail.write(record))
    appendLog(jobFolder, "ERROR: " + *problem + "\r\n");
}
