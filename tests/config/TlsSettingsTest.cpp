#include <gtest/gtest.h>

#include <sys/stat.h>

#include "TempDir.h"
#include "config/TlsSettings.h"

TEST(TlsSettings, OnlyUsableSettingsWithAPrivateKeyAreAccepted) {
  TempDir dir;
  const std::string ca = dir / "ca.pem", cert = dir / "me.pem", key = dir / "me.key";
  for (const std::string& file : {ca, cert, key}) writeFileBytes(file, "PEM");
  chmod(key.c_str(), 0600);

  struct Case {
    TlsSettings tls;
    const char* refusal;  // part of the message, or nullptr when accepted
  };
  const Case cases[] = {
      {{false, "", "", ""}, nullptr},
      {{true, ca, "", ""}, nullptr},
      {{true, dir.path(), cert, key}, nullptr},  // a folder of authorities
      {{true, "", "", ""}, "trusted certificate authorities"},
      {{true, dir / "none.pem", "", ""}, "none.pem"},
      {{true, ca, cert, ""}, "needs its private key"},
      {{true, ca, "", key}, "needs its private key"},
      {{true, ca, cert, dir.path()}, "is not a file"},
  };
  for (const Case& c : cases) {
    const auto message = validateTlsSettings(c.tls);
    if (!c.refusal) {
      EXPECT_EQ(message, std::nullopt) << c.tls.trustedCertificates << " " << *message;
    } else {
      ASSERT_TRUE(message.has_value()) << c.refusal;
      EXPECT_NE(message->find(c.refusal), std::string::npos) << *message;
    }
  }

  for (const mode_t mode : {0640, 0604, 0620, 0602}) {
    chmod(key.c_str(), mode);
    const auto message = checkPrivateKeyFile(key);
    ASSERT_TRUE(message.has_value()) << std::oct << mode;
    EXPECT_NE(message->find("chmod 600"), std::string::npos) << *message;
  }
  chmod(key.c_str(), 0400);
  EXPECT_EQ(checkPrivateKeyFile(key), std::nullopt);
}
