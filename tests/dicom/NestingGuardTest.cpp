#include "dicom/GuardedDicomLoad.h"
#include "dicom/NestingGuard.h"

#include "DicomFixtures.h"
#include "NestingBomb.h"
#include "RawDicomWriter.h"
#include "TempDir.h"

#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcitem.h>

#include <gtest/gtest.h>

#include <random>

namespace {

using Syntax = NestingBomb::Syntax;
using Carrier = NestingBomb::Carrier;

std::string writeBomb(const TempDir& dir, const NestingBomb& bomb, const std::string& name) {
  const std::string path = dir / name;
  writeFileBytes(path, bomb.bytes());
  return path;
}

OFCondition loadPlain(const std::string& path) {
  DcmFileFormat file;
  return file.loadFile(path.c_str());
}

// A fixture image with real, moderately nested sequences (a referenced-series tree).
void writeImageWithSequences(const std::string& path, E_TransferSyntax syntax,
                             E_EncodingType encoding, E_FileWriteMode mode) {
  writeFixtureImage(path, FixtureImage{});
  DcmFileFormat file;
  ASSERT_TRUE(file.loadFile(path.c_str()).good());
  DcmItem* item = file.getDataset();
  for (int level = 0; level < 6; ++level) {
    DcmItem* child = nullptr;
    ASSERT_TRUE(item->findOrCreateSequenceItem(DCM_ContentSequence, child, -2).good());
    child->putAndInsertString(DCM_CodeValue, "C");
    ASSERT_TRUE(item->findOrCreateSequenceItem(DCM_ContentSequence, child, -2).good());
    item = child;
  }
  file.getDataset()->putAndInsertString(DCM_ReferencedSOPInstanceUID, "1.2.3");
  ASSERT_TRUE(
      file.saveFile(path.c_str(), syntax, encoding, EGL_recalcGL, EPD_noChange, 0, 0, mode).good());
}

// A meta header naming explicit VR at its top level and implicit VR in a sequence before it,
// which DCMTK's search for the transfer syntax finds first.
std::string doubtfulMetaHeader() {
  RawDicomWriter meta;
  meta.raw(std::string(128, '\0')).raw("DICM");
  meta.element(0x0002, 0x0001, "OB", std::string("\0\1", 2))
      .header(0x0002, 0x0005, "SQ", 0xFFFFFFFF)
      .item()
      .element(0x0002, 0x0010, "UI", std::string("1.2.840.10008.1.2", 18))
      .itemEnd()
      .sequenceEnd()
      .element(0x0002, 0x0010, "UI", std::string("1.2.840.10008.1.2.1", 20));
  return meta.bytes();
}

// JPEG baseline file whose pixel data is a basic offset table and two fragments of junk.
std::string encapsulatedImage() {
  RawDicomWriter w;
  w.element(0x0008, 0x0016, "UI", std::string("1.2.840.10008.5.1.4.1.1.7", 25) + '\0')
      .element(0x0008, 0x0018, "UI", "1.2.3.4.5.")
      .element16(0x0028, 0x0002, 1)
      .element(0x0028, 0x0004, "CS", "MONOCHROME2 ")
      .element16(0x0028, 0x0010, 4)
      .element16(0x0028, 0x0011, 4)
      .element16(0x0028, 0x0100, 8)
      .element16(0x0028, 0x0101, 8)
      .element16(0x0028, 0x0102, 7)
      .element16(0x0028, 0x0103, 0)
      .header(0x7FE0, 0x0010, "OB", 0xFFFFFFFF)
      .item(0)
      .item(4)
      .raw(std::string("\xFF\xD8\xFF\xE0", 4))
      .item(2)
      .raw(std::string("\xFF\xD9", 2))
      .sequenceEnd();
  return rawMetaHeader("1.2.840.10008.1.2.4.50") + w.bytes();
}

}  // namespace

