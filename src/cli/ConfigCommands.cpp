#include <CLI/CLI.hpp>

#include "cli/Commands.h"
#include "cli/ConfigCli.h"

void addConfigCommands(CLI::App& app, int& exitStatus) {
  auto options = std::make_shared<ConfigCliOptions>();
  CLI::App* config = app.add_subcommand(
      "config",
      "Show or change the configuration files (config.dat, filters.dat, rules.dat, "
      "stations.dat) of a working folder");
  config->require_subcommand(1);
  config->fallthrough();  // --workdir may also follow the subcommand
  config
      ->add_option("--workdir", options->workDir,
                   "Folder holding the configuration files (default: ~/.config/kalvora)")
      ->check(CLI::ExistingDirectory);

  addShowCommand(*config, options, exitStatus);
  addSetCommand(*config, options, exitStatus);
  addStationCommands(*config, options, exitStatus);
  addRuleCommands(*config, options, exitStatus);
  addFilterCommands(*config, options, exitStatus);
  addQueryCommands(*config, options, exitStatus);
  addTlsCommand(*config, options, exitStatus);
}
