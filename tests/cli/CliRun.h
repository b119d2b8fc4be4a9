#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

#include "TempDir.h"

struct CliResult {
  int status = -1;  // exit status; 128 + signal when a signal ended it
  std::string out;
  std::string err;
};

// Runs the built kalvora-cli with `args` in `workDir`, capturing both streams; stdin is
// never a terminal. `workDir` is also its per-user working folder, so a command without
// --workdir reads and writes there and never in the user's own configuration. A run that
// hangs is killed after a minute (status 137).
CliResult runCli(const std::string& workDir, const std::vector<std::string>& args);

// The same with XDG_CONFIG_HOME set to `configHome` as it stands.
CliResult runCliWithConfigHome(const std::string& workDir, const std::string& configHome,
                               const std::vector<std::string>& args);

// As runCli, in a private mount namespace where a fresh tmpfs with `mountOptions`
// (for example "size=64k,mode=0700" or "ro") is mounted on `mountPoint`: a full or
// read-only disk without touching the machine's own.
CliResult runCliOnTmpfs(const std::string& workDir, const std::string& mountPoint,
                        const std::string& mountOptions, const std::vector<std::string>& args);
// Why runCliOnTmpfs cannot run here (not root, no mount namespaces), or an empty text.
std::string whyNoPrivateMount();

// As runCli, run as the user `nobody` (see OtherUser.h for when that is possible).
CliResult runCliAsNobody(const std::string& workDir, const std::vector<std::string>& args);

// kalvora-cli running in the background, to be interrupted as a user would. Its per-user
// working folder is `workDir`, as for runCli.
class CliProcess {
 public:
  // With `terminalInput`, its stdin is a terminal that nobody types on: questions wait.
  // A `maxFileBytes` above 0 kills it (SIGXFSZ) as soon as it writes a file beyond that
  // size: a kill in the middle of a write.
  CliProcess(const std::string& workDir, const std::vector<std::string>& args,
             bool terminalInput = false, long maxFileBytes = 0);
  ~CliProcess();  // kills it when it still runs
  CliProcess(const CliProcess&) = delete;
  CliProcess& operator=(const CliProcess&) = delete;

  void interrupt();  // Ctrl-C
  // Types `text` on its terminal (only with `terminalInput`).
  void typeOnTerminal(const std::string& text);
  void killNow();  // as a crash or kill -9 ends it
  // True once it has ended; the result is then final.
  bool waitFor(std::chrono::milliseconds timeout);
  // Waits up to a minute; what it wrote so far when it still runs.
  CliResult result();
  // What it has written to stdout/stderr up to now.
  std::string outSoFar() const;
  std::string errSoFar() const;

 private:
  TempDir capture_;
  int terminal_ = -1;  // the terminal's master side, held open
  pid_t pid_ = -1;
  CliResult result_;
};
