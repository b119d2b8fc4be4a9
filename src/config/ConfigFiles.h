#pragma once

#include <optional>
#include <string>
#include <vector>

#include "config/AppSettings.h"
#include "config/CFilterArray.h"
#include "config/CRuleArray.h"
#include "config/CStationArray.h"
#include "config/Configuration.h"

// The four configuration files in a working folder. Every operation returns nothing on
// success and otherwise the message to show; the caller decides how to show it.
// A file that ends early or is damaged gives its "Error: No ... loaded" message and
// keeps what was read before the damage; any other failure (open, read, write)
// gives "<path>: <system error text>".
//
// Files are only read when they are regular files, opened without blocking. Saving
// creates them private (0600) and replaces them whole. A file that is damaged when it is
// about to be replaced is first copied, byte for byte, to "<name>.damaged-<time>"
// (private) beside it; when that copy fails, the save fails and the file stays.

extern const char kSettingsFileName[];  // config.dat
extern const char kFiltersFileName[];   // filters.dat
extern const char kRulesFileName[];     // rules.dat
extern const char kStationsFileName[];  // stations.dat

// What the single-file loads do with a file that is not there. Nothing ever creates a
// configuration file except a save, which always writes its full form.
enum class MissingFile {
  ReadAsEmpty,  // its "Error: No ... loaded" message, as an archive that ends at once
  Skip,         // nothing loaded, no message
};

std::optional<std::string> loadSettings(const std::string& workDir, AppSettings& settings,
                                        MissingFile missing = MissingFile::ReadAsEmpty);
std::optional<std::string> loadFilters(const std::string& workDir, CFilterArray& filters,
                                       MissingFile missing = MissingFile::ReadAsEmpty);
std::optional<std::string> loadRules(const std::string& workDir, CRuleArray& rules,
                                     MissingFile missing = MissingFile::ReadAsEmpty);
std::optional<std::string> loadStations(const std::string& workDir, CStationArray& stations,
                                        MissingFile missing = MissingFile::ReadAsEmpty);

std::optional<std::string> saveSettings(const std::string& workDir, const AppSettings& settings);
std::optional<std::string> saveFilters(const std::string& workDir, const CFilterArray& filters);
std::optional<std::string> saveRules(const std::string& workDir, const CRuleArray& rules);
std::optional<std::string> saveStations(const std::string& workDir, const CStationArray& stations);

struct ConfigLoadResult {
  // None of the four files was there: the site's configuration (siteFolder) or else the
  // defaults and the default filter list stand, without any message, and the first save
  // writes all four into the working folder.
  bool firstStart = false;
  // The site's folder the configuration came from on a first start, or "".
  std::string siteFolder;
  // One per file that failed, in load order.
  std::vector<std::string> messages;
  // Names (config.dat ...) of the files that could not be read completely: missing while
  // others exist, empty, not regular, unreadable, or ending early or damaged. Working on
  // with such a configuration may be working with defaults the user had changed
  // (anonymization off, other stations).
  std::vector<std::string> damagedFiles;
};

// Whether any of the four files is there (or cannot be looked at): a folder without them
// is a first start, whose defaults are no error.
bool configurationSaved(const std::string& workDir);

// The configuration of a first start: the defaults and the default filter list.
Configuration firstStartConfiguration();

// Loads settings, filters, rules and stations in that order into `config` (which the
// caller has defaulted). A first start takes the four files of the first site folder that
// has any (siteConfigurationFolders), else firstStartConfiguration().
ConfigLoadResult loadConfiguration(const std::string& workDir, Configuration& config);

// Saves in the same order and stops at the first failure, whose message it returns;
// the files after it are not written. The files named in `leftAsTheyAre` (config.dat ...)
// are not written at all.
std::optional<std::string> saveConfiguration(const std::string& workDir,
                                             const Configuration& config,
                                             const std::vector<std::string>& leftAsTheyAre = {});
