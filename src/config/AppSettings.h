#pragma once

#include <cstdint>
#include <string>

#include "config/SettingsFields.h"

class ArchiveReader;
class ArchiveWriter;

// The general settings, persisted field by field (in this order) as config.dat. The fields,
// their order and their defaults are those of KALVORA_SETTINGS_FIELDS.
// Flags hold 0 or 1; readers treat any non-zero value as on.
struct AppSettings {
#define KALVORA_TEXT_MEMBER(member, byDefault) std::string member = byDefault;
#define KALVORA_NUMBER_MEMBER(member, byDefault, ...) int32_t member = byDefault;
  KALVORA_SETTINGS_FIELDS(KALVORA_TEXT_MEMBER, KALVORA_NUMBER_MEMBER, KALVORA_NUMBER_MEMBER)
#undef KALVORA_TEXT_MEMBER
#undef KALVORA_NUMBER_MEMBER

  // Every field back to its default.
  void setDefaults() { *this = AppSettings(); }

  // The 30 fields in declaration order. Loading assigns each field as soon as it has
  // been read, so a file that ends early leaves the later fields as they were.
  void Serialize(ArchiveReader& archive);
  void Serialize(ArchiveWriter& archive) const;
};
