#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcuid.h>

#include "CompressedFixtures.h"
#include "DicomFixtures.h"
#include "ReadFaults.h"
#include "ScanTestSupport.h"
#include "SyncCalls.h"
#include "TempDir.h"
#include "TestMainThread.h"
#include "media/MediaScan.h"

namespace fs = std::filesystem;

namespace {

using Events = std::vector<std::pair<ScanEvent, std::string>>;

class MediaScanTest : public ::testing::Test {
 protected:
  std::string medium(const std::string& relative = "") const {
    return relative.empty() ? root_.path() + "/medium" : root_.path() + "/medium/" + relative;
  }
  std::string job() const { return root_.path() + "/job"; }
  void SetUp() override {
    fs::create_directories(medium());
    fs::create_directories(job());
  }
  void image(const std::string& relative, const FixtureImage& fixture = {}) const {
    fs::create_directories(fs::path(medium(relative)).parent_path());
    writeFixtureImage(medium(relative), fixture);
  }
  void text(const std::string& relative) const {
    fs::create_directories(fs::path(medium(relative)).parent_path());
    writeFileBytes(medium(relative), "not an image\n");
  }

  TempDir root_;
  ScriptedPrompts prompts_;
};

FixtureImage patient(const std::string& id, const std::string& modality = "CT",
                     const std::string& accession = "ACC1") {
  FixtureImage fixture;
  fixture.patientId = id;
  fixture.patientName = "Name^" + id;
  fixture.modality = modality;
  fixture.accessionNumber = accession;
  return fixture;
}

TEST_F(MediaScanTest, SmallMediumReportsEveryFile) {
  image("IM1");
  image("S2/IM1");
  image(".hidden/a/b/IM1");  // hidden, three levels deep
  image("S3/IM1.2");         // the name a second IM1 would get
  image("DICOMDIR");
  image("dicomdir");             // only the upper-case name is skipped
  text("viewer/readme.txt");     // excluded without a word
  text("viewer/README.TXT");     // the filter is case-sensitive
  text("viewer/setup");          // no dot: never excluded
  text("viewer/viewer.v2.exe");  // the extension is the text from the last dot
  ScanRequest request = plainRequest(medium() + "/", job());
  request.excludedExtensions = {".exe", ".txt"};

  const std::vector<ScanProgress> reports = runScan(request, prompts_);

  ASSERT_GE(reports.size(), 2u);
  EXPECT_EQ(reports.front().event, ScanEvent::ScanStarted);
  EXPECT_EQ(reports.front().sourceRoot, medium() + "/");
  EXPECT_EQ(reports.front().jobFolder, job());
  EXPECT_EQ(reports.back().event, ScanEvent::ScanFinished);
  EXPECT_EQ(reports.back().filesSeen, 10);
  EXPECT_EQ(reports.back().filesSaved, 5);
  const Events expected = {
      {ScanEvent::ScanError, "README.TXT"}, {ScanEvent::ScanError, "setup"},
      {ScanEvent::FileCopied, "IM1"},       {ScanEvent::FileCopied, "IM1"},
      {ScanEvent::FileCopied, "IM1"},       {ScanEvent::FileCopied, "IM1.2"},
      {ScanEvent::FileCopied, "dicomdir"},  {ScanEvent::ScanSkipped, "DICOMDIR"},
  };
  EXPECT_EQ(fileEvents(reports), expected);
  for (const ScanProgress& report : reports) {
    if (report.event == ScanEvent::ScanError) {
      EXPECT_EQ(report.message, "Not a valid dicom file");
    }
    if (report.event == ScanEvent::ScanSkipped) {
      EXPECT_EQ(report.message, "File 'DICOMDIR' skipped.");
    }
    if (report.event == ScanEvent::FileCopied) {
      EXPECT_EQ(report.message, "");
      EXPECT_EQ(report.patientId, "P1");
      EXPECT_EQ(report.patientName, "Doe^John");
    }
  }
  // No copy overwrote another: every image of the medium is in the folder once.
  std::multiset<std::string> copied;
  for (const std::string& name : folderNames(job()))
    copied.insert(tagOf(job() + "/" + name, 0x0008, 0x0018));
  std::multiset<std::string> onMedium;
  for (const char* file : {"IM1", "S2/IM1", ".hidden/a/b/IM1", "S3/IM1.2", "dicomdir"})
    onMedium.insert(tagOf(medium(file), 0x0008, 0x0018));
  EXPECT_EQ(copied, onMedium);
}

// A directory object is skipped by what it is, not only by its name; a damaged image is a lost
// file, unlike a text beside the images.
TEST_F(MediaScanTest, DirectoryObjectsUnderAnyNameAreSkippedAndDamagedImagesTold) {
  image("IM1");
  fs::create_directories(medium("backup"));
  writeDirectoryObject(medium("backup/DICOMDIR.BAK"));
  writeDirectoryObject(medium("DIRFILE"));
  fs::create_directories(medium("broken"));
  writeTruncatedImage(medium("broken/IM2"));
  text("README");

  const std::vector<ScanProgress> reports = runScan(plainRequest(medium(), job()), prompts_);

  const Events expected = {
      {ScanEvent::ScanError, "IM2"},       {ScanEvent::ScanError, "README"},
      {ScanEvent::FileCopied, "IM1"},      {ScanEvent::ScanSkipped, "DICOMDIR.BAK"},
      {ScanEvent::ScanSkipped, "DIRFILE"},
  };
  EXPECT_EQ(fileEvents(reports), expected);
  for (const ScanProgress& report : reports) {
    if (report.event == ScanEvent::ScanSkipped) {
      EXPECT_EQ(report.message, "File 'DICOMDIR' skipped.");
    }
    if (report.event == ScanEvent::ScanError) {
      EXPECT_EQ(report.message, "Not a valid dicom file");
      EXPECT_EQ(report.fileLost, report.fileName == "IM2") << report.fileName;
      EXPECT_EQ(report.notAnImage, report.fileName == "README") << report.fileName;
    } else {
      EXPECT_FALSE(report.fileLost);
      EXPECT_FALSE(report.notAnImage);
    }
  }
  EXPECT_EQ(folderNames(job()), (std::vector<std::string>{"IM1"}));
}

// A large value is read from the medium only when the copy is written: by DCMTK for a file the
// import changes (here: a name added), as its own bytes for one it does not. A read of it cut
// short or failed, or a load that throws, loses that file with its reason and never leaves a
// copy of it.
TEST_F(MediaScanTest, AReadCutShortOrALoadThatThrowsLosesTheFileAndSaysWhy) {
  struct Case {
    ReadFault fault;
    bool changed;
    std::string message;
  };
  const Case cases[] = {
      {ReadFault::CutInHalf, true, "Can't read file (I/O suspension or premature end of stream)"},
      {ReadFault::Throw, true, "Unknown error in MediaScan::ImportFile()"},
      {ReadFault::Fail, false, "Can't read file (Input/output error)"},
      {ReadFault::Fail, true, "Can't read file (I/O suspension or premature end of stream)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    fs::remove_all(medium());
    fs::create_directories(medium());
    FixtureImage large;
    large.rows = large.columns = 256;  // 128 KiB of pixels: longer than the read length
    if (c.changed) large.patientName.clear();
    image("IM2", large);
    fs::remove_all(job());
    fs::create_directories(job());
    armReadFault(c.fault, 64 * 1024);
    const std::vector<ScanProgress> reports = runScan(plainRequest(medium(), job()), prompts_);
    armReadFault(ReadFault::None, 0);

    EXPECT_EQ(fileEvents(reports), (Events{{ScanEvent::ScanError, "IM2"}}));
    for (const ScanProgress& report : reports) {
      if (report.event != ScanEvent::ScanError) continue;
      EXPECT_EQ(report.message, c.message);
      EXPECT_TRUE(report.fileLost);
      EXPECT_FALSE(report.notAnImage);
    }
    EXPECT_TRUE(folderNames(job()).empty());
  }
}

// A stop while a changed file's large value is read from the medium leaves no copy of it that
// would look whole, and does not call the file lost.
TEST_F(MediaScanTest, AStopWhileALargeValueIsReadLeavesNoCopyAndLosesNothing) {
  FixtureImage large;
  large.rows = large.columns = 512;  // 512 KiB of pixels, read in several pieces
  large.patientName.clear();         // "Unknown" is added: the copy is written anew
  image("IM2", large);
  std::vector<ScanProgress> reports =
      runScan(plainRequest(medium(), job()), prompts_,
              [](MediaScan& scan) { armReadHook([&scan] { scan.requestStop(); }, 32 * 1024); });
  armReadHook(nullptr, 0);

  EXPECT_TRUE(fileEvents(reports).empty());
  ASSERT_FALSE(reports.empty());
  EXPECT_EQ(reports.back().event, ScanEvent::ScanStopped);
  EXPECT_TRUE(folderNames(job()).empty());
}

// The disc may go back to the patient once the scan has finished: the copies are on the disk
// by then, or the scan says they may not be.
TEST_F(MediaScanTest, TheCopiesReachTheDiskBeforeTheScanFinishes) {
  image("IM1");
  takeSyncedFolders();
  std::vector<ScanProgress> reports = runScan(plainRequest(medium(), job()), prompts_);
  EXPECT_EQ(takeSyncedFolders(), (std::vector<std::string>{fs::canonical(job()).string()}));
  EXPECT_EQ(fileEvents(reports), (Events{{ScanEvent::FileCopied, "IM1"}}));

  fs::remove_all(job());
  fs::create_directories(job());
  failSyncsWith(EIO);
  reports = runScan(plainRequest(medium(), job()), prompts_);
  failSyncsWith(0);
  EXPECT_EQ(fileEvents(reports),
            (Events{{ScanEvent::ScanError, job()}, {ScanEvent::FileCopied, "IM1"}}));
  for (const ScanProgress& report : reports) {
    if (report.event == ScanEvent::ScanError) {
      EXPECT_EQ(report.message, "The copies could not be written to the disk (Input/output error)");
    }
  }
  EXPECT_EQ(reports.back().event, ScanEvent::ScanFinished);
}

TEST_F(MediaScanTest, EmptyMediumAndMissingParameters) {
  fs::create_directories(root_.path() + "/empty");
  struct Case {
    std::string root;
    std::string jobFolder;
    ScanEvent event;
    std::string message;
  };
  const std::string noMedium = "Media contains no data or no valid media present";
  const Case cases[] = {
      {root_.path() + "/empty", job(), ScanEvent::ScanSkipped, noMedium},
      {root_.path() + "/empty/", job(), ScanEvent::ScanSkipped, noMedium},
      {root_.path() + "/no-such-drive", job(), ScanEvent::ScanSkipped, noMedium},
      {"", job(), ScanEvent::ScanError, "parameter empty"},
      {root_.path() + "/empty", "", ScanEvent::ScanError, "parameter empty"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.root + " -> " + c.jobFolder);
    const std::vector<ScanProgress> reports = runScan(plainRequest(c.root, c.jobFolder), prompts_);
    ASSERT_EQ(reports.size(), 3u);
    EXPECT_EQ(reports[0].event, ScanEvent::ScanStarted);
    EXPECT_EQ(reports[1].event, c.event);
    EXPECT_EQ(reports[1].message, c.message);
    EXPECT_EQ(reports[2].event, ScanEvent::ScanFinished);
  }
  EXPECT_TRUE(folderNames(job()).empty());
}

TEST_F(MediaScanTest, RootWithOrWithoutTrailingSlashOrThroughALinkReadsTheSameFiles) {
  image("A/IM1");
  image("B/IM2");
  const Events withSlash = fileEvents(runScan(plainRequest(medium() + "/", job()), prompts_));
  const Events without = fileEvents(runScan(plainRequest(medium(), job()), prompts_));
  fs::create_directory_symlink(medium(), root_.path() + "/mounted");
  const Events throughLink =
      fileEvents(runScan(plainRequest(root_.path() + "/mounted", job()), prompts_));
  EXPECT_EQ(withSlash, without);
  EXPECT_EQ(withSlash, throughLink);
  EXPECT_EQ(withSlash.size(), 2u);
}

TEST_F(MediaScanTest, StopRequestEndsTheWalkAfterTheCurrentFile) {
  for (int i = 0; i < 6; ++i) image("S" + std::to_string(i % 3) + "/IM" + std::to_string(i));
  ScanRequest request = plainRequest(medium(), job());
  request.askForNewPatientData = 1;
  MediaScan* running = nullptr;
  prompts_.answer = [&](const NewPatientDataQuestion&) {
    running->requestStop();  // arrives while the first file is being imported
    return std::optional<NewPatientDataAnswer>(NewPatientDataAnswer{"NEW", "", "", ""});
  };

  const std::vector<ScanProgress> reports =
      runScan(request, prompts_, [&](MediaScan& scan) { running = &scan; });

  EXPECT_EQ(prompts_.asked.size(), 1u);
  ASSERT_EQ(fileEvents(reports).size(), 1u);
  EXPECT_EQ(fileEvents(reports)[0].first, ScanEvent::FileCopied);
  EXPECT_EQ(reports.back().event, ScanEvent::ScanStopped);
  EXPECT_EQ(reports.back().filesSaved, 1);
  EXPECT_EQ(folderNames(job()).size(), 1u);
}

TEST_F(MediaScanTest, LinksAndPipesNeverTrapTheWalk) {
  image("sub/IM1");
  fs::create_directory_symlink("..", medium("sub/loop"));   // a folder above: not followed
  fs::create_directory_symlink("/", medium("sub/system"));  // nor anything outside
  fs::create_symlink("sub/IM1", medium("linked.dcm"));      // read like a file
  fs::create_symlink("gone", medium("dangling"));
  ASSERT_EQ(mkfifo(medium("pipe").c_str(), 0600), 0);

  const std::vector<ScanProgress> reports = runScan(plainRequest(medium(), job()), prompts_);

  Events expected = {
      {ScanEvent::ScanError, "dangling"},
      {ScanEvent::ScanError, "pipe"},
      {ScanEvent::FileCopied, "IM1"},
      {ScanEvent::FileCopied, "linked.dcm"},
  };
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(fileEvents(reports), expected);
  for (const ScanProgress& report : reports) {
    // A device node is no image; a file that cannot be read may have been one.
    EXPECT_EQ(report.notAnImage, report.fileName == "pipe") << report.fileName;
    if (report.fileName == "pipe") {
      EXPECT_EQ(report.message, "Not a regular file");
    }
    if (report.fileName == "dangling") {
      EXPECT_EQ(report.message, "Can't read file (No such file or directory)");
    }
  }
  EXPECT_EQ(reports.back().event, ScanEvent::ScanFinished);
}

// Root reads every file: scripts/test runs this once more as an ordinary user.
TEST_F(MediaScanTest, AnUnreadableFileIsAnErrorAndTheRestIsCopiedAsUnprivilegedUser) {
  if (geteuid() == 0) GTEST_SKIP() << "root can read any file";
  image("IM1");
  image("secret");
  chmod(medium("secret").c_str(), 0);

  const std::vector<ScanProgress> reports = runScan(plainRequest(medium(), job()), prompts_);

  Events expected = {{ScanEvent::ScanError, "secret"}, {ScanEvent::FileCopied, "IM1"}};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(fileEvents(reports), expected);
  for (const ScanProgress& report : reports) {
    if (report.fileName == "secret") {
      EXPECT_EQ(report.message, "Can't read file (Permission denied)");
      EXPECT_FALSE(report.notAnImage);
    }
  }
  EXPECT_EQ(reports.back().event, ScanEvent::ScanFinished);
}

TEST_F(MediaScanTest, CopiesKeepTheirTransferSyntaxGetIdentificationAndLoseThePreamble) {
  const std::pair<const char*, E_TransferSyntax> syntaxes[] = {
      {"explicit.dcm", EXS_LittleEndianExplicit},
      {"implicit.dcm", EXS_LittleEndianImplicit},
      {"bigendian.dcm", EXS_BigEndianExplicit},
  };
  for (const auto& [name, syntax] : syntaxes) {
    FixtureImage fixture;
    fixture.transferSyntax = syntax;
    image(name, fixture);
  }
  FixtureImage anonymous;
  anonymous.patientId = "";
  anonymous.patientName = "";
  anonymous.modality = "";
  image("anonymous.dcm", anonymous);
  // A preamble that is also a program header.
  std::string bytes = readFileBytes(medium("explicit.dcm"));
  bytes.replace(0, 16, "MZ\x90\x00\x03\x00\x00\x00\x04\x00\x00\x00\xFF\xFF\x00\x00", 16);
  writeFileBytes(medium("explicit.dcm"), bytes);

  const std::vector<ScanProgress> reports = runScan(plainRequest(medium(), job()), prompts_);

  for (const auto& [name, syntax] : syntaxes) {
    DcmFileFormat copy;
    ASSERT_TRUE(copy.loadFile((job() + "/" + name).c_str()).good()) << name;
    EXPECT_EQ(copy.getDataset()->getOriginalXfer(), syntax) << name;
  }
  const std::string copied = readFileBytes(job() + "/explicit.dcm");
  ASSERT_EQ(copied.size(), bytes.size());
  EXPECT_EQ(copied.substr(0, 128), std::string(128, '\0'));
  EXPECT_EQ(copied.substr(128), bytes.substr(128));

  const std::string anonymousCopy = job() + "/anonymous.dcm";
  EXPECT_EQ(tagOf(anonymousCopy, 0x0010, 0x0020), "Unknown");
  EXPECT_EQ(tagOf(anonymousCopy, 0x0010, 0x0010), "Unknown");
  EXPECT_EQ(tagOf(anonymousCopy, 0x0008, 0x0060), "<absent>");
  for (const ScanProgress& report : reports) {
    if (report.fileName == "anonymous.dcm" && report.event == ScanEvent::FileCopied) {
      EXPECT_EQ(report.patientId, "Unknown");
      EXPECT_EQ(report.patientName, "Unknown");
    }
  }
  struct stat info {};
  ASSERT_EQ(stat(anonymousCopy.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0077, 0u) << "copies hold patient data";
}

TEST_F(MediaScanTest, FailedWriteIsReportedAndLeavesNothing) {
  image("IM1");
  const std::vector<ScanProgress> reports =
      runScan(plainRequest(medium(), job() + "/missing"), prompts_);
  ASSERT_EQ(fileEvents(reports), (Events{{ScanEvent::FileNotCopied, "IM1"}}));
  for (const ScanProgress& report : reports) {
    if (report.event == ScanEvent::FileNotCopied) {
      EXPECT_EQ(report.message, "No such file or directory");
    }
  }
  EXPECT_EQ(reports.back().filesSaved, 0);
  EXPECT_EQ(reports.back().event, ScanEvent::ScanFinished);
}

// Root writes into any folder: scripts/test runs this once more as an ordinary user.
TEST_F(MediaScanTest, AWriteTheFolderRefusesGivesItsRealCauseAsUnprivilegedUser) {
  if (geteuid() == 0) GTEST_SKIP() << "root can write into any folder";
  image("IM1");
  chmod(job().c_str(), 0500);
  const std::vector<ScanProgress> reports = runScan(plainRequest(medium(), job()), prompts_);
  chmod(job().c_str(), 0700);
  ASSERT_EQ(fileEvents(reports), (Events{{ScanEvent::FileNotCopied, "IM1"}}));
  for (const ScanProgress& report : reports) {
    if (report.event == ScanEvent::FileNotCopied) {
      EXPECT_EQ(report.message, "Permission denied");
    }
  }
  EXPECT_EQ(reports.back().filesSaved, 0);
  EXPECT_TRUE(fs::is_empty(job()));
}

TEST_F(MediaScanTest, AnonymizedIdsPerPatientOnTheMedium) {
  for (int i = 1; i <= 10; ++i) {
    image("S" + std::to_string(i) + "/IM" + std::to_string(i), patient("P" + std::to_string(i)));
  }
  image("S1/again", patient("P1"));
  ScanRequest request = plainRequest(medium(), job());
  request.anonymize = 1;
  request.anonymizePatientId = 1;
  request.anonymizePatientName = 1;
  request.anonymizedPatientId = "00000001";

  const std::vector<ScanProgress> reports = runScan(request, prompts_);

  std::set<std::string> ids;
  for (int i = 1; i <= 10; ++i) {
    const std::string copy = job() + "/IM" + std::to_string(i);
    const std::string id = tagOf(copy, 0x0010, 0x0020);
    ids.insert(id);
    EXPECT_EQ(tagOf(copy, 0x0008, 0x0050), id);
    EXPECT_EQ(tagOf(copy, 0x0010, 0x0010), id);
  }
  EXPECT_EQ(ids,
            (std::set<std::string>{"00000001", "00000002", "00000003", "00000004", "00000005",
                                   "00000006", "00000007", "00000008", "00000009", "000000010"}));
  EXPECT_EQ(tagOf(job() + "/again", 0x0010, 0x0020), tagOf(job() + "/IM1", 0x0010, 0x0020));

  std::string lastFile;
  for (const ScanProgress& report : reports) {
    if (report.event == ScanEvent::FileAnonymized) {
      // ID, accession number, name present; birth name, mother's name, telephone absent.
      EXPECT_EQ(report.message, "3 tags anonymized [3 missing]");
      lastFile = report.fileName;
    } else if (report.event == ScanEvent::FileCopied) {
      EXPECT_EQ(report.fileName, lastFile) << "anonymized before it is written";
      EXPECT_EQ(report.patientId, tagOf(job() + "/" + report.fileName, 0x0010, 0x0020));
    }
  }
}

TEST_F(MediaScanTest, NewPatientDataAskedOncePerPatientAndModality) {
  image("ct/IM1", patient("P1", "CT", "ACC1"));
  image("ct/IM2", patient("P1", "CT", "ACC2"));
  image("mr/IM3", patient("P1", "MR", "ACC1"));
  image("other/IM4", patient("P2", "CT", "ACC7"));  // cancelled
  image("other/IM5", patient("P2", "CT", "ACC8"));
  FixtureImage bare = patient("", "", "");
  bare.patientName = "";
  image("bare/IM6", bare);
  ScanRequest request = plainRequest(medium(), job());
  request.askForNewPatientData = 1;
  prompts_.answer =
      [](const NewPatientDataQuestion& question) -> std::optional<NewPatientDataAnswer> {
    if (question.patientId == "P2") return std::nullopt;
    if (question.modality == "MR") return NewPatientDataAnswer{"NEW-MR", "", "Zo\xC3\xAB^Anna", ""};
    return NewPatientDataAnswer{"NEW-" + question.modality, "", "", ""};
  };

  runScan(request, prompts_);

  std::set<std::pair<std::string, std::string>> asked;
  for (const NewPatientDataQuestion& question : prompts_.asked) {
    asked.emplace(question.patientId, question.modality);
    if (question.patientId == "P1") {
      EXPECT_EQ(question.birthDate, "19630517");
      EXPECT_EQ(question.patientName, "Name^P1");
    }
  }
  EXPECT_EQ(prompts_.asked.size(), 4u);
  EXPECT_EQ(asked, (std::set<std::pair<std::string, std::string>>{
                       {"P1", "CT"}, {"P1", "MR"}, {"P2", "CT"}, {"Unknown", "Unknown"}}));
  struct Expected {
    const char* file;
    const char* patientId;
    const char* accession;
    const char* name;
  };
  const Expected expected[] = {
      {"IM1", "NEW-CT", "ACC1", "Name^P1"},
      {"IM2", "NEW-CT", "ACC2", "Name^P1"},
      {"IM3", "NEW-MR", "ACC1", "Zo\xC3\xAB^Anna"},
      {"IM4", "P2", "ACC7", "Name^P2"},
      {"IM5", "P2", "ACC8", "Name^P2"},
      {"IM6", "NEW-Unknown", "<absent>", "Unknown"},
  };
  for (const Expected& e : expected) {
    SCOPED_TRACE(e.file);
    const std::string copy = job() + "/" + e.file;
    EXPECT_EQ(tagOf(copy, 0x0010, 0x0020), e.patientId);
    EXPECT_EQ(tagOf(copy, 0x0008, 0x0050), e.accession);
    EXPECT_EQ(tagOf(copy, 0x0010, 0x0010), e.name);
  }
  EXPECT_EQ(tagOf(job() + "/IM3", 0x0008, 0x0005), "ISO_IR 192");
  EXPECT_EQ(tagOf(job() + "/IM1", 0x0008, 0x0005), "<absent>");
}

TEST_F(MediaScanTest, NewPatientDataWinsOverAnonymizedPatientId) {
  image("IM1", patient("P1"));
  image("IM2", patient("P2"));
  ScanRequest request = plainRequest(medium(), job());
  request.askForNewPatientData = 1;
  request.anonymize = 1;
  request.anonymizePatientId = 1;
  request.anonymizePatientName = 1;
  request.anonymizedPatientId = "ANON";
  prompts_.answer = [](const NewPatientDataQuestion& question) {
    return std::optional<NewPatientDataAnswer>(
        NewPatientDataAnswer{"NEW-" + question.patientId, "ACC-" + question.patientId, "", ""});
  };

  runScan(request, prompts_);

  for (const std::string id : {"P1", "P2"}) {
    const std::string copy = job() + "/IM" + id.substr(1);
    EXPECT_EQ(tagOf(copy, 0x0010, 0x0020), "NEW-" + id);
    EXPECT_EQ(tagOf(copy, 0x0008, 0x0050), "ACC-" + id);
    EXPECT_EQ(tagOf(copy, 0x0010, 0x0010), "ANON");
  }
}

}  // namespace

TEST_F(MediaScanTest, AStopIsHeardWhileAHugeFileIsRead) {
  image("IM1");
  { std::ofstream(medium("HUGE")); }
  fs::resize_file(medium("HUGE"), 8ull << 30);  // sparse: seconds of zeros to read
  image("IM2");
  TestMainThread mainThread;
  std::vector<ScanEvent> events;
  MediaScan scan(plainRequest(medium(), job()), mainThread, prompts_,
                 [&](ScanEvent event, const ScanProgress&) { events.push_back(event); });
  scan.start();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));

