#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include <dcmtk/dcmdata/dcfilefo.h>

#include "DicomFixtures.h"
#include "TempDir.h"
#include "media/JobFolderCopy.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> entries(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

// A kill while a copy is written must leave nothing the send could take for a whole file.
TEST(JobFolderCopy, ACopyGetsItsNameOnlyOnceWhole) {
  TempDir job, source;
  writeFixtureImage(source / "IM1");
  std::string error;
  {
    CopyTarget cut = CreateCopyTarget(job.path(), error);
    ASSERT_TRUE(cut.claimed()) << error;
    ASSERT_EQ(write(cut.fd(), "DICM", 4), 4);
  }  // as a kill would leave it
  EXPECT_TRUE(entries(job.path()).empty());

  for (const char* expected : {"IM1", "IM1.2"}) {
    DcmFileFormat loaded;
    ASSERT_TRUE(loaded.loadFile((source / "IM1").c_str()).good());
    CopyTarget target = CreateCopyTarget(job.path(), error);
    EXPECT_TRUE(SaveCopy(loaded, target, "IM1").good());
    EXPECT_EQ(target.path(), job / expected);
  }
  // A name of Kalvora's own is never taken by a copy.
  DcmFileFormat loaded;
  ASSERT_TRUE(loaded.loadFile((source / "IM1").c_str()).good());
  CopyTarget target = CreateCopyTarget(job.path(), error);
  EXPECT_TRUE(SaveCopy(loaded, target, ".kalvora-job").good());
  EXPECT_EQ(entries(job.path()), (std::vector<std::string>{"IM1", "IM1.2", "_.kalvora-job"}));
}
