#include "RawDicomWriter.h"

#include <zlib.h>

#include <cstring>
#include <stdexcept>
#include <vector>

RawDicomWriter& RawDicomWriter::u16(uint16_t value) {
  const char bytes[2] = {static_cast<char>(value & 0xff), static_cast<char>(value >> 8)};
  if (bigEndian_) {
    bytes_.push_back(bytes[1]);
    bytes_.push_back(bytes[0]);
  } else {
    bytes_.append(bytes, 2);
  }
  return *this;
}

RawDicomWriter& RawDicomWriter::u32(uint32_t value) {
  if (bigEndian_) return u16(static_cast<uint16_t>(value >> 16)).u16(value & 0xffff);
  return u16(value & 0xffff).u16(static_cast<uint16_t>(value >> 16));
}

RawDicomWriter& RawDicomWriter::raw(const std::string& bytes) {
  bytes_ += bytes;
  return *this;
}

RawDicomWriter& RawDicomWriter::header(uint16_t group, uint16_t element, const char* vr,
                                       uint32_t length) {
  u16(group).u16(element);
  if (!explicitVr_) return u32(length);
  bytes_.append(vr, 2);
  static const char* const kLongVrs[] = {"OB", "OD", "OF", "OL", "OV", "OW", "SQ",
                                         "SV", "UC", "UN", "UR", "UT", "UV"};
  for (const char* longVr : kLongVrs)
    if (std::strncmp(vr, longVr, 2) == 0) return u16(0).u32(length);
  return u16(static_cast<uint16_t>(length));
}

RawDicomWriter& RawDicomWriter::element(uint16_t group, uint16_t element, const char* vr,
                                        const std::string& value) {
  header(group, element, vr, static_cast<uint32_t>(value.size()));
  bytes_ += value;
  return *this;
}

RawDicomWriter& RawDicomWriter::element16(uint16_t group, uint16_t element, uint16_t value) {
  header(group, element, "US", 2);
  return u16(value);
}

RawDicomWriter& RawDicomWriter::item(uint32_t length) {
  return u16(0xFFFE).u16(0xE000).u32(length);
}
RawDicomWriter& RawDicomWriter::itemEnd() { return u16(0xFFFE).u16(0xE00D).u32(0); }
RawDicomWriter& RawDicomWriter::sequenceEnd() { return u16(0xFFFE).u16(0xE0DD).u32(0); }

namespace {
std::string uidValue(std::string uid) {
  if (uid.size() % 2) uid.push_back('\0');
  return uid;
}
}  // namespace

std::string rawMetaHeader(const std::string& transferSyntaxUid, const std::string& sopClassUid,
                          const std::string& sopInstanceUid) {
  RawDicomWriter group;
  group.element(0x0002, 0x0001, "OB", std::string("\0\1", 2))
      .element(0x0002, 0x0002, "UI", uidValue(sopClassUid))
      .element(0x0002, 0x0003, "UI", uidValue(sopInstanceUid))
      .element(0x0002, 0x0010, "UI", uidValue(transferSyntaxUid))
      .element(0x0002, 0x0012, "UI", uidValue("1.2.3.4"));
  RawDicomWriter meta;
  meta.raw(std::string(128, '\0')).raw("DICM");
  meta.header(0x0002, 0x0000, "UL", 4).u32(static_cast<uint32_t>(group.size()));
  return meta.bytes() + group.bytes();
}

std::string rawDeflate(const std::string& bytes) {
  z_stream zs{};
  if (deflateInit2(&zs, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
    throw std::runtime_error("deflateInit2 failed");
  std::vector<unsigned char> out(deflateBound(&zs, bytes.size()) + 16);
  zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
  zs.avail_in = static_cast<uInt>(bytes.size());
  zs.next_out = out.data();
  zs.avail_out = static_cast<uInt>(out.size());
  const int status = deflate(&zs, Z_FINISH);
  deflateEnd(&zs);
  if (status != Z_STREAM_END) throw std::runtime_error("deflate failed");
  return std::string(reinterpret_cast<char*>(out.data()), out.size() - zs.avail_out);
}
