#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <future>
#include <map>
#include <string>

#include "media/AnonymizedIds.h"
#include "media/LoadAhead.h"
#include "media/MediaFileLoad.h"
#include "media/NewPatientDataStep.h"
#include "media/ScanProgress.h"
#include "media/ScanRequest.h"
#include "workers/WorkerThread.h"

class DcmDataset;
class MainThreadPoster;
class UserPrompts;

// Reads one medium: walks its folders depth first and copies every DICOM file it accepts,
// re-identified or anonymized as requested, flat into the job folder. Each step is
// reported to the main thread as a copy of the progress record at that moment.
// Everything it remembers (anonymized IDs, answers) is for this medium only.
class MediaScan {
 public:
  using ReportHandler = std::function<void(ScanEvent, const ScanProgress&)>;

  MediaScan(ScanRequest request, MainThreadPoster& mainThread, UserPrompts& prompts,
            ReportHandler onReport);
  ~MediaScan();  // requests a stop and joins
  MediaScan(const MediaScan&) = delete;
  MediaScan& operator=(const MediaScan&) = delete;

  void start();        // runs Scan on a worker thread
  void requestStop();  // any thread; seen between files
  void join();
  // True once the worker has ended (or was never started).
  bool waitFor(std::chrono::milliseconds timeout) { return worker_.waitFor(timeout); }

  // The whole scan on the calling thread; always ends with ScanFinished or ScanStopped.
  void Scan();
  // One folder and its subfolders; nonzero when the folder listed at least one entry.
  // The root may be a link (the user chose it); links met on the medium are not followed.
  int ScanDirectory(const std::string& folder, bool followLink = true);
  // The import pass for one file (full path, bare name). True when a write was attempted.
  bool ImportFile(const std::string& path, const std::string& name);
  // The import pass after the reading half (loadMediaFile).
  bool FinishImport(MediaFileLoad load);

  const ScanRequest& request() const { return request_; }

 private:
  void Notify();
  void report(ScanEvent event, const std::string& message);
  void reportFile(ScanEvent event, const std::string& name, const std::string& message);
  // A ScanError with fileLost (notAnImage) set.
  void reportFileLost(const std::string& name, const std::string& message);
  void reportNotAnImage(const std::string& name, const std::string& message);
  bool stopSeen();
  // The walk reads the next file while the previous one is written: starts reading this
  // one, then finishes the one before.
  void importAhead(const std::string& path, const std::string& name);
  void finishPending();
  void anonymize(DcmDataset& dataset, const std::string& patientId);

  const ScanRequest request_;
  MainThreadPoster& mainThread_;
  ReportHandler onReport_;
  NewPatientDataStep newPatientData_;
  // The query station's match the last answer was picked from, until a copy is reported.
  std::string pendingPatientMatch_;
  AnonymizedIds anonymizedIds_;
  ScanProgress progress_;
  // Last suffix handed out per file name: a medium of many series with the same image
  // names would otherwise probe every taken name again for each file.
  std::map<std::string, unsigned> lastSuffix_;
  bool hasExclusions_ = false;
  bool stopRequested_ = false;  // worker's own view, never cleared
  std::atomic<bool> stopFlag_{false};
  int32_t filesSeen_ = 0;
  int32_t filesSaved_ = 0;
  LoadAhead loadAhead_;  // after stopFlag_, which its loads look at
  std::future<MediaFileLoad> pending_;
  WorkerThread worker_;
};
