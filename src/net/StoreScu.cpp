#include "net/StoreScu.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <thread>

#include <dcmtk/dcmdata/dcdatset.h>
#include <dcmtk/dcmdata/dcuid.h>
#include <dcmtk/dcmnet/cond.h>
#include <dcmtk/dcmnet/dimse.h>
#include <dcmtk/dcmnet/diutil.h>

#include "dicom/CopyIdentity.h"
#include "dicom/NestingGuard.h"
#include "net/CodecRegistration.h"
#include "net/FileToSend.h"
#include "net/StoreResponseStatus.h"
#include "net/TextFormat.h"
#include "workers/JobFolderEntries.h"
#include "workers/MainThreadPoster.h"

namespace fs = std::filesystem;

namespace {

constexpr auto kNoticePause = std::chrono::milliseconds(500);
constexpr const char* kSendingStopped = "Sending stopped";
constexpr const char* kLinkNotFollowed = "a symbolic link, not followed";
constexpr const char* kNotARegularFile = "not a regular file";

// A descriptor closed when it goes.
class OpenFile {
 public:
  explicit OpenFile(int fd) : fd_(fd) {}
  ~OpenFile() {
    if (fd_ >= 0) close(fd_);
  }
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

// A station may take tens of seconds to take in and store a large image before it answers;
// one that has not moved for a minute has stopped. A longer time-out still counts.
constexpr int kStoreWaitFloorMs = 60000;

std::string sopClassLabel(const std::string& sopClassUid) {
  if (const char* modality = dcmSOPClassUIDToModality(sopClassUid.c_str())) return modality;
  if (const char* name = dcmFindNameOfUID(sopClassUid.c_str())) return name;
  return "unknown SOP class";
}

}  // namespace

StoreScu::StoreScu(SendParams params, MainThreadPoster& mainThread, UserPrompts& prompts,
                   ReportHandler onReport)
    : params_(std::move(params)),
      mainThread_(mainThread),
      prompts_(prompts),
      onReport_(std::move(onReport)),
      association_(params_.networkTimeout, params_.tls) {}

StoreScu::~StoreScu() {
  requestStop();
  abort();
  join();
  if (folderFd_ >= 0) close(folderFd_);
}

void StoreScu::start() {
  thread_.start([this] { Run(); });
}

void StoreScu::requestStop() { stopRequested_ = true; }

void StoreScu::abort() {
  aborted_ = true;
  association_.cut();
  {
    std::lock_guard<std::mutex> lock(furtherMutex_);
    for (const auto& lane : further_) lane->cut();
  }
  std::lock_guard<std::mutex> lock(pauseMutex_);
  pauseWake_.notify_all();
}

void StoreScu::join() { thread_.join(); }

void StoreScu::Run() {
  try {
    runGuarded();
  } catch (...) {
    // Nothing escapes the worker: end the job as a failed one.
    try {
      if (!finished_) {
        association_.discard();
        report(SendFailed, "Unknown error in StoreScu::Run()");
        if (codecsHeld_) CodecRegistration::release();
        codecsHeld_ = false;
        finish();
      }
    } catch (...) {
    }
  }
}

void StoreScu::runGuarded() {
  progress_.destination = params_.calledAETitle;
  progress_.destinationHost = params_.peerHost;
  progress_.destinationPort = params_.peerPort;
  progress_.jobFolder = params_.jobFolder;
  progress_.condition = EC_Normal;
  filesSent_ = 0;
  filesRemaining_ = 0;
  report(SendStarted);

  // Listed first, so that even a job stopped at once accounts for every file.
  const bool listed = !params_.jobFolder.empty() && listFolder();
  if (stopRequested_) {
    stopSeen_ = true;
    return finish();
  }
  if (params_.jobFolder.empty()) {
    report(SendFailed, "Parameter 'Path' is empty");
    return finish();
  }
  if (!listed) {
    report(SendFailed, "Parameter 'Path' contains no files");
    return finish();
  }

  std::vector<std::size_t> sendQueue;
  std::vector<std::string> sopClasses;
  std::vector<FileHeader> headers;
  queueFiles(sendQueue, sopClasses, headers);
  filesRemaining_ = static_cast<int>(sendQueue.size());
  if (sendQueue.empty()) {
    report(SendNotice, "No files found.");
    return finish();
  }

  CodecRegistration::acquire();
  codecsHeld_ = true;
  OFCondition condition = EC_Normal;
  const std::vector<ClassInOwnSyntax> ownSyntaxes = classesInOwnSyntax(headers);
  if (openAssociation(association_, true, sopClasses, ownSyntaxes, condition))
    condition = sendFiles(sendQueue, sopClasses, ownSyntaxes);
  tearDown(condition);
}

// The syntaxes in which files will go as they are, so that a station may take them so.
std::vector<ClassInOwnSyntax> StoreScu::classesInOwnSyntax(
    const std::vector<FileHeader>& headers) const {
  std::vector<ClassInOwnSyntax> own;
  for (const FileHeader& header : headers) {
    if (goesInOwnSyntax(header.transferSyntax, params_.convertCompressed != 0))
      own.push_back({header.sopClassUid, header.transferSyntax});
  }
  return own;
}

// Only the folder's own regular files go. A link is never followed (it could reach any file
// the user running the send may read, or a device): it is named and counted as not sent.
bool StoreScu::listFolder() {
  folderFd_ = open(params_.jobFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folderFd_ < 0) return false;
  const int listFd = dup(folderFd_);
  DIR* dir = listFd < 0 ? nullptr : fdopendir(listFd);
  if (dir == nullptr) {
    if (listFd >= 0) close(listFd);
    return false;
  }
  std::vector<std::string> skipped;
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == ".." || isJobFolderPrivateEntry(name)) continue;
    if (params_.storedAlready.count(name) > 0) continue;
    if (params_.onlyFiles && params_.onlyFiles->count(name) == 0) continue;
    struct stat info {};
    if (fstatat(folderFd_, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) {
      report(SendNotice, "Parameter 'Path' contains no files");
      continue;
    }
    if (S_ISDIR(info.st_mode)) continue;
    FileTransfer transfer;
    transfer.path = (fs::path(params_.jobFolder) / name).string();
    if (!S_ISREG(info.st_mode)) {
      transfer.reason = S_ISLNK(info.st_mode) ? kLinkNotFollowed : kNotARegularFile;
      skipped.push_back(name);
    }
    transfers_.push_back(std::move(transfer));
  }
  closedir(dir);
  for (const FileTransfer& transfer : transfers_)
    if (!transfer.reason.empty())
      report(SendNotice,
             formatText("'%s' not sent: %s", transfer.path.c_str(), transfer.reason.c_str()));
  return true;
}

