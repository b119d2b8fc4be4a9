#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmnet/assoc.h>

#include "net/DicomAssociation.h"
#include "net/FileToSend.h"
#include "net/SendEvent.h"
#include "net/SendParams.h"
#include "net/SendProgress.h"
#include "net/StoragePresentationContexts.h"
#include "workers/WorkerThread.h"

class MainThreadPoster;
class UserPrompts;

// One send job: stores every file of a job folder at one station, on a worker thread of its
// own, over one association or, when the station allows more, several that share the queue. Every
// step is a report: a copy of the progress record posted to the main thread, where `onReport` runs.
// A run always ends with SendFinished.
class StoreScu {
 public:
  using ReportHandler = std::function<void(SendEvent, const SendProgress&)>;

  StoreScu(SendParams params, MainThreadPoster& mainThread, UserPrompts& prompts,
           ReportHandler onReport);
  // Requests a stop, aborts the association and joins the worker.
  ~StoreScu();
  StoreScu(const StoreScu&) = delete;
  StoreScu& operator=(const StoreScu&) = delete;

  // Runs the job on a new worker thread.
  void start();
  // Thread-safe; looked at when the job starts and after each file.
  void requestStop();
  // Thread-safe; cuts the connection at once, so no network wait of the worker outlasts it
  // (shutdown with a stalled peer). The job then tears down and reports SendFinished.
  void abort();
  void join();
  // True once the worker has ended (or was never started).
  bool waitFor(std::chrono::milliseconds timeout) { return thread_.waitFor(timeout); }

  // The whole job on the calling thread.
  void Run();

 private:
  void runGuarded();
  // Every entry of the folder but its subfolders into transfers_ (a link or a device with its
  // reason, never sent); false when it cannot be listed.
  bool listFolder();
  // The files to offer (indices into transfers_), the SOP classes to propose and the
  // files' headers.
  void queueFiles(std::vector<std::size_t>& sendQueue, std::vector<std::string>& sopClasses,
                  std::vector<FileHeader>& headers);
  std::vector<ClassInOwnSyntax> classesInOwnSyntax(const std::vector<FileHeader>& headers) const;
  // What a store learnt beyond its result: reported with the file.
  struct StoreResult {
    std::string warning;
    CopyIdentity identity;
  };
  // Stores the queue over the job's association and as many more as the station allows.
  OFCondition sendFiles(const std::vector<std::size_t>& sendQueue,
                        const std::vector<std::string>& sopClasses,
                        const std::vector<ClassInOwnSyntax>& ownSyntaxes);
  // Takes files from the shared queue until it is empty, the job stops or `lane` is lost.
  OFCondition storeFromQueue(DicomAssociation& lane);
  OFCondition StoreFile(DicomAssociation& lane, FileTransfer& transfer, StoreResult& result);
  void finish();
  OFCondition checkStoreResponse(Uint16 status, std::string& warning);
  bool associationLost(const OFCondition& condition) const;

  // Association (StoreScuAssociation.cpp).
  // False when a step failed; `condition` then holds the failing step's result. Only the
  // job's own association fails the job; a further one that cannot be had is a notice.
  bool openAssociation(DicomAssociation& lane, bool ownAssociation,
                       const std::vector<std::string>& sopClasses,
                       const std::vector<ClassInOwnSyntax>& ownSyntaxes, OFCondition& condition);
  OFCondition requestAssociation();
  // "certificate of 'PACS' not trusted: ..." with OpenSSL's reason.
  std::string untrustedCertificate(const DicomAssociation& lane) const;
  void tearDown(const OFCondition& condition);
  // A further association: opened, used and closed on a thread of its own.
  void runFurtherAssociation(DicomAssociation& lane, const std::vector<std::string>& sopClasses,
                             const std::vector<ClassInOwnSyntax>& ownSyntaxes);
  void closeFurtherAssociation(DicomAssociation& lane, const OFCondition& condition);

  void report(SendEvent event);
  void report(SendEvent event, const std::string& message);
  // SendFailed, logged also when the log is not verbose.
  void reportTlsFailure(const std::string& message);
  // A report about one file, from whichever association stores it.
  void reportFor(const std::string& path, SendEvent event, const std::string& message);
  // Posts the progress record; progressMutex_ is held.
  void postProgressLocked();
  void pauseAfterNotice();

  const SendParams params_;
  MainThreadPoster& mainThread_;
  UserPrompts& prompts_;
  const ReportHandler onReport_;

  // Guards the progress record, the counters, the queue's position and endReason_ while
  // several associations store.
  std::mutex progressMutex_;
  SendProgress progress_;
  std::atomic<bool> stopRequested_{false};
  std::atomic<bool> aborted_{false};
  const std::vector<std::size_t>* sendQueue_ = nullptr;
  std::size_t nextInQueue_ = 0;
  int filesSent_ = 0;
  int filesRemaining_ = 0;
  int filesFailed_ = 0;
  std::vector<FileTransfer> transfers_;
  int folderFd_ = -1;  // the job folder, open while its files are sent
  std::atomic<bool> stopSeen_{false};
  std::string endReason_;  // why files were left unattempted
  bool codecsHeld_ = false;
  bool finished_ = false;

  DicomAssociation association_;
  // The further associations, kept so that an abort cuts them too.
  std::mutex furtherMutex_;
  std::vector<std::unique_ptr<DicomAssociation>> further_;

  std::mutex pauseMutex_;
  std::condition_variable pauseWake_;
  WorkerThread thread_;
};
