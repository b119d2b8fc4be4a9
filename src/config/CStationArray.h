#pragma once

#include <optional>
#include <string>

#include "config/CStation.h"
#include "config/RecordArray.h"

class CStationArray : public RecordArray<CStation> {
 public:
  // First station whose alias equals `alias` byte for byte; outputs untouched on no match.
  bool findStationByAlias(const std::string& alias, std::string& aeTitle, std::string& host,
                          int& port) const;

  // Removes the station at `index` and keeps `standardDestination`, an index into this
  // list, on the station it names: one down when a station before it goes, -1 (none) when
  // its own station goes. Returns the line that tells the user of the latter, else nothing.
  std::optional<std::string> removeStation(int index, int& standardDestination);
};
