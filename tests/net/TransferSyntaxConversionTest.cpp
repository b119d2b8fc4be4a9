#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include <dcmtk/dcmdata/dcdatset.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcpixel.h>
#include <dcmtk/dcmdata/dcpixseq.h>
#include <dcmtk/dcmdata/dcpxitem.h>
#include <dcmtk/dcmnet/cond.h>

#include "CompressedFixtures.h"
#include "DicomFixtures.h"
#include "PixelSamples.h"
#include "TempDir.h"
#include "dicom/JpegColourEvidence.h"
#include "net/CodecRegistration.h"
#include "net/FileToSend.h"
#include "net/StoreResponseStatus.h"

TEST(TransferSyntaxConversion, UncompressedFilesAreNeverConverted) {
  TempDir folder;
  writeFixtureImage(folder / "IM1");
  CodecScope codecs;
  for (const bool convert : {true, false}) {
    const PreparedFile prepared = prepareFileToSend(folder / "IM1", false, convert);
    EXPECT_TRUE(prepared.loaded.condition.good());
    EXPECT_FALSE(prepared.conversion.made);
  }
}

// Largest difference between two sample lists of equal length; -1 when the lengths differ.
int largestDifference(const std::vector<int>& a, const std::vector<int>& b) {
  if (a.size() != b.size()) return -1;
  int largest = 0;
  for (size_t i = 0; i < a.size(); ++i) largest = std::max(largest, std::abs(a[i] - b[i]));
  return largest;
}

// Decoded in memory as before a C-STORE: the source's pixels (colours included), every UID
// as it was, and a lossy image still marked lossy.
TEST(TransferSyntaxConversion, EveryKindDecodesToItsSourceWithItsUids) {
  TempDir folder;
  const std::vector<EncodedFixture> fixtures = writeEncodedFixtures(folder.path());
  CodecScope codecs;
  for (const EncodedFixture& fixture : fixtures) {
    SCOPED_TRACE(fixture.name);
    const FileToSend original = loadFileToSend(fixture.path, false);
    ASSERT_TRUE(original.condition.good());
    const auto uids = uidsOf(*original.dataset());

    PreparedFile prepared = prepareFileToSend(fixture.path, false, true);
    ASSERT_TRUE(prepared.loaded.condition.good());
    DcmDataset& dataset = *prepared.loaded.dataset();
    EXPECT_EQ(uidsOf(dataset), uids);
    EXPECT_EQ(prepared.loaded.sopInstanceUid, original.sopInstanceUid);
    if (!fixture.decodable) {
      EXPECT_EQ(prepared.conversion.event, SendNotice);
      continue;
    }
    if (DcmXfer(fixture.syntax).isEncapsulated()) {
      EXPECT_EQ(prepared.conversion.event, FileConverted) << prepared.conversion.message;
    }
    const int difference = largestDifference(pixelSamples(dataset), fixture.expectedPixels);
    EXPECT_GE(difference, 0) << "sample count differs";
    EXPECT_LE(difference, fixture.tolerance);
    OFString photometric;
    dataset.findAndGetOFString(DCM_PhotometricInterpretation, photometric);
    EXPECT_TRUE(photometric == "RGB" || photometric == "MONOCHROME2") << photometric;
    OFString lossyFlag;
    dataset.findAndGetOFString(DCM_LossyImageCompression, lossyFlag);
    EXPECT_EQ(lossyFlag.c_str(), std::string(fixture.lossy ? "01" : ""));
  }
}

