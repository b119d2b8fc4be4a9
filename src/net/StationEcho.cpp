#include "net/StationEcho.h"

#include <dcmtk/dcmnet/assoc.h>
#include <dcmtk/dcmnet/dimse.h>

#include <algorithm>
#include <cstdio>

namespace {

// Owns the network and association handles and releases them in one place.
class EchoAssociation {
 public:
  ~EchoAssociation() {
    if (association) {
      ASC_abortAssociation(association);
      ASC_destroyAssociation(&association);
    }
    if (network) ASC_dropNetwork(&network);
  }
  T_ASC_Network* network = nullptr;
  T_ASC_Association* association = nullptr;
};

}  // namespace

EchoResult echoStation(const std::string& callingAeTitle, const std::string& calledAeTitle,
                       const std::string& host, int port, int timeoutMs, int maxPduSize) {
  const int timeoutSeconds = std::max(1, (timeoutMs + 999) / 1000);
  const std::string peer = calledAeTitle + " at " + host + ":" + std::to_string(port);
  EchoAssociation handles;
  OFCondition cond = ASC_initializeNetwork(NET_REQUESTOR, 0, timeoutSeconds, &handles.network);
  if (cond.bad()) return {false, std::string("Cannot initialize the network: ") + cond.text()};

  T_ASC_Parameters* params = nullptr;
  cond = ASC_createAssociationParameters(&params, maxPduSize);
  if (cond.bad()) return {false, std::string("Invalid maximum PDU size: ") + cond.text()};
  ASC_setAPTitles(params, callingAeTitle.c_str(), calledAeTitle.c_str(), nullptr);
  const std::string address = host + ":" + std::to_string(port);
  ASC_setPresentationAddresses(params, "localhost", address.c_str());
  const char* transferSyntaxes[] = {UID_LittleEndianExplicitTransferSyntax,
                                    UID_BigEndianExplicitTransferSyntax,
                                    UID_LittleEndianImplicitTransferSyntax};
  ASC_addPresentationContext(params, 1, UID_VerificationSOPClass, transferSyntaxes, 3);

  cond = ASC_requestAssociation(handles.network, params, &handles.association);
  if (cond.bad()) {
    std::string message;
    if (cond == DUL_ASSOCIATIONREJECTED) {
      T_ASC_RejectParameters reject;
      ASC_getRejectParameters(params, &reject);
      OFString reason;
      ASC_printRejectParameters(reason, &reject);
      message = "The station " + peer + " rejected the association:\n" + reason.c_str();
    } else {
      message = "Could not reach the station " + peer + " (" + cond.text() +
                "). Check the address and port, and that the station is running.";
    }
    if (!handles.association) ASC_destroyAssociationParameters(&params);
    return {false, message};
  }
  if (ASC_countAcceptedPresentationContexts(params) == 0)
    return {false, "The station " + peer + " does not accept verification (C-ECHO)."};

  DIC_US status = 0;
  DcmDataset* detail = nullptr;
  cond = DIMSE_echoUser(handles.association, handles.association->nextMsgID++, DIMSE_NONBLOCKING,
                        timeoutSeconds, &status, &detail);
  delete detail;
  if (cond.bad())
    return {false, "The station " + peer + " did not answer the C-ECHO: " + cond.text()};
  if (status != STATUS_Success) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "%04X", status);
    return {false, "The station " + peer + " answered the C-ECHO with status 0x" + hex + "."};
  }
  if (ASC_releaseAssociation(handles.association).good())
    ASC_destroyAssociation(&handles.association);
  return {true, "The station " + peer + " answered the C-ECHO."};
}
