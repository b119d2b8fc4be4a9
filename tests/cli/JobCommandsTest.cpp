#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <set>

#include "DicomFixtures.h"
#include "JobCommandsFixture.h"
#include "OtherUser.h"
#include "StoreScpPeer.h"

namespace fs = std::filesystem;

TEST_F(JobCommands, ImportStoresEveryFileAndReportsJsonLines) {
  StoreScpPeer peer(dir / "received");
  useStation(peer.port());
  const CliResult result = kalvora({"import", dir / "medium", "--json"});
  ASSERT_EQ(result.status, 0) << result.err;

  const auto lines = jsonLines(result.out);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.front()["event"], "ScanStarted");
  EXPECT_EQ(lines.front()["sourceRoot"], dir / "medium");
  EXPECT_EQ(countEvents(lines, "FileCopied"), 2);
  EXPECT_EQ(countEvents(lines, "ScanError"), 1);  // README.TXT
  EXPECT_EQ(countEvents(lines, "FileSent"), 2);
  const auto& summary = lines.back();
  EXPECT_EQ(summary["event"], "Summary");
  EXPECT_EQ(summary["status"], "Finished");
  EXPECT_EQ(summary["sendFiles"], 2);
  EXPECT_EQ(summary["exitStatus"], 0);
  EXPECT_EQ(filesIn(dir / "received"), 2);
  EXPECT_FALSE(fs::exists(summary["jobFolder"].get<std::string>()));
}

TEST_F(JobCommands, ImportExitsOneWhenTheStationIsNotReached) {
  useStation(freeLoopbackPort());
  const CliResult result = kalvora({"import", dir / "medium", "--retry", "1"});
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.out.find("Sending finished. (sended files: 0)"), std::string::npos);
  // Retried once, then not: said as what was done, with the cause, not as a question nobody
  // was asked.
  const std::string failed =
      "Association to 'STORESCP' failed (TCP Initialization Error: Connection refused); ";
  EXPECT_NE(result.err.find(failed + "retry 1 of 1 in 0.5 s\n"), std::string::npos) << result.err;
  EXPECT_NE(result.err.find(failed + "not retried again (1 retries used)\n"), std::string::npos)
      << result.err;
  EXPECT_EQ(result.err.find("Do you want to retry?"), std::string::npos) << result.err;
  const CliResult once = kalvora({"import", dir / "medium"});
  EXPECT_NE(once.err.find(failed + "not retried (use --retry N)\n"), std::string::npos) << once.err;
}

// One line per station says what happened, and where the copies are.
TEST_F(JobCommands, EachStationGetsOneLineWithTheFateOfTheFolder) {
  {
    StoreScpPeer peer(dir / "received");
    useStation(peer.port());
    const CliResult stored = kalvora({"import", dir / "medium"});
    EXPECT_EQ(stored.status, 0) << stored.err;
    EXPECT_NE(stored.out.find("2 of 2 files stored at STORESCP (127.0.0.1:" +
                              std::to_string(peer.port()) + "); job folder deleted\n"),
              std::string::npos)
        << stored.out;
    EXPECT_EQ(stored.out.find("Send: files"), std::string::npos) << stored.out;
  }
  const int port = freeLoopbackPort();
  config({"stations", "edit", "0", "--port", std::to_string(port)});
  const CliResult failed = kalvora({"import", dir / "medium"});
  EXPECT_EQ(failed.status, 1);
  const std::string line =
      "0 of 2 files stored at STORESCP (127.0.0.1:" + std::to_string(port) + "); kept in ";
  const std::size_t at = failed.out.find(line);
  ASSERT_NE(at, std::string::npos) << failed.out;
  const std::size_t start = at + line.size();
  const std::string folder = failed.out.substr(start, failed.out.find(',', start) - start);
  EXPECT_EQ(filesIn(folder), 2);
  EXPECT_NE(failed.out.find(", send it again with: kalvora-cli jobs send " + folder + "\n"),
            std::string::npos)
      << failed.out;
}

TEST_F(JobCommands, KeptFolderCanBeCheckedAndSentLater) {
  StoreScpPeer peer(dir / "received");
  useStation(peer.port());
  CliResult copied = kalvora({"import", dir / "medium", "--no-send", "--json"});
  ASSERT_EQ(copied.status, 0) << copied.err;
  const auto lines = jsonLines(copied.out);
  EXPECT_EQ(lines.back()["status"], "Pending");
  EXPECT_EQ(countEvents(lines, "SendStarted"), 0);
  const std::string folder = lines.back()["jobFolder"];
  ASSERT_EQ(filesIn(folder), 2);
  EXPECT_EQ(filesIn(dir / "received"), 0);

  const CliResult sent = kalvora({"send", folder});
  EXPECT_EQ(sent.status, 0) << sent.err;
  EXPECT_NE(sent.out.find("Sending finished. (sended files: 2)"), std::string::npos);
  EXPECT_EQ(filesIn(dir / "received"), 2);
  EXPECT_FALSE(fs::exists(folder));
}

