#include <gtest/gtest.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <filesystem>

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
          symlink(link, aside);
          rename(aside, name);
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

std::error_code& ec() {
  static std::error_code ignored;
  return ignored;
}

}  // namespace

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
