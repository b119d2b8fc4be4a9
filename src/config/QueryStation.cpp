#include "config/QueryStation.h"

#include "config/ConfigValidation.h"

const char* queryModelName(QueryModel model) {
  return model == QueryModel::PatientRoot ? "patient" : "worklist";
}

std::optional<QueryModel> parseQueryModel(const std::string& name) {
  if (name == "worklist") return QueryModel::Worklist;
  if (name == "patient") return QueryModel::PatientRoot;
  return std::nullopt;
}

bool operator==(const QueryStation& a, const QueryStation& b) {
  return a.aeTitle == b.aeTitle && a.host == b.host && a.port == b.port && a.model == b.model &&
         a.tls == b.tls;
}

std::optional<std::string> validateQueryStation(const QueryStation& station) {
  if (station.aeTitle.empty() || station.host.empty())
    return "The query station needs an AE title and a host.";
  if (station.aeTitle.size() > 16) return "An AE title has at most 16 characters.";
  for (const unsigned char c : station.aeTitle)
    if (c < 0x20 || c == '\\' || c == 0x7f)
      return "An AE title holds no backslash and no control character.";
  if (station.port < kStationPortMin || station.port > kStationPortMax)
    return integerRangeMessage(kStationPortMin, kStationPortMax);
  return std::nullopt;
}