TEST(NestingGuard, RejectsBombsInEveryEncodingDcmtkReads) {
  struct Case {
    const char* name;
    NestingBomb bomb;
  };
  const auto bomb = [](Syntax syntax, Carrier carrier, bool defined, bool meta = true) {
    NestingBomb b;
    b.syntax = syntax;
    b.carrier = carrier;
    b.definedLengths = defined;
    b.withMetaHeader = meta;
    return b;
  };
  const Case cases[] = {
      {"explicit little, undefined lengths",
       bomb(Syntax::ExplicitLittle, Carrier::Sequence, false)},
      {"explicit little, defined lengths", bomb(Syntax::ExplicitLittle, Carrier::Sequence, true)},
      {"implicit little", bomb(Syntax::ImplicitLittle, Carrier::Sequence, false)},
      {"implicit little, defined lengths", bomb(Syntax::ImplicitLittle, Carrier::Sequence, true)},
      {"explicit big", bomb(Syntax::ExplicitBig, Carrier::Sequence, false)},
      {"explicit big, defined lengths", bomb(Syntax::ExplicitBig, Carrier::Sequence, true)},
      {"deflated", bomb(Syntax::Deflated, Carrier::Sequence, false)},
      {"UN of undefined length", bomb(Syntax::ExplicitLittle, Carrier::UnknownVr, false)},
      {"UN, defined lengths inside", bomb(Syntax::ExplicitBig, Carrier::UnknownVr, true)},
      {"private sequence, implicit", bomb(Syntax::ImplicitLittle, Carrier::PrivateSequence, true)},
      {"private sequence, explicit", bomb(Syntax::ExplicitLittle, Carrier::PrivateSequence, true)},
      {"inside the meta header", bomb(Syntax::ExplicitLittle, Carrier::MetaHeader, false)},
      {"as the meta group length", bomb(Syntax::ExplicitLittle, Carrier::MetaGroupLength, true)},
      {"no meta header, explicit", bomb(Syntax::ExplicitLittle, Carrier::Sequence, false, false)},
      {"no meta header, implicit", bomb(Syntax::ImplicitLittle, Carrier::Sequence, true, false)},
      {"no meta header, big endian", bomb(Syntax::ExplicitBig, Carrier::Sequence, false, false)},
  };
  TempDir dir;
  for (const Case& c : cases) {
    const std::string path = writeBomb(dir, c.bomb, "bomb.dcm");
    EXPECT_EQ(checkNestingDepth(path), NestingVerdict::TooDeep) << c.name;
    DcmFileFormat file;
    EXPECT_EQ(loadDicomFileGuarded(file, path), nestingTooDeepCondition()) << c.name;
  }
  NestingBomb implicitBody = bomb(Syntax::ImplicitLittle, Carrier::Sequence, false, false);
  writeFileBytes(dir / "doubtful.dcm", doubtfulMetaHeader() + implicitBody.bytes());
  EXPECT_EQ(checkNestingDepth(dir / "doubtful.dcm"), NestingVerdict::TooDeep);

  // Found by the differential harness: implicit VR pixel data of undefined length is a
  // pixel sequence for DCMTK too (its dictionary VR is the internal "px"), and what
  // follows it is read on.
  RawDicomWriter pixels(false, false);
  pixels.header(0x7FE0, 0x0010, "OB", 0xFFFFFFFF).item(0).item(4).raw("abcd").sequenceEnd();
  writeFileBytes(dir / "after-pixels.dcm",
                 rawMetaHeader("1.2.840.10008.1.2") + pixels.bytes() + implicitBody.bytes());
  EXPECT_EQ(checkNestingDepth(dir / "after-pixels.dcm"), NestingVerdict::TooDeep);

  // Found by the differential harness: a transfer syntax UID in an element of another VR
  // is no UID for DCMTK, which then guesses the syntax of the data set.
  RawDicomWriter meta;
  meta.raw(std::string(128, '\0')).raw("DICM");
  meta.element(0x0002, 0x0010, "OB", std::string("1.2.840.10008.1.2.1.99", 22));
  writeFileBytes(dir / "uid-as-bytes.dcm", meta.bytes() + implicitBody.bytes());
  EXPECT_EQ(checkNestingDepth(dir / "uid-as-bytes.dcm"), NestingVerdict::TooDeep);

  // Found by the differential harness: DCMTK reads any OB of undefined length as fragments
  // and goes on after them.
  RawDicomWriter fragments;
  fragments.header(0x0009, 0x1002, "OB", 0xFFFFFFFF).item(4).raw("abcd").sequenceEnd();
  writeFileBytes(dir / "after-fragments.dcm",
                 rawMetaHeader("1.2.840.10008.1.2.1") + fragments.bytes() +
                     bomb(Syntax::ExplicitLittle, Carrier::Sequence, false, false).bytes());
  EXPECT_EQ(checkNestingDepth(dir / "after-fragments.dcm"), NestingVerdict::TooDeep);
}

