#include "net/StationEcho.h"

#include <dcmtk/dcmnet/assoc.h>
#include <dcmtk/dcmnet/dimse.h>

#include <cstdio>

#include "net/DicomAssociation.h"

EchoResult echoStation(const std::string& callingAeTitle, const std::string& calledAeTitle,
                       const std::string& host, int port, int timeoutMs, int maxPduSize) {
  const std::string peer = calledAeTitle + " at " + host + ":" + std::to_string(port);
  DicomAssociation association(timeoutMs);
  OFCondition cond = association.initializeNetwork();
  if (cond.bad()) return {false, std::string("Cannot initialize the network: ") + cond.text()};

  cond = association.createParameters(maxPduSize);
  if (cond.bad()) return {false, std::string("Invalid maximum PDU size: ") + cond.text()};
  T_ASC_Parameters* params = association.parameters();
  ASC_setAPTitles(params, callingAeTitle.c_str(), calledAeTitle.c_str(), nullptr);
  const std::string address = host + ":" + std::to_string(port);
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
