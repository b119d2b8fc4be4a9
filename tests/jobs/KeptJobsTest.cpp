#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>

#include "DicomFixtures.h"
#include "ScriptedPrompts.h"
#include "StoreScpPeer.h"
#include "TempDir.h"
#include "TestMainThread.h"
#include "dicom/CopyIdentity.h"
#include "jobs/EngineObserver.h"
#include "jobs/JobJournal.h"
#include "jobs/KalvoraEngine.h"

namespace fs = std::filesystem;

namespace {

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

int filesIn(const std::string& folder) {
  int count = 0;
  for (const auto& entry : fs::directory_iterator(folder))
    count += entry.is_regular_file() && entry.path().filename().string()[0] != '.' ? 1 : 0;
  return count;
}

// Records every plain file of the folder as Kalvora's copy, as the import does.
void recordCopies(JobJournal& journal, const std::string& folder) {
  for (const auto& entry : fs::directory_iterator(folder))
    if (entry.is_regular_file() && entry.path().filename().string()[0] != '.')
      journal.recordCopy(entry.path().filename().string(), readCopyIdentity(entry.path().string()));
}

// The stations each send of the engine went to, in start order.
class SendRecorder : public EngineObserver {
 public:
  std::vector<std::string> started;
  std::function<void(SendEvent, const SendProgress&)> onSend;  // runs with every report
  void sendReported(SendEvent event, const SendProgress& progress) override {
    if (event == SendEvent::SendStarted) started.push_back(progress.destination);
    if (onSend) onSend(event, progress);
  }
};

// One run of the application: an engine over the shared temporary folder.
struct ApplicationRun {
  explicit ApplicationRun(const std::string& tempFolder) {
    engine.settings.tempFolder = tempFolder;
    engine.settings.openTrayAfterReading = 0;
    engine.settings.timeoutMs = 5000;
    engine.setObserver(&sends);
  }
  bool waitUntilIdle(const std::string& jobFolder) {
    return mainThread.runUntil([&] { return !engine.isJobActive(jobFolder); });
  }
  const ImportJob& job(const std::string& jobFolder) const {
    return engine.jobs()[engine.jobs().FindJob(jobFolder)];
  }

  TestMainThread mainThread;
  ScriptedPrompts prompts;
  SendRecorder sends;
  KalvoraEngine engine{mainThread, prompts};
};

class KeptJobs : public ::testing::Test {
 protected:
  void writeMedium(int files) {
    fs::create_directories(work / "medium");
    for (int i = 1; i <= files; ++i) writeFixtureImage(work / ("medium/IM" + std::to_string(i)));
  }
  std::string tempFolder() const { return work / "temp"; }

  TempDir work;
};

}  // namespace

