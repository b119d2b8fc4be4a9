#include <exception>
#include <iostream>

#include "cli/CliConfiguration.h"
#include "cli/ConfigCli.h"
#include "config/ConfigFiles.h"
#include "config/ConfigurationChanges.h"
#include "config/ConfigurationLock.h"
#include "config/KalvoraSettings.h"
#include "jobs/AuditTrail.h"

namespace {

int reportLoadMessages(const std::vector<std::string>& messages) {
  for (const std::string& message : messages) std::cerr << message << "\n";
  return messages.empty() ? 0 : 1;
}

bool firstStart(const std::string& folder) { return !configurationSaved(folder); }

std::string pathIn(const std::string& folder, const std::string& name) {
  return folder.empty() || folder.back() == '/' ? folder + name : folder + "/" + name;
}

// The audit trail's record of files written (or not, with `failure`); a record that cannot
// be written is said on stderr.
void auditChange(const std::string& folder, const std::vector<std::string>& names,
                 const std::string& failure) {
  std::vector<std::string> files;
  for (const std::string& name : names) files.push_back(pathIn(folder, name));
  if (auto problem = auditConfigurationChange(folder, files, failure))
    std::cerr << *problem << "\n";
}

// On a first start the site's configuration or else the defaults stand.
int loadFirstStart(const std::string& folder, Configuration& config) {
  const ConfigLoadResult loaded = loadConfiguration(folder, config);
  std::cerr << "No configuration has been saved yet in " << folder << ": showing "
            << (loaded.siteFolder.empty() ? "the defaults"
                                          : "the site's configuration in " + loaded.siteFolder)
            << ".\n";
  return reportLoadMessages(loaded.messages);
}

}  // namespace

int guarded(const std::function<int()>& body) {
  try {
    return body();
  } catch (const std::exception& error) {
    std::cerr << "Error: " << error.what() << "\n";
  } catch (...) {
    std::cerr << "Error: unexpected failure\n";
  }
  return 1;
}

int loadConfigForReading(const ConfigCliOptions& options, Configuration& config) {
  const std::string folder = workingFolder(options.workDir);
  if (firstStart(folder)) return loadFirstStart(folder, config);
  return reportLoadMessages(loadConfiguration(folder, config).messages);
}

int loadOneForReading(const ConfigCliOptions& options, const char* fileName,
                      Configuration& config) {
  const std::string folder = workingFolder(options.workDir);
  if (firstStart(folder)) return loadFirstStart(folder, config);
  const std::string name = fileName;
  std::optional<std::string> message;
  if (name == kStationsFileName)
    message = loadStations(folder, config.stations, MissingFile::ReadAsEmpty);
  else if (name == kRulesFileName)
    message = loadRules(folder, config.rules, MissingFile::ReadAsEmpty);
  else if (name == kFiltersFileName)
    message = loadFilters(folder, config.filters, MissingFile::ReadAsEmpty);
  else
    message = loadSettings(folder, config.settings, MissingFile::ReadAsEmpty);
  return reportLoadMessages(message ? std::vector<std::string>{*message}
                                    : std::vector<std::string>{});
}

int runConfigChange(const ConfigCliOptions& options, const ConfigChange& change) {
  const std::string folder = workingFolder(options.workDir);
  // Held until the files are written, so that a tray application starting now reads them after.
  ConfigurationLock lock;
  if (!lock.acquireUnlessHeld(folder)) {
    std::cerr << "Nothing was changed: the tray application (kalvora) runs with the working "
                 "folder "
              << folder
              << " and writes its own copy of the configuration over it when it exits. Close "
                 "it first (tray menu Exit), or change the configuration there.\n";
    return 1;
  }
  // A first start saves all four files, with the default filter list.
  Configuration config;
  const ConfigLoadResult loaded = loadConfiguration(folder, config);
  const std::vector<std::string>& messages = loaded.messages;
  if (!messages.empty()) {
    reportLoadMessages(messages);
    std::cerr << "Nothing was changed: saving now would lose what could not be read.\n";
    return 1;
  }
  const Configuration before = config;
  if (const std::optional<std::string> rejection = change(config)) {
    std::cerr << *rejection << "\n";
    return 2;
  }
  // A first start writes all four.
  const std::vector<std::string> changed =
      loaded.firstStart ? std::vector<std::string>{kSettingsFileName, kFiltersFileName,
                                                   kRulesFileName, kStationsFileName}
                        : changedConfigurationFiles(before, config);
  if (const std::optional<std::string> message = saveConfiguration(folder, config)) {
    std::cerr << *message << "\n";
    auditChange(folder, changed, *message);
    return 1;
  }
  auditChange(folder, changed, "");
  return 0;
}

// As runConfigChange, for Kalvora's own settings file.
int changeKalvoraSettings(const ConfigCliOptions& options, const char* elsewhere,
                          const OwnSettingsChange& change) {
  const std::string folder = workingFolder(options.workDir);
  ConfigurationLock lock;
  if (!lock.acquireUnlessHeld(folder)) {
    std::cerr << "Nothing was changed: the tray application (kalvora) runs with the working "
                 "folder "
              << folder << ". Close it first (tray menu Exit)" << elsewhere << ".\n";
    return 1;
  }
  KalvoraSettings settings;
  if (auto message = loadKalvoraSettings(folder, settings)) {
    std::cerr << *message
              << "\nNothing was changed: saving now would lose what could not be "
                 "read.\n";
    return 1;
  }
  if (auto message = change(settings)) {
    std::cerr << *message << "\nNothing was changed.\n";
    return 1;
  }
  if (auto message = saveKalvoraSettings(folder, settings)) {
    std::cerr << *message << "\n";
    auditChange(folder, {kKalvoraSettingsFileName}, *message);
    return 1;
  }
  auditChange(folder, {kKalvoraSettingsFileName}, "");
  return 0;
}

std::string indexRangeMessage(const char* what, int index, int count) {
  std::string message = std::string("No ") + what + " at index " + std::to_string(index);
  if (count == 0) return message + " (the list is empty).";
  return message + " (valid: 0 to " + std::to_string(count - 1) + ").";
}
