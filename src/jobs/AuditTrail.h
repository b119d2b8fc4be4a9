#pragma once

#include <optional>
#include <string>
#include <vector>

// Where audit records go: the system log (facility authpriv) and, where the settings name
// one, a file of one record per line. Without either, records go nowhere (tests, tools).
struct AuditTrail {
  bool systemLog = false;
  std::string file;

  // Writes `record` to every target. Nothing when the file took it (or there is none),
  // else the one line that says it was not written and why. The system log reports no
  // failure.
  std::optional<std::string> write(const std::string& record) const;
};

// The trail of a front end: the system log and the file of the audit settings (the site's,
// else the user's in `workDir`). `problem` gets the message to show when the settings cannot
// be read; the trail then goes to the system log only.
AuditTrail openAuditTrail(const std::string& workDir, std::optional<std::string>& problem);

// Writes the record of a change of the configuration `files` (by path) to the trail of
// `workDir`; `failure` says why the change could not be saved, "" when it was. Returns the
// message to show when the record could not be written.
std::optional<std::string> auditConfigurationChange(const std::string& workDir,
                                                    const std::vector<std::string>& files,
                                                    const std::string& failure = "");
