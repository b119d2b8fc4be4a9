#pragma once

#include <optional>
#include <string>

// How associations with one station are secured. Off: plain TCP, as stations have always
// been reached. On: TLS, the station's certificate checked against the trusted authorities
// (a file of certificates or a folder of them), and, when the station asks for one, our
// own certificate with its private key.
struct TlsSettings {
  bool enabled = false;
  std::string trustedCertificates;  // PEM file or folder of the authorities we trust
  std::string clientCertificate;    // PEM, with clientKey, or neither
  std::string clientKey;
};

bool operator==(const TlsSettings& a, const TlsSettings& b);
inline bool operator!=(const TlsSettings& a, const TlsSettings& b) { return !(a == b); }

// Nothing when the settings may be stored and used now, else the message to show. With TLS
// on: the authorities exist, certificate and key come both or neither and each is a file,
// and the key is private (checkPrivateKeyFile). Off: always fine.
std::optional<std::string> validateTlsSettings(const TlsSettings& tls);

// A private key is used only when it is a regular file of the user's own that nobody else
// may read or change (mode 0600 or stricter); else the message to show. Looked at when the
// key is set and again each time it is used, since the file may have changed meanwhile.
std::optional<std::string> checkPrivateKeyFile(const std::string& path);
