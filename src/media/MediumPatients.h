#pragma once

#include <string>
#include <vector>

struct MediumPatient {
  std::string patientId;    // "Unknown" when the files carry none, as their copies will
  std::string patientName;  // of the first file of the patient
};

// The patients of the DICOM objects below `root` in the order they are first met, read as
// the import reads them (same filter, same checks, links to folders not followed), and
// without writing anything. For a check before an import that gives every patient one
// identity.
std::vector<MediumPatient> patientsOnMedium(const std::string& root,
                                            const std::vector<std::string>& excludedExtensions);
