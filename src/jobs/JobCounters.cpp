#include "jobs/JobCounters.h"

void JobCounters::scanStarted() {
  ++scansRunning;
  busy = true;
  scanIcon = StatusIcon::Active;
  scanStopEnabled = true;
}

void JobCounters::fileCopied() {
  ++scanFiles;
  scanIcon = StatusIcon::FileDone;
  scanStopEnabled = true;
  scanFilesLabel = std::to_string(scanFiles);
}

void JobCounters::fileNotCopied() {
  ++scanErrors;
  scanIcon = StatusIcon::Error;
  scanErrorsLabel = std::to_string(scanErrors);
}

void JobCounters::updateBusyAfterEnd() {
  if (scansRunning + sendsRunning < 1) busy = false;
}

void JobCounters::scanEnded() {
  if (scansRunning >= 1) --scansRunning;
  updateBusyAfterEnd();
  scanIcon = StatusIcon::Idle;
  scanStopEnabled = false;
}

void JobCounters::scanStopped(int32_t filesSaved) {
  if (scansRunning >= 1) --scansRunning;
  updateBusyAfterEnd();
  // The copies of a stopped scan are deleted with its folder: they count as errors.
  scanErrors += filesSaved;
  scanErrorsLabel = std::to_string(scanErrors);
  scanFiles -= filesSaved;
  scanFilesLabel = std::to_string(scanFiles);
  scanIcon = StatusIcon::Idle;
  scanStopEnabled = false;
}

void JobCounters::sendStarted() {
  ++sendsRunning;
  busy = true;
  sendIcon = StatusIcon::Active;
  sendStopEnabled = true;
}

void JobCounters::fileSent() {
  ++sendFiles;
  sendIcon = StatusIcon::FileDone;
  sendFilesLabel = std::to_string(sendFiles);
}

void JobCounters::fileNotSent() {
  ++sendErrors;
  sendIcon = StatusIcon::Error;
  sendErrorsLabel = std::to_string(sendErrors);
}

void JobCounters::sendFailed() {
  sendIcon = StatusIcon::Error;
  sendErrorsLabel = std::to_string(sendErrors);
}

void JobCounters::scanStopStarted() {
  scanStopEnabled = false;
  scanIcon = StatusIcon::Active;
}

void JobCounters::scanStopEnded() { scanIcon = StatusIcon::Idle; }

void JobCounters::sendStopStarted() {
  sendStopEnabled = false;
  sendIcon = StatusIcon::Active;
}

void JobCounters::sendStopEnded() { sendIcon = StatusIcon::Idle; }

void JobCounters::sendEnded(int32_t filesRemaining, int32_t filesNotAttempted) {
  sendErrors += filesNotAttempted;
  if (sendsRunning >= 1) --sendsRunning;
  updateBusyAfterEnd();
  // The label shows what this send left behind.
  if (filesRemaining != 0) {
    sendErrorsLabel = std::to_string(filesRemaining);
  } else if (filesNotAttempted != 0) {
    sendErrorsLabel = std::to_string(sendErrors);
  }
  sendIcon = StatusIcon::Idle;
  sendStopEnabled = false;
}
