#pragma once

#include <cstdint>
#include <string>

// DICOM bytes written by hand, for shapes DCMTK will not write: broken, hostile or merely odd.
class RawDicomWriter {
 public:
  explicit RawDicomWriter(bool explicitVr = true, bool bigEndian = false)
      : explicitVr_(explicitVr), bigEndian_(bigEndian) {}

  RawDicomWriter& u16(uint16_t value);
  RawDicomWriter& u32(uint32_t value);
  RawDicomWriter& raw(const std::string& bytes);
  // Tag, VR (explicit syntaxes only) and a length field of the size the VR asks for.
  RawDicomWriter& header(uint16_t group, uint16_t element, const char* vr, uint32_t length);
  // A whole element; the value is written as given (no padding).
  RawDicomWriter& element(uint16_t group, uint16_t element, const char* vr,
                          const std::string& value);
  RawDicomWriter& element16(uint16_t group, uint16_t element, uint16_t value);
  RawDicomWriter& item(uint32_t length = 0xFFFFFFFF);
  RawDicomWriter& itemEnd();
  RawDicomWriter& sequenceEnd();

  const std::string& bytes() const { return bytes_; }
  size_t size() const { return bytes_.size(); }

 private:
  bool explicitVr_;
  bool bigEndian_;
  std::string bytes_;
};

// Preamble, "DICM" and a group 0002 meta header (explicit VR little endian, with group length).
std::string rawMetaHeader(const std::string& transferSyntaxUid,
                          const std::string& sopClassUid = "1.2.840.10008.5.1.4.1.1.7",
                          const std::string& sopInstanceUid = "1.2.3.4.5.6.7.8.9");

// Raw deflate (no zlib header) of the bytes, as the deflated transfer syntax holds them.
std::string rawDeflate(const std::string& bytes);
