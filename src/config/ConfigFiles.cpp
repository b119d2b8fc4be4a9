#include "config/ConfigFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <new>
#include <sstream>
#include <system_error>

#include "config/ArchiveError.h"
#include "config/ArchiveReader.h"
#include "config/ArchiveWriter.h"
#include "platform/FileReplacement.h"

const char kSettingsFileName[] = "config.dat";
const char kFiltersFileName[] = "filters.dat";
const char kRulesFileName[] = "rules.dat";
const char kStationsFileName[] = "stations.dat";

namespace {

const char kSettingsNotLoaded[] = "Error: No configuration loaded";
const char kFiltersNotLoaded[] = "Error: No filter list loaded";
const char kRulesNotLoaded[] = "Error: No rules loaded";
const char kStationsNotLoaded[] = "Error: No DICOM stations loaded";

std::string pathIn(const std::string& workDir, const char* fileName) {
  if (workDir.empty()) return fileName;
  return workDir.back() == '/' ? workDir + fileName : workDir + "/" + fileName;
}

std::string systemMessage(const std::string& path, int error) {
  return path + ": " + std::generic_category().message(error);
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

template <typename Target>
std::optional<std::string> loadFile(const std::string& workDir, const char* fileName,
                                    const char* archiveMessage, Target& target,
                                    MissingFile missing) {
  const std::string path = pathIn(workDir, fileName);
  struct stat status {};
  if (stat(path.c_str(), &status) != 0) {
    if (errno != ENOENT) return systemMessage(path, errno);
    if (missing == MissingFile::Skip) return std::nullopt;
    if (missing == MissingFile::ReadAsEmpty) {
      std::istringstream empty;
      return readArchive(empty, path, target, archiveMessage);
    }
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) return systemMessage(path, errno);
    if (fd >= 0) close(fd);
  } else if (S_ISDIR(status.st_mode)) {
    return systemMessage(path, EISDIR);
  }

  char buffer[4096];
  std::ifstream in;
  in.rdbuf()->pubsetbuf(buffer, sizeof buffer);
  errno = 0;
  in.open(path, std::ios::binary);
  if (!in.is_open()) return systemMessage(path, errno ? errno : EIO);
  return readArchive(in, path, target, archiveMessage);
}

template <typename Source>
std::optional<std::string> saveFile(const std::string& workDir, const char* fileName,
                                    const Source& source) {
  ArchiveWriter archive;
  source.Serialize(archive);
  const std::string path = pathIn(workDir, fileName);
  if (const int error = replaceFileContents(path, archive.bytes()))
    return systemMessage(path, error);
  return std::nullopt;
}

}  // namespace

std::optional<std::string> loadSettings(const std::string& workDir, AppSettings& settings,
                                        MissingFile missing) {
  return loadFile(workDir, kSettingsFileName, kSettingsNotLoaded, settings, missing);
}

std::optional<std::string> loadFilters(const std::string& workDir, CFilterArray& filters,
                                       MissingFile missing) {
  return loadFile(workDir, kFiltersFileName, kFiltersNotLoaded, filters, missing);
}

std::optional<std::string> loadRules(const std::string& workDir, CRuleArray& rules,
                                     MissingFile missing) {
  return loadFile(workDir, kRulesFileName, kRulesNotLoaded, rules, missing);
}

std::optional<std::string> loadStations(const std::string& workDir, CStationArray& stations,
                                        MissingFile missing) {
  return loadFile(workDir, kStationsFileName, kStationsNotLoaded, stations, missing);
}

std::optional<std::string> saveSettings(const std::string& workDir, const AppSettings& settings) {
  return saveFile(workDir, kSettingsFileName, settings);
}

std::optional<std::string> saveFilters(const std::string& workDir, const CFilterArray& filters) {
  return saveFile(workDir, kFiltersFileName, filters);
}

std::optional<std::string> saveRules(const std::string& workDir, const CRuleArray& rules) {
  return saveFile(workDir, kRulesFileName, rules);
}

std::optional<std::string> saveStations(const std::string& workDir, const CStationArray& stations) {
  return saveFile(workDir, kStationsFileName, stations);
}

bool configurationSaved(const std::string& workDir) {
  for (const char* name :
       {kSettingsFileName, kFiltersFileName, kRulesFileName, kStationsFileName}) {
    struct stat status {};
    if (stat(pathIn(workDir, name).c_str(), &status) == 0 || errno != ENOENT) return true;
  }
  return false;
}

std::vector<std::string> loadConfiguration(const std::string& workDir, Configuration& config,
                                           MissingFile missing) {
  std::vector<std::string> messages;
  for (auto& message :
       {loadSettings(workDir, config.settings, missing),
        loadFilters(workDir, config.filters, missing), loadRules(workDir, config.rules, missing),
        loadStations(workDir, config.stations, missing)}) {
    if (message) messages.push_back(*message);
  }
  return messages;
}

std::optional<std::string> saveConfiguration(const std::string& workDir,
                                             const Configuration& config) {
  if (auto message = saveSettings(workDir, config.settings)) return message;
  if (auto message = saveFilters(workDir, config.filters)) return message;
  if (auto message = saveRules(workDir, config.rules)) return message;
  return saveStations(workDir, config.stations);
}