void StoreScu::queueFiles(std::vector<std::size_t>& sendQueue, std::vector<std::string>& sopClasses,
                          std::vector<FileHeader>& headers) {
  std::vector<std::string> sopInstances;  // kept beside the classes, not used further
  for (std::size_t index = 0; index < transfers_.size(); ++index) {
    FileTransfer& transfer = transfers_[index];
    if (!transfer.reason.empty()) continue;  // a link or a device, named when listed
    const std::string name = fs::path(transfer.path).filename().string();
    progress_.currentFile = name;
    const OpenFile opened(openRegularFileAt(folderFd_, name));
    if (opened.get() < 0) {
      transfer.reason = errno == ELOOP ? kLinkNotFollowed : kNotARegularFile;
      report(SendNotice,
             formatText("'%s' not sent: %s", transfer.path.c_str(), transfer.reason.c_str()));
      continue;
    }
    const std::string path = pathOfDescriptor(opened.get());

    if (params_.proposeOnlyRequired) {
      DIC_UI sopClass = "";
      DIC_UI sopInstance = "";
      // DU_findSOPClassAndInstanceInFile loads the whole file: the nesting guard goes first.
      if (!safeToLoad(checkNestingDepth(path)) ||
          !DU_findSOPClassAndInstanceInFile(path.c_str(), sopClass, sizeof sopClass, sopInstance,
                                            sizeof sopInstance, OFFalse)) {
        transfer.reason = "Missing SOP class (or instance) in file";
        report(SendNotice, transfer.reason);
        continue;
      }
      if (!dcmIsaStorageSOPClassUID(sopClass)) {
        transfer.reason = "Unknown storage sop class in file";
        report(SendNotice, transfer.reason);
        continue;
      }
      sopClasses.push_back(sopClass);
      sopInstances.push_back(sopInstance);
    }
    // Every class present is proposed, also one newer than the standard list.
    const FileHeader header = readFileHeader(path);
    if (!params_.proposeOnlyRequired && dcmIsaStorageSOPClassUID(header.sopClassUid.c_str()))
      sopClasses.push_back(header.sopClassUid);
    headers.push_back(header);
    sendQueue.push_back(index);
  }
}

