#include <gtest/gtest.h>

#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>

#include "DicomFixtures.h"
#include "NestingBomb.h"
#include "ScriptedPrompts.h"
#include "TempDir.h"
#include "jobs/DestinationSelection.h"

namespace {

struct Case {
  const char* name;
  bool standard;
  int standardIndex;
  bool rules;
  // nullptr: empty folder; "" a file that is not DICOM; kBomb sequences nested too deep
  const char* firstFilePatientId;
  std::vector<CRule> ruleList;
  std::vector<std::string> expectedAeTitles;
};

const char kBomb[] = "<nesting bomb>";
// Patient ID 99999 at the top level, 12345 inside an item of an earlier sequence.
const char kIdInEarlierSequence[] = "<id in an earlier sequence>";

void writeIdInEarlierSequence(const std::string& path) {
  FixtureImage image;
  image.patientId = "99999";
  writeFixtureImage(path, image);
  DcmFileFormat file;
  ASSERT_TRUE(file.loadFile(path.c_str()).good());
  DcmItem* item = nullptr;
  ASSERT_TRUE(
      file.getDataset()->findOrCreateSequenceItem(DCM_ReferencedPatientSequence, item).good());
  item->putAndInsertString(DCM_PatientID, "12345");
  ASSERT_TRUE(file.saveFile(path.c_str()).good());
}

}  // namespace

