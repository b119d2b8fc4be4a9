#include <gtest/gtest.h>

#include <crypt.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "SiteFolders.h"
#include "TempDir.h"
#include "config/ConfigFiles.h"
#include "config/ConfigurationPassword.h"

namespace {

Configuration siteConfiguration() {
  Configuration site;
  site.settings.anonymize = 1;
  site.stations.Add(CStation{"PACS", "SITEPACS", "pacs.example", 104});
  return site;
}

}  // namespace

// A user without a configuration of their own starts from the site's; their first save goes
// into their own folder and the site's files stay as the administrator wrote them.
TEST(SiteConfiguration, AUserWithoutFilesStartsFromTheSitesAndSavesOnlyTheirOwn) {
  TempDir dir;
  const std::string site = dir / "xdg/kalvora";
  std::filesystem::create_directories(site);
  ASSERT_EQ(saveConfiguration(site, siteConfiguration()), std::nullopt);
  const auto siteBytes = std::filesystem::last_write_time(site + "/stations.dat");
  SiteFolders folders(dir / "empty" + ":" + dir / "xdg");
  const std::string own = dir / "own";
  std::filesystem::create_directories(own);

  Configuration config;
  const ConfigLoadResult loaded = loadConfiguration(own, config);
  EXPECT_TRUE(loaded.firstStart);
  EXPECT_EQ(loaded.siteFolder, site);
  EXPECT_TRUE(loaded.messages.empty());
  ASSERT_EQ(config.stations.GetSize(), 1);
  EXPECT_EQ(config.stations[0].aeTitle, "SITEPACS");
  EXPECT_EQ(config.settings.anonymize, 1);

  config.stations[0].port = 11112;
  ASSERT_EQ(saveConfiguration(own, config), std::nullopt);
  EXPECT_EQ(std::filesystem::last_write_time(site + "/stations.dat"), siteBytes);
  Configuration again;
  EXPECT_FALSE(loadConfiguration(own, again).firstStart);
  EXPECT_EQ(again.stations[0].port, 11112);

  // A site file that is missing while the others are there is damaged, as a user's would be.
  std::filesystem::remove(site + "/config.dat");
  const std::string fresh = dir / "fresh";
  std::filesystem::create_directories(fresh);
  Configuration damaged;
  const ConfigLoadResult refused = loadConfiguration(fresh, damaged);
  EXPECT_EQ(refused.damagedFiles, std::vector<std::string>{"config.dat"});
}

TEST(SiteConfiguration, ASitePasswordReplacesTheBuiltInOneOnlyFromATrustedFile) {
  TempDir dir;
  const std::string site = dir / "kalvora";
  std::filesystem::create_directories(site);
  EXPECT_TRUE(configurationPasswordMatches("TRELIMSOPAX", {site}, geteuid()));

  struct crypt_data data {};
  const std::string hash = crypt_r("Site-Secret", "$6$k4lv0ra$", &data);
  std::ofstream(site + "/password") << hash << "\n";
  chmod((site + "/password").c_str(), 0644);
  EXPECT_TRUE(configurationPasswordMatches("Site-Secret", {site}, geteuid()));
  for (const char* wrong : {"TRELIMSOPAX", "site-secret", "", "Site-Secret "})
    EXPECT_FALSE(configurationPasswordMatches(wrong, {site}, geteuid())) << wrong;

  // Not the trusted owner's, or writable by others: not the site's word.
  EXPECT_TRUE(configurationPasswordMatches("TRELIMSOPAX", {site}, geteuid() + 1));
  chmod((site + "/password").c_str(), 0666);
  EXPECT_TRUE(configurationPasswordMatches("TRELIMSOPAX", {site}, geteuid()));
  EXPECT_FALSE(configurationPasswordMatches("Site-Secret", {site}, geteuid()));
}
