#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

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
    journal->recordStored(kPacs, oddName);
  }
  appendRaw(folder / ".kalvora-job", "stored\tPACS\t127.0.0.1\t104\tIM");  // the kill
  {
    int error = -1;
    auto journal = JobJournal::open(folder.path(), error);
    ASSERT_TRUE(journal);
    EXPECT_EQ(error, 0);
    EXPECT_EQ(journal->state().stored.at(kPacs), (std::set<std::string>{oddName}));
    journal->recordStored(kPacs, "IM2");
    journal->withdrawDestination(kViewer);
  }
  const JobJournalState state = JobJournal::read(folder.path());
  EXPECT_EQ(state.sourceRoot, "/media/cdrom");
  EXPECT_EQ(state.startedAt, 1700000000);
  EXPECT_TRUE(state.readingFinished);
  ASSERT_EQ(state.copiedPatients.size(), 1u);
  EXPECT_EQ(state.copiedPatients[0].second, "Doe^John");
  EXPECT_EQ(state.destinations, (std::vector<JobDestination>{kPacs}));
  EXPECT_EQ(state.stored.at(kPacs), (std::set<std::string>{oddName, "IM2"}));
  EXPECT_EQ(state.missingAt(kPacs, {"IM1", oddName, "IM2", "IM3"}),
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