TEST(DestinationSelection, StandardDestinationAndForwardRules) {
  CStationArray stations;
  stations.Add({"PACS", "PACS_AE", "127.0.0.1", 104});
  stations.Add({"VIEWER", "VIEWER_AE", "127.0.0.1", 105});
  stations.Add({"PACS_AE", "PACS_AE", "127.0.0.1", 104});  // an alias equal to an AE title

  const std::vector<Case> cases = {
      {"standard only", true, 0, false, "12345", {}, {"PACS_AE"}},
      {"standard index out of range", true, 3, false, "12345", {}, {}},
      {"standard -1", true, -1, false, "12345", {}, {}},
      {"rule naming the standard AE title",
       true,
       0,
       true,
       "12345",
       {{16, 32, "12345", "PACS_AE"}},
       {"PACS_AE"}},
      {"rule naming the standard alias",
       true,
       0,
       true,
       "12345",
       {{16, 32, "12345", "PACS"}},
       {"PACS_AE", "PACS_AE"}},
      {"two matching rules in rule order",
       false,
       0,
       true,
       "12345",
       {{16, 32, "12345", "VIEWER"}, {16, 32, "12345", "PACS"}},
       {"VIEWER_AE", "PACS_AE"}},
      {"value compared exactly", false, 0, true, "123456", {{16, 32, "12345", "VIEWER"}}, {}},
      {"leading zero differs", false, 0, true, "012345", {{16, 32, "12345", "VIEWER"}}, {}},
      {"trailing space is normalised away",
       false,
       0,
       true,
       "12345 ",
       {{16, 32, "12345", "VIEWER"}},
       {"VIEWER_AE"}},
      {"missing station sends nothing", false, 0, true, "12345", {{16, 32, "12345", "GONE"}}, {}},
      {"empty folder", false, 0, true, nullptr, {{16, 32, "12345", "VIEWER"}}, {}},
      {"unloadable first file", false, 0, true, "", {{16, 32, "12345", "VIEWER"}}, {}},
      {"first file nested too deep", false, 0, true, kBomb, {{16, 32, "12345", "VIEWER"}}, {}},
      {"tag read at the top level only",
       false,
       0,
       true,
       kIdInEarlierSequence,
       {{16, 32, "12345", "VIEWER"}},
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir folder;
    if (c.firstFilePatientId == kBomb) {
      writeFileBytes(folder / "IM1", NestingBomb{}.bytes());
    } else if (c.firstFilePatientId == kIdInEarlierSequence) {
      writeIdInEarlierSequence(folder / "IM1");
    } else if (c.firstFilePatientId && *c.firstFilePatientId) {
      FixtureImage image;
      image.patientId = c.firstFilePatientId;
      writeFixtureImage(folder / "IM1", image);
    } else if (c.firstFilePatientId) {
      writeFileBytes(folder / "IM1", "not a DICOM file");
    }
    AppSettings settings;
    settings.sendToStandardDestination = c.standard;
    settings.standardDestination = c.standardIndex;
    settings.useForwardRules = c.rules;
    CRuleArray rules;
    for (const CRule& rule : c.ruleList) rules.Add(rule);
    ScriptedPrompts prompts;
    std::vector<std::string> aeTitles;
    const DestinationSelection selection =
        selectDestinations(settings, stations, rules, folder.path(), prompts);
    for (const StationChoice& s : selection.stations) aeTitles.push_back(s.aeTitle);
    EXPECT_EQ(selection.whyNone.empty(), !aeTitles.empty());
    EXPECT_EQ(aeTitles, c.expectedAeTitles);
    EXPECT_EQ(prompts.stationQuestions, 0);
  }
}

TEST(DestinationSelection, AsksForAStationOnlyWhenBothAreOff) {
  TempDir folder;
  CStationArray stations;
  CRuleArray rules;
  AppSettings settings;
  settings.sendToStandardDestination = 0;
  settings.useForwardRules = 0;
  ScriptedPrompts prompts;
  EXPECT_EQ(selectDestinations(settings, stations, rules, folder.path(), prompts).whyNone,
            "Nothing was sent: no station was chosen for this job.\r\n");
  prompts.station = StationChoice{"TYPED", "127.0.0.1", 4242};
  const auto chosen =
      selectDestinations(settings, stations, rules, folder.path(), prompts).stations;
  ASSERT_EQ(chosen.size(), 1u);
  EXPECT_EQ(chosen[0].port, 4242);
  EXPECT_EQ(prompts.stationQuestions, 2);
}

TEST(DestinationSelection, SaysWhyNothingIsSent) {
  CStationArray stations;
  stations.Add({"PACS", "PACS_AE", "127.0.0.1", 104});
  struct Case {
    bool standard;
    int standardIndex;
    bool rules;
    const char* firstFilePatientId;  // "": not DICOM
    std::vector<CRule> ruleList;
    std::string why;
  };
  const Case cases[] = {
      // What the Options dialog leaves once the first station is added.
      {true,
       -1,
       false,
       "1",
       {},
       "sending to the standard destination is on, but no station is chosen as the standard "
       "destination"},
      {false,
       0,
       true,
       "1",
       {{16, 32, "2", "PACS"}},
       "sending to the standard destination is off, and no forward rule matched the job's "
       "first file"},
      {true,
       5,
       true,
       "1",
       {{16, 32, "1", "GONE"}},
       "sending to the standard destination is on, but no station is chosen as the standard "
       "destination, and a forward rule matched, but names a station that is not in the "
       "station list ('GONE')"},
      {false,
       0,
       true,
       "",
       {{16, 32, "1", "PACS"}},
       "sending to the standard destination is off, and the job's first file, IM1, could not be "
       "read to apply the forward rules"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    TempDir folder;
    if (*c.firstFilePatientId) {
      FixtureImage image;
      image.patientId = c.firstFilePatientId;
      writeFixtureImage(folder / "IM1", image);
    } else {
      writeFileBytes(folder / "IM1", "not a DICOM file");
    }
    AppSettings settings;
    settings.sendToStandardDestination = c.standard;
    settings.standardDestination = c.standardIndex;
    settings.useForwardRules = c.rules;
    CRuleArray rules;
    for (const CRule& rule : c.ruleList) rules.Add(rule);
    ScriptedPrompts prompts;
    const DestinationSelection selection =
        selectDestinations(settings, stations, rules, folder.path(), prompts);
    EXPECT_TRUE(selection.stations.empty());
    EXPECT_EQ(selection.whyNone, "Nothing was sent: " + c.why + ".\r\n");
  }
}
