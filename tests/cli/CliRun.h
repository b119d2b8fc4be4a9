#pragma once

#include <string>
#include <vector>

struct CliResult {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs the built kalvora-cli with `args` in `workDir`, capturing both streams; stdin is
// never a terminal.
CliResult runCli(const std::string& workDir, const std::vector<std::string>& args);