OFCondition StoreScu::sendFiles(const std::vector<std::size_t>& sendQueue,
                                const std::vector<std::string>& sopClasses,
                                const std::vector<ClassInOwnSyntax>& ownSyntaxes) {
  sendQueue_ = &sendQueue;
  nextInQueue_ = 0;
  // No more associations than files: one that would find the queue empty is not asked for.
  const int further =
      std::min(std::max(params_.associations, 1), static_cast<int>(sendQueue.size())) - 1;
  std::vector<std::thread> threads;
  for (int i = 0; i < further; ++i) {
    DicomAssociation* lane = nullptr;
    {
      std::lock_guard<std::mutex> lock(furtherMutex_);
      further_.push_back(std::make_unique<DicomAssociation>(params_.networkTimeout, params_.tls));
      lane = further_.back().get();
    }
    if (aborted_) lane->cut();
    try {
      threads.emplace_back([this, lane, &sopClasses, &ownSyntaxes] {
        runFurtherAssociation(*lane, sopClasses, ownSyntaxes);
      });
    } catch (const std::system_error&) {
      break;  // no thread to be had: the files go over those there are
    }
  }
  OFCondition condition = EC_Normal;
  try {
    condition = storeFromQueue(association_);
  } catch (...) {
    stopSeen_ = true;  // the others take no further file
    for (std::thread& thread : threads) thread.join();
    throw;
  }
  for (std::thread& thread : threads) thread.join();
  return condition;
}

OFCondition StoreScu::storeFromQueue(DicomAssociation& lane) {
  OFCondition condition = EC_Normal;
  for (;;) {
    if (stopSeen_ || aborted_ || condition == DUL_PEERREQUESTEDRELEASE ||
        condition == DUL_PEERABORTEDASSOCIATION || associationLost(condition)) {
      break;
    }
    std::size_t index = 0;
    {
      std::lock_guard<std::mutex> lock(progressMutex_);
      if (nextInQueue_ >= sendQueue_->size()) break;
      index = (*sendQueue_)[nextInQueue_++];
    }
    // Each file is taken by one association only: its record is this thread's until the end.
    FileTransfer& transfer = transfers_[index];
    StoreResult result;
    condition = StoreFile(lane, transfer, result);
    // Our own cut makes the store fail as if the station had gone: it is told as ours.
    const bool cutByUs = condition.bad() && aborted_;
    // A write to a station that died fails as a send, a read as an abort: the same end.
    if (condition.bad() && !cutByUs && lane.peerGone()) condition = DUL_PEERABORTEDASSOCIATION;
    {
      std::lock_guard<std::mutex> lock(progressMutex_);
      progress_.currentFile = transfer.path;
      progress_.condition = condition;
      progress_.warning = result.warning;
      progress_.sentIdentity = result.identity;
      if (condition.bad()) {
        transfer.outcome = FileTransfer::Outcome::Failed;
        transfer.reason = cutByUs ? kSendingStopped : condition.text();
        ++filesFailed_;
        progress_.event = FileFailed;
        progress_.message = transfer.reason;
      } else {
        transfer.outcome = FileTransfer::Outcome::Stored;
        ++filesSent_;
        --filesRemaining_;
        progress_.event = FileSent;
      }
      postProgressLocked();
    }
    if (stopRequested_) stopSeen_ = true;
  }
  return condition;
}

