#pragma once

#include <string>

#include "config/CStation.h"
#include "config/RecordArray.h"

class CStationArray : public RecordArray<CStation> {
 public:
  // First station whose alias equals `alias` byte for byte; outputs untouched on no match.
  bool findStationByAlias(const std::string& alias, std::string& aeTitle, std::string& host,
                          int& port) const;
};
