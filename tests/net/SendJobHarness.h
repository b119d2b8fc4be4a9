#pragma once

#include <functional>
#include <string>
#include <vector>

#include "TestMainThread.h"
#include "net/SendParams.h"
#include "net/SendProgress.h"
#include "workers/UserPrompts.h"

class CStationArray;
class StoreScu;

// Answers the association retry question from a script and remembers what was asked.
class ScriptedPrompts : public UserPrompts {
 public:
  std::vector<bool> retryAnswers;                        // taken in order; No once they run out
  std::function<void()> beforeRetryAnswer;               // runs when the question is asked
  std::vector<AssociationRetryQuestion> retryQuestions;  // as asked

  std::optional<NewPatientDataAnswer> askNewPatientData(const NewPatientDataQuestion&) override {
    return std::nullopt;
  }
  bool askRetryAssociation(const AssociationRetryQuestion& question) override;
  std::optional<StationChoice> chooseStation(const CStationArray&) override { return std::nullopt; }
};

// A send job run to its end, with every report as the main thread received it.
struct SendRun {
  std::vector<SendProgress> reports;

  std::vector<SendEvent> events() const;
  std::vector<std::string> messages(SendEvent event) const;
  int count(SendEvent event) const;
  const SendProgress& last() const { return reports.back(); }
  bool finished() const { return !reports.empty() && reports.back().event == SendFinished; }
};

// Parameters for a send to a peer on 127.0.0.1; short time-outs keep the tests quick.
SendParams loopbackParams(const std::string& jobFolder, int port,
                          const std::string& calledAETitle = "STORESCP");

// Runs a send job on its worker thread while this thread plays the main thread. `whileRunning`
// runs once the worker has started.
SendRun runSendJob(const SendParams& params, ScriptedPrompts& prompts,
                   const std::function<void(StoreScu&)>& beforeStart = {},
                   const std::function<void(StoreScu&)>& whileRunning = {});
