#include "config/TlsSettings.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace {

std::string systemMessage(const std::string& path, int error) {
  return path + ": " + std::generic_category().message(error);
}

std::optional<std::string> checkReadable(const std::string& path, bool folderAllowed,
                                         const char* what) {
  struct stat status {};
  if (stat(path.c_str(), &status) != 0) return std::string(what) + " " + systemMessage(path, errno);
  if (S_ISREG(status.st_mode) || (folderAllowed && S_ISDIR(status.st_mode))) {
    if (access(path.c_str(), R_OK) != 0)
      return std::string(what) + " " + systemMessage(path, errno);
    return std::nullopt;
  }
  return std::string(what) + " " + path +
         (folderAllowed ? " is neither a file nor a folder." : " is not a file.");
}

}  // namespace

bool operator==(const TlsSettings& a, const TlsSettings& b) {
  return a.enabled == b.enabled && a.trustedCertificates == b.trustedCertificates &&
         a.clientCertificate == b.clientCertificate && a.clientKey == b.clientKey;
}

std::optional<std::string> validateTlsSettings(const TlsSettings& tls) {
  if (!tls.enabled) return std::nullopt;
  if (tls.trustedCertificates.empty())
    return "TLS needs the trusted certificate authorities (a file or a folder).";
  if (auto message = checkReadable(tls.trustedCertificates, true, "Trusted certificates:"))
    return message;
  if (tls.clientCertificate.empty() != tls.clientKey.empty())
    return "A client certificate needs its private key, and a key its certificate.";
  if (tls.clientCertificate.empty()) return std::nullopt;
  if (auto message = checkReadable(tls.clientCertificate, false, "Client certificate:"))
    return message;
  return checkPrivateKeyFile(tls.clientKey);
}

std::optional<std::string> checkPrivateKeyFile(const std::string& path) {
  struct stat status {};
  if (stat(path.c_str(), &status) != 0) return "Private key " + systemMessage(path, errno);
  if (!S_ISREG(status.st_mode)) return "Private key " + path + " is not a file.";
  if (status.st_uid != geteuid())
    return "Private key " + path + " is not yours: it must belong to the user who uses it.";
  if ((status.st_mode & 077) != 0)
    return "Private key " + path +
           " may be read or changed by others: make it private (chmod 600).";
  if (access(path.c_str(), R_OK) != 0) return "Private key " + systemMessage(path, errno);
  return std::nullopt;
}
