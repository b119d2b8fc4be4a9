#pragma once

#include <string>

// One DICOM object as an audit record names it: whose it is, in which study, of which kind.
struct AuditInstance {
  std::string patientId;
  std::string patientName;
  std::string studyInstanceUid;
  std::string sopClassUid;
};

// `value` of a text attribute in the character set(s) `characterSet` (Specific Character Set,
// values separated by a backslash) as UTF-8, which the records are written in. As it is when it
// needs no conversion or cannot be converted.
std::string textInUtf8(const std::string& value, const std::string& characterSet);

// The instance in the file at `path` (a job folder's copy), read through the nesting guard.
// Values it cannot read stay empty.
AuditInstance readAuditInstance(const std::string& path);