TEST(NestingGuard, LimitIsExactAndDcmtkReadsWhatPasses) {
  TempDir dir;
  for (const bool defined : {false, true}) {
    for (const Syntax syntax : {Syntax::ExplicitLittle, Syntax::ImplicitLittle}) {
      NestingBomb nested;
      nested.syntax = syntax;
      nested.definedLengths = defined;
      nested.levels = kMaxSequenceNesting;
      const std::string atLimit = writeBomb(dir, nested, "limit.dcm");
      EXPECT_EQ(checkNestingDepth(atLimit), NestingVerdict::Acceptable);
      DcmFileFormat file;
      EXPECT_TRUE(loadDicomFileGuarded(file, atLimit).good());

      nested.levels = kMaxSequenceNesting + 1;
      EXPECT_EQ(checkNestingDepth(writeBomb(dir, nested, "over.dcm")), NestingVerdict::TooDeep);
    }
  }
}

TEST(NestingGuard, AcceptsNormalFilesInEveryShape) {
  TempDir dir;
  struct Shape {
    E_TransferSyntax syntax;
    E_EncodingType encoding;
    E_FileWriteMode mode;
  };
  const Shape shapes[] = {
      {EXS_LittleEndianExplicit, EET_UndefinedLength, EWM_fileformat},
      {EXS_LittleEndianExplicit, EET_ExplicitLength, EWM_fileformat},
      {EXS_LittleEndianImplicit, EET_ExplicitLength, EWM_fileformat},
      {EXS_BigEndianExplicit, EET_UndefinedLength, EWM_fileformat},
      {EXS_DeflatedLittleEndianExplicit, EET_UndefinedLength, EWM_fileformat},
      {EXS_LittleEndianImplicit, EET_UndefinedLength, EWM_dataset},  // no meta header
      {EXS_LittleEndianExplicit, EET_ExplicitLength, EWM_dataset},
      {EXS_BigEndianExplicit, EET_ExplicitLength, EWM_dataset},
  };
  int index = 0;
  for (const Shape& shape : shapes) {
    const std::string path = dir / ("image" + std::to_string(index++) + ".dcm");
    writeImageWithSequences(path, shape.syntax, shape.encoding, shape.mode);
    ASSERT_TRUE(loadPlain(path).good()) << path;
    EXPECT_EQ(checkNestingDepth(path), NestingVerdict::Acceptable) << "shape " << index - 1;
    // The walk really follows the six levels in every encoding.
    EXPECT_EQ(checkNestingDepth(path, 6), NestingVerdict::Acceptable) << "shape " << index - 1;
    EXPECT_EQ(checkNestingDepth(path, 5), NestingVerdict::TooDeep) << "shape " << index - 1;
  }
  for (const E_TransferSyntax syntax : {EXS_LittleEndianImplicit, EXS_BigEndianExplicit}) {
    FixtureImage image;
    image.transferSyntax = syntax;
    writeFixtureImage(dir / "plain.dcm", image);
    EXPECT_EQ(checkNestingDepth(dir / "plain.dcm"), NestingVerdict::Acceptable);
  }
  writeFileBytes(dir / "jpeg.dcm", encapsulatedImage());
  ASSERT_TRUE(loadPlain(dir / "jpeg.dcm").good());
  EXPECT_EQ(checkNestingDepth(dir / "jpeg.dcm", 1), NestingVerdict::Acceptable);
  EXPECT_EQ(checkNestingDepth(dir / "jpeg.dcm", 0), NestingVerdict::TooDeep);
}

