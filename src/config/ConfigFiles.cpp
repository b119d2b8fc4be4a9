#include "config/ConfigFiles.h"

#include <algorithm>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <fstream>
#include <new>
#include <sstream>
#include <system_error>

#include "config/ArchiveError.h"
#include "config/ArchiveReader.h"
#include "config/ArchiveWriter.h"
#include "platform/FileReplacement.h"
#include "platform/UserFolders.h"

const char kSettingsFileName[] = "config.dat";
const char kFiltersFileName[] = "filters.dat";
const char kRulesFileName[] = "rules.dat";
const char kStationsFileName[] = "stations.dat";

namespace {

const char kSettingsNotLoaded[] = "Error: No configuration loaded";
const char kFiltersNotLoaded[] = "Error: No filter list loaded";
const char kRulesNotLoaded[] = "Error: No rules loaded";
const char kStationsNotLoaded[] = "Error: No DICOM stations loaded";
const char kNotRegular[] = "Not a regular file";

std::string pathIn(const std::string& workDir, const char* fileName) {
  if (workDir.empty()) return fileName;
  return workDir.back() == '/' ? workDir + fileName : workDir + "/" + fileName;
}

std::string systemMessage(const std::string& path, int error) {
  return path + ": " + std::generic_category().message(error);
}

std::string timeStamp() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
  return text;
}

template <typename Target>
std::optional<std::string> readArchive(std::istream& in, const std::string& path, Target& target,
                                       const char* archiveMessage) {
  try {
    ArchiveReader archive(in);
    target.Serialize(archive);
  } catch (const ArchiveError&) {
    return archiveMessage;
  } catch (const std::system_error& error) {
    return systemMessage(path, error.code().value());
  } catch (const std::bad_alloc&) {
    return systemMessage(path, ENOMEM);
  }
  return std::nullopt;
}

// Configuration files are opened as media files are: only a regular file, and without
// blocking, so a FIFO or device planted in their place cannot hang or feed the load.
struct OpenedFile {
  int fd = -1;
  int error = 0;  // errno of the open, or 0
  bool regular = false;
  bool empty = false;
  ~OpenedFile() {
    if (fd >= 0) close(fd);
  }
};

void openRegular(const std::string& path, OpenedFile& file) {
  struct stat status {};
  if (stat(path.c_str(), &status) != 0) {
    file.error = errno;
    return;
  }
  if (S_ISDIR(status.st_mode)) {
    file.error = EISDIR;
    return;
  }
  if (!S_ISREG(status.st_mode)) return;
  file.fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (file.fd < 0) {
    file.error = errno;
    return;
  }
  // The entry may have been swapped since the check; trust only what was opened.
  if (fstat(file.fd, &status) != 0 || !S_ISREG(status.st_mode)) return;
  file.regular = true;
  file.empty = status.st_size == 0;
}

// The opened file itself, not whatever its name points to by now.
std::string openedPath(const OpenedFile& file, const std::string& path) {
  static const bool procFd = access("/proc/self/fd", X_OK) == 0;
  return procFd ? "/proc/self/fd/" + std::to_string(file.fd) : path;
}

struct FileLoad {
  std::optional<std::string> message;
  bool damaged = false;  // missing, empty or not read completely
};

template <typename Target>
FileLoad loadFile(const std::string& path, const char* archiveMessage, Target& target,
                  MissingFile missing) {
  OpenedFile file;
  openRegular(path, file);
  if (file.error == ENOENT) {
    if (missing == MissingFile::Skip) return {};
    std::istringstream empty;
    return {readArchive(empty, path, target, archiveMessage), true};
  }
  if (file.error != 0) return {systemMessage(path, file.error), true};
  if (!file.regular) return {path + ": " + kNotRegular, true};

  char buffer[4096];
  std::ifstream in;
  in.rdbuf()->pubsetbuf(buffer, sizeof buffer);
  errno = 0;
  in.open(openedPath(file, path), std::ios::binary);
  if (!in.is_open()) return {systemMessage(path, errno ? errno : EIO), true};
  // An empty file is no configuration at all: every file holds at least its count or
  // its 30 fields.
  FileLoad load{readArchive(in, path, target, archiveMessage), false};
  load.damaged = load.message.has_value();
  return load;
}

// Before a damaged file is replaced, its bytes are kept beside it under a new private
// name, so a save never loses what the user might still recover from it.
template <typename Target>
std::optional<std::string> keepIfDamaged(const std::string& path, const char* archiveMessage) {
  Target scratch;
  if (!loadFile(path, archiveMessage, scratch, MissingFile::Skip).damaged) return std::nullopt;
  OpenedFile file;
  openRegular(path, file);
  if (!file.regular || file.empty) return std::nullopt;  // no bytes of its own to keep
  if (const int error = copyToNewFile(file.fd, path + ".damaged-" + timeStamp()))
    return systemMessage(path, error);
  return std::nullopt;
}

