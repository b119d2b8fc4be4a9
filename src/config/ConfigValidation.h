#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "config/AppSettings.h"
#include "config/CFilter.h"
#include "config/CFilterArray.h"
#include "config/CRule.h"
#include "config/CRuleArray.h"
#include "config/CStation.h"
#include "config/CStationArray.h"
#include "config/SettingsFields.h"

// The checks the configuration dialogs and the command line apply before a record is
// stored. Each returns the message to show, or nothing when the record may be stored.
//
// Order, as in a dialog's OK: the number fields first (parseIntegerField per field, in
// the order the dialog reads them, then their range), then the record's own rules.

constexpr int kStationPortMin = 1;
constexpr int kStationPortMax = 65000;
constexpr int kRuleTagMin = 0;
constexpr int kRuleTagMax = 16384;

// A decimal integer, optionally signed and surrounded by blanks.
// "Please enter an integer." when the text is not one, "Please enter an integer between
// <min> and <max>." when it is one outside the bounds; `value` is set only on success.
std::optional<std::string> parseIntegerField(const std::string& text, int minValue, int maxValue,
                                             int& value);
std::string integerRangeMessage(int minValue, int maxValue);

constexpr std::size_t kAeTitleMaxLength = 16;

// Why an AE title cannot go into an association ("is longer than 16 characters", "holds a
// backslash", "holds a control character"), or nothing.
std::optional<std::string> aeTitleProblem(const std::string& aeTitle);

// Add: "Error: Station already exists (...)." or "Error: Station parameters contain errors
// (...)." naming the one field at fault.
std::optional<std::string> validateStationAdd(const CStationArray& stations,
                                              const CStation& station);
std::optional<std::string> validateStationEdit(const CStation& station);

// `rule.destination` is the alias of the station chosen from the station list, empty
// when none is chosen.
std::optional<std::string> validateRuleAdd(const CRuleArray& rules, const CRule& rule);
std::optional<std::string> validateRuleEdit(const CRule& rule);

// Anonymization on (without the new patient data question) with no field chosen replaces
// nothing: the line that says so, or nothing.
std::optional<std::string> anonymizationWarning(const AppSettings& settings);

std::optional<std::string> validateFilterAdd(const CFilterArray& filters, const CFilter& filter);
std::optional<std::string> validateFilterEdit(const CFilter& filter);