// Found by fuzzing: DCMTK allocates the declared length of a deflated value before it finds
// the data ends early (3.7 GB for a 388-byte file). The same shape uncompressed costs
// DCMTK nothing and stays its business.
TEST(NestingGuard, RejectsDeflatedDataEndingInsideAValue) {
  RawDicomWriter dataset;
  dataset.element(0x0008, 0x0016, "UI", std::string("1.2.840.10008.5.1.4.1.1.7", 25) + '\0')
      .header(0x0009, 0x1001, "OB", 0xE0000000)
      .raw("only a few bytes");
  TempDir dir;
  writeFileBytes(dir / "deflated.dcm",
                 rawMetaHeader("1.2.840.10008.1.2.1.99") + rawDeflate(dataset.bytes()));
  writeFileBytes(dir / "plain.dcm", rawMetaHeader("1.2.840.10008.1.2.1") + dataset.bytes());

  EXPECT_EQ(checkNestingDepth(dir / "deflated.dcm"), NestingVerdict::ValueBeyondEnd);
  DcmFileFormat file;
  EXPECT_EQ(loadDicomFileGuarded(file, dir / "deflated.dcm"), EC_StreamNotifyClient);
  EXPECT_EQ(checkNestingDepth(dir / "plain.dcm"), NestingVerdict::NotJudged);
  EXPECT_EQ(loadDicomFileGuarded(file, dir / "plain.dcm"), loadPlain(dir / "plain.dcm"));
}

// Found by the guard's differential fuzzing: DCMTK ends the meta header or data set at the
// end of the file, keeping an element whose value is missing altogether (here an empty
// sequence in the meta header). The guard must count that level like DCMTK.
TEST(NestingGuard, FileEndingAfterAHeaderEndsItLikeDcmtk) {
  TempDir dir;
  writeFileBytes(dir / "cut", std::string("\x02\0\0\0SQAS\0\x01\x61\x55", 12));
  ASSERT_TRUE(loadPlain(dir / "cut").good());
  EXPECT_EQ(checkNestingDepth(dir / "cut", 1), NestingVerdict::Acceptable);
  EXPECT_EQ(checkNestingDepth(dir / "cut", 0), NestingVerdict::TooDeep);
}

TEST(NestingGuard, LeavesUnreadableFilesToDcmtk) {
  TempDir dir;
  writeFileBytes(dir / "empty", "");
  writeFileBytes(dir / "text", "README for the viewer on this disc\n");
  const std::string truncated = NestingBomb{}.bytes().substr(0, 700);
  writeFileBytes(dir / "truncated", truncated);
  for (const char* name : {"missing", "empty", "text", "truncated"})
    EXPECT_EQ(checkNestingDepth(dir / name), NestingVerdict::NotJudged) << name;
  EXPECT_EQ(checkNestingDepth(dir.path()), NestingVerdict::NotJudged);

  std::mt19937 random(6);
  for (int i = 0; i < 200; ++i) {
    std::string bytes(1 + random() % 4000, '\0');
    for (char& byte : bytes) byte = static_cast<char>(random());
    if (i % 2) bytes = rawMetaHeader("1.2.840.10008.1.2.1") + bytes;
    writeFileBytes(dir / "random", bytes);
    EXPECT_NE(checkNestingDepth(dir / "random"), NestingVerdict::TooDeep);
  }
}
