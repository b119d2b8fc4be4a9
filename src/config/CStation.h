#pragma once

#include <cstdint>
#include <string>

class ArchiveReader;
class ArchiveWriter;

// A DICOM peer that jobs can be sent to.
struct CStation {
  std::string alias;
  std::string aeTitle;
  std::string host;
  int32_t port = 0;

  // alias, aeTitle, host, port
  void Serialize(ArchiveReader& archive);
  void Serialize(ArchiveWriter& archive) const;
};
