#include <algorithm>

#include "cli/ConfigCli.h"
#include "cli/ConfigSettingsFields.h"
#include "dicom/TagNames.h"

void printTable(std::ostream& out, const std::vector<std::string>& header,
                const std::vector<std::vector<std::string>>& rows) {
  if (rows.empty()) {
    out << "  (none)\n";
    return;
  }
  std::vector<std::size_t> widths(header.size());
  for (std::size_t column = 0; column < header.size(); ++column) {
    widths[column] = header[column].size();
    for (const auto& row : rows) widths[column] = std::max(widths[column], row[column].size());
  }
  auto printRow = [&](const std::vector<std::string>& cells) {
    std::string line = " ";
    for (std::size_t column = 0; column < cells.size(); ++column) {
      line += " " + cells[column];
      if (column + 1 < cells.size())
        line += std::string(widths[column] - cells[column].size(), ' ');
    }
    out << line << "\n";
  };
  printRow(header);
  for (const auto& row : rows) printRow(row);
}

void printStations(std::ostream& out, const CStationArray& stations) {
  std::vector<std::vector<std::string>> rows;
  for (int i = 0; i < stations.GetSize(); ++i) {
    const CStation& s = stations[i];
    rows.push_back({std::to_string(i), s.alias, s.aeTitle, s.host, std::to_string(s.port)});
  }
  printTable(out, {"Index", "Alias", "AE-Title", "Host", "Port"}, rows);
}

void printRules(std::ostream& out, const CRuleArray& rules) {
  std::vector<std::vector<std::string>> rows;
  for (int i = 0; i < rules.GetSize(); ++i) {
    const CRule& r = rules[i];
    rows.push_back(
        {std::to_string(i), describeTag(r.group, r.element), r.compareValue, r.destination});
  }
  printTable(out, {"Index", "Tag", "Compare Value", "Destination"}, rows);
}

void printFilters(std::ostream& out, const CFilterArray& filters) {
  std::vector<std::vector<std::string>> rows;
  for (int i = 0; i < filters.GetSize(); ++i)
    rows.push_back({std::to_string(i), filters[i].extension, filters[i].description});
  printTable(out, {"Index", "Extension", "Description"}, rows);
}

nlohmann::ordered_json settingsToJson(const AppSettings& settings) {
  nlohmann::ordered_json object = nlohmann::ordered_json::object();
  for (const SettingsField& field : settingsFields()) {
    if (field.text)
      object[field.name] = settings.*field.text;
    else
      object[field.name] = settings.*field.number;
  }
  return object;
}

nlohmann::ordered_json stationsToJson(const CStationArray& stations) {
  nlohmann::ordered_json array = nlohmann::ordered_json::array();
  for (const CStation& s : stations)
    array.push_back(
        {{"alias", s.alias}, {"aeTitle", s.aeTitle}, {"host", s.host}, {"port", s.port}});
  return array;
}

nlohmann::ordered_json rulesToJson(const CRuleArray& rules) {
  nlohmann::ordered_json array = nlohmann::ordered_json::array();
  for (const CRule& r : rules)
    array.push_back({{"group", r.group},
                     {"element", r.element},
                     {"compareValue", r.compareValue},
                     {"destination", r.destination}});
  return array;
}

nlohmann::ordered_json filtersToJson(const CFilterArray& filters) {
  nlohmann::ordered_json array = nlohmann::ordered_json::array();
  for (const CFilter& f : filters)
    array.push_back({{"extension", f.extension}, {"description", f.description}});
  return array;
}

void printJson(std::ostream& out, const nlohmann::ordered_json& value) {
  // Strings come from files and may not be UTF-8; replace rather than fail.
  out << value.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << "\n";
}
