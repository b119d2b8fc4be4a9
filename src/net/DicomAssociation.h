#pragma once

#include <memory>
#include <string>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmnet/assoc.h>

#include "config/TlsSettings.h"

class LowLatencyTransportLayer;
class SecureTransportLayer;

// One association we request from a station, with DCMTK's network, association parameters
// and association handles. The handles are freed here and nowhere else: by the tear-down
// steps, or by the destructor for whatever is left (it never throws). Every wait on the
// peer is bounded by `peerWaitMs`. With `tls` on, the association is made over TLS.
class DicomAssociation {
 public:
  explicit DicomAssociation(int peerWaitMs, TlsSettings tls = {});
  ~DicomAssociation();
  DicomAssociation(const DicomAssociation&) = delete;
  DicomAssociation& operator=(const DicomAssociation&) = delete;

  // Opening, in this order; each returns DCMTK's condition.
  OFCondition initializeNetwork();
  OFCondition createParameters(int maxPduSize);
  // For the AE titles, addresses and presentation contexts; null before createParameters.
  T_ASC_Parameters* parameters() const { return params_; }
  // After createParameters, with TLS on: loads the certificates and makes the request go
  // over TLS (nothing to do with TLS off). The condition's text says what is wrong.
  OFCondition secureTransport();
  bool secure() const { return tls_.enabled; }
  // May be called again after a failure: the failed try is discarded, the parameters stay.
  OFCondition request();
  // Null until a request was made.
  T_ASC_Association* association() const { return association_; }

  // Tear-down steps, each DCMTK's result. Steps on handles never created are still made,
  // and DCMTK answers them as it does for empty handles.
  OFCondition release();
  OFCondition abort();
  OFCondition destroyAssociation();  // the parameters go with it
  OFCondition dropNetwork();
  // Frees whatever is left, without results (after an unexpected error).
  void discard() noexcept;

  // The longest wait on the peer from now on; a store may need longer than the opening.
  void setPeerWait(int peerWaitMs);
  // DCMTK counts some waits in whole seconds: the wait rounded up.
  int peerWaitSeconds() const;
  // Thread-safe: cuts the connection at once (and any made later), so no wait of the
  // thread that uses the association outlasts it.
  void cut();
  // The station closed or reset the connection: whatever a store reports, it is gone.
  bool peerGone() const;
  // Why the last request refused the station's certificate (OpenSSL's words); empty when
  // it did not.
  std::string certificateProblem() const;

 private:
  int peerWaitMs_;
  bool released_ = false;
  const TlsSettings tls_;
  std::unique_ptr<LowLatencyTransportLayer> transportLayer_;
  // With TLS: over transportLayer_, which still watches the connection.
  std::unique_ptr<SecureTransportLayer> secureLayer_;
  T_ASC_Network* network_ = nullptr;
  T_ASC_Parameters* params_ = nullptr;
  T_ASC_Association* association_ = nullptr;
};
