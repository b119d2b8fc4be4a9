#pragma once

#include <ctime>
#include <deque>
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
#include "config/KalvoraSettings.h"
#include "jobs/AuditInstance.h"
#include "jobs/AuditMessage.h"
#include "jobs/AuditTrail.h"
#include "jobs/JobCounters.h"
#include "jobs/JobFolders.h"
#include "jobs/JobJournal.h"
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
  // Kalvora's own per-station options, by alias (associations a send opens).
  std::map<std::string, StationOptions> stationOptions;
  // Where the records of every medium read, send and discard go; nowhere until a front end
  // sets it (openAuditTrail). A record it cannot take is reported in the job's log.
  AuditTrail auditTrail;

  void setObserver(EngineObserver* observer) { observer_ = observer; }
  // Off: a finished scan stays Pending and nothing is sent (to check a medium first).
  void setSendAfterScan(bool send) { sendAfterScan_ = send; }
  // On: a send to a station that is busy with a send of this engine waits until that one
  // has finished, so that many jobs sent at once (kept jobs) reach a station that serves one
  // association at a time. Stations are still sent to side by side.
  void setOneAssociationPerStation(bool one) { oneAssociationPerStation_ = one; }

  // Starts reading the medium at `root`; returns the job folder, or "" when nothing
  // was started (empty or unreadable root).
  std::string StartScan(const std::string& root);
  void StartSending(const std::string& jobFolder);
  void StartSendJob(const std::string& calledAeTitle, const std::string& host, int port,
                    const std::string& jobFolder);
  // Makes a folder that is no job folder of Kalvora's (IsKalvoraJobFolder) a Pending job, to
  // send it with StartSending; it is never deleted. False for a job folder of Kalvora's:
  // those are adopted with AdoptKeptJob.
  bool AdoptJobFolder(const std::string& jobFolder);

  // InUse: another process works on it. NotKept: it is no job folder of Kalvora's, is listed
  // already, or held nothing that had still to go anywhere and was deleted. Failed: its
  // journal could not be opened.
  enum class Adoption { Adopted, InUse, NotKept, Failed };
  // Makes a job folder of Kalvora's below the temporary folder a "Failed" job that can be sent
  // again or discarded; its log tells when it was left and what is missing where. A folder
  // with no copy, or whose copies all reached every station, is deleted. The adopted folder
  // stays held (no other process takes it) until its job has run (ResendJob, DiscardJob).
  // With Failed, `why` gets the system's reason.
  Adoption AdoptKeptJob(const std::string& jobFolder, std::string* why = nullptr);
  // AdoptKeptJob for every job folder below the temporary folder that no process works on
  // (left by a crash, a kill or an undelivered job), each left free again for others until
  // it is sent or discarded here; returns the folders adopted.
  std::vector<std::string> RecoverJobFolders();
  // Sends a kept job (Pending or Failed, not running) again: to each station chosen for it,
  // only the files it has not stored. With `replacement`, that station takes the place of
  // those still missing files. A job never sent chooses its destinations now
  // (StartSending). A job with nothing missing is finished at once and its folder deleted.
  // The folder is taken again first: one that another process works on is left (its log
  // says so), one that another process delivered or discarded meanwhile makes the job
  // "Stopped" with a line saying it is gone. False when nothing was sent or finished.
  bool ResendJob(const std::string& jobFolder,
                 const std::optional<StationChoice>& replacement = std::nullopt);
  // Deletes the folder of a kept job (Pending or Failed, not running) of Kalvora's, taken
  // again first as for ResendJob; the job shows "Stopped" and its log says it was discarded.
  // Returns how many copies were removed, or -1 when nothing may be deleted.
  int DiscardJob(const std::string& jobFolder);
  // Jobs whose files have not all reached their stations (shown "Failed").
  int undeliveredJobCount() const;

  // Stop every running scan (send) and wait for them, all together, up to 30 s. A send still
  // running 2 s after the request (waiting for a station's answer) has its association cut:
  // its job is kept, "Failed". A worker waiting for the user's answer to a question stops
  // once it is answered. Meanwhile the stop button is disabled and the status icon active;
  // the icon is idle afterwards.
  void StopScans();
  void StopSends();
  // A window's stop: asks every running scan (send) to stop and returns at once. The stop
  // button stays disabled and the icon active until the last of them has reported its end;
  // then the icon is idle and scanStopping() (sendStopping()) is false again.
  void RequestStopScans();
  void RequestStopSends();
  // For a send that waits for a station's answer and sees no stop request: cuts the
  // association of every send still running since RequestStopSends (its job is kept, Failed).
  void AbortStoppingSends();
  bool scanStopping() const { return scanStopping_; }
  bool sendStopping() const { return sendStopping_; }
  // For a front end that is about to end (Ctrl-C): asks every scan to stop and cuts every
  // send's association at once, without waiting, and starts no new scan or send.
  void StopEverythingNow();
  bool stoppingEverything() const { return stoppedEverything_; }
  // Stops and joins every worker. Deletes the folders of jobs still copying; keeps those
  // of jobs pending, sending or failed, to be found again at the next start. Never hangs:
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
  void handleScanReport(ScanEvent event, const ScanProgress& progress);
  void handleSendReport(SendEvent event, const SendProgress& progress,
                        const JobDestination& destination);
  void appendLog(const std::string& jobFolder, const std::optional<std::string>& line);
  void jobChanged(const std::string& jobFolder);
  void countersChanged(bool busyBefore);
  void sendEnded(const std::string& jobFolder, const JobDestination& destination);
  void launchSend(const JobDestination& destination, const JobJournal& journal,
                  const std::string& jobFolder);
  void startNextWaitingSend(const JobDestination& destination);
  // Sends still waiting for their station are not started; their jobs stay kept.
  void dropWaitingSends();
  // A requested stop is complete once no worker of its kind runs any more.
  void completeRequestedStops();
  JobJournal* journalOf(const std::string& jobFolder) const;
  // The journal of a kept job, its folder taken again when this process does not hold it;
  // null when it cannot be (the job's log says why).
  JobJournal* holdJournal(const std::string& jobFolder);
  // Lets other processes have the folder once no scan or send of this process works on it.
  void releaseIdleJournal(const std::string& jobFolder);
  // Pending or Failed: its folder is kept, and nothing runs on it.
  bool isKeptJob(const std::string& jobFolder) const;
  // A new job folder with its journal held, or the folder's error.
  JobFolder makeJobFolder(std::time_t now);
  // The job's folder goes, and its lock with it; only one this process holds by its journal
  // (-1 otherwise).
  int removeJobFolder(const std::string& jobFolder);
  int addJobFromJournal(const std::string& jobFolder, JobStatus status, const std::string& log,
                        std::unique_ptr<JobJournal> journal);

  // The audit trail (KalvoraEngineAudit.cpp).
  struct AuditedJob {
    std::string sourceRoot;
    std::map<std::string, AuditInstance> copies;  // by copy name, as the scan reported them
    int notCopied = 0;
  };
  enum class ImportEnd { Finished, Stopped, Closed };
  void noteAuditedCopy(const ScanProgress& progress);
  void auditImport(const std::string& jobFolder, ImportEnd end);
  // Follows a send's reports; its record is written when it has finished.
  void noteAuditedSend(SendEvent event, const SendProgress& progress,
                       const JobDestination& destination);
  void auditSend(const std::string& jobFolder, const JobDestination& destination,
                 const std::vector<std::string>& stored, const AuditEventOutcome& outcome);
  // At shutdown: the reads of `copyingJobs` and the sends whose last reports are not handled.
  void auditUnfinishedWork(const std::vector<std::string>& copyingJobs);
  // The instances of the job's copies `names`; a copy the scan did not report here (a job of
  // an earlier run) is read from its file.
  std::vector<AuditInstance> auditInstances(const std::string& jobFolder,
                                            const std::vector<std::string>& names) const;
  void writeAudit(const std::string& jobFolder, const std::string& record);

  MainThreadPoster& mainThread_;
  UserPrompts& prompts_;
  EngineObserver* observer_ = nullptr;
  bool sendAfterScan_ = true;
  bool shutDown_ = false;
  bool stoppedEverything_ = false;
  bool scanStopping_ = false;
  bool sendStopping_ = false;
  // Reports still queued when the engine is gone must not touch it.
  std::shared_ptr<bool> alive_;

  JobList jobs_;
  JobCounters counters_;
  std::vector<ScanEntry> scanThreads_;
  std::vector<SendEntry> sendThreads_;
  std::set<std::string> scanning_;
  std::set<std::string> unmadeFolders_;
  // Lines a job's log starts with, about how it was asked to read (by job folder).
  std::map<std::string, std::string> startWarnings_;
  std::map<std::string, int> runningSends_;  // started or waiting
  bool oneAssociationPerStation_ = false;
  std::map<JobDestination, int> stationBusy_;                       // sends running per station
  std::map<JobDestination, std::deque<std::string>> waitingSends_;  // job folders, in order
  // The journal, and so the lock, of every job folder this process works on now; in memory
  // only, for the job's whole life, for a folder that is not Kalvora's own.
  std::map<std::string, std::unique_ptr<JobJournal>> journals_;
  std::set<std::string> foreignFolders_;
  std::map<std::string, AuditedJob> audited_;
  // The files each running send (job folder, station) reported stored.
  std::map<std::pair<std::string, JobDestination>, std::vector<std::string>> auditedSends_;
};
