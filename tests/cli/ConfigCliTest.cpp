#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "CliRun.h"
#include "StoreScpPeer.h"
#include "TempDir.h"
#include "config/ConfigurationLock.h"

namespace {

std::string bytes(std::initializer_list<int> values) {
  std::string out;
  for (int v : values) out.push_back(static_cast<char>(v));
  return out;
}

std::vector<std::string> filesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

const std::vector<std::string> kFourFiles = {"config.dat", "filters.dat", "rules.dat",
                                             "stations.dat"};

}  // namespace

TEST(ConfigCli, ShowOnAFreshFolderPrintsTheDefaultsAndCreatesNothing) {
  TempDir dir;
  const std::string firstStart =
      "No configuration has been saved yet in " + dir.path() + ": showing the defaults.\n";
  const CliResult result =
      runCli(dir.path(), {"config", "--workdir", dir.path(), "show", "--json"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err, firstStart);
  const CliResult list =
      runCli(dir.path(), {"config", "--workdir", dir.path(), "stations", "list"});
  EXPECT_EQ(list.status, 0);
  EXPECT_EQ(list.err, firstStart);
  EXPECT_TRUE(filesIn(dir.path()).empty());

  const nlohmann::json shown = nlohmann::json::parse(result.out);
  EXPECT_EQ(shown["settings"].size(), 30u);
  EXPECT_EQ(shown["settings"]["callingAeTitle"], "KALVORA");
  EXPECT_EQ(shown["settings"]["standardDestination"], -1);
  EXPECT_EQ(shown["stations"], nlohmann::json::array());
  // The filter is on by default, so the default list comes with it: a viewer program on a
  // medium is not taken for a patient's file.
  EXPECT_EQ(shown["filters"].size(), 14u);
}

TEST(ConfigCli, AFileMissingBesideSavedOnesIsStillReported) {
  TempDir dir;
  ASSERT_EQ(runCli(dir.path(), {"config", "set", "verbose", "1"}).status, 0);
  std::filesystem::remove(dir / "stations.dat");
  const CliResult result = runCli(dir.path(), {"config", "show", "--json"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, "Error: No DICOM stations loaded\n");
  EXPECT_EQ(nlohmann::json::parse(result.out)["settings"]["verbose"], 1);
}

TEST(ConfigCli, WithoutWorkdirEveryCommandUsesThePerUserFolder) {
  TempDir dir;
  const std::string configHome = dir / "home/.config";
  const std::string folder = configHome + "/kalvora";
  const std::string port = std::to_string(freeLoopbackPort());
  const CliResult added = runCliWithConfigHome(
      dir.path(), configHome, {"config", "stations", "add", "PACS", "AE", "127.0.0.1", port});
  ASSERT_EQ(added.status, 0) << added.err;
  EXPECT_EQ(filesIn(folder), kFourFiles);
  EXPECT_TRUE(filesIn(dir.path()) == std::vector<std::string>{"home"});
  for (const std::string& path : {configHome, folder})
    EXPECT_EQ(std::filesystem::status(path).permissions(), std::filesystem::perms::owner_all)
        << path;

  // The job commands read the same folder: the station is known (and not reachable).
  const CliResult echo = runCliWithConfigHome(dir.path(), configHome, {"echo", "PACS"});
  EXPECT_EQ(echo.status, 1) << echo.err;
  EXPECT_NE(echo.err.find("Could not reach the station"), std::string::npos);
}

TEST(ConfigCli, ChangesWriteTheExactFileFormat) {
  TempDir dir;
  // A fresh folder is a normal start for a change: no messages.
  CliResult result =
      runCli(dir.path(), {"config", "stations", "add", "PACS", "STORESCP", "pacs1", "104"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(filesIn(dir.path()), kFourFiles);
  writeFileBytes(dir / "filters.dat", std::string(4, '\0'));  // an empty list, not the defaults
  EXPECT_EQ(runCli(dir.path(), {"config", "rules", "add", "8", "96", "CT", "PACS"}).status, 0);
  EXPECT_EQ(runCli(dir.path(), {"config", "filters", "add", ".exe", "applications"}).status, 0);
  EXPECT_EQ(runCli(dir.path(), {"config", "filters", "add", ".zip", "ZIP archive"}).status, 0);
  EXPECT_EQ(runCli(dir.path(), {"config", "set", "windowX", "-5"}).status, 0);
  EXPECT_EQ(runCli(dir.path(), {"config", "set", "tempFolder", "/srv/kalvora"}).status, 0);

  EXPECT_EQ(
      readFileBytes(dir / "stations.dat"),
      bytes({0x01, 0x00, 0x00, 0x00, 0x04, 0x50, 0x41, 0x43, 0x53, 0x08, 0x53, 0x54, 0x4F, 0x52,
             0x45, 0x53, 0x43, 0x50, 0x05, 0x70, 0x61, 0x63, 0x73, 0x31, 0x68, 0x00, 0x00, 0x00}));
  EXPECT_EQ(readFileBytes(dir / "rules.dat"),
            bytes({0x01, 0x00, 0x00, 0x00, 0x08, 0x00, 0x00, 0x00, 0x60, 0x00,
                   0x00, 0x00, 0x02, 0x43, 0x54, 0x04, 0x50, 0x41, 0x43, 0x53}));
  EXPECT_EQ(readFileBytes(dir / "filters.dat"),
            bytes({0x02, 0x00, 0x00, 0x00, 0x04, 0x2E, 0x65, 0x78, 0x65, 0x0C, 0x61, 0x70, 0x70,
                   0x6C, 0x69, 0x63, 0x61, 0x74, 0x69, 0x6F, 0x6E, 0x73, 0x04, 0x2E, 0x7A, 0x69,
                   0x70, 0x0B, 0x5A, 0x49, 0x50, 0x20, 0x61, 0x72, 0x63, 0x68, 0x69, 0x76, 0x65}));
  const std::string config = readFileBytes(dir / "config.dat");
  EXPECT_EQ(config.substr(0, 13), std::string("\x0c/srv/kalvora", 13));
  EXPECT_EQ(config.substr(config.size() - 8), bytes({0xFB, 0xFF, 0xFF, 0xFF, 200, 0, 0, 0}));

  result = runCli(dir.path(), {"config", "--workdir", dir.path(), "show"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err, "");
  EXPECT_NE(result.out.find("  0     PACS  STORESCP pacs1 104\n"), std::string::npos);
  EXPECT_NE(result.out.find("windowX                     -5\n"), std::string::npos);
}

TEST(ConfigCli, RejectedChangesExitTwoAndWriteNothing) {
  TempDir dir;
  ASSERT_EQ(runCli(dir.path(), {"config", "stations", "add", "PACS", "AE", "h", "104"}).status, 0);
  const std::string stationsBefore = readFileBytes(dir / "stations.dat");
  const std::string configBefore = readFileBytes(dir / "config.dat");

  struct Case {
    std::vector<std::string> args;
    std::string err;
  };
  const Case cases[] = {
      {{"stations", "add", "PACS", "AE2", "h2", "105"},
       "Error: Station already exists (a station is called 'PACS').\n"},
      {{"stations", "add", "CT", "A\\B", "h", "105"},
       "Error: Station parameters contain errors (the AE title holds a backslash).\n"},
      {{"stations", "add", "CT", "AE", "h", "port"}, "Please enter an integer.\n"},
      {{"stations", "add", "CT", "AE", "h", "0"}, "Please enter an integer between 1 and 65000.\n"},
      {{"stations", "edit", "0", "--host", ""}, "Error: One or more parameter are empty.\n"},
      {{"stations", "remove", "1"}, "No station at index 1 (valid: 0 to 0).\n"},
      {{"rules", "add", "8", "96", "CT", "UNKNOWN"},
       "Rule already exists or rule parameter contains errors.\n"},
      {{"filters", "add", "", "x"}, "Extension already exists or parameter is empty.\n"},
      {{"set", "maxPduSize", "4095"}, "Please enter an integer between 4096 and 131072.\n"},
      {{"set", "verbose", "2"}, "Please enter an integer between 0 and 1.\n"},
      {{"set", "callingAeTitle", "ABCDEFGHIJKLMNOPQ"},
       "callingAeTitle is longer than 16 characters.\n"},
      {{"set", "standardDestination", "1"}, "Please enter an integer between -1 and 0.\n"},
      {{"stations", "associations", "PACS", "9"}, "Please enter an integer between 1 and 8.\n"},
      {{"stations", "associations", "PACS", "0"}, "Please enter an integer between 1 and 8.\n"},
      {{"stations", "associations", "CT", "2"},
       "No station has the alias 'CT' (see `config stations list`).\n"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"config"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const CliResult result = runCli(dir.path(), args);
    SCOPED_TRACE(c.args[0] + " " + c.args[1]);
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.err, c.err);
  }
  EXPECT_EQ(readFileBytes(dir / "stations.dat"), stationsBefore);
  EXPECT_EQ(readFileBytes(dir / "config.dat"), configBefore);
  EXPECT_EQ(filesIn(dir.path()), kFourFiles);
}

TEST(ConfigCli, StationAssociationsAreSetInKalvorasOwnFileAndPrinted) {
  TempDir dir;
  ASSERT_EQ(runCli(dir.path(), {"config", "stations", "add", "PACS", "AE", "h", "104"}).status, 0);
  const std::string stationsBefore = readFileBytes(dir / "stations.dat");
  EXPECT_EQ(runCli(dir.path(), {"config", "stations", "associations", "PACS"}).out, "1\n");

  ASSERT_EQ(runCli(dir.path(), {"config", "stations", "associations", "PACS", "4"}).status, 0);
  EXPECT_EQ(runCli(dir.path(), {"config", "stations", "associations", "PACS"}).out, "4\n");
  EXPECT_NE(readFileBytes(dir / "kalvora.json").find("\"associations\": 4"), std::string::npos);
  EXPECT_EQ(readFileBytes(dir / "stations.dat"), stationsBefore);

  // The tray application writes kalvora.json too: no change under it.
  const std::string ownBefore = readFileBytes(dir / "kalvora.json");
  ConfigurationLock tray;
  ASSERT_TRUE(tray.acquire(dir.path(), 0));
  const CliResult held = runCli(dir.path(), {"config", "stations", "associations", "PACS", "2"});
  EXPECT_EQ(held.status, 1);
  EXPECT_NE(held.err.find("Close it first (tray menu Exit)."), std::string::npos) << held.err;
  EXPECT_EQ(readFileBytes(dir / "kalvora.json"), ownBefore);
}

TEST(ConfigCli, ARenamedStationKeepsItsOwnOptions) {
  TempDir dir;
  ASSERT_EQ(runCli(dir.path(), {"config", "stations", "add", "PACS", "AE", "h", "104"}).status, 0);
  ASSERT_EQ(runCli(dir.path(), {"config", "stations", "associations", "PACS", "3"}).status, 0);

  ASSERT_EQ(runCli(dir.path(), {"config", "stations", "edit", "0", "--alias", "ARCHIVE"}).status,
            0);
  EXPECT_EQ(runCli(dir.path(), {"config", "stations", "associations", "ARCHIVE"}).out, "3\n");
  // Renaming a station without options writes no settings file of its own.
  TempDir plain;
  ASSERT_EQ(runCli(plain.path(), {"config", "stations", "add", "PACS", "AE", "h", "104"}).status,
            0);
  ASSERT_EQ(runCli(plain.path(), {"config", "stations", "edit", "0", "--alias", "B"}).status, 0);
  EXPECT_FALSE(std::filesystem::exists(plain / "kalvora.json"));
}

TEST(ConfigCli, DamagedFileStopsAChangeAndUsageErrorsExitTwo) {
  TempDir dir;
  writeFileBytes(dir / "stations.dat", bytes({0x02, 0, 0, 0, 0x04, 'P', 'A'}));
  CliResult result = runCli(dir.path(), {"config", "set", "verbose", "1"});
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.err.find("Error: No DICOM stations loaded\n"), std::string::npos);
  EXPECT_EQ(filesIn(dir.path()), std::vector<std::string>{"stations.dat"});

  EXPECT_EQ(runCli(dir.path(), {"config", "set", "noSuchField", "1"}).status, 2);
  EXPECT_EQ(runCli(dir.path(), {"config", "stations"}).status, 2);
  EXPECT_EQ(runCli(dir.path(), {"config", "show", "--workdir", dir / "missing"}).status, 2);
}

// The tray application writes its own copy of the configuration at exit: while it runs with
// a folder, a change there would be lost, so none is made. Reading goes on.
TEST(ConfigCli, ChangesAreRefusedWhileTheTrayApplicationHoldsTheFolder) {
  TempDir dir;
  ASSERT_EQ(runCli(dir.path(), {"config", "stations", "add", "PACS", "AE", "h", "104"}).status, 0);
  std::vector<std::string> before;
  for (const std::string& name : kFourFiles) before.push_back(readFileBytes(dir / name));
  auto tray = std::make_unique<ConfigurationLock>();
  ASSERT_TRUE(tray->acquire(dir.path(), 0));

  const std::vector<std::string> changes[] = {
      {"set", "verbose", "1"},     {"stations", "add", "CT", "AE2", "h2", "105"},
      {"stations", "remove", "0"}, {"rules", "add", "8", "96", "CT", "PACS"},
      {"filters", "reset"},
  };
  for (const std::vector<std::string>& change : changes) {
    std::vector<std::string> args = {"config", "--workdir", dir.path()};
    args.insert(args.end(), change.begin(), change.end());
    const CliResult result = runCli(dir.path(), args);
    SCOPED_TRACE(change[0] + " " + change[1]);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err,
              "Nothing was changed: the tray application (kalvora) runs with the "
              "working folder " +
                  dir.path() +
                  " and writes its own copy of the configuration over it when it "
                  "exits. Close it first (tray menu Exit), or change the "
                  "configuration there.\n");
  }
  for (size_t i = 0; i < kFourFiles.size(); ++i)
    EXPECT_EQ(readFileBytes(dir / kFourFiles[i]), before[i]) << kFourFiles[i];
  EXPECT_EQ(runCli(dir.path(), {"config", "show"}).status, 0);
  EXPECT_EQ(runCli(dir.path(), {"config", "stations", "list"}).status, 0);

  // Once it has ended, changes go through again (and hold the lock while they save).
  tray.reset();
  EXPECT_EQ(runCli(dir.path(), {"config", "set", "verbose", "1"}).status, 0);
  EXPECT_TRUE(ConfigurationLock().acquire(dir.path(), 0));
}

TEST(ConfigCli, RemovingAStationKeepsTheStandardDestinationOnItsStation) {
  struct Case {
    const char* removed;
    int standardAfter;
    std::string out;
  };
  const Case cases[] = {
      {"0", 1, ""},
      {"2", -1,
       "The deleted station 'C' was the standard destination: no station is the standard "
       "destination now.\n"},
      {"3", 2, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.removed);
    TempDir dir;
    for (const char* alias : {"A", "B", "C", "D"})
      ASSERT_EQ(runCli(dir.path(), {"config", "stations", "add", alias, "AE", "h", "104"}).status,
                0);
    ASSERT_EQ(runCli(dir.path(), {"config", "set", "standardDestination", "2"}).status, 0);
    const CliResult removed = runCli(dir.path(), {"config", "stations", "remove", c.removed});
    EXPECT_EQ(removed.status, 0) << removed.err;
    EXPECT_EQ(removed.out, c.out);
    const nlohmann::json shown =
        nlohmann::json::parse(runCli(dir.path(), {"config", "show", "--json"}).out);
    EXPECT_EQ(shown["settings"]["standardDestination"], c.standardAfter);
    if (c.standardAfter >= 0) {
      EXPECT_EQ(shown["stations"][c.standardAfter]["alias"], "C");
    }
  }
}

TEST(ConfigCli, TurningAnonymizationOnWithoutAFieldWarns) {
  TempDir dir;
  const std::string warning =
      "Warning: Anonymization is on, but no field is chosen to anonymize: nothing is replaced.\n";
  const CliResult on = runCli(dir.path(), {"config", "set", "anonymize", "1"});
  EXPECT_EQ(on.status, 0);
  EXPECT_EQ(on.err, warning);
  const CliResult field = runCli(dir.path(), {"config", "set", "anonymizePatientName", "1"});
  EXPECT_EQ(field.status, 0);
  EXPECT_EQ(field.err, "");
  const CliResult none = runCli(dir.path(), {"config", "set", "anonymizePatientName", "0"});
  EXPECT_EQ(none.err, warning);
}

TEST(ConfigCli, RuleTagsAreTakenAsDicomPeopleWriteThem) {
  const std::vector<std::vector<std::string>> spellings = {
      {"8", "96"}, {"0008,0060"}, {"(0008,0060)"}, {"Modality"}};
  for (const std::vector<std::string>& tag : spellings) {
    SCOPED_TRACE(tag[0]);
    TempDir dir;
    ASSERT_EQ(runCli(dir.path(), {"config", "stations", "add", "PACS", "AE", "h", "104"}).status,
              0);
    std::vector<std::string> args = {"config", "rules", "add"};
    args.insert(args.end(), tag.begin(), tag.end());
    args.insert(args.end(), {"CT", "PACS"});
    const CliResult added = runCli(dir.path(), args);
    ASSERT_EQ(added.status, 0) << added.err;
    const nlohmann::json rules =
        nlohmann::json::parse(runCli(dir.path(), {"config", "rules", "list", "--json"}).out);
    EXPECT_EQ(rules, nlohmann::json::parse(
                         R"([{"group":8,"element":96,"compareValue":"CT","destination":"PACS"}])"));
    const CliResult listed = runCli(dir.path(), {"config", "rules", "list"});
    EXPECT_NE(listed.out.find("(0008,0060) Modality"), std::string::npos) << listed.out;
  }

  TempDir dir;
  ASSERT_EQ(runCli(dir.path(), {"config", "stations", "add", "PACS", "AE", "h", "104"}).status, 0);
  const CliResult unknown =
      runCli(dir.path(), {"config", "rules", "add", "Modallity", "CT", "PACS"});
  EXPECT_EQ(unknown.status, 2);
  EXPECT_EQ(unknown.err,
            "'Modallity' is no tag: give it as 0008,0060, (0008,0060) or a keyword such as "
            "Modality, or as two decimal numbers.\n");
  // Beyond what the rule dialogs can hold.
  EXPECT_EQ(runCli(dir.path(), {"config", "rules", "add", "(7FE0,0010)", "x", "PACS"}).err,
            "Please enter an integer between 0 and 16384.\n");
}

// Nothing in the folder can take the tray application's lock away: whatever is deleted or
// planted there (a lock file removed, or a link in its place), a change is still refused,
// and a second tray application on the folder does not get the lock.
TEST(ConfigCli, TheTrayApplicationsLockCannotBeBypassed) {
  TempDir dir;
  ASSERT_EQ(runCli(dir.path(), {"config", "stations", "add", "PACS", "AE", "h", "104"}).status, 0);
  ConfigurationLock tray;
  ASSERT_TRUE(tray.acquire(dir.path(), 0));
  const std::string before = readFileBytes(dir / "stations.dat");
  for (const std::string planted : {"", ".kalvora-tray.lock"}) {
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
      if (entry.path().filename().string()[0] == '.') std::filesystem::remove(entry.path());
    if (!planted.empty()) std::filesystem::create_symlink("/nonexistent", dir / planted);
    const CliResult result = runCli(dir.path(), {"config", "--workdir", dir.path(), "stations",
                                                 "add", "CT", "AE2", "h2", "105"});
    EXPECT_EQ(result.status, 1) << planted;
    EXPECT_EQ(readFileBytes(dir / "stations.dat"), before);
    EXPECT_FALSE(ConfigurationLock().acquire(dir.path(), 0));
  }
}

// A site's configuration (XDG_CONFIG_DIRS) is where a user without files of their own starts;
// what they change is saved in their own folder, never in the site's.
TEST(ConfigCli, AFreshUserStartsFromTheSitesConfiguration) {
  TempDir dir;
  const std::string site = dir / "xdg/kalvora";
  std::filesystem::create_directories(site);
  ASSERT_EQ(runCli(dir.path(), {"config", "--workdir", site, "stations", "add", "PACS", "SITEPACS",
                                "pacs.example", "104"})
                .status,
            0);
  const std::string siteStations = readFileBytes(site + "/stations.dat");
  const char* saved = getenv("XDG_CONFIG_DIRS");
  const std::string previous = saved ? saved : "";
  setenv("XDG_CONFIG_DIRS", (dir / "xdg").c_str(), 1);
  const std::string own = dir / "own";
  std::filesystem::create_directories(own);

  const CliResult shown = runCli(dir.path(), {"config", "--workdir", own, "show", "--json"});
  EXPECT_EQ(shown.err, "No configuration has been saved yet in " + own +
                           ": showing the site's configuration in " + site + ".\n");
  EXPECT_EQ(nlohmann::json::parse(shown.out)["stations"][0]["aeTitle"], "SITEPACS");
  EXPECT_EQ(
      runCli(dir.path(), {"config", "--workdir", own, "stations", "add", "CT", "CTAE", "h", "105"})
          .status,
      0);
  EXPECT_EQ(nlohmann::json::parse(
                runCli(dir.path(), {"config", "--workdir", own, "stations", "list", "--json"}).out)
                .size(),
            2u);
  EXPECT_EQ(readFileBytes(site + "/stations.dat"), siteStations);

  if (saved)
    setenv("XDG_CONFIG_DIRS", previous.c_str(), 1);
  else
    unsetenv("XDG_CONFIG_DIRS");
}
