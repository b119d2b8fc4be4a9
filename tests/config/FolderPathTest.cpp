#include <gtest/gtest.h>
#include <sys/stat.h>

#include "TempDir.h"
#include "config/FolderPath.h"

namespace {

mode_t modeOf(const std::string& path) {
  struct stat info {};
  EXPECT_EQ(stat(path.c_str(), &info), 0) << path;
  return info.st_mode & 07777;
}

}  // namespace

TEST(FolderPath, ComponentNames) {
  struct Case {
    const char* name;
    bool valid;
  };
  const Case cases[] = {
      {"kalvora", true}, {"a..b", true},      {"jobs 2024", true},  {"\xc3\xa9t\xc3\xa9", true},
      {".hidden", true}, {".", false},        {"..", false},        {"...", false},
      {"", false},       {".hidden.", false}, {"trailing.", false}, {" lead", false},
      {"trail ", false}, {"\ttab", false},    {"a*b", false},       {"a?b", false},
      {"a:b", false},    {"a<b", false},      {"a>b", false},       {"a|b", false},
      {"a\\b", false},   {"a\"b", false},     {"a/b", false},
  };
  for (const Case& c : cases) EXPECT_EQ(isValidFolderName(c.name), c.valid) << c.name;
}

TEST(FolderPath, CheckOnlyLooksAtTheTextAlone) {
  struct Case {
    const char* path;
    FolderCheck result;
  };
  const Case cases[] = {
      {"/", FolderCheck::Valid},
      {"/tmp", FolderCheck::Valid},
      {"/no/such/folder/yet", FolderCheck::Valid},
      {"/data/a..b", FolderCheck::Valid},
      {"/tmp/", FolderCheck::Invalid},  // trailing separator: an empty component
      {"/tmp//jobs", FolderCheck::Invalid},
      {"//server/share", FolderCheck::Invalid},
      {"/data/.jobs", FolderCheck::Valid},
      {"/home/clerk/.cache/kalvora", FolderCheck::Valid},
      {"/data/../jobs", FolderCheck::Invalid},
      {"/data/./jobs", FolderCheck::Invalid},
      {"/data/jobs.", FolderCheck::Invalid},
      {"/data/jo*bs", FolderCheck::Invalid},
      {"relative/jobs", FolderCheck::Invalid},
      {"", FolderCheck::Invalid},
  };
  for (const Case& c : cases)
    EXPECT_EQ(checkFolderPath(c.path, FolderCheckMode::CheckOnly), c.result) << c.path;
}

TEST(FolderPath, CreateModeMakesEveryLevelPrivate) {
  TempDir temp;
  const mode_t previous = umask(0);
  const std::string path = temp / "a/b..c/d";
  EXPECT_EQ(checkFolderPath(path, FolderCheckMode::Create), FolderCheck::Valid);
  umask(previous);
  for (const std::string& level : {temp / "a", temp / "a/b..c", path})
    EXPECT_EQ(modeOf(level), 0700u) << level;
  // An existing folder is fine, and the root exists.
  EXPECT_EQ(checkFolderPath(path, FolderCheckMode::Create), FolderCheck::Valid);
  EXPECT_EQ(checkFolderPath("/", FolderCheckMode::Create), FolderCheck::Valid);
}

TEST(FolderPath, CreateModeReportsWhatCannotBeMade) {
  TempDir temp;
  writeFileBytes(temp / "file", "x");
  // /proc refuses new folders even to root; a file stands in the way of a folder.
  EXPECT_EQ(checkFolderPath("/proc/kalvora-jobs/a", FolderCheckMode::Create),
            FolderCheck::CannotCreate);
  EXPECT_EQ(checkFolderPath(temp / "file/jobs", FolderCheckMode::Create),
            FolderCheck::CannotCreate);
  EXPECT_EQ(checkFolderPath(temp / "file", FolderCheckMode::Create), FolderCheck::CannotCreate);
  // A bad name is invalid before anything is made.
  EXPECT_EQ(checkFolderPath(temp / "x/y.", FolderCheckMode::Create), FolderCheck::Invalid);
}
