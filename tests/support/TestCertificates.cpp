#include "TestCertificates.h"

#include <sys/stat.h>

#include <filesystem>
#include <vector>

#include "ToolRun.h"

namespace {

std::vector<std::string> newKeyRequest(const std::string& key) {
  return {"openssl", "req",     "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
          "-nodes",  "-keyout", key};
}

void makeSelfSigned(const TestCertificates& c, const std::string& name,
                    const std::string& subject) {
  std::vector<std::string> args = newKeyRequest(c.path(name + ".key"));
  args.insert(args.end(), {"-x509", "-days", "2", "-subj", subject, "-out", c.path(name + ".pem")});
  runTool(args);
}

void makeSigned(const TestCertificates& c, const std::string& name, const std::string& subject) {
  std::vector<std::string> request = newKeyRequest(c.path(name + ".key"));
  request.insert(request.end(), {"-subj", subject, "-out", c.path(name + ".csr")});
  runTool(request);
  runTool({"openssl", "x509", "-req", "-in", c.path(name + ".csr"), "-CA", c.path("ca.pem"),
           "-CAkey", c.path("ca.key"), "-CAcreateserial", "-days", "2", "-out",
           c.path(name + ".pem")});
}

}  // namespace

TestCertificates::TestCertificates(const std::string& folder) : folder(folder) {
  std::filesystem::create_directories(folder);
  makeSelfSigned(*this, "ca", "/CN=Kalvora Test CA");
  makeSigned(*this, "server", "/CN=127.0.0.1");
  makeSelfSigned(*this, "rogue", "/CN=127.0.0.1");
  makeSigned(*this, "client", "/CN=KALVORA");
  for (const char* key : {"ca.key", "server.key", "rogue.key", "client.key"})
    chmod(path(key).c_str(), 0600);
}
