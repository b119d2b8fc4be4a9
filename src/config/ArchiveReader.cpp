#include "config/ArchiveReader.h"

#include <cerrno>
#include <limits>
#include <system_error>

#include "config/ArchiveError.h"

namespace {

uint64_t bytesToEnd(std::istream& in) {
  const std::istream::pos_type start = in.tellg();
  if (start == std::istream::pos_type(-1)) return std::numeric_limits<uint64_t>::max();
  in.seekg(0, std::ios::end);
  const std::istream::pos_type end = in.tellg();
  in.seekg(start);
  if (end == std::istream::pos_type(-1) || end < start) return std::numeric_limits<uint64_t>::max();
  return static_cast<uint64_t>(end - start);
}

void appendUtf8(std::string& out, uint32_t codePoint) {
  if (codePoint < 0x80) {
    out.push_back(static_cast<char>(codePoint));
  } else if (codePoint < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (codePoint >> 6)));
    out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
  } else if (codePoint < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (codePoint >> 12)));
    out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (codePoint >> 18)));
    out.push_back(static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
  }
}

// UTF-16LE up to the first NUL unit; unpaired surrogates become U+FFFD.
std::string utf16LeToUtf8(const std::string& bytes) {
  const std::size_t unitCount = bytes.size() / 2;
  auto unitAt = [&bytes](std::size_t i) {
    return static_cast<uint16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                 (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
  };
  std::string out;
  for (std::size_t i = 0; i < unitCount; ++i) {
    const uint16_t unit = unitAt(i);
    if (unit == 0) break;
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < unitCount) {
      const uint16_t next = unitAt(i + 1);
      if (next >= 0xDC00 && next <= 0xDFFF) {
        appendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00));
        ++i;
        continue;
      }
    }
    appendUtf8(out, unit >= 0xD800 && unit <= 0xDFFF ? 0xFFFD : unit);
  }
  return out;
}

}  // namespace

ArchiveReader::ArchiveReader(std::istream& in) : in_(in), remaining_(bytesToEnd(in)) {}

void ArchiveReader::readBytes(char* out, uint64_t count) {
  if (count > remaining_) throw ArchiveError(ArchiveError::Cause::EndOfFile);
  errno = 0;
  in_.read(out, static_cast<std::streamsize>(count));
  if (static_cast<uint64_t>(in_.gcount()) != count) {
    // The size was known, so a short read is a failing device, not a short file.
    if (in_.bad() || errno != 0)
      throw std::system_error(errno ? errno : EIO, std::generic_category());
    throw ArchiveError(ArchiveError::Cause::EndOfFile);
  }
  remaining_ -= count;
}

uint64_t ArchiveReader::readLittleEndian(int byteCount) {
  unsigned char bytes[8];
  readBytes(reinterpret_cast<char*>(bytes), static_cast<uint64_t>(byteCount));
  uint64_t value = 0;
  for (int i = byteCount - 1; i >= 0; --i) value = (value << 8) | bytes[i];
  return value;
}

int32_t ArchiveReader::readInt32() {
  return static_cast<int32_t>(static_cast<uint32_t>(readLittleEndian(4)));
}

uint64_t ArchiveReader::readStringLength(bool& wide) {
  wide = false;
  uint64_t length = readLittleEndian(1);
  if (length < 0xFF) return length;
  length = readLittleEndian(2);
  if (length == 0xFFFE) {
    wide = true;
    length = readLittleEndian(1);
    if (length < 0xFF) return length;
    length = readLittleEndian(2);
  }
  if (length < 0xFFFF) return length;
  length = readLittleEndian(4);
  if (length < 0xFFFFFFFF) return length;
  length = readLittleEndian(8);
  if (length > 0x7FFFFFFF) throw ArchiveError(ArchiveError::Cause::Generic);
  return length;
}

std::string ArchiveReader::readString() {
  bool wide = false;
  const uint64_t byteCount = readStringLength(wide) * (wide ? 2 : 1);
  // Checked before allocating, so a damaged length cannot ask for gigabytes.
  if (byteCount > remaining_) throw ArchiveError(ArchiveError::Cause::EndOfFile);
  std::string bytes(static_cast<std::size_t>(byteCount), '\0');
  readBytes(bytes.data(), byteCount);
  if (wide) return utf16LeToUtf8(bytes);
  const std::size_t nul = bytes.find('\0');
  if (nul != std::string::npos) bytes.resize(nul);
  return bytes;
}
