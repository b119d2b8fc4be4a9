#include "media/AnonymizationProfile.h"

#include <dcmtk/dcmdata/dcdatset.h>

#include "media/CharacterSet.h"
#include "media/TagOperations.h"

void AnonymizationProfile::Init(int32_t anonymizePatientId, int32_t anonymizePatientName,
                                int32_t anonymizePhysicians, int32_t anonymizeInstitution,
                                int32_t anonymizeComments, int32_t birthdayToJanuaryFirst,
                                int32_t datesToCurrentDate, const std::string& anonymizedId,
                                const std::string& physiciansName,
                                const std::string& institutionName) {
  anonymizePatientId_ = anonymizePatientId;
  anonymizePatientName_ = anonymizePatientName;
  anonymizePhysicians_ = anonymizePhysicians;
  anonymizeInstitution_ = anonymizeInstitution;
  anonymizeComments_ = anonymizeComments;
  birthdayToJanuaryFirst_ = birthdayToJanuaryFirst;
  datesToCurrentDate_ = datesToCurrentDate;
  anonymizedId_ = anonymizedId;
  physiciansName_ = physiciansName;
  institutionName_ = institutionName;
  initialized_ = true;
}

int32_t AnonymizationProfile::Apply(DcmDataset* dataset, std::vector<std::string>& failures) {
  if (!initialized_ || dataset == nullptr) {
    failures.push_back("Parameter not initialized");
    return 0;
  }
  BuildTable();
  return ApplyTable(*dataset, failures);
}

void AnonymizationProfile::add(Uint16 group, Uint16 element, const std::string& name,
                               TagActionKind kind, const std::string& value) {
  table_.push_back(TagAction{group, element, value, kind, name});
}

void AnonymizationProfile::BuildTable() {
  using Kind = TagActionKind;
  const std::string anonymized = "Anonymized";
  table_.clear();
  if (anonymizePatientId_) {
    add(0x0010, 0x0020, "Patient ID", Kind::ReplaceValue, anonymizedId_);
    add(0x0008, 0x0050, "Accession Number", Kind::ReplaceValue, anonymizedId_);
  }
  if (anonymizePatientName_) {
    add(0x0010, 0x0010, "Patients Name", Kind::ReplaceValue, anonymizedId_);
    add(0x0010, 0x1005, "Patients Birth Name", Kind::ReplaceValue, anonymized);
    add(0x0010, 0x1060, "Patients Mothers Birth Name", Kind::ReplaceValue, anonymized);
    add(0x0010, 0x2154, "Patients Telephone Number", Kind::ReplaceValue, anonymized);
  }
  if (anonymizePhysicians_) {
    add(0x0008, 0x0090, "Referring Physicians Name", Kind::ReplaceValue, physiciansName_);
    add(0x0008, 0x0092, "Referring Physicians Address", Kind::ReplaceValue, anonymized);
    add(0x0008, 0x0094, "Referring Physicians Telephone Numbers", Kind::ReplaceValue, anonymized);
  }
  if (anonymizeInstitution_) {
    add(0x0008, 0x0080, "Institution Name", Kind::ReplaceValue, institutionName_);
    add(0x0008, 0x1040, "Institutional Department Name", Kind::ReplaceValue, anonymized);
    add(0x0008, 0x0081, "Institution Address", Kind::ReplaceValue, anonymized);
  }
  if (anonymizeComments_) {
    add(0x0010, 0x4000, "Patient Comment", Kind::ReplaceValue, anonymized);
    add(0x0032, 0x4000, "Study Comments", Kind::ReplaceValue, anonymized);
    add(0x0008, 0x1030, "Study Description", Kind::ReplaceValue, anonymized);
    add(0x0008, 0x103E, "Series Description", Kind::ReplaceValue, anonymized);
    add(0x0020, 0x4000, "Image Comments", Kind::ReplaceValue, anonymized);
  }
  if (birthdayToJanuaryFirst_) {
    add(0x0010, 0x0030, "Patients Birthdate", Kind::SetJanuaryFirst);
  }
  if (datesToCurrentDate_) {
    add(0x0032, 0x1040, "Study Arrival Date", Kind::SetCurrentDate);
    add(0x0032, 0x1050, "Study Completion Date", Kind::SetCurrentDate);
    add(0x0008, 0x0020, "Study Date", Kind::SetCurrentDate);
    add(0x0032, 0x0034, "Study Read Date", Kind::SetCurrentDate);
    add(0x0032, 0x0032, "Study Verified Date", Kind::SetCurrentDate);
    add(0x3008, 0x0250, "Treatment Date", Kind::SetCurrentDate);
    add(0x300E, 0x0004, "Review Date", Kind::SetCurrentDate);
    add(0x0070, 0x0082, "Presentation Creation Date", Kind::SetCurrentDate);
    add(0x0008, 0x0021, "Series Date", Kind::SetCurrentDate);
    add(0x0008, 0x0023, "Content Date [Image Date]", Kind::SetCurrentDate);
  }
}

int32_t AnonymizationProfile::ApplyTable(DcmDataset& dataset, std::vector<std::string>& failures) {
  int32_t count = 0;
  for (const TagAction& row : table_) {
    OFCondition result;
    const char* failureLine = nullptr;
    switch (row.kind) {
      case TagActionKind::DeleteTag:
        result = DeleteTag(dataset, row.group, row.element);
        failureLine = "Can't delete tag ";
        break;
      case TagActionKind::SetJanuaryFirst:
        result = SetJanuaryFirst(dataset, row.group, row.element, row.name);
        failureLine = "Can't change tag ";
        break;
      case TagActionKind::SetCurrentDate:
        result = SetCurrentDate(dataset, row.group, row.element, row.name);
        failureLine = "Can't reset tag ";
        break;
      case TagActionKind::ReplaceValue: {
        // Only a value that is written may touch the data set's character set.
        const bool written = dataset.tagExists(DcmTagKey(row.group, row.element), OFFalse);
        const std::string value = written ? PrepareForText(dataset, row.value) : row.value;
        result = ReplaceValue(&dataset, row.group, row.element, value, row.name);
        failureLine = "Can't modify tag ";
        break;
      }
      default:
        continue;
    }
    if (result.good()) {
      ++count;
    } else {
      failures.push_back(failureLine + row.name);
    }
  }
  return count;
}