// The last report: every file of the folder with its outcome.
void StoreScu::finish() {
  if (stopSeen_ || aborted_) endReason_ = kSendingStopped;
  for (FileTransfer& transfer : transfers_) {
    if (transfer.outcome == FileTransfer::Outcome::NotAttempted && transfer.reason.empty())
      transfer.reason = endReason_;
  }
  progress_.stopped = stopSeen_ || aborted_;
  progress_.transfers = transfers_;
  report(SendFinished);
}

// A store that timed out or lost its connection leaves the association in an unknown state:
// going on would only wait out the time-out again for every remaining file.
bool StoreScu::associationLost(const OFCondition& condition) const {
  return condition == DIMSE_NODATAAVAILABLE || condition == DIMSE_READPDVFAILED ||
         condition == DUL_NETWORKCLOSED || condition == DUL_READTIMEOUT;
}

OFCondition StoreScu::StoreFile(DicomAssociation& lane, FileTransfer& transfer,
                                StoreResult& result) {
  T_ASC_Association* association = lane.association();
  const std::string& path = transfer.path;
  const DIC_US messageId = association->nextMsgID++;

  // Read through one descriptor, opened without following a link, for the whole store:
  // DCMTK reads large values only when they go out.
  const OpenFile opened(openRegularFileAt(folderFd_, fs::path(path).filename().string()));
  if (opened.get() < 0)
    return makeOFCondition(0, 0, OF_error, errno == ELOOP ? kLinkNotFollowed : kNotARegularFile);
  const CopyIdentity identity = readCopyIdentity(opened.get());
  FileToSend file = loadFileToSend(pathOfDescriptor(opened.get()), params_.correctUidPadding == 1);
  if (file.uidsMissing) {
    reportFor(path, SendNotice, "No SOP Class & Instance UIDs in file");
    return DIMSE_BADDATA;
  }
  if (file.condition.bad()) return file.condition;

  const DcmXfer xfer(file.originalXfer);
  const bool decompressing = params_.convertCompressed != 0 && xfer.isEncapsulated();
  // Decompressed, a file goes over an uncompressed context; its own is kept for a stream that
  // cannot be decoded.
  const T_ASC_PresentationContextID ownContextId =
      decompressing ? acceptedContextInSyntax(association, file.sopClassUid, xfer.getXferID()) : 0;
  T_ASC_PresentationContextID contextId = 0;
  if (decompressing) contextId = uncompressedContext(association, file.sopClassUid);
  if (contextId == 0)
    contextId = xfer.getXfer() != EXS_Unknown
                    ? ASC_findAcceptedPresentationContextID(association, file.sopClassUid.c_str(),
                                                            xfer.getXferID())
                    : ASC_findAcceptedPresentationContextID(association, file.sopClassUid.c_str());
  if (contextId == 0) {
    reportFor(
        path, SendNotice,
        formatText("No presentation context for '%s'", sopClassLabel(file.sopClassUid).c_str()));
    return DIMSE_NOVALIDPRESENTATIONCONTEXTID;
  }

  T_ASC_PresentationContext context;
  ASC_findAcceptedPresentationContext(association->params, contextId, &context);
  const E_TransferSyntax contextSyntax = DcmXfer(context.acceptedTransferSyntax).getXfer();
  const ConversionReport conversion =
      convertForTransfer(*file.dataset(), path, params_.convertCompressed != 0, contextSyntax);
  if (conversion.made) reportFor(path, conversion.event, conversion.message);
  // DCMTK could not put it on the wire in the context's syntax: say why, send nothing.
  OFCondition sendable = checkSendable(*file.dataset(), contextSyntax);
  if (sendable.bad() && ownContextId != 0 && ownContextId != contextId) {
    // Not decoded: it goes as it is, where the station took its syntax.
    contextId = ownContextId;
    sendable = checkSendable(*file.dataset(), xfer.getXfer());
  }
  if (sendable.bad()) return sendable;

  T_DIMSE_C_StoreRQ request;
  std::memset(&request, 0, sizeof request);
  request.MessageID = messageId;
  OFStandard::strlcpy(request.AffectedSOPClassUID, file.sopClassUid.c_str(),
                      sizeof request.AffectedSOPClassUID);
  OFStandard::strlcpy(request.AffectedSOPInstanceUID, file.sopInstanceUid.c_str(),
                      sizeof request.AffectedSOPInstanceUID);
  request.DataSetType = DIMSE_DATASET_PRESENT;
  request.Priority = DIMSE_PRIORITY_LOW;

  T_DIMSE_C_StoreRSP response;
  std::memset(&response, 0, sizeof response);
  DcmDataset* statusDetail = nullptr;
  // Sending the data and waiting for the answer get the longer wait; then back to the time-out.
  lane.setPeerWait(std::max(params_.networkTimeout, kStoreWaitFloorMs));
  transfer.requestSent = true;
  const OFCondition condition =
      DIMSE_storeUser(association, contextId, &request, nullptr, file.dataset(), nullptr, nullptr,
                      DIMSE_NONBLOCKING, lane.peerWaitSeconds(), &response, &statusDetail, nullptr,
                      static_cast<long>(identity.size));
  lane.setPeerWait(params_.networkTimeout);
  delete statusDetail;
  if (condition.bad()) return condition;
  result.identity = identity;
  return checkStoreResponse(response.DimseStatus, result.warning);
}