// A station that refuses, or one that goes away at the third of five files: the job shows
// "Failed" and keeps its folder; once the station works, a resend stores only what is
// missing and then the folder goes. The same over several associations, which the refusing
// station refuses every one of.
TEST_F(KeptJobs, AnUndeliveredJobIsKeptAndTheResendStoresOnlyTheMissingFiles) {
  writeMedium(5);
  struct Case {
    const char* name;
    std::vector<std::string> fault;  // storescp arguments; {} for a station that is down
    int storedAtFirst;
    int associations = 1;
  };
  const std::string firstReceived = work / "first";
  const std::string dieOnThird = "[ $(ls '" + firstReceived + "' | wc -l) -ge 2 ] && kill -9 $PPID";
  const Case cases[] = {
      {"refusing station", {"--refuse"}, 0},
      {"station gone at the third file", {"--exec-on-reception", dieOnThird, "--exec-sync"}, 2},
      {"refusing station, three associations", {"--refuse"}, 0, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(firstReceived);
    fs::remove_all(work / "second");
    fs::create_directories(firstReceived);
    fs::create_directories(work / "second");
    ApplicationRun run(tempFolder());
    std::string jobFolder;
    int port = 0;
    {
      StoreScpPeer faulty(firstReceived, c.fault);
      port = faulty.port();
      run.engine.stations.Add({"PACS", "STORESCP", "127.0.0.1", port});
      run.engine.stationOptions["PACS"].associations = c.associations;
      run.engine.settings.standardDestination = 0;
      jobFolder = run.engine.StartScan(work / "medium");
      ASSERT_TRUE(run.waitUntilIdle(jobFolder));
    }
    EXPECT_EQ(run.job(jobFolder).status, "Failed");
    EXPECT_EQ(filesIn(jobFolder), 5);
    EXPECT_EQ(filesIn(firstReceived), c.storedAtFirst);
    EXPECT_TRUE(
        contains(run.job(jobFolder).log,
                 "ERROR: " + std::to_string(5 - c.storedAtFirst) +
                     " of 5 files did not reach STORESCP at 127.0.0.1:" + std::to_string(port)))
        << run.job(jobFolder).log;
    EXPECT_EQ(run.engine.undeliveredJobCount(), 1);

    StoreScpPeer working(work / "second", {}, "STORESCP", port);
    ASSERT_TRUE(run.engine.ResendJob(jobFolder));
    ASSERT_TRUE(run.waitUntilIdle(jobFolder));
    EXPECT_EQ(run.job(jobFolder).status, "Finished") << run.job(jobFolder).log;
    EXPECT_EQ(filesIn(work / "second"), 5 - c.storedAtFirst);
    EXPECT_FALSE(fs::exists(jobFolder));
    EXPECT_EQ(run.engine.undeliveredJobCount(), 0);
  }
}

TEST_F(KeptJobs, OfTwoDestinationsTheResendGoesOnlyToTheOneThatFailed) {
  writeMedium(3);
  fs::create_directories(work / "archive");
  fs::create_directories(work / "viewer");
  StoreScpPeer archive(work / "archive", {}, "ARCHIVE");
  const int viewerPort = freeLoopbackPort();  // down at first
  ApplicationRun run(tempFolder());
  run.engine.stations.Add({"ARCHIVE", "ARCHIVE", "127.0.0.1", archive.port()});
  run.engine.stations.Add({"VIEWER", "VIEWER", "127.0.0.1", viewerPort});
  run.engine.settings.standardDestination = 0;
  run.engine.settings.useForwardRules = 1;
  run.engine.rules.Add({0x10, 0x20, "P1", "VIEWER"});
  const std::string jobFolder = run.engine.StartScan(work / "medium");
  ASSERT_TRUE(run.waitUntilIdle(jobFolder));
  EXPECT_EQ(run.job(jobFolder).status, "Failed");
  EXPECT_EQ(filesIn(work / "archive"), 3);

  run.sends.started.clear();
  StoreScpPeer viewer(work / "viewer", {}, "VIEWER", viewerPort);
  ASSERT_TRUE(run.engine.ResendJob(jobFolder));
  ASSERT_TRUE(run.waitUntilIdle(jobFolder));
  EXPECT_EQ(run.sends.started, (std::vector<std::string>{"VIEWER"}));
  EXPECT_EQ(filesIn(work / "viewer"), 3);
  EXPECT_EQ(run.job(jobFolder).status, "Finished");
  EXPECT_FALSE(fs::exists(jobFolder));
}

// A folder as a kill during sending leaves it: one file stored, the last copy cut short.
// The next start shows it, the resend leaves out what arrived and fails the cut copy by
// name, and the user can discard it.
TEST_F(KeptJobs, AFolderLeftByAKillIsFoundResentWithoutItsCutCopyAndDiscarded) {
  fs::create_directories(work / "received");
  StoreScpPeer peer(work / "received");
  const JobDestination station{"STORESCP", "127.0.0.1", peer.port()};
  const std::string jobFolder = tempFolder() + "/20261231235959";
  fs::create_directories(jobFolder);
  fs::permissions(tempFolder(), fs::perms::owner_all);
  fs::permissions(jobFolder, fs::perms::owner_all);
  for (const char* name : {"IM1", "IM2", "IM3", "IM4"}) writeFixtureImage(jobFolder + "/" + name);
  fs::resize_file(jobFolder + "/IM4", fs::file_size(jobFolder + "/IM4") / 2);
  {
    auto journal = JobJournal::create(jobFolder);
    ASSERT_TRUE(journal);
    journal->recordSource("/media/cdrom", 1700000000);
    recordCopies(*journal, jobFolder);
    for (int i = 0; i < 4; ++i) journal->recordPatient("P1", "Doe^John");
    journal->recordReadingFinished();
    journal->chooseDestination(station);
    journal->recordStored(station, "IM1", readCopyIdentity(jobFolder + "/IM1"));
  }
  std::tm left{};
  left.tm_year = 2024 - 1900, left.tm_mon = 1, left.tm_mday = 3;
  left.tm_hour = 4, left.tm_min = 5, left.tm_sec = 6, left.tm_isdst = -1;
  const timespec leftAt[2] = {{std::mktime(&left), 0}, {std::mktime(&left), 0}};
  for (const auto& entry : fs::directory_iterator(jobFolder))
    utimensat(AT_FDCWD, entry.path().c_str(), leftAt, AT_SYMLINK_NOFOLLOW);
  utimensat(AT_FDCWD, jobFolder.c_str(), leftAt, 0);

  ApplicationRun run(tempFolder());
  EXPECT_EQ(run.engine.RecoverJobFolders(), (std::vector<std::string>{jobFolder}));
  const ImportJob& found = run.job(jobFolder);
  EXPECT_EQ(found.status, "Failed");
  EXPECT_EQ(run.engine.jobs().PatientsText(0), "Doe John");
  EXPECT_EQ(found.patients[0].imageCount, 4);
  EXPECT_EQ(found.log, "Job folder '" + jobFolder +
                           "' found, left on 2024-02-03 04:05:06 with 4 files\r\n"
                           "ERROR: 3 of 4 files did not reach STORESCP at 127.0.0.1:" +
                           std::to_string(peer.port()) + ": 'IM2', 'IM3', 'IM4'\r\n");

  ASSERT_TRUE(run.engine.ResendJob(jobFolder));
  ASSERT_TRUE(run.waitUntilIdle(jobFolder));
  EXPECT_EQ(filesIn(work / "received"), 2);  // IM2 and IM3
  EXPECT_EQ(run.job(jobFolder).status, "Failed");
  EXPECT_TRUE(contains(run.job(jobFolder).log, "1 of 4 files did not reach STORESCP at 127.0.0.1:" +
                                                   std::to_string(peer.port()) + ": 'IM4'\r\n"))
      << run.job(jobFolder).log;

  EXPECT_EQ(run.engine.DiscardJob(jobFolder), 4);
  EXPECT_FALSE(fs::exists(jobFolder));
  EXPECT_EQ(run.job(jobFolder).status, "Stopped");
  EXPECT_EQ(run.engine.undeliveredJobCount(), 0);
}

// Only job folders nobody works on are taken; one that holds nothing is tidied away. A folder
// without Kalvora's journal is the user's own, whatever its name: never touched.
TEST_F(KeptJobs, RecoveryTakesOnlyJobFoldersNoOneWorksOn) {
  const std::string temp = tempFolder();
  for (const char* name :
       {"20261231235901", "20261231235902", "20261231235903", "202301011", "notes"}) {
    fs::create_directories(temp + "/" + name);
    fs::permissions(temp + "/" + name, fs::perms::owner_all);
  }
  fs::permissions(temp, fs::perms::owner_all);
  writeFixtureImage(temp + "/20261231235901/IM1");  // left by a crash
  recordCopies(*JobJournal::create(temp + "/20261231235901"), temp + "/20261231235901");
  writeFixtureImage(temp + "/20261231235902/IM1");  // another process works on it
  auto otherProcess = JobJournal::create(temp + "/20261231235902");
  ASSERT_TRUE(otherProcess);
  recordCopies(*otherProcess, temp + "/20261231235902");
  JobJournal::create(temp + "/20261231235903").reset();  // holds nothing
  writeFixtureImage(temp + "/202301011/IM1");            // the user's own folder
  writeFixtureImage(temp + "/notes/IM1");                // not named as a job folder

  ApplicationRun run(temp);
  EXPECT_EQ(run.engine.RecoverJobFolders(), (std::vector<std::string>{temp + "/20261231235901"}));
  EXPECT_TRUE(contains(run.engine.jobs()[0].log, "Not sent to any station yet"));
  EXPECT_EQ(run.engine.DiscardJob(temp + "/20261231235902"), -1);
  EXPECT_TRUE(fs::exists(temp + "/20261231235902/IM1"));
  EXPECT_FALSE(fs::exists(temp + "/20261231235903"));
  EXPECT_TRUE(fs::exists(temp + "/202301011/IM1"));
  EXPECT_FALSE(fs::exists(temp + "/202301011/.kalvora-job"));
  EXPECT_TRUE(fs::exists(temp + "/notes/IM1"));
}

// The tray shows kept jobs without holding them: a command line may send or discard them
// meanwhile, never while the other works on one, and the tray then shows them gone.
TEST_F(KeptJobs, AKeptJobShownByOneProcessIsFreeForAnotherUntilItRunsThere) {
  fs::create_directories(work / "received");
  StoreScpPeer peer(work / "received");
  const JobDestination station{"STORESCP", "127.0.0.1", peer.port()};
  std::vector<std::string> folders;
  for (const char* name : {"20261231235901", "20261231235902"}) {
    folders.push_back(tempFolder() + "/" + name);
    fs::create_directories(folders.back());
    fs::permissions(tempFolder(), fs::perms::owner_all);
    fs::permissions(folders.back(), fs::perms::owner_all);
    writeFixtureImage(folders.back() + "/IM1");
    writeFixtureImage(folders.back() + "/IM2");
    auto journal = JobJournal::create(folders.back());
    recordCopies(*journal, folders.back());
    journal->recordReadingFinished();
    journal->chooseDestination(station);
  }
  const std::string& sent = folders[0];
  const std::string& discarded = folders[1];

  ApplicationRun tray(tempFolder());
  EXPECT_EQ(tray.engine.RecoverJobFolders(), folders);
  EXPECT_FALSE(JobJournal::isLocked(sent));
  EXPECT_FALSE(JobJournal::isLocked(discarded));

  ApplicationRun commandLine(tempFolder());
  ASSERT_EQ(commandLine.engine.AdoptKeptJob(sent), KalvoraEngine::Adoption::Adopted);
  EXPECT_FALSE(tray.engine.ResendJob(sent));  // the command line holds it
  EXPECT_TRUE(contains(tray.job(sent).log, "is in use by another Kalvora process"));
  EXPECT_EQ(tray.job(sent).status, "Failed");
  ASSERT_TRUE(commandLine.engine.ResendJob(sent));
  ASSERT_TRUE(commandLine.waitUntilIdle(sent));
  EXPECT_EQ(commandLine.job(sent).status, "Finished");
  EXPECT_EQ(filesIn(work / "received"), 2);

  ASSERT_EQ(commandLine.engine.AdoptKeptJob(discarded), KalvoraEngine::Adoption::Adopted);
  EXPECT_EQ(tray.engine.DiscardJob(discarded), -1);
  EXPECT_EQ(commandLine.engine.DiscardJob(discarded), 2);

  // Gone meanwhile: shown so, never sent or counted again.
  EXPECT_FALSE(tray.engine.ResendJob(sent));
  EXPECT_EQ(tray.engine.DiscardJob(discarded), -1);
  for (const std::string& folder : folders) {
    EXPECT_EQ(tray.job(folder).status, "Stopped");
    EXPECT_TRUE(
        contains(tray.job(folder).log, "is gone: another Kalvora process has sent or discarded it"))
        << tray.job(folder).log;
  }
  EXPECT_EQ(tray.engine.undeliveredJobCount(), 0);
  EXPECT_EQ(filesIn(work / "received"), 2);
}

// Over several associations the journal still records each stored file once: after a stop in
// the middle, the resend (again over several) stores exactly the files that had not arrived.
TEST_F(KeptJobs, AStoppedSendOverSeveralAssociationsIsCompletedWithoutRepeats) {
  writeMedium(9);
  const std::string firstReceived = work / "first";
  const std::string secondReceived = work / "second";
  fs::create_directories(firstReceived);
  fs::create_directories(secondReceived);
  ApplicationRun run(tempFolder());
  std::string jobFolder;
  int port = 0;
  {
    // Each association takes a while over a file, so the stop finds the others in flight.
    StoreScpPeer slow(firstReceived, {"--fork", "--exec-on-reception", "sleep 0.3", "--exec-sync"});
    port = slow.port();
    run.engine.stations.Add({"PACS", "STORESCP", "127.0.0.1", port});
    run.engine.stationOptions["PACS"].associations = 3;
    run.engine.settings.standardDestination = 0;
    run.sends.onSend = [&](SendEvent event, const SendProgress&) {
      if (event == SendEvent::FileSent) run.engine.StopSends();
    };
    jobFolder = run.engine.StartScan(work / "medium");
    ASSERT_TRUE(run.waitUntilIdle(jobFolder));
    run.sends.onSend = nullptr;
  }
  const int storedAtFirst = filesIn(firstReceived);
  EXPECT_GE(storedAtFirst, 1);
  EXPECT_LT(storedAtFirst, 9);
  EXPECT_EQ(run.job(jobFolder).status, "Failed");

  const std::string stationLog = work / "station.log";
  StoreScpPeer working(secondReceived, {"--fork", "-ll", "info"}, "STORESCP", port, stationLog);
  ASSERT_TRUE(run.engine.ResendJob(jobFolder));
  ASSERT_TRUE(run.waitUntilIdle(jobFolder));
  EXPECT_EQ(run.job(jobFolder).status, "Finished") << run.job(jobFolder).log;
  EXPECT_EQ(filesIn(secondReceived), 9 - storedAtFirst);
  EXPECT_FALSE(fs::exists(jobFolder));
  // The station's setting reached the send: three associations for the files that were left.
  const std::string log = readFileBytes(stationLog);
  int associations = 0;
  for (std::size_t at = log.find("Association Acknowledged"); at != std::string::npos;
       at = log.find("Association Acknowledged", at + 1))
    ++associations;
  EXPECT_EQ(associations, std::min(3, 9 - storedAtFirst)) << log;
}
