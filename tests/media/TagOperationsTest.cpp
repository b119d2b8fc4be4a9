#include <gtest/gtest.h>

#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcitem.h>
#include <dcmtk/dcmdata/dcsequen.h>

#include "media/TagOperations.h"

namespace {

std::string valueOf(DcmDataset& dataset, const DcmTagKey& tag) {
  OFString value;
  if (dataset.findAndGetOFStringArray(tag, value, OFFalse).bad()) return "<absent>";
  return value.c_str();
}

struct Outcome {
  bool good;
  std::string text;
};

Outcome outcome(const OFCondition& condition) {
  EXPECT_EQ(condition.module(), 0);
  EXPECT_EQ(condition.code(), 0);
  return {condition.good(), condition.text()};
}

class TagOperationsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dataset.putAndInsertString(DCM_InstitutionName, "General Hospital");
    dataset.putAndInsertString(DCM_PatientBirthDate, "19630517");
    dataset.putAndInsertString(DCM_StudyDate, "20050309\\20050310");
    dataset.putAndInsertString(DCM_SeriesDate, "");
    dataset.putAndInsertString(DCM_ContentDate, "1963");
    // Referring Physician's Name only inside a sequence item.
    DcmItem* item = nullptr;
    dataset.findOrCreateSequenceItem(DCM_ReferencedStudySequence, item, -2);
    item->putAndInsertString(DCM_ReferringPhysicianName, "Dr^Who");
  }
  DcmDataset dataset;
};

TEST_F(TagOperationsTest, ReplaceValueChangesOnlyTopLevelElementsThatExist) {
  Outcome replaced =
      outcome(ReplaceValue(&dataset, 0x0008, 0x0080, "Anonymized", "Institution Name"));
  EXPECT_TRUE(replaced.good);
  EXPECT_EQ(replaced.text, "Tag 'Institution Name' anonymized.");
  EXPECT_EQ(valueOf(dataset, DCM_InstitutionName), "Anonymized");

  for (const DcmTagKey& tag : {DCM_InstitutionAddress, DCM_ReferringPhysicianName}) {
    Outcome missing =
        outcome(ReplaceValue(&dataset, tag.getGroup(), tag.getElement(), "X", "Name"));
    EXPECT_FALSE(missing.good);
    EXPECT_EQ(missing.text, "Can't find tag 'Name'.");
    EXPECT_EQ(valueOf(dataset, tag), "<absent>");
  }
  Outcome noDataset = outcome(ReplaceValue(nullptr, 0x0008, 0x0080, "X", "Institution Name"));
  EXPECT_FALSE(noDataset.good);
  EXPECT_EQ(noDataset.text, "No dataset loaded yet!");
}

TEST_F(TagOperationsTest, SetJanuaryFirstKeepsTheYear) {
  Outcome result = outcome(SetJanuaryFirst(dataset, 0x0010, 0x0030, "Patients Birthdate"));
  EXPECT_TRUE(result.good);
  EXPECT_EQ(result.text, "Tag 'Patients Birthdate' reset to January, 1st");
  EXPECT_EQ(valueOf(dataset, DCM_PatientBirthDate), "19630101");

  // Two values: only the first is kept, changed.
  EXPECT_TRUE(SetJanuaryFirst(dataset, 0x0008, 0x0020, "Study Date").good());
  EXPECT_EQ(valueOf(dataset, DCM_StudyDate), "20050101");

  // A year alone has no month and day to replace; it stays as it is.
  Outcome partial = outcome(SetJanuaryFirst(dataset, 0x0008, 0x0023, "Content Date"));
  EXPECT_FALSE(partial.good);
  EXPECT_EQ(partial.text, "Can't modify tag 'Content Date'.");
  EXPECT_EQ(valueOf(dataset, DCM_ContentDate), "1963");
}

TEST_F(TagOperationsTest, SetCurrentDateWritesTheUtcDate) {
  // 2021-03-01 23:30 UTC is already 2 March east of Greenwich; the UTC date is written.
  const std::time_t lateEvening = 1614641400;
  Outcome result = outcome(SetCurrentDate(dataset, 0x0008, 0x0020, "Study Date", lateEvening));
  EXPECT_TRUE(result.good);
  EXPECT_EQ(result.text, "Tag 'Study Date' reset to 20210301");
  EXPECT_EQ(valueOf(dataset, DCM_StudyDate), "20210301");
}

TEST_F(TagOperationsTest, DateOperationsFailOnAbsentOrEmptyElements) {
  for (const DcmTagKey& tag : {DCM_SeriesDate, DCM_AcquisitionDate}) {
    const std::string before = valueOf(dataset, tag);
    Outcome january = outcome(SetJanuaryFirst(dataset, tag.getGroup(), tag.getElement(), "D"));
    Outcome today = outcome(SetCurrentDate(dataset, tag.getGroup(), tag.getElement(), "D"));
    EXPECT_FALSE(january.good);
    EXPECT_FALSE(today.good);
    EXPECT_EQ(january.text, "Can't find tag 'D'.");
    EXPECT_EQ(today.text, "Can't find tag 'D'.");
    EXPECT_EQ(valueOf(dataset, tag), before);
  }
}

TEST_F(TagOperationsTest, DeleteTagRemovesPresentElementsOnly) {
  Outcome deleted = outcome(DeleteTag(dataset, 0x0008, 0x0080));
  EXPECT_TRUE(deleted.good);
  EXPECT_EQ(deleted.text, "Tag deleted");
  EXPECT_EQ(valueOf(dataset, DCM_InstitutionName), "<absent>");

  const unsigned long before = dataset.card();
  Outcome missing = outcome(DeleteTag(dataset, 0x0008, 0x0080));
  EXPECT_FALSE(missing.good);
  EXPECT_EQ(missing.text, "Can't delete tag");
  EXPECT_EQ(dataset.card(), before);
}

}  // namespace
