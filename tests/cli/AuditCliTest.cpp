#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

#include "CliRun.h"
#include "JobCommandsFixture.h"
#include "SiteFolders.h"
#include "StoreScpPeer.h"
#include "TempDir.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    lines.push_back(text.substr(start, end - start));
  return lines;
}

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

int occurrences(const std::string& text, const std::string& part) {
  int count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

void writeAuditSettings(const std::string& folder, const std::string& trailFile) {
  fs::create_directories(folder);
  writeFileBytes(folder + "/kalvora.json", "{\"audit\": {\"file\": \"" + trailFile + "\"}}\n");
}

std::string objectOf(const std::string& path) {
  return "ParticipantObjectID=\"file://" + path + "\"";
}

}  // namespace

TEST_F(JobCommands, AnImportLeavesARecordOfItsReadAndOfItsSend) {
  StoreScpPeer peer(dir / "received");
  useStation(peer.port());
  writeAuditSettings(dir / "work", dir / "trail.log");
  ASSERT_EQ(kalvora({"import", dir / "medium"}).status, 0);

  const std::vector<std::string> records = linesOf(readFileBytes(dir / "trail.log"));
  ASSERT_EQ(records.size(), 2u);
  EXPECT_TRUE(contains(records[0], "<EventID csd-code=\"110107\"")) << records[0];
  EXPECT_TRUE(contains(records[0], "UserID=\"" + dir / "medium" + "\"")) << records[0];
  EXPECT_TRUE(contains(records[1], "<EventID csd-code=\"110104\"")) << records[1];
  EXPECT_TRUE(contains(records[1], "NetworkAccessPointID=\"127.0.0.1\"")) << records[1];
  for (const std::string& record : records)
    EXPECT_TRUE(contains(record, "EventOutcomeIndicator=\"0\"")) << record;
}

// The site's trail takes every change; the user's own settings cannot move it.
TEST(AuditCli, AConfigurationChangeNamesTheFilesItChangedInTheSitesTrail) {
  TempDir dir;
  writeAuditSettings(dir / "xdg/kalvora", dir / "site.log");
  const std::string own = dir / "own";
  writeAuditSettings(own, dir / "own.log");
  SiteFolders site(dir / "xdg");
  const auto config = [&](std::vector<std::string> args) {
    args.insert(args.begin(), {"config", "--workdir", own});
    return runCli(dir.path(), args);
  };

  ASSERT_EQ(config({"stations", "add", "PACS", "AE", "h", "104"}).status, 0);
  ASSERT_EQ(config({"set", "verbose", "1"}).status, 0);
  ASSERT_EQ(config({"set", "verbose", "1"}).status, 0);  // no change, no record
  ASSERT_EQ(config({"stations", "associations", "PACS", "2"}).status, 0);

  const std::vector<std::string> records = linesOf(readFileBytes(dir / "site.log"));
  ASSERT_EQ(records.size(), 3u) << readFileBytes(dir / "site.log");
  for (const std::string& record : records) {
    EXPECT_TRUE(contains(record, "<EventID csd-code=\"110113\"")) << record;
    EXPECT_TRUE(contains(record, "<EventTypeCode csd-code=\"110131\"")) << record;
  }
  // The first save writes all four files.
  EXPECT_EQ(occurrences(records[0], "ParticipantObjectID="), 4);
  EXPECT_TRUE(contains(records[0], objectOf(own + "/stations.dat")));
  EXPECT_EQ(occurrences(records[1], "ParticipantObjectID="), 1);
  EXPECT_TRUE(contains(records[1], objectOf(own + "/config.dat")));
  EXPECT_EQ(occurrences(records[2], "ParticipantObjectID="), 1);
  EXPECT_TRUE(contains(records[2], objectOf(own + "/kalvora.json")));
  EXPECT_FALSE(fs::exists(dir / "own.log"));
}

TEST(AuditCli, AChangeWhoseRecordCannotBeWrittenSaysSo) {
  TempDir dir;
  writeAuditSettings(dir.path(), dir / "missing/trail.log");
  const CliResult result =
      runCli(dir.path(), {"config", "--workdir", dir.path(), "set", "verbose", "1"});
  EXPECT_EQ(result.status, 0);  // the change itself is saved
  EXPECT_EQ(result.err, "Audit record not written to " + dir / "missing/trail.log" +
                            ": No such file or directory\n");
}
