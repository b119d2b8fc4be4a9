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
  int32_t filesSeen = 0;
  int32_t filesSaved = 0;
};
