#include "media/ScanRequest.h"

#include "config/AppSettings.h"
#include "config/CFilterArray.h"
#include "media/AnonymizedIds.h"

ScanRequest makeScanRequest(const std::string& sourceRoot, const std::string& jobFolder,
                            const AppSettings& settings, const CFilterArray& filters) {
  ScanRequest request;
  request.sourceRoot = sourceRoot;
  request.jobFolder = jobFolder;
  if (settings.useExtensionFilter) {
    for (const CFilter& filter : filters) request.excludedExtensions.push_back(filter.extension);
  }
  request.anonymize = settings.anonymize;
  request.anonymizePatientId = settings.anonymizePatientId;
  request.anonymizedPatientId = settings.anonymizedPatientId.empty() ? kDefaultAnonymizedPatientId
                                                                     : settings.anonymizedPatientId;
  request.anonymizePatientName = settings.anonymizePatientName;
  request.anonymizePhysicians = settings.anonymizePhysicians;
  request.physiciansName = settings.physiciansName;
  request.anonymizeInstitution = settings.anonymizeInstitution;
  request.institutionName = settings.institutionName;
  request.anonymizeComments = settings.anonymizeComments;
  request.birthdayToJanuaryFirst = settings.birthdayToJanuaryFirst;
  request.datesToCurrentDate = settings.datesToCurrentDate;
  request.askForNewPatientData = settings.askForNewPatientData;
  return request;
}
