#pragma once

#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "net/PatientQuery.h"

struct AppSettings;

// One match on one line: local ID, issuer, name, birth date, sex, then what a worklist adds.
std::string matchLine(const PatientMatch& match);
nlohmann::ordered_json matchToJson(const PatientMatch& match, QueryModel model);

// The query station of the working folder's kalvora.json; nothing when none is set up.
// A file that cannot be read puts its message into `error`.
std::optional<QueryStation> loadQueryStation(const std::string& folder, std::string& error);

// Who asks, and how long a wait may last, from the settings.
PatientQueryParams queryParams(const AppSettings& settings, const QueryStation& station);
