#pragma once

#include <cstdint>
#include <istream>
#include <string>

// Reads the fields of a configuration file in order. Throws ArchiveError when the
// stream ends early or holds an impossible length, std::system_error on a read error.
class ArchiveReader {
 public:
  // Reads from the current position of `in` to its end.
  explicit ArchiveReader(std::istream& in);

  int32_t readInt32();
  // Single-byte or wide (UTF-16LE, returned as UTF-8); cut at the first NUL.
  std::string readString();

  uint64_t remaining() const { return remaining_; }

 private:
  uint64_t readLittleEndian(int byteCount);
  void readBytes(char* out, uint64_t count);
  uint64_t readStringLength(bool& wide);

  std::istream& in_;
  uint64_t remaining_;
};
