#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include <dcmtk/dcmdata/dcfilefo.h>

#include "HostileMedium.h"
#include "ScanTestSupport.h"
#include "TempDir.h"

namespace {

ScanRequest everyAnonymizationOption(ScanRequest request) {
  request.anonymize = 1;
  request.anonymizePatientId = 1;
  request.anonymizedPatientId = "ANON";
  request.anonymizePatientName = 1;
  request.anonymizePhysicians = 1;
  request.physiciansName = "Physician";
  request.anonymizeInstitution = 1;
  request.institutionName = "Institution";
  request.anonymizeComments = 1;
  request.birthdayToJanuaryFirst = 1;
  request.datesToCurrentDate = 1;
  return request;
}

}  // namespace

// Every file gets its report, the good ones are copied, and the scan ends normally.
TEST(HostileMedium, ScanReportsEachFileAndCopiesTheGoodOnes) {
  TempDir root;
  const std::string medium = root / "medium";
  std::filesystem::create_directories(medium);
  const std::vector<HostileFile> files = writeHostileMedium(medium);

  for (const bool anonymize : {false, true}) {
    const std::string job = root / (anonymize ? "job-anonymized" : "job");
    std::filesystem::create_directories(job);
    ScanRequest request = plainRequest(medium, job);
    if (anonymize) request = everyAnonymizationOption(request);
    ScriptedPrompts prompts;

    const std::vector<ScanProgress> reports = runScan(request, prompts);

    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.back().event, ScanEvent::ScanFinished);
    std::map<std::string, std::vector<ScanProgress>> byFile;
    for (const ScanProgress& report : reports)
      if (report.event == ScanEvent::FileCopied || report.event == ScanEvent::ScanError)
        byFile[report.fileName].push_back(report);
    std::vector<std::string> expectedCopies;
    for (const HostileFile& file : files) {
      ASSERT_EQ(byFile[file.name].size(), 1u) << file.name;
      const ScanProgress& report = byFile[file.name].front();
      if (file.loadable) {
        EXPECT_EQ(report.event, ScanEvent::FileCopied) << file.name << ": " << report.message;
        expectedCopies.push_back(file.name);
        DcmFileFormat copy;
        EXPECT_TRUE(copy.loadFile((job + "/" + file.name).c_str()).good()) << file.name;
      } else {
        EXPECT_EQ(report.event, ScanEvent::ScanError) << file.name;
        EXPECT_EQ(report.message, "Not a valid dicom file") << file.name;
      }
    }
    std::sort(expectedCopies.begin(), expectedCopies.end());
    EXPECT_EQ(folderNames(job), expectedCopies);
    EXPECT_EQ(reports.back().filesSaved, static_cast<int>(expectedCopies.size()));
    EXPECT_EQ(reports.back().filesSeen, static_cast<int>(files.size()));
  }
}
