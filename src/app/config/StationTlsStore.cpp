#include "app/config/StationTlsStore.h"

TlsSettings StationTlsStore::tlsOf(const std::string& alias) const {
  if (!live) return {};
  const auto found = live->find(alias);
  return found == live->end() ? TlsSettings{} : found->second.tls;
}

std::optional<std::string> StationTlsStore::keep(const std::string& alias, const TlsSettings& tls,
                                                 const std::string& previousAlias) const {
  if (!live) return std::nullopt;
  const bool renamed =
      !previousAlias.empty() && previousAlias != alias && live->find(previousAlias) != live->end();
  // Nothing to write when nothing changed: no file made for a plain station.
  if (!renamed && tls == tlsOf(alias)) return std::nullopt;
  KalvoraSettings stored;
  if (auto problem = loadKalvoraSettings(workingFolder, stored)) return problem;
  if (renamed) copyStationOptions(stored, previousAlias, alias);
  stored.stations[alias].tls = tls;
  if (auto problem = saveKalvoraSettings(workingFolder, stored)) return problem;
  if (renamed) (*live)[alias] = live->at(previousAlias);
  (*live)[alias].tls = tls;
  return std::nullopt;
}
