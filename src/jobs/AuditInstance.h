#pragma once

#include <string>

// One DICOM object as an audit record names it: whose it is, in which study, of which kind.
struct AuditInstance {
  std::string patientId;
  std::string patientName;
  std::string studyInstanceUid;
  std::string sopClassUid;
};

// The instance in the file at `path` (a job folder's copy), read through the nesting guard.
// Values it cannot read stay empty.
AuditInstance readAuditInstance(const std::string& path);
