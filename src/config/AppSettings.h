#pragma once

#include <cstdint>
#include <string>

class ArchiveReader;
class ArchiveWriter;

// The general settings, persisted field by field (in this order) as config.dat.
// Flags hold 0 or 1; readers treat any non-zero value as on.
struct AppSettings {
  std::string tempFolder;
  int32_t useExtensionFilter = 0;
  int32_t startMinimized = 0;
  int32_t openTrayAfterReading = 0;
  int32_t stayOnTop = 0;
  int32_t verbose = 0;
  int32_t sendToStandardDestination = 0;
  int32_t standardDestination = -1;
  int32_t useForwardRules = 0;
  int32_t anonymize = 0;
  int32_t anonymizePatientId = 0;
  std::string anonymizedPatientId;
  int32_t anonymizePatientName = 0;
  std::string patientNameText;
  int32_t anonymizePhysicians = 0;
  std::string physiciansName;
  int32_t anonymizeInstitution = 0;
  std::string institutionName;
  int32_t anonymizeComments = 0;
  int32_t birthdayToJanuaryFirst = 0;
  int32_t datesToCurrentDate = 0;
  int32_t askForNewPatientData = 0;
  int32_t noCompressedTransfer = 0;
  std::string callingAeTitle;
  int32_t maxPduSize = 0;
  int32_t timeoutMs = 0;
  int32_t correctSpacePaddedUids = 0;
  int32_t proposeRequiredContextsOnly = 0;
  int32_t windowX = 0;
  int32_t windowY = 0;

  AppSettings() { setDefaults(); }
  void setDefaults();

  // The 30 fields in declaration order. Loading assigns each field as soon as it has
  // been read, so a file that ends early leaves the later fields as they were.
  void Serialize(ArchiveReader& archive);
  void Serialize(ArchiveWriter& archive) const;
};
