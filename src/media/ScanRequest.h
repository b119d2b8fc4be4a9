#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "dicom/CopyIdentity.h"

struct AppSettings;
class CFilterArray;

// The input of one scan: a copy of the settings it needs, taken when the scan starts.
struct ScanRequest {
  std::string sourceRoot;
  std::string jobFolder;
  // Why the job folder could not be made: the scan reports it once and reads nothing.
  std::string jobFolderError;
  std::vector<std::string> excludedExtensions;  // each with its leading dot; empty = no filter
  int32_t anonymize = 0;
  int32_t anonymizePatientId = 0;
  std::string anonymizedPatientId;
  int32_t anonymizePatientName = 0;
  int32_t anonymizePhysicians = 0;
  std::string physiciansName;
  int32_t anonymizeInstitution = 0;
  std::string institutionName;
  int32_t anonymizeComments = 0;
  int32_t birthdayToJanuaryFirst = 0;
  int32_t datesToCurrentDate = 0;
  int32_t askForNewPatientData = 0;
  // Called on the scan's thread with the name a whole copy is about to get, just before it
  // gets it: the job's record of what Kalvora wrote misses no copy, whenever it is killed.
  std::function<void(const std::string& copyName, const CopyIdentity& identity)> copyWritten;
};

// The request StartScan builds: options copied from the settings, and the extensions of
// every filter (in list order) when the extension filter is on.
ScanRequest makeScanRequest(const std::string& sourceRoot, const std::string& jobFolder,
                            const AppSettings& settings, const CFilterArray& filters);
