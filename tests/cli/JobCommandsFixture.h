#pragma once

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "CliRun.h"
#include "TempDir.h"

// One JSON object per line of `out`.
std::vector<nlohmann::json> jsonLines(const std::string& out);
int countEvents(const std::vector<nlohmann::json>& lines, const std::string& event);
// Regular files below `folder`, at any depth; Kalvora's own hidden files in a job folder
// are no copies and do not count.
int filesIn(const std::string& folder);

// A working folder, a medium of two images and a text, and an empty folder for a peer to
// receive into; the temporary folder is dir/jobs.
class JobCommands : public ::testing::Test {
 protected:
  void SetUp() override;
  // `kalvora-cli config --workdir dir/work ARGS`, expected to succeed.
  CliResult config(std::vector<std::string> args);
  // `kalvora-cli COMMAND --workdir dir/work ARGS...`
  CliResult kalvora(std::vector<std::string> args);
  std::vector<std::string> withWorkdir(std::vector<std::string> args) const;
  // The standard destination: a station on 127.0.0.1 at `port`.
  void useStation(int port);

  TempDir dir;
};
