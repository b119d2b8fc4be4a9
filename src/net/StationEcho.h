#pragma once

#include <string>

struct EchoResult {
  bool ok = false;
  std::string message;  // what happened, in plain words
};

// Verifies a station with a C-ECHO: association, echo, release. Every wait is bounded
// by timeoutMs.
EchoResult echoStation(const std::string& callingAeTitle, const std::string& calledAeTitle,
                       const std::string& host, int port, int timeoutMs, int maxPduSize);
