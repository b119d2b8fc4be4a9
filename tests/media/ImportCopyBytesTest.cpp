// What lands in the job folder: a file the import does not change is the medium's own bytes;
// one it changes is written anew and carries the new values.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcmetinf.h>

#include "RawDicomWriter.h"
#include "ScanTestSupport.h"
#include "TempDir.h"
#include "dicom/CopyIdentity.h"
#include "media/MediaScan.h"

namespace fs = std::filesystem;

namespace {

const char* const kExplicitLittle = "1.2.840.10008.1.2.1";
const char* const kSopClass = "1.2.840.10008.5.1.4.1.1.7";
const char* const kSopInstance = "1.2.3.4.5.6.7.8.9";

// A data set that names the object of rawMetaHeader's defaults, with the elements of group
// 0009 given; `patientName` empty: none.
RawDicomWriter dataset(const std::string& patientName = "Doe^Jane",
                       const RawDicomWriter& group9 = RawDicomWriter()) {
  RawDicomWriter writer;
  writer.element(0x0008, 0x0016, "UI", std::string(kSopClass) + '\0')
      .element(0x0008, 0x0018, "UI", std::string(kSopInstance) + '\0')
      .element(0x0008, 0x0060, "CS", "OT")
      .raw(group9.bytes());
  if (!patientName.empty()) writer.element(0x0010, 0x0010, "PN", patientName);
  writer.element(0x0010, 0x0020, "LO", "P1");
  return writer;
}

std::string pattern(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 7 + i / 251);
  return bytes;
}

std::string withPreamble(std::string file, const std::string& preamble) {
  file.replace(0, preamble.size(), preamble);
  return file;
}

class ImportCopyBytesTest : public ::testing::Test {
 protected:
  std::string medium() const { return root_.path() + "/medium"; }
  std::string job() const { return root_.path() + "/job"; }
  void SetUp() override {
    fs::create_directories(medium());
    fs::create_directories(job());
  }
  // Imports the one file and returns the bytes of its copy.
  std::string importedCopy(const std::string& bytes, const ScanRequest& request) {
    writeFileBytes(medium() + "/IM1", bytes);
    std::vector<std::pair<ScanEvent, std::string>> events = fileEvents(runScan(request, prompts_));
    events.erase(std::remove_if(events.begin(), events.end(),
                                [](const auto& e) { return e.first == ScanEvent::FileAnonymized; }),
                 events.end());
    EXPECT_EQ(events,
              (std::vector<std::pair<ScanEvent, std::string>>{{ScanEvent::FileCopied, "IM1"}}));
    EXPECT_EQ(folderNames(job()), (std::vector<std::string>{"IM1"}));
    return readFileBytes(job() + "/IM1");
  }

  TempDir root_;
  ScriptedPrompts prompts_;
};

