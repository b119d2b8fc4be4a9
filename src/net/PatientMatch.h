#pragma once

#include <string>

// What we ask a query station about the patient of a medium: the file's own data. The
// file's patient ID belongs to another hospital's domain and is never a key.
struct PatientQueryKeys {
  std::string familyName;  // matched as a prefix; empty matches every name
  std::string birthDate;   // YYYYMMDD, exact; empty matches every date
  std::string sex;         // M, F or O, exact; empty matches every sex
};

// One patient as the query station knows it, every text in UTF-8.
struct PatientMatch {
  std::string patientId;  // the local patient ID
  std::string issuer;     // Issuer of Patient ID, when the station gives one
  std::string patientName;
  std::string birthDate;
  std::string sex;
  std::string accessionNumber;     // worklist only
  std::string scheduledProcedure;  // worklist only: the step's or the procedure's description
};
