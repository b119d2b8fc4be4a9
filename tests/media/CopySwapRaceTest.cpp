#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <cstring>
#include <filesystem>
#include <string>

#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>

#include "DicomFixtures.h"
#include "ScanTestSupport.h"
#include "TempDir.h"

namespace fs = std::filesystem;

namespace {

// Another local user who can write the job folder: each new file there is replaced, as
// soon as it appears, by a link into the attacker's own folder. The link is made aside and
// renamed over the file, so the name is never missing, even when the process is killed.
class SwappingProcess {
 public:
  SwappingProcess(const std::string& jobFolder, const std::string& loot,
                  const std::string& scratch) {
    int ready[2];
    if (pipe(ready) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      close(ready[0]);
      run(jobFolder.c_str(), loot.c_str(), scratch.c_str(), ready[1]);
    }
    close(ready[1]);
    char byte;
    if (read(ready[0], &byte, 1) != 1) ADD_FAILURE() << "swapping process did not start";
    close(ready[0]);
  }
  ~SwappingProcess() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }

 private:
  // Only system calls from here on: the test process has threads.
  [[noreturn]] static void run(const char* folder, const char* loot, const char* scratch,
                               int ready) {
    const int watch = inotify_init();
    if (watch < 0 || inotify_add_watch(watch, folder, IN_CREATE) < 0) _exit(1);
    if (write(ready, "x", 1) != 1) _exit(1);
    alignas(inotify_event) char events[4096];
    for (;;) {
      const ssize_t got = read(watch, events, sizeof events);
      if (got <= 0) _exit(1);
      for (ssize_t at = 0; at < got;) {
        const auto* event = reinterpret_cast<const inotify_event*>(events + at);
        char name[PATH_MAX];
        char link[PATH_MAX];
        char aside[PATH_MAX];
        if (event->len > 0 && join(name, folder, event->name) && join(link, loot, event->name) &&
            join(aside, scratch, event->name)) {
          if (symlink(link, aside) == 0) rename(aside, name);
        }
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      }
    }
  }
  static bool join(char* out, const char* folder, const char* name) {
    const size_t a = strlen(folder);
    const size_t b = strlen(name);
    if (a + b + 2 > PATH_MAX) return false;
    memcpy(out, folder, a);
    out[a] = '/';
    memcpy(out + a + 1, name, b + 1);
    return true;
  }

  pid_t pid_ = -1;
};

// While set, every copy in this folder is swapped for a link into the loot at the worst
// moment: after it got its name, when its writer looks at the name again (see lstat below).
struct ArmedSwap {
  std::string folder;
  std::string loot;
  std::string scratch;
};
std::atomic<const ArmedSwap*> armedSwap{nullptr};
std::atomic<int> swapsMade{0};

void swapIfArmed(const char* path) {
  const ArmedSwap* swap = armedSwap.load();
  if (swap == nullptr) return;
  const std::string entry = path;
  if (entry.rfind(swap->folder + "/", 0) != 0) return;
  struct stat status {};
  if (fstatat(AT_FDCWD, path, &status, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(status.st_mode))
    return;
  const std::string name = entry.substr(swap->folder.size() + 1);
  const std::string aside = swap->scratch + "/" + name;
  if (symlink((swap->loot + "/" + name).c_str(), aside.c_str()) == 0 &&
      rename(aside.c_str(), path) == 0)
    ++swapsMade;
}

std::error_code& ec() {
  static std::error_code ignored;
  return ignored;
}

}  // namespace

// The writer of a copy checks with lstat that its name still names the file it wrote. In
// this program lstat first lets the armed swap happen: the race lost every time, on any
// machine. Unarmed, it is the system's lstat.
extern "C" int lstat(const char* __restrict path, struct stat* __restrict status) noexcept {
  swapIfArmed(path);
  return fstatat(AT_FDCWD, path, status, AT_SYMLINK_NOFOLLOW);
}

