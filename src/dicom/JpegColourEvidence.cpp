#include "dicom/JpegColourEvidence.h"

#include <cstring>

namespace {

bool isStartOfFrame(std::uint8_t marker) {
  return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

bool startsWith(const std::uint8_t* data, std::size_t size, const char* text) {
  const std::size_t length = std::strlen(text);
  return size >= length && std::memcmp(data, text, length) == 0;
}

}  // namespace

bool jpegStreamNamesItsColours(const std::uint8_t* stream, std::size_t size) {
  if (size < 4 || stream[0] != 0xFF || stream[1] != 0xD8) return false;
  std::size_t at = 2;
  while (at + 4 <= size) {
    if (stream[at] != 0xFF) return false;
    const std::uint8_t marker = stream[at + 1];
    if (marker == 0xFF) {  // fill byte
      ++at;
      continue;
    }
    if (marker == 0xDA || marker == 0xD9) return false;  // scan or end: no evidence before it
    const std::size_t length = (std::size_t{stream[at + 2]} << 8) | stream[at + 3];
    if (length < 2 || at + 2 + length > size) return false;
    const std::uint8_t* segment = stream + at + 4;
    const std::size_t segmentSize = length - 2;
    if (marker == 0xE0 && startsWith(segment, segmentSize, "JFIF")) return true;
    if (marker == 0xEE && startsWith(segment, segmentSize, "Adobe")) return true;
    if (isStartOfFrame(marker) && segmentSize >= 6 && segment[5] == 3 && segmentSize >= 6 + 9) {
      const std::uint8_t* components = segment + 6;
      if (components[0] == 'R' && components[3] == 'G' && components[6] == 'B') return true;
    }
    at += 2 + length;
  }
  return false;
}

bool jpegStreamReachesFrameHeader(const std::uint8_t* stream, std::size_t size) {
  if (size < 4 || stream[0] != 0xFF || stream[1] != 0xD8) return false;
  std::size_t at = 2;
  while (at + 4 <= size) {
    if (stream[at] != 0xFF) return false;
    const std::uint8_t marker = stream[at + 1];
    if (isStartOfFrame(marker)) return at + 4 < size;            // its precision is there to read
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {  // no length
      at += 2;
      continue;
    }
    // Fill bytes, a second start, a scan or the end before any frame header: damaged.
    if (marker == 0xFF || marker == 0xD8 || marker == 0xD9 || marker == 0xDA || marker == 0x00)
      return false;
    const std::size_t length = (std::size_t{stream[at + 2]} << 8) | stream[at + 3];
    if (length < 2 || at + 2 + length > size) return false;
    at += 2 + length;
  }
  return false;
}
