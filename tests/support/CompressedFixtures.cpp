#include "CompressedFixtures.h"

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <vector>

#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcdicdir.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcpixel.h>
#include <dcmtk/dcmdata/dcpixseq.h>
#include <dcmtk/dcmdata/dcpxitem.h>
#include <dcmtk/dcmdata/dcuid.h>
#include <dcmtk/dcmjpeg/djrploss.h>
#include <dcmtk/dcmjpls/djencode.h>
#include <dcmtk/dcmjpls/djrparam.h>

#include "DicomFixtures.h"
#include "PixelSamples.h"
#include "TempDir.h"
#include "ToolRun.h"
#include "net/CodecRegistration.h"

namespace {

std::string newUid() {
  char uid[100];
  return dcmGenerateUniqueIdentifier(uid, SITE_INSTANCE_UID_ROOT);
}

void check(const OFCondition& condition, const std::string& what) {
  if (condition.bad()) throw std::runtime_error(what + ": " + condition.text());
}

// An uncompressed image and the UIDs every copy of it keeps.
struct SourceImage {
  std::string sopClassUid = UID_SecondaryCaptureImageStorage;
  std::string modality = "OT";
  unsigned rows = 32;
  unsigned columns = 32;
  unsigned samplesPerPixel = 1;
  unsigned bitsAllocated = 8;
  unsigned bitsStored = 8;
  unsigned frames = 1;
  bool isSigned = false;     // 16 bit only
  std::vector<int> samples;  // colour by pixel, frame after frame; signed as 16-bit words
};

void writeSource(const std::string& path, const SourceImage& image) {
  DcmFileFormat file;
  DcmDataset* dataset = file.getDataset();
  dataset->putAndInsertString(DCM_SOPClassUID, image.sopClassUid.c_str());
  dataset->putAndInsertString(DCM_SOPInstanceUID, newUid().c_str());
  dataset->putAndInsertString(DCM_StudyInstanceUID, newUid().c_str());
  dataset->putAndInsertString(DCM_SeriesInstanceUID, newUid().c_str());
  dataset->putAndInsertString(DCM_FrameOfReferenceUID, newUid().c_str());
  dataset->putAndInsertString(DCM_PatientID, "P1");
  dataset->putAndInsertString(DCM_PatientName, "Doe^John");
  dataset->putAndInsertString(DCM_Modality, image.modality.c_str());
  dataset->putAndInsertUint16(DCM_SamplesPerPixel, static_cast<Uint16>(image.samplesPerPixel));
  dataset->putAndInsertString(DCM_PhotometricInterpretation,
                              image.samplesPerPixel == 3 ? "RGB" : "MONOCHROME2");
  if (image.samplesPerPixel == 3) dataset->putAndInsertUint16(DCM_PlanarConfiguration, 0);
  if (image.frames > 1)
    dataset->putAndInsertString(DCM_NumberOfFrames, std::to_string(image.frames).c_str());
  dataset->putAndInsertUint16(DCM_Rows, static_cast<Uint16>(image.rows));
  dataset->putAndInsertUint16(DCM_Columns, static_cast<Uint16>(image.columns));
  dataset->putAndInsertUint16(DCM_BitsAllocated, static_cast<Uint16>(image.bitsAllocated));
  dataset->putAndInsertUint16(DCM_BitsStored, static_cast<Uint16>(image.bitsStored));
  dataset->putAndInsertUint16(DCM_HighBit, static_cast<Uint16>(image.bitsStored - 1));
  dataset->putAndInsertUint16(DCM_PixelRepresentation, image.isSigned ? 1 : 0);
  if (image.bitsAllocated == 8) {
    std::vector<Uint8> bytes(image.samples.begin(), image.samples.end());
    dataset->putAndInsertUint8Array(DCM_PixelData, bytes.data(), bytes.size());
  } else {
    std::vector<Uint16> words(image.samples.begin(), image.samples.end());
    dataset->putAndInsertUint16Array(DCM_PixelData, words.data(), words.size());
  }
  check(file.saveFile(path.c_str(), EXS_LittleEndianExplicit), "cannot write " + path);
}

// Pure red in the top left quarter (on whole JPEG blocks), smooth gradients elsewhere.
SourceImage colourImage() {
  SourceImage image;
  image.samplesPerPixel = 3;
  for (unsigned y = 0; y < image.rows; ++y) {
    for (unsigned x = 0; x < image.columns; ++x) {
      const bool red = x < 16 && y < 16;
      image.samples.push_back(red ? 255 : static_cast<int>(40 + 4 * x));
      image.samples.push_back(red ? 0 : static_cast<int>(60 + 3 * y));
      image.samples.push_back(red ? 0 : static_cast<int>(200 - 2 * x - y));
    }
  }
  return image;
}

SourceImage greyImage16() {
  SourceImage image;
  image.sopClassUid = UID_CTImageStorage;
  image.modality = "CT";
  image.rows = 24;
  image.bitsAllocated = 16;
  image.bitsStored = 12;
  for (unsigned y = 0; y < image.rows; ++y)
    for (unsigned x = 0; x < image.columns; ++x)
      image.samples.push_back(static_cast<int>((x * 97 + y * 131 + x * y * 7) % 4096));
  return image;
}

SourceImage greyFrames8() {
  SourceImage image;
  image.rows = image.columns = 16;
  image.frames = 3;
  for (unsigned f = 0; f < image.frames; ++f)
    for (unsigned p = 0; p < image.rows * image.columns; ++p)
      image.samples.push_back(static_cast<int>((p * (f + 1) + 17 * f) % 256));
  return image;
}

// CT-like: signed values around zero.
SourceImage signedImage16() {
  SourceImage image = greyImage16();
  image.bitsStored = 16;
  image.isSigned = true;
  for (int& sample : image.samples) sample = (sample - 2048) & 0xFFFF;
  return image;
}

std::vector<int> frameSamples(const SourceImage& image, unsigned frame) {
  const size_t size = static_cast<size_t>(image.rows) * image.columns * image.samplesPerPixel;
  return {image.samples.begin() + frame * size, image.samples.begin() + (frame + 1) * size};
}

// How a frame's codestream lies in the pixel items: split over `perFrame` fragments, with
// a Basic Offset Table that is empty, right, or counted without the item headers.
enum class OffsetTable { Empty, Right, CountedWrongly };
struct Fragmenting {
  unsigned perFrame = 1;
  OffsetTable table = OffsetTable::Empty;
};

std::vector<std::string> splitEvenly(std::string bytes, unsigned parts) {
  if (bytes.size() % 2 != 0) bytes.push_back('\0');
  std::vector<std::string> pieces;
  size_t start = 0;
  for (unsigned p = 1; p <= parts; ++p) {
    const size_t end = p == parts ? bytes.size() : (bytes.size() * p / parts) & ~size_t(1);
    pieces.push_back(bytes.substr(start, end - start));
    start = end;
  }
  return pieces;
}

DcmPixelItem* pixelItem(const std::string& bytes) {
  auto* item = new DcmPixelItem(DcmTag(DCM_Item, EVR_OB));
  item->putUint8Array(reinterpret_cast<const Uint8*>(bytes.data()),
                      static_cast<unsigned long>(bytes.size()));
  return item;
}

// Puts codestreams, one per frame, into a copy of `source` as encapsulated pixel data.
void wrapEncapsulated(const std::string& source, const std::string& path,
                      const std::vector<std::string>& frames, E_TransferSyntax syntax,
                      const char* photometric, Fragmenting fragmenting = {}) {
  DcmFileFormat file;
  check(file.loadFile(source.c_str()), "cannot load " + source);
  DcmDataset* dataset = file.getDataset();
  delete dataset->remove(DCM_PixelData);
  if (photometric != nullptr)
    dataset->putAndInsertString(DCM_PhotometricInterpretation, photometric);
  std::vector<std::string> fragments;
  std::string table;
  uint32_t offset = 0;
  for (const std::string& frame : frames) {
    if (fragmenting.table != OffsetTable::Empty)
      for (int shift = 0; shift < 32; shift += 8)
        table.push_back(static_cast<char>(offset >> shift));
    for (const std::string& piece : splitEvenly(frame, fragmenting.perFrame)) {
      fragments.push_back(piece);
      const bool withHeader = fragmenting.table != OffsetTable::CountedWrongly;
      offset += static_cast<uint32_t>(piece.size() + (withHeader ? 8 : 0));
    }
  }
  auto* sequence = new DcmPixelSequence(DcmTag(DCM_PixelData, EVR_OB));
  sequence->insert(pixelItem(table));
  for (const std::string& fragment : fragments) sequence->insert(pixelItem(fragment));
  auto* pixelData = new DcmPixelData(DCM_PixelData);
  pixelData->putOriginalRepresentation(syntax, nullptr, sequence);
  dataset->insert(pixelData, OFTrue);
  check(file.saveFile(path.c_str(), syntax), "cannot write " + path);
}

struct Jpeg2000Frames {
  std::vector<std::string> codestreams;
  std::vector<int> decoded;  // OpenJPEG's own decoding, frame after frame
};

// Each frame through opj_compress (lossless, or irreversible at ratio 10), and back through
// opj_decompress as the reference for what a decoder must give.
Jpeg2000Frames compressJpeg2000(const SourceImage& image, bool lossy, const std::string& work) {
  Jpeg2000Frames result;
  for (unsigned f = 0; f < image.frames; ++f) {
    const std::string stem = work + "/frame" + std::to_string(f);
    // Few resolution levels: the images are small.
    std::vector<std::string> args = {"opj_compress", "-o", stem + ".j2k", "-n", "3", "-i"};
    if (lossy) args.insert(args.end() - 1, {"-I", "-r", "10"});
    std::string extension;
    if (image.isSigned) {
      // PGM has no sign: raw little-endian words.
      extension = ".rawl";
      std::string raw;
      for (const int sample : frameSamples(image, f)) {
        raw.push_back(static_cast<char>(sample & 0xFF));
        raw.push_back(static_cast<char>(sample >> 8));
      }
      writeFileBytes(stem + extension, raw);
      args.insert(args.end() - 1, {"-F", std::to_string(image.columns) + "," +
                                             std::to_string(image.rows) + ",1,16,s"});
    } else {
      PortableImage frame;
      frame.width = image.columns;
      frame.height = image.rows;
      frame.channels = image.samplesPerPixel;
      frame.maxValue = (1u << image.bitsStored) - 1;
      frame.samples = frameSamples(image, f);
      extension = frame.channels == 3 ? ".ppm" : ".pgm";
      writePortableImage(stem + extension, frame);
    }
    args.push_back(stem + extension);
    runTool(args);
    result.codestreams.push_back(readFileBytes(stem + ".j2k"));
    runTool({"opj_decompress", "-i", stem + ".j2k", "-o", stem + ".out" + extension});
    if (image.isSigned) {
      const std::string raw = readFileBytes(stem + ".out" + extension);
      for (size_t i = 0; i + 1 < raw.size(); i += 2)
        result.decoded.push_back(static_cast<unsigned char>(raw[i]) |
                                 (static_cast<unsigned char>(raw[i + 1]) << 8));
    } else {
      const PortableImage decoded = readPortableImage(stem + ".out" + extension);
      result.decoded.insert(result.decoded.end(), decoded.samples.begin(), decoded.samples.end());
    }
  }
  return result;
}

}  // namespace

