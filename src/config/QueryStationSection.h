#pragma once

#include <nlohmann/json_fwd.hpp>

#include "config/QueryStation.h"

// The "queryStation" section of the settings file:
//   {"aeTitle": "WORKLIST", "host": "ris.example", "port": 104, "model": "worklist"}
// Reading throws std::runtime_error (naming the field) for a section that is not a valid
// station, so a damaged file is refused rather than half read.
QueryStation readQueryStation(const nlohmann::json& section);
nlohmann::json writeQueryStation(const QueryStation& station);
