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
  std::string message;
  // With a ScanError: the file is DICOM ("DICM" at 128) but could not be loaded, so an image
  // of the medium is lost (a program or a text beside the images is not).
  bool damagedDicom = false;
  int32_t filesSeen = 0;
  int32_t filesSaved = 0;
};
