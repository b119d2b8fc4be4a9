#include "platform/AutomountSetting.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <optional>
#include <thread>
#include <vector>

extern char** environ;

const char kEnableAutomountQuestion[] =
    "The desktop autorun feature is disabled.\nKalvora is recognizing automatically\nmedia "
    "changes. Without using the autorun\n feature you have to start reading a cd "
    "manually.\n\nDo you want to enable the autorun feature in desktop now?";

namespace {

using Clock = std::chrono::steady_clock;

constexpr char kSchema[] = "org.gnome.desktop.media-handling";
constexpr char kKey[] = "automount";
constexpr size_t kMaxOutput = 4096;

int millisecondsLeft(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// Waits for the child until the deadline, then kills it. true when it exited with 0.
bool reapChild(pid_t pid, Clock::time_point deadline) {
  int status = 0;
  for (;;) {
    const pid_t reaped = waitpid(pid, &status, WNOHANG);
    if (reaped == pid) return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (reaped < 0 && errno != EINTR) return false;
    if (millisecondsLeft(deadline) == 0) {
      kill(pid, SIGKILL);
      while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
      }
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

// Standard output of the program when it exits with 0 within the timeout.
std::optional<std::string> runForOutput(const std::vector<std::string>& args,
                                        std::chrono::milliseconds timeout) {
  const Clock::time_point deadline = Clock::now() + timeout;
  int output[2];
  if (pipe2(output, O_CLOEXEC) != 0) return std::nullopt;

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  std::vector<char*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(output[1]);
  if (spawned != 0) {
    close(output[0]);
    return std::nullopt;
  }

  std::string text;
  for (;;) {
    pollfd readable{output[0], POLLIN, 0};
    const int ready = poll(&readable, 1, millisecondsLeft(deadline));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) break;
    char buffer[512];
    const ssize_t got = read(output[0], buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    text.append(buffer, static_cast<size_t>(got));
    if (text.size() > kMaxOutput) break;
  }
  close(output[0]);
  if (!reapChild(pid, deadline)) return std::nullopt;
  return text;
}

}  // namespace

AutomountSetting readAutomountSetting(const std::string& program,
                                      std::chrono::milliseconds timeout) {
  std::optional<std::string> answer = runForOutput({program, "get", kSchema, kKey}, timeout);
  if (!answer) return AutomountSetting::Absent;
  while (!answer->empty() && std::isspace(static_cast<unsigned char>(answer->back())))
    answer->pop_back();
  if (*answer == "true") return AutomountSetting::Enabled;
  if (*answer == "false") return AutomountSetting::Disabled;
  return AutomountSetting::Absent;
}

bool enableAutomount(const std::string& program, std::chrono::milliseconds timeout) {
  // Without a settings store gsettings accepts the value and forgets it; reading it
  // back is what tells.
  return runForOutput({program, "set", kSchema, kKey, "true"}, timeout) &&
         readAutomountSetting(program, timeout) == AutomountSetting::Enabled;
}
