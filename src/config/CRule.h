#pragma once

#include <cstdint>
#include <string>

class ArchiveReader;
class ArchiveWriter;

// Forward rule: when tag (group, element) of a job's first file equals compareValue,
// the job also goes to the station whose alias is destination.
struct CRule {
  int32_t group = 0;
  int32_t element = 0;
  std::string compareValue;
  std::string destination;

  // group, element, compareValue, destination
  void Serialize(ArchiveReader& archive);
  void Serialize(ArchiveWriter& archive) const;
};