template <typename Source>
std::optional<std::string> saveFile(const std::string& workDir, const char* fileName,
                                    const char* archiveMessage, const Source& source) {
  ArchiveWriter archive;
  source.Serialize(archive);
  const std::string path = pathIn(workDir, fileName);
  if (auto message = keepIfDamaged<Source>(path, archiveMessage)) return message;
  if (const int error = replaceFileContents(path, archive.bytes()))
    return systemMessage(path, error);
  return std::nullopt;
}

}  // namespace

std::optional<std::string> loadSettings(const std::string& workDir, AppSettings& settings,
                                        MissingFile missing) {
  return loadFile(pathIn(workDir, kSettingsFileName), kSettingsNotLoaded, settings, missing)
      .message;
}

std::optional<std::string> loadFilters(const std::string& workDir, CFilterArray& filters,
                                       MissingFile missing) {
  return loadFile(pathIn(workDir, kFiltersFileName), kFiltersNotLoaded, filters, missing).message;
}

std::optional<std::string> loadRules(const std::string& workDir, CRuleArray& rules,
                                     MissingFile missing) {
  return loadFile(pathIn(workDir, kRulesFileName), kRulesNotLoaded, rules, missing).message;
}

std::optional<std::string> loadStations(const std::string& workDir, CStationArray& stations,
                                        MissingFile missing) {
  return loadFile(pathIn(workDir, kStationsFileName), kStationsNotLoaded, stations, missing)
      .message;
}

std::optional<std::string> saveSettings(const std::string& workDir, const AppSettings& settings) {
  return saveFile(workDir, kSettingsFileName, kSettingsNotLoaded, settings);
}

std::optional<std::string> saveFilters(const std::string& workDir, const CFilterArray& filters) {
  return saveFile(workDir, kFiltersFileName, kFiltersNotLoaded, filters);
}

std::optional<std::string> saveRules(const std::string& workDir, const CRuleArray& rules) {
  return saveFile(workDir, kRulesFileName, kRulesNotLoaded, rules);
}

std::optional<std::string> saveStations(const std::string& workDir, const CStationArray& stations) {
  return saveFile(workDir, kStationsFileName, kStationsNotLoaded, stations);
}

bool configurationSaved(const std::string& workDir) {
  for (const char* name :
       {kSettingsFileName, kFiltersFileName, kRulesFileName, kStationsFileName}) {
    struct stat status {};
    if (stat(pathIn(workDir, name).c_str(), &status) == 0 || errno != ENOENT) return true;
  }
  return false;
}

Configuration firstStartConfiguration() {
  Configuration config;
  config.filters.resetToDefaults();
  return config;
}

namespace {

void loadFourFiles(const std::string& folder, Configuration& config, ConfigLoadResult& result) {
  const MissingFile missing = MissingFile::ReadAsEmpty;
  const auto note = [&](const char* fileName, const FileLoad& load) {
    if (load.message) result.messages.push_back(*load.message);
    if (load.damaged) result.damagedFiles.push_back(fileName);
  };
  note(kSettingsFileName,
       loadFile(pathIn(folder, kSettingsFileName), kSettingsNotLoaded, config.settings, missing));
  note(kFiltersFileName,
       loadFile(pathIn(folder, kFiltersFileName), kFiltersNotLoaded, config.filters, missing));
  note(kRulesFileName,
       loadFile(pathIn(folder, kRulesFileName), kRulesNotLoaded, config.rules, missing));
  note(kStationsFileName,
       loadFile(pathIn(folder, kStationsFileName), kStationsNotLoaded, config.stations, missing));
}

}  // namespace

ConfigLoadResult loadConfiguration(const std::string& workDir, Configuration& config) {
  ConfigLoadResult result;
  if (!configurationSaved(workDir)) {
    result.firstStart = true;
    // The site's configuration is the start of a user who has none: the same rules hold for
    // it (a file missing or damaged there is reported, not replaced by defaults).
    for (const std::string& site : siteConfigurationFolders()) {
      if (!configurationSaved(site)) continue;
      result.siteFolder = site;
      loadFourFiles(site, config, result);
      return result;
    }
    config = firstStartConfiguration();
    return result;
  }
  loadFourFiles(workDir, config, result);
  return result;
}

std::optional<std::string> saveConfiguration(const std::string& workDir,
                                             const Configuration& config,
                                             const std::vector<std::string>& leftAsTheyAre) {
  const auto written = [&](const char* name) {
    return std::find(leftAsTheyAre.begin(), leftAsTheyAre.end(), name) == leftAsTheyAre.end();
  };
  if (written(kSettingsFileName))
    if (auto message = saveSettings(workDir, config.settings)) return message;
  if (written(kFiltersFileName))
    if (auto message = saveFilters(workDir, config.filters)) return message;
  if (written(kRulesFileName))
    if (auto message = saveRules(workDir, config.rules)) return message;
  if (written(kStationsFileName)) return saveStations(workDir, config.stations);
  return std::nullopt;
}