TEST_F(JobCommands, SendKeepsAFolderThatDidNotArriveEverywhere) {
  fs::create_directories(dir / "kept");
  writeFixtureImage(dir / "kept/IM1");
  useStation(freeLoopbackPort());
  const CliResult result = kalvora({"send", dir / "kept"});
  EXPECT_EQ(result.status, 1);
  EXPECT_TRUE(fs::exists(dir / "kept/IM1"));
}

TEST_F(JobCommands, PatientDataQuestionsAreAnsweredFromOptions) {
  StoreScpPeer peer(dir / "received");
  useStation(peer.port());
  config({"set", "askForNewPatientData", "1"});

  // Not a terminal and no answer given: refused before anything is read.
  EXPECT_EQ(kalvora({"import", dir / "medium"}).status, 2);

  const CliResult result = kalvora({"import", dir / "medium", "--json", "--patient-id", "LOCAL7"});
  ASSERT_EQ(result.status, 0) << result.err;
  for (const auto& line : jsonLines(result.out)) {
    if (line["event"] == "FileCopied") {
      EXPECT_EQ(line["patientId"], "LOCAL7");
    }
  }
}

// One ID for a medium of two patients would make them one patient at the station.
TEST_F(JobCommands, OnePatientIdForAMediumOfTwoPatientsIsRefused) {
  StoreScpPeer peer(dir / "received");
  useStation(peer.port());
  config({"set", "askForNewPatientData", "1"});
  FixtureImage other;
  other.patientId = "P2";
  other.patientName = "Roe^Jane";
  writeFixtureImage(dir / "medium/DICOM/PAT1/IM3", other);

  const CliResult refused = kalvora({"import", dir / "medium", "--patient-id", "LOCAL7"});
  EXPECT_EQ(refused.status, 2);
  EXPECT_NE(refused.err.find("the medium holds 2 patients:"), std::string::npos) << refused.err;
  EXPECT_NE(refused.err.find("  P2 (Roe^Jane)"), std::string::npos) << refused.err;
  EXPECT_FALSE(fs::exists(dir / "jobs") && !fs::is_empty(dir / "jobs"));
  EXPECT_EQ(filesIn(dir / "received"), 0);

  const CliResult said =
      kalvora({"import", dir / "medium", "--patient-id", "LOCAL7", "--single-patient"});
  EXPECT_EQ(said.status, 0) << said.err;
  EXPECT_EQ(filesIn(dir / "received"), 3);
}

TEST_F(JobCommands, StationOptionsChooseTheOnlyDestination) {
  StoreScpPeer peer(dir / "received");
  const std::string port = std::to_string(peer.port());
  config({"stations", "add", "PACS", "STORESCP", "127.0.0.1", port});
  config({"set", "sendToStandardDestination", "0"});

  // Nobody to ask and nothing given.
  EXPECT_EQ(kalvora({"import", dir / "medium"}).status, 2);
  EXPECT_EQ(kalvora({"import", dir / "medium", "--to", "NOPE"}).status, 2);
  EXPECT_EQ(kalvora({"import", dir / "medium", "--no-send", "--to", "PACS"}).status, 2);
  const CliResult byHand = kalvora(
      {"import", dir / "medium", "--ae", "STORESCP", "--host", "127.0.0.1", "--port", port});
  EXPECT_EQ(byHand.status, 0) << byHand.err;
  EXPECT_EQ(filesIn(dir / "received"), 2);

  // Configured destinations that cannot be reached are left out for this job only.
  config({"stations", "add", "DOWN", "DOWN", "127.0.0.1", std::to_string(freeLoopbackPort())});
  config({"set", "sendToStandardDestination", "1"});
  config({"set", "standardDestination", "1"});
  config({"set", "useForwardRules", "1"});
  config({"rules", "add", "16", "32", "P1", "DOWN"});  // (0010,0020) Patient ID
  const CliResult chosen = kalvora({"import", dir / "medium", "--to", "PACS", "--json"});
  EXPECT_EQ(chosen.status, 0) << chosen.err;
  const auto lines = jsonLines(chosen.out);
  EXPECT_EQ(countEvents(lines, "SendStarted"), 1);
  EXPECT_EQ(lines.back()["sendFiles"], 2);
  const CliResult shown = config({"show", "--json"});
  EXPECT_EQ(nlohmann::json::parse(shown.out)["settings"]["sendToStandardDestination"], 1);
}

