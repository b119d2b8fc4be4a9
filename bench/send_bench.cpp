// Send benchmark: one job folder of CT images (512 x 512, 16 bit) stored at a local storescp
// (started with its defaults) by DCMTK's dcmsend (defaults) and by Kalvora's send job, in one
// run. Prints both times and the ratio Kalvora / dcmsend.
//   kalvora-bench-send [images (default 1000)]
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/oflog/oflog.h>

#include "SampleMedium.h"
#include "config/AppSettings.h"
#include "jobs/MainThreadPoster.h"
#include "jobs/UserPrompts.h"
#include "net/StoreScu.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

class QueueMainThread : public MainThreadPoster {
 public:
  void post(std::function<void()> task) override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      tasks_.push_back(std::move(task));
    }
    posted_.notify_one();
  }
  void runUntil(const std::function<bool()>& done) {
    while (!done()) {
      std::function<void()> task;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        posted_.wait(lock, [this] { return !tasks_.empty(); });
        task = std::move(tasks_.front());
        tasks_.pop_front();
      }
      task();
    }
  }

 private:
  std::mutex mutex_;
  std::condition_variable posted_;
  std::deque<std::function<void()>> tasks_;
};

class NoPrompts : public UserPrompts {
 public:
  std::optional<NewPatientDataAnswer> askNewPatientData(const NewPatientDataQuestion&) override {
    return std::nullopt;
  }
  bool askRetryAssociation(const std::string&) override { return false; }
  std::optional<StationChoice> chooseStation(const CStationArray&) override { return std::nullopt; }
};

sockaddr_in loopback(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

int freeLoopbackPort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address = loopback(0);
  bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  close(fd);
  return ntohs(address.sin_port);
}

bool listening(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address = loopback(port);
  const bool connected = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  close(fd);
  return connected;
}

pid_t spawn(std::vector<std::string> args) {
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    freopen("/dev/null", "w", stdout);
    freopen("/dev/null", "w", stderr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  return child;
}

int waitFor(pid_t child) {
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

size_t countFiles(const fs::path& folder) {
  size_t count = 0;
  for (const auto& entry : fs::directory_iterator(folder)) count += entry.is_regular_file();
  return count;
}

void emptyFolder(const fs::path& folder) {
  for (const auto& entry : fs::directory_iterator(folder)) fs::remove_all(entry.path());
}

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

double timeDcmsend(int port, const fs::path& jobFolder) {
  const auto start = Clock::now();
  const int status = waitFor(spawn({DCMSEND_EXECUTABLE, "127.0.0.1", std::to_string(port),
                                    "--scan-directories", jobFolder.string()}));
  const double seconds = secondsSince(start);
  if (status != 0) throw std::runtime_error("dcmsend failed with status " + std::to_string(status));
  return seconds;
}

double timeKalvora(int port, const fs::path& jobFolder, int expectedFiles) {
  const AppSettings settings;  // the defaults, as a fresh installation has them
  QueueMainThread mainThread;
  NoPrompts prompts;
  SendProgress last;
  bool finished = false;
  const auto start = Clock::now();
  StoreScu job(makeSendParams(settings, "STORESCP", "127.0.0.1", port, jobFolder.string()),
               mainThread, prompts, [&](SendEvent event, const SendProgress& progress) {
                 last = progress;
                 finished = event == SendFinished;
               });
  job.start();
  mainThread.runUntil([&] { return finished; });
  job.join();
  const double seconds = secondsSince(start);
  if (last.filesSent != expectedFiles) {
    throw std::runtime_error("Kalvora sent " + std::to_string(last.filesSent) + " of " +
                             std::to_string(expectedFiles) + " files: " + last.message);
  }
  return seconds;
}

}  // namespace

int main(int argc, char** argv) {
  OFLog::configure(OFLogger::WARN_LOG_LEVEL);
  const int images = argc > 1 ? std::atoi(argv[1]) : 1000;
  if (images < 1) {
    std::fprintf(stderr, "usage: %s [images]\n", argv[0]);
    return 2;
  }
  char workTemplate[] = "/tmp/kalvora-bench-send-XXXXXX";
  if (mkdtemp(workTemplate) == nullptr) {
    std::perror("mkdtemp");
    return 1;
  }
  const fs::path work(workTemplate);
  pid_t peer = -1;
  int exitCode = 0;
  try {
    std::printf("writing %d CT images (512 x 512, 16 bit) ...\n", images);
    std::fflush(stdout);  // the children would print it again
    SampleMediumOptions options;
    options.images = images;
    const SampleMedium medium = makeSampleMedium((work / "medium").string(), options);

    // The job folder holds the files flat, as an import leaves them.
    const fs::path jobFolder = work / "job";
    fs::create_directory(jobFolder);
    for (size_t i = 0; i < medium.imageFiles.size(); ++i) {
      char name[32];
      std::snprintf(name, sizeof name, "IM%06zu", i + 1);
      fs::create_hard_link(medium.imageFiles[i], jobFolder / name);
    }

    const fs::path received = work / "received";
    fs::create_directory(received);
    const int port = freeLoopbackPort();
    peer =
        spawn({STORESCP_EXECUTABLE, "--output-directory", received.string(), std::to_string(port)});
    for (int i = 0; i < 250 && !listening(port); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (!listening(port)) throw std::runtime_error("storescp did not start");

    const double dcmsendSeconds = timeDcmsend(port, jobFolder);
    if (countFiles(received) != medium.imageFiles.size()) {
      throw std::runtime_error("storescp did not receive every file from dcmsend");
    }
    emptyFolder(received);

    const double kalvoraSeconds = timeKalvora(port, jobFolder, images);
    if (countFiles(received) != medium.imageFiles.size()) {
      throw std::runtime_error("storescp did not receive every file from Kalvora");
    }

    std::printf("dcmsend: %8.3f s  (%.2f ms per file)\n", dcmsendSeconds,
                1000.0 * dcmsendSeconds / images);
    std::printf("kalvora: %8.3f s  (%.2f ms per file)\n", kalvoraSeconds,
                1000.0 * kalvoraSeconds / images);
    std::printf("send ratio (kalvora / dcmsend): %.3f (target <= 0.1)\n",
                kalvoraSeconds / dcmsendSeconds);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "benchmark failed: %s\n", error.what());
    exitCode = 1;
  }
  if (peer > 0) {
    kill(peer, SIGTERM);
    waitFor(peer);
  }
  std::error_code ignored;
  fs::remove_all(work, ignored);
  return exitCode;
}
