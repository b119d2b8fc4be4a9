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

// Read in pieces and resumed, a file with values longer than a piece loads exactly as
// DCMTK's own load of the same file, plainly encoded or deflated.
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
