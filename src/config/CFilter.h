#pragma once

#include <string>

class ArchiveReader;
class ArchiveWriter;

// A file extension (with its leading dot) that a scan skips.
struct CFilter {
  std::string extension;
  std::string description;

  // extension, description
  void Serialize(ArchiveReader& archive);
  void Serialize(ArchiveWriter& archive) const;
};
