#pragma once

#include <string>
#include <vector>

// One regular file of a send job's folder and what became of it. "Request sent" and
// "stored" are different facts: a store that went out and got no answer is a failed file,
// and only a station's success (or warning) makes a file stored.
struct FileTransfer {
  enum class Outcome {
    NotAttempted,  // never offered to the station (refused when read, or the job ended first)
    Stored,
    Failed,  // tried and not stored (see reason)
  };

  std::string path;
  Outcome outcome = Outcome::NotAttempted;
  bool requestSent = false;  // DCMTK was asked to send the C-STORE request
  std::string reason;        // why it failed or was not attempted, where known
};

// How many of `transfers` ended with `outcome`.
int countTransfers(const std::vector<FileTransfer>& transfers, FileTransfer::Outcome outcome);
