// Stations reached over TLS, against DCMTK's storescp with certificates made for the test.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "JobCommandsFixture.h"
#include "StoreScpPeer.h"
#include "TestCertificates.h"

namespace fs = std::filesystem;

namespace {

// The folder the job was kept in, from "... kept in FOLDER, send it again with ...".
std::string keptFolder(const std::string& out) {
  const std::string marker = "); kept in ";
  const std::size_t at = out.find(marker);
  if (at == std::string::npos) return {};
  const std::size_t start = at + marker.size();
  return out.substr(start, out.find(',', start) - start);
}

class TlsStations : public JobCommands {
 protected:
  // storescp speaking TLS with the station certificate `name`, not asking for ours.
  std::vector<std::string> tlsServer(const std::string& name, bool requireClient = false) {
    std::vector<std::string> args = {"+tls", certs.path(name + ".key"), certs.path(name + ".pem")};
    if (requireClient)
      args.insert(args.end(), {"+cf", certs.path("ca.pem"), "--require-peer-cert"});
    else
      args.push_back("--ignore-peer-cert");
    return args;
  }

  TestCertificates certs{dir / "certs"};
};

}  // namespace

TEST_F(TlsStations, ATrustedStationStoresEveryFileAnUntrustedOneKeepsTheJobWithTheReason) {
  {
    StoreScpPeer trusted(dir / "received", tlsServer("server"));
    useStation(trusted.port());
    config({"tls", "PACS", "--ca", certs.path("ca.pem")});
    const CliResult stored = kalvora({"import", dir / "medium"});
    EXPECT_EQ(stored.status, 0) << stored.out << stored.err;
    EXPECT_EQ(filesIn(dir / "received"), 2);
  }

  TempDir untrustedFolder;
  StoreScpPeer untrusted(untrustedFolder.path(), tlsServer("rogue"));
  config({"stations", "edit", "0", "--port", std::to_string(untrusted.port())});
  const CliResult refused = kalvora({"import", dir / "medium"});
  EXPECT_EQ(refused.status, 1);
  const std::string said = refused.out + refused.err;
  // In the job's log, not only in its list of files.
  EXPECT_NE(said.find("ERROR: certificate of 'STORESCP' not trusted: self-signed certificate"),
            std::string::npos)
      << said;
  EXPECT_EQ(said.find("retry"), std::string::npos) << said;
  EXPECT_EQ(filesIn(untrustedFolder.path()), 0);
  const std::string kept = keptFolder(refused.out);
  ASSERT_FALSE(kept.empty()) << refused.out;
  EXPECT_EQ(filesIn(kept), 2);
}

TEST_F(TlsStations, AStationThatRequiresOurCertificateGetsItAndEchoUsesTheSameSettings) {
  StoreScpPeer peer(dir / "received", tlsServer("server", true));
  useStation(peer.port());
  config({"tls", "PACS", "--ca", certs.path("ca.pem")});
  EXPECT_EQ(kalvora({"echo", "PACS"}).status, 1);  // no certificate of ours: refused

  config({"tls", "PACS", "--ca", certs.path("ca.pem"), "--cert", certs.path("client.pem"), "--key",
          certs.path("client.key")});
  const CliResult echoed = kalvora({"echo", "PACS"});
  EXPECT_EQ(echoed.status, 0) << echoed.err;
  const CliResult stored = kalvora({"import", dir / "medium"});
  EXPECT_EQ(stored.status, 0) << stored.out << stored.err;
  EXPECT_EQ(filesIn(dir / "received"), 2);

  // Off again: plain TCP, which this station does not speak.
  config({"tls", "PACS", "--off"});
  EXPECT_EQ(kalvora({"echo", "PACS"}).status, 1);
}

TEST_F(TlsStations, AKeyOthersMayReadIsRefusedWhenSetAndWhenUsed) {
  StoreScpPeer peer(dir / "received", tlsServer("server", true));
  useStation(peer.port());
  const std::string key = certs.path("client.key");
  const std::vector<std::string> withKey = {
      "tls",   "PACS", "--ca", certs.path("ca.pem"), "--cert", certs.path("client.pem"),
      "--key", key};
  chmod(key.c_str(), 0644);
  std::vector<std::string> args = {"config", "--workdir", dir / "work"};
  args.insert(args.end(), withKey.begin(), withKey.end());
  const CliResult refused = runCli(dir.path(), args);
  EXPECT_EQ(refused.status, 2);
  EXPECT_NE(refused.err.find("may be read or changed by others"), std::string::npos) << refused.err;
  EXPECT_EQ(config({"tls", "PACS"}).out.find(key), std::string::npos);

  chmod(key.c_str(), 0600);
  config(withKey);
  chmod(key.c_str(), 0640);  // changed after it was set
  const CliResult failed = kalvora({"import", dir / "medium"});
  EXPECT_EQ(failed.status, 1);
  EXPECT_NE((failed.out + failed.err).find("ERROR: Private key " + key + " may be read"),
            std::string::npos)
      << failed.out << failed.err;
  EXPECT_EQ(filesIn(dir / "received"), 0);
  EXPECT_EQ(filesIn(keptFolder(failed.out)), 2);
}
