#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <thread>

#include <dcmtk/dcmdata/dcfilefo.h>

#include "CliRun.h"
#include "DicomFixtures.h"
#include "JobCommandsFixture.h"
#include "OtherUser.h"
#include "StoreScpPeer.h"
#include "TempDir.h"
#include "jobs/JobJournal.h"

namespace fs = std::filesystem;

namespace {

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// The job commands' fixture, with the commands for kept jobs.
class KeptJobCommands : public JobCommands {
 protected:
  // `count` images of `size` x `size` pixels replace the medium.
  void writeMedium(int count, int size) {
    fs::remove_all(dir / "medium");
    fs::create_directories(dir / "medium/DICOM");
    FixtureImage image;
    image.rows = image.columns = size;
    for (int i = 1; i <= count; ++i)
      writeFixtureImage(dir / ("medium/DICOM/IM" + std::to_string(i)), image);
  }

  nlohmann::json keptJobs() {
    const CliResult listed = kalvora({"jobs", "list", "--json"});
    EXPECT_EQ(listed.status, 0) << listed.err;
    return nlohmann::json::parse(listed.out);
  }

  // Imports the medium to a station that is down; returns the kept job folder.
  std::string importToADownStation() {
    const CliResult imported = kalvora({"import", dir / "medium", "--json"});
    EXPECT_EQ(imported.status, 1) << imported.err;
    const std::string folder = jsonLines(imported.out).back()["jobFolder"];
    EXPECT_TRUE(contains(imported.out, "kalvora-cli jobs send " + folder)) << imported.out;
    return folder;
  }
};

}  // namespace

TEST_F(KeptJobCommands, AFailedImportIsListedSentAgainAndDiscarded) {
  const int port = freeLoopbackPort();
  useStation(port);
  const std::string folder = importToADownStation();

  const nlohmann::json listed = keptJobs();
  ASSERT_EQ(listed.size(), 1u) << listed;
  const nlohmann::json& job = listed[0];
  EXPECT_EQ(job["jobFolder"], folder);
  EXPECT_EQ(job["files"], 2);
  EXPECT_EQ(job["readingFinished"], true);
  EXPECT_EQ(job["inUse"], false);
  EXPECT_EQ(job["source"], dir / "medium");
  EXPECT_EQ(job["patients"],
            nlohmann::json::parse(R"([{"name": "Doe John", "patientId": "P1", "images": 2}])"));
  EXPECT_EQ(job["destinations"],
            nlohmann::json::parse(R"([{"aeTitle": "STORESCP", "host": "127.0.0.1", "port": )" +
                                  std::to_string(port) + R"(, "stored": 0, "missing": 2}])"));

  // Still down: kept, and said so once per station.
  const std::string station = "STORESCP (127.0.0.1:" + std::to_string(port) + ")";
  const CliResult down = kalvora({"jobs", "send", folder});
  EXPECT_EQ(down.status, 1);
  EXPECT_TRUE(contains(down.out, "0 of 2 files stored at " + station + "; kept in " + folder +
                                     ", send it again with: kalvora-cli jobs send " + folder))
      << down.out;
  EXPECT_EQ(filesIn(folder), 2);

  // Delivered: the errors of the earlier attempts are not told again as this send's.
  StoreScpPeer peer(dir / "received", {}, "STORESCP", port);
  const CliResult sent = kalvora({"jobs", "send", "--all"});
  EXPECT_EQ(sent.status, 0) << sent.out << sent.err;
  EXPECT_TRUE(contains(sent.out, "Sending finished. (sended files: 2)")) << sent.out;
  EXPECT_TRUE(contains(sent.out, "2 of 2 files stored at " + station + "; job folder deleted"))
      << sent.out;
  EXPECT_FALSE(contains(sent.out, "ERROR")) << sent.out;
  EXPECT_EQ(filesIn(dir / "received"), 2);
  EXPECT_FALSE(fs::exists(folder));
  EXPECT_TRUE(keptJobs().empty());

  // Another failed job, to a station given instead, and one discarded.
  config({"stations", "add", "DOWN", "DOWN", "127.0.0.1", std::to_string(freeLoopbackPort())});
  config({"set", "standardDestination", "1"});
  const std::string redirected = importToADownStation();
  const std::string discarded = importToADownStation();
  fs::remove_all(dir / "received");
  fs::create_directories(dir / "received");
  const CliResult elsewhere = kalvora({"jobs", "send", redirected, "--to", "PACS"});
  EXPECT_EQ(elsewhere.status, 0) << elsewhere.out << elsewhere.err;
  EXPECT_EQ(filesIn(dir / "received"), 2);
  EXPECT_FALSE(fs::exists(redirected));

  const CliResult removed = kalvora({"jobs", "discard", discarded});
  EXPECT_EQ(removed.status, 0) << removed.err;
  EXPECT_TRUE(contains(removed.out, "Discarded '" + discarded + "': 2 files removed."))
      << removed.out;
  EXPECT_FALSE(fs::exists(discarded));
  EXPECT_TRUE(fs::is_empty(dir / "jobs"));

  // Usage errors.
  EXPECT_EQ(kalvora({"jobs", "send"}).status, 2);
  EXPECT_EQ(kalvora({"jobs", "discard", dir / "medium"}).status, 2);
  EXPECT_EQ(kalvora({"jobs", "send", "--all", "--to", "NOPE"}).status, 2);
}

