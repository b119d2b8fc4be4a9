#pragma once

#include <sys/types.h>

#include <string>

#include "TempDir.h"

// Debian's Orthanc as a real archive: DICOM and REST on free loopback ports, its storage,
// index and configuration in a temporary folder. Only our AE title from 127.0.0.1 may store,
// and its REST API answers only local requests. Stopped (and its folder removed) with the
// object; it also dies with the test process.
class OrthancPeer {
 public:
  explicit OrthancPeer(std::string aeTitle = "ORTHANC", std::string storingAeTitle = "KALVORA");
  ~OrthancPeer();
  OrthancPeer(const OrthancPeer&) = delete;
  OrthancPeer& operator=(const OrthancPeer&) = delete;

  int dicomPort() const { return dicomPort_; }
  const std::string& aeTitle() const { return aeTitle_; }
  // GET on its REST API; the body, or throws when the request fails.
  std::string get(const std::string& uri) const;
  void stop();

 private:
  bool start();

  TempDir folder_;
  std::string aeTitle_;
  std::string storingAeTitle_;
  int dicomPort_ = 0;
  int httpPort_ = 0;
  pid_t pid_ = -1;
};
