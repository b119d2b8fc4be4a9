// Opening and tear-down of a send job's association.
#include <unistd.h>

#include <dcmtk/dcmdata/dcdict.h>
#include <dcmtk/dcmnet/cond.h>
#include <dcmtk/dcmnet/dul.h>

#include "net/CodecRegistration.h"
#include "net/LowLatencyTransportLayer.h"
#include "net/StoragePresentationContexts.h"
#include "net/StoreScu.h"
#include "net/TextFormat.h"
#include "workers/UserPrompts.h"

bool StoreScu::openAssociation(const std::vector<std::string>& sopClasses, OFCondition& condition) {
  condition = EC_Normal;
  if (!dcmDataDict.isDictionaryLoaded()) {
    report(SendFailed, "DICOM data dictionary not loaded");
    return false;
  }

  condition = ASC_initializeNetwork(NET_REQUESTOR, 0, params_.networkTimeout, &network_);
  if (condition.good()) {
    // Our own connections: no Nagle, no delayed ACKs, bounded waits, abortable.
    condition = ASC_setTransportLayer(network_, transportLayer_.get(), 0);
  }
  progress_.condition = condition;
  if (condition.bad()) {
    report(SendFailed, "Network initialization failed");
    return false;
  }
  // Bounds the TCP connect, which happens before our transport layer sees the socket.
  dcmConnectionTimeout.set(params_.networkTimeout);

  condition = ASC_createAssociationParameters(&associationParams_, params_.maxPduSize);
  progress_.condition = condition;
  if (condition.bad()) {
    report(SendFailed, formatText("Wrong PDU size (value: %d)", params_.maxPduSize));
    return false;
  }

  condition = ASC_setAPTitles(associationParams_, params_.callingAETitle.c_str(),
                              params_.calledAETitle.c_str(), nullptr);
  progress_.condition = condition;
  if (condition.bad()) {
    report(SendFailed, "Can't set AETitles");
    return false;
  }

  char localHost[128] = "";
  gethostname(localHost, sizeof localHost - 1);
  const std::string peer = formatText("%s:%d", params_.peerHost.c_str(), params_.peerPort);
  condition = ASC_setPresentationAddresses(associationParams_, localHost, peer.c_str());
  progress_.condition = condition;
  if (condition.bad()) {
    report(SendFailed, "Can't set network addresses");
    return false;
  }

  condition = AddStoragePresentationContexts(associationParams_, sopClasses,
                                             params_.proposeOnlyRequired != 0);
  progress_.condition = condition;
  if (condition.bad()) {
    report(SendFailed, "Can't add the storage presentation context(s)");
    return false;
  }

  condition = requestAssociation();
  if (condition.bad()) return false;

  if (ASC_countAcceptedPresentationContexts(associationParams_) == 0) {
    condition = EC_Normal;
    report(SendFailed, "No acceptable presentation contexts, release association.");
    return false;
  }
  return true;
}

OFCondition StoreScu::requestAssociation() {
  const auto request = [this] {
    // Non-blocking with the job's time-out, so a peer that never answers cannot hold us.
    return ASC_requestAssociation(network_, associationParams_, &association_, nullptr, nullptr,
                                  DUL_NOBLOCK, params_.networkTimeout);
  };
  OFCondition condition = request();
  progress_.condition = condition;
  if (condition.good()) return condition;

  if (condition == DUL_ASSOCIATIONREJECTED) {
    T_ASC_RejectParameters rejection;
    ASC_getRejectParameters(associationParams_, &rejection);
    report(SendFailed, formatText("Peer rejected association (reason: %d)",
                                  static_cast<int>(rejection.reason)));
    return condition;
  }

  while (!aborted_ && prompts_.askRetryAssociation(params_.calledAETitle) && !aborted_) {
    discardFailedAssociation();
    condition = request();
    progress_.condition = condition;
    if (condition.good()) return condition;
  }
  progress_.condition = condition;
  report(SendFailed, "Request of association failed");
  return condition;
}

// A failed request leaves DCMTK's association record behind, holding our parameters; it goes
// before the next try, the parameters stay for it.
void StoreScu::discardFailedAssociation() {
  if (association_ == nullptr) return;
  association_->params = nullptr;
  ASC_destroyAssociation(&association_);
}

void StoreScu::tearDown(const OFCondition& condition) {
  if (condition == EC_Normal) {
    progress_.condition = ASC_releaseAssociation(association_);
    if (progress_.condition.bad()) report(SendNotice, "Association Release Failed");
  } else if (condition == DUL_PEERREQUESTEDRELEASE) {
    report(SendFailed, "Protocol Error: peer requested release (Aborting)");
    progress_.condition = ASC_abortAssociation(association_);
    if (progress_.condition.bad()) report(SendNotice, "Association Abort Failed");
  } else if (condition == DUL_PEERABORTEDASSOCIATION) {
    report(SendFailed, "Peer aborted association");
  } else {
    report(SendNotice, "DICOM send job failed");
    progress_.condition = ASC_abortAssociation(association_);
    if (progress_.condition.bad()) report(SendNotice, "Association Abort Failed");
  }

  // Parameters that never reached an association are ours to free.
  const bool paramsWithAssociation =
      association_ != nullptr && association_->params == associationParams_;
  progress_.condition = ASC_destroyAssociation(&association_);
  if (progress_.condition.bad()) report(SendNotice, "Destroy association failed");
  if (!paramsWithAssociation && associationParams_ != nullptr) {
    ASC_destroyAssociationParameters(&associationParams_);
  }
  associationParams_ = nullptr;

  progress_.condition = ASC_dropNetwork(&network_);
  if (progress_.condition.bad()) report(SendNotice, "Destroy network failed");

  if (codecsHeld_) CodecRegistration::release();
  codecsHeld_ = false;
  report(SendFinished);
}

// After an unexpected error: free whatever DCMTK handles are left, without reports.
void StoreScu::releaseHandlesQuietly() {
  if (association_ != nullptr) {
    const bool paramsWithAssociation = association_->params == associationParams_;
    ASC_abortAssociation(association_);
    ASC_destroyAssociation(&association_);
    if (paramsWithAssociation) associationParams_ = nullptr;
  }
  if (associationParams_ != nullptr) ASC_destroyAssociationParameters(&associationParams_);
  if (network_ != nullptr) ASC_dropNetwork(&network_);
}