// The stream of an RGB baseline image without what names its colours: markers gone, component
// ids 1, 2, 3 (in the frame header and in the scan header).
std::string withoutColourEvidence(const std::string& stream) {
  std::string out = stream.substr(0, 2);
  std::size_t at = 2;
  while (at + 4 <= stream.size()) {
    const auto marker = static_cast<unsigned char>(stream[at + 1]);
    const std::size_t length = (static_cast<unsigned char>(stream[at + 2]) << 8) |
                               static_cast<unsigned char>(stream[at + 3]);
    std::string segment = stream.substr(at, 2 + length);
    const auto renumber = [&](std::size_t first, std::size_t stride) {
      for (int c = 0; c < 3; ++c) segment[first + c * stride] = static_cast<char>(c + 1);
    };
    if (marker == 0xC0) renumber(10, 3);
    if (marker == 0xDA) {
      renumber(5, 2);
      return out + segment + stream.substr(at + 2 + length);
    }
    if (marker != 0xE0 && marker != 0xEE) out += segment;
    at += 2 + length;
  }
  return out;
}

TEST(TransferSyntaxConversion, ABaselineStreamThatNamesNoColoursFollowsThePhotometric) {
  TempDir folder;
  std::string source;
  std::vector<int> expected;
  int tolerance = 0;
  for (const EncodedFixture& fixture : writeEncodedFixtures(folder.path())) {
    if (fixture.name != "JPEG_BASELINE_RGB") continue;
    source = fixture.path;
    expected = fixture.expectedPixels;
    tolerance = fixture.tolerance;
  }
  ASSERT_FALSE(source.empty());
  DcmFileFormat file;
  ASSERT_TRUE(file.loadFile(source.c_str()).good());
  DcmElement* element = nullptr;
  ASSERT_TRUE(file.getDataset()->findAndGetElement(DCM_PixelData, element).good());
  DcmPixelSequence* sequence = nullptr;
  ASSERT_TRUE(static_cast<DcmPixelData*>(element)
                  ->getEncapsulatedRepresentation(EXS_JPEGProcess1, nullptr, sequence)
                  .good());
  DcmPixelItem* fragment = nullptr;
  ASSERT_TRUE(sequence->getItem(fragment, 1).good());
  Uint8* bytes = nullptr;
  ASSERT_TRUE(fragment->getUint8Array(bytes).good());
  const std::string stream(reinterpret_cast<const char*>(bytes), fragment->getLength());
  std::string bare = withoutColourEvidence(stream);
  if (bare.size() % 2 != 0) bare += '\0';
  ASSERT_TRUE(
      jpegStreamNamesItsColours(reinterpret_cast<const Uint8*>(stream.data()), stream.size()));
  ASSERT_FALSE(jpegStreamNamesItsColours(reinterpret_cast<const Uint8*>(bare.data()), bare.size()));
  ASSERT_TRUE(fragment
                  ->putUint8Array(reinterpret_cast<const Uint8*>(bare.data()),
                                  static_cast<Uint32>(bare.size()))
                  .good());
  const std::string path = folder / "BARE_RGB";
  ASSERT_TRUE(file.saveFile(path.c_str(), EXS_JPEGProcess1).good());

  CodecScope codecs;
  PreparedFile prepared = prepareFileToSend(path, false, true);
  ASSERT_TRUE(prepared.loaded.condition.good());
  EXPECT_EQ(prepared.conversion.event, FileConverted) << prepared.conversion.message;
  const int difference = largestDifference(pixelSamples(*prepared.loaded.dataset()), expected);
  EXPECT_GE(difference, 0) << "sample count differs";
  EXPECT_LE(difference, tolerance);  // false colours are off by far more
}

TEST(TransferSyntaxConversion, MissingUidsAreBadData) {
  TempDir folder;
  FixtureImage image;
  image.sopClassUid.clear();
  writeFixtureImage(folder / "IM1", image);
  const FileToSend loaded = loadFileToSend(folder / "IM1", false);
  EXPECT_TRUE(loaded.uidsMissing);
  EXPECT_EQ(loaded.condition, DIMSE_BADDATA);
}

