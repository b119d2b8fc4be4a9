#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>

#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmnet/dimse.h>

#include "CompressedFixtures.h"
#include "DicomFixtures.h"
#include "SendJobHarness.h"
#include "StatusStation.h"
#include "StoreScpPeer.h"
#include "TempDir.h"
#include "config/AppSettings.h"
#include "dicom/CopyIdentity.h"
#include "net/CodecRegistration.h"
#include "net/FileTransfer.h"
#include "net/RejectReason.h"
#include "net/StationEcho.h"
#include "net/StoreResponseStatus.h"
#include "net/StoreScu.h"

namespace fs = std::filesystem;

namespace {

using Events = std::vector<SendEvent>;
using Texts = std::vector<std::string>;

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

std::unique_ptr<DcmFileFormat> load(const std::string& path) {
  auto file = std::make_unique<DcmFileFormat>();
  EXPECT_TRUE(file->loadFile(path.c_str()).good()) << path;
  return file;
}

std::string sopInstanceOf(const std::string& path) {
  OFString uid;
  load(path)->getDataset()->findAndGetOFString(DCM_SOPInstanceUID, uid);
  return uid.c_str();
}

// The data set alone, written in one fixed encoding, so files can be compared as bytes.
std::string datasetBytes(const std::string& path, const TempDir& scratch) {
  const std::string out = scratch / "dataset.bin";
  EXPECT_TRUE(load(path)->getDataset()->saveFile(out.c_str(), EXS_LittleEndianExplicit).good());
  return readFileBytes(out);
}

std::vector<std::string> filesIn(const std::string& folder) {
  std::vector<std::string> files;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.is_regular_file()) files.push_back(entry.path().string());
  }
  return files;
}

std::string receivedFileWithInstance(const std::string& folder, const std::string& sopInstance) {
  for (const std::string& file : filesIn(folder)) {
    if (sopInstanceOf(file) == sopInstance) return file;
  }
  return {};
}

std::vector<std::string> writeImages(const TempDir& job, int count) {
  std::vector<std::string> paths;
  for (int i = 0; i < count; ++i) {
    FixtureImage image;
    if (i % 2 == 1) image.sopClassUid = "1.2.840.10008.5.1.4.1.1.4";  // MR
    paths.push_back(job / ("IM" + std::to_string(i)));
    writeFixtureImage(paths.back(), image);
  }
  return paths;
}

}  // namespace

class NormalSend : public ::testing::TestWithParam<int> {};

TEST_P(NormalSend, EveryFileArrivesWithItsDataSetUnchanged) {
  TempDir job, received, scratch;
  const std::vector<std::string> images = writeImages(job, 3);
  StoreScpPeer peer(received.path());
  SendParams params = loopbackParams(job.path(), peer.port());
  params.proposeOnlyRequired = GetParam();
  ScriptedPrompts prompts;

  const SendRun run = runSendJob(params, prompts);

  EXPECT_EQ(run.events().front(), SendStarted);
  EXPECT_EQ(run.count(FileSent), 3);
  EXPECT_EQ(run.count(FileFailed) + run.count(SendFailed) + run.count(SendNotice), 0);
  EXPECT_EQ(run.last().filesSent, 3);
  EXPECT_EQ(run.last().filesRemaining, 0);
  EXPECT_EQ(run.last().destination, "STORESCP");
  EXPECT_EQ(run.last().jobFolder, job.path());
  EXPECT_TRUE(run.last().condition.good());
  for (const std::string& image : images) {
    const std::string copy = receivedFileWithInstance(received.path(), sopInstanceOf(image));
    ASSERT_FALSE(copy.empty()) << image << " did not arrive";
    EXPECT_EQ(datasetBytes(copy, scratch), datasetBytes(image, scratch)) << image;
  }
}

INSTANTIATE_TEST_SUITE_P(BothProposalModes, NormalSend, ::testing::Values(0, 1));

// A file that is not DICOM fails at loading when everything is proposed; with only the
// required contexts it is left out when the folder is read.
TEST(StoreScu, NonDicomFileFailsOrIsSkippedByProposalMode) {
  TempDir job, received;
  writeFixtureImage(job / "IM1");
  writeFileBytes(job / "README.TXT", "not an image");
  StoreScpPeer peer(received.path());
  ScriptedPrompts prompts;

  SendParams all = loopbackParams(job.path(), peer.port());
  const SendRun proposeAll = runSendJob(all, prompts);
  EXPECT_EQ(proposeAll.count(FileSent), 1);
  ASSERT_EQ(proposeAll.count(FileFailed), 1);
  EXPECT_EQ(proposeAll.last().filesRemaining, 1);

  SendParams required = all;
  required.proposeOnlyRequired = 1;
  const SendRun proposeRequired = runSendJob(required, prompts);
  EXPECT_EQ(proposeRequired.count(FileSent), 1);
  EXPECT_EQ(proposeRequired.count(FileFailed), 0);
  EXPECT_EQ(proposeRequired.messages(SendNotice),
            (Texts{"Missing SOP class (or instance) in file"}));
  EXPECT_EQ(proposeRequired.last().filesRemaining, 0);
}

