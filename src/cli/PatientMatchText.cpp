#include "cli/PatientMatchText.h"

#include "config/AppSettings.h"
#include "config/KalvoraSettings.h"

namespace {

// YYYYMMDD day first, as the new patient data question shows a birth date.
std::string displayDate(const std::string& date) {
  if (date.size() != 8) return date;
  return date.substr(6, 2) + "/" + date.substr(4, 2) + "/" + date.substr(0, 4);
}

}  // namespace

std::string matchLine(const PatientMatch& m) {
  std::string line = m.patientId;
  if (!m.issuer.empty()) line += " (" + m.issuer + ")";
  line += "  " + m.patientName + "  born " + (m.birthDate.empty() ? "?" : displayDate(m.birthDate));
  line += "  sex " + (m.sex.empty() ? std::string("?") : m.sex);
  if (!m.accessionNumber.empty()) line += "  accession " + m.accessionNumber;
  if (!m.scheduledProcedure.empty()) line += "  " + m.scheduledProcedure;
  return line;
}

nlohmann::ordered_json matchToJson(const PatientMatch& m, QueryModel model) {
  nlohmann::ordered_json json;
  json["patientId"] = m.patientId;
  json["issuerOfPatientId"] = m.issuer;
  json["patientName"] = m.patientName;
  json["birthDate"] = m.birthDate;
  json["sex"] = m.sex;
  json["accessionNumber"] = m.accessionNumber;
  json["scheduledProcedure"] = m.scheduledProcedure;
  json["model"] = queryModelName(model);
  return json;
}

std::optional<QueryStation> loadQueryStation(const std::string& folder, std::string& error) {
  KalvoraSettings settings;
  if (auto message = loadKalvoraSettings(folder, settings)) {
    error = *message;
    return std::nullopt;
  }
  return settings.queryStation;
}

PatientQueryParams queryParams(const AppSettings& settings, const QueryStation& station) {
  return {settings.callingAeTitle, station, settings.timeoutMs, settings.maxPduSize};
}