TEST_F(KeptJobCommands, AJobInUseByAnotherKalvoraIsLeftAlone) {
  useStation(freeLoopbackPort());
  const std::string folder = importToADownStation();
  int error = 0;
  auto otherProcess = JobJournal::open(folder, error);  // a process working on it
  ASSERT_TRUE(otherProcess);

  EXPECT_EQ(keptJobs()[0]["inUse"], true);
  const CliResult sent = kalvora({"jobs", "send", folder});
  EXPECT_EQ(sent.status, 1);
  EXPECT_TRUE(contains(sent.err, "is in use by a running Kalvora")) << sent.err;
  EXPECT_EQ(kalvora({"jobs", "discard", "--all"}).status, 0);
  EXPECT_EQ(kalvora({"jobs", "discard", folder}).status, 1);
  EXPECT_EQ(filesIn(folder), 2);
}

// Killed at any moment of an import, Kalvora leaves no patient data that `jobs list` does
// not show, no copy cut short under a name, and `jobs send` delivers every copy; when the
// medium was not read to its end, it says so and fails.
TEST_F(KeptJobCommands, KillingAnImportAtAnyMomentLosesNothingAndHidesNothing) {
  constexpr int kFiles = 12;
  writeMedium(kFiles, 256);
  struct KillPoint {
    const char* event;  // killed once this report came `occurrence` times
    int occurrence;
    long maxFileBytes;  // or killed writing a file beyond this size (the first copy)
  };
  for (const KillPoint point : {KillPoint{nullptr, 0, 64 * 1024}, KillPoint{"FileCopied", 1, 0},
                                KillPoint{"SendStarted", 1, 0}, KillPoint{"FileSent", 3, 0}}) {
    SCOPED_TRACE(point.event ? std::string(point.event) + " " + std::to_string(point.occurrence)
                             : std::string("writing a copy"));
    fs::remove_all(dir / "received");
    fs::create_directories(dir / "received");
    StoreScpPeer slow(dir / "received", {"--exec-on-reception", "sleep 0.2", "--exec-sync"});
    if (point.event == nullptr)
      useStation(slow.port());
    else
      config({"stations", "edit", "0", "--port", std::to_string(slow.port())});

    {
      CliProcess import(dir.path(), {"import", dir / "medium", "--workdir", dir / "work", "--json"},
                        false, point.maxFileBytes);
      const std::string marker =
          "\"event\":\"" + std::string(point.event ? point.event : "") + "\"";
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
      while (point.event) {
        const std::string out = import.outSoFar();
        int seen = 0;
        for (size_t at = out.find(marker); at != std::string::npos; at = out.find(marker, at + 1))
          ++seen;
        if (seen >= point.occurrence || std::chrono::steady_clock::now() > deadline) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      }
      if (point.event == nullptr) {
        ASSERT_EQ(import.result().status, 128 + SIGXFSZ);
      } else {
        import.killNow();
        ASSERT_TRUE(import.waitFor(std::chrono::seconds(10)));
      }
    }

    int listedCopies = 0;
    std::set<std::string> listedFolders;
    bool readToTheEnd = true;
    for (const auto& job : keptJobs()) {
      listedFolders.insert(job["jobFolder"].get<std::string>());
      listedCopies += job["files"].get<int>();
      readToTheEnd = readToTheEnd && job["readingFinished"].get<bool>();
    }
    if (point.event == nullptr) {
      EXPECT_FALSE(readToTheEnd);  // killed writing the first copy
    }
    for (const auto& entry : fs::recursive_directory_iterator(dir / "jobs")) {
      if (!entry.is_regular_file()) continue;
      EXPECT_EQ(listedFolders.count(entry.path().parent_path().string()), 1u) << entry.path();
      if (entry.path().filename().string()[0] == '.') continue;
      DcmFileFormat copy;
      EXPECT_TRUE(copy.loadFile(entry.path().c_str()).good()) << entry.path();
    }

    const CliResult resent = kalvora({"jobs", "send", "--all"});
    EXPECT_EQ(resent.status, readToTheEnd ? 0 : 1) << resent.out << resent.err;
    EXPECT_EQ(contains(resent.err, "did not finish"), !readToTheEnd) << resent.err;
    EXPECT_TRUE(fs::is_empty(dir / "jobs"));
    EXPECT_EQ(filesIn(dir / "received"), listedFolders.empty() ? kFiles : listedCopies);
  }
}

