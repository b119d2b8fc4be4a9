#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>

#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>

#include "DicomFixtures.h"
#include "ScriptedPrompts.h"
#include "StoreScpPeer.h"
#include "TempDir.h"
#include "TestMainThread.h"
#include "jobs/EngineObserver.h"
#include "jobs/KalvoraEngine.h"
#include "net/CodecRegistration.h"

namespace fs = std::filesystem;

namespace {

bool exists(const std::string& path) { return fs::exists(path); }

int filesIn(const std::string& folder) {
  int count = 0;
  for (const auto& entry : fs::recursive_directory_iterator(folder))
    count += entry.is_regular_file() ? 1 : 0;
  return count;
}

// A status icon with its stop button, as the main window shows them.
struct StopControl {
  StatusIcon icon;
  bool stopEnabled;
  bool operator==(const StopControl& other) const {
    return icon == other.icon && stopEnabled == other.stopEnabled;
  }
};
using StopControls = std::vector<StopControl>;
void PrintTo(const StopControl& control, std::ostream* out) {
  *out << "{icon " << static_cast<int>(control.icon) << ", stop "
       << (control.stopEnabled ? "enabled" : "disabled") << "}";
}

// Records what views would see, and lets a test act on a report.
class RecordingObserver : public EngineObserver {
 public:
  std::vector<std::string> statuses;
  StopControls scanControls;
  StopControls sendControls;
  std::vector<SendProgress> finishedSends;
  std::function<void(ScanEvent, const ScanProgress&)> onScan;
  std::function<void(SendEvent, const SendProgress&)> onSend;
  const KalvoraEngine* engine = nullptr;

  void jobChanged(int index) override {
    const std::string& status = engine->jobs()[index].status;
    if (statuses.empty() || statuses.back() != status) statuses.push_back(status);
  }
  void jobAdded(int index) override { jobChanged(index); }
  void countersChanged() override {
    const JobCounters& counters = engine->counters();
    scanControls.push_back({counters.scanIcon, counters.scanStopEnabled});
    sendControls.push_back({counters.sendIcon, counters.sendStopEnabled});
  }
  void scanReported(ScanEvent event, const ScanProgress& progress) override {
    if (onScan) onScan(event, progress);
  }
  void sendReported(SendEvent event, const SendProgress& progress) override {
    if (event == SendEvent::SendFinished) finishedSends.push_back(progress);
    if (onSend) onSend(event, progress);
  }
};

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(work / "medium/DICOM/PAT1");
    fs::create_directories(work / "received");
    engine.settings.tempFolder = work / "temp/";
    engine.settings.openTrayAfterReading = 0;
    engine.settings.timeoutMs = 5000;
    engine.setObserver(&observer);
    observer.engine = &engine;
  }

  void writeMedium(int files, bool distinctPatients = false) {
    for (int i = 0; i < files; ++i) {
      FixtureImage image;
      if (distinctPatients) image.patientId = "P" + std::to_string(i);
      writeFixtureImage(work / ("medium/DICOM/PAT1/IM" + std::to_string(i)), image);
    }
  }

  void addStation(const std::string& alias, const StoreScpPeer& peer) {
    engine.stations.Add({alias, peer.aeTitle(), "127.0.0.1", peer.port()});
  }

  bool runUntilIdle(const std::string& jobFolder) {
    return mainThread.runUntil([&] { return !engine.isJobActive(jobFolder); });
  }

  TempDir work;
  TestMainThread mainThread;
  ScriptedPrompts prompts;
  KalvoraEngine engine{mainThread, prompts};
  RecordingObserver observer;
};

}  // namespace

