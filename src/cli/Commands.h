#pragma once

namespace CLI {
class App;
}

// Each adds its subcommands; a command's callback sets exitStatus
// (0 success, 1 work not done, 2 usage or configuration error).
void addConfigCommands(CLI::App& app, int& exitStatus);
void addJobCommands(CLI::App& app, int& exitStatus);
void addKeptJobCommands(CLI::App& app, int& exitStatus);
void addFindPatientCommand(CLI::App& app, int& exitStatus);
