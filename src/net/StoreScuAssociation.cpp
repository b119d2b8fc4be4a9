// Opening and tear-down of a send job's association.
#include <unistd.h>

#include <dcmtk/dcmdata/dcdict.h>
#include <dcmtk/dcmnet/cond.h>
#include <dcmtk/dcmnet/dul.h>

#include "net/CodecRegistration.h"
#include "net/RejectReason.h"
#include "net/StoragePresentationContexts.h"
#include "net/StoreScu.h"
#include "net/TextFormat.h"
#include "workers/UserPrompts.h"

namespace {

// DCMTK nests the cause of a failed request in the condition's text, one line per level
// ("0006:031c TCP Initialization Error: Connection refused"): the last line, without its
// code, is what the user can act on.
std::string conditionCause(const OFCondition& condition) {
  std::string text = condition.text() ? condition.text() : "";
  const std::size_t lastLine = text.find_last_of('\n');
  if (lastLine != std::string::npos) text.erase(0, lastLine + 1);
  if (text.size() > 10 && text[4] == ':' && text[9] == ' ') text.erase(0, 10);
  return text;
}

}  // namespace

bool StoreScu::openAssociation(DicomAssociation& lane, bool ownAssociation,
                               const std::vector<std::string>& sopClasses,
                               const std::vector<ClassInOwnSyntax>& ownSyntaxes,
                               OFCondition& condition) {
  // The job's own association reports each step; a further one only why it is not used, as
  // its files go over the others.
  const auto stepDone = [&] {
    if (ownAssociation) progress_.condition = condition;
    return condition.good();
  };
  const auto failed = [&](const std::string& message) {
    if (ownAssociation)
      report(SendFailed, message);
    else if (!aborted_ && !stopSeen_)  // a stop or cut fails it too: nothing to tell
      report(SendNotice, formatText("A further association to '%s' is not used: %s",
                                    params_.calledAETitle.c_str(), message.c_str()));
    return false;
  };
  condition = EC_Normal;
  if (!dcmDataDict.isDictionaryLoaded()) return failed("DICOM data dictionary not loaded");

  condition = lane.initializeNetwork();
  if (!stepDone()) return failed("Network initialization failed");

  condition = lane.createParameters(params_.maxPduSize);
  if (!stepDone()) return failed(formatText("Wrong PDU size (value: %d)", params_.maxPduSize));

  condition = lane.secureTransport();
  if (!stepDone()) {
    if (!ownAssociation) return failed(condition.text());
    reportTlsFailure(condition.text());
    return false;
  }

  condition = ASC_setAPTitles(lane.parameters(), params_.callingAETitle.c_str(),
                              params_.calledAETitle.c_str(), nullptr);
  if (!stepDone()) return failed("Can't set AETitles");

  char localHost[128] = "";
  gethostname(localHost, sizeof localHost - 1);
  const std::string peer = formatText("%s:%d", params_.peerHost.c_str(), params_.peerPort);
  condition = ASC_setPresentationAddresses(lane.parameters(), localHost, peer.c_str());
  if (!stepDone()) return failed("Can't set network addresses");

  condition = AddStoragePresentationContexts(lane.parameters(), sopClasses,
                                             params_.proposeOnlyRequired != 0, ownSyntaxes);
  if (!stepDone()) return failed("Can't add the storage presentation context(s)");

  if (ownAssociation) {
    condition = requestAssociation();
    if (condition.bad()) return false;
  } else {
    // No question for a further one: the station said how many it serves.
    condition = lane.request();
    if (condition == DUL_ASSOCIATIONREJECTED) {
      T_ASC_RejectParameters rejection;
      ASC_getRejectParameters(lane.parameters(), &rejection);
      const int reason = static_cast<int>(rejection.reason);
      return failed(formatText("Peer rejected association (reason: %d, %s)", reason,
                               rejectReasonText(reason).c_str()));
    }
    if (condition.bad() && !lane.certificateProblem().empty())
      return failed(untrustedCertificate(lane));
    if (condition.bad()) return failed(conditionCause(condition));
  }

  if (ASC_countAcceptedPresentationContexts(lane.parameters()) == 0) {
    condition = EC_Normal;
    failed("No acceptable presentation contexts, release association.");
    return false;
  }
  return true;
}