// Only the folder's own regular files go: a link (to a file outside, to a root-only file, to a
// device) is never followed, whoever runs the send; each is named and counted as not sent,
// as a pipe is. The file that was stored is reported as it was read.
TEST(StoreScu, LinksInTheFolderAreNamedAndCountedNeverFollowed) {
  TempDir job, outside, received;
  writeFixtureImage(job / "IM1");
  writeFixtureImage(outside / "SECRET");
  fs::create_symlink(outside / "SECRET", job / "outside");
  fs::create_symlink("/etc/shadow", job / "shadow");
  fs::create_symlink("/dev/zero", job / "zero");
  ASSERT_EQ(mkfifo((job / "pipe").c_str(), 0600), 0);
  fs::create_directories(job / "sub");
  writeFixtureImage(job / "sub/IM2");
  StoreScpPeer peer(received.path());
  ScriptedPrompts prompts;

  const SendRun run = runSendJob(loopbackParams(job.path(), peer.port()), prompts);
  ASSERT_TRUE(run.finished());
  EXPECT_EQ(filesIn(received.path()).size(), 1u);
  EXPECT_EQ(run.count(FileSent), 1);
  EXPECT_EQ(run.last().filesNotAttempted, 4);
  Texts notices = run.messages(SendNotice);
  std::sort(notices.begin(), notices.end());
  EXPECT_EQ(notices, (Texts{"'" + (job / "outside") + "' not sent: a symbolic link, not followed",
                            "'" + (job / "pipe") + "' not sent: not a regular file",
                            "'" + (job / "shadow") + "' not sent: a symbolic link, not followed",
                            "'" + (job / "zero") + "' not sent: a symbolic link, not followed"}));
  const auto sent = std::find_if(run.reports.begin(), run.reports.end(),
                                 [](const SendProgress& p) { return p.event == FileSent; });
  ASSERT_NE(sent, run.reports.end());
  EXPECT_EQ(sent->sentIdentity, readCopyIdentity(job / "IM1"));
  EXPECT_TRUE(sent->sentIdentity.known());
}

TEST(StoreScu, ARejectionIsToldInTheStandardsWords) {
  const std::pair<int, const char*> cases[] = {
      {0x101, "no reason given"},
      {0x102, "application context name not supported"},
      {0x103, "calling AE title not recognized"},
      {0x107, "called AE title not recognized"},
      {0x201, "no reason given"},
      {0x202, "protocol version not supported"},
      {0x301, "temporary congestion"},
      {0x302, "local limit exceeded"},
      {0x104, "unknown reason"},
      {0, "unknown reason"},
  };
  for (const auto& [reason, words] : cases) EXPECT_EQ(rejectReasonText(reason), words) << reason;
}

TEST(StoreScu, RefusedAssociationIsReportedWithItsReasonAndTornDown) {
  TempDir job, received;
  writeFixtureImage(job / "IM1");
  StoreScpPeer peer(received.path(), {"--refuse"});
  ScriptedPrompts prompts;

  const SendRun run = runSendJob(loopbackParams(job.path(), peer.port()), prompts);

  EXPECT_EQ(run.events(), (Events{SendStarted, SendFailed, SendNotice, SendNotice, SendFinished}));
  // storescp refuses as the service user without a reason: source 1, diagnostic 1.
  EXPECT_EQ(run.messages(SendFailed),
            (Texts{"Peer rejected association (reason: 257, no reason given)"}));
  EXPECT_EQ(run.messages(SendNotice), (Texts{"DICOM send job failed", "Association Abort Failed"}));
  EXPECT_TRUE(prompts.retryQuestions.empty());
  EXPECT_EQ(run.last().filesRemaining, 1);
}

// A station that accepts only what its profile lists: "NoStorage" (verification alone) or
// "OnlyCT" (CT images alone).
std::vector<std::string> stationProfile(const TempDir& scratch, const std::string& profile) {
  const std::string config = scratch / "station.cfg";
  writeFileBytes(config,
                 "[[TransferSyntaxes]]\n"
                 "[Uncompressed]\n"
                 "TransferSyntax1 = LocalEndianExplicit\n"
                 "TransferSyntax2 = OppositeEndianExplicit\n"
                 "TransferSyntax3 = LittleEndianImplicit\n"
                 "[[PresentationContexts]]\n"
                 "[VerificationOnly]\n"
                 "PresentationContext1 = VerificationSOPClass\\Uncompressed\n"
                 "[CTOnly]\n"
                 "PresentationContext1 = CTImageStorage\\Uncompressed\n"
                 "[[Profiles]]\n"
                 "[NoStorage]\n"
                 "PresentationContexts = VerificationOnly\n"
                 "[OnlyCT]\n"
                 "PresentationContexts = CTOnly\n");
  return {"--config-file", config, profile};
}

