#pragma once

#include <string>
#include <vector>

struct CliResult {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs the built kalvora-cli with `args` in `workDir`, capturing both streams; stdin is
// never a terminal. `workDir` is also its per-user working folder, so a command without
// --workdir reads and writes there and never in the user's own configuration.
CliResult runCli(const std::string& workDir, const std::vector<std::string>& args);

// The same with XDG_CONFIG_HOME set to `configHome` as it stands.
CliResult runCliWithConfigHome(const std::string& workDir, const std::string& configHome,
                               const std::vector<std::string>& args);
