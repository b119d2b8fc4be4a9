#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <map>

#include <dcmtk/dcmdata/dcdatset.h>
#include <dcmtk/dcmdata/dcdeftag.h>

#include "media/AnonymizationProfile.h"
#include "media/AnonymizedIds.h"

namespace {

TEST(NextAnonymizedIdTest, CountsUpTheLastCharacterOnly) {
  const std::pair<std::string, std::string> cases[] = {
      {"00000001", "00000002"},
      {"00000008", "00000009"},
      {"00000009", "000000010"},
      {"00000019", "000000110"},
      {"ABC", "ABC2"},
      {"A-", "A-2"},
      {"\xC3\xA9",
       "\xC3\xA9"
       "2"},
      {"", "2"},
  };
  for (const auto& [last, next] : cases) EXPECT_EQ(NextAnonymizedId(last), next) << last;
}

TEST(AnonymizedIdsTest, SamePatientSameIdNewPatientNextId) {
  AnonymizedIds ids;
  EXPECT_EQ(ids.idFor("P1", "00000001"), "00000001");
  EXPECT_EQ(ids.idFor("P2", "00000001"), "00000002");
  EXPECT_EQ(ids.idFor("P1", "00000001"), "00000001");
  for (int patient = 3; patient <= 9; ++patient) ids.idFor("P" + std::to_string(patient), "x");
  EXPECT_EQ(ids.idFor("P10", "00000001"), "000000010");

  // An empty first ID still keeps the patients apart.
  AnonymizedIds fromEmpty;
  EXPECT_EQ(fromEmpty.idFor("A", ""), "");
  EXPECT_EQ(fromEmpty.idFor("B", ""), "2");
  EXPECT_EQ(fromEmpty.idFor("C", ""), "3");
}

enum Option { PatientId, PatientName, Physicians, Institution, Comments, Birthday, Dates };

struct ProfileCase {
  const char* what;
  std::vector<Option> options;
  std::map<DcmTagKey, std::string> present;
  int anonymized;
  int missing;
  std::map<DcmTagKey, std::string> expected;  // "<today>" is the UTC date of the run
};

std::string todayUtc() {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y%m%d", &utc);
  return text;
}

std::string valueOf(DcmDataset& dataset, const DcmTagKey& tag) {
  OFString value;
  if (dataset.findAndGetOFStringArray(tag, value, OFFalse).bad()) return "<absent>";
  return value.c_str();
}

void initProfile(AnonymizationProfile& profile, const std::vector<Option>& options) {
  auto on = [&](Option option) {
    return std::find(options.begin(), options.end(), option) != options.end() ? 1 : 0;
  };
  profile.Init(on(PatientId), on(PatientName), on(Physicians), on(Institution), on(Comments),
               on(Birthday), on(Dates), "00000007", "Dr Anonymous", "Some Hospital");
}

TEST(AnonymizationProfileTest, OptionsAgainstTagsPresentAndAbsent) {
  const std::map<DcmTagKey, std::string> everything = {
      {DCM_PatientID, "P1"},
      {DCM_AccessionNumber, "ACC1"},
      {DCM_PatientName, "Doe^John"},
      {DCM_PatientBirthName, "Roe^John"},
      {DCM_PatientMotherBirthName, "Roe^Jane"},
      {DCM_PatientTelephoneNumbers, "555"},
      {DCM_ReferringPhysicianName, "Dr^House"},
      {DCM_ReferringPhysicianAddress, "Main St"},
      {DCM_ReferringPhysicianTelephoneNumbers, "556"},
      {DCM_InstitutionName, "General"},
      {DCM_InstitutionalDepartmentName, "Radiology"},
      {DCM_InstitutionAddress, "Side St"},
      {DCM_PatientComments, "c1"},
      {DCM_RETIRED_StudyComments, "c2"},
      {DCM_StudyDescription, "c3"},
      {DCM_SeriesDescription, "c4"},
      {DCM_ImageComments, "c5"},
      {DCM_PatientBirthDate, "19630517"},
      {DCM_RETIRED_StudyArrivalDate, "20050309"},
      {DCM_RETIRED_StudyCompletionDate, "20050309"},
      {DCM_StudyDate, "20050309"},
      {DCM_RETIRED_StudyReadDate, "20050309"},
      {DCM_RETIRED_StudyVerifiedDate, "20050309"},
      {DCM_TreatmentDate, "20050309"},
      {DCM_ReviewDate, "20050309"},
      {DCM_PresentationCreationDate, "20050309"},
      {DCM_SeriesDate, "20050309"},
      {DCM_ContentDate, "20050309"},
  };
  const ProfileCase cases[] = {
      {"every option off", {}, everything, 0, 0, {{DCM_PatientName, "Doe^John"}}},
      {"patient ID without accession number",
       {PatientId},
       {{DCM_PatientID, "P1"}},
       1,
       1,
       {{DCM_PatientID, "00000007"}, {DCM_AccessionNumber, "<absent>"}}},
      {"patient name rows use the anonymized ID",
       {PatientName},
       {{DCM_PatientName, "Doe^John"}, {DCM_PatientBirthName, "Roe^John"}},
       2,
       2,
       {{DCM_PatientName, "00000007"},
        {DCM_PatientBirthName, "Anonymized"},
        {DCM_PatientMotherBirthName, "<absent>"}}},
      {"institution without physicians",
       {Institution},
       {{DCM_InstitutionName, "General"}, {DCM_ReferringPhysicianName, "Dr^House"}},
       1,
       2,
       {{DCM_InstitutionName, "Some Hospital"}, {DCM_ReferringPhysicianName, "Dr^House"}}},
      {"physicians",
       {Physicians},
       everything,
       3,
       0,
       {{DCM_ReferringPhysicianName, "Dr Anonymous"},
        {DCM_ReferringPhysicianAddress, "Anonymized"},
        {DCM_ReferringPhysicianTelephoneNumbers, "Anonymized"},
        {DCM_InstitutionName, "General"}}},
      {"comments",
       {Comments},
       everything,
       5,
       0,
       {{DCM_StudyDescription, "Anonymized"}, {DCM_ImageComments, "Anonymized"}}},
      {"birthday to January 1st",
       {Birthday},
       everything,
       1,
       0,
       {{DCM_PatientBirthDate, "19630101"}, {DCM_StudyDate, "20050309"}}},
      {"dates on a file with two of them",
       {Dates},
       {{DCM_StudyDate, "20050309"},
        {DCM_SeriesDate, "20050310"},
        {DCM_PatientBirthDate, "19630517"}},
       2,
       8,
       {{DCM_StudyDate, "<today>"},
        {DCM_SeriesDate, "<today>"},
        {DCM_PatientBirthDate, "19630517"},
        {DCM_ContentDate, "<absent>"}}},
      {"every option on, every tag present",
       {PatientId, PatientName, Physicians, Institution, Comments, Birthday, Dates},
       everything,
       28,
       0,
       {{DCM_AccessionNumber, "00000007"}, {DCM_ContentDate, "<today>"}}},
      {"every option on, no tag present",
       {PatientId, PatientName, Physicians, Institution, Comments, Birthday, Dates},
       {},
       0,
       28,
       {}},
  };
  // The date is the UTC one wherever the machine stands: at any hour of the day, the local
  // date differs from it in one of these two zones (UTC+14 and UTC-12).
  const char* const savedZone = std::getenv("TZ");
  const std::string previousZone = savedZone ? savedZone : "";
  for (const char* zone : {"EAST-14", "WEST+12"}) {
    setenv("TZ", zone, 1);
    tzset();
    for (const ProfileCase& c : cases) {
      SCOPED_TRACE(std::string(c.what) + " in " + zone);
      DcmDataset dataset;
      for (const auto& [tag, value] : c.present) dataset.putAndInsertString(tag, value.c_str());
      AnonymizationProfile profile;
      initProfile(profile, c.options);
      std::vector<std::string> failures;
      const std::string before = todayUtc();
      EXPECT_EQ(profile.Apply(&dataset, failures), c.anonymized);
      const std::string after = todayUtc();
      EXPECT_EQ(static_cast<int>(failures.size()), c.missing);
      for (const auto& [tag, expected] : c.expected) {
        const std::string value = valueOf(dataset, tag);
        if (expected == "<today>") {
          EXPECT_TRUE(value == before || value == after) << tag << " " << value;
        } else {
          EXPECT_EQ(value, expected) << tag;
        }
      }
    }
  }
  if (savedZone) {
    setenv("TZ", previousZone.c_str(), 1);
  } else {
    unsetenv("TZ");
  }
  tzset();
}

TEST(AnonymizationProfileTest, FailureLinesNameTheRow) {
  DcmDataset dataset;
  dataset.putAndInsertString(DCM_PatientBirthDate, "");
  AnonymizationProfile profile;
  initProfile(profile, {PatientId, Birthday, Dates});
  std::vector<std::string> failures;
  EXPECT_EQ(profile.Apply(&dataset, failures), 0);
  ASSERT_EQ(failures.size(), 13u);
  EXPECT_EQ(failures[0], "Can't modify tag Patient ID");
  EXPECT_EQ(failures[1], "Can't modify tag Accession Number");
  EXPECT_EQ(failures[2], "Can't change tag Patients Birthdate");
  EXPECT_EQ(failures[3], "Can't reset tag Study Arrival Date");
  EXPECT_EQ(failures[12], "Can't reset tag Content Date [Image Date]");
}

TEST(AnonymizationProfileTest, ApplyWithoutInitChangesNothing) {
  DcmDataset dataset;
  dataset.putAndInsertString(DCM_PatientID, "P1");
  AnonymizationProfile profile;
  std::vector<std::string> failures;
  EXPECT_EQ(profile.Apply(&dataset, failures), 0);
  EXPECT_EQ(failures, std::vector<std::string>{"Parameter not initialized"});
  EXPECT_EQ(valueOf(dataset, DCM_PatientID), "P1");
}

struct CharacterSetCase {
  const char* what;
  const char* declared;  // nullptr: no Specific Character Set
  std::map<DcmTagKey, std::string> present;
  std::string institutionName;  // the replacement, UTF-8
  std::map<DcmTagKey, std::string> expected;
};

// A non-ASCII replacement needs the data set in UTF-8. Only a value that is written may
// change the character set, and texts that could not be converted keep their label.
TEST(AnonymizationProfileTest, ReplacementTextAndTheFilesCharacterSet) {
  const std::string hopital = "H\xC3\xB4pital \xC3\x89loi";
  const std::string muellerLatin1 = "M\xFCller^Hans";
  const std::string yamadaJis = "\x1B$B;3ED\x1B(B^\x1B$BB@O:\x1B(B";  // ISO 2022 IR 87
  const CharacterSetCase cases[] = {
      {"latin-1, converted",
       "ISO_IR 100",
       {{DCM_PatientName, muellerLatin1}, {DCM_InstitutionName, "General"}},
       hopital,
       {{DCM_SpecificCharacterSet, "ISO_IR 192"},
        {DCM_PatientName, "M\xC3\xBCller^Hans"},
        {DCM_InstitutionName, hopital}}},
      {"ascii value, nothing converted",
       "ISO_IR 100",
       {{DCM_PatientName, muellerLatin1}, {DCM_InstitutionName, "General"}},
       "Some Hospital",
       {{DCM_SpecificCharacterSet, "ISO_IR 100"},
        {DCM_PatientName, muellerLatin1},
        {DCM_InstitutionName, "Some Hospital"}}},
      {"nothing written, nothing converted",
       "ISO_IR 100",
       {{DCM_PatientName, muellerLatin1}},
       hopital,
       {{DCM_SpecificCharacterSet, "ISO_IR 100"},
        {DCM_PatientName, muellerLatin1},
        {DCM_InstitutionName, "<absent>"}}},
      {"undeclared 8-bit texts",
       nullptr,
       {{DCM_PatientName, muellerLatin1}, {DCM_InstitutionName, "General"}},
       hopital,
       {{DCM_SpecificCharacterSet, "<absent>"},
        {DCM_PatientName, muellerLatin1},
        {DCM_InstitutionName, "H?pital ?loi"}}},
      {"japanese, no converter",
       "\\ISO 2022 IR 87",
       {{DCM_PatientName, yamadaJis}, {DCM_InstitutionName, "General"}},
       hopital,
       {{DCM_SpecificCharacterSet, "\\ISO 2022 IR 87"},
        {DCM_PatientName, yamadaJis},
        {DCM_InstitutionName, "H?pital ?loi"}}},
      // 0xFF is no Greek letter: the conversion fails after the study description.
      {"greek, fails half-way",
       "ISO_IR 126",
       {{DCM_StudyDescription, "\xC1\xE8"},
        {DCM_PatientName, "\xFF"},
        {DCM_InstitutionName, "General"}},
       hopital,
       {{DCM_SpecificCharacterSet, "ISO_IR 126"},
        {DCM_StudyDescription, "\xC1\xE8"},
        {DCM_InstitutionName, "H?pital ?loi"}}},
  };
  for (const CharacterSetCase& c : cases) {
    SCOPED_TRACE(c.what);
    DcmDataset dataset;
    if (c.declared) dataset.putAndInsertString(DCM_SpecificCharacterSet, c.declared);
    for (const auto& [tag, value] : c.present) dataset.putAndInsertString(tag, value.c_str());
    AnonymizationProfile profile;
    profile.Init(0, 0, 0, 1, 0, 0, 0, "1", "", c.institutionName);
    std::vector<std::string> failures;
    profile.Apply(&dataset, failures);
    for (const auto& [tag, value] : c.expected) EXPECT_EQ(valueOf(dataset, tag), value) << tag;
  }
}

}  // namespace
