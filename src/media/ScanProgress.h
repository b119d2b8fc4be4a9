#pragma once

#include <cstdint>
#include <string>

#include "media/ScanEvent.h"

// The state of a scan as last reported. Each report hands the main thread a copy.
struct ScanProgress {
  ScanEvent event = ScanEvent::ScanStarted;
  std::string sourceRoot;
  std::string jobFolder;
  std::string fileName;     // bare name of the file the report is about
  std::string patientName;  // of the last file handled, as written
  std::string patientId;    // of the last file handled, as written
  // Of the last file handled, as written: for the audit trail.
  std::string studyInstanceUid;
  std::string sopClassUid;
  std::string characterSet;  // Specific Character Set of its names, all values
  std::string message;
  // With a FileCopied: the new patient data of this file were picked from this match of
  // the query station (local ID and where it came from); empty when typed or not asked.
  std::string patientMatch;
  // With a ScanError: a file of the medium is lost, counted as not copied: a DICOM file ("DICM"
  // at 128) that could not be loaded or read whole, or one whose import failed unexpectedly.
  bool fileLost = false;
  // With a ScanError: the entry is no image (a program or a text beside the images, a device
  // node). Such entries are expected on a medium; nothing was lost.
  bool notAnImage = false;
  // With FileCopied: the copy's bare name in the job folder (the file's name, or with a
  // suffix when taken) and what identifies it there.
  std::string copyName;
  std::string copySopInstanceUid;
  long long copySize = -1;
  int32_t filesSeen = 0;
  int32_t filesSaved = 0;
};
