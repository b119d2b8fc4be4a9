#pragma once

#include <mutex>
#include <string>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmtls/tlslayer.h>

#include "config/TlsSettings.h"

class LowLatencyTransportLayer;

// TLS for the associations with one station. Its connections are watched by a plain
// LowLatencyTransportLayer (no Nagle, bounded waits, cut from any thread), so a secure
// association times out and stops as a plain one does. The station's certificate must be
// signed by an authority we trust.
class SecureTransportLayer : public DcmTLSTransportLayer {
 public:
  explicit SecureTransportLayer(LowLatencyTransportLayer& watch);

  // Loads the trusted authorities and our certificate and key. The key is refused unless
  // private (it may have changed since it was set). The condition's text says what is wrong.
  OFCondition configure(const TlsSettings& tls);

  DcmTransportConnection* createConnection(DcmNativeSocketType openSocket,
                                           OFBool useSecureLayer) override;

  // OpenSSL's reason why the last handshake refused the station's certificate; empty when
  // it did not.
  std::string certificateProblem() const;
  void setCertificateProblem(const std::string& problem);

 private:
  LowLatencyTransportLayer& watch_;
  mutable std::mutex mutex_;
  std::string certificateProblem_;
};

// The condition our own TLS set-up fails with, carrying `text`.
OFCondition tlsSetupFailure(const std::string& text);
