#pragma once

#include <map>
#include <optional>
#include <string>

#include "config/KalvoraSettings.h"

// Where the station dialogs find and keep each station's TLS: the running engine's station
// options, and kalvora.json in the working folder, so that a send uses the change at once
// and the next start finds it.
struct StationTlsStore {
  std::string workingFolder;
  std::map<std::string, StationOptions>* live = nullptr;

  TlsSettings tlsOf(const std::string& alias) const;
  // Written to the file first (only its station's TLS changes), then to the engine; the
  // message to show when the file cannot be read or written, and nothing changed.
  // A station renamed from `previousAlias` takes its other options along.
  std::optional<std::string> keep(const std::string& alias, const TlsSettings& tls,
                                  const std::string& previousAlias = {}) const;
};
