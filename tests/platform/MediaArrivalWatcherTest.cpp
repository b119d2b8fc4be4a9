#include "platform/MediaArrivalWatcher.h"

#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <functional>
#include <mutex>
#include <sstream>

#include "FakeSysfs.h"

namespace {

using Clock = std::chrono::steady_clock;

// Generous: only a hang should ever reach them.
constexpr auto kNoHang = std::chrono::seconds(20);

struct ChildOutcome {
  bool ran = false;    // false: no private mount namespace could be made
  std::string output;  // what the body returned, or why it did not run
};

// Runs `body` in a child process inside a mount namespace of its own with every mount
// private, so nothing it mounts is seen outside; the namespace and its mounts end
// with the child.
ChildOutcome runInPrivateMountNamespace(const std::function<std::string()>& body) {
  int channel[2];
  if (pipe(channel) != 0) return {false, "pipe failed"};
  const pid_t child = fork();
  if (child == 0) {
    close(channel[0]);
    alarm(60);  // a hang ends the child, and the test fails
    auto send = [&](const std::string& text, int status) {
      (void)!write(channel[1], text.data(), text.size());
      _exit(status);
    };
    if (unshare(CLONE_NEWNS) != 0) send(std::string("unshare: ") + strerror(errno), 2);
    if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
      send(std::string("making / private: ") + strerror(errno), 2);
    std::string output;
    try {
      output = body();
    } catch (const std::exception& error) {
      output = std::string("exception: ") + error.what();
    }
    send(output, 0);
  }
  close(channel[1]);
  ChildOutcome outcome;
  char buffer[4096];
  ssize_t got;
  while ((got = read(channel[0], buffer, sizeof buffer)) > 0) outcome.output.append(buffer, got);
  close(channel[0]);
  int status = 0;
  waitpid(child, &status, 0);
  outcome.ran = !(WIFEXITED(status) && WEXITSTATUS(status) == 2);
  if (!WIFEXITED(status))
    outcome.output += "[child killed by signal " + std::to_string(WTERMSIG(status)) + "]";
  return outcome;
}

std::string mountTmpfs(const std::string& source, const std::string& folder) {
  std::filesystem::create_directories(folder);
  if (mount(source.c_str(), folder.c_str(), "tmpfs", 0, "size=64k") != 0)
    return "mount " + folder + ": " + strerror(errno) + "\n";
  return "";
}

const char* kindName(DeviceKind kind) {
  switch (kind) {
    case DeviceKind::Optical:
      return "optical";
    case DeviceKind::Removable:
      return "removable";
    case DeviceKind::Ignored:
      break;
  }
  return "ignored";
}

}  // namespace

TEST(MediaArrivalWatcherTest, StopsPromptlyWhileWaitingForChanges) {
  MediaArrivalWatcher watcher([](const MediaArrival&) {});
  ASSERT_TRUE(watcher.start());
  const auto started = Clock::now();
  watcher.stop();
  EXPECT_LT(Clock::now() - started, kNoHang);
  EXPECT_FALSE(watcher.running());

  // The destructor ends a running watcher too.
  auto another = std::make_unique<MediaArrivalWatcher>([](const MediaArrival&) {});
  ASSERT_TRUE(another->start());
  another.reset();
}

TEST(MediaArrivalWatcherTest, FailsToStartWithoutAMountTable) {
  MediaArrivalWatcher watcher([](const MediaArrival&) {}, "/nonexistent/mountinfo");
  EXPECT_FALSE(watcher.start());
  EXPECT_FALSE(watcher.running());
}

TEST(MediaArrivalWatcherTest, ReportsMediaMountedWhileItRuns) {
  if (geteuid() != 0) GTEST_SKIP() << "mounting in a private namespace needs root";
  FakeSysfs sysfs;
  TempDir mounts;

  // Every mount is a tmpfs; its source names a device of the fake sysfs tree.
  const ChildOutcome outcome = runInPrivateMountNamespace([&]() -> std::string {
    std::string log = mountTmpfs("/dev/sdz2", mounts / "present");
    std::mutex lock;
    std::condition_variable changed;
    std::vector<MediaArrival> seen;
    bool sawOptical = false;
    MediaArrivalWatcher watcher(
        [&](const MediaArrival& arrival) {
          std::lock_guard<std::mutex> guard(lock);
          seen.push_back(arrival);
          sawOptical = sawOptical || arrival.kind == DeviceKind::Optical;
          changed.notify_all();
        },
        "/proc/self/mountinfo", sysfs.root());
    if (!watcher.start()) return "watcher did not start";

    log += mountTmpfs("/dev/sdy1", mounts / "fixed");
    log += mountTmpfs("/dev/sdz1", mounts / "usb");
    std::filesystem::create_directories(mounts / "usb-bind");
    if (mount((mounts / "usb").c_str(), (mounts / "usb-bind").c_str(), nullptr, MS_BIND, nullptr) !=
        0)
      log += std::string("bind: ") + strerror(errno) + "\n";
    // Mounted last: once it is seen, anything wrongly reported before it has been too.
    log += mountTmpfs("/dev/sr0", mounts / "cd");
    {
      std::unique_lock<std::mutex> guard(lock);
      if (!changed.wait_for(guard, kNoHang, [&] { return sawOptical; }))
        log += "no optical arrival seen\n";
    }
    const auto stopping = Clock::now();
    watcher.stop();
    if (Clock::now() - stopping > kNoHang) log += "stop hung\n";
    for (const MediaArrival& arrival : seen)
      log += arrival.mountPoint + " " + arrival.device + " " + kindName(arrival.kind) + "\n";
    return log;
  });

  if (!outcome.ran) GTEST_SKIP() << "no private mount namespace: " << outcome.output;
  EXPECT_EQ(outcome.output,
            mounts / "usb" + " /dev/sdz1 removable\n" + mounts / "cd" + " /dev/sr0 optical\n");
}
