#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>

#include "DicomFixtures.h"
#include "OtherUser.h"
#include "TempDir.h"
#include "dicom/CopyIdentity.h"
#include "jobs/JobFolders.h"
#include "jobs/JobJournal.h"

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

// What makes a folder Kalvora's: the journal made with it.
void giveJournal(const std::string& folder) { JobJournal::create(folder).reset(); }

// A job folder as the import leaves it: the journal, and copies it records.
void makeKalvoraJobFolder(const std::string& folder, const std::vector<std::string>& copies) {
  fs::create_directories(folder);
  auto journal = JobJournal::create(folder);
  ASSERT_TRUE(journal);
  for (const std::string& name : copies) {
    writeFixtureImage(folder + "/" + name);
    journal->recordCopy(name, readCopyIdentity(folder + "/" + name));
  }
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
    const std::string first = CreateJobFolder(tempFolder, when).path;
    const std::string second = CreateJobFolder(tempFolder, localTime(2005, 1, 12, 3, 4, 5)).path;
    const std::string third = CreateJobFolder(tempFolder, when).path;
    EXPECT_EQ(first, MakeJobFolderName(tempFolder, when));
    EXPECT_EQ(second, first + ".2");
    EXPECT_EQ(third, first + ".3");
    for (const std::string& folder : {first, second, third}) EXPECT_EQ(modeOf(folder), 0700u);
    EXPECT_EQ(modeOf(c.madeAbove), 0700u);
    EXPECT_EQ(modeOf(tempFolder), 0700u);
    for (const std::string& folder : {first, second, third}) fs::remove_all(folder);
  }
  umask(previous);

  // A name the engine still uses as a job key counts as taken too.
  const std::string name = MakeJobFolderName(temp.path(), when);
  EXPECT_EQ(
      CreateJobFolder(temp.path(), when, [&](const std::string& n) { return n == name; }).path,
      name + ".2");
}

