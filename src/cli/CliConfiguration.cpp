#include "cli/CliConfiguration.h"

#include <iostream>

#include "config/ConfigFiles.h"
#include "jobs/KalvoraEngine.h"
#include "platform/UserFolders.h"

std::string workingFolder(const std::string& givenWorkdir) {
  return givenWorkdir.empty() ? defaultWorkingFolder() : givenWorkdir;
}

void loadCliConfiguration(const std::string& workdir, KalvoraEngine& engine) {
  const std::string folder = workingFolder(workdir);
  // A folder without any of the files is a first start: the defaults, and no error.
  const MissingFile missing =
      configurationSaved(folder) ? MissingFile::ReadAsEmpty : MissingFile::Skip;
  Configuration config;
  for (const std::string& message : loadConfiguration(folder, config, missing))
    std::cerr << message << "\n";
  engine.settings = config.settings;
  engine.filters = config.filters;
  engine.rules = config.rules;
  engine.stations = config.stations;
}
