#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "JobCommandsFixture.h"
#include "StoreScpPeer.h"

namespace fs = std::filesystem;
using std::chrono::milliseconds;
using std::chrono::steady_clock;

namespace {

// Waits until the running command has written `text` to stdout (or stderr).
bool waitForOutput(const CliProcess& cli, const std::string& text, bool onStderr = false) {
  const auto deadline = steady_clock::now() + std::chrono::seconds(30);
  while ((onStderr ? cli.errSoFar() : cli.outSoFar()).find(text) == std::string::npos) {
    if (steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(milliseconds(20));
  }
  return true;
}

// Interrupts and tells whether the command then ended. The work it was doing would take
// many times longer than this wait, which only keeps a hang from holding up the suite.
bool endsAfterInterrupt(CliProcess& cli) {
  cli.interrupt();
  return cli.waitFor(std::chrono::seconds(60));
}

}  // namespace

TEST_F(JobCommands, CtrlCEndsAnImportReadingAHugeFilePromptly) {
  // Sparse: nothing on disk, but far more zeros to read than the wait below allows.
  fs::remove_all(dir / "medium");
  fs::create_directories(dir / "medium");
  { std::ofstream(dir / "medium/HUGE"); }
  fs::resize_file(dir / "medium/HUGE", 8ull << 40);

  CliProcess cli(dir.path(), withWorkdir({"import", dir / "medium", "--no-send", "--json"}));
  ASSERT_TRUE(waitForOutput(cli, "ScanStarted"));
  EXPECT_TRUE(endsAfterInterrupt(cli));

  const CliResult result = cli.result();
  EXPECT_NE(result.status, 0);
  EXPECT_EQ(countEvents(jsonLines(result.out), "ScanStopped"), 1) << result.out;
  // The stopped job's folder is gone: it is not named as kept.
  EXPECT_EQ(result.out.find("Job folder kept"), std::string::npos) << result.out;
  EXPECT_TRUE(!fs::exists(dir / "jobs") || fs::is_empty(dir / "jobs"));
}

TEST_F(JobCommands, CtrlCCutsASendToAStationThatStoppedAnswering) {
  StoreScpPeer stalled(dir / "received", {"--sleep-during", "3600"});
  useStation(stalled.port());
  config({"set", "timeoutMs", "100000"});

  CliProcess cli(dir.path(), withWorkdir({"import", dir / "medium", "--json"}));
  ASSERT_TRUE(waitForOutput(cli, "SendStarted"));
  EXPECT_TRUE(endsAfterInterrupt(cli));
  EXPECT_EQ(cli.result().status, 1);
}

TEST_F(JobCommands, RetriesWaitLongerEachTimeAndCtrlCEndsThem) {
  useStation(freeLoopbackPort());

  const auto start = steady_clock::now();
  const CliResult two = kalvora({"import", dir / "medium", "--retry", "2"});
  EXPECT_GE(steady_clock::now() - start, milliseconds(1500));  // 0.5 s, then 1 s
  EXPECT_NE(two.err.find("retry 1 of 2 in 0.5 s"), std::string::npos) << two.err;
  EXPECT_NE(two.err.find("retry 2 of 2 in 1 s"), std::string::npos) << two.err;
  EXPECT_EQ(two.status, 1);

  CliProcess many(dir.path(), withWorkdir({"import", dir / "medium", "--retry", "10"}));
  ASSERT_TRUE(waitForOutput(many, "retry 1 of 10", true));
  EXPECT_TRUE(endsAfterInterrupt(many));
  const CliResult result = many.result();
  std::size_t lines = 0;
  for (std::size_t at = 0; (at = result.err.find("retry ", at)) != std::string::npos; ++at) ++lines;
  EXPECT_GE(lines, 1u);
  EXPECT_LE(lines, 3u);  // said once per try, and tries are spaced
}

// A question on the terminal cannot be taken back: the first Ctrl-C ends the program once
// it has waited a moment for it, the second at once.
TEST_F(JobCommands, CtrlCEndsTheProgramWhileAQuestionWaitsOnTheTerminal) {
  config({"set", "askForNewPatientData", "1"});
  for (const int interrupts : {1, 2}) {
    SCOPED_TRACE(interrupts);
    CliProcess cli(dir.path(), withWorkdir({"import", dir / "medium", "--no-send"}), true);
    ASSERT_TRUE(waitForOutput(cli, "New patient ID", true));
    cli.interrupt();
    const auto start = steady_clock::now();
    if (interrupts == 2) {
      std::this_thread::sleep_for(milliseconds(200));  // two signals at once are one
      cli.interrupt();
    }
    ASSERT_TRUE(cli.waitFor(std::chrono::seconds(10)));
    if (interrupts == 2) {
      // Not waited for the first one's grace of 1.5 s.
      EXPECT_LT(steady_clock::now() - start, milliseconds(1000));
    }
    const CliResult result = cli.result();
    EXPECT_EQ(result.status, 130);
    EXPECT_NE(result.err.find("Stopped before the job had ended"), std::string::npos) << result.err;
  }
}