  const auto start = std::chrono::steady_clock::now();
  scan.requestStop();
  EXPECT_TRUE(scan.waitFor(std::chrono::seconds(2)));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  mainThread.runUntil([&] { return !events.empty() && events.back() == ScanEvent::ScanStopped; },
                      std::chrono::seconds(5));
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.back(), ScanEvent::ScanStopped);
}

// DCMTK reads a bare data set as one; without the UIDs a C-STORE needs, its copy would fail
// every send of the job. It is no image, as a text beside the images is.
TEST_F(MediaScanTest, ADataSetWithoutItsSopUidsIsNotCopied) {
  image("IM1");
  for (const bool withClass : {false, true}) {
    DcmDataset fragment;
    fragment.putAndInsertString(DCM_PatientID, "P1");
    fragment.putAndInsertString(DCM_PatientName, "Doe^John");
    if (withClass) fragment.putAndInsertString(DCM_SOPClassUID, UID_CTImageStorage);
    const std::string name = withClass ? "NOINSTANCE" : "FRAGMENT";
    ASSERT_TRUE(fragment.saveFile(medium(name).c_str(), EXS_LittleEndianImplicit).good());
    DcmFileFormat check;
    ASSERT_TRUE(check.loadFile(medium(name).c_str()).good());  // DCMTK takes it
  }

  const std::vector<ScanProgress> reports = runScan(plainRequest(medium(), job()), prompts_);

  const Events expected = {{ScanEvent::ScanError, "FRAGMENT"},
                           {ScanEvent::ScanError, "NOINSTANCE"},
                           {ScanEvent::FileCopied, "IM1"}};
  EXPECT_EQ(fileEvents(reports), expected);
  for (const ScanProgress& report : reports) {
    if (report.event != ScanEvent::ScanError) continue;
    EXPECT_EQ(report.message, "Not a storable DICOM object (no SOP Class UID or SOP Instance UID)");
    EXPECT_TRUE(report.notAnImage);
    EXPECT_FALSE(report.fileLost);
  }
  EXPECT_EQ(reports.back().filesSaved, 1);
  EXPECT_EQ(folderNames(job()), (std::vector<std::string>{"IM1"}));
}

// The job log names the query station's match a patient's data were picked from, once.
TEST_F(MediaScanTest, APickedMatchIsReportedWithTheFirstCopyOfItsPatient) {
  image("IM1", patient("P1"));
  image("IM2", patient("P1"));
  image("IM3", patient("P2"));
  ScanRequest request = plainRequest(medium(), job());
  request.askForNewPatientData = 1;
  prompts_.answer = [](const NewPatientDataQuestion& question) {
    NewPatientDataAnswer answer{"H-" + question.patientId, "", "", ""};
    if (question.patientId == "P1") answer.chosenMatch = "H-P1 from WORKLIST";
    return std::optional<NewPatientDataAnswer>(answer);
  };

  std::vector<std::string> matches;
  for (const ScanProgress& report : runScan(request, prompts_))
    if (report.event == ScanEvent::FileCopied && report.patientId == "H-P1")
      matches.push_back(report.patientMatch);
  std::sort(matches.begin(), matches.end());
  EXPECT_EQ(matches, (std::vector<std::string>{"", "H-P1 from WORKLIST"}));
}
