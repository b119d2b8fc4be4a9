#include "config/QueryStationSection.h"

#include <nlohmann/json.hpp>
#include <stdexcept>

#include "config/TlsSettingsSection.h"

namespace {

using nlohmann::json;

const json& field(const json& section, const char* name, json::value_t type) {
  if (!section.contains(name)) throw std::runtime_error(std::string("queryStation: no ") + name);
  const json& value = section.at(name);
  const bool numberWanted = type == json::value_t::number_integer;
  if (numberWanted ? !value.is_number_integer() : value.type() != type)
    throw std::runtime_error(std::string("queryStation: ") + name + " has the wrong type");
  return value;
}

}  // namespace

QueryStation readQueryStation(const json& section) {
  if (!section.is_object()) throw std::runtime_error("queryStation is not an object");
  QueryStation station;
  station.aeTitle = field(section, "aeTitle", json::value_t::string).get<std::string>();
  station.host = field(section, "host", json::value_t::string).get<std::string>();
  const auto port = field(section, "port", json::value_t::number_integer).get<long long>();
  station.port = port < 0 || port > 65535 ? -1 : static_cast<int>(port);
  const std::string model = field(section, "model", json::value_t::string).get<std::string>();
  const std::optional<QueryModel> parsed = parseQueryModel(model);
  if (!parsed) throw std::runtime_error("queryStation: unknown model '" + model + "'");
  station.model = *parsed;
  if (section.contains("tls")) station.tls = readTlsSettings(section.at("tls"), "queryStation");
  if (auto message = validateQueryStation(station))
    throw std::runtime_error("queryStation: " + *message);
  return station;
}

json writeQueryStation(const QueryStation& station) {
  json section{{"aeTitle", station.aeTitle},
               {"host", station.host},
               {"port", station.port},
               {"model", queryModelName(station.model)}};
  if (station.tls != TlsSettings{}) section["tls"] = writeTlsSettings(station.tls);
  return section;
}
