#include "HostileMedium.h"

#include "DicomFixtures.h"
#include "NestingBomb.h"
#include "RawDicomWriter.h"
#include "TempDir.h"

#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcrleerg.h>

#include <random>
#include <stdexcept>

namespace {

struct ImageShape {
  uint16_t rows = 8;
  uint16_t columns = 8;
  uint16_t bitsAllocated = 8;
  uint16_t bitsStored = 8;
  uint16_t highBit = 7;
  std::string patientName = "Doe^John";  // written as given, odd lengths included
};

// An image's attributes up to (not including) the pixel data, explicit VR little endian.
RawDicomWriter imageAttributes(const ImageShape& shape) {
  RawDicomWriter w;
  w.element(0x0008, 0x0016, "UI", std::string("1.2.840.10008.5.1.4.1.1.7", 25) + '\0')
      .element(0x0008, 0x0018, "UI", "1.2.3.4.5.6.7.8.9.")
      .element(0x0008, 0x0060, "CS", "OT")
      .element(0x0010, 0x0010, "PN", shape.patientName)
      .element(0x0010, 0x0020, "LO", "HOSTILE1")
      .element16(0x0028, 0x0002, 1)
      .element(0x0028, 0x0004, "CS", "MONOCHROME2 ")
      .element16(0x0028, 0x0010, shape.rows)
      .element16(0x0028, 0x0011, shape.columns)
      .element16(0x0028, 0x0100, shape.bitsAllocated)
      .element16(0x0028, 0x0101, shape.bitsStored)
      .element16(0x0028, 0x0102, shape.highBit)
      .element16(0x0028, 0x0103, 0);
  return w;
}

std::string nativeImage(const ImageShape& shape, size_t pixelBytes) {
  RawDicomWriter w = imageAttributes(shape);
  w.element(0x7FE0, 0x0010, "OB", std::string(pixelBytes, '\x55'));
  return rawMetaHeader("1.2.840.10008.1.2.1") + w.bytes();
}

std::string encapsulatedImage(const std::string& transferSyntax, const std::string& fragment) {
  RawDicomWriter w = imageAttributes(ImageShape{});
  w.header(0x7FE0, 0x0010, "OB", 0xFFFFFFFF).item(0);
  w.item(static_cast<uint32_t>(fragment.size())).raw(fragment).sequenceEnd();
  return rawMetaHeader(transferSyntax) + w.bytes();
}

// An RLE header claiming three segments for one 8-bit sample, offsets out of order and
// past the fragment's end.
std::string badRleFragment() {
  RawDicomWriter header;
  header.u32(3).u32(64).u32(0xFFFFFF00).u32(10);
  for (int i = 4; i < 16; ++i) header.u32(0);
  return header.bytes() + std::string("\x05\x01\x02\x03\x04\x05\x06\xFF", 8);
}

std::string junkJpegLsFragment() {
  std::string junk = "\xFF\xD8\xFF\xF7";
  std::mt19937 random(80);
  for (int i = 0; i < 200; ++i) junk.push_back(static_cast<char>(random()));
  junk += "\xFF\xD9";
  return junk;
}

std::string randomBytes(size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& byte : bytes) byte = static_cast<char>(random());
  return bytes;
}

void writeRleImage(const std::string& path) {
  writeFixtureImage(path);
  DcmFileFormat file;
  DcmRLEEncoderRegistration::registerCodecs();
  if (file.loadFile(path.c_str()).bad() ||
      file.getDataset()->chooseRepresentation(EXS_RLELossless, nullptr).bad() ||
      file.saveFile(path.c_str(), EXS_RLELossless).bad())
    throw std::runtime_error("cannot write RLE fixture");
}

}  // namespace

std::vector<HostileFile> writeHostileMedium(const std::string& folder) {
  const auto put = [&](const std::string& name, const std::string& bytes) {
    writeFileBytes(folder + "/" + name, bytes);
  };
  std::vector<HostileFile> files;

  writeFixtureImage(folder + "/good.dcm");
  files.push_back({"good.dcm", true});
  writeRleImage(folder + "/good-rle.dcm");
  files.push_back({"good-rle.dcm", true});

  ImageShape oddText;
  oddText.patientName = "Doe^Jo";
  oddText.patientName += "n";  // seven bytes
  put("odd-length-text.dcm", nativeImage(oddText, 64));
  files.push_back({"odd-length-text.dcm", true});

  ImageShape highBit;
  highBit.highBit = 8;  // not below BitsAllocated
  put("high-bit.dcm", nativeImage(highBit, 64));
  files.push_back({"high-bit.dcm", true});
  highBit.bitsStored = 16;
  highBit.highBit = 15;
  put("bits-stored-beyond-allocated.dcm", nativeImage(highBit, 64));
  files.push_back({"bits-stored-beyond-allocated.dcm", true});

  put("short-pixel-data.dcm", nativeImage(ImageShape{}, 10));  // 64 promised
  files.push_back({"short-pixel-data.dcm", true});

  put("bad-rle-segments.dcm", encapsulatedImage("1.2.840.10008.1.2.5", badRleFragment()));
  files.push_back({"bad-rle-segments.dcm", true});
  put("junk-jpeg-ls.dcm", encapsulatedImage("1.2.840.10008.1.2.4.80", junkJpegLsFragment()));
  files.push_back({"junk-jpeg-ls.dcm", true});

  RawDicomWriter huge = imageAttributes(ImageShape{});
  huge.header(0x7FE0, 0x0010, "OB", 0x7FFFFFF0).raw(std::string(64, '\0'));
  put("length-beyond-file.dcm", rawMetaHeader("1.2.840.10008.1.2.1") + huge.bytes());
  files.push_back({"length-beyond-file.dcm", false});

  const std::string whole = nativeImage(ImageShape{}, 64);
  put("truncated-in-preamble.dcm", whole.substr(0, 100));
  files.push_back({"truncated-in-preamble.dcm", false});
  put("truncated-in-meta.dcm", whole.substr(0, 180));
  files.push_back({"truncated-in-meta.dcm", false});
  put("truncated-in-pixels.dcm", whole.substr(0, whole.size() - 20));
  files.push_back({"truncated-in-pixels.dcm", false});

  RawDicomWriter bare = imageAttributes(ImageShape{});
  bare.element(0x7FE0, 0x0010, "OB", std::string(64, '\x11'));
  put("no-meta-header.dcm", bare.bytes());
  files.push_back({"no-meta-header.dcm", true});

  put("empty.dcm", "");
  files.push_back({"empty.dcm", false});
  put("random.dcm", randomBytes(4096, 6));
  files.push_back({"random.dcm", false});
  put("nesting-bomb.dcm", NestingBomb{}.bytes());
  files.push_back({"nesting-bomb.dcm", false});
  NestingBomb deflated;
  deflated.syntax = NestingBomb::Syntax::Deflated;
  deflated.levels = 50000;
  put("deflated-nesting-bomb.dcm", deflated.bytes());
  files.push_back({"deflated-nesting-bomb.dcm", false});
  return files;
}