TEST_F(EngineTest, AJobIsCopiedSentAndRemovedWithThreeLogLines) {
  writeMedium(3);
  StoreScpPeer peer(work / "received");
  addStation("PACS", peer);
  engine.settings.standardDestination = 0;

  const std::string root = work / "medium";
  const std::string jobFolder = engine.StartScan(root);
  ASSERT_FALSE(jobFolder.empty());
  ASSERT_TRUE(runUntilIdle(jobFolder));

  EXPECT_EQ(observer.statuses,
            (std::vector<std::string>{"Copying", "Pending", "Sending", "Finished"}));
  const ImportJob& job = engine.jobs()[0];
  EXPECT_EQ(job.log, "Start to scan media " + root + "\r\nStart sending: '" + jobFolder +
                         "' to STORESCP\r\nSending finished. (sended files: 3)\r\n");
  EXPECT_EQ(engine.jobs().PatientsText(0), "Doe John");
  EXPECT_EQ(engine.counters().scanFiles, 3);
  EXPECT_EQ(engine.counters().sendFiles, 3);
  EXPECT_FALSE(engine.counters().busy);
  EXPECT_FALSE(exists(jobFolder));
  EXPECT_EQ(filesIn(work / "received"), 3);
}

std::vector<std::string> sortedLines(const std::string& log) {
  std::vector<std::string> lines;
  for (size_t start = 0, end; (end = log.find("\r\n", start)) != std::string::npos; start = end + 2)
    lines.push_back(log.substr(start, end + 2 - start));
  std::sort(lines.begin(), lines.end());
  return lines;
}

// Every kind of line a verbose run writes, character for character. The filter of the
// configuration reaches the scan: the filtered file is skipped without a line.
TEST_F(EngineTest, AVerboseRunLogsEveryReport) {
  writeMedium(1);
  fs::create_directories(work / "medium/viewer");
  writeFileBytes(work / "medium/viewer/README.txt", "not an image");
  writeFileBytes(work / "medium/viewer/NOTES", "not an image");
  writeFixtureImage(work / "medium/DICOMDIR");
  engine.filters.Add({".txt", "Text files"});
  StoreScpPeer archive(work / "received");
  TempDir scratch;
  const std::string gone = scratch / "gone";
  fs::create_directory(gone);
  StoreScpPeer broken(gone, {}, "BROKEN");
  fs::remove(gone);  // this station answers every store with a failure status
  addStation("PACS", archive);
  addStation("BROKEN", broken);
  engine.settings.standardDestination = 0;
  engine.settings.useForwardRules = 1;
  engine.rules.Add({0x10, 0x20, "P1", "BROKEN"});
  engine.settings.verbose = 1;
  engine.settings.anonymize = 1;

  const std::string root = work / "medium";
  const std::string jobFolder = engine.StartScan(root);
  ASSERT_TRUE(runUntilIdle(jobFolder));

  const std::string copy = jobFolder + "/IM0";
  const std::string log = engine.jobs()[0].log;
  EXPECT_EQ(log.substr(0, log.find("\r\n") + 2), "Start to scan media " + root + "\r\n");
  std::vector<std::string> expected = {
      "Start to scan media " + root + "\r\n",
      "WARNING: Anonymization is on, but no field is chosen to anonymize: nothing is "
      "replaced.\r\n",
      "INFO: 'IM0' 0 tags anonymized [0 missing]\r\n",
      "INFO: File 'IM0' copied\r\n",
      "ERROR: Not a valid dicom file [NOTES]\r\n",
      "INFO: Skipped scan for one or more files [File 'DICOMDIR' skipped.]\r\n",
      "Start sending: '" + jobFolder + "' to STORESCP\r\n",
      "INFO: File '" + copy + "' sended to STORESCP\r\n",
      "Sending finished. (sended files: 1)\r\n",
      "Start sending: '" + jobFolder + "' to BROKEN\r\n",
      "ERROR: File '" + copy +
          "' not sended to BROKEN [Store refused by the station, status 0xA700 (Refused: "
          "OutOfResources)]\r\n",
      "ERROR: DICOM send job failed\r\n",
      "Sending finished. (sended files: 0)\r\n",
      "ERROR: 1 of 1 files did not reach BROKEN at 127.0.0.1:" + std::to_string(broken.port()) +
          ": 'IM0'\r\n",
  };
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(sortedLines(log), expected) << log;
}

