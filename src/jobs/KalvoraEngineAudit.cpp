// The engine's audit trail: one record per medium read, per send to a station and per
// discarded job, naming the patients, studies and number of instances.

#include "jobs/AuditMessage.h"
#include "jobs/KalvoraEngine.h"
#include "net/FileTransfer.h"
#include "platform/VolumeLabel.h"

namespace {

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

void KalvoraEngine::auditImport(const ScanProgress& p, bool stopped) {
  const AuditedJob& job = audited_[p.jobFolder];
  std::vector<AuditInstance> instances;
  for (const auto& [name, instance] : job.copies) instances.push_back(instance);
  AuditEventOutcome outcome;
  if (!jobFolderMade(p.jobFolder))
    outcome = {AuditOutcome::SeriousFailure, "the job folder could not be made"};
  else if (stopped)
    outcome = {AuditOutcome::MinorFailure, "stopped manually; the copies were deleted"};
  else if (job.notCopied > 0)
    outcome = {AuditOutcome::MinorFailure, filesText(job.notCopied) + " not copied"};
  AuditActor actor = currentAuditActor();
  actor.aeTitle = settings.callingAeTitle;
  writeAudit(p.jobFolder, importAuditMessage(actor, {p.sourceRoot, volumeLabelOf(p.sourceRoot)},
                                             instances, outcome));
}

void KalvoraEngine::auditSend(const SendProgress& p, const JobDestination& destination) {
  std::vector<std::string> stored;
  for (const FileTransfer& transfer : p.transfers)
    if (transfer.outcome == FileTransfer::Outcome::Stored)
      stored.push_back(bareName(transfer.path));
  const int notStored = static_cast<int>(p.transfers.size() - stored.size());
  AuditEventOutcome outcome;
  if (notStored > 0 || p.stopped || p.filesRemaining > 0) {
    outcome.outcome = stored.empty() ? AuditOutcome::SeriousFailure : AuditOutcome::MinorFailure;
    outcome.description = filesText(std::max(notStored, p.filesRemaining)) + " not stored";
    if (p.stopped) outcome.description += " (stopped)";
  }
  AuditStation station{"", destination.aeTitle, destination.host, destination.port};
  for (const CStation& configured : stations)
    if (configured.aeTitle == destination.aeTitle && configured.host == destination.host &&
        configured.port == destination.port) {
      station.alias = configured.alias;
      break;
    }
  AuditActor actor = currentAuditActor();
  actor.aeTitle = settings.callingAeTitle;
  writeAudit(p.jobFolder,
             transferAuditMessage(actor, station, auditInstances(p.jobFolder, stored), outcome));
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
