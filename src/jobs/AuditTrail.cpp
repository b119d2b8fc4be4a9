#include "jobs/AuditTrail.h"

#include "config/AuditSettings.h"
#include "jobs/AuditMessage.h"
#include "platform/AppendedRecord.h"
#include "platform/SystemLog.h"

std::optional<std::string> AuditTrail::write(const std::string& record) const {
  if (systemLog) writeAuthPrivLog(record);
  if (file.empty()) return std::nullopt;
  if (auto problem = appendRecordLine(file, record))
    return "Audit record not written to " + *problem;
  return std::nullopt;
}

AuditTrail openAuditTrail(const std::string& workDir, std::optional<std::string>& problem) {
  AuditTrail trail;
  trail.systemLog = true;
  AuditSettings settings;
  problem = loadAuditSettings(workDir, settings);
  if (problem)
    *problem += "\nThe audit trail goes to the system log only.";
  else
    trail.file = settings.file;
  return trail;
}

std::optional<std::string> auditConfigurationChange(const std::string& workDir,
                                                    const std::vector<std::string>& files,
                                                    const std::string& failure) {
  if (files.empty()) return std::nullopt;
  std::optional<std::string> problem;
  const AuditTrail trail = openAuditTrail(workDir, problem);
  AuditEventOutcome outcome;
  if (!failure.empty()) outcome = {AuditOutcome::SeriousFailure, failure};
  const std::optional<std::string> notWritten =
      trail.write(configurationChangeAuditMessage(currentAuditActor(), files, outcome));
  if (problem && notWritten) return *problem + "\n" + *notWritten;
  return problem ? problem : notWritten;
}
