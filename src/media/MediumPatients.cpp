#include "media/MediumPatients.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include <dcmtk/dcmdata/dcdeftag.h>

#include "media/MediaFileLoad.h"

namespace fs = std::filesystem;

namespace {

std::string valueOf(DcmDataset& dataset, const DcmTagKey& tag) {
  OFString value;
  if (dataset.findAndGetOFString(tag, value, 0, OFFalse).bad()) return "";
  return value.c_str();
}

}  // namespace

std::vector<MediumPatient> patientsOnMedium(const std::string& root,
                                            const std::vector<std::string>& excludedExtensions) {
  std::vector<MediumPatient> patients;
  std::error_code error;
  fs::recursive_directory_iterator walk(root, fs::directory_options::skip_permission_denied, error);
  for (const fs::recursive_directory_iterator end; !error && walk != end; walk.increment(error)) {
    if (!walk->is_regular_file(error) || walk->is_symlink(error)) continue;
    MediaFileLoad load =
        loadMediaFile(walk->path().string(), walk->path().filename().string(), excludedExtensions);
    if (load.outcome != MediaFileLoad::Outcome::Loaded) continue;
    DcmDataset& dataset = *load.file->getDataset();
    MediumPatient patient{valueOf(dataset, DCM_PatientID), valueOf(dataset, DCM_PatientName)};
    if (dataset.tagExists(DCM_PatientID) == OFFalse) patient.patientId = "Unknown";
    const bool known = std::any_of(patients.begin(), patients.end(), [&](const MediumPatient& p) {
      return p.patientId == patient.patientId;
    });
    if (!known) patients.push_back(patient);
  }
  return patients;
}
