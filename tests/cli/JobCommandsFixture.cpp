#include "JobCommandsFixture.h"

#include <filesystem>
#include <sstream>

#include "DicomFixtures.h"

namespace fs = std::filesystem;

std::vector<nlohmann::json> jsonLines(const std::string& out) {
  std::vector<nlohmann::json> lines;
  std::istringstream in(out);
  std::string line;
  while (std::getline(in, line)) lines.push_back(nlohmann::json::parse(line));
  return lines;
}

int countEvents(const std::vector<nlohmann::json>& lines, const std::string& event) {
  int count = 0;
  for (const auto& line : lines) count += line["event"] == event ? 1 : 0;
  return count;
}

int filesIn(const std::string& folder) {
  int count = 0;
  for (const auto& entry : fs::recursive_directory_iterator(folder))
    count += entry.is_regular_file() && entry.path().filename().string()[0] != '.' ? 1 : 0;
  return count;
}

void JobCommands::SetUp() {
  fs::create_directories(dir / "work");
  fs::create_directories(dir / "medium/DICOM/PAT1");
  fs::create_directories(dir / "received");
  writeFixtureImage(dir / "medium/DICOM/PAT1/IM1");
  writeFixtureImage(dir / "medium/DICOM/PAT1/IM2");
  writeFileBytes(dir / "medium/README.TXT", "not an image");  // expected beside images
  config({"set", "tempFolder", dir / "jobs"});
  config({"set", "openTrayAfterReading", "0"});
}

CliResult JobCommands::config(std::vector<std::string> args) {
  args.insert(args.begin(), {"config", "--workdir", dir / "work"});
  const CliResult result = runCli(dir.path(), args);
  EXPECT_EQ(result.status, 0) << result.err;
  return result;
}

std::vector<std::string> JobCommands::withWorkdir(std::vector<std::string> args) const {
  // After the command's words: `jobs list` takes its options after both.
  const long words = args.size() > 1 && args[0] == "jobs" ? 2 : 1;
  args.insert(args.begin() + words, {"--workdir", dir / "work"});
  return args;
}

CliResult JobCommands::kalvora(std::vector<std::string> args) {
  return runCli(dir.path(), withWorkdir(std::move(args)));
}

void JobCommands::useStation(int port) {
  config({"stations", "add", "PACS", "STORESCP", "127.0.0.1", std::to_string(port)});
  config({"set", "standardDestination", "0"});
}
