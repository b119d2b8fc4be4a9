#include "net/LowLatencyTransportLayer.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <cerrno>

#include <dcmtk/dcmnet/dcmtrans.h>

namespace {

void setOption(int socket, int level, int option, int value) {
  setsockopt(socket, level, option, &value, sizeof value);
}

// Linux drops out of quick-ack mode on its own, so it is switched on again after each read.
void acknowledgeAtOnce(int socket) { setOption(socket, IPPROTO_TCP, TCP_QUICKACK, 1); }

void boundWaits(int socket, int waitLimitMs) {
  if (waitLimitMs <= 0) return;
  timeval timeout{};
  timeout.tv_sec = waitLimitMs / 1000;
  timeout.tv_usec = (waitLimitMs % 1000) * 1000;
  setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
}

class LowLatencyConnection : public DcmTCPConnection {
 public:
  LowLatencyConnection(DcmNativeSocketType socket, LowLatencyTransportLayer& layer)
      : DcmTCPConnection(socket), layer_(layer), socket_(static_cast<int>(socket)) {
    setOption(socket_, IPPROTO_TCP, TCP_NODELAY, 1);
    acknowledgeAtOnce(socket_);
    layer_.connectionOpened(socket_);
  }

  ~LowLatencyConnection() override { forget(); }

  ssize_t read(void* buffer, size_t length) override {
    ssize_t received;
    do {
      received = ::recv(socket_, buffer, length, 0);
    } while (received < 0 && errno == EINTR);
    if (received > 0) acknowledgeAtOnce(socket_);
    if (received == 0 || (received < 0 && errno == ECONNRESET)) layer_.peerWentAway();
    return received;
  }

  // Whole buffer or failure; MSG_NOSIGNAL since a peer that went away must not kill us.
  ssize_t write(void* buffer, size_t length) override {
    const char* next = static_cast<const char*>(buffer);
    size_t left = length;
    while (left > 0) {
      const ssize_t sent = ::send(socket_, next, left, MSG_NOSIGNAL);
      if (sent < 0 && errno == EINTR) continue;
      if (sent < 0 && (errno == EPIPE || errno == ECONNRESET)) layer_.peerWentAway();
      if (sent <= 0) return -1;
      next += sent;
      left -= static_cast<size_t>(sent);
    }
    return static_cast<ssize_t>(length);
  }

  // DCMTK asks in whole seconds; the wait limit in milliseconds is what counts.
  OFBool networkDataAvailable(int timeoutSeconds) override {
    if (socket_ < 0) return OFFalse;
    int waitMs = layer_.waitLimitMs();
    if (timeoutSeconds >= 0 && (waitMs <= 0 || timeoutSeconds * 1000 < waitMs))
      waitMs = timeoutSeconds * 1000;
    pollfd watched{socket_, POLLIN, 0};
    int ready;
    do {
      ready = ::poll(&watched, 1, waitMs);
    } while (ready < 0 && errno == EINTR);
    return ready > 0 ? OFTrue : OFFalse;
  }

  void closeTransportConnection() override {
    forget();
    DcmTCPConnection::closeTransportConnection();
  }

 private:
  void forget() {
    if (socket_ < 0) return;
    layer_.connectionClosing(socket_);
    socket_ = -1;
  }

  LowLatencyTransportLayer& layer_;
  int socket_;
};

}  // namespace

LowLatencyTransportLayer::LowLatencyTransportLayer(int waitLimitMs) : waitLimitMs_(waitLimitMs) {}

DcmTransportConnection* LowLatencyTransportLayer::createConnection(DcmNativeSocketType openSocket,
                                                                   OFBool useSecureLayer) {
  if (useSecureLayer) return nullptr;
  return new LowLatencyConnection(openSocket, *this);
}

void LowLatencyTransportLayer::abort() {
  std::lock_guard<std::mutex> lock(mutex_);
  aborted_ = true;
  if (openSocket_ >= 0) shutdown(openSocket_, SHUT_RDWR);
}

bool LowLatencyTransportLayer::aborted() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return aborted_;
}

void LowLatencyTransportLayer::peerWentAway() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!aborted_) peerGone_ = true;
}

bool LowLatencyTransportLayer::peerGone() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return peerGone_;
}

void LowLatencyTransportLayer::setWaitLimit(int waitLimitMs) {
  std::lock_guard<std::mutex> lock(mutex_);
  waitLimitMs_ = waitLimitMs;
  if (openSocket_ >= 0) boundWaits(openSocket_, waitLimitMs_);
}

int LowLatencyTransportLayer::waitLimitMs() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return waitLimitMs_;
}

void LowLatencyTransportLayer::connectionOpened(int socket) {
  std::lock_guard<std::mutex> lock(mutex_);
  openSocket_ = socket;
  boundWaits(socket, waitLimitMs_);
  if (aborted_) shutdown(socket, SHUT_RDWR);
}

void LowLatencyTransportLayer::connectionClosing(int socket) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (openSocket_ == socket) openSocket_ = -1;
}
