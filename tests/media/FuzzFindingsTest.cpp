#include <gtest/gtest.h>

#include <filesystem>

#include "ScanTestSupport.h"
#include "TempDir.h"

// Inputs on which fuzzing found a crash, a leak or undefined behaviour in the import pass
// (tests/data/fuzz/import, one file per finding, named after it). Under the fuzz build's
// sanitizers they failed; here the scan must simply report each and finish.
TEST(FuzzFindings, ImportPassSurvivesEveryFinding) {
  const std::string findings = std::string(KALVORA_TEST_DATA) + "/fuzz/import";
  TempDir job;
  ScriptedPrompts prompts;
  ScanRequest request = plainRequest(findings, job.path());
  request.anonymize = 1;
  request.anonymizePatientId = 1;
  request.anonymizedPatientId = "ANON";
  request.anonymizePatientName = 1;
  request.anonymizePhysicians = 1;
  request.anonymizeInstitution = 1;
  request.anonymizeComments = 1;
  request.birthdayToJanuaryFirst = 1;
  request.datesToCurrentDate = 1;

  const std::vector<ScanProgress> reports = runScan(request, prompts);

  ASSERT_FALSE(reports.empty());
  EXPECT_EQ(reports.back().event, ScanEvent::ScanFinished);
  size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(findings)) {
    (void)entry;
    ++files;
  }
  EXPECT_EQ(reports.back().filesSeen, static_cast<int>(files));
}