TEST(StoreScu, NoAcceptedContextReleasesTheAssociationInOrder) {
  TempDir job, received, scratch;
  writeImages(job, 2);
  StoreScpPeer peer(received.path(), stationProfile(scratch, "NoStorage"));
  ScriptedPrompts prompts;

  const SendRun run = runSendJob(loopbackParams(job.path(), peer.port()), prompts);

  EXPECT_EQ(run.events(), (Events{SendStarted, SendFailed, SendFinished}));
  EXPECT_EQ(run.messages(SendFailed),
            (Texts{"No acceptable presentation contexts, release association."}));
  EXPECT_TRUE(run.last().condition.good()) << run.last().condition.text();
  EXPECT_EQ(run.last().filesRemaining, 2);
}

// The MR image has no context at this station: it fails, the CT image goes.
TEST(StoreScu, FileWithoutAContextForItsClassFailsAndTheRestGoes) {
  TempDir job, received, scratch;
  writeImages(job, 2);  // IM0 CT, IM1 MR
  StoreScpPeer peer(received.path(), stationProfile(scratch, "OnlyCT"));
  ScriptedPrompts prompts;

  const SendRun run = runSendJob(loopbackParams(job.path(), peer.port()), prompts);

  EXPECT_EQ(run.messages(SendNotice), (Texts{"No presentation context for 'MR'"}));
  ASSERT_EQ(run.count(FileFailed), 1);
  EXPECT_EQ(run.messages(FileFailed).front(),
            OFCondition(DIMSE_NOVALIDPRESENTATIONCONTEXTID).text());
  EXPECT_EQ(run.count(FileSent), 1);
  EXPECT_EQ(filesIn(received.path()).size(), 1u);
  EXPECT_EQ(run.last().filesRemaining, 1);
}

TEST(StoreScu, ClosedPortAsksToRetryAndNoGivesUp) {
  TempDir job;
  writeFixtureImage(job / "IM1");
  ScriptedPrompts prompts;
  prompts.retryAnswers = {false};

  const SendRun run =
      runSendJob(loopbackParams(job.path(), freeLoopbackPort(), "ARCHIVE"), prompts);

  ASSERT_EQ(prompts.retryQuestions.size(), 1u);
  EXPECT_EQ(prompts.retryQuestions[0].calledAeTitle, "ARCHIVE");
  EXPECT_EQ(prompts.retryQuestions[0].text,
            "DICOM ERROR: The Request of the association to 'ARCHIVE' failed.\nPerhaps the "
            "destination is not reachable at the moment. Do you want to retry?");
  EXPECT_EQ(run.messages(SendFailed), (Texts{"Request of association failed"}));
  EXPECT_EQ(run.count(FileSent) + run.count(FileFailed), 0);
  EXPECT_EQ(run.last().filesRemaining, 1);
}

TEST(StoreScu, RetryAfterTheStationComesUpGoesOnToSend) {
  TempDir job, received;
  writeFixtureImage(job / "IM1");
  const int port = freeLoopbackPort();
  std::unique_ptr<StoreScpPeer> peer;
  ScriptedPrompts prompts;
  prompts.retryAnswers = {true};
  prompts.beforeRetryAnswer = [&] {
    if (!peer)
      peer = std::make_unique<StoreScpPeer>(received.path(), std::vector<std::string>{}, "STORESCP",
                                            port);
  };

  const SendRun run = runSendJob(loopbackParams(job.path(), port), prompts);

  EXPECT_EQ(prompts.retryQuestions.size(), 1u);
  EXPECT_EQ(run.count(SendFailed), 0);
  EXPECT_EQ(run.count(FileSent), 1);
  EXPECT_EQ(filesIn(received.path()).size(), 1u);
}

// storescp aborts on the first store it receives; the files behind it are not tried.
TEST(StoreScu, PeerAbortDuringStoreEndsTheJob) {
  TempDir job, received;
  writeImages(job, 5);
  StoreScpPeer peer(received.path(), {"--abort-during"});
  ScriptedPrompts prompts;

  const SendRun run = runSendJob(loopbackParams(job.path(), peer.port()), prompts);

  EXPECT_EQ(run.events(), (Events{SendStarted, FileFailed, SendFailed, SendFinished}));
  EXPECT_EQ(run.messages(SendFailed), (Texts{"Peer aborted association"}));
  EXPECT_EQ(run.last().filesSent, 0);
  EXPECT_EQ(run.last().filesRemaining, 5);
}

