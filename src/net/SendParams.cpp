#include "net/SendParams.h"

#include "config/AppSettings.h"

namespace {

void takeOurSide(const AppSettings& settings, SendParams& params) {
  params.callingAETitle = settings.callingAeTitle;
  params.maxPduSize = settings.maxPduSize;
  params.networkTimeout = settings.timeoutMs;
  params.correctUidPadding = settings.correctSpacePaddedUids;
  params.proposeOnlyRequired = settings.proposeRequiredContextsOnly;
  params.convertCompressed = settings.noCompressedTransfer;
}

}  // namespace

SendParams::SendParams() { takeOurSide(AppSettings(), *this); }

SendParams makeSendParams(const AppSettings& settings, const std::string& calledAETitle,
                          const std::string& peerHost, int peerPort, const std::string& jobFolder) {
  SendParams params;
  takeOurSide(settings, params);
  params.calledAETitle = calledAETitle;
  params.peerHost = peerHost;
  params.peerPort = peerPort;
  params.jobFolder = jobFolder;
  return params;
}
