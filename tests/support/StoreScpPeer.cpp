#include "StoreScpPeer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <thread>

namespace {

sockaddr_in loopback(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

}  // namespace

int freeLoopbackPort() {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address = loopback(0);
  bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  close(fd);
  return ntohs(address.sin_port);
}

bool waitForListener(int port, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < deadline) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = loopback(port);
    const bool connected = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    if (connected) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

bool waitForNoListener(int port, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < deadline) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = loopback(port);
    const bool connected = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    if (!connected) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

StoreScpPeer::StoreScpPeer(std::string outputFolder, std::vector<std::string> extraArgs,
                           std::string aeTitle, int port, const std::string& logFile)
    : outputFolder_(std::move(outputFolder)), aeTitle_(std::move(aeTitle)) {
  for (int attempt = 0; attempt < 5 && pid_ < 0; ++attempt) {
    port_ = port != 0 ? port : freeLoopbackPort();
    // A station killed on this port may leave its socket to the children of a command it
    // ran for a moment: the new one could not listen, and the old socket would take the
    // connections meant for it.
    if (port != 0) waitForNoListener(port_, 5000);
    std::vector<std::string> args = {STORESCP_EXECUTABLE, "--aetitle", aeTitle_,
                                     "--output-directory", outputFolder_};
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    args.push_back(std::to_string(port_));
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);

    const pid_t child = fork();
    if (child == 0) {
      // Keep the test output readable; storescp logs to stdout/stderr.
      const char* output = logFile.empty() ? "/dev/null" : logFile.c_str();
      freopen(output, "a", stdout);
      freopen(output, "a", stderr);
      execv(argv[0], argv.data());
      _exit(127);
    }
    if (waitForListener(port_, 5000) && waitpid(child, nullptr, WNOHANG) == 0) {
      pid_ = child;
    } else {
      kill(child, SIGKILL);
      waitpid(child, nullptr, 0);
    }
  }
  if (pid_ < 0) throw std::runtime_error("storescp did not start");
}

StoreScpPeer::~StoreScpPeer() { stop(); }

void StoreScpPeer::stop() {
  if (pid_ < 0) return;
  kill(pid_, SIGTERM);
  waitpid(pid_, nullptr, 0);
  pid_ = -1;
}

// The kernel completes the handshakes of the backlog; nobody ever reads or answers.
SilentStation::SilentStation() {
  socket_ = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address = loopback(0);
  socklen_t length = sizeof address;
  if (bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(socket_, 16) != 0 ||
      getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    close(socket_);
    throw std::runtime_error("silent station did not start");
  }
  port_ = ntohs(address.sin_port);
}

SilentStation::~SilentStation() { close(socket_); }
