#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>

#include "TempDir.h"
#include "jobs/JobJournal.h"

namespace {

const JobDestination kPacs{"PACS", "127.0.0.1", 104};
const JobDestination kViewer{"VIEWER", "10.0.0.7", 11112};
const CopyIdentity kFirst{"1.2.826.0.1.1", 1000};
const CopyIdentity kSecond{"1.2.826.0.1.2", 1000};

void appendRaw(const std::string& path, const std::string& bytes) {
  const int fd = open(path.c_str(), O_WRONLY | O_APPEND);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  close(fd);
}

}  // namespace

// What a resend relies on survives a kill in the middle of a line, and file names from a
// medium (tabs, line ends) come back as they were.
TEST(JobJournal, RecordsSurviveALineCutShortByAKill) {
  TempDir folder;
  const std::string oddName = "IM\t1\n%41";
  {
    auto journal = JobJournal::create(folder.path());
    ASSERT_TRUE(journal);
    journal->recordSource("/media/cdrom", 1700000000);
    journal->recordPatient("P1", "Doe^John");
    journal->recordReadingFinished();
    journal->chooseDestination(kPacs);
    journal->chooseDestination(kViewer);
    journal->recordStored(kPacs, oddName, kFirst);
  }
  appendRaw(folder / ".kalvora-job", "stored\tPACS\t127.0.0.1\t104\tIM");  // the kill
  {
    int error = -1;
    auto journal = JobJournal::open(folder.path(), error);
    ASSERT_TRUE(journal);
    EXPECT_EQ(error, 0);
    EXPECT_EQ(journal->state().stored.at(kPacs),
              (std::map<std::string, CopyIdentity>{{oddName, kFirst}}));
    journal->recordStored(kPacs, "IM2", kSecond);
    journal->withdrawDestination(kViewer);
  }
  const JobJournalState state = JobJournal::read(folder.path());
  EXPECT_EQ(state.sourceRoot, "/media/cdrom");
  EXPECT_EQ(state.startedAt, 1700000000);
  EXPECT_TRUE(state.readingFinished);
  ASSERT_EQ(state.copiedPatients.size(), 1u);
  EXPECT_EQ(state.copiedPatients[0].second, "Doe^John");
  EXPECT_EQ(state.destinations, (std::vector<JobDestination>{kPacs}));
  EXPECT_EQ(state.stored.at(kPacs),
            (std::map<std::string, CopyIdentity>{{oddName, kFirst}, {"IM2", kSecond}}));
  EXPECT_EQ(state.missingAt(
                kPacs, {{"IM1", kFirst}, {oddName, kFirst}, {"IM2", kSecond}, {"IM3", kSecond}}),
            (std::vector<std::string>{"IM1", "IM3"}));

  struct stat info {};
  ASSERT_EQ(stat((folder / ".kalvora-job").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
}

// The lock is per open journal, so a second one in this process stands for another process.
TEST(JobJournal, AFolderHeldByOneProcessCannotBeTakenByAnother) {
  TempDir folder;
  auto holder = JobJournal::create(folder.path());
  ASSERT_TRUE(holder);
  EXPECT_TRUE(JobJournal::isLocked(folder.path()));
  EXPECT_FALSE(JobJournal::create(folder.path()));
  int error = 0;
  EXPECT_FALSE(JobJournal::open(folder.path(), error));
  EXPECT_EQ(error, EWOULDBLOCK);

  holder.reset();
  EXPECT_FALSE(JobJournal::isLocked(folder.path()));
  EXPECT_TRUE(JobJournal::open(folder.path(), error));
}

// A folder without a journal is none of Kalvora's: opening it makes none.
TEST(JobJournal, AFolderWithoutAJournalIsNeverGivenOne) {
  TempDir folder;
  int error = 0;
  EXPECT_FALSE(JobJournal::open(folder.path(), error));
  EXPECT_EQ(error, ENOENT);
  EXPECT_FALSE(std::filesystem::exists(folder / ".kalvora-job"));
}

// A process that only looks whether the folder is held (listing kept jobs) holds it a moment:
// taking the folder then waits for it instead of taking it for one in use.
TEST(JobJournal, AProcessThatOnlyLooksDoesNotKeepOthersOut) {
  TempDir folder;
  JobJournal::create(folder.path()).reset();
  const int looking = open((folder / ".kalvora-job").c_str(), O_RDONLY);
  ASSERT_EQ(flock(looking, LOCK_SH), 0);
  std::thread lookedAt([looking] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    close(looking);
  });
  int error = 0;
  EXPECT_TRUE(JobJournal::open(folder.path(), error)) << std::strerror(error);
  lookedAt.join();
}

// "Stored" holds only for the very file that was sent: the same name with other contents (a
// journal copied from another job, a copy replaced), a line without what identifies the file
// (as earlier versions wrote them) or a file nothing identifies is still to be sent.
TEST(JobJournal, AFileCountsAsStoredOnlyWhileItIsTheFileThatWasSent) {
  TempDir folder;
  {
    auto journal = JobJournal::create(folder.path());
    ASSERT_TRUE(journal);
    journal->recordStored(kPacs, "IM1", kFirst);
    journal->recordStored(kPacs, "IM5", CopyIdentity{});  // nothing to know it by: not kept
  }
  appendRaw(folder / ".kalvora-job",
            "stored\tPACS\t127.0.0.1\t104\tIM2\n"                    // name only
            "stored\tPACS\t127.0.0.1\t104\tIM3\t\t1000\n"            // no UID
            "stored\tPACS\t127.0.0.1\t104\tIM4\t1.2.826.0.1.2\tx\n"  // no size
            "stored\tVIEWER\t10.0.0.7\t11112\tIM6\t1.2.826.0.1.2\t1000\n");
  const JobJournalState state = JobJournal::read(folder.path());
  struct Case {
    const char* name;
    CopyIdentity now;
    bool stored;
  };
  const Case cases[] = {
      {"IM1", kFirst, true},
      {"IM1", kSecond, false},                                   // another file under the name
      {"IM1", CopyIdentity{kFirst.sopInstanceUid, 999}, false},  // cut or grown
      {"IM2", kFirst, false},
      {"IM3", CopyIdentity{"", 1000}, false},
      {"IM4", kSecond, false},
      {"IM5", CopyIdentity{}, false},
      {"IM6", kSecond, false},  // stored at another station
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(state.missingAt(kPacs, {{c.name, c.now}}).empty(), c.stored);
  }
}

// Only a journal made with its folder, by this user, proves the folder Kalvora's; an earlier
// version's journal still does, as nothing more can be known of it.
TEST(JobJournal, OnlyTheJournalMadeWithItsFolderProvesIt) {
  TempDir base;
  const std::string made = base / "2026123123591";
  const std::string other = base / "2026123123592";
  std::filesystem::create_directories(made);
  std::filesystem::create_directories(other);
  JobJournal::create(made).reset();
  const std::string madeJournal = readFileBytes(made + "/.kalvora-job");
  const std::string me = std::to_string(geteuid());
  EXPECT_EQ(madeJournal, "kalvora-job\t2\t2026123123591\t" + me + "\n");
  EXPECT_TRUE(JobJournal::read(made).provesFolder(made));
  EXPECT_TRUE(JobJournal::read(made + "/").provesFolder(made + "/"));

  struct Case {
    const char* what;
    std::string journal;  // of `other`
    bool proves;
    bool earlierVersion;
  };
  const Case cases[] = {
      {"copied from another job folder", madeJournal, false, false},
      {"empty", "", false, false},
      {"another user's", "kalvora-job\t2\t2026123123592\t" + std::to_string(geteuid() + 1) + "\n",
       false, false},
      {"first line not Kalvora's", "source\t/media\t1\nkalvora-job\t2\t2026123123592\t" + me + "\n",
       false, false},
      {"of an unknown version", "kalvora-job\t9\t2026123123592\t" + me + "\n", false, false},
      {"written by an earlier version", "kalvora-job\t1\n", true, true},
      {"this version's", "kalvora-job\t2\t2026123123592\t" + me + "\n", true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    writeFileBytes(other + "/.kalvora-job", c.journal);
    const JobJournalState state = JobJournal::read(other);
    EXPECT_EQ(state.provesFolder(other), c.proves);
    EXPECT_EQ(state.madeByEarlierVersion(), c.earlierVersion);
  }
}

namespace {

// How many descriptors of this process have `path` open.
int openDescriptorsOf(const std::string& path) {
  int count = 0;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    std::error_code error;
    count += std::filesystem::read_symlink(entry.path(), error).string() == path ? 1 : 0;
  }
  return count;
}

}  // namespace

// A process waiting for the lock of a folder that the holder delivers meanwhile (unlinking the
// journal before it lets go) must not believe it holds the job: it finds the folder gone.
TEST(JobJournal, AJournalUnlinkedWhileAProcessWaitsForItsLockIsNotTaken) {
  TempDir folder;
  auto holder = JobJournal::create(folder.path());
  ASSERT_TRUE(holder);
  const std::string path = folder / ".kalvora-job";
  ASSERT_EQ(openDescriptorsOf(path), 1);  // the holder's

  int error = 0;
  std::unique_ptr<JobJournal> taken;
  std::atomic<bool> waiterDone{false};
  std::thread waiter([&] {
    taken = JobJournal::open(folder.path(), error);
    waiterDone = true;
  });
  // Once the waiter has the journal open it waits for the lock: then the holder delivers.
  while (openDescriptorsOf(path) < 2 && !waiterDone) std::this_thread::yield();
  ASSERT_EQ(unlink(path.c_str()), 0);
  holder.reset();
  waiter.join();
  EXPECT_FALSE(taken);
  EXPECT_EQ(error, ENOENT) << std::strerror(error);
}