// The association parameters and the conversion switch of the settings, each away from
// its default, as the station sees them.
TEST_F(EngineTest, SettingsReachTheSendJob) {
  writeMedium(1);
  {
    const std::string path = work / "medium/DICOM/PAT1/RLE";
    writeFixtureImage(path);
    CodecScope codecs;
    DcmFileFormat file;
    ASSERT_TRUE(file.loadFile(path.c_str()).good());
    ASSERT_TRUE(file.getDataset()->chooseRepresentation(EXS_RLELossless, nullptr).good());
    ASSERT_TRUE(file.saveFile(path.c_str(), EXS_RLELossless).good());
  }
  TempDir scratch;
  const std::string stationLog = scratch / "station.log";
  StoreScpPeer peer(work / "received", {"-ll", "debug"}, "STORESCP", 0, stationLog);
  addStation("PACS", peer);
  engine.settings.standardDestination = 0;
  engine.settings.verbose = 1;
  engine.settings.callingAeTitle = "ENGINE_SCU";
  engine.settings.maxPduSize = 32768;
  engine.settings.proposeRequiredContextsOnly = 1;
  engine.settings.noCompressedTransfer = 0;
  engine.settings.correctSpacePaddedUids = 1;  // no trace at the station with DCMTK 3.6.7

  const std::string jobFolder = engine.StartScan(work / "medium");
  ASSERT_TRUE(runUntilIdle(jobFolder));

  const std::string log = readFileBytes(stationLog);
  EXPECT_NE(log.find("Calling Application Name:    ENGINE_SCU\n"), std::string::npos) << log;
  EXPECT_NE(log.find("Their Max PDU Receive Size:  32768\n"), std::string::npos);
  // The job's one SOP class only: its two contexts, and one for the RLE image in its own
  // syntax since compressed images may go as they are.
  size_t proposed = 0;
  for (size_t at = log.find("(Proposed)"); at != std::string::npos;
       at = log.find("(Proposed)", at + 1))
    ++proposed;
  EXPECT_EQ(proposed, 3u);
  EXPECT_NE(log.find("=RLELossless"), std::string::npos);
  EXPECT_EQ(engine.counters().sendFiles, 2);
}

TEST_F(EngineTest, TwoScansAtOnceMakeTwoJobsThatEachSend) {
  writeMedium(2);
  fs::create_directories(work / "medium2");
  writeFixtureImage(work / "medium2/IM1");
  StoreScpPeer peer(work / "received");
  addStation("PACS", peer);
  engine.settings.standardDestination = 0;

  const std::string first = engine.StartScan(work / "medium");
  const std::string second = engine.StartScan(work / "medium2");
  ASSERT_NE(first, second);
  ASSERT_TRUE(mainThread.runUntil(
      [&] { return !engine.isJobActive(first) && !engine.isJobActive(second); }));
  ASSERT_EQ(engine.jobs().size(), 2);
  EXPECT_EQ(engine.jobs()[0].status, "Finished");
  EXPECT_EQ(engine.jobs()[1].status, "Finished");
  EXPECT_EQ(filesIn(work / "received"), 3);
}

TEST_F(EngineTest, NothingToReadStartsNoJob) {
  fs::create_directories(work / "empty");
  EXPECT_EQ(engine.StartScan(work / "empty"), "");
  EXPECT_EQ(engine.StartScan(work / "missing"), "");
  EXPECT_EQ(engine.jobs().size(), 0);
}