TEST_F(JobCommands, EchoVerifiesAStation) {
  StoreScpPeer peer(dir / "received");
  useStation(peer.port());
  const CliResult ok = kalvora({"echo", "PACS"});
  EXPECT_EQ(ok.status, 0) << ok.err;
  EXPECT_NE(ok.out.find("answered the C-ECHO"), std::string::npos);

  const CliResult down = kalvora(
      {"echo", "--ae", "X", "--host", "127.0.0.1", "--port", std::to_string(freeLoopbackPort())});
  EXPECT_EQ(down.status, 1);
  EXPECT_NE(down.err.find("Could not reach the station"), std::string::npos);

  TempDir refusedFolder;
  StoreScpPeer refusing(refusedFolder.path(), {"--refuse"});
  const CliResult refused = kalvora(
      {"echo", "--ae", "X", "--host", "127.0.0.1", "--port", std::to_string(refusing.port())});
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("rejected the association"), std::string::npos);
  EXPECT_EQ(kalvora({"echo", "NOPE"}).status, 2);
}

TEST_F(JobCommands, ADamagedConfigurationStopsEveryCommandBeforeAnythingIsReadOrSent) {
  StoreScpPeer peer(dir / "received");
  useStation(peer.port());
  config({"set", "anonymize", "1"});
  config({"set", "anonymizePatientName", "1"});
  fs::create_directories(dir / "kept");
  writeFixtureImage(dir / "kept/IM1");
  const std::string settings = readFileBytes(dir / "work/config.dat");

  struct Case {
    const char* name;
    std::function<void()> damage;
  };
  const Case cases[] = {
      {"truncated config.dat",
       [&] { writeFileBytes(dir / "work/config.dat", settings.substr(0, settings.size() / 2)); }},
      // Not a first start while the other files are there: anonymization may have been on.
      {"empty config.dat", [&] { writeFileBytes(dir / "work/config.dat", ""); }},
      {"config.dat missing", [&] { fs::remove(dir / "work/config.dat"); }},
      {"config.dat a FIFO",
       [&] {
         fs::remove(dir / "work/config.dat");
         ASSERT_EQ(mkfifo((dir / "work/config.dat").c_str(), 0600), 0);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.damage();
    const CliResult imported = kalvora({"import", dir / "medium"});
    EXPECT_EQ(imported.status, 2);
    EXPECT_NE(imported.err.find("config.dat is missing, empty or could not be read completely"),
              std::string::npos)
        << imported.err;
    EXPECT_FALSE(fs::exists(dir / "jobs"));  // the medium was not read
    EXPECT_EQ(kalvora({"send", dir / "kept"}).status, 2);
    EXPECT_TRUE(fs::exists(dir / "kept/IM1"));
    EXPECT_EQ(kalvora({"echo", "PACS"}).status, 2);
    EXPECT_EQ(filesIn(dir / "received"), 0);
  }
}

TEST_F(JobCommands, SendLeavesAFolderThatIsNotAJobFolderOfKalvora) {
  StoreScpPeer peer(dir / "received");
  useStation(peer.port());
  // Named like a job folder, but not below the temporary folder.
  for (const std::string& folder : {dir / "archive", dir / "20261210334533"}) {
    fs::create_directories(folder);
    writeFixtureImage(folder + "/IM1");
    const CliResult sent = kalvora({"send", folder});
    EXPECT_EQ(sent.status, 0) << sent.err;
    EXPECT_TRUE(fs::exists(folder + "/IM1")) << folder;
  }
  EXPECT_EQ(filesIn(dir / "received"), 2);
}

TEST_F(JobCommands, ImportRefusesATemporaryFolderThatIsALink) {
  StoreScpPeer peer(dir / "received");
  useStation(peer.port());
  fs::create_directories(dir / "elsewhere");
  fs::create_directory_symlink(dir / "elsewhere", dir / "jobs");
  const CliResult result = kalvora({"import", dir / "medium"});
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.out.find("The temporary folder '" + dir / "jobs" +
                            "' is refused: it is a symbolic link."),
            std::string::npos)
      << result.out;
  EXPECT_EQ(result.out.find("Nothing was sent"), std::string::npos);
  EXPECT_TRUE(fs::is_empty(dir / "elsewhere"));
  EXPECT_EQ(filesIn(dir / "received"), 0);
}

TEST_F(JobCommands, AFullOrReadOnlyDiskIsReportedWithItsRealCause) {
  if (const std::string why = whyNoPrivateMount(); !why.empty()) GTEST_SKIP() << why;
  FixtureImage large;
  large.rows = large.columns = 256;  // 128 KiB of pixels: more than the disk holds
  writeFixtureImage(dir / "medium/DICOM/PAT1/IM1", large);
  fs::create_directories(dir / "jobs");

  const CliResult full =
      runCliOnTmpfs(dir.path(), dir / "jobs", "size=64k,mode=0700",
                    {"import", dir / "medium", "--workdir", dir / "work", "--no-send", "--json"});
  EXPECT_EQ(full.status, 1) << full.err;
  bool reported = false;
  for (const auto& line : jsonLines(full.out))
    if (line["event"] == "FileNotCopied" && line["fileName"] == "IM1")
      reported = line["message"] == "No space left on device";
  EXPECT_TRUE(reported) << full.out;

  const CliResult readOnly =
      runCliOnTmpfs(dir.path(), dir / "jobs", "ro,mode=0700",
                    {"import", dir / "medium", "--workdir", dir / "work", "--json"});
  EXPECT_EQ(readOnly.status, 1) << readOnly.err;
  const auto lines = jsonLines(readOnly.out);
  EXPECT_EQ(countEvents(lines, "ScanError"), 1);  // once, and the medium is not read
  EXPECT_EQ(countEvents(lines, "FileNotCopied") + countEvents(lines, "FileCopied"), 0);
  EXPECT_NE(lines.back()["log"].get<std::string>().find(
                "Can't create the job folder (Read-only file system)"),
            std::string::npos)
      << readOnly.out;
}

// Run as another user, so that folder permissions hold even where the tests run as root.
TEST_F(JobCommands, AnUnreadableFolderOnTheMediumIsAnErrorAndATemporaryFolderOfOthersIsRefused) {
  if (const std::string why = whyNoOtherUser(true); !why.empty()) GTEST_SKIP() << why;
  if (runCliAsNobody("/", {"--version"}).status != 0)
    GTEST_SKIP() << "nobody cannot run " << KALVORA_CLI_EXECUTABLE;
  fs::permissions(dir.path(), fs::perms(0755));
  fs::create_directories(dir / "jobs");
  giveToNobody(dir / "work");
  giveToNobody(dir / "jobs");
  fs::create_directories(dir / "medium/LOCKED");
  writeFixtureImage(dir / "medium/LOCKED/IM3");
  fs::permissions(dir / "medium/LOCKED", fs::perms(0700));
  fs::permissions(dir / "medium/README.TXT", fs::perms(0644));

  const CliResult locked = runCliAsNobody(
      dir.path(), {"import", dir / "medium", "--workdir", dir / "work", "--no-send", "--json"});
  EXPECT_EQ(locked.status, 1) << locked.err;
  const auto lines = jsonLines(locked.out);
  EXPECT_EQ(countEvents(lines, "FileCopied"), 2);
  int folderErrors = 0;
  for (const auto& line : lines) {
    if (line["event"] == "ScanError" && line["fileName"] == dir / "medium/LOCKED") {
      ++folderErrors;
      EXPECT_EQ(line["message"], "Can't read folder (Permission denied)");
    }
  }
  EXPECT_EQ(folderErrors, 1) << locked.out;

  fs::create_directories(dir / "roots");
  config({"set", "tempFolder", dir / "roots"});
  giveToNobody(dir / "work");
  const CliResult refused = runCliAsNobody(
      dir.path(), {"import", dir / "medium", "--workdir", dir / "work", "--no-send"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.out.find("is refused: it belongs to another user."), std::string::npos)
      << refused.out;
  EXPECT_TRUE(fs::is_empty(dir / "roots"));
}

TEST_F(JobCommands, TheSummarySaysWhichFilesDidNotArrive) {
  StoreScpPeer peer(dir / "received", {"--abort-during"});
  useStation(peer.port());
  const CliResult result = kalvora({"import", dir / "medium", "--json"});
  EXPECT_EQ(result.status, 1);
  const nlohmann::json summary = jsonLines(result.out).back();
  ASSERT_EQ(summary["destinations"].size(), 1u);
  const nlohmann::json& pacs = summary["destinations"][0];
  EXPECT_EQ(pacs["files"], 2);
  EXPECT_EQ(pacs["filesSent"], 0);
  EXPECT_EQ(pacs["filesFailed"], 1);
  EXPECT_EQ(pacs["filesNotAttempted"], 1);
  EXPECT_EQ(pacs["notAttempted"][0]["reason"], "Peer aborted association");
  EXPECT_EQ(summary["sendErrors"], 2);
}

// No rule applies to the job: nothing is sent, and the folder with the patient's copies is
// named with the command that sends it.
TEST_F(JobCommands, ImportNamesTheKeptFolderWhenNothingWasSent) {
  StoreScpPeer peer(dir / "received");
  useStation(peer.port());
  config({"set", "sendToStandardDestination", "0"});
  config({"set", "useForwardRules", "1"});
  config({"rules", "add", "16", "32", "SOMEONE-ELSE", "PACS"});  // (0010,0020) Patient ID
  const CliResult result = kalvora({"import", dir / "medium"});
  EXPECT_EQ(result.status, 1);
  const std::size_t kept = result.out.find("Nothing was sent; the job folder is kept: ");
  ASSERT_NE(kept, std::string::npos) << result.out;
  const std::size_t start = kept + std::string("Nothing was sent; the job folder is kept: ").size();
  const std::string folder = result.out.substr(start, result.out.find('\n', start) - start);
  EXPECT_EQ(filesIn(folder), 2);
  EXPECT_NE(result.out.find("kalvora-cli jobs send " + folder + " --to ALIAS"), std::string::npos)
      << result.out;
  EXPECT_NE(result.out.find("Nothing was sent: sending to the standard destination is off, and "
                            "no forward rule matched the job's first file.\n"),
            std::string::npos)
      << result.out;
  EXPECT_NE(result.out.find("(Failed)"), std::string::npos) << result.out;
  EXPECT_EQ(filesIn(dir / "received"), 0);
}

// What the Options dialog leaves once the first station is added: the standard destination
// on, and no station chosen. The job is kept with the reason, and can be delivered.
TEST_F(JobCommands, AJobWithoutADestinationIsKeptAndCanBeSentToAStation) {
  StoreScpPeer peer(dir / "received");
  useStation(peer.port());
  config({"set", "standardDestination", "-1"});
  config({"set", "verbose", "0"});
  const CliResult imported = kalvora({"import", dir / "medium"});
  EXPECT_EQ(imported.status, 1);
  EXPECT_NE(imported.out.find("Nothing was sent: sending to the standard destination is on, but "
                              "no station is chosen as the standard destination.\n"),
            std::string::npos)
      << imported.out;
  EXPECT_EQ(filesIn(dir / "received"), 0);
  ASSERT_EQ(filesIn(dir / "jobs"), 2);

  const CliResult sent = kalvora({"jobs", "send", "--all", "--to", "PACS"});
  EXPECT_EQ(sent.status, 0) << sent.out << sent.err;
  EXPECT_EQ(filesIn(dir / "received"), 2);
  EXPECT_EQ(filesIn(dir / "jobs"), 0);
}

// Two rules may send to two stations of the same AE title: the summary tells them apart.
TEST_F(JobCommands, TheSummaryKeepsStationsOfOneAeTitleApart) {
  TempDir second;
  StoreScpPeer first(dir / "received");
  StoreScpPeer other(second.path());
  config({"stations", "add", "FIRST", "STORESCP", "127.0.0.1", std::to_string(first.port())});
  config({"stations", "add", "SECOND", "STORESCP", "127.0.0.1", std::to_string(other.port())});
  config({"set", "sendToStandardDestination", "0"});
  config({"set", "useForwardRules", "1"});
  config({"rules", "add", "16", "32", "P1", "FIRST"});  // (0010,0020) Patient ID
  config({"rules", "add", "8", "96", "CT", "SECOND"});  // (0008,0060) Modality
  const CliResult result = kalvora({"import", dir / "medium", "--json"});
  ASSERT_EQ(result.status, 0) << result.out << result.err;
  const nlohmann::json destinations = jsonLines(result.out).back()["destinations"];
  ASSERT_EQ(destinations.size(), 2u) << destinations;
  std::set<int> ports;
  for (const auto& station : destinations) {
    EXPECT_EQ(station["destination"], "STORESCP");
    EXPECT_EQ(station["filesSent"], 2);
    ports.insert(station["port"].get<int>());
  }
  EXPECT_EQ(ports, (std::set<int>{first.port(), other.port()}));
}

TEST_F(JobCommands, AMediumWithoutDicomFilesSaysSo) {
  StoreScpPeer peer(dir / "received");
  useStation(peer.port());
  fs::create_directories(dir / "viewer");
  for (const char* name : {"setup", "README.TXT", "viewer.cfg"})
    writeFileBytes(dir / "viewer/" + name, "not an image");
  const CliResult result = kalvora({"import", dir / "viewer"});
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.out.find("0 DICOM files found; 3 files are not DICOM (--verbose lists them)\n"),
            std::string::npos)
      << result.out;
}
