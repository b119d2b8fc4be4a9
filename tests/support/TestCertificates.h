#pragma once

#include <string>

// Certificates made with `openssl` in `folder` (created if need be) for TLS tests (EC P-256, valid
// two days):
//   ca.pem / ca.key          the authority the tests trust
//   server.pem / server.key  a station's certificate signed by it
//   rogue.pem / rogue.key    a self-signed station certificate nobody trusts
//   client.pem / client.key  our own certificate signed by the authority
// Every key is private (0600).
struct TestCertificates {
  explicit TestCertificates(const std::string& folder);

  std::string path(const std::string& name) const { return folder + "/" + name; }
  std::string folder;
};
