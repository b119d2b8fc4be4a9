#include "cli/CliConfiguration.h"

#include <iostream>

#include "config/ConfigFiles.h"
#include "config/KalvoraSettings.h"
#include "jobs/AuditTrail.h"
#include "jobs/KalvoraEngine.h"
#include "platform/UserFolders.h"

std::string workingFolder(const std::string& givenWorkdir) {
  return givenWorkdir.empty() ? defaultWorkingFolder() : givenWorkdir;
}

bool loadCliConfiguration(const std::string& workdir, KalvoraEngine& engine) {
  const std::string folder = workingFolder(workdir);
  Configuration config;
  const ConfigLoadResult loaded = loadConfiguration(folder, config);
  for (const std::string& message : loaded.messages) std::cerr << message << "\n";
  engine.settings = config.settings;
  engine.filters = config.filters;
  engine.rules = config.rules;
  engine.stations = config.stations;
  KalvoraSettings own;
  if (auto message = loadKalvoraSettings(folder, own)) {
    // Its options say how a station may be sent to: guessing could overrun one.
    std::cerr << *message << "\nNothing was read or sent: correct or remove it.\n";
    return false;
  }
  engine.stationOptions = own.stations;
  std::optional<std::string> auditProblem;
  engine.auditTrail = openAuditTrail(folder, auditProblem);
  if (auditProblem) std::cerr << *auditProblem << "\n";
  if (loaded.damagedFiles.empty()) return true;
  std::string names;
  for (const std::string& name : loaded.damagedFiles) names += (names.empty() ? "" : ", ") + name;
  std::cerr << "Nothing was read or sent: " << names
            << " is missing, empty or could not be read completely, and the defaults in its "
               "place might send patient data unanonymized or to another station. Restore it, "
               "or remove all four configuration files to start from the defaults.\n";
  return false;
}