// The station goes away after it stored the second of five files: the third fails.
TEST(StoreScu, PeerGoneDuringTheThirdFileEndsTheJob) {
  TempDir job, received;
  // Images larger than the socket buffers: the third store meets the dead station while
  // writing, not only when it waits for the answer.
  for (int i = 0; i < 5; ++i) {
    FixtureImage image;
    image.rows = image.columns = 1500;
    writeFixtureImage(job / ("IM" + std::to_string(i)), image);
  }
  const std::string dieOnThird =
      "[ $(ls '" + received.path() + "' | wc -l) -ge 2 ] && kill -9 $PPID";
  StoreScpPeer peer(received.path(), {"--exec-on-reception", dieOnThird, "--exec-sync"});
  ScriptedPrompts prompts;

  const SendRun run = runSendJob(loopbackParams(job.path(), peer.port()), prompts);

  EXPECT_EQ(run.events(),
            (Events{SendStarted, FileSent, FileSent, FileFailed, SendFailed, SendFinished}));
  EXPECT_EQ(run.messages(SendFailed), (Texts{"Peer aborted association"}));
  EXPECT_EQ(run.last().filesSent, 2);
  EXPECT_EQ(run.last().filesRemaining, 3);
}

TEST(StoreScu, FailureStatusFromTheStationIsAFailedFile) {
  TempDir job, scratch;
  writeImages(job, 2);
  const std::string output = scratch / "out";
  fs::create_directory(output);
  StoreScpPeer peer(output);
  fs::remove(output);  // the station can no longer store anything
  ScriptedPrompts prompts;

  const SendRun run = runSendJob(loopbackParams(job.path(), peer.port()), prompts);

  ASSERT_EQ(run.count(FileFailed), 2);
  EXPECT_EQ(run.count(FileSent), 0);
  for (const std::string& message : run.messages(FileFailed)) {
    EXPECT_TRUE(contains(message, "status 0xA700")) << message;
  }
  EXPECT_EQ(run.last().filesSent, 0);
  EXPECT_EQ(run.last().filesRemaining, 2);
}

