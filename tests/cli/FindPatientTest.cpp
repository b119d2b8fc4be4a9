#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "CliRun.h"
#include "DicomFixtures.h"
#include "OrthancPatients.h"
#include "OrthancPeer.h"
#include "StoreScpPeer.h"
#include "TempDir.h"
#include "WorklistPeer.h"

namespace {

const WorklistEntry kErika{"",     "MUSTERMANN^ERIKA", "H-0042", "HOSP", "19800101", "F",
                           "A-77", "CT Thorax"};
const WorklistEntry kMax{"", "MUSTERMANN^MAX", "H-0043", "HOSP", "19750505", "M", "A-78", "MR"};

std::string tagOf(const std::string& path, const DcmTagKey& tag) {
  DcmFileFormat file;
  OFString value;
  if (file.loadFile(path.c_str()).bad() || file.getDataset()->findAndGetOFString(tag, value).bad())
    return "<absent>";
  return value.c_str();
}

bool waitForError(const CliProcess& cli, const std::string& text) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (cli.errSoFar().find(text) == std::string::npos) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> result;
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    result.push_back(text.substr(start, end - start));
  return result;
}

}  // namespace

TEST(ConfigQueryCli, SetShowAndClearTheQueryStation) {
  TempDir dir;
  const auto cli = [&](std::vector<std::string> args) {
    args.insert(args.begin(), {"config", "--workdir", dir.path(), "query"});
    return runCli(dir.path(), args);
  };
  EXPECT_EQ(cli({"show"}).out, "No query station is set up.\n");

  ASSERT_EQ(cli({"set", "RIS", "127.0.0.1", "4242", "--model", "patient"}).status, 0);
  const CliResult shown = cli({"show", "--json"});
  ASSERT_EQ(shown.status, 0) << shown.err;
  EXPECT_EQ(nlohmann::json::parse(shown.out),
            nlohmann::json::parse(
                R"({"aeTitle": "RIS", "host": "127.0.0.1", "port": 4242, "model": "patient"})"));
  EXPECT_NE(readFileBytes(dir / "kalvora.json").find("queryStation"), std::string::npos);

  // Refused values change nothing.
  const std::string before = readFileBytes(dir / "kalvora.json");
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"set", "AN_AE_TITLE_TOO_LONG", "ris", "104"},
        std::vector<std::string>{"set", "RIS", "ris", "0"},
        std::vector<std::string>{"set", "RIS", "ris", "104", "--model", "study"}}) {
    EXPECT_EQ(cli(args).status, 2) << args[1];
    EXPECT_EQ(readFileBytes(dir / "kalvora.json"), before);
  }

  ASSERT_EQ(cli({"clear"}).status, 0);
  EXPECT_EQ(cli({"show"}).out, "No query station is set up.\n");
}

TEST(FindPatientCli, EitherKindOfStationFindsThePatientByFamilyNameAndBirthDate) {
  TempDir dir;
  WorklistPeer worklist("WORKLIST");
  OrthancPeer archive("ARCHIVE", "KALVORA");
  for (const WorklistEntry& patient : {kErika, kMax}) {
    worklist.add(patient);
    storeOrthancPatient(archive, patient, dir.path());
  }
  ASSERT_EQ(runCli(dir.path(), {"config", "query", "set", "WORKLIST", "127.0.0.1",
                                std::to_string(worklist.port())})
                .status,
            0);

  const std::vector<std::string> keys = {"find-patient", "--name",   "MUSTERMANN",
                                         "--birth-date", "19800101", "--json"};
  std::vector<std::string> byHand = keys;
  byHand.insert(byHand.end(), {"--ae", "ARCHIVE", "--host", "127.0.0.1", "--port",
                               std::to_string(archive.dicomPort()), "--model", "patient"});
  for (const auto& args : {keys, byHand}) {
    SCOPED_TRACE(args.size() == keys.size() ? "configured worklist" : "archive given by hand");
    const CliResult result = runCli(dir.path(), args);
    ASSERT_EQ(result.status, 0) << result.err;
    const std::vector<std::string> found = lines(result.out);
    ASSERT_EQ(found.size(), 1u) << result.out;
    const nlohmann::json match = nlohmann::json::parse(found[0]);
    EXPECT_EQ(match["patientId"], "H-0042");
    EXPECT_EQ(match["patientName"], "MUSTERMANN^ERIKA");
    EXPECT_EQ(match["birthDate"], "19800101");
  }

  // Plain lines: one a match, with what the worklist adds.
  const CliResult both = runCli(dir.path(), {"find-patient", "--name", "MUSTERMANN"});
  ASSERT_EQ(both.status, 0) << both.err;
  EXPECT_EQ(both.out,
            "H-0042 (HOSP)  MUSTERMANN^ERIKA  born 01/01/1980  sex F  accession A-77  CT Thorax\n"
            "H-0043 (HOSP)  MUSTERMANN^MAX  born 05/05/1975  sex M  accession A-78  MR\n");

  const CliResult none = runCli(dir.path(), {"find-patient", "--name", "SCHMIDT"});
  EXPECT_EQ(none.status, 1);
  EXPECT_EQ(none.out, "");
}

