#pragma once

#include <map>
#include <optional>
#include <string>

#include "config/QueryStation.h"
#include "config/TlsSettings.h"

// Settings that the four configuration files have no room for, kept in one JSON file of
// Kalvora's own beside them (kalvora.json). Each area keeps its own section of the file;
// keys this version does not know are kept as they are when the file is saved.
//
// A missing file means "all defaults". A file that exists but cannot be read or parsed
// is an error, as a damaged configuration file is: working on defaults could drop a
// setting the site relies on. Saving is private (0600) and atomic.

extern const char kKalvoraSettingsFileName[];  // kalvora.json

// What Kalvora keeps per station beyond alias, AE title, host and port. Keyed by the
// station's alias, as rules name their station.
struct StationOptions {
  // Associations a send to the station opens at once; some stations serve only one.
  int associations = 1;
  // TLS for every association with the station; off unless set.
  TlsSettings tls;
};

inline bool operator==(const StationOptions& a, const StationOptions& b) {
  return a.associations == b.associations && a.tls == b.tls;
}

constexpr int kStationAssociationsMin = 1;
constexpr int kStationAssociationsMax = 8;

struct KalvoraSettings {
  std::map<std::string, StationOptions> stations;

  // Asked for the local patient in the new patient data step; none when not set up.
  std::optional<QueryStation> queryStation;

  // The file's sections this version does not know, as JSON text, written back unchanged.
  std::string unknownSections = "{}";
};

// Nothing when `associations` is one a station may be given, else the message to show.
std::optional<std::string> validateStationAssociations(int associations);

// The associations to open to the station with `alias`: 1 when it has no options.
int stationAssociations(const KalvoraSettings& settings, const std::string& alias);

// How associations with the station with `alias` are secured: off when it has no options.
TlsSettings stationTls(const KalvoraSettings& settings, const std::string& alias);

// A renamed station keeps its options: they are copied to `to` (replacing what a station of
// that name left there). The old entry stays, so that a rename not saved after all loses
// nothing. False when `from` has no options and nothing changed.
bool copyStationOptions(KalvoraSettings& settings, const std::string& from, const std::string& to);

// Reads `workDir`/kalvora.json into `settings` (which the caller has defaulted). Returns
// nothing on success (also when the file does not exist), else the message to show.
std::optional<std::string> loadKalvoraSettings(const std::string& workDir,
                                               KalvoraSettings& settings);

std::optional<std::string> saveKalvoraSettings(const std::string& workDir,
                                               const KalvoraSettings& settings);
