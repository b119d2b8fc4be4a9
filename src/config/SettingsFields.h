#pragma once

#include <cstdint>
#include <limits>

#include "platform/UserFolders.h"

constexpr int kMaxPduSizeMin = 4096;
constexpr int kMaxPduSizeMax = 131072;
constexpr int kTimeoutMsMin = 1;
constexpr int kTimeoutMsMax = 100000;

// The values a number field may be given (the dialogs and the command line check them).
struct SettingBounds {
  int32_t lowest;
  int32_t highest;
  // The highest is the last index of the station list, whatever `highest` says.
  bool upToLastStation = false;
};
constexpr SettingBounds kFlagBounds{0, 1};
constexpr SettingBounds kAnyInteger{std::numeric_limits<int32_t>::min(),
                                    std::numeric_limits<int32_t>::max()};
constexpr SettingBounds kStationIndexOrNone{-1, -1, true};
constexpr SettingBounds kMaxPduSizeBounds{kMaxPduSizeMin, kMaxPduSizeMax};
constexpr SettingBounds kTimeoutMsBounds{kTimeoutMsMin, kTimeoutMsMax};

// Every settings field once, in the order of config.dat, with its default:
//   TEXT(member, default)
//   FLAG(member, default)             0 or 1
//   NUMBER(member, default, bounds)
// Expanded for the members of AppSettings (with their initialisers), for the file format
// and for the command line's field table.
#define KALVORA_SETTINGS_FIELDS(TEXT, FLAG, NUMBER)    \
  TEXT(tempFolder, defaultTempFolder())                \
  FLAG(useExtensionFilter, 1)                          \
  FLAG(startMinimized, 1)                              \
  FLAG(openTrayAfterReading, 1)                        \
  FLAG(stayOnTop, 1)                                   \
  FLAG(verbose, 0)                                     \
  FLAG(sendToStandardDestination, 1)                   \
  NUMBER(standardDestination, -1, kStationIndexOrNone) \
  FLAG(useForwardRules, 0)                             \
  FLAG(anonymize, 0)                                   \
  FLAG(anonymizePatientId, 0)                          \
  TEXT(anonymizedPatientId, "")                        \
  FLAG(anonymizePatientName, 0)                        \
  TEXT(patientNameText, "Anonymized by Kalvora")       \
  FLAG(anonymizePhysicians, 0)                         \
  TEXT(physiciansName, "Anonymized by Kalvora")        \
  FLAG(anonymizeInstitution, 0)                        \
  TEXT(institutionName, "Anonymized by Kalvora")       \
  FLAG(anonymizeComments, 0)                           \
  FLAG(birthdayToJanuaryFirst, 0)                      \
  FLAG(datesToCurrentDate, 0)                          \
  FLAG(askForNewPatientData, 0)                        \
  FLAG(noCompressedTransfer, 1)                        \
  TEXT(callingAeTitle, "KALVORA")                      \
  NUMBER(maxPduSize, 16384, kMaxPduSizeBounds)         \
  NUMBER(timeoutMs, 1000, kTimeoutMsBounds)            \
  FLAG(correctSpacePaddedUids, 0)                      \
  FLAG(proposeRequiredContextsOnly, 0)                 \
  NUMBER(windowX, 200, kAnyInteger)                    \
  NUMBER(windowY, 200, kAnyInteger)