// The codecs stay while any holder is left, and go with the last one.
TEST(CodecRegistration, CodecsStayUntilTheLastHolderLetsGo) {
  TempDir folder;
  const std::string path = folder / "JPEG";
  writeCompressedImage(path, EXS_JPEGProcess1);
  ASSERT_EQ(CodecRegistration::holders(), 0);

  CodecRegistration::acquire();
  CodecRegistration::acquire();
  CodecRegistration::release();
  const PreparedFile whileHeld = prepareFileToSend(path, false, true);
  EXPECT_EQ(whileHeld.conversion.event, FileConverted);
  EXPECT_EQ(whileHeld.conversion.message,
            path + " converted [JPEGBaseline -> 'LittleEndianImplicit']");

  CodecRegistration::release();
  EXPECT_EQ(CodecRegistration::holders(), 0);
  const PreparedFile afterRelease = prepareFileToSend(path, false, true);
  EXPECT_EQ(afterRelease.conversion.event, SendNotice);
  EXPECT_EQ(afterRelease.conversion.message.rfind(
                path + ": Error in conversion JPEGBaseline -> 'LittleEndianImplicit' [", 0),
            0u)
      << afterRelease.conversion.message;
}

TEST(StoreResponseStatus, OnlySuccessAndKnownWarningsCountAsStored) {
  const struct {
    Uint16 status;
    StoreOutcome outcome;
  } cases[] = {
      {0x0000, StoreOutcome::Stored},
      {0xB000, StoreOutcome::StoredWithWarning},
      {0xB006, StoreOutcome::StoredWithWarning},
      {0xB007, StoreOutcome::StoredWithWarning},
      {0x0001, StoreOutcome::StoredWithWarning},
      {0x0107, StoreOutcome::StoredWithWarning},
      {0x0116, StoreOutcome::StoredWithWarning},
      {0xA700, StoreOutcome::Refused},
      {0xA900, StoreOutcome::Refused},
      {0xC000, StoreOutcome::Refused},
      {0xB001, StoreOutcome::Refused},  // unknown
      {0xFF00, StoreOutcome::Refused},  // pending is no answer to a store
  };
  for (const auto& c : cases) {
    EXPECT_EQ(classifyStoreStatus(c.status), c.outcome) << std::hex << c.status;
  }
  EXPECT_EQ(describeStoreStatus(0xA700).rfind("status 0xA700 (", 0), 0u);
}

// Inputs on which fuzzing found the send's preparation hanging or crashing
// (tests/data/fuzz/send, one file per finding, named after it): each must come back, with a
// conversion that failed where the stream cannot be decoded.
TEST(FuzzFindings, SendPreparationSurvivesEveryFinding) {
  CodecScope codecs;
  const std::string findings = std::string(KALVORA_TEST_DATA) + "/fuzz/send";
  for (const auto& entry : std::filesystem::directory_iterator(findings)) {
    SCOPED_TRACE(entry.path().string());
    const PreparedFile prepared = prepareFileToSend(entry.path().string(), true, true);
    if (prepared.conversion.made) {
      EXPECT_EQ(prepared.conversion.event, SendNotice);
    }
  }
}

TEST(JpegStream, OnlyAStreamWhoseMarkersLeadToItsFrameHeaderIsDecoded) {
  const std::vector<std::uint8_t> good = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x04, 0x4A,
                                          0x46, 0xFF, 0xC0, 0x00, 0x11, 0x08, 0x00};
  struct Case {
    std::vector<std::uint8_t> stream;
    bool decodable;
  };
  const Case cases[] = {
      {good, true},
      {{0xFF, 0x01, 0x00, 0x00, 0x30, 0x0E, 0xFF, 0xC0, 0x00, 0x11, 0x08}, false},  // no SOI
      {{0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x00, 0xFF, 0xC0, 0x00, 0x11, 0x08}, false},  // length 0
      {{0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x40, 0xFF, 0xC0, 0x00, 0x11, 0x08}, false},  // too long
      {{0xFF, 0xD8, 0xFF, 0xDA, 0x00, 0x04, 0x00, 0x00, 0xFF, 0xC0, 0x00, 0x11}, false},  // scan
      {{0xFF, 0xD8, 0xFF, 0xC0, 0x00}, false},  // ends in its frame header
  };
  for (const Case& c : cases)
    EXPECT_EQ(jpegStreamReachesFrameHeader(c.stream.data(), c.stream.size()), c.decodable);
}