TEST(JobFoldersTest, PlantedLinkAtTheNextNameIsNeverUsed) {
  TempDir temp;
  const std::time_t when = localTime(2005, 3, 9, 14, 5, 7);
  const std::string predicted = MakeJobFolderName(temp.path(), when);
  fs::create_directory(temp / "elsewhere");
  fs::create_directory_symlink(temp / "elsewhere", predicted);

  const std::string folder = CreateJobFolder(temp.path(), when).path;

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

TEST(JobFoldersTest, DeleteJobFolderRemovesKalvorasCopiesNeverWhatLinksPointTo) {
  TempDir temp;
  const std::string job = temp / "job";
  makeKalvoraJobFolder(job, {"IM1", "IM1.2"});
  writeFileBytes(temp / "outside", "keep");
  fs::create_symlink(temp / "outside", job + "/link");
  JobFolderRemoval removal = DeleteJobFolder(job, JobJournal::read(job));
  EXPECT_EQ(removal.removed, 2);
  EXPECT_EQ(removal.left, (std::vector<std::string>{"link"}));
  EXPECT_EQ(readFileBytes(temp / "outside"), "keep");
  fs::remove(job + "/link");
  removal = DeleteJobFolder(job, JobJournal::read(job));
  EXPECT_TRUE(removal.folderGone);
  EXPECT_FALSE(fs::exists(job));

  // A link in place of the folder is not followed.
  makeKalvoraJobFolder(temp / "target", {"IM1"});
  fs::create_directory_symlink(temp / "target", temp / "linked-job");
  DeleteJobFolder(temp / "linked-job", JobJournal::read(temp / "target"));
  EXPECT_TRUE(fs::exists(temp / "target/IM1"));

  // Without Kalvora's journal it is the user's own folder: nothing goes.
  fs::create_directory(temp / "own");
  writeFileBytes(temp / "own/notes.txt", "mine");
  EXPECT_EQ(DeleteJobFolder(temp / "own", JobJournal::read(job)).removed, -1);
  EXPECT_EQ(readFileBytes(temp / "own/notes.txt"), "mine");

  DeleteJobFolder(temp / "missing", {});  // nothing to do, nothing thrown
}

// Folders below the temporary folder named as job folders: only the journal made with the
// folder makes it Kalvora's, only the copies it records go, and whatever else is found stays,
// named, with the journal, so that the folder stays listed.
TEST(JobFoldersTest, OnlyTheCopiesAJournalRecordsAreDeletedAndAnythingElseKeepsTheFolder) {
  TempDir base;
  const std::string temp = base / "temp";
  fs::create_directories(temp);
  fs::permissions(temp, fs::perms::owner_all);
  const std::string real = temp + "/20261231235900";
  makeKalvoraJobFolder(real, {"IM00001", "IM00002"});
  const std::string realJournal = readFileBytes(real + "/.kalvora-job");
  fs::remove_all(real);

  struct Case {
    const char* what;
    std::function<void(const std::string&)> make;
    bool isJobFolder;
    int removed;
    std::vector<std::string> left;
  };
  const auto userFolder = [](const std::string& folder) {
    fs::create_directories(folder);
    writeFileBytes(folder + "/notes.txt", "mine");
    writeFixtureImage(folder + "/IM00001");
    writeFixtureImage(folder + "/IM00002");
  };
  const Case cases[] = {
      {"a user's folder", userFolder, false, -1, {}},
      {"a user's folder with an empty journal",
       [&](const std::string& f) {
         userFolder(f);
         writeFileBytes(f + "/.kalvora-job", "");
       },
       false,
       0,
       {"IM00001", "IM00002", "notes.txt"}},
      {"a user's folder with a journal copied from a job",
       [&](const std::string& f) {
         userFolder(f);
         writeFileBytes(f + "/.kalvora-job", realJournal);
       },
       false,
       0,
       {"IM00001", "IM00002", "notes.txt"}},
      {"a job folder with a subfolder and a planted file",
       [](const std::string& f) {
         makeKalvoraJobFolder(f, {"IM1", "IM2"});
         fs::create_directories(f + "/sub");
         writeFixtureImage(f + "/sub/IM9");
         writeFileBytes(f + "/notes.txt", "mine");
       },
       true,
       2,
       {"notes.txt", "sub/"}},
      {"a job folder with a copy replaced",
       [](const std::string& f) {
         makeKalvoraJobFolder(f, {"IM1", "IM2"});
         writeFixtureImage(f + "/IM2");  // another image under the name
       },
       true,
       1,
       {"IM2"}},
      {"a job folder of an earlier version",
       [](const std::string& f) {
         fs::create_directories(f);
         writeFixtureImage(f + "/IM1");
         writeFileBytes(f + "/.kalvora-job", "kalvora-job\t1\nread\n");
       },
       true,
       0,
       {"IM1"}},
      {"a job folder as Kalvora left it",
       [](const std::string& f) { makeKalvoraJobFolder(f, {"IM1"}); },
       true,
       1,
       {}},
  };
  int next = 1;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string folder = temp + "/2026123123590" + std::to_string(next++);
    c.make(folder);
    fs::permissions(folder, fs::perms::owner_all);
    EXPECT_EQ(IsKalvoraJobFolder(folder, temp), c.isJobFolder);
    const JobFolderRemoval removal = DeleteJobFolder(folder, JobJournal::read(folder));
    EXPECT_EQ(removal.removed, c.removed);
    EXPECT_EQ(removal.left, c.left);
    EXPECT_EQ(removal.folderGone, c.removed >= 0 && c.left.empty());
    EXPECT_EQ(fs::exists(folder), !removal.folderGone);
    for (const std::string& name : c.left) EXPECT_TRUE(fs::exists(folder + "/" + name)) << name;
    // Still there with its journal: still listed.
    if (c.isJobFolder && !c.left.empty()) {
      EXPECT_TRUE(IsKalvoraJobFolder(folder, temp));
    }
  }
}

namespace {

struct TemporaryFolderCase {
  const char* name;
  const char* tempFolder;  // below the test's folder
  std::function<void(const std::string& base)> make;
  const char* reason;  // nullptr: accepted
};

std::function<void(const std::string&)> folderWithMode(const char* folder, mode_t mode) {
  return [=](const std::string& base) {
    fs::create_directories(base + "/" + folder);
    chmod((base + "/" + folder).c_str(), mode);
  };
}

void expectOutcomes(const std::vector<TemporaryFolderCase>& cases) {
  for (const TemporaryFolderCase& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir base;
    c.make(base.path());
    const JobFolder made = CreateJobFolder(base / c.tempFolder);
    if (c.reason == nullptr) {
      EXPECT_EQ(made.error, "");
      EXPECT_TRUE(fs::is_directory(made.path));
      continue;
    }
    EXPECT_NE(made.error.find(c.reason), std::string::npos) << made.error;
    EXPECT_NE(made.error.find("is refused"), std::string::npos) << made.error;
    EXPECT_FALSE(fs::exists(fs::symlink_status(made.path)));
    if (fs::exists(base / "elsewhere")) {
      EXPECT_TRUE(fs::is_empty(base / "elsewhere"));
    }
  }
}

}  // namespace

