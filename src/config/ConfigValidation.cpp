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

std::optional<std::string> aeTitleProblem(const std::string& aeTitle) {
  if (aeTitle.size() > kAeTitleMaxLength) return std::string("is longer than 16 characters");
  for (const char c : aeTitle) {
    if (c == '\\') return std::string("holds a backslash");
    if (std::iscntrl(static_cast<unsigned char>(c)))
      return std::string("holds a control character");
  }
  return std::nullopt;
}

namespace {

std::optional<std::string> stationParameterProblem(const CStation& station) {
  if (station.alias.empty()) return "the alias is empty";
  if (station.aeTitle.empty()) return "the AE title is empty";
  if (auto problem = aeTitleProblem(station.aeTitle)) return "the AE title " + *problem;
  if (station.host.empty()) return "the address is empty";
  return std::nullopt;
}

}  // namespace

std::optional<std::string> validateStationAdd(const CStationArray& stations,
                                              const CStation& station) {
  if (auto message = checkRange(station.port, kStationPortMin, kStationPortMax)) return message;
  std::string aeTitle, host;
  int port = 0;
  // Which of the two it is, so the user knows what to change.
  if (!station.alias.empty() && stations.findStationByAlias(station.alias, aeTitle, host, port))
    return "Error: Station already exists (a station is called '" + station.alias + "').";
  if (auto problem = stationParameterProblem(station))
    return "Error: Station parameters contain errors (" + *problem + ").";
  return std::nullopt;
}

std::optional<std::string> validateStationEdit(const CStation& station) {
  if (auto message = checkRange(station.port, kStationPortMin, kStationPortMax)) return message;
  if (station.alias.empty() || station.aeTitle.empty() || station.host.empty())
    return "Error: One or more parameter are empty.";
  if (auto problem = aeTitleProblem(station.aeTitle))
    return "Error: Station parameters contain errors (the AE title " + *problem + ").";
  return std::nullopt;
}

std::optional<std::string> anonymizationWarning(const AppSettings& settings) {
  if (!settings.anonymize || settings.askForNewPatientData) return std::nullopt;
  const bool anyField = settings.anonymizePatientId || settings.anonymizePatientName ||
                        settings.anonymizePhysicians || settings.anonymizeInstitution ||
                        settings.anonymizeComments || settings.birthdayToJanuaryFirst ||
                        settings.datesToCurrentDate;
  if (anyField) return std::nullopt;
  return std::string(
      "Anonymization is on, but no field is chosen to anonymize: nothing is replaced.");
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
