#include "cli/CliPrompts.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "StoreScpPeer.h"
#include "WorklistPeer.h"
#include "cli/Terminal.h"

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

// Points one of this process's standard descriptors at a pipe for one scope.
class PipedDescriptor {
 public:
  explicit PipedDescriptor(int target) : target_(target), saved_(dup(target)) {
    EXPECT_EQ(pipe(ends_), 0);
    dup2(target == STDIN_FILENO ? ends_[0] : ends_[1], target);
  }
  ~PipedDescriptor() {
    dup2(saved_, target_);
    close(saved_);
    close(ends_[0]);
    close(ends_[1]);
  }
  int readEnd() const { return ends_[0]; }
  int writeEnd() const { return ends_[1]; }

 private:
  int target_;
  int saved_;
  int ends_[2] = {-1, -1};
};

// What arrives at `fd` until `text` is among it, or nothing more comes for a while.
std::string readUntil(int fd, const std::string& text) {
  std::string got;
  const auto deadline = steady_clock::now() + std::chrono::seconds(10);
  while (got.find(text) == std::string::npos && steady_clock::now() < deadline) {
    pollfd ready{fd, POLLIN, 0};
    if (poll(&ready, 1, 100) != 1) continue;
    char buffer[256];
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n > 0) got.append(buffer, static_cast<size_t>(n));
  }
  return got;
}

bool terminalFreeWithin(milliseconds wait) {
  const auto deadline = steady_clock::now() + wait;
  while (steady_clock::now() < deadline) {
    if (terminalMutex().try_lock()) {
      terminalMutex().unlock();
      return true;
    }
    std::this_thread::sleep_for(milliseconds(10));
  }
  return false;
}

}  // namespace

// The main thread prints reports and watches for Ctrl-C while a worker's question waits on
// the terminal: the question must not hold the terminal while the user types.
TEST(CliPrompts, AQuestionWaitingForItsAnswerLeavesTheTerminalToTheReports) {
  PipedDescriptor input(STDIN_FILENO);
  PipedDescriptor errors(STDERR_FILENO);
  CliPrompts prompts;
  prompts.interactive = true;
  std::optional<NewPatientDataAnswer> answer;
  std::thread worker([&] {
    NewPatientDataQuestion question;
    question.patientId = "P1";
    answer = prompts.askNewPatientData(question);
  });

  const std::string shown = readUntil(errors.readEnd(), "New patient ID: ");
  EXPECT_NE(shown.find("Patient ID:       P1"), std::string::npos) << shown;
  EXPECT_TRUE(questionWaiting());
  EXPECT_TRUE(terminalFreeWithin(milliseconds(1000)));

  const std::string typed = "LOCAL7\n\nNew^Name\n";
  ASSERT_EQ(write(input.writeEnd(), typed.data(), typed.size()),
            static_cast<ssize_t>(typed.size()));
  worker.join();
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->newPatientId, "LOCAL7");
  EXPECT_EQ(answer->newPatientName, "New^Name");
  EXPECT_FALSE(questionWaiting());
}

TEST(CliPrompts, TheTerminalQuestionOffersTheQueryStationsMatchesByNumber) {
  WorklistPeer worklist("WORKLIST");
  worklist.add({"", "MUSTERMANN^ERIKA", "H-0042", "HOSP", "19800101", "F", "A-77", "CT Thorax"});
  worklist.add({"", "MUSTERMANN^MAX", "H-0043", "HOSP", "19750505", "M", "A-78", "MR Knee"});
  PipedDescriptor input(STDIN_FILENO);
  PipedDescriptor errors(STDERR_FILENO);
  CliPrompts prompts;
  prompts.interactive = true;
  const QueryStation station{"WORKLIST", "127.0.0.1", worklist.port(), QueryModel::Worklist, {}};
  prompts.patientQuery = PatientQueryParams{"KALVORA", station, 5000, 16384};

  struct Case {
    std::string typed;
    NewPatientDataAnswer expected;
  };
  const Case cases[] = {
      // The second match, its values confirmed with Enter.
      {"2\n\n\n\n",
       {"H-0043", "A-78", "MUSTERMANN^MAX", "H-0043 (HOSP) from " + describeQueryStation(station)}},
      // A match's ID replaced by hand: the answer is typed, not picked.
      {"1\nH-9\n\n\n", {"H-9", "A-77", "MUSTERMANN^ERIKA", ""}},
      // No pick: typed as without a query station.
      {"\nLOCAL7\n\n\n", {"LOCAL7", "", "", ""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    std::optional<NewPatientDataAnswer> answer;
    std::thread worker([&] {
      NewPatientDataQuestion question;
      question.patientId = "FOREIGN-1";
      question.patientName = "MUSTERMANN^E";
      answer = prompts.askNewPatientData(question);
    });
    const std::string shown = readUntil(errors.readEnd(), "Pick a match by number");
    EXPECT_NE(shown.find("  1) H-0042 (HOSP)  MUSTERMANN^ERIKA"), std::string::npos) << shown;
    EXPECT_NE(shown.find("  2) H-0043 (HOSP)  MUSTERMANN^MAX"), std::string::npos) << shown;
    ASSERT_EQ(write(input.writeEnd(), c.typed.data(), c.typed.size()),
              static_cast<ssize_t>(c.typed.size()));
    worker.join();
    readUntil(errors.readEnd(), "New patients name");
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->newPatientId, c.expected.newPatientId);
    EXPECT_EQ(answer->newAccessionNumber, c.expected.newAccessionNumber);
    EXPECT_EQ(answer->newPatientName, c.expected.newPatientName);
    EXPECT_EQ(answer->chosenMatch, c.expected.chosenMatch);
  }
}

TEST(CliPrompts, AQueryStationThatIsNotThereLeavesTheQuestionToTyping) {
  PipedDescriptor input(STDIN_FILENO);
  PipedDescriptor errors(STDERR_FILENO);
  CliPrompts prompts;
  prompts.interactive = true;
  prompts.patientQuery =
      PatientQueryParams{"KALVORA",
                         {"WORKLIST", "127.0.0.1", freeLoopbackPort(), QueryModel::Worklist, {}},
                         5000,
                         16384};
  std::optional<NewPatientDataAnswer> answer;
  std::thread worker([&] {
    NewPatientDataQuestion question;
    question.patientId = "FOREIGN-1";
    question.patientName = "MUSTERMANN^E";
    answer = prompts.askNewPatientData(question);
  });
  const std::string shown = readUntil(errors.readEnd(), "New patient ID: ");
  EXPECT_NE(shown.find("Could not reach the station WORKLIST"), std::string::npos) << shown;
  const std::string typed = "LOCAL7\n\n\n";
  ASSERT_EQ(write(input.writeEnd(), typed.data(), typed.size()),
            static_cast<ssize_t>(typed.size()));
  worker.join();
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->newPatientId, "LOCAL7");
  EXPECT_EQ(answer->chosenMatch, "");
}
