#include "CliRun.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "TempDir.h"

namespace {

std::string shellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

}  // namespace

CliResult runCliWithConfigHome(const std::string& workDir, const std::string& configHome,
                               const std::vector<std::string>& args) {
  TempDir capture;
  std::string command = "cd " + shellQuoted(workDir) +
                        " && XDG_CONFIG_HOME=" + shellQuoted(configHome) + " " +
                        shellQuoted(KALVORA_CLI_EXECUTABLE);
  for (const std::string& arg : args) command += " " + shellQuoted(arg);
  command += " </dev/null >" + shellQuoted(capture / "out") + " 2>" + shellQuoted(capture / "err");
  const int raw = std::system(command.c_str());
  CliResult result;
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  result.out = readFileBytes(capture / "out");
  result.err = readFileBytes(capture / "err");
  return result;
}

CliResult runCli(const std::string& workDir, const std::vector<std::string>& args) {
  TempDir configHome;
  if (symlink(workDir.c_str(), (configHome / "kalvora").c_str()) != 0) return {};
  return runCliWithConfigHome(workDir, configHome.path(), args);
}
