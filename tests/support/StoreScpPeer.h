#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

// DCMTK's storescp as a real peer on 127.0.0.1 and a free port, writing into
// `outputFolder`. Extra arguments give the peer its faults (--refuse, --abort-during ...).
// A non-zero `port` asks for that port (a station that comes up later on a known address).
// With a `logFile`, the station's output goes there (add "-ll", "debug" to see everything).
class StoreScpPeer {
 public:
  explicit StoreScpPeer(std::string outputFolder, std::vector<std::string> extraArgs = {},
                        std::string aeTitle = "STORESCP", int port = 0,
                        const std::string& logFile = {});
  ~StoreScpPeer();
  StoreScpPeer(const StoreScpPeer&) = delete;
  StoreScpPeer& operator=(const StoreScpPeer&) = delete;

  int port() const { return port_; }
  const std::string& aeTitle() const { return aeTitle_; }
  void stop();

 private:
  std::string outputFolder_;
  std::string aeTitle_;
  int port_ = 0;
  pid_t pid_ = -1;
};

// A station that takes connections on 127.0.0.1 and a free port and never says a word.
class SilentStation {
 public:
  SilentStation();
  ~SilentStation();
  SilentStation(const SilentStation&) = delete;
  SilentStation& operator=(const SilentStation&) = delete;
  int port() const { return port_; }

 private:
  int socket_ = -1;
  int port_ = 0;
};

// A loopback port that nothing listens on right now.
int freeLoopbackPort();
// True once something accepts connections on 127.0.0.1:port (waits up to timeoutMs).
bool waitForListener(int port, int timeoutMs);
// True once nothing accepts connections on 127.0.0.1:port (waits up to timeoutMs).
bool waitForNoListener(int port, int timeoutMs);
