#include "net/StationEcho.h"

#include <dcmtk/dcmnet/assoc.h>
#include <dcmtk/dcmnet/dimse.h>

#include <cstdio>

#include "net/DicomAssociation.h"

StationEcho::StationEcho(std::string callingAeTitle, std::string calledAeTitle, std::string host,
                         int port, int timeoutMs, int maxPduSize, TlsSettings tls)
    : callingAeTitle_(std::move(callingAeTitle)),
      calledAeTitle_(std::move(calledAeTitle)),
      host_(std::move(host)),
      port_(port),
      maxPduSize_(maxPduSize),
      association_(std::make_unique<DicomAssociation>(timeoutMs, std::move(tls))) {}

StationEcho::~StationEcho() = default;

void StationEcho::cut() {
  cut_ = true;
  association_->cut();
}

EchoResult StationEcho::run() {
  EchoResult result = exchange();
  if (!result.ok && cut_) result = {false, "The test was cancelled."};
  association_->discard();
  return result;
}

EchoResult StationEcho::exchange() {
  const std::string peer = calledAeTitle_ + " at " + host_ + ":" + std::to_string(port_);
  DicomAssociation& association = *association_;
  OFCondition cond = association.initializeNetwork();
  if (cond.bad()) return {false, std::string("Cannot initialize the network: ") + cond.text()};

  cond = association.createParameters(maxPduSize_);
  if (cond.bad()) return {false, std::string("Invalid maximum PDU size: ") + cond.text()};
  cond = association.secureTransport();
  if (cond.bad()) return {false, std::string("TLS: ") + cond.text()};
  T_ASC_Parameters* params = association.parameters();
  ASC_setAPTitles(params, callingAeTitle_.c_str(), calledAeTitle_.c_str(), nullptr);
  const std::string address = host_ + ":" + std::to_string(port_);
  ASC_setPresentationAddresses(params, "localhost", address.c_str());
  const char* transferSyntaxes[] = {UID_LittleEndianExplicitTransferSyntax,
                                    UID_BigEndianExplicitTransferSyntax,
                                    UID_LittleEndianImplicitTransferSyntax};
  ASC_addPresentationContext(params, 1, UID_VerificationSOPClass, transferSyntaxes, 3);

  cond = association.request();
  if (cond.bad()) {
    if (cond == DUL_ASSOCIATIONREJECTED) {
      T_ASC_RejectParameters reject;
      ASC_getRejectParameters(params, &reject);
      OFString reason;
      ASC_printRejectParameters(reason, &reject);
      return {false, "The station " + peer + " rejected the association:\n" + reason.c_str()};
    }
    const std::string untrusted = association.certificateProblem();
    if (!untrusted.empty())
      return {false, "certificate of '" + calledAeTitle_ + "' not trusted: " + untrusted};
    return {false, "Could not reach the station " + peer + " (" + cond.text() +
                       "). Check the address and port, and that the station is running."};
  }
  if (ASC_countAcceptedPresentationContexts(params) == 0)
    return {false, "The station " + peer + " does not accept verification (C-ECHO)."};

  T_ASC_Association* handle = association.association();
  DIC_US status = 0;
  DcmDataset* detail = nullptr;
  cond = DIMSE_echoUser(handle, handle->nextMsgID++, DIMSE_NONBLOCKING,
                        association.peerWaitSeconds(), &status, &detail);
  delete detail;
  if (cond.bad())
    return {false, "The station " + peer + " did not answer the C-ECHO: " + cond.text()};
  if (status != STATUS_Success) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "%04X", status);
    return {false, "The station " + peer + " answered the C-ECHO with status 0x" + hex + "."};
  }
  association.release();
  return {true, "The station " + peer + " answered the C-ECHO."};
}

EchoResult echoStation(const std::string& callingAeTitle, const std::string& calledAeTitle,
                       const std::string& host, int port, int timeoutMs, int maxPduSize,
                       const TlsSettings& tls) {
  return StationEcho(callingAeTitle, calledAeTitle, host, port, timeoutMs, maxPduSize, tls).run();
}