std::string writeCompressedImage(const std::string& path, E_TransferSyntax transferSyntax) {
  const bool eightBit = transferSyntax == EXS_JPEGProcess1;
  const Uint16 size = 32;

  DcmFileFormat file;
  DcmDataset* dataset = file.getDataset();
  dataset->putAndInsertString(DCM_SOPClassUID, UID_SecondaryCaptureImageStorage);
  dataset->putAndInsertString(DCM_SOPInstanceUID, newUid().c_str());
  dataset->putAndInsertString(DCM_StudyInstanceUID, newUid().c_str());
  dataset->putAndInsertString(DCM_SeriesInstanceUID, newUid().c_str());
  dataset->putAndInsertString(DCM_PatientID, "P1");
  dataset->putAndInsertString(DCM_PatientName, "Doe^John");
  dataset->putAndInsertString(DCM_Modality, "OT");
  dataset->putAndInsertUint16(DCM_SamplesPerPixel, 1);
  dataset->putAndInsertString(DCM_PhotometricInterpretation, "MONOCHROME2");
  dataset->putAndInsertUint16(DCM_Rows, size);
  dataset->putAndInsertUint16(DCM_Columns, size);
  dataset->putAndInsertUint16(DCM_BitsAllocated, eightBit ? 8 : 16);
  dataset->putAndInsertUint16(DCM_BitsStored, eightBit ? 8 : 12);
  dataset->putAndInsertUint16(DCM_HighBit, eightBit ? 7 : 11);
  dataset->putAndInsertUint16(DCM_PixelRepresentation, 0);
  const size_t count = static_cast<size_t>(size) * size;
  if (eightBit) {
    std::vector<Uint8> pixels(count);
    for (size_t i = 0; i < count; ++i) pixels[i] = static_cast<Uint8>(i % 251);
    dataset->putAndInsertUint8Array(DCM_PixelData, pixels.data(), count);
  } else {
    std::vector<Uint16> pixels(count);
    for (size_t i = 0; i < count; ++i) pixels[i] = static_cast<Uint16>((i * 37) % 4096);
    dataset->putAndInsertUint16Array(DCM_PixelData, pixels.data(), count);
  }

  CodecScope codecs;  // the JPEG encoder is among the send codecs
  DJLSEncoderRegistration::registerCodecs();
  OFCondition status;
  if (eightBit) {
    DJ_RPLossy lossy(90);
    status = dataset->chooseRepresentation(transferSyntax, &lossy);
  } else {
    DJLSRepresentationParameter lossless;
    status = dataset->chooseRepresentation(transferSyntax, &lossless);
  }
  if (status.good()) status = file.saveFile(path.c_str(), transferSyntax);
  DJLSEncoderRegistration::cleanup();
  check(status, "cannot write compressed fixture " + path);
  // Lossy compression made a new instance.
  OFString written;
  dataset->findAndGetOFString(DCM_SOPInstanceUID, written);
  return written.c_str();
}