// A folder the user keeps below the temporary folder, named like a job folder, holds no
// journal: no command lists, sends as a job, discards or marks it.
TEST_F(KeptJobCommands, AFolderOfTheUsersOwnBelowTheTemporaryFolderIsNeverTouched) {
  StoreScpPeer peer(dir / "received");
  useStation(peer.port());
  const std::string own = dir / "jobs/202301011";
  fs::create_directories(own);
  fs::permissions(dir / "jobs", fs::perms::owner_all);
  writeFileBytes(own + "/notes.txt", "mine");
  writeFixtureImage(own + "/IM1");

  EXPECT_TRUE(keptJobs().empty());
  EXPECT_EQ(kalvora({"jobs", "send", "--all"}).status, 0);
  EXPECT_EQ(kalvora({"jobs", "discard", "--all"}).status, 0);
  EXPECT_EQ(kalvora({"jobs", "discard", own}).status, 2);
  kalvora({"send", own});  // sent as any folder of the user's (the text fails)
  EXPECT_EQ(filesIn(dir / "received"), 1);
  EXPECT_EQ(readFileBytes(own + "/notes.txt"), "mine");
  EXPECT_TRUE(fs::exists(own + "/IM1"));
  EXPECT_FALSE(fs::exists(own + "/.kalvora-job"));
}

// `send` on a kept job folder does what `jobs send` does: the missing files go to the
// stations the job was meant for, not to whatever is configured now.
TEST_F(KeptJobCommands, SendOnAKeptJobFolderGoesWhereTheJobWasMeantToGo) {
  const int port = freeLoopbackPort();
  useStation(port);
  const std::string folder = importToADownStation();
  TempDir elsewhere;
  StoreScpPeer other(elsewhere.path(), {}, "OTHER");
  config({"stations", "add", "OTHER", "OTHER", "127.0.0.1", std::to_string(other.port())});
  config({"set", "standardDestination", "1"});

  StoreScpPeer meant(dir / "received", {}, "STORESCP", port);
  const CliResult sent = kalvora({"send", folder});
  EXPECT_EQ(sent.status, 0) << sent.out << sent.err;
  EXPECT_EQ(filesIn(dir / "received"), 2);
  EXPECT_EQ(filesIn(elsewhere.path()), 0);
  EXPECT_FALSE(fs::exists(folder));
}

