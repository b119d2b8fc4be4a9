#pragma once

#include <cstdint>
#include <string>

enum class StatusIcon { Idle, Active, FileDone, Error };

// The scan and send counters of the main window, the labels and icons that show them,
// and the busy flag. Main thread only.
class JobCounters {
 public:
  void scanStarted();
  void fileCopied();
  void fileNotCopied();
  void scanEnded();
  void scanStopped(int32_t filesSaved);
  void sendStarted();
  void fileSent();
  void fileNotSent();
  void sendFailed();
  // The files the send never attempted count as errors here, once; those it tried and
  // failed were counted one by one (fileNotSent).
  void sendEnded(int32_t filesRemaining, int32_t filesNotAttempted);
  // While a stop command runs: its button disabled, its icon active; idle afterwards.
  void scanStopStarted();
  void scanStopEnded();
  void sendStopStarted();
  void sendStopEnded();

  int32_t scansRunning = 0;
  int32_t sendsRunning = 0;
  int32_t scanFiles = 0;
  int32_t scanErrors = 0;
  int32_t sendFiles = 0;
  int32_t sendErrors = 0;
  bool busy = false;

  // What the four number labels show: "-" until their first update.
  std::string scanFilesLabel = "-";
  std::string scanErrorsLabel = "-";
  std::string sendFilesLabel = "-";
  std::string sendErrorsLabel = "-";
  StatusIcon scanIcon = StatusIcon::Idle;
  StatusIcon sendIcon = StatusIcon::Idle;
  bool scanStopEnabled = false;
  bool sendStopEnabled = false;

 private:
  void updateBusyAfterEnd();
};
