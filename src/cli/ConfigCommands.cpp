#include <CLI/CLI.hpp>

#include "cli/Commands.h"

void addConfigCommands(CLI::App& app, int& exitStatus) {
  CLI::App* config = app.add_subcommand("config", "Show or change the configuration");
  config->require_subcommand(1);
  (void)exitStatus;
}