// Run as another user, so that a journal it may not write is refused even where the tests run
// as root: the system's reason is given, not "in use".
TEST_F(KeptJobCommands, AJobFolderThatCannotBeOpenedSaysWhy) {
  if (const std::string why = whyNoOtherUser(true); !why.empty()) GTEST_SKIP() << why;
  if (runCliAsNobody("/", {"--version"}).status != 0)
    GTEST_SKIP() << "nobody cannot run " << KALVORA_CLI_EXECUTABLE;
  useStation(freeLoopbackPort());
  const std::string folder = importToADownStation();
  fs::permissions(dir.path(), fs::perms(0755));
  giveToNobody(dir / "work");
  giveToNobody(dir / "jobs");
  // As if nobody had made it: its journal names the user who made the folder.
  std::string journal = readFileBytes(folder + "/.kalvora-job");
  const size_t creatorAt = journal.rfind('\t', journal.find('\n')) + 1;
  journal.replace(creatorAt, journal.find('\n') - creatorAt, std::to_string(*nobodyUid()));
  writeFileBytes(folder + "/.kalvora-job", journal);
  fs::permissions(folder + "/.kalvora-job", fs::perms::owner_read);

  for (const char* command : {"send", "jobs send"}) {
    SCOPED_TRACE(command);
    std::vector<std::string> args = {"send", folder};
    if (std::string(command) == "jobs send") args.insert(args.begin(), "jobs");
    const CliResult result = runCliAsNobody(dir.path(), withWorkdir(args));
    EXPECT_EQ(result.status, 1) << result.out << result.err;
    EXPECT_TRUE(contains(result.err, "(Permission denied)")) << result.err;
    EXPECT_FALSE(contains(result.err, "in use")) << result.err;
    EXPECT_EQ(filesIn(folder), 2);
  }
}

// What Kalvora did not write in a kept job folder (a note, a subfolder with an image) is
// neither sent nor deleted: it is named, and the folder stays listed with it, whether the job
// is discarded or delivered.
TEST_F(KeptJobCommands, WhatKalvoraDidNotWriteInAJobFolderIsNamedAndKeepsItListed) {
  const int port = freeLoopbackPort();
  useStation(port);
  for (const char* command : {"discard", "send"}) {
    SCOPED_TRACE(command);
    const std::string folder = importToADownStation();
    writeFileBytes(folder + "/notes.txt", "mine");
    fs::create_directories(folder + "/sub");
    writeFixtureImage(folder + "/sub/IM9");

    StoreScpPeer peer(dir / "received", {}, "STORESCP", port);
    const CliResult result = kalvora({"jobs", command, folder});
    EXPECT_EQ(result.status, 1) << result.out << result.err;
    EXPECT_TRUE(contains(result.err, "'" + folder +
                                         "' is kept: it holds what Kalvora did not write: "
                                         "'notes.txt', 'sub/'."))
        << result.err;
    EXPECT_EQ(filesIn(dir / "received"), std::string(command) == "send" ? 2 : 0);
    EXPECT_EQ(readFileBytes(folder + "/notes.txt"), "mine");
    EXPECT_TRUE(fs::exists(folder + "/sub/IM9"));
    EXPECT_EQ(filesIn(folder), 2);  // the note and the image below: Kalvora's copies went

    const nlohmann::json listed = keptJobs();
    ASSERT_EQ(listed.size(), 1u) << listed;
    EXPECT_EQ(listed[0]["jobFolder"], folder);
    EXPECT_EQ(listed[0]["files"], 0);
    EXPECT_EQ(listed[0]["notKalvoras"], nlohmann::json::parse(R"(["notes.txt", "sub/"])"));
    fs::remove_all(folder);
    fs::remove_all(dir / "received");
    fs::create_directories(dir / "received");
  }
}

