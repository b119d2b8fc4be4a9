#include <gtest/gtest.h>

#include <atomic>
#include <sstream>

#include <dcmtk/dcmdata/dcfilefo.h>

#include "DicomFixtures.h"
#include "TempDir.h"
#include "dicom/GuardedDicomLoad.h"
#include "dicom/StoppableFileStream.h"

namespace {

std::string dumped(DcmFileFormat& file) {
  std::ostringstream text;
  file.print(text, DCMTypes::PF_shortenLongTagValues);
  return text.str();
}

}  // namespace

// A file with values longer than a piece loads exactly as DCMTK's own load of the same file:
// deflated, read in pieces and resumed; plainly encoded, its long values left in the file
// and loaded later.
TEST(StoppableLoad, LoadsWhatDcmtkLoadsAcrossPieces) {
  TempDir dir;
  FixtureImage image;
  image.rows = image.columns = 1024;  // 2 MiB of pixels: three pieces
  const std::atomic<bool> noStop{false};
  for (const E_TransferSyntax syntax : {EXS_LittleEndianExplicit, EXS_LittleEndianImplicit,
                                        EXS_BigEndianExplicit, EXS_DeflatedLittleEndianExplicit}) {
    SCOPED_TRACE(DcmXfer(syntax).getXferName());
    image.transferSyntax = syntax;
    const std::string path = dir / "image.dcm";
    writeFixtureImage(path, image);
    DcmFileFormat plain;
    ASSERT_TRUE(plain.loadFile(path.c_str()).good());
    plain.loadAllDataIntoMemory();
    DcmFileFormat inPieces;
    ASSERT_TRUE(loadDicomFileGuarded(inPieces, path, noStop).good());
    EXPECT_TRUE(inPieces.loadAllDataIntoMemory().good());
    EXPECT_EQ(dumped(inPieces), dumped(plain));
    EXPECT_EQ(inPieces.getDataset()->getOriginalXfer(), syntax);
  }

  // A file that ends inside a long value fails as DCMTK's own load fails it.
  const std::string path = dir / "image.dcm";
  image.transferSyntax = EXS_LittleEndianExplicit;
  writeFixtureImage(path, image);
  const std::string whole = readFileBytes(path);
  writeFileBytes(path, whole.substr(0, whole.size() - 1000));
  DcmFileFormat truncated;
  EXPECT_TRUE(loadDicomFileGuarded(truncated, path, noStop).bad());
}

TEST(StoppableLoad, AStopEndsTheLoadWithoutReading) {
  TempDir dir;
  writeFixtureImage(dir / "image.dcm");
  const std::atomic<bool> stop{true};
  DcmFileFormat file;
  EXPECT_EQ(loadDicomFileGuarded(file, dir / "image.dcm", stop),
            StoppableFileStream::stoppedCondition());
}

// A value that claims more bytes than the file holds is refused before anything of that
// size is allocated, as DCMTK's own load refuses it.
TEST(StoppableLoad, AValueLongerThanTheFileFailsAsDcmtkFailsIt) {
  TempDir dir;
  std::string bytes(30, '\0');
  bytes += std::string(2, '\xff');  // (0000,0000) with a length of nearly 4 GiB
  bytes += std::string(4, '\xff');
  bytes += std::string(64, '\0');
  writeFileBytes(dir / "claims.dcm", bytes);
  DcmFileFormat plain;
  const OFCondition expected = plain.loadFile((dir / "claims.dcm").c_str());
  ASSERT_TRUE(expected.bad());
  const std::atomic<bool> noStop{false};
  DcmFileFormat file;
  EXPECT_EQ(loadDicomFileGuarded(file, dir / "claims.dcm", noStop), expected);
}
