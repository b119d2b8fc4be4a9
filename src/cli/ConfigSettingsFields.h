#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "config/Configuration.h"

// The AppSettings fields by their names in the code, in file order.
struct SettingsField {
  const char* name;
  std::string AppSettings::*text;  // string fields
  int32_t AppSettings::*number;    // flags and integers
  bool flag;
  SettingBounds bounds;  // flags and integers
};

const std::vector<SettingsField>& settingsFields();
const SettingsField* findSettingsField(const std::string& name);

// Stores `value` into the field with the dialogs' checks; the message when rejected.
std::optional<std::string> setSettingsField(const SettingsField& field, const std::string& value,
                                            Configuration& config);
