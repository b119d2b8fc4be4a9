#include <gtest/gtest.h>

#include <sstream>

#include "config/AppSettings.h"
#include "config/ArchiveError.h"
#include "config/ArchiveReader.h"
#include "config/ArchiveWriter.h"
#include "config/CStationArray.h"
#include "platform/UserFolders.h"

namespace {

template <typename T>
std::string written(const T& value) {
  ArchiveWriter archive;
  value.Serialize(archive);
  return archive.bytes();
}

// Loads `bytes` into `target`; true when the whole read succeeded.
template <typename T>
bool loadInto(const std::string& bytes, T& target) {
  std::istringstream in(bytes);
  ArchiveReader archive(in);
  try {
    target.Serialize(archive);
  } catch (const ArchiveError& error) {
    EXPECT_EQ(error.cause(), ArchiveError::Cause::EndOfFile);
    return false;
  }
  return true;
}

AppSettings unusualSettings() {
  AppSettings s;
  s.tempFolder = std::string(255, 't');
  s.useExtensionFilter = 0;
  s.startMinimized = 0;
  s.openTrayAfterReading = 0;
  s.stayOnTop = 0;
  s.verbose = 1;
  s.sendToStandardDestination = 0;
  s.standardDestination = 3;
  s.useForwardRules = 1;
  s.anonymize = 1;
  s.anonymizePatientId = 1;
  s.anonymizedPatientId = "00000042";
  s.anonymizePatientName = 1;
  s.patientNameText = "";
  s.anonymizePhysicians = 1;
  s.physiciansName = "Dr. X";
  s.anonymizeInstitution = 1;
  s.institutionName = "Clinic \xC3\xA9";
  s.anonymizeComments = 1;
  s.birthdayToJanuaryFirst = 1;
  s.datesToCurrentDate = 1;
  s.askForNewPatientData = 1;
  s.noCompressedTransfer = 0;
  s.callingAeTitle = "ME";
  s.maxPduSize = 131072;
  s.timeoutMs = 7;
  s.correctSpacePaddedUids = 1;
  s.proposeRequiredContextsOnly = 1;
  s.windowX = -1200;
  s.windowY = 2147483647;
  return s;
}

}  // namespace

TEST(SettingsSerialize, DefaultsHaveTheDocumentedSizeAndEveryFieldRoundTrips) {
  const AppSettings defaults;
  const std::string defaultBytes = written(defaults);
  // 24 int32 values, then six strings with 1-byte prefixes.
  EXPECT_EQ(defaultBytes.size(), 96 + 6 + defaults.tempFolder.size() + 0 + 3 * 21 + 7);

  const AppSettings original = unusualSettings();
  const std::string bytes = written(original);
  AppSettings loaded;
  ASSERT_TRUE(loadInto(bytes, loaded));
  EXPECT_EQ(written(loaded), bytes);
  EXPECT_EQ(loaded.tempFolder, original.tempFolder);
  EXPECT_EQ(bytes.substr(0, 3), std::string("\xFF\xFF\x00", 3));  // 255-character string
  EXPECT_EQ(loaded.windowX, -1200);
  EXPECT_EQ(loaded.institutionName, original.institutionName);
}

// The defaults of the documented settings table, written field by field in its order
// (the per-user temporary folder stands for C:\TEMP\). setDefaults gives the same.
TEST(SettingsSerialize, DefaultsAreTheDocumentedOnes) {
  ArchiveWriter documented;
  documented.writeString(defaultTempFolder());  // 1 tempFolder
  // 2 useExtensionFilter .. 11 anonymizePatientId
  for (int32_t value : {1, 1, 1, 1, 0, 1, -1, 0, 0, 0}) documented.writeInt32(value);
  documented.writeString("");                       // 12 anonymizedPatientId
  documented.writeInt32(0);                         // 13 anonymizePatientName
  documented.writeString("Anonymized by Kalvora");  // 14 patientNameText
  documented.writeInt32(0);                         // 15 anonymizePhysicians
  documented.writeString("Anonymized by Kalvora");  // 16 physiciansName
  documented.writeInt32(0);                         // 17 anonymizeInstitution
  documented.writeString("Anonymized by Kalvora");  // 18 institutionName
  // 19 anonymizeComments .. 23 noCompressedTransfer
  for (int32_t value : {0, 0, 0, 0, 1}) documented.writeInt32(value);
  documented.writeString("KALVORA");  // 24 callingAeTitle
  // 25 maxPduSize, 26 timeoutMs, 27, 28 the compatibility switches, 29 windowX, 30 windowY
  for (int32_t value : {16384, 1000, 0, 0, 200, 200}) documented.writeInt32(value);

  EXPECT_EQ(written(AppSettings()), documented.bytes());
  AppSettings reset = unusualSettings();
  reset.setDefaults();
  EXPECT_EQ(written(reset), documented.bytes());
  EXPECT_EQ(defaultTempFolder().back(), '/');
}

TEST(SettingsSerialize, FileWithOnlyTheFirstFiveFieldsKeepsDefaultsForTheRest) {
  ArchiveWriter firstFive;
  firstFive.writeString("/data/jobs");
  for (int flag : {0, 0, 0, 0}) firstFive.writeInt32(flag);
  AppSettings loaded;
  EXPECT_FALSE(loadInto(firstFive.bytes(), loaded));

  AppSettings expected;
  expected.tempFolder = "/data/jobs";
  expected.useExtensionFilter = expected.startMinimized = 0;
  expected.openTrayAfterReading = expected.stayOnTop = 0;
  EXPECT_EQ(written(loaded), written(expected));
}

TEST(SettingsSerialize, EmptyFileChangesNothing) {
  AppSettings loaded;
  loaded.callingAeTitle = "KEPT";
  EXPECT_FALSE(loadInto("", loaded));
  EXPECT_EQ(loaded.callingAeTitle, "KEPT");
}

TEST(ListSerialize, TruncatedListKeepsTheCompleteRecords) {
  CStationArray three;
  three.Add({"A", "AE_A", "host-a", 1});
  three.Add({"B", "AE_B", "host-b", 2});
  three.Add({"C", "AE_C", "host-c", 3});
  const std::string bytes = written(three);
  // Cut inside the third station's host.
  const std::string cut = bytes.substr(0, bytes.size() - 6);

  CStationArray loaded;
  EXPECT_FALSE(loadInto(cut, loaded));
  ASSERT_EQ(loaded.GetSize(), 2);
  EXPECT_EQ(loaded[1].alias, "B");
  EXPECT_EQ(loaded[1].port, 2);
}

TEST(ListSerialize, NegativeCountIsAnEmptyListAndTheRestIsIgnored) {
  CStationArray loaded;
  EXPECT_TRUE(loadInto(std::string("\xFF\xFF\xFF\xFF\x04PACS", 9), loaded));
  EXPECT_EQ(loaded.GetSize(), 0);
}

TEST(ListSerialize, LoadingAppendsToWhatTheArrayHolds) {
  CStationArray one;
  one.Add({"NEW", "AE", "h", 5});
  CStationArray loaded;
  loaded.Add({"OLD", "AE", "h", 4});
  EXPECT_TRUE(loadInto(written(one) + "trailing bytes", loaded));
  ASSERT_EQ(loaded.GetSize(), 2);
  EXPECT_EQ(loaded[0].alias, "OLD");
  EXPECT_EQ(loaded[1].alias, "NEW");
}
