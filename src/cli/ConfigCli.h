#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "config/Configuration.h"
#include "config/KalvoraSettings.h"

namespace CLI {
class App;
}

// Shared by the `config` subcommands. Exit statuses: 0 done, 1 a file could not be read
// or written, or the tray application runs with the folder (nothing changed), 2 usage error
// or a value the dialogs would reject.

struct ConfigCliOptions {
  std::string workDir;  // empty: the per-user working folder
};
using ConfigCliOptionsPtr = std::shared_ptr<ConfigCliOptions>;

// Applies `change` to the configuration loaded as the application starts and saves all
// four files as it saves at exit; refused while the tray application runs with the folder. A
// missing file is a fresh start, not an error; a file that cannot be read completely stops the
// change, so saving cannot drop what it held. `change` returns the message of a rejection, which
// leaves every file untouched.
using ConfigChange = std::function<std::optional<std::string>(Configuration&)>;
int runConfigChange(const ConfigCliOptions& options, const ConfigChange& change);

// Applies `change` to kalvora.json alone, under the lock that keeps the tray application from
// writing over it; a file that cannot be read is left as it is. `elsewhere` ends the message
// shown while the tray application runs (", or change ... in its dialog"; may be empty).
using OwnSettingsChange = std::function<std::optional<std::string>(KalvoraSettings&)>;
int changeKalvoraSettings(const ConfigCliOptions& options, const char* elsewhere,
                          const OwnSettingsChange& change);

// Loads without creating anything; load messages go to stderr. Returns the exit status
// for what follows (0, or 1 when any file could not be read).
int loadConfigForReading(const ConfigCliOptions& options, Configuration& config);
// Only `fileName`'s part, for the list commands.
int loadOneForReading(const ConfigCliOptions& options, const char* fileName, Configuration& config);

// Runs `body`, turning an escaping exception into a message and status 1.
int guarded(const std::function<int()>& body);

std::string indexRangeMessage(const char* what, int index, int count);

void printTable(std::ostream& out, const std::vector<std::string>& header,
                const std::vector<std::vector<std::string>>& rows);
void printStations(std::ostream& out, const CStationArray& stations);
void printRules(std::ostream& out, const CRuleArray& rules);
void printFilters(std::ostream& out, const CFilterArray& filters);
nlohmann::ordered_json stationsToJson(const CStationArray& stations);
nlohmann::ordered_json rulesToJson(const CRuleArray& rules);
nlohmann::ordered_json filtersToJson(const CFilterArray& filters);
nlohmann::ordered_json settingsToJson(const AppSettings& settings);
void printJson(std::ostream& out, const nlohmann::ordered_json& value);

void addShowCommand(CLI::App& config, const ConfigCliOptionsPtr& options, int& exitStatus);
void addSetCommand(CLI::App& config, const ConfigCliOptionsPtr& options, int& exitStatus);
void addStationCommands(CLI::App& config, const ConfigCliOptionsPtr& options, int& exitStatus);
void addRuleCommands(CLI::App& config, const ConfigCliOptionsPtr& options, int& exitStatus);
// Only a station of the list gets options: a typing error would otherwise be kept silently.
std::optional<std::string> knownStation(const ConfigCliOptions& options, const std::string& alias);
void addAssociationsCommand(CLI::App& stations, const ConfigCliOptionsPtr& options,
                            int& exitStatus);
void addFilterCommands(CLI::App& config, const ConfigCliOptionsPtr& options, int& exitStatus);
void addQueryCommands(CLI::App& config, const ConfigCliOptionsPtr& options, int& exitStatus);
void addTlsCommand(CLI::App& config, const ConfigCliOptionsPtr& options, int& exitStatus);
// The stations and the query station that use TLS, for `config show`; nothing when none does.
void printTlsSettings(std::ostream& out, const KalvoraSettings& settings);