// Sent nowhere is not done: the job says why, fails, is kept, and a station can take it.
TEST_F(EngineTest, AJobWithoutADestinationFailsWithTheReasonAndIsKeptToBeSent) {
  writeMedium(2);
  StoreScpPeer peer(work / "received");
  addStation("PACS", peer);
  engine.settings.verbose = 0;
  struct Case {
    const char* name;
    std::function<void()> configure;
    int stationQuestions;
    std::string why;
  };
  const Case cases[] = {
      {"standard destination on, none chosen",
       [&] {
         engine.settings.sendToStandardDestination = 1;
         engine.settings.standardDestination = -1;
         engine.settings.useForwardRules = 0;
       },
       0,
       "Nothing was sent: sending to the standard destination is on, but no station is chosen "
       "as the standard destination.\r\n"},
      {"the station choice cancelled",
       [&] {
         engine.settings.sendToStandardDestination = 0;
         engine.settings.useForwardRules = 0;
       },
       1, "Nothing was sent: no station was chosen for this job.\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.configure();
    prompts.stationQuestions = 0;
    observer.statuses.clear();
    const std::string jobFolder = engine.StartScan(work / "medium");
    ASSERT_TRUE(runUntilIdle(jobFolder));
    const int index = engine.jobs().FindJob(jobFolder);
    EXPECT_EQ(prompts.stationQuestions, c.stationQuestions);
    EXPECT_EQ(observer.statuses, (std::vector<std::string>{"Copying", "Failed"}));
    const std::string& log = engine.jobs()[index].log;
    EXPECT_EQ(log.substr(log.size() - c.why.size()), c.why);
    EXPECT_EQ(engine.undeliveredJobCount(), 1);
    EXPECT_TRUE(exists(jobFolder + "/IM0") && exists(jobFolder + "/IM1"));

    ASSERT_TRUE(
        engine.ResendJob(jobFolder, StationChoice{peer.aeTitle(), "127.0.0.1", peer.port()}));
    ASSERT_TRUE(runUntilIdle(jobFolder));
    EXPECT_EQ(engine.jobs()[index].status, "Finished");
    ASSERT_FALSE(observer.finishedSends.empty());
    EXPECT_EQ(observer.finishedSends.back().filesSent, 2);
    EXPECT_FALSE(exists(jobFolder));
  }
}

TEST_F(EngineTest, ShutdownKeepsAJobWithoutADestination) {
  writeMedium(1);
  engine.settings.sendToStandardDestination = 0;
  engine.settings.useForwardRules = 0;  // the station choice is cancelled
  const std::string jobFolder = engine.StartScan(work / "medium");
  ASSERT_TRUE(runUntilIdle(jobFolder));
  engine.Shutdown();
  EXPECT_TRUE(exists(jobFolder + "/IM0"));
}

TEST_F(EngineTest, StoppingAScanMovesItsCopiesToErrorsAndDeletesTheFolder) {
  // Every file asks a (slow) question, so the stop always lands mid-medium.
  writeMedium(20, true);
  engine.settings.askForNewPatientData = 1;
  prompts.patientQuestionDelay = std::chrono::milliseconds(50);
  StopControls duringStop;
  observer.onScan = [&](ScanEvent event, const ScanProgress&) {
    if (event != ScanEvent::FileCopied || engine.counters().scanFiles != 2) return;
    const size_t before = observer.scanControls.size();
    engine.StopScans();
    duringStop.assign(observer.scanControls.begin() + before, observer.scanControls.end());
  };
  const std::string jobFolder = engine.StartScan(work / "medium");
  ASSERT_TRUE(runUntilIdle(jobFolder));
  // Disabled and active while the stop waits, idle after it, disabled once the scan ended.
  EXPECT_EQ(duringStop, (StopControls{{StatusIcon::Active, false}, {StatusIcon::Idle, false}}));
  EXPECT_EQ(observer.scanControls.back(), (StopControl{StatusIcon::Idle, false}));
  EXPECT_EQ(engine.jobs()[0].status, "Stopped");
  EXPECT_EQ(engine.counters().scanFiles, 0);
  EXPECT_GE(engine.counters().scanErrors, 2);
  EXPECT_LT(engine.counters().scanErrors, 20);
  EXPECT_FALSE(exists(jobFolder));
  EXPECT_NE(engine.jobs()[0].log.find("stopped manually"), std::string::npos);
}

TEST_F(EngineTest, StoppingSendsBetweenFilesLeavesTheRestUnsent) {
  writeMedium(5);
  // The station takes a while over each file, so the stop lands between two files.
  StoreScpPeer peer(work / "received", {"--exec-on-reception", "sleep 0.3", "--exec-sync"});
  addStation("PACS", peer);
  engine.settings.standardDestination = 0;
  StopControls duringStop;
  observer.onSend = [&](SendEvent event, const SendProgress& progress) {
    if (event != SendEvent::FileSent || progress.filesSent != 1) return;
    const size_t before = observer.sendControls.size();
    engine.StopSends();
    duringStop.assign(observer.sendControls.begin() + before, observer.sendControls.end());
  };
  const std::string jobFolder = engine.StartScan(work / "medium");
  ASSERT_TRUE(runUntilIdle(jobFolder));

  ASSERT_EQ(observer.finishedSends.size(), 1u);
  const SendProgress& finished = observer.finishedSends[0];
  EXPECT_GE(finished.filesSent, 1);
  EXPECT_LT(finished.filesSent, 5);
  EXPECT_EQ(finished.filesSent + finished.filesRemaining, 5);
  EXPECT_EQ(filesIn(work / "received"), finished.filesSent);
  EXPECT_EQ(engine.counters().sendFiles, finished.filesSent);
  EXPECT_EQ(engine.counters().sendErrorsLabel, std::to_string(finished.filesRemaining));
  // The files left are not attempted, and errors: none goes uncounted.
  EXPECT_EQ(finished.filesNotAttempted, finished.filesRemaining);
  EXPECT_EQ(engine.counters().sendErrors, finished.filesRemaining);
  // Not every file arrived: kept to be sent again.
  EXPECT_EQ(engine.jobs()[0].status, "Failed");
  EXPECT_TRUE(exists(jobFolder));
  EXPECT_EQ(duringStop, (StopControls{{StatusIcon::Active, false}, {StatusIcon::Idle, false}}));
  EXPECT_EQ(observer.sendControls.back(), (StopControl{StatusIcon::Idle, false}));
}

TEST_F(EngineTest, AFailedAssociationCountsTheFilesItLeftUnsent) {
  writeMedium(3);
  engine.stations.Add({"DOWN", "NOBODY", "127.0.0.1", freeLoopbackPort()});
  engine.settings.standardDestination = 0;
  const std::string jobFolder = engine.StartScan(work / "medium");
  ASSERT_TRUE(runUntilIdle(jobFolder));
  EXPECT_EQ(prompts.retryQuestions, 1);
  EXPECT_EQ(engine.counters().sendErrors, 3);
  EXPECT_EQ(engine.counters().sendErrorsLabel, "3");
  EXPECT_EQ(engine.jobs()[0].status, "Failed");
}

TEST_F(EngineTest, TheFolderGoesOnlyAfterTheLastSendOfTheJob) {
  writeMedium(1);
  TempDir slowReceived;
  StoreScpPeer fast(work / "received");
  StoreScpPeer slow(slowReceived.path(), {"--sleep-during", "1"}, "SLOW");
  addStation("FAST", fast);
  addStation("SLOW", slow);
  engine.settings.standardDestination = 0;
  engine.settings.useForwardRules = 1;
  engine.rules.Add({0x10, 0x20, "P1", "SLOW"});

  std::vector<bool> folderExistedAtFinish;
  std::string jobFolder;
  observer.onSend = [&](SendEvent event, const SendProgress&) {
    if (event == SendEvent::SendFinished) folderExistedAtFinish.push_back(exists(jobFolder));
  };
  jobFolder = engine.StartScan(work / "medium");
  ASSERT_TRUE(runUntilIdle(jobFolder));
  EXPECT_EQ(folderExistedAtFinish, (std::vector<bool>{true, false}));
  EXPECT_EQ(filesIn(work / "received"), 1);
  EXPECT_EQ(filesIn(slowReceived.path()), 1);
}

TEST_F(EngineTest, ShutdownDoesNotWaitForAStalledPeer) {
  writeMedium(3);
  StoreScpPeer stalled(work / "received", {"--sleep-during", "60"});
  addStation("STALLED", stalled);
  engine.settings.standardDestination = 0;
  engine.settings.timeoutMs = 100000;
  bool sending = false;
  observer.onSend = [&](SendEvent event, const SendProgress&) {
    sending = sending || event == SendEvent::SendStarted;
  };
  const std::string jobFolder = engine.StartScan(work / "medium");
  ASSERT_TRUE(mainThread.runUntil([&] { return sending; }));

  const auto start = std::chrono::steady_clock::now();
  engine.Shutdown();
  // Far below the peer's stall and the network time-out: the send was aborted.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
  // Not delivered: kept to be sent again.
  EXPECT_EQ(filesIn(jobFolder), 4);  // three copies and the journal
}

// Each file the station did not store is one send error: never two, never none.
TEST_F(EngineTest, SendErrorsCountEachFileNotStoredOnce) {
  writeMedium(20);
  StoreScpPeer peer(work / "received", {"--abort-during"});
  addStation("PACS", peer);
  engine.settings.standardDestination = 0;
  const std::string jobFolder = engine.StartScan(work / "medium");
  ASSERT_TRUE(runUntilIdle(jobFolder));
  EXPECT_EQ(engine.counters().sendFiles, 0);
  EXPECT_EQ(engine.counters().sendErrors, 20);  // the store that failed and the 19 behind it
}

// Two stations that took a file in and stopped answering: one stop cuts both after a short
// grace, instead of waiting half a minute for each. The files in flight are told as stopped by
// us, and the job is kept to be sent again.
TEST_F(EngineTest, StoppingSendsToStalledStationsCutsThemAllAfterOneShortWait) {
  writeMedium(3);
  TempDir scratch;
  std::vector<std::string> arrived;
  std::vector<std::unique_ptr<StoreScpPeer>> stations;
  for (const char* name : {"FIRST", "SECOND"}) {
    arrived.push_back(scratch / name);
    fs::create_directories(scratch / (std::string(name) + "-received"));
    stations.push_back(std::make_unique<StoreScpPeer>(
        scratch / (std::string(name) + "-received"),
        std::vector<std::string>{"--exec-on-reception", "touch '" + arrived.back() + "'; sleep 300",
                                 "--exec-sync"},
        name));
    addStation(name, *stations.back());
  }
  engine.settings.sendToStandardDestination = 0;
  engine.settings.useForwardRules = 1;
  engine.rules.Add({0x10, 0x20, "P1", "FIRST"});
  engine.rules.Add({0x08, 0x60, "CT", "SECOND"});
  engine.settings.timeoutMs = 100000;
  engine.settings.verbose = 1;
  const std::string jobFolder = engine.StartScan(work / "medium");
  ASSERT_TRUE(mainThread.runUntil([&] { return exists(arrived[0]) && exists(arrived[1]); }));

  const auto start = std::chrono::steady_clock::now();
  engine.StopSends();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(15));
  ASSERT_TRUE(runUntilIdle(jobFolder));
  EXPECT_EQ(engine.jobs()[0].status, "Failed");
  EXPECT_EQ(filesIn(jobFolder), 4);  // three copies and the journal
  const std::string& log = engine.jobs()[0].log;
  for (const char* name : {"FIRST", "SECOND"})
    EXPECT_NE(log.find("' not sended to " + std::string(name) + " [Sending stopped]"),
              std::string::npos)
        << log;
}

