#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include <dcmtk/dcmdata/dcfilefo.h>

#include "DicomFixtures.h"
#include "TempDir.h"
#include "media/JobFolderCopy.h"
#include "workers/JobFolderEntries.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> entries(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// The data set alone, in one fixed encoding: a copy loses only the preamble.
std::string datasetOf(const std::string& path) {
  DcmFileFormat file;
  if (file.loadFile(path.c_str()).bad()) return "<unreadable>";
  TempDir scratch;
  const std::string out = scratch / "dataset";
  if (file.getDataset()->saveFile(out.c_str(), EXS_LittleEndianExplicit).bad())
    return "<unwritable>";
  return readFileBytes(out);
}

}  // namespace

// Both ways a copy is written: nameless until whole, or, where the file system has no
// nameless files (NFS, SMB, vfat), under a hidden name until whole.
class JobFolderCopyWays : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override { AllowNamelessCopies(GetParam()); }
  void TearDown() override { AllowNamelessCopies(true); }
};

// A kill while a copy is written must leave nothing the send could take for a whole file.
TEST_P(JobFolderCopyWays, ACopyGetsItsNameOnlyOnceWhole) {
  TempDir job, source;
  writeFixtureImage(source / "IM1");
  const pid_t writer = fork();
  if (writer == 0) {
    std::string error;
    CopyTarget cut = CreateCopyTarget(job.path(), error);
    if (cut.claimed() && write(cut.fd(), "DICM", 4) == 4) kill(getpid(), SIGKILL);
    _exit(1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(writer, &status, 0), writer);
  ASSERT_TRUE(WIFSIGNALED(status)) << "the writer did not get as far as the kill";
  const std::vector<std::string> leftOver = entries(job.path());
  EXPECT_EQ(leftOver.size(), GetParam() ? 0u : 1u);
  for (const std::string& name : leftOver) {
    EXPECT_EQ(name.rfind(kPartialCopyPrefix, 0), 0u) << name;
    fs::remove(job / name);
  }

  std::string error;
  for (const char* expected : {"IM1", "IM1.2"}) {
    DcmFileFormat loaded;
    ASSERT_TRUE(loaded.loadFile((source / "IM1").c_str()).good());
    CopyTarget target = CreateCopyTarget(job.path(), error);
    EXPECT_TRUE(SaveCopy(loaded, target, "IM1").good());
    EXPECT_EQ(target.path(), job / expected);
    EXPECT_EQ(datasetOf(job / expected), datasetOf(source / "IM1"));
  }
  // A name of Kalvora's own is never taken by a copy.
  DcmFileFormat loaded;
  ASSERT_TRUE(loaded.loadFile((source / "IM1").c_str()).good());
  CopyTarget target = CreateCopyTarget(job.path(), error);
  EXPECT_TRUE(SaveCopy(loaded, target, ".kalvora-job").good());
  EXPECT_EQ(entries(job.path()), (std::vector<std::string>{"IM1", "IM1.2", "_.kalvora-job"}));
}

INSTANTIATE_TEST_SUITE_P(NamelessOrHidden, JobFolderCopyWays, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "Nameless" : "HiddenName";
                         });