std::string sopInstanceOf(const std::string& path) {
  DcmFileFormat file;
  OFString uid;
  if (file.loadFile(path.c_str()).bad()) return "<not whole>";
  file.getDataset()->findAndGetOFString(DCM_SOPInstanceUID, uid);
  return uid.c_str();
}

TEST(CopySwapRace, NoCopyReachesAFileSwappedInByAnotherProcess) {
  TempDir root;
  const std::string medium = root / "medium";
  const std::string job = root / "job";
  const std::string loot = root / "loot";
  const std::string scratch = root / "scratch";
  for (const std::string& folder : {medium, job, loot, scratch}) fs::create_directories(folder);
  constexpr int kFiles = 400;
  for (int i = 0; i < kFiles; ++i) writeFixtureImage(medium + "/IM" + std::to_string(i));

  std::vector<ScanProgress> reports;
  {
    SwappingProcess attacker(job, loot, scratch);
    ScriptedPrompts prompts;
    reports = runScan(plainRequest(medium, job), prompts);
  }

  EXPECT_TRUE(fs::is_empty(loot)) << "patient data reached the other process";
  // Every file is accounted for once. A copy counted as saved is whole under its name, or
  // the other process swapped it after it was counted: the name is then its link, which the
  // send refuses. A copy found replaced is not counted. No other file is there.
  int saved = 0;
  int swappedAfterCounting = 0;
  int refused = 0;
  for (const ScanProgress& report : reports) {
    const std::string entry = job + "/" + report.fileName;
    if (report.event == ScanEvent::FileCopied) {
      ++saved;
      if (fs::is_symlink(entry)) {
        ++swappedAfterCounting;
      } else {
        EXPECT_EQ(sopInstanceOf(entry), sopInstanceOf(medium + "/" + report.fileName)) << entry;
      }
    } else if (report.event == ScanEvent::FileNotCopied) {
      ++refused;
      EXPECT_EQ(report.message, "The copy was replaced in the job folder");
      EXPECT_TRUE(fs::is_symlink(entry)) << entry;
    } else if (report.event != ScanEvent::ScanStarted && report.event != ScanEvent::ScanFinished) {
      ADD_FAILURE() << "unexpected report for " << report.fileName << ": " << report.message;
    }
  }
  EXPECT_EQ(saved + refused, kFiles);
  EXPECT_EQ(saved, reports.back().filesSaved);
  int whole = 0;
  int links = 0;
  for (const auto& entry : fs::directory_iterator(job)) {
    if (entry.path().filename().string().rfind(".kalvora-", 0) == 0) continue;
    if (entry.is_symlink(ec())) {
      ++links;
    } else {
      ++whole;
    }
  }
  EXPECT_EQ(whole, saved - swappedAfterCounting);
  EXPECT_EQ(links, refused + swappedAfterCounting);
}

TEST(CopySwapRace, ACopySwappedRightAfterItsNamingIsNeverCountedAsSaved) {
  TempDir root;
  const ArmedSwap swap{root / "job", root / "loot", root / "scratch"};
  for (const std::string& folder : {root / "medium", swap.folder, swap.loot, swap.scratch})
    fs::create_directories(folder);
  constexpr int kFiles = 5;
  for (int i = 0; i < kFiles; ++i) writeFixtureImage(root / ("medium/IM" + std::to_string(i)));

  swapsMade = 0;
  armedSwap = &swap;
  ScriptedPrompts prompts;
  const std::vector<ScanProgress> reports =
      runScan(plainRequest(root / "medium", swap.folder), prompts);
  armedSwap = nullptr;

  ASSERT_EQ(swapsMade, kFiles) << "the copies' names were not looked at again";
  EXPECT_TRUE(fs::is_empty(swap.loot));
  EXPECT_EQ(reports.back().filesSaved, 0);
  int refused = 0;
  for (const ScanProgress& report : reports) {
    if (report.event != ScanEvent::FileNotCopied) continue;
    ++refused;
    EXPECT_EQ(report.message, "The copy was replaced in the job folder");
  }
  EXPECT_EQ(refused, kFiles);
}