// Kept patient data is never hidden without a word: a temporary folder others may write to is
// not looked at, and a job-named folder whose journal does not prove it (empty, copied from a
// job, a link) is passed over; each is said, and the commands end non-zero.
TEST_F(KeptJobCommands, KeptJobsThatAreNotShownAreSaidWhy) {
  useStation(freeLoopbackPort());
  const std::string kept = importToADownStation();
  const std::string copied = dir / "jobs/2026123123591";
  const std::string empty = dir / "jobs/2026123123592";
  const std::string linked = dir / "jobs/2026123123593";
  for (const std::string& folder : {copied, empty, linked}) {
    fs::create_directories(folder);
    fs::permissions(folder, fs::perms::owner_all);
    writeFileBytes(folder + "/notes.txt", "mine");
  }
  fs::copy_file(kept + "/.kalvora-job", copied + "/.kalvora-job");
  writeFileBytes(empty + "/.kalvora-job", "");
  fs::create_symlink(kept + "/.kalvora-job", linked + "/.kalvora-job");

  CliResult listed = kalvora({"jobs", "list"});
  EXPECT_EQ(listed.status, 1);
  EXPECT_TRUE(contains(listed.out, kept)) << listed.out;
  for (const std::string& folder : {copied, empty, linked})
    EXPECT_TRUE(contains(listed.err, "'" + folder + "' is not shown: its journal ")) << listed.err;
  const CliResult discarded = kalvora({"jobs", "discard", "--all"});
  EXPECT_EQ(discarded.status, 1);
  for (const std::string& folder : {copied, empty, linked})
    EXPECT_EQ(readFileBytes(folder + "/notes.txt"), "mine");
  for (const std::string& folder : {copied, empty, linked}) fs::remove_all(folder);

  const std::string other = importToADownStation();
  fs::permissions(dir / "jobs", fs::perms::owner_all | fs::perms::group_write);
  for (const std::vector<std::string>& command : {std::vector<std::string>{"jobs", "list"},
                                                  {"jobs", "list", "--json"},
                                                  {"jobs", "discard", "--all"},
                                                  {"jobs", "send", "--all"}}) {
    SCOPED_TRACE(command.back());
    const CliResult result = kalvora(command);
    EXPECT_NE(result.status, 0);
    EXPECT_FALSE(contains(result.out, "No kept jobs.")) << result.out;
    EXPECT_TRUE(contains(result.err, "The temporary folder '" + (dir / "jobs") +
                                         "' cannot be trusted (others can write to it): kept "
                                         "jobs there are not shown; make it private with chmod "
                                         "700."))
        << result.err;
  }
  EXPECT_EQ(filesIn(other), 2);
}

// A name on a medium holding terminal controls (clear the screen, a bell, a carriage return
// that would overwrite the line, a C1 control) is printed escaped, never raw.
TEST_F(KeptJobCommands, TextFromTheMediumReachesTheTerminalEscaped) {
  fs::remove_all(dir / "medium");
  fs::create_directories(dir / "medium/DICOM");
  FixtureImage image;
  image.patientName =
      "Doe\x1b[2J^Jo\x07hn\rEVIL\xc2\x9b"
      "1m";
  writeFixtureImage(dir / "medium/DICOM/IM1", image);
  useStation(freeLoopbackPort());

  const CliResult imported = kalvora({"import", dir / "medium"});
  const CliResult listed = kalvora({"jobs", "list"});
  for (const CliResult& result : {imported, listed}) {
    const std::string all = result.out + result.err;
    EXPECT_EQ(all.find_first_of("\x1b\x07\r"), std::string::npos) << all;
    EXPECT_EQ(all.find("\xc2\x9b"), std::string::npos) << all;
    EXPECT_TRUE(contains(all, "Doe\\e[2J Jo\\ahn\\rEVIL\\x9B1m")) << all;
  }
}

// A station that serves one association at a time (and takes a while over each file) gets
// every one of ten kept jobs: they go to it one after another, not all at once.
TEST_F(KeptJobCommands, KeptJobsReachAStationThatServesOneAssociationAtATime) {
  constexpr int kJobs = 10;
  const int port = freeLoopbackPort();
  useStation(port);
  for (int i = 0; i < kJobs; ++i) {
    writeMedium(2, 16);  // new images each time: the station keeps one file per image
    const CliResult imported = kalvora({"import", dir / "medium", "--no-send"});
    ASSERT_EQ(imported.status, 0) << imported.out << imported.err;
  }
  ASSERT_EQ(keptJobs().size(), static_cast<size_t>(kJobs));

  StoreScpPeer serial(dir / "received", {"--exec-on-reception", "sleep 0.2", "--exec-sync"},
                      "STORESCP", port);
  const CliResult sent = kalvora({"jobs", "send", "--all"});
  EXPECT_EQ(sent.status, 0) << sent.out << sent.err;
  EXPECT_EQ(filesIn(dir / "received"), 2 * kJobs);
  EXPECT_TRUE(keptJobs().empty());
}

