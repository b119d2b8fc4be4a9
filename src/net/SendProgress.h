#pragma once

#include <string>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/ofstd/ofcond.h>

#include "net/SendEvent.h"

// What a send job reports. Each report reaches the main thread as a copy of this record.
struct SendProgress {
  SendEvent event = SendStarted;
  std::string destination;  // called AE title
  std::string jobFolder;
  // Bare file name while the folder is read, full path while files are sent.
  std::string currentFile;
  // Text of the latest report that carries one; reports without a text leave it as it was.
  std::string message;
  OFCondition condition = EC_Normal;  // result of the latest DCMTK step
  int filesSent = 0;
  int filesRemaining = 0;
  // Set with each FileSent: the station's warning status and its meaning, empty when the
  // store was a plain success.
  std::string warning;
};