// A station that stores a file but warns (data coerced, elements dropped) has the file: it
// counts as sent, the warning goes with its report, and nothing is left for a resend. A
// refusal is a failed file.
TEST(StoreScu, WarningStatusesCountAsSentAndRefusalsAsFailed) {
  const struct {
    Uint16 status;
    bool stored;
  } cases[] = {{0xB000, true}, {0xB006, true}, {0xB007, true}, {0xC000, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(describeStoreStatus(c.status));
    TempDir job;
    const std::vector<std::string> images = writeImages(job, 2);
    StatusStation station(c.status);
    ScriptedPrompts prompts;

    const SendRun run = runSendJob(loopbackParams(job.path(), station.port()), prompts);

    EXPECT_EQ(station.receivedInstances().size(), 2u);
    EXPECT_EQ(run.count(FileSent), c.stored ? 2 : 0);
    EXPECT_EQ(run.count(FileFailed), c.stored ? 0 : 2);
    EXPECT_EQ(run.last().filesSent, c.stored ? 2 : 0);
    EXPECT_EQ(run.last().filesRemaining, c.stored ? 0 : 2);
    for (const SendProgress& report : run.reports) {
      if (report.event == FileSent) {
        EXPECT_EQ(report.warning, "Stored with warning " + describeStoreStatus(c.status));
      }
    }
    for (const std::string& message : run.messages(FileFailed))
      EXPECT_TRUE(contains(message, "status 0xC000")) << message;
  }
}

namespace {

// The default settings, as a send job of the application gets them.
SendParams defaultParams(const std::string& jobFolder, int port) {
  return makeSendParams(AppSettings(), "STORESCP", "127.0.0.1", port, jobFolder);
}

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

// The time-out tests wait on purpose; each is a test case of its own, run beside the rest.
TEST(StoreScuTimeout, StationThatStopsAnsweringFailsTheJobWithinAMinute) {
  TempDir job, received;
  writeImages(job, 3);
  StoreScpPeer peer(received.path(), {"--sleep-during", "600"});
  ScriptedPrompts prompts;

  const auto start = std::chrono::steady_clock::now();
  const SendRun run = runSendJob(defaultParams(job.path(), peer.port()), prompts);

  EXPECT_LT(secondsSince(start), 75);
  ASSERT_EQ(run.count(FileFailed), 1);
  EXPECT_TRUE(contains(run.messages(FileFailed).front(), "timeout"))
      << run.messages(FileFailed).front();
  EXPECT_EQ(run.count(FileSent), 0);
  EXPECT_EQ(run.messages(SendNotice).front(), "DICOM send job failed");
  EXPECT_EQ(run.last().filesRemaining, 3);
}

// storescp sleeps three times while it takes a small file: 3 x 10 s before it answers.
TEST(StoreScuTimeout, StationThatTakesHalfAMinuteToAnswerStillGetsTheFile) {
  TempDir job, received;
  writeImages(job, 1);
  StoreScpPeer peer(received.path(), {"--sleep-during", "10"});
  ScriptedPrompts prompts;

  const auto start = std::chrono::steady_clock::now();
  const SendRun run = runSendJob(defaultParams(job.path(), peer.port()), prompts);

  EXPECT_GE(secondsSince(start), 29);
  EXPECT_EQ(run.count(FileSent), 1);
  EXPECT_EQ(run.count(FileFailed) + run.count(SendFailed), 0);
  EXPECT_EQ(filesIn(received.path()).size(), 1u);
}

// A station that takes the connection and never answers: the association request gives up
// after the time-out of the settings (1000 ms), as the C-ECHO does.
TEST(StoreScuTimeout, SilentStationFailsTheRequestAfterTheTimeout) {
  TempDir job;
  writeFixtureImage(job / "IM1");
  SilentStation station;
  ScriptedPrompts prompts;  // answers No

  auto start = std::chrono::steady_clock::now();
  const SendRun run = runSendJob(defaultParams(job.path(), station.port()), prompts);
  EXPECT_LT(secondsSince(start), 10);
  EXPECT_EQ(prompts.retryQuestions.size(), 1u);
  EXPECT_EQ(run.messages(SendFailed), (Texts{"Request of association failed"}));

  start = std::chrono::steady_clock::now();
  const EchoResult echo =
      echoStation("KALVORA", "STORESCP", "127.0.0.1", station.port(), 1000, 16384);
  EXPECT_LT(secondsSince(start), 10);
  EXPECT_FALSE(echo.ok);
}

// Shutdown with a stalled station: the abort frees the worker long before the time-out. The
// file in flight fails as stopped by us, not as lost by the station.
TEST(StoreScu, AbortFromAnotherThreadEndsAStalledStore) {
  TempDir job, received, scratch;
  writeImages(job, 3);
  const std::string arrived = scratch / "arrived";
  StoreScpPeer peer(received.path(),
                    {"--exec-on-reception", "touch '" + arrived + "'; sleep 300", "--exec-sync"});
  ScriptedPrompts prompts;

  const auto start = std::chrono::steady_clock::now();
  const SendRun run =
      runSendJob(loopbackParams(job.path(), peer.port()), prompts, {}, [&](StoreScu& job) {
        // The station took a file in and stopped answering: a store is in flight now.
        while (!fs::exists(arrived) && secondsSince(start) < 60)
          std::this_thread::sleep_for(std::chrono::milliseconds(20));
        job.abort();
      });

  EXPECT_TRUE(run.finished());
  EXPECT_LT(secondsSince(start), 30);
  EXPECT_LE(run.count(FileSent), 1);
  EXPECT_EQ(run.messages(FileFailed), (Texts{"Sending stopped"}));
  EXPECT_TRUE(prompts.retryQuestions.empty());
  // Our own cut is told as ours, never as the station's.
  EXPECT_EQ(run.messages(SendFailed), (Texts{"Association aborted: sending was stopped"}));
  EXPECT_TRUE(run.last().stopped);
  EXPECT_EQ(run.last().filesFailed, 1);
  EXPECT_EQ(run.last().filesSent + run.last().filesNotAttempted, 2);
  for (const FileTransfer& transfer : run.last().transfers) {
    if (transfer.outcome != FileTransfer::Outcome::Stored) {
      EXPECT_EQ(transfer.reason, "Sending stopped") << transfer.path;
    }
  }
}

TEST(StoreScu, CompressedFilesAreConvertedAndStored) {
  TempDir job, received;
  const std::string jpeg = job / "JPEG";
  const std::string jpegLs = job / "JPEGLS";
  const std::string jpegUid = writeCompressedImage(jpeg, EXS_JPEGProcess1);
  const std::string jpegLsUid = writeCompressedImage(jpegLs, EXS_JPEGLSLossless);
  StoreScpPeer peer(received.path());
  ScriptedPrompts prompts;

  const SendRun run = runSendJob(loopbackParams(job.path(), peer.port()), prompts);

  Texts converted = run.messages(FileConverted);
  std::sort(converted.begin(), converted.end());
  EXPECT_EQ(converted, (Texts{jpeg + " converted [JPEGBaseline -> 'LittleEndianImplicit']",
                              jpegLs + " converted [JPEGLSLossless -> 'LittleEndianImplicit']"}));
  EXPECT_EQ(run.count(FileSent), 2);
  EXPECT_EQ(run.count(FileFailed), 0);
  const std::vector<std::string> arrived = filesIn(received.path());
  ASSERT_EQ(arrived.size(), 2u);
  Texts arrivedUids;
  for (const std::string& file : arrived) {
    auto loaded = load(file);
    EXPECT_FALSE(DcmXfer(loaded->getDataset()->getOriginalXfer()).isEncapsulated()) << file;
    arrivedUids.push_back(sopInstanceOf(file));
  }
  // Decompression makes no new instance.
  std::sort(arrivedUids.begin(), arrivedUids.end());
  Texts sentUids = {jpegUid, jpegLsUid};
  std::sort(sentUids.begin(), sentUids.end());
  EXPECT_EQ(arrivedUids, sentUids);
  EXPECT_EQ(CodecRegistration::holders(), 0);
}

// With compressed transfer allowed, the file's own syntax is proposed: a station that takes
// it gets the file as it is, one that does not gets it decompressed.
TEST(StoreScu, CompressedFileGoesAsItIsWhereTakenWhenConversionIsOff) {
  const struct {
    std::vector<std::string> peerArgs;
    E_TransferSyntax arrives;
    int converted;
  } cases[] = {
      {{"+xa"}, EXS_JPEGProcess1, 0},
      {{}, EXS_LittleEndianExplicit, 1},
  };
  for (const auto& c : cases) {
    TempDir job, received;
    const std::string uid = writeCompressedImage(job / "JPEG", EXS_JPEGProcess1);
    StoreScpPeer peer(received.path(), c.peerArgs);
    SendParams params = loopbackParams(job.path(), peer.port());
    params.convertCompressed = 0;
    ScriptedPrompts prompts;

    const SendRun run = runSendJob(params, prompts);

    EXPECT_EQ(run.count(FileConverted), c.converted);
    EXPECT_EQ(run.count(FileSent), 1);
    const std::vector<std::string> arrived = filesIn(received.path());
    ASSERT_EQ(arrived.size(), 1u);
    EXPECT_EQ(load(arrived[0])->getDataset()->getOriginalXfer(), c.arrives);
    EXPECT_EQ(sopInstanceOf(arrived[0]), uid);
  }
}

// A stream no decoder can read is not lost with conversion on: its own syntax is proposed as
// well, and it goes as it is where the station took that syntax.
TEST(StoreScu, AStreamThatCannotBeDecodedGoesInItsOwnSyntaxWhereTaken) {
  TempDir fixtures;
  std::string source;
  for (const EncodedFixture& fixture : writeEncodedFixtures(fixtures.path()))
    if (fixture.name == "J2K_LOSSLESS_GREY16") source = fixture.path;
  ASSERT_FALSE(source.empty());
  // The codestream's image header (SIZ) is wiped: the DICOM file stays whole.
  std::string bytes = readFileBytes(source);
  const std::size_t soc = bytes.find(std::string("\xFF\x4F\xFF\x51", 4));
  ASSERT_NE(soc, std::string::npos);
  std::fill(bytes.begin() + soc + 4, bytes.begin() + soc + 40, '\0');

  const struct {
    std::vector<std::string> peerArgs;
    int sent;
  } cases[] = {{{"+xa"}, 1}, {{}, 0}};
  for (const auto& c : cases) {
    TempDir job, received;
    writeFileBytes(job / "J2K", bytes);
    const std::string uid = sopInstanceOf(job / "J2K");
    StoreScpPeer peer(received.path(), c.peerArgs);
    ScriptedPrompts prompts;

    const SendRun run = runSendJob(loopbackParams(job.path(), peer.port()), prompts);

    const Texts notices = run.messages(SendNotice);
    ASSERT_FALSE(notices.empty());
    EXPECT_NE(notices[0].find(": Error in conversion JPEG2000LosslessOnly -> "
                              "'LittleEndianImplicit' ["),
              std::string::npos)
        << notices[0];
    EXPECT_EQ(run.count(FileSent), c.sent);
    const std::vector<std::string> arrived = filesIn(received.path());
    ASSERT_EQ(arrived.size(), static_cast<std::size_t>(c.sent));
    if (c.sent == 1) {
      EXPECT_EQ(load(arrived[0])->getDataset()->getOriginalXfer(), EXS_JPEG2000LosslessOnly);
      EXPECT_EQ(sopInstanceOf(arrived[0]), uid);
    }
  }
}

// UIDs padded with a space instead of a null byte, as some writers do.
void writeSpacePaddedUidImage(const std::string& path, const std::string& sopInstanceUid) {
  FixtureImage image;  // both UIDs of odd length, so each gets one padding byte
  image.sopInstanceUid = sopInstanceUid;
  writeFixtureImage(path, image);
  std::string bytes = readFileBytes(path);
  for (const std::string& uid : {image.sopClassUid, sopInstanceUid}) {
    const std::string nullPadded = uid + std::string(1, '\0');
    for (size_t at = bytes.find(nullPadded); at != std::string::npos;
         at = bytes.find(nullPadded, at + 1)) {
      bytes[at + uid.size()] = ' ';
    }
  }
  writeFileBytes(path, bytes);
}

// DCMTK 3.6.7 drops the padding space when it reads a UID, so the file goes with clean UIDs
// whatever the setting, and a station that does not tolerate padding takes it.
class UidPadding : public ::testing::TestWithParam<int> {};

TEST_P(UidPadding, SpacePaddedUidsAreSentClean) {
  TempDir job, received;
  const std::string sopInstanceUid = "1.2.826.0.1.3680043.2.1143.123456";
  writeSpacePaddedUidImage(job / "IM1", sopInstanceUid);
  StoreScpPeer peer(received.path());
  SendParams params = loopbackParams(job.path(), peer.port());
  params.correctUidPadding = GetParam();
  params.proposeOnlyRequired = 1;
  ScriptedPrompts prompts;

  const SendRun run = runSendJob(params, prompts);

  EXPECT_EQ(run.count(FileSent), 1);
  EXPECT_FALSE(receivedFileWithInstance(received.path(), sopInstanceUid).empty());
}

INSTANTIATE_TEST_SUITE_P(BothSettings, UidPadding, ::testing::Values(0, 1));

struct EarlyEndCase {
  std::string name;
  std::string folder;  // relative to a temporary folder; "-" for an empty string
  bool makeFolder;
  bool makeSubfolder;
  SendEvent event;
  std::string message;
};

void PrintTo(const EarlyEndCase& c, std::ostream* out) { *out << c.name; }

class EarlyEnd : public ::testing::TestWithParam<EarlyEndCase> {};

TEST_P(EarlyEnd, EndsWithoutNetworkTraffic) {
  const EarlyEndCase& c = GetParam();
  TempDir root;
  const std::string folder = c.folder == "-" ? "" : root / c.folder;
  if (c.makeFolder) fs::create_directory(folder);
  if (c.makeSubfolder) fs::create_directory(folder + "/SUB");
  ScriptedPrompts prompts;  // a question would mean a connection attempt

  const SendRun run = runSendJob(loopbackParams(folder, freeLoopbackPort()), prompts);

  EXPECT_EQ(run.events(), (Events{SendStarted, c.event, SendFinished}));
  EXPECT_EQ(run.reports[1].message, c.message);
  EXPECT_TRUE(prompts.retryQuestions.empty());
  EXPECT_EQ(CodecRegistration::holders(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Folders, EarlyEnd,
    ::testing::Values(
        EarlyEndCase{"Empty", "job", true, false, SendNotice, "No files found."},
        EarlyEndCase{"OnlySubfolders", "job", true, true, SendNotice, "No files found."},
        EarlyEndCase{"Missing", "missing", false, false, SendFailed,
                     "Parameter 'Path' contains no files"},
        EarlyEndCase{"EmptyName", "-", false, false, SendFailed, "Parameter 'Path' is empty"}),
    [](const auto& info) { return info.param.name; });

TEST(StoreScu, StopWaitingAtTheStartEndsAtOnce) {
  TempDir job;
  writeFixtureImage(job / "IM1");
  ScriptedPrompts prompts;

  const SendRun run = runSendJob(loopbackParams(job.path(), freeLoopbackPort()), prompts,
                                 [](StoreScu& job) { job.requestStop(); });

  EXPECT_EQ(run.events(), (Events{SendStarted, SendFinished}));
}

// Whatever the station does, every file of the folder ends sent, failed or not attempted,
// each counted once: the failed ones by their own report, the others at the end.
TEST(StoreScu, EveryFileIsSentFailedOrNotAttemptedWhateverTheStationDoes) {
  struct Case {
    const char* name;
    std::vector<std::string> peerOptions;  // empty name: nobody listens
    int sent;
  };
  const Case cases[] = {
      {"stores everything", {}, 5},
      {"aborts during the first store", {"--abort-during"}, 0},
      {"aborts before its first answer", {"--abort-after"}, 0},
      {"rejects the association", {"--refuse"}, 0},
      {"is not there", {"none"}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir job, received;
    writeImages(job, 5);
    std::unique_ptr<StoreScpPeer> peer;
    int port = freeLoopbackPort();
    if (c.peerOptions.empty() || c.peerOptions[0] != "none") {
      peer = std::make_unique<StoreScpPeer>(received.path(), c.peerOptions);
      port = peer->port();
    }
    ScriptedPrompts prompts;

    const SendRun run = runSendJob(loopbackParams(job.path(), port), prompts);

    ASSERT_TRUE(run.finished());
    const SendProgress& last = run.last();
    EXPECT_EQ(last.filesSent, c.sent);
    EXPECT_EQ(last.filesSent + last.filesFailed + last.filesNotAttempted, 5);
    EXPECT_EQ(run.count(FileFailed), last.filesFailed);
    EXPECT_EQ(run.count(FileSent), last.filesSent);
    ASSERT_EQ(last.transfers.size(), 5u);
    EXPECT_EQ(countTransfers(last.transfers, FileTransfer::Outcome::Stored), last.filesSent);
    EXPECT_EQ(countTransfers(last.transfers, FileTransfer::Outcome::NotAttempted),
              last.filesNotAttempted);
    for (const FileTransfer& transfer : last.transfers) {
      EXPECT_EQ(transfer.requestSent,
                transfer.outcome == FileTransfer::Outcome::Stored ||
                    (transfer.outcome == FileTransfer::Outcome::Failed &&
                     c.peerOptions.size() == 1 && c.peerOptions[0].rfind("--abort", 0) == 0))
          << transfer.path;
      if (transfer.outcome != FileTransfer::Outcome::Stored) {
        EXPECT_FALSE(transfer.reason.empty()) << transfer.path;
      }
    }
  }
}

// Several associations share one queue: whatever the station does, each file is stored once
// at most, and the counters and outcomes add up as over one association.
TEST(StoreScuAssociations, EveryFileEndsOnceWhateverTheStationDoes) {
  struct Case {
    const char* name;
    std::vector<std::string> peerOptions;
    int sent;
    int notices;  // further associations the station did not serve, each named
  };
  const Case cases[] = {
      {"serves them all at once", {"--fork"}, 6, 0},
      {"serves one at a time", {}, 6, 2},
      {"rejects every association", {"--fork", "--refuse"}, 0, 0},
      {"aborts each during its first store", {"--fork", "--abort-during"}, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir job, received;
    const std::vector<std::string> images = writeImages(job, 6);
    StoreScpPeer peer(received.path(), c.peerOptions);
    SendParams params = loopbackParams(job.path(), peer.port());
    params.associations = 3;
    ScriptedPrompts prompts;

    const SendRun run = runSendJob(params, prompts);

    ASSERT_TRUE(run.finished());
    const SendProgress& last = run.last();
    EXPECT_EQ(last.filesSent, c.sent);
    EXPECT_EQ(last.filesSent + last.filesFailed + last.filesNotAttempted, 6);
    EXPECT_EQ(run.count(FileSent), last.filesSent);
    EXPECT_EQ(run.count(FileFailed), last.filesFailed);
    const Texts notices = run.messages(SendNotice);
    EXPECT_EQ(std::count_if(notices.begin(), notices.end(),
                            [](const std::string& text) {
                              return contains(text, "A further association to 'STORESCP'");
                            }),
              c.notices);
    ASSERT_EQ(last.transfers.size(), 6u);
    EXPECT_EQ(countTransfers(last.transfers, FileTransfer::Outcome::Stored), last.filesSent);
    EXPECT_EQ(countTransfers(last.transfers, FileTransfer::Outcome::NotAttempted),
              last.filesNotAttempted);
    EXPECT_EQ(filesIn(received.path()).size(), static_cast<std::size_t>(c.sent));
    if (c.sent == 6) {
      for (const std::string& image : images)
        EXPECT_FALSE(receivedFileWithInstance(received.path(), sopInstanceOf(image)).empty())
            << image;
    }
    for (const FileTransfer& transfer : last.transfers)
      if (transfer.outcome != FileTransfer::Outcome::Stored) {
        EXPECT_FALSE(transfer.reason.empty()) << transfer.path;
      }
  }
}

// A stop ends every association after its current file; the files no association took are
// not attempted, for the stop.
TEST(StoreScuAssociations, StopEndsEveryAssociationAfterItsFile) {
  TempDir job, received;
  writeImages(job, 9);
  StoreScpPeer peer(received.path(), {"--fork", "--sleep-after", "1"});
  SendParams params = loopbackParams(job.path(), peer.port());
  params.associations = 3;
  ScriptedPrompts prompts;

  // Stopped once the first file has reached the station, while the others are in flight.
  std::size_t storedAtStop = 0;
  const SendRun run = runSendJob(params, prompts, {}, [&](StoreScu& send) {
    for (int i = 0; i < 1000 && filesIn(received.path()).empty(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    send.requestStop();
    storedAtStop = filesIn(received.path()).size();
  });

  ASSERT_TRUE(run.finished());
  const SendProgress& last = run.last();
  EXPECT_TRUE(last.stopped);
  EXPECT_GE(last.filesSent, 1);
  // Each association ends the file it was storing and takes no other.
  EXPECT_LE(static_cast<std::size_t>(last.filesSent + last.filesFailed), storedAtStop + 3);
  EXPECT_GE(last.filesNotAttempted, 1);
  EXPECT_EQ(last.filesSent + last.filesFailed + last.filesNotAttempted, 9);
  EXPECT_EQ(run.count(FileSent), last.filesSent);
  EXPECT_EQ(filesIn(received.path()).size(), static_cast<std::size_t>(last.filesSent));
  for (const FileTransfer& transfer : last.transfers)
    if (transfer.outcome == FileTransfer::Outcome::NotAttempted) {
      EXPECT_EQ(transfer.reason, "Sending stopped") << transfer.path;
    }
}
