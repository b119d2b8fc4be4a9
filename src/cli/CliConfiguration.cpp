#include "cli/CliConfiguration.h"

#include <iostream>

#include "config/ConfigFiles.h"
#include "jobs/KalvoraEngine.h"

void loadCliConfiguration(const std::string& workdir, KalvoraEngine& engine) {
  Configuration config;
  for (const std::string& message : loadConfiguration(workdir, config, MissingFile::ReadAsEmpty))
    std::cerr << message << "\n";
  engine.settings = config.settings;
  engine.filters = config.filters;
  engine.rules = config.rules;
  engine.stations = config.stations;
}