TEST(JobFoldersTest, ATemporaryFolderOthersCouldChangeIsRefused) {
  expectOutcomes({
      {"private", "temp", folderWithMode("temp", 0700), nullptr},
      {"below a sticky folder, as /tmp", "sticky/temp",
       [&](const std::string& base) {
         folderWithMode("sticky/temp", 0700)(base);
         chmod((base + "/sticky").c_str(), 01777);
       },
       nullptr},
      {"a symbolic link", "temp",
       [](const std::string& base) {
         fs::create_directory(base + "/elsewhere");
         fs::create_directory_symlink(base + "/elsewhere", base + "/temp");
       },
       "it is a symbolic link"},
      {"writable by others", "temp", folderWithMode("temp", 0777), "others can write to it"},
      {"writable by the group", "temp", folderWithMode("temp", 0770), "others can write to it"},
      {"below a folder others can write to", "open/temp",
       [&](const std::string& base) {
         folderWithMode("open/temp", 0700)(base);
         chmod((base + "/open").c_str(), 0777);
       },
       "others can write to the folder"},
  });
}

TEST(JobFoldersTest, ATemporaryFolderOfAnotherUserIsRefusedAsAnyUser) {
  if (geteuid() != 0) {
    // An ordinary user finds another user's folders everywhere: the system's own.
    const JobFolder made = CreateJobFolder("/etc");
    EXPECT_EQ(made.error.find("The temporary folder '/etc' is refused: it belongs to another user"),
              0u)
        << made.error;
    return;
  }
  // Root hands folders to another user.
  if (const std::string why = whyNoOtherUser(false); !why.empty()) GTEST_SKIP() << why;
  expectOutcomes({
      {"another user's", "temp",
       [&](const std::string& base) {
         folderWithMode("temp", 0700)(base);
         giveToNobody(base + "/temp");
       },
       "it belongs to another user"},
      {"below another user's folder", "theirs/temp",
       [&](const std::string& base) {
         folderWithMode("theirs/temp", 0700)(base);
         giveToNobody(base + "/theirs");
         ASSERT_EQ(lchown((base + "/theirs/temp").c_str(), geteuid(), getegid()), 0);
       },
       "above it belongs to another user"},
  });
}

TEST(JobFoldersTest, AnEmptyTemporaryFolderMeansTheDefaultAndARelativeOneIsRefused) {
  TempDir home;
  TempDir cwd;
  const char* saved = std::getenv("XDG_CACHE_HOME");
  const std::string previous = saved ? saved : "";
  setenv("XDG_CACHE_HOME", home.path().c_str(), 1);
  const fs::path savedCwd = fs::current_path();
  fs::current_path(cwd.path());

  const JobFolder byDefault = CreateJobFolder("");
  const JobFolder relative = CreateJobFolder("jobs");

  fs::current_path(savedCwd);
  if (saved) {
    setenv("XDG_CACHE_HOME", previous.c_str(), 1);
  } else {
    unsetenv("XDG_CACHE_HOME");
  }
  EXPECT_EQ(byDefault.error, "");
  EXPECT_EQ(byDefault.path.rfind(home / "kalvora/", 0), 0u) << byDefault.path;
  EXPECT_TRUE(fs::is_directory(byDefault.path));
  EXPECT_EQ(modeOf(home / "kalvora"), 0700u);
  EXPECT_EQ(relative.error, "The temporary folder 'jobs' is refused: it is not an absolute path.");
  EXPECT_TRUE(fs::is_empty(cwd.path()));
}

TEST(JobFoldersTest, OnlyAFolderKalvoraMadeCountsAsAJobFolder) {
  TempDir base;
  const std::string temp = base / "temp";
  const std::time_t when = localTime(2005, 3, 9, 14, 5, 7);
  const std::string job = CreateJobFolder(temp, when).path;
  const std::string second = CreateJobFolder(temp, when).path;
  const std::string unmarked = CreateJobFolder(temp, when).path;  // no journal: not Kalvora's
  giveJournal(job);
  giveJournal(second);
  fs::create_directories(base / "archive");
  fs::create_directories(temp + "/archive");
  fs::create_directories(base / "2005391457");  // a job folder's name elsewhere
  fs::create_directory_symlink(job, temp + "/2005391458");

  struct Case {
    std::string folder;
    std::string tempFolder;
    bool isJobFolder;
  };
  const Case cases[] = {
      {job, temp, true},
      {second, temp, true},
      {unmarked, temp, false},
      {job + "/", temp + "/", true},
      {base / "temp/../temp/2005391457", temp, true},
      {base / "archive", temp, false},
      {temp + "/archive", temp, false},
      {base / "2005391457", temp, false},
      {temp + "/2005391458", temp, false},  // a link to a job folder
      {temp, temp, false},
      {job, base / "other", false},
      {job, "relative", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(IsKalvoraJobFolder(c.folder, c.tempFolder), c.isJobFolder) << c.folder;
}

}  // namespace
