#include "OrthancPeer.h"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <thread>

#include "StoreScpPeer.h"

namespace {

constexpr auto kStartWait = std::chrono::seconds(30);
constexpr auto kStopWait = std::chrono::seconds(10);

bool ended(pid_t pid, std::chrono::milliseconds within) {
  const auto deadline = std::chrono::steady_clock::now() + within;
  do {
    if (waitpid(pid, nullptr, WNOHANG) == pid) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  } while (std::chrono::steady_clock::now() < deadline);
  return false;
}

}  // namespace

OrthancPeer::OrthancPeer(std::string aeTitle, std::string storingAeTitle)
    : aeTitle_(std::move(aeTitle)), storingAeTitle_(std::move(storingAeTitle)) {
  // A port taken between our look and Orthanc's bind: try again on others.
  for (int attempt = 0; attempt < 3; ++attempt) {
    if (start()) return;
  }
  throw std::runtime_error("Orthanc did not start; see " + folder_ / "orthanc.log");
}

OrthancPeer::~OrthancPeer() { stop(); }

bool OrthancPeer::start() {
  dicomPort_ = freeLoopbackPort();
  do {
    httpPort_ = freeLoopbackPort();
  } while (httpPort_ == dicomPort_);
  const std::string config = folder_ / "orthanc.json";
  {
    std::ofstream out(config);
    out << "{\n"
        << "  \"Name\": \"KALVORA-TEST\",\n"
        << "  \"StorageDirectory\": \"" << folder_ / "storage"
        << "\",\n"
        << "  \"IndexDirectory\": \"" << folder_ / "index"
        << "\",\n"
        << "  \"DicomAet\": \"" << aeTitle_ << "\",\n"
        << "  \"DicomPort\": " << dicomPort_ << ",\n"
        << "  \"HttpPort\": " << httpPort_ << ",\n"
        << "  \"RemoteAccessAllowed\": false,\n"
        << "  \"AuthenticationEnabled\": false,\n"
        << "  \"DicomAlwaysAllowStore\": false,\n"
        << "  \"DicomCheckModalityHost\": true,\n"
        << "  \"DicomModalities\": { \"kalvora\": [\"" << storingAeTitle_
        << "\", \"127.0.0.1\", 104] },\n"
        << "  \"Plugins\": [],\n"
        << "  \"StorageCompression\": false,\n"
        << "  \"SaveJobs\": false,\n"
        << "  \"HttpDescribeErrors\": true\n"
        << "}\n";
  }
  const std::string log = folder_ / "orthanc.log";
  const pid_t child = fork();
  if (child == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);  // never outlives the test
    if (!freopen(log.c_str(), "w", stdout) || !freopen(log.c_str(), "a", stderr)) _exit(126);
    execlp("Orthanc", "Orthanc", config.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  pid_ = child;
  const auto deadline = std::chrono::steady_clock::now() + kStartWait;
  while (std::chrono::steady_clock::now() < deadline) {
    if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
      pid_ = -1;
      return false;  // ended at once: most likely a port taken meanwhile
    }
    if (waitForListener(httpPort_, 100) && waitForListener(dicomPort_, 100)) {
      try {
        get("/system");
        return true;
      } catch (const std::exception&) {
      }
    }
  }
  stop();
  return false;
}

void OrthancPeer::stop() {
  if (pid_ < 0) return;
  kill(pid_, SIGTERM);
  if (!ended(pid_, kStopWait)) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  pid_ = -1;
}

std::string OrthancPeer::get(const std::string& uri) const {
  const std::string command =
      "curl -sf --max-time 20 'http://127.0.0.1:" + std::to_string(httpPort_) + uri +
      "' 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) throw std::runtime_error("cannot run curl");
  std::string body;
  char buffer[65536];
  size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) body.append(buffer, got);
  const int status = pclose(pipe);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
    throw std::runtime_error("GET " + uri + " failed");
  return body;
}
