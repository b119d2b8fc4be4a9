#include "SendJobHarness.h"

#include <gtest/gtest.h>

#include "net/StoreScu.h"

bool ScriptedPrompts::askRetryAssociation(const AssociationRetryQuestion& question) {
  retryQuestions.push_back(question);
  if (beforeRetryAnswer) beforeRetryAnswer();
  if (retryQuestions.size() > retryAnswers.size()) return false;
  return retryAnswers[retryQuestions.size() - 1];
}

std::vector<SendEvent> SendRun::events() const {
  std::vector<SendEvent> events;
  for (const SendProgress& report : reports) events.push_back(report.event);
  return events;
}

std::vector<std::string> SendRun::messages(SendEvent event) const {
  std::vector<std::string> messages;
  for (const SendProgress& report : reports) {
    if (report.event == event) messages.push_back(report.message);
  }
  return messages;
}

int SendRun::count(SendEvent event) const {
  int count = 0;
  for (const SendProgress& report : reports) count += report.event == event ? 1 : 0;
  return count;
}

SendParams loopbackParams(const std::string& jobFolder, int port,
                          const std::string& calledAETitle) {
  SendParams params;
  params.callingAETitle = "KALVORA";
  params.networkTimeout = 5000;
  params.calledAETitle = calledAETitle;
  params.peerHost = "127.0.0.1";
  params.peerPort = port;
  params.jobFolder = jobFolder;
  return params;
}

SendRun runSendJob(const SendParams& params, ScriptedPrompts& prompts,
                   const std::function<void(StoreScu&)>& beforeStart,
                   const std::function<void(StoreScu&)>& whileRunning) {
  TestMainThread mainThread;
  SendRun run;
  StoreScu job(params, mainThread, prompts, [&run](SendEvent, const SendProgress& progress) {
    run.reports.push_back(progress);
  });
  if (beforeStart) beforeStart(job);
  job.start();
  if (whileRunning) whileRunning(job);
  EXPECT_TRUE(mainThread.runUntil([&run] { return run.finished(); }, std::chrono::seconds(150)))
      << "the send job did not finish";
  job.join();
  return run;
}
