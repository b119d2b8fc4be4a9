#include "config/ArchiveWriter.h"

void ArchiveWriter::writeLittleEndian(uint64_t value, int byteCount) {
  for (int i = 0; i < byteCount; ++i)
    bytes_.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

void ArchiveWriter::writeInt32(int32_t value) {
  writeLittleEndian(static_cast<uint32_t>(value), 4);
}

void ArchiveWriter::writeString(const std::string& text) {
  const uint64_t length = text.size();
  // Each wider form starts with the all-ones value of the narrower one; 0xFFFE in the
  // 2-byte slot would read as the wide-string marker, so 65534 already needs 4 bytes.
  if (length < 0xFF) {
    writeLittleEndian(length, 1);
  } else if (length < 0xFFFE) {
    writeLittleEndian(0xFF, 1);
    writeLittleEndian(length, 2);
  } else if (length < 0xFFFFFFFF) {
    writeLittleEndian(0xFF, 1);
    writeLittleEndian(0xFFFF, 2);
    writeLittleEndian(length, 4);
  } else {
    writeLittleEndian(0xFF, 1);
    writeLittleEndian(0xFFFF, 2);
    writeLittleEndian(0xFFFFFFFF, 4);
    writeLittleEndian(length, 8);
  }
  bytes_.append(text);
}
