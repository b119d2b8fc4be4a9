#include "CliRun.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdlib.h>

#include <cstdlib>
#include <thread>

extern char** environ;

namespace {

std::string shellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

int statusOf(int raw) {
  if (WIFEXITED(raw)) return WEXITSTATUS(raw);
  if (WIFSIGNALED(raw)) return 128 + WTERMSIG(raw);
  return -1;
}

// A configuration home whose kalvora folder is `workDir`.
bool linkConfigHome(const TempDir& configHome, const std::string& workDir) {
  return symlink(workDir.c_str(), (configHome / "kalvora").c_str()) == 0;
}

CliResult runShellCommand(const std::string& workDir, const std::string& configHome,
                          const std::string& prefix, const std::vector<std::string>& args) {
  TempDir capture;
  std::string command = "cd " + shellQuoted(workDir) +
                        " && XDG_CONFIG_HOME=" + shellQuoted(configHome) + " exec " + prefix +
                        "timeout -s KILL 60 " + shellQuoted(KALVORA_CLI_EXECUTABLE);
  for (const std::string& arg : args) command += " " + shellQuoted(arg);
  command += " </dev/null >" + shellQuoted(capture / "out") + " 2>" + shellQuoted(capture / "err");
  const int raw = std::system(command.c_str());
  CliResult result;
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  result.out = readFileBytes(capture / "out");
  result.err = readFileBytes(capture / "err");
  return result;
}

}  // namespace

CliResult runCliWithConfigHome(const std::string& workDir, const std::string& configHome,
                               const std::vector<std::string>& args) {
  return runShellCommand(workDir, configHome, "", args);
}

CliResult runCli(const std::string& workDir, const std::vector<std::string>& args) {
  TempDir configHome;
  if (!linkConfigHome(configHome, workDir)) return {};
  return runCliWithConfigHome(workDir, configHome.path(), args);
}

CliResult runCliOnTmpfs(const std::string& workDir, const std::string& mountPoint,
                        const std::string& mountOptions, const std::vector<std::string>& args) {
  TempDir configHome;
  if (!linkConfigHome(configHome, workDir)) return {};
  const std::string mount =
      "mount -t tmpfs -o " + shellQuoted(mountOptions) + " kalvora-test " + shellQuoted(mountPoint);
  // The shell mounts in the new namespace, then becomes the command given after it.
  return runShellCommand(
      workDir, configHome.path(),
      "unshare -m --propagation private sh -c " + shellQuoted(mount + " && exec \"$@\"") + " sh ",
      args);
}

CliResult runCliAsNobody(const std::string& workDir, const std::vector<std::string>& args) {
  return runShellCommand(workDir, "/nonexistent", "runuser -u nobody -- ", args);
}

std::string whyNoPrivateMount() {
  if (geteuid() != 0) return "needs root, for a private mount namespace";
  if (std::system("unshare -m --propagation private true 2>/dev/null") != 0)
    return "no private mount namespace can be made here";
  return "";
}

CliProcess::CliProcess(const std::string& workDir, const std::vector<std::string>& args,
                       bool terminalInput, long maxFileBytes) {
  std::string terminalName = "/dev/null";
  if (terminalInput) {
    terminal_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (terminal_ < 0 || grantpt(terminal_) != 0 || unlockpt(terminal_) != 0) return;
    terminalName = ptsname(terminal_);
  }
  std::vector<std::string> argv{KALVORA_CLI_EXECUTABLE};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char*> rawArgs;
  for (std::string& arg : argv) rawArgs.push_back(arg.data());
  rawArgs.push_back(nullptr);
  linkConfigHome(capture_, workDir);
  std::vector<std::string> env{"XDG_CONFIG_HOME=" + capture_.path()};
  for (char** entry = environ; *entry; ++entry)
    if (std::string(*entry).rfind("XDG_CONFIG_HOME=", 0) != 0) env.push_back(*entry);
  std::vector<char*> rawEnv;
  for (std::string& entry : env) rawEnv.push_back(entry.data());
  rawEnv.push_back(nullptr);
  const std::string out = capture_ / "out";
  const std::string err = capture_ / "err";

  pid_ = fork();
  if (pid_ == 0) {
    // Only async-signal-safe calls between fork and exec.
    const int in = open(terminalName.c_str(), O_RDONLY | O_NOCTTY);
    const int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (in < 0 || o < 0 || e < 0 || chdir(workDir.c_str()) != 0) _exit(126);
    if (maxFileBytes > 0) {
      const rlimit size{static_cast<rlim_t>(maxFileBytes), static_cast<rlim_t>(maxFileBytes)};
      const rlimit noCore{0, 0};
      if (setrlimit(RLIMIT_FSIZE, &size) != 0 || setrlimit(RLIMIT_CORE, &noCore) != 0) _exit(126);
    }
    dup2(in, 0);
    dup2(o, 1);
    dup2(e, 2);
    execve(rawArgs[0], rawArgs.data(), rawEnv.data());
    _exit(127);
  }
}

CliProcess::~CliProcess() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  if (terminal_ >= 0) close(terminal_);
}

void CliProcess::interrupt() {
  if (pid_ > 0) kill(pid_, SIGINT);
}

void CliProcess::killNow() {
  if (pid_ > 0) kill(pid_, SIGKILL);
}

bool CliProcess::waitFor(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (pid_ > 0) {
    int raw = 0;
    if (waitpid(pid_, &raw, WNOHANG) == pid_) {
      pid_ = -1;
      result_.status = statusOf(raw);
      break;
    }
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

CliResult CliProcess::result() {
  waitFor(std::chrono::minutes(1));
  result_.out = outSoFar();
  result_.err = errSoFar();
  return result_;
}

std::string CliProcess::outSoFar() const { return readFileBytes(capture_ / "out"); }
void CliProcess::typeOnTerminal(const std::string& text) {
  if (terminal_ < 0) return;
  [[maybe_unused]] const ssize_t written = write(terminal_, text.data(), text.size());
}

std::string CliProcess::errSoFar() const { return readFileBytes(capture_ / "err"); }
