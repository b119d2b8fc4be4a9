#pragma once

#include <mutex>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmnet/dcmlayer.h>

// DCMTK transport layer for one send job's association. Its connections neither delay small
// writes (Nagle) nor delay acknowledgements, so a store does not wait on the peer's delayed
// ACK; every socket wait is bounded by the wait limit (milliseconds); and abort() cuts the
// connection from any thread, which wakes a worker blocked in a network wait.
class LowLatencyTransportLayer : public DcmTransportLayer {
 public:
  explicit LowLatencyTransportLayer(int waitLimitMs);

  DcmTransportConnection* createConnection(DcmNativeSocketType openSocket,
                                           OFBool useSecureLayer) override;

  // Thread-safe. Shuts the current connection down, and any connection made later at once.
  void abort();
  bool aborted() const;
  // The peer closed or reset the connection (not our own abort).
  bool peerGone() const;
  void peerWentAway();
  // Thread-safe. Applies to the open connection and to later ones.
  void setWaitLimit(int waitLimitMs);
  int waitLimitMs() const;

  // Bookkeeping of the open connection, used by the connections themselves.
  void connectionOpened(int socket);
  void connectionClosing(int socket);

 private:
  int waitLimitMs_;
  mutable std::mutex mutex_;
  int openSocket_ = -1;
  bool aborted_ = false;
  bool peerGone_ = false;
};
