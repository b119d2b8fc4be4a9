#pragma once

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "config/AppSettings.h"
#include "config/CFilterArray.h"
#include "config/CRuleArray.h"
#include "config/CStationArray.h"
#include "jobs/JobCounters.h"
#include "jobs/JobList.h"
#include "media/ScanProgress.h"
#include "net/SendProgress.h"
#include "workers/MainThreadPoster.h"
#include "workers/UserPrompts.h"

class EngineObserver;
class MediaScan;
class StoreScu;

// Owns the configuration, the job list, the counters and the workers. Every member
// function runs on the main thread; workers reach it only through posted reports.
class KalvoraEngine {
 public:
  KalvoraEngine(MainThreadPoster& mainThread, UserPrompts& prompts);
  ~KalvoraEngine();
  KalvoraEngine(const KalvoraEngine&) = delete;
  KalvoraEngine& operator=(const KalvoraEngine&) = delete;

  AppSettings settings;
  CStationArray stations;
  CRuleArray rules;
  CFilterArray filters;

  void setObserver(EngineObserver* observer) { observer_ = observer; }
  // Off: a finished scan stays Pending and nothing is sent (to check a medium first).
  void setSendAfterScan(bool send) { sendAfterScan_ = send; }
  // On: shutdown leaves the folders of the jobs it would otherwise delete.
  void setKeepJobFolders(bool keep) { keepJobFolders_ = keep; }

  // Starts reading the medium at `root`; returns the job folder, or "" when nothing
  // was started (empty or unreadable root).
  std::string StartScan(const std::string& root);
  void StartSending(const std::string& jobFolder);
  void StartSendJob(const std::string& calledAeTitle, const std::string& host, int port,
                    const std::string& jobFolder);
  // Makes an existing folder (kept from an earlier run) a Pending job, to send it.
  // Its folder is deleted after sending only when it is a job folder Kalvora made
  // (IsKalvoraJobFolder) and every file reached every destination.
  void AdoptJobFolder(const std::string& jobFolder);
  // Plain files of an adopted folder when it was adopted.
  int adoptedFileCount(const std::string& jobFolder) const;

  // Stop every running scan (send) and wait for each up to 30 s. Meanwhile the stop button
  // is disabled and the status icon active; the icon is idle afterwards.
  void StopScans();
  void StopSends();
  // For a front end that is about to end (Ctrl-C): asks every scan to stop and cuts every
  // send's association at once, without waiting, and starts no new scan or send.
  void StopEverythingNow();
  // Stops and joins every worker and deletes every job folder of the run. Never hangs:
  // a send stalled on the network is aborted.
  void Shutdown();

  const JobList& jobs() const { return jobs_; }
  const JobCounters& counters() const { return counters_; }
  // False for a job whose folder could not be made: its scan read nothing and it is
  // never sent.
  bool jobFolderMade(const std::string& jobFolder) const;
  // The job still scans or has a send that has not finished.
  bool isJobActive(const std::string& jobFolder) const;

 private:
  struct ScanEntry {
    std::unique_ptr<MediaScan> worker;
    std::string jobFolder;
  };
  struct SendEntry {
    std::unique_ptr<StoreScu> worker;
    std::string jobFolder;
  };
  struct AdoptedFolder {
    int fileCount = 0;
    bool incomplete = false;
    bool madeByKalvora = false;
  };

  void handleScanReport(ScanEvent event, const ScanProgress& progress);
  void handleSendReport(SendEvent event, const SendProgress& progress);
  void appendLog(const std::string& jobFolder, const std::optional<std::string>& line);
  void jobChanged(const std::string& jobFolder);
  void countersChanged(bool busyBefore);
  void sendEnded(const SendProgress& progress);

  MainThreadPoster& mainThread_;
  UserPrompts& prompts_;
  EngineObserver* observer_ = nullptr;
  bool sendAfterScan_ = true;
  bool keepJobFolders_ = false;
  bool shutDown_ = false;
  bool stoppedEverything_ = false;
  // Reports still queued when the engine is gone must not touch it.
  std::shared_ptr<bool> alive_;

  JobList jobs_;
  JobCounters counters_;
  std::vector<ScanEntry> scanThreads_;
  std::vector<SendEntry> sendThreads_;
  std::set<std::string> scanning_;
  std::set<std::string> unmadeFolders_;
  std::map<std::string, int> runningSends_;
  std::map<std::string, AdoptedFolder> adopted_;
};
