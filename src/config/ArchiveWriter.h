#pragma once

#include <cstdint>
#include <string>

// Builds the bytes of a configuration file: little-endian int32 values and
// length-prefixed single-byte strings, no header and no padding.
class ArchiveWriter {
 public:
  void writeInt32(int32_t value);
  // Always single-byte: the prefix, then exactly text.size() bytes, no terminator.
  void writeString(const std::string& text);

  const std::string& bytes() const { return bytes_; }

 private:
  void writeLittleEndian(uint64_t value, int byteCount);
  std::string bytes_;
};
