#include "cli/ConfigSettingsFields.h"

#include <limits>

#include "config/ConfigValidation.h"

namespace {

SettingsField text(const char* name, std::string AppSettings::*member) {
  return {name, member, nullptr, false};
}
SettingsField flag(const char* name, int32_t AppSettings::*member) {
  return {name, nullptr, member, true};
}
SettingsField number(const char* name, int32_t AppSettings::*member) {
  return {name, nullptr, member, false};
}

struct Bounds {
  int min;
  int max;
};

Bounds numberBounds(const SettingsField& field, const Configuration& config) {
  if (field.flag) return {0, 1};
  if (field.number == &AppSettings::maxPduSize) return {kMaxPduSizeMin, kMaxPduSizeMax};
  if (field.number == &AppSettings::timeoutMs) return {kTimeoutMsMin, kTimeoutMsMax};
  // An index into the station list, or -1 for none, as the options dialog stores it.
  if (field.number == &AppSettings::standardDestination) return {-1, config.stations.GetSize() - 1};
  return {std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()};
}

}  // namespace

const std::vector<SettingsField>& settingsFields() {
  static const std::vector<SettingsField> fields = {
      text("tempFolder", &AppSettings::tempFolder),
      flag("useExtensionFilter", &AppSettings::useExtensionFilter),
      flag("startMinimized", &AppSettings::startMinimized),
      flag("openTrayAfterReading", &AppSettings::openTrayAfterReading),
      flag("stayOnTop", &AppSettings::stayOnTop),
      flag("verbose", &AppSettings::verbose),
      flag("sendToStandardDestination", &AppSettings::sendToStandardDestination),
      number("standardDestination", &AppSettings::standardDestination),
      flag("useForwardRules", &AppSettings::useForwardRules),
      flag("anonymize", &AppSettings::anonymize),
      flag("anonymizePatientId", &AppSettings::anonymizePatientId),
      text("anonymizedPatientId", &AppSettings::anonymizedPatientId),
      flag("anonymizePatientName", &AppSettings::anonymizePatientName),
      text("patientNameText", &AppSettings::patientNameText),
      flag("anonymizePhysicians", &AppSettings::anonymizePhysicians),
      text("physiciansName", &AppSettings::physiciansName),
      flag("anonymizeInstitution", &AppSettings::anonymizeInstitution),
      text("institutionName", &AppSettings::institutionName),
      flag("anonymizeComments", &AppSettings::anonymizeComments),
      flag("birthdayToJanuaryFirst", &AppSettings::birthdayToJanuaryFirst),
      flag("datesToCurrentDate", &AppSettings::datesToCurrentDate),
      flag("askForNewPatientData", &AppSettings::askForNewPatientData),
      flag("noCompressedTransfer", &AppSettings::noCompressedTransfer),
      text("callingAeTitle", &AppSettings::callingAeTitle),
      number("maxPduSize", &AppSettings::maxPduSize),
      number("timeoutMs", &AppSettings::timeoutMs),
      flag("correctSpacePaddedUids", &AppSettings::correctSpacePaddedUids),
      flag("proposeRequiredContextsOnly", &AppSettings::proposeRequiredContextsOnly),
      number("windowX", &AppSettings::windowX),
      number("windowY", &AppSettings::windowY),
  };
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
    config.settings.*field.text = value;
    return std::nullopt;
  }
  const Bounds bounds = numberBounds(field, config);
  int parsed = 0;
  if (auto message = parseIntegerField(value, bounds.min, bounds.max, parsed)) return message;
  config.settings.*field.number = parsed;
  return std::nullopt;
}
