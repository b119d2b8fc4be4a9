#include "config/AppSettings.h"

#include "platform/UserFolders.h"

void AppSettings::setDefaults() {
  tempFolder = defaultTempFolder();
  useExtensionFilter = 1;
  startMinimized = 1;
  openTrayAfterReading = 1;
  stayOnTop = 1;
  verbose = 0;
  sendToStandardDestination = 1;
  standardDestination = -1;
  useForwardRules = 0;
  anonymize = 0;
  anonymizePatientId = 0;
  anonymizedPatientId.clear();
  anonymizePatientName = 0;
  patientNameText = "Anonymized by Kalvora";
  anonymizePhysicians = 0;
  physiciansName = "Anonymized by Kalvora";
  anonymizeInstitution = 0;
  institutionName = "Anonymized by Kalvora";
  anonymizeComments = 0;
  birthdayToJanuaryFirst = 0;
  datesToCurrentDate = 0;
  askForNewPatientData = 0;
  noCompressedTransfer = 1;
  callingAeTitle = "KALVORA";
  maxPduSize = 16384;
  timeoutMs = 1000;
  correctSpacePaddedUids = 0;
  proposeRequiredContextsOnly = 0;
  windowX = 200;
  windowY = 200;
}
