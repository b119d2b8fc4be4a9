#include "net/SendParams.h"

#include "config/AppSettings.h"

SendParams makeSendParams(const AppSettings& settings, const std::string& calledAETitle,
                          const std::string& peerHost, int peerPort, const std::string& jobFolder) {
  SendParams params;
  params.callingAETitle = settings.callingAeTitle;
  params.maxPduSize = settings.maxPduSize;
  params.networkTimeout = settings.timeoutMs;
  params.correctUidPadding = settings.correctSpacePaddedUids;
  params.proposeOnlyRequired = settings.proposeRequiredContextsOnly;
  params.convertCompressed = settings.noCompressedTransfer;
  params.calledAETitle = calledAETitle;
  params.peerHost = peerHost;
  params.peerPort = peerPort;
  params.jobFolder = jobFolder;
  return params;
}
