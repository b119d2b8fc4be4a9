#pragma once

#include <string>

// One answer of the new patient data question, remembered for the rest of the medium.
struct NewPatientDataRecord {
  std::string patientId;  // key: as read from the file that raised the question
  std::string modality;   // key: as read, or "Unknown"
  std::string newPatientId;
  std::string newAccessionNumber;  // empty: leave it
  std::string newPatientName;      // empty: leave it
  bool cancelled = false;          // the user cancelled: files of the pair stay as read
};