// Until the anonymization dialog is confirmed the first ID is empty: it must not blank the
// first patient's ID, nor make the second "2".
TEST_F(EngineTest, AnonymizationWithoutAConfiguredIdStartsAtTheDefaultId) {
  writeMedium(2, true);
  engine.setSendAfterScan(false);
  engine.settings.anonymize = 1;
  engine.settings.anonymizePatientId = 1;
  ASSERT_EQ(engine.settings.anonymizedPatientId, "");
  const std::string jobFolder = engine.StartScan(work / "medium");
  ASSERT_TRUE(runUntilIdle(jobFolder));
  std::vector<std::string> ids;
  for (const auto& entry : fs::directory_iterator(jobFolder)) {
    if (entry.path().filename().string()[0] == '.') continue;
    DcmFileFormat file;
    ASSERT_TRUE(file.loadFile(entry.path().c_str()).good());
    OFString id;
    file.getDataset()->findAndGetOFString(DCM_PatientID, id);
    ids.push_back(id.c_str());
  }
  std::sort(ids.begin(), ids.end());
  EXPECT_EQ(ids, (std::vector<std::string>{"00000001", "00000002"}));
  EXPECT_EQ(engine.jobs()[0].log.find("WARNING"), std::string::npos);
}

TEST_F(EngineTest, AnonymizationWithNoFieldChosenSaysSoAtTheStart) {
  writeMedium(1);
  engine.setSendAfterScan(false);
  engine.settings.anonymize = 1;
  const std::string jobFolder = engine.StartScan(work / "medium");
  ASSERT_TRUE(runUntilIdle(jobFolder));
  EXPECT_EQ(engine.jobs()[0].log,
            "Start to scan media " + work / "medium" +
                "\r\nWARNING: Anonymization is on, but no field is chosen to anonymize: nothing "
                "is replaced.\r\n");
}

