#include <gtest/gtest.h>
#include <sys/stat.h>

#include <ctime>
#include <filesystem>

#include "TempDir.h"
#include "jobs/JobFolders.h"

namespace fs = std::filesystem;

namespace {

std::time_t localTime(int year, int month, int day, int hour, int minute, int second) {
  std::tm local{};
  local.tm_year = year - 1900;
  local.tm_mon = month - 1;
  local.tm_mday = day;
  local.tm_hour = hour;
  local.tm_min = minute;
  local.tm_sec = second;
  local.tm_isdst = -1;
  return std::mktime(&local);
}

mode_t modeOf(const std::string& path) {
  struct stat info {};
  EXPECT_EQ(lstat(path.c_str(), &info), 0) << path;
  return info.st_mode & 07777;
}

TEST(JobFoldersTest, NamesFollowTheLocalTimeWithoutLeadingZeros) {
  struct Case {
    std::string tempFolder;
    std::time_t when;
    std::string name;
  };
  const Case cases[] = {
      {"/tmp/k", localTime(2005, 3, 9, 14, 5, 7), "/tmp/k/2005391457"},
      {"/tmp/k/", localTime(2005, 3, 9, 14, 5, 7), "/tmp/k//2005391457"},
      {"/tmp/k", localTime(2005, 11, 2, 3, 4, 5), "/tmp/k/2005112345"},
      {"/tmp/k", localTime(2005, 1, 12, 3, 4, 5), "/tmp/k/2005112345"},
      {"/tmp/k", localTime(2024, 12, 31, 23, 59, 59), "/tmp/k/20241231235959"},
  };
  for (const Case& c : cases) EXPECT_EQ(MakeJobFolderName(c.tempFolder, c.when), c.name);
}

TEST(JobFoldersTest, CollidingNamesGetASuffixAndEveryFolderIsPrivate) {
  TempDir temp;
  const std::time_t when = localTime(2005, 11, 2, 3, 4, 5);
  // Neither a permissive umask nor one that takes the owner's rights decides the modes.
  const mode_t previous = umask(0);
  struct Case {
    std::string tempFolder;
    std::string madeAbove;  // a level above tempFolder that the first job makes
    mode_t mask;
  };
  for (const Case& c :
       {Case{temp / "a/b", temp / "a", 0000}, Case{temp / "a/b/", temp / "a", 0000},
        Case{temp / "c/d", temp / "c", 0277}, Case{temp / "c/d/", temp / "c", 0277}}) {
    const std::string& tempFolder = c.tempFolder;
    SCOPED_TRACE(tempFolder + " umask " + std::to_string(c.mask));
    umask(c.mask);
    const std::string first = CreateJobFolder(tempFolder, when);
    const std::string second = CreateJobFolder(tempFolder, localTime(2005, 1, 12, 3, 4, 5));
    const std::string third = CreateJobFolder(tempFolder, when);
    EXPECT_EQ(first, MakeJobFolderName(tempFolder, when));
    EXPECT_EQ(second, first + ".2");
    EXPECT_EQ(third, first + ".3");
    for (const std::string& folder : {first, second, third}) EXPECT_EQ(modeOf(folder), 0700u);
    EXPECT_EQ(modeOf(c.madeAbove), 0700u);
    EXPECT_EQ(modeOf(tempFolder), 0700u);
    DeleteJobFolder(first);
    DeleteJobFolder(second);
    DeleteJobFolder(third);
  }
  umask(previous);

  // A name the engine still uses as a job key counts as taken too.
  const std::string name = MakeJobFolderName(temp.path(), when);
  EXPECT_EQ(CreateJobFolder(temp.path(), when, [&](const std::string& n) { return n == name; }),
            name + ".2");
}

TEST(JobFoldersTest, PlantedLinkAtTheNextNameIsNeverUsed) {
  TempDir temp;
  const std::time_t when = localTime(2005, 3, 9, 14, 5, 7);
  const std::string predicted = MakeJobFolderName(temp.path(), when);
  fs::create_directory(temp / "elsewhere");
  fs::create_directory_symlink(temp / "elsewhere", predicted);

  const std::string folder = CreateJobFolder(temp.path(), when);

  EXPECT_EQ(folder, predicted + ".2");
  EXPECT_TRUE(fs::is_directory(fs::symlink_status(folder)));
  EXPECT_TRUE(fs::is_empty(temp / "elsewhere"));
}

TEST(JobFoldersTest, CreateFolderChainMakesEveryLevel) {
  TempDir temp;
  EXPECT_TRUE(CreateFolderChain(temp / "A/B/C"));
  EXPECT_TRUE(fs::is_directory(temp / "A/B/C"));
  EXPECT_TRUE(CreateFolderChain(temp / "A/B/C"));  // exists already
  writeFileBytes(temp / "file", "x");
  EXPECT_FALSE(CreateFolderChain(temp / "file/sub"));
}

TEST(JobFoldersTest, FirstFileInFolderSkipsFolders) {
  TempDir temp;
  EXPECT_EQ(FirstFileInFolder(temp / "missing"), "");
  EXPECT_EQ(FirstFileInFolder(temp.path()), "");
  fs::create_directory(temp / "sub");
  EXPECT_EQ(FirstFileInFolder(temp.path()), "");
  writeFileBytes(temp / "IM1", "x");
  EXPECT_EQ(FirstFileInFolder(temp.path()), "IM1");
  EXPECT_EQ(FirstFileInFolder(temp.path() + "/"), "IM1");
}

TEST(JobFoldersTest, DeleteJobFolderRemovesFilesNeverWhatLinksPointTo) {
  TempDir temp;
  const std::string job = temp / "job";
  fs::create_directory(job);
  writeFileBytes(job + "/IM1", "x");
  writeFileBytes(job + "/IM1.2", "x");
  writeFileBytes(temp / "outside", "keep");
  fs::create_symlink(temp / "outside", job + "/link");
  DeleteJobFolder(job);
  EXPECT_FALSE(fs::exists(job));
  EXPECT_EQ(readFileBytes(temp / "outside"), "keep");

  // A subfolder stays, and so does the folder around it.
  fs::create_directories(job + "/sub");
  writeFileBytes(job + "/IM1", "x");
  DeleteJobFolder(job);
  EXPECT_FALSE(fs::exists(job + "/IM1"));
  EXPECT_TRUE(fs::is_directory(job + "/sub"));

  // A link in place of the folder is not followed.
  fs::create_directory(temp / "target");
  writeFileBytes(temp / "target/IM1", "x");
  fs::create_directory_symlink(temp / "target", temp / "linked-job");
  DeleteJobFolder(temp / "linked-job");
  EXPECT_TRUE(fs::exists(temp / "target/IM1"));

  DeleteJobFolder(temp / "missing");  // nothing to do, nothing thrown
}

}  // namespace
