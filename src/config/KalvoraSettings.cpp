#include "config/KalvoraSettings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <nlohmann/json.hpp>
#include <system_error>

#include "config/QueryStationSection.h"
#include "config/TlsSettingsSection.h"
#include "platform/FileReplacement.h"

const char kKalvoraSettingsFileName[] = "kalvora.json";

namespace {

using nlohmann::json;

const char kStationsSection[] = "stations";
const char kQueryStationSection[] = "queryStation";
const char kAssociationsKey[] = "associations";
const char kTlsKey[] = "tls";

std::string pathIn(const std::string& workDir) {
  if (workDir.empty()) return kKalvoraSettingsFileName;
  return workDir.back() == '/' ? workDir + kKalvoraSettingsFileName
                               : workDir + "/" + kKalvoraSettingsFileName;
}

std::string systemMessage(const std::string& path, int error) {
  return path + ": " + std::generic_category().message(error);
}

// As the configuration files: only a regular file, opened without blocking.
std::optional<std::string> readRegularFile(const std::string& path, std::string& text,
                                           bool& missing) {
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) {
    if (errno == ENOENT) {
      missing = true;
      return std::nullopt;
    }
    return systemMessage(path, errno);
  }
  struct stat status {};
  if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    close(fd);
    return path + ": Not a regular file";
  }
  char buffer[65536];
  for (;;) {
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      const int error = errno;
      close(fd);
      return systemMessage(path, error);
    }
    if (got == 0) break;
    text.append(buffer, static_cast<size_t>(got));
  }
  close(fd);
  return std::nullopt;
}

void readStations(const json& section, KalvoraSettings& settings) {
  for (const auto& [alias, value] : section.items()) {
    if (!value.is_object()) throw std::runtime_error("station '" + alias + "' is not an object");
    StationOptions options;
    if (value.contains(kAssociationsKey)) {
      const json& associations = value.at(kAssociationsKey);
      if (!associations.is_number_integer())
        throw std::runtime_error("station '" + alias + "': associations is not a whole number");
      options.associations = associations.get<int>();
      if (auto message = validateStationAssociations(options.associations))
        throw std::runtime_error("station '" + alias + "': " + *message);
    }
    if (value.contains(kTlsKey))
      options.tls = readTlsSettings(value.at(kTlsKey), "station '" + alias + "'");
    settings.stations[alias] = options;
  }
}

json writeStations(const KalvoraSettings& settings) {
  json section = json::object();
  for (const auto& [alias, options] : settings.stations) {
    section[alias] = json{{kAssociationsKey, options.associations}};
    if (options.tls != TlsSettings{}) section[alias][kTlsKey] = writeTlsSettings(options.tls);
  }
  return section;
}

}  // namespace

std::optional<std::string> validateStationAssociations(int associations) {
  if (associations >= kStationAssociationsMin && associations <= kStationAssociationsMax)
    return std::nullopt;
  return "associations must be " + std::to_string(kStationAssociationsMin) + " to " +
         std::to_string(kStationAssociationsMax) + ", not " + std::to_string(associations);
}

int stationAssociations(const KalvoraSettings& settings, const std::string& alias) {
  const auto options = settings.stations.find(alias);
  return options == settings.stations.end() ? 1 : options->second.associations;
}

bool copyStationOptions(KalvoraSettings& settings, const std::string& from, const std::string& to) {
  const auto options = settings.stations.find(from);
  if (from == to || options == settings.stations.end()) return false;
  settings.stations[to] = options->second;
  return true;
}

TlsSettings stationTls(const KalvoraSettings& settings, const std::string& alias) {
  const auto options = settings.stations.find(alias);
  return options == settings.stations.end() ? TlsSettings{} : options->second.tls;
}

std::optional<std::string> loadKalvoraSettings(const std::string& workDir,
                                               KalvoraSettings& settings) {
  const std::string path = pathIn(workDir);
  std::string text;
  bool missing = false;
  if (auto message = readRegularFile(path, text, missing)) return message;
  if (missing) return std::nullopt;
  try {
    json document = json::parse(text);
    if (!document.is_object()) return path + ": not a JSON object";
    if (document.contains(kStationsSection)) {
      readStations(document.at(kStationsSection), settings);
      document.erase(kStationsSection);
    }
    if (document.contains(kQueryStationSection)) {
      settings.queryStation = readQueryStation(document.at(kQueryStationSection));
      document.erase(kQueryStationSection);
    }
    settings.unknownSections = document.dump();
  } catch (const std::exception& error) {
    return path + ": " + error.what();
  }
  return std::nullopt;
}

std::optional<std::string> saveKalvoraSettings(const std::string& workDir,
                                               const KalvoraSettings& settings) {
  json document = json::object();
  try {
    document = json::parse(settings.unknownSections);
  } catch (const std::exception&) {
    document = json::object();
  }
  if (!document.is_object()) document = json::object();
  document[kStationsSection] = writeStations(settings);
  if (settings.queryStation)
    document[kQueryStationSection] = writeQueryStation(*settings.queryStation);
  const std::string path = pathIn(workDir);
  if (const int error = replaceFileContents(path, document.dump(2) + "\n"))
    return systemMessage(path, error);
  // Private whatever the old file allowed: it names the hospital's stations.
  if (chmod(path.c_str(), 0600) != 0) return systemMessage(path, errno);
  return std::nullopt;
}
