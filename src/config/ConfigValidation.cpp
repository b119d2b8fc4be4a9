#include "config/ConfigValidation.h"

#include <cctype>
#include <cstdint>

namespace {

const char kNotAnInteger[] = "Please enter an integer.";

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::optional<std::string> checkRange(int64_t value, int minValue, int maxValue) {
  if (value < minValue || value > maxValue) return integerRangeMessage(minValue, maxValue);
  return std::nullopt;
}

}  // namespace

std::string integerRangeMessage(int minValue, int maxValue) {
  return "Please enter an integer between " + std::to_string(minValue) + " and " +
         std::to_string(maxValue) + ".";
}

std::optional<std::string> parseIntegerField(const std::string& text, int minValue, int maxValue,
                                             int& value) {
  std::size_t pos = 0;
  while (pos < text.size() && isBlank(text[pos])) ++pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) negative = text[pos++] == '-';
  const std::size_t digitsStart = pos;
  // Saturates: anything beyond int64 is out of every range anyway.
  int64_t magnitude = 0;
  while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos]))) {
    if (magnitude < (int64_t{1} << 40)) magnitude = magnitude * 10 + (text[pos] - '0');
    ++pos;
  }
  if (pos == digitsStart) return kNotAnInteger;
  while (pos < text.size() && isBlank(text[pos])) ++pos;
  if (pos != text.size()) return kNotAnInteger;

  const int64_t parsed = negative ? -magnitude : magnitude;
  if (auto message = checkRange(parsed, minValue, maxValue)) return message;
  value = static_cast<int>(parsed);
  return std::nullopt;
}

std::optional<std::string> validateStationAdd(const CStationArray& stations,
                                              const CStation& station) {
  if (auto message = checkRange(station.port, kStationPortMin, kStationPortMax)) return message;
  std::string aeTitle, host;
  int port = 0;
  if (station.alias.empty() || stations.findStationByAlias(station.alias, aeTitle, host, port) ||
      station.aeTitle.empty() || station.host.empty())
    return "Error: Station already exists or station parameters contain errors.";
  return std::nullopt;
}

std::optional<std::string> validateStationEdit(const CStation& station) {
  if (auto message = checkRange(station.port, kStationPortMin, kStationPortMax)) return message;
  if (station.alias.empty() || station.aeTitle.empty() || station.host.empty())
    return "Error: One or more parameter are empty.";
  return std::nullopt;
}

std::optional<std::string> validateRuleAdd(const CRuleArray& rules, const CRule& rule) {
  if (auto message = checkRange(rule.group, kRuleTagMin, kRuleTagMax)) return message;
  if (auto message = checkRange(rule.element, kRuleTagMin, kRuleTagMax)) return message;
  std::string compareValue, destination;
  if (rules.findRuleByTag(rule.group, rule.element, compareValue, destination) ||
      rule.compareValue.empty() || rule.destination.empty())
    return "Rule already exists or rule parameter contains errors.";
  return std::nullopt;
}

std::optional<std::string> validateRuleEdit(const CRule& rule) {
  if (auto message = checkRange(rule.group, kRuleTagMin, kRuleTagMax)) return message;
  if (auto message = checkRange(rule.element, kRuleTagMin, kRuleTagMax)) return message;
  if (rule.group == 0 || rule.element == 0 || rule.compareValue.empty() || rule.destination.empty())
    return "Rule already exists or rule parameter contains errors.";
  return std::nullopt;
}

std::optional<std::string> validateFilterAdd(const CFilterArray& filters, const CFilter& filter) {
  std::string description;
  if (filter.extension.empty() || filters.findFilterByExtension(filter.extension, description))
    return "Extension already exists or parameter is empty.";
  return std::nullopt;
}

std::optional<std::string> validateFilterEdit(const CFilter& filter) {
  if (filter.extension.empty()) return "Error: \"Extension\" can not be empty.";
  return std::nullopt;
}
