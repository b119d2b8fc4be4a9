#include "net/SecureTransportLayer.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <cerrno>

#include <dcmtk/dcmdata/dcerror.h>
#include <dcmtk/dcmtls/tlstrans.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include "net/LowLatencyTransportLayer.h"

namespace {

// A TLS connection whose socket the plain layer watches. A station that went away cannot end
// the program with SIGPIPE: DCMTK ignores that signal once it starts the network.
class WatchedTlsConnection : public DcmTLSConnection {
 public:
  WatchedTlsConnection(DcmNativeSocketType socket, SSL* tls, SecureTransportLayer& layer,
                       LowLatencyTransportLayer& watch)
      : DcmTLSConnection(socket, tls),
        tls_(tls),
        layer_(layer),
        watch_(watch),
        socket_(static_cast<int>(socket)) {
    const int on = 1;
    setsockopt(socket_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    watch_.connectionOpened(socket_);
  }

  ~WatchedTlsConnection() override { forget(); }

  OFCondition clientSideHandshake() override {
    layer_.setCertificateProblem({});
    const OFCondition condition = DcmTLSConnection::clientSideHandshake();
    if (condition.bad()) {
      const long verified = SSL_get_verify_result(tls_);
      if (verified != X509_V_OK)
        layer_.setCertificateProblem(X509_verify_cert_error_string(verified));
    }
    return condition;
  }

  ssize_t read(void* buffer, size_t length) override {
    errno = 0;
    const ssize_t received = DcmTLSConnection::read(buffer, length);
    if (received == 0 || (received < 0 && errno == ECONNRESET)) watch_.peerWentAway();
    return received;
  }

  ssize_t write(void* buffer, size_t length) override {
    errno = 0;
    const ssize_t sent = DcmTLSConnection::write(buffer, length);
    if (sent < 0 && (errno == EPIPE || errno == ECONNRESET)) watch_.peerWentAway();
    return sent;
  }

  void closeTransportConnection() override {
    forget();
    DcmTLSConnection::closeTransportConnection();
  }

 private:
  void forget() {
    if (socket_ < 0) return;
    watch_.connectionClosing(socket_);
    socket_ = -1;
  }

  SSL* tls_;
  SecureTransportLayer& layer_;
  LowLatencyTransportLayer& watch_;
  int socket_;
};

std::string textOf(const OFCondition& condition) {
  return condition.text() ? condition.text() : "unknown error";
}

bool isFolder(const std::string& path) {
  struct stat status {};
  return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

}  // namespace

OFCondition tlsSetupFailure(const std::string& text) {
  // A code of our own, far from the ones DCMTK gives its TLS conditions.
  return makeOFCondition(OFM_dcmtls, 999, OF_error, text.c_str());
}

SecureTransportLayer::SecureTransportLayer(LowLatencyTransportLayer& watch)
    : DcmTLSTransportLayer(NET_REQUESTOR, nullptr, OFTrue), watch_(watch) {}

OFCondition SecureTransportLayer::configure(const TlsSettings& tls) {
  if (auto problem = validateTlsSettings(tls)) return tlsSetupFailure(*problem);
  if (!*this) return tlsSetupFailure("TLS cannot be set up (OpenSSL).");
  // A key with a pass phrase would be asked for on the terminal: no one answers a worker.
  setPrivateKeyPasswd("");
  if (!tls.clientKey.empty()) {
    OFCondition condition = setPrivateKeyFile(tls.clientKey.c_str(), DCF_Filetype_PEM);
    if (condition.bad())
      return tlsSetupFailure("Private key " + tls.clientKey +
                             " cannot be used (PEM without pass phrase): " + textOf(condition));
    condition = setCertificateFile(tls.clientCertificate.c_str(), DCF_Filetype_PEM);
    if (condition.bad())
      return tlsSetupFailure("Client certificate " + tls.clientCertificate +
                             " cannot be used: " + textOf(condition));
    if (!checkPrivateKeyMatchesCertificate())
      return tlsSetupFailure("Private key " + tls.clientKey + " does not belong to certificate " +
                             tls.clientCertificate + ".");
  }
  const OFCondition trusted =
      isFolder(tls.trustedCertificates)
          ? addTrustedCertificateDir(tls.trustedCertificates.c_str(), DCF_Filetype_PEM)
          : addTrustedCertificateFile(tls.trustedCertificates.c_str(), DCF_Filetype_PEM);
  if (trusted.bad())
    return tlsSetupFailure("Trusted certificates " + tls.trustedCertificates +
                           " cannot be used: " + textOf(trusted));
  OFCondition condition = setTLSProfile(TSP_Profile_BCP195_ND);
  if (condition.good()) condition = activateCipherSuites();
  if (condition.bad()) return tlsSetupFailure("TLS cannot be set up: " + textOf(condition));
  setCertificateVerification(DCV_requireCertificate);
  return EC_Normal;
}

DcmTransportConnection* SecureTransportLayer::createConnection(DcmNativeSocketType openSocket,
                                                               OFBool useSecureLayer) {
  // Never plain TCP through this layer: a station set to TLS is reached with TLS or not at all.
  (void)useSecureLayer;
  SSL_CTX* context = getNativeHandle();
  if (context == nullptr) return nullptr;
  SSL* tls = SSL_new(context);
  if (tls == nullptr) return nullptr;
  SSL_set_fd(tls, static_cast<int>(openSocket));
  return new WatchedTlsConnection(openSocket, tls, *this, watch_);
}

std::string SecureTransportLayer::certificateProblem() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return certificateProblem_;
}

void SecureTransportLayer::setCertificateProblem(const std::string& problem) {
  std::lock_guard<std::mutex> lock(mutex_);
  certificateProblem_ = problem;
}
