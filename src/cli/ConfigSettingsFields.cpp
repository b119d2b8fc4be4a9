#include "cli/ConfigSettingsFields.h"

#include "config/ConfigValidation.h"

namespace {

SettingBounds numberBounds(const SettingsField& field, const Configuration& config) {
  SettingBounds bounds = field.bounds;
  // An index into the station list, or -1 for none, as the options dialog stores it.
  if (bounds.upToLastStation) bounds.highest = config.stations.GetSize() - 1;
  return bounds;
}

}  // namespace

const std::vector<SettingsField>& settingsFields() {
#define KALVORA_TEXT_ROW(member, byDefault) {#member, &AppSettings::member, nullptr, false, {}},
#define KALVORA_FLAG_ROW(member, byDefault) \
  {#member, nullptr, &AppSettings::member, true, kFlagBounds},
#define KALVORA_NUMBER_ROW(member, byDefault, bounds) \
  {#member, nullptr, &AppSettings::member, false, bounds},
  static const std::vector<SettingsField> fields = {
      KALVORA_SETTINGS_FIELDS(KALVORA_TEXT_ROW, KALVORA_FLAG_ROW, KALVORA_NUMBER_ROW)};
#undef KALVORA_TEXT_ROW
#undef KALVORA_FLAG_ROW
#undef KALVORA_NUMBER_ROW
  return fields;
}

const SettingsField* findSettingsField(const std::string& name) {
  for (const SettingsField& field : settingsFields())
    if (name == field.name) return &field;
  return nullptr;
}

std::optional<std::string> setSettingsField(const SettingsField& field, const std::string& value,
                                            Configuration& config) {
  if (field.text) {
    // The DICOM options dialog keeps an empty AE title from being stored.
    if (field.text == &AppSettings::callingAeTitle && value.empty())
      return std::string("callingAeTitle can not be empty.");
    if (field.text == &AppSettings::callingAeTitle) {
      if (auto problem = aeTitleProblem(value)) return "callingAeTitle " + *problem + ".";
    }
    config.settings.*field.text = value;
    return std::nullopt;
  }
  const SettingBounds bounds = numberBounds(field, config);
  int parsed = 0;
  if (auto message = parseIntegerField(value, bounds.lowest, bounds.highest, parsed))
    return message;
  config.settings.*field.number = parsed;
  return std::nullopt;
}