// A response with a failure status is a file the station did not take.
OFCondition StoreScu::checkStoreResponse(Uint16 status, std::string& warning) {
  switch (classifyStoreStatus(status)) {
    case StoreOutcome::Stored:
      return EC_Normal;
    case StoreOutcome::StoredWithWarning:
      warning = "Stored with warning " + describeStoreStatus(status);
      return EC_Normal;
    case StoreOutcome::Refused:
      break;
  }
  return makeOFCondition(0, 0, OF_error,
                         ("Store refused by the station, " + describeStoreStatus(status)).c_str());
}

void StoreScu::report(SendEvent event) {
  {
    std::lock_guard<std::mutex> lock(progressMutex_);
    progress_.event = event;
    postProgressLocked();
  }
  if (event == SendNotice) pauseAfterNotice();
}

void StoreScu::report(SendEvent event, const std::string& message) {
  {
    std::lock_guard<std::mutex> lock(progressMutex_);
    progress_.event = event;
    progress_.message = message;
    if (event == SendFailed) endReason_ = message;
    postProgressLocked();
  }
  if (event == SendNotice) pauseAfterNotice();
}

void StoreScu::reportTlsFailure(const std::string& message) {
  {
    std::lock_guard<std::mutex> lock(progressMutex_);
    progress_.logAlways = true;
  }
  report(SendFailed, message);
  std::lock_guard<std::mutex> lock(progressMutex_);
  progress_.logAlways = false;
}

void StoreScu::reportFor(const std::string& path, SendEvent event, const std::string& message) {
  {
    std::lock_guard<std::mutex> lock(progressMutex_);
    progress_.currentFile = path;
    progress_.event = event;
    progress_.message = message;
    postProgressLocked();
  }
  if (event == SendNotice) pauseAfterNotice();
}

void StoreScu::postProgressLocked() {
  progress_.filesSent = filesSent_;
  progress_.filesRemaining = filesRemaining_;
  progress_.filesFailed = filesFailed_;
  progress_.filesNotAttempted = static_cast<int>(transfers_.size()) - filesSent_ - filesFailed_;
  if (progress_.event == SendFinished) finished_ = true;
  if (onReport_) {
    mainThread_.post(
        [handler = onReport_, snapshot = progress_] { handler(snapshot.event, snapshot); });
  }
}

// Gives the reader of the log time to follow; cut short by an abort.
void StoreScu::pauseAfterNotice() {
  std::unique_lock<std::mutex> lock(pauseMutex_);
  pauseWake_.wait_for(lock, kNoticePause, [this] { return aborted_.load(); });
}