TEST_F(ImportCopyBytesTest, AnUnchangedFileIsCopiedByteForByte) {
  const std::string meta = rawMetaHeader(kExplicitLittle);
  const struct {
    const char* what;
    std::string file;
  } cases[] = {
      {"trailing padding after the data set",
       meta + dataset().element(0xFFFC, 0xFFFC, "OB", std::string(300, '\0')).bytes()},
      {"an odd length",
       meta + dataset("Doe^Jane", RawDicomWriter().element(0x0009, 0x0010, "LO", "ODD")).bytes()},
      {"a large private value", meta + dataset()
                                           .element(0x0009, 0x0010, "LO", "KALVORA ")
                                           .element(0x0009, 0x1000, "OB", pattern(3 << 20))
                                           .bytes()},
      {"pixel data in two pieces of undefined length",
       meta + dataset()
                  .header(0x7FE0, 0x0010, "OB", 0xFFFFFFFF)
                  .item(0)
                  .item(5000)
                  .raw(pattern(5000))
                  .sequenceEnd()
                  .bytes()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(job());
    fs::create_directories(job());
    const std::string copy = importedCopy(c.file, plainRequest(medium(), job()));
    EXPECT_EQ(copy.size(), c.file.size());
    EXPECT_TRUE(copy == c.file);
  }
}

// The preamble may hold a program's header; it never reaches the job folder.
TEST_F(ImportCopyBytesTest, TheCopyOfAnUnchangedFileHasAZeroedPreamble) {
  const std::string file = rawMetaHeader(kExplicitLittle) + dataset().bytes();
  const std::string copy =
      importedCopy(withPreamble(file, "MZ\x90\0 a program"), plainRequest(medium(), job()));
  EXPECT_TRUE(copy == file);
}

// A copy that keeps the header would keep what the send negotiates with: a header naming
// another object or another transfer syntax is made anew.
TEST_F(ImportCopyBytesTest, AHeaderThatDisagreesWithItsDataSetIsWrittenAnew) {
  const struct {
    const char* what;
    std::string meta;
  } cases[] = {
      {"another instance", rawMetaHeader(kExplicitLittle, kSopClass, "1.2.3")},
      {"another class", rawMetaHeader(kExplicitLittle, "1.2.840.10008.5.1.4.1.1.2")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(job());
    fs::create_directories(job());
    const std::string file = c.meta + dataset().bytes();
    const std::string copy = importedCopy(file, plainRequest(medium(), job()));
    EXPECT_FALSE(copy == file);
    DcmFileFormat loaded;
    ASSERT_TRUE(loaded.loadFile((job() + "/IM1").c_str()).good());
    OFString value;
    loaded.getMetaInfo()->findAndGetOFString(DCM_MediaStorageSOPInstanceUID, value);
    EXPECT_EQ(value, kSopInstance);
    loaded.getMetaInfo()->findAndGetOFString(DCM_MediaStorageSOPClassUID, value);
    EXPECT_EQ(value, kSopClass);
  }
}

// Changed files are written by DCMTK, with their large values read from the medium meanwhile.
TEST_F(ImportCopyBytesTest, AChangedCopyCarriesTheNewValuesAndEveryLargeValueWhole) {
  const std::string pixels = pattern(2 << 20);
  const std::string privateValue = pattern(300000);
  const std::string meta = rawMetaHeader(kExplicitLittle);
  const auto file = [&](const std::string& patientName) {
    return meta + dataset(patientName, RawDicomWriter()
                                           .element(0x0009, 0x0010, "LO", "KALVORA ")
                                           .element(0x0009, 0x1000, "OB", privateValue))
                      .element(0x7FE0, 0x0010, "OW", pixels)
                      .bytes();
  };
  ScanRequest anonymizing = plainRequest(medium(), job());
  anonymizing.anonymize = 1;
  anonymizing.anonymizePatientName = 1;
  const struct {
    const char* what;
    std::string file;
    ScanRequest request;
    std::string patientName;
  } cases[] = {
      {"no name on the medium", file(""), plainRequest(medium(), job()), "Unknown"},
      {"anonymized", file("Doe^Jane"), anonymizing, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(job());
    fs::create_directories(job());
    const std::string copy = importedCopy(c.file, c.request);
    EXPECT_FALSE(copy == c.file);

    DcmFileFormat loaded;
    ASSERT_TRUE(loaded.loadFile((job() + "/IM1").c_str()).good());
    DcmDataset& written = *loaded.getDataset();
    OFString name;
    written.findAndGetOFString(DCM_PatientName, name);
    if (!c.patientName.empty()) {
      EXPECT_EQ(name, c.patientName.c_str());
    }
    EXPECT_NE(name, "Doe^Jane");
    const Uint8* value = nullptr;
    unsigned long length = 0;
    ASSERT_TRUE(written.findAndGetUint8Array(DcmTagKey(0x0009, 0x1000), value, &length).good());
    EXPECT_TRUE(std::string(reinterpret_cast<const char*>(value), length) == privateValue);
    const Uint16* words = nullptr;
    ASSERT_TRUE(written.findAndGetUint16Array(DCM_PixelData, words, &length).good());
    EXPECT_TRUE(std::string(reinterpret_cast<const char*>(words), length * 2) == pixels);
  }
}

// The journal's record of a copy must name it as a later look at the file does, whichever way
// it was written: a record that differs would have it sent again, or deleted as another file.
TEST_F(ImportCopyBytesTest, TheRecordedIdentityIsTheCopysOwn) {
  const std::string meta = rawMetaHeader(kExplicitLittle);
  const struct {
    const char* what;
    std::string file;
  } cases[] = {
      {"unchanged", meta + dataset().element(0x7FE0, 0x0010, "OW", pattern(70000)).bytes()},
      {"changed", meta + dataset("").element(0x7FE0, 0x0010, "OW", pattern(70000)).bytes()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(job());
    fs::create_directories(job());
    ScanRequest request = plainRequest(medium(), job());
    std::vector<std::pair<std::string, CopyIdentity>> recorded;
    request.copyWritten = [&](const std::string& name, const CopyIdentity& identity) {
      recorded.emplace_back(name, identity);
    };
    importedCopy(c.file, request);
    ASSERT_EQ(recorded.size(), 1u);
    EXPECT_EQ(recorded[0].first, "IM1");
    const CopyIdentity onDisk = readCopyIdentity(job() + "/IM1");
    EXPECT_TRUE(onDisk.known());
    EXPECT_EQ(recorded[0].second.sopInstanceUid, onDisk.sopInstanceUid);
    EXPECT_EQ(recorded[0].second.size, onDisk.size);
  }
}

}  // namespace
