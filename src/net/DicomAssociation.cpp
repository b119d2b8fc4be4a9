#include "net/DicomAssociation.h"

#include <dcmtk/dcmnet/dul.h>

#include "net/LowLatencyTransportLayer.h"
#include "net/SecureTransportLayer.h"

namespace {

int wholeSecondsAtLeast(int milliseconds) {
  return milliseconds <= 0 ? 0 : (milliseconds + 999) / 1000;
}

}  // namespace

DicomAssociation::DicomAssociation(int peerWaitMs, TlsSettings tls)
    : peerWaitMs_(peerWaitMs),
      tls_(std::move(tls)),
      transportLayer_(std::make_unique<LowLatencyTransportLayer>(peerWaitMs)) {}

DicomAssociation::~DicomAssociation() { discard(); }

OFCondition DicomAssociation::initializeNetwork() {
  OFCondition condition = ASC_initializeNetwork(NET_REQUESTOR, 0, peerWaitSeconds(), &network_);
  if (condition.good()) {
    // Our own connections: no Nagle, no delayed ACKs, bounded waits, and cut() works.
    condition = ASC_setTransportLayer(network_, transportLayer_.get(), 0);
  }
  // Bounds the TCP connect, which happens before our transport layer sees the socket.
  if (condition.good()) dcmConnectionTimeout.set(peerWaitSeconds());
  return condition;
}

OFCondition DicomAssociation::createParameters(int maxPduSize) {
  return ASC_createAssociationParameters(&params_, maxPduSize);
}

OFCondition DicomAssociation::secureTransport() {
  if (!tls_.enabled) return EC_Normal;
  if (network_ == nullptr || params_ == nullptr)
    return tlsSetupFailure("TLS set up before the network and the parameters.");
  auto layer = std::make_unique<SecureTransportLayer>(*transportLayer_);
  OFCondition condition = layer->configure(tls_);
  if (condition.good()) condition = ASC_setTransportLayer(network_, layer.get(), 0);
  if (condition.bad()) return condition;
  secureLayer_ = std::move(layer);
  return ASC_setTransportLayerType(params_, OFTrue);
}

OFCondition DicomAssociation::request() {
  if (association_ != nullptr) {
    // A failed request leaves DCMTK's association record behind, holding our parameters.
    association_->params = nullptr;
    ASC_destroyAssociation(&association_);
  }
  // Non-blocking with a time-out, so a peer that never answers cannot hold us.
  return ASC_requestAssociation(network_, params_, &association_, nullptr, nullptr, DUL_NOBLOCK,
                                peerWaitSeconds());
}

OFCondition DicomAssociation::release() {
  const OFCondition condition = ASC_releaseAssociation(association_);
  if (condition.good()) released_ = true;
  return condition;
}

OFCondition DicomAssociation::abort() { return ASC_abortAssociation(association_); }

OFCondition DicomAssociation::destroyAssociation() {
  // Parameters that never reached an association are ours to free.
  const bool paramsWithAssociation = association_ != nullptr && association_->params == params_;
  const OFCondition condition = ASC_destroyAssociation(&association_);
  if (!paramsWithAssociation && params_ != nullptr) ASC_destroyAssociationParameters(&params_);
  params_ = nullptr;
  return condition;
}

OFCondition DicomAssociation::dropNetwork() { return ASC_dropNetwork(&network_); }

void DicomAssociation::discard() noexcept {
  try {
    if (association_ != nullptr) {
      if (!released_) ASC_abortAssociation(association_);
      destroyAssociation();
    }
    if (params_ != nullptr) ASC_destroyAssociationParameters(&params_);
    if (network_ != nullptr) ASC_dropNetwork(&network_);
  } catch (...) {
  }
}

void DicomAssociation::setPeerWait(int peerWaitMs) {
  peerWaitMs_ = peerWaitMs;
  transportLayer_->setWaitLimit(peerWaitMs);
}

int DicomAssociation::peerWaitSeconds() const { return wholeSecondsAtLeast(peerWaitMs_); }

void DicomAssociation::cut() { transportLayer_->abort(); }

bool DicomAssociation::peerGone() const { return transportLayer_->peerGone(); }

std::string DicomAssociation::certificateProblem() const {
  return secureLayer_ ? secureLayer_->certificateProblem() : std::string();
}