// The window's stop does not wait: the request returns while the stalled send still runs,
// the controls say a stop is under way, and the stop completes on the send's last report.
TEST_F(EngineTest, ARequestedStopReturnsAtOnceAndCompletesOnTheLastReport) {
  writeMedium(3);
  TempDir scratch;
  const std::string arrived = scratch / "arrived";
  StoreScpPeer peer(work / "received",
                    {"--exec-on-reception", "touch '" + arrived + "'; sleep 300", "--exec-sync"});
  addStation("PACS", peer);
  engine.settings.standardDestination = 0;
  engine.settings.timeoutMs = 100000;
  const std::string jobFolder = engine.StartScan(work / "medium");
  ASSERT_TRUE(mainThread.runUntil([&] { return exists(arrived); }));

  engine.RequestStopSends();
  EXPECT_TRUE(engine.isJobActive(jobFolder));
  EXPECT_TRUE(engine.sendStopping());
  EXPECT_EQ(observer.sendControls.back(), (StopControl{StatusIcon::Active, false}));
  engine.AbortStoppingSends();
  ASSERT_TRUE(mainThread.runUntil([&] { return !engine.sendStopping(); }));
  EXPECT_FALSE(engine.isJobActive(jobFolder));
  EXPECT_EQ(observer.sendControls.back(), (StopControl{StatusIcon::Idle, false}));
  EXPECT_EQ(engine.jobs()[0].status, "Failed");
  EXPECT_EQ(filesIn(jobFolder), 4);  // three copies and the journal

  // With nothing running a request changes nothing.
  const size_t reports = observer.sendControls.size();
  engine.RequestStopSends();
  engine.RequestStopScans();
  EXPECT_FALSE(engine.sendStopping() || engine.scanStopping());
  EXPECT_EQ(observer.sendControls.size(), reports);
}

TEST_F(EngineTest, ARequestedScanStopEndsTheScanWithoutWaitingForIt) {
  writeMedium(20, true);
  engine.settings.askForNewPatientData = 1;
  prompts.patientQuestionDelay = std::chrono::milliseconds(50);
  bool stopping = false;
  observer.onScan = [&](ScanEvent event, const ScanProgress&) {
    if (event != ScanEvent::FileCopied || engine.counters().scanFiles != 2) return;
    engine.RequestStopScans();
    stopping = engine.scanStopping();
    EXPECT_EQ(observer.scanControls.back(), (StopControl{StatusIcon::Active, false}));
  };
  const std::string jobFolder = engine.StartScan(work / "medium");
  ASSERT_TRUE(runUntilIdle(jobFolder));
  EXPECT_TRUE(stopping);
  EXPECT_FALSE(engine.scanStopping());
  EXPECT_EQ(observer.scanControls.back(), (StopControl{StatusIcon::Idle, false}));
  EXPECT_EQ(engine.jobs()[0].status, "Stopped");
  EXPECT_FALSE(exists(jobFolder));
}