TEST(FindPatientCli, AQueryThatCannotBeMadeExitsTwoAndSaysWhy) {
  TempDir dir;
  WorklistPeer worklist("WORKLIST");
  struct Case {
    std::vector<std::string> args;
    std::string expected;
  };
  const Case cases[] = {
      {{"find-patient", "--name", "X"}, "No query station is set up"},
      {{"find-patient", "--ae", "NOBODY", "--host", "127.0.0.1", "--port",
        std::to_string(worklist.port())},
       "refused the association"},
      {{"find-patient", "--birth-date", "1980-01-01"}, "YYYYMMDD"},
  };
  for (const Case& c : cases) {
    const CliResult result = runCli(dir.path(), c.args);
    EXPECT_EQ(result.status, 2) << c.expected;
    EXPECT_NE(result.err.find(c.expected), std::string::npos) << result.err;
  }
}

// The disc's patient is known to the worklist under another ID: picked on the terminal,
// the copies arrive under the local ID and accession number.
TEST(FindPatientCli, ImportOnATerminalOffersTheWorklistMatchesToPickFrom) {
  TempDir dir;
  namespace fs = std::filesystem;
  fs::create_directories(dir / "medium");
  fs::create_directories(dir / "received");
  FixtureImage image;
  image.patientId = "EXT-1";
  image.patientName = "MUSTERMANN^ERIKA";
  image.birthDate = "19800101";
  image.accessionNumber = "EXT-ACC";
  writeFixtureImage(dir / "medium/IM1", image);
  WorklistPeer worklist("WORKLIST");
  worklist.add(kErika);
  worklist.add(kMax);
  StoreScpPeer peer(dir / "received");
  const auto config = [&](std::vector<std::string> args) {
    args.insert(args.begin(), "config");
    ASSERT_EQ(runCli(dir.path(), args).status, 0);
  };
  config({"set", "tempFolder", dir / "jobs"});
  config({"set", "openTrayAfterReading", "0"});
  config({"set", "askForNewPatientData", "1"});
  config({"stations", "add", "PACS", peer.aeTitle(), "127.0.0.1", std::to_string(peer.port())});
  config({"set", "standardDestination", "0"});
  config({"set", "sendToStandardDestination", "1"});
  config({"query", "set", "WORKLIST", "127.0.0.1", std::to_string(worklist.port())});

  CliProcess cli(dir.path(), {"import", dir / "medium", "--json"}, true);
  ASSERT_TRUE(waitForError(cli, "Pick a match by number")) << cli.errSoFar();
  const std::string offered = cli.errSoFar();
  EXPECT_NE(offered.find("  1) H-0042 (HOSP)  MUSTERMANN^ERIKA"), std::string::npos) << offered;
  EXPECT_EQ(offered.find("H-0043"), std::string::npos) << offered;  // another birth date
  cli.typeOnTerminal("1\n\n\n\n");
  const CliResult result = cli.result();
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_NE(result.out.find("\"patientMatch\":\"H-0042 (HOSP) from WORKLIST"), std::string::npos)
      << result.out;
  int received = 0;
  for (const auto& entry : fs::directory_iterator(dir / "received")) {
    ++received;
    EXPECT_EQ(tagOf(entry.path(), DCM_PatientID), "H-0042");
    EXPECT_EQ(tagOf(entry.path(), DCM_AccessionNumber), "A-77");
  }
  EXPECT_EQ(received, 1);
}
