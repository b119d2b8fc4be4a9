#include <gtest/gtest.h>

#include <functional>

#include <dcmtk/dcmdata/dcdatset.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcpixel.h>
#include <dcmtk/dcmdata/dcpixseq.h>
#include <dcmtk/dcmdata/dcpxitem.h>

#include "CompressedFixtures.h"
#include "TempDir.h"
#include "dicom/Jpeg2000DecoderRegistration.h"

namespace {

DcmPixelItem* firstFragment(DcmDataset& dataset) {
  DcmElement* element = nullptr;
  dataset.findAndGetElement(DCM_PixelData, element);
  DcmPixelSequence* sequence = nullptr;
  static_cast<DcmPixelData*>(element)->getEncapsulatedRepresentation(EXS_JPEG2000LosslessOnly,
                                                                     nullptr, sequence);
  DcmPixelItem* item = nullptr;
  sequence->getItem(item, 1);
  return item;
}

void replaceFragment(DcmDataset& dataset, const std::string& bytes) {
  firstFragment(dataset)->putUint8Array(reinterpret_cast<const Uint8*>(bytes.data()),
                                        static_cast<unsigned long>(bytes.size()));
}

std::string fragmentBytes(DcmDataset& dataset) {
  DcmPixelItem* item = firstFragment(dataset);
  Uint8* data = nullptr;
  item->getUint8Array(data);
  return std::string(reinterpret_cast<const char*>(data), item->getLength());
}

}  // namespace

// Damaged data or a codestream that does not match the image fails the decoding; it never
// writes beyond the image nor takes the process down.
TEST(Jpeg2000Decoder, DamagedOrMismatchedCodestreamsFailCleanly) {
  TempDir folder;
  std::string path;
  for (const EncodedFixture& fixture : writeEncodedFixtures(folder.path()))
    if (fixture.name == "J2K_LOSSLESS_GREY16") path = fixture.path;
  ASSERT_FALSE(path.empty());

  const struct {
    const char* damage;
    std::function<void(DcmDataset&)> apply;
  } cases[] = {
      {"intact", [](DcmDataset&) {}},
      {"cut in half",
       [](DcmDataset& d) {
         const std::string bytes = fragmentBytes(d);
         replaceFragment(d, bytes.substr(0, bytes.size() / 2 & ~size_t(1)));
       }},
      {"no codestream", [](DcmDataset& d) { replaceFragment(d, "not a JPEG 2000 codestream!"); }},
      {"more rows than coded", [](DcmDataset& d) { d.putAndInsertUint16(DCM_Rows, 64); }},
      {"fewer columns than coded", [](DcmDataset& d) { d.putAndInsertUint16(DCM_Columns, 8); }},
      {"colour image said", [](DcmDataset& d) { d.putAndInsertUint16(DCM_SamplesPerPixel, 3); }},
      {"8 bits for 12 coded", [](DcmDataset& d) { d.putAndInsertUint16(DCM_BitsAllocated, 8); }},
      {"more frames than fragments",
       [](DcmDataset& d) { d.putAndInsertString(DCM_NumberOfFrames, "4"); }},
  };
  Jpeg2000DecoderRegistration::registerCodecs();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.damage);
    DcmFileFormat file;
    ASSERT_TRUE(file.loadFile(path.c_str()).good());
    DcmDataset& dataset = *file.getDataset();
    c.apply(dataset);
    const OFCondition decoded = dataset.chooseRepresentation(EXS_LittleEndianExplicit, nullptr);
    EXPECT_EQ(decoded.good(), std::string(c.damage) == "intact") << decoded.text();
  }
  Jpeg2000DecoderRegistration::cleanup();
}
