#pragma once

#include <map>
#include <string>

#include <nlohmann/json.hpp>

#include "jobs/EngineObserver.h"
#include "jobs/KalvoraEngine.h"

struct JobRunOptions {
  bool json = false;
  bool progressLine = false;  // a live line on the terminal
};

// Follows one job of the engine for the command line: prints its reports as they
// come and decides whether everything arrived.
class JobRunner : public EngineObserver {
 public:
  JobRunner(KalvoraEngine& engine, JobRunOptions options);

  void scanReported(ScanEvent event, const ScanProgress& progress) override;
  void sendReported(SendEvent event, const SendProgress& progress) override;

  // Prints the job's log and the counters (or the JSON summary); returns the exit status:
  // 0 when DICOM files were copied, none failed, and (when sending) every send stored
  // every one of them and the job is not left "Failed"; 1 otherwise.
  int finish(const std::string& jobFolder, bool scanned, bool sending, std::string note);
  bool anySendFinished() const { return sendsFinished_ > 0; }

 private:
  struct Destination {
    int sent = 0;    // as the reports come
    int failed = 0;  // as the reports come
    bool finished = false;
    SendProgress last;  // the SendFinished report: every file and its outcome
  };
  // "; job folder deleted", "; kept in FOLDER, send it again with: ...", or "" for a
  // folder that is not the job's own.
  std::string folderFate(const std::string& jobFolder, int index) const;
  void printSendSummary(const std::string& fate) const;
  nlohmann::json sendSummaryJson() const;
  // One JSON line, or the live progress line.
  void showReport(const nlohmann::json& report);
  void showProgress();

  KalvoraEngine& engine_;
  JobRunOptions options_;
  int copied_ = 0;
  int notCopied_ = 0;
  int scanErrors_ = 0;
  int notDicom_ = 0;  // programs, texts and other files that are no DICOM object
  bool stopped_ = false;
  int expectedFiles_ = -1;
  bool allSendsComplete_ = true;
  int sendsFinished_ = 0;
  // Per station: two stations (two rules) may share an AE title.
  std::map<JobDestination, Destination> destinations_;
};
