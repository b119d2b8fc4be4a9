#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "media/TagAction.h"

class DcmDataset;

// The anonymization of one file: options select rows of a fixed tag table, each row
// runs one tag operation. Attributes a file lacks are counted, never added.
class AnonymizationProfile {
 public:
  void Init(int32_t anonymizePatientId, int32_t anonymizePatientName, int32_t anonymizePhysicians,
            int32_t anonymizeInstitution, int32_t anonymizeComments, int32_t birthdayToJanuaryFirst,
            int32_t datesToCurrentDate, const std::string& anonymizedId,
            const std::string& physiciansName, const std::string& institutionName);
  // Number of rows that succeeded; a line per failed row is appended to `failures`.
  int32_t Apply(DcmDataset* dataset, std::vector<std::string>& failures);
  void BuildTable();
  int32_t ApplyTable(DcmDataset& dataset, std::vector<std::string>& failures);

  const std::vector<TagAction>& table() const { return table_; }

 private:
  void add(Uint16 group, Uint16 element, const std::string& name, TagActionKind kind,
           const std::string& value = {});

  int32_t anonymizePatientId_ = 0;
  int32_t anonymizePatientName_ = 0;
  int32_t anonymizePhysicians_ = 0;
  int32_t anonymizeInstitution_ = 0;
  int32_t anonymizeComments_ = 0;
  int32_t birthdayToJanuaryFirst_ = 0;
  int32_t datesToCurrentDate_ = 0;
  std::string anonymizedId_;
  std::string physiciansName_;
  std::string institutionName_;
  bool initialized_ = false;
  std::vector<TagAction> table_;
};
