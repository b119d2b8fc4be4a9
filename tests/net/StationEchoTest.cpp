#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <thread>

#include "StoreScpPeer.h"
#include "TempDir.h"
#include "net/StationEcho.h"

namespace {

// Accepts connections into its backlog and never answers.
class SilentListener {
 public:
  SilentListener() {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(fd_, 4);
    socklen_t length = sizeof address;
    getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
  }
  ~SilentListener() { close(fd_); }
  int port() const { return port_; }

 private:
  int fd_ = -1;
  int port_ = 0;
};

}  // namespace

TEST(StationEcho, ReachesAStationAndSaysWhyNot) {
  TempDir received;
  StoreScpPeer peer(received.path());
  const EchoResult reached =
      echoStation("KALVORA", peer.aeTitle(), "127.0.0.1", peer.port(), 5000, 16384);
  EXPECT_TRUE(reached.ok) << reached.message;

  const EchoResult closed =
      echoStation("KALVORA", "ANY", "127.0.0.1", freeLoopbackPort(), 5000, 16384);
  EXPECT_FALSE(closed.ok);
  EXPECT_NE(closed.message.find("Could not reach the station"), std::string::npos);
}

TEST(StationEcho, CutEndsAWaitOnASilentStationAtOnce) {
  SilentListener silent;
  StationEcho echo("KALVORA", "SILENT", "127.0.0.1", silent.port(), 60000, 16384);
  auto result = std::async(std::launch::async, [&] { return echo.run(); });
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const auto cutAt = std::chrono::steady_clock::now();
  echo.cut();
  // Far below the 60 s time-out: only a wait that ignores the cut reaches it.
  ASSERT_EQ(result.wait_for(std::chrono::seconds(20)), std::future_status::ready);
  EXPECT_LT(std::chrono::steady_clock::now() - cutAt, std::chrono::seconds(20));
  const EchoResult outcome = result.get();
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.message, "The test was cancelled.");
}
