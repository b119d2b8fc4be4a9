#pragma once

#include <sys/types.h>

#include <string>

#include "TempDir.h"

// One scheduled procedure of a worklist, as the hospital's RIS would hold it. Texts are
// written as given, in the declared character set.
struct WorklistEntry {
  std::string characterSet;  // e.g. "ISO_IR 100"; empty declares none
  std::string patientName;
  std::string patientId;
  std::string issuer;
  std::string birthDate;
  std::string sex;
  std::string accessionNumber;
  std::string procedure;
};

// DCMTK's wlmscpfs as a worklist station on 127.0.0.1 and a free port, answering the
// called AE title `aeTitle` from worklist files made with dump2dcm. Stopped with the object.
class WorklistPeer {
 public:
  explicit WorklistPeer(std::string aeTitle = "WORKLIST");
  ~WorklistPeer();
  WorklistPeer(const WorklistPeer&) = delete;
  WorklistPeer& operator=(const WorklistPeer&) = delete;

  // Before or while the station runs: it reads its files for every query.
  void add(const WorklistEntry& entry);
  int port() const { return port_; }
  const std::string& aeTitle() const { return aeTitle_; }

 private:
  TempDir folder_;
  std::string aeTitle_;
  int entries_ = 0;
  int port_ = 0;
  pid_t pid_ = -1;
};
