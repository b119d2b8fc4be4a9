#include "config/AuditSettings.h"

#include <nlohmann/json.hpp>
#include <vector>

#include "config/KalvoraSettings.h"
#include "platform/UserFolders.h"

namespace {

using nlohmann::json;

const char kAuditSection[] = "audit";
const char kFileKey[] = "file";

std::string settingsPathIn(const std::string& folder) {
  return folder.empty() || folder.back() == '/' ? folder + kKalvoraSettingsFileName
                                                : folder + "/" + kKalvoraSettingsFileName;
}

// The file the folder's kalvora.json names for the trail, "" for none. The section is one
// Kalvora's own settings keep as they find it.
std::optional<std::string> auditFileIn(const std::string& folder, std::string& file) {
  KalvoraSettings own;
  if (auto message = loadKalvoraSettings(folder, own)) return message;
  const std::string path = settingsPathIn(folder);
  try {
    const json sections = json::parse(own.unknownSections);
    if (!sections.is_object() || !sections.contains(kAuditSection)) return std::nullopt;
    const json& audit = sections.at(kAuditSection);
    if (!audit.is_object()) return path + ": audit is not an object";
    if (!audit.contains(kFileKey)) return std::nullopt;
    if (!audit.at(kFileKey).is_string()) return path + ": audit file is not a text";
    file = audit.at(kFileKey).get<std::string>();
  } catch (const std::exception& error) {
    return path + ": " + error.what();
  }
  if (!file.empty() && file.front() != '/')
    return path + ": audit file '" + file + "' is not an absolute path";
  return std::nullopt;
}

}  // namespace

std::optional<std::string> loadAuditSettings(const std::string& workDir, AuditSettings& settings) {
  std::vector<std::string> folders = siteConfigurationFolders();
  folders.push_back(workDir);
  for (const std::string& folder : folders) {
    std::string file;
    if (auto message = auditFileIn(folder, file)) return message;
    if (file.empty()) continue;
    settings.file = file;
    settings.settingsFile = settingsPathIn(folder);
    return std::nullopt;
  }
  return std::nullopt;
}