std::string StoreScu::untrustedCertificate(const DicomAssociation& lane) const {
  return formatText("certificate of '%s' not trusted: %s", params_.calledAETitle.c_str(),
                    lane.certificateProblem().c_str());
}

OFCondition StoreScu::requestAssociation() {
  OFCondition condition = association_.request();
  progress_.condition = condition;
  if (condition.good()) return condition;

  // Asking again cannot make a certificate trusted: the job fails and is kept.
  if (!association_.certificateProblem().empty()) {
    reportTlsFailure(untrustedCertificate(association_));
    return condition;
  }

  if (condition == DUL_ASSOCIATIONREJECTED) {
    T_ASC_RejectParameters rejection;
    ASC_getRejectParameters(association_.parameters(), &rejection);
    // The number alone tells a clerk nothing: the standard's words go with it.
    const int reason = static_cast<int>(rejection.reason);
    report(SendFailed, formatText("Peer rejected association (reason: %d, %s)", reason,
                                  rejectReasonText(reason).c_str()));
    return condition;
  }

  AssociationRetryQuestion question{
      params_.calledAETitle,
      formatText("DICOM ERROR: The Request of the association to '%s' failed.\nPerhaps the "
                 "destination is not reachable at the moment. Do you want to retry?",
                 params_.calledAETitle.c_str()),
      params_.jobFolder, conditionCause(condition)};
  while (!aborted_ && prompts_.askRetryAssociation(question) && !aborted_) {
    condition = association_.request();
    progress_.condition = condition;
    if (condition.good()) return condition;
    if (!association_.certificateProblem().empty()) {
      reportTlsFailure(untrustedCertificate(association_));
      return condition;
    }
    question.reason = conditionCause(condition);
  }
  progress_.condition = condition;
  report(SendFailed, "Request of association failed");
  return condition;
}

void StoreScu::tearDown(const OFCondition& condition) {
  if (aborted_) {
    // Our own cut: whatever the store saw of it, the peer did not end the association.
    report(SendFailed, "Association aborted: sending was stopped");
    association_.abort();  // the connection is gone already; nothing to report of this
  } else if (condition == EC_Normal) {
    progress_.condition = association_.release();
    if (progress_.condition.bad()) report(SendNotice, "Association Release Failed");
  } else if (condition == DUL_PEERREQUESTEDRELEASE) {
    report(SendFailed, "Protocol Error: peer requested release (Aborting)");
    progress_.condition = association_.abort();
    if (progress_.condition.bad()) report(SendNotice, "Association Abort Failed");
  } else if (condition == DUL_PEERABORTEDASSOCIATION) {
    report(SendFailed, "Peer aborted association");
  } else {
    report(SendNotice, "DICOM send job failed");
    progress_.condition = association_.abort();
    if (progress_.condition.bad()) report(SendNotice, "Association Abort Failed");
  }

  progress_.condition = association_.destroyAssociation();
  if (progress_.condition.bad()) report(SendNotice, "Destroy association failed");

  progress_.condition = association_.dropNetwork();
  if (progress_.condition.bad()) report(SendNotice, "Destroy network failed");

  if (codecsHeld_) CodecRegistration::release();
  codecsHeld_ = false;
  finish();
}

void StoreScu::runFurtherAssociation(DicomAssociation& lane,
                                     const std::vector<std::string>& sopClasses,
                                     const std::vector<ClassInOwnSyntax>& ownSyntaxes) {
  try {
    OFCondition condition = EC_Normal;
    const bool opened = openAssociation(lane, false, sopClasses, ownSyntaxes, condition);
    if (opened) condition = storeFromQueue(lane);
    // An association the station accepted without a usable context is released; one never
    // made has nothing to close but its handles.
    closeFurtherAssociation(lane, opened || condition.good() ? condition : DUL_ASSOCIATIONREJECTED);
  } catch (...) {
    // Nothing escapes this thread: the files it did not take stay for the others.
    lane.discard();
  }
}

void StoreScu::closeFurtherAssociation(DicomAssociation& lane, const OFCondition& condition) {
  if (aborted_ || condition == DUL_PEERREQUESTEDRELEASE)
    lane.abort();
  else if (condition == EC_Normal)
    lane.release();
  else if (condition != DUL_PEERABORTEDASSOCIATION && condition != DUL_ASSOCIATIONREJECTED)
    lane.abort();
  lane.destroyAssociation();
  lane.dropNetwork();
}
