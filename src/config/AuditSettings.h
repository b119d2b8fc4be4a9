#pragma once

#include <optional>
#include <string>

// Where the audit trail goes besides the system log: the "file" of the "audit" section of
// kalvora.json, e.g. {"audit": {"file": "/var/log/kalvora/audit.log"}}. The site's
// kalvora.json (in the site's configuration folders) comes first: a user cannot turn off or
// move the site's trail. Without one, the user's own may name a file.
struct AuditSettings {
  std::string file;          // absolute path; "" for the system log only
  std::string settingsFile;  // the kalvora.json that named it
};

// Reads the audit section of the site's and then the user's kalvora.json (in `workDir`).
// Returns nothing on success (also when none names a file), else the message to show: a
// settings file that cannot be read may name a trail that would then be missed.
std::optional<std::string> loadAuditSettings(const std::string& workDir, AuditSettings& settings);
