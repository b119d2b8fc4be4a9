#pragma once

#include <string>
#include <vector>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/ofstd/ofcond.h>

#include "dicom/CopyIdentity.h"
#include "net/FileTransfer.h"
#include "net/SendEvent.h"

// What a send job reports. Each report reaches the main thread as a copy of this record.
struct SendProgress {
  SendEvent event = SendStarted;
  std::string destination;  // called AE title
  // Where the station is: two stations may share an AE title.
  std::string destinationHost;
  int destinationPort = 0;
  std::string jobFolder;
  // Bare file name while the folder is read, full path while files are sent.
  std::string currentFile;
  // Text of the latest report that carries one; reports without a text leave it as it was.
  std::string message;
  OFCondition condition = EC_Normal;  // result of the latest DCMTK step
  int filesSent = 0;
  int filesRemaining = 0;  // queued and not (yet) stored
  // Counted from the job's own list of files: sent + failed + not attempted = the regular
  // files of the folder, less Kalvora's own and those the station stored before.
  int filesFailed = 0;
  int filesNotAttempted = 0;
  // A failure the job log names also when it is not verbose: a TLS set-up or a station's
  // certificate, which nobody can act on without reading why.
  bool logAlways = false;
  // The job ended on a stop request or an abort, not on its own.
  bool stopped = false;
  // With SendFinished only: every file of the folder and its outcome.
  std::vector<FileTransfer> transfers;
  // Set with each FileSent: the station's warning status and its meaning, empty when the
  // store was a plain success.
  std::string warning;
  // Set with each FileSent: the file that was stored, as it was read for the send.
  CopyIdentity sentIdentity;
};