// A journal names its stations itself: a station that is in no station list any more (or
// never was) is not sent to on its word; a station given by hand is.
TEST_F(KeptJobCommands, AKeptJobForAStationInNoListNeedsAStationGivenByHand) {
  const int meant = freeLoopbackPort();
  useStation(meant);
  const std::string folder = importToADownStation();
  StoreScpPeer unlisted(dir / "received", {}, "STORESCP", meant);
  TempDir elsewhere;
  StoreScpPeer listed(elsewhere.path(), {}, "STORESCP");
  config({"stations", "edit", "0", "--port", std::to_string(listed.port())});

  for (const char* command : {"jobs send", "send"}) {
    SCOPED_TRACE(command);
    std::vector<std::string> args = {"send", folder};
    if (std::string(command) == "jobs send") args.insert(args.begin(), "jobs");
    const CliResult refused = kalvora(args);
    EXPECT_EQ(refused.status, 1);
    EXPECT_TRUE(contains(refused.err, "'" + folder + "' was meant for STORESCP at 127.0.0.1:" +
                                          std::to_string(meant) +
                                          ", which is in no station list: give --to ALIAS"))
        << refused.err;
  }
  EXPECT_EQ(filesIn(dir / "received"), 0);
  EXPECT_EQ(filesIn(folder), 2);

  const CliResult sent = kalvora({"jobs", "send", folder, "--to", "PACS"});
  EXPECT_EQ(sent.status, 0) << sent.out << sent.err;
  EXPECT_EQ(filesIn(elsewhere.path()), 2);
  EXPECT_FALSE(fs::exists(folder));
}

TEST_F(KeptJobCommands, RetriesAreCapped) {
  for (const std::vector<std::string>& command :
       {std::vector<std::string>{"jobs", "send", "--all", "--retry", "11"},
        {"import", dir / "medium", "--retry", "1000000"}}) {
    const CliResult result = kalvora(command);
    EXPECT_EQ(result.status, 2);
    EXPECT_TRUE(contains(result.err, "not in range 0 to 10")) << result.err;
  }
  EXPECT_TRUE(contains(kalvora({"jobs", "send", "--help"}).out,
                       "Retry a failed association request N times (at most 10)"));
}

// A job folder an earlier version left (its journal names stored files by name only and
// records no copies) is still listed and sent, everything again, since a name proves
// nothing; it is never deleted by Kalvora, and the commands say so.
TEST_F(KeptJobCommands, AJobFolderOfAnEarlierVersionIsListedAndSentButNeverDeleted) {
  StoreScpPeer peer(dir / "received");
  useStation(peer.port());
  const std::string folder = dir / "jobs/2025612101500";
  fs::create_directories(folder);
  fs::permissions(dir / "jobs", fs::perms::owner_all);
  fs::permissions(folder, fs::perms::owner_all);
  writeFixtureImage(folder + "/IM1");
  writeFixtureImage(folder + "/IM2");
  const std::string station = "STORESCP\t127.0.0.1\t" + std::to_string(peer.port());
  writeFileBytes(folder + "/.kalvora-job",
                 "kalvora-job\t1\nsource\t/media/cdrom\t1749722100\n"
                 "patient\tP1\tDoe^John\npatient\tP1\tDoe^John\nread\n"
                 "destination\t" +
                     station + "\nstored\t" + station + "\tIM1\n");

  nlohmann::json listed = keptJobs();
  ASSERT_EQ(listed.size(), 1u) << listed;
  EXPECT_EQ(listed[0]["madeByEarlierVersion"], true);
  EXPECT_EQ(listed[0]["destinations"][0]["missing"], 2);

  const CliResult sent = kalvora({"jobs", "send", "--all"});
  EXPECT_EQ(sent.status, 1);
  EXPECT_TRUE(contains(sent.err, "'" + folder + "' is kept: an earlier version of Kalvora made it"))
      << sent.err;
  EXPECT_EQ(filesIn(dir / "received"), 2);
  EXPECT_EQ(filesIn(folder), 2);
  listed = keptJobs();
  ASSERT_EQ(listed.size(), 1u) << listed;
  EXPECT_EQ(listed[0]["destinations"][0]["missing"], 0);  // nothing is sent twice from here on

  EXPECT_EQ(kalvora({"jobs", "discard", folder}).status, 1);
  EXPECT_EQ(filesIn(folder), 2);
}