std::vector<EncodedFixture> writeEncodedFixtures(const std::string& folder) {
  TempDir work;
  const SourceImage colour = colourImage();
  const SourceImage grey16 = greyImage16();
  const SourceImage frames8 = greyFrames8();
  const SourceImage signed16 = signedImage16();
  // Every fixture is an instance of its own: a fresh source, with fresh UIDs, for each.
  int sources = 0;
  const auto source = [&](const SourceImage& image) {
    const std::string path = work / ("source" + std::to_string(++sources) + ".dcm");
    writeSource(path, image);
    return path;
  };

  std::vector<EncodedFixture> fixtures;
  const auto add = [&](const std::string& name, E_TransferSyntax syntax, std::vector<int> expected,
                       int tolerance = 0, bool lossy = false) {
    EncodedFixture fixture;
    fixture.name = name;
    fixture.path = folder + "/" + name;
    fixture.syntax = syntax;
    fixture.expectedPixels = std::move(expected);
    fixture.tolerance = tolerance;
    fixture.lossy = lossy;
    fixtures.push_back(fixture);
    return fixture.path;
  };
  const auto dcmtk = [&](const std::string& tool, std::vector<std::string> options,
                         const std::string& source, const std::string& target) {
    std::vector<std::string> args = {tool};
    args.insert(args.end(), options.begin(), options.end());
    args.insert(args.end(), {source, target});
    runTool(args);
  };

  // RGB kept as RGB in the JPEG stream (Adobe marker, no transform), lossy and lossless.
  dcmtk("dcmcjpeg", {"+eb", "+cr"}, source(colour),
        add("JPEG_BASELINE_RGB", EXS_JPEGProcess1, colour.samples, 24, true));
  dcmtk("dcmcjpeg", {"+e1"}, source(colour),
        add("JPEG_LOSSLESS_RGB", EXS_JPEGProcess14SV1, colour.samples));
  // Chroma subsampling blurs the colour edge; false colours would be off by over 170.
  dcmtk("dcmcjpeg", {"+eb"}, source(colour),
        add("JPEG_BASELINE_YBR", EXS_JPEGProcess1, colour.samples, 64, true));
  dcmtk("dcmcjpls", {}, source(grey16), add("JPEG_LS", EXS_JPEGLSLossless, grey16.samples));
  dcmtk("dcmcrle", {}, source(colour), add("RLE", EXS_RLELossless, colour.samples));

  const struct {
    const char* name;
    const SourceImage& image;
    bool lossy;
    const char* photometric;
    Fragmenting fragmenting;
  } jpeg2000[] = {
      // clang-format off
      {"J2K_LOSSLESS_GREY16",       grey16,   false, nullptr,   {}},
      {"J2K_LOSSY_GREY16",          grey16,   true,  nullptr,   {}},
      {"J2K_LOSSLESS_SIGNED16",     signed16, false, nullptr,   {}},
      {"J2K_LOSSLESS_RGB",          colour,   false, "YBR_RCT", {}},
      {"J2K_LOSSY_RGB",             colour,   true,  "YBR_ICT", {}},
      {"J2K_MULTIFRAME",            frames8,  false, nullptr,   {}},
      // Writers split a frame over several fragments, with or without an offset table.
      {"J2K_FRAGMENTS",             grey16,   true,  nullptr,   {3, OffsetTable::Empty}},
      {"J2K_FRAGMENTS_TABLE",       frames8,  false, nullptr,   {3, OffsetTable::Right}},
      {"J2K_FRAGMENTS_NO_TABLE",    frames8,  false, nullptr,   {2, OffsetTable::Empty}},
      {"J2K_FRAGMENTS_WRONG_TABLE", frames8,  false, nullptr,   {3, OffsetTable::CountedWrongly}},
      // clang-format on
  };
  for (const auto& row : jpeg2000) {
    TempDir frames;
    const Jpeg2000Frames encoded = compressJpeg2000(row.image, row.lossy, frames.path());
    if (!row.lossy && encoded.decoded != row.image.samples)
      throw std::runtime_error(std::string("OpenJPEG does not give back ") + row.name);
    const E_TransferSyntax syntax = row.lossy ? EXS_JPEG2000 : EXS_JPEG2000LosslessOnly;
    wrapEncapsulated(source(row.image), add(row.name, syntax, encoded.decoded, 0, row.lossy),
                     encoded.codestreams, syntax, row.photometric, row.fragmenting);
  }

  SourceImage segmentation = greyFrames8();
  segmentation.sopClassUid = UID_SegmentationStorage;
  segmentation.modality = "SEG";
  writeSource(add("SEGMENTATION", EXS_LittleEndianExplicit, segmentation.samples), segmentation);

  // Stored as it came: no decoder of ours reads MPEG-2.
  SourceImage video = greyFrames8();
  video.sopClassUid = UID_VideoEndoscopicImageStorage;
  video.modality = "ES";
  const std::string mpeg("\x00\x00\x01\xB3\x01\x00\x10\x13\xFF\xFF\xE0\x18\x00\x00\x01\xB7", 16);
  wrapEncapsulated(source(video), add("MPEG2_VIDEO", EXS_MPEG2MainProfileAtMainLevel, {}), {mpeg},
                   EXS_MPEG2MainProfileAtMainLevel, nullptr);
  fixtures.back().decodable = false;
  return fixtures;
}

void writeDirectoryObject(const std::string& path) {
  const std::string temporary = path + ".tmp";
  {
    DcmDicomDir directory(temporary.c_str(), "KALVORA");
    check(directory.write(), "cannot write a directory object");
  }
  std::filesystem::rename(temporary, path);
}

void writeTruncatedImage(const std::string& path) {
  FixtureImage image;
  image.rows = image.columns = 64;
  writeFixtureImage(path, image);
  const std::string bytes = readFileBytes(path);
  writeFileBytes(path, bytes.substr(0, bytes.size() / 2));
}
