#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "config/TlsSettings.h"

class DicomAssociation;

struct EchoResult {
  bool ok = false;
  std::string message;  // what happened, in plain words
};

// Verifies a station with a C-ECHO: association, echo, release. Every wait is bounded
// by timeoutMs. A window that tests a station runs it on a thread of its own and cuts it
// when it closes.
class StationEcho {
 public:
  StationEcho(std::string callingAeTitle, std::string calledAeTitle, std::string host, int port,
              int timeoutMs, int maxPduSize, TlsSettings tls = {});
  ~StationEcho();
  StationEcho(const StationEcho&) = delete;
  StationEcho& operator=(const StationEcho&) = delete;

  // Once, on the thread that may wait.
  EchoResult run();
  // Thread-safe: run() gives up at its next network wait.
  void cut();

 private:
  EchoResult exchange();

  std::string callingAeTitle_;
  std::string calledAeTitle_;
  std::string host_;
  int port_;
  int maxPduSize_;
  std::unique_ptr<DicomAssociation> association_;
  std::atomic<bool> cut_{false};
};

EchoResult echoStation(const std::string& callingAeTitle, const std::string& calledAeTitle,
                       const std::string& host, int port, int timeoutMs, int maxPduSize,
                       const TlsSettings& tls = {});
