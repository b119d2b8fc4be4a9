#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>

#include "TempDir.h"
#include "config/KalvoraSettings.h"

namespace {

std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeAll(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

}  // namespace

TEST(KalvoraSettings, MissingFileIsAllDefaultsAndNothingIsCreated) {
  TempDir dir;
  KalvoraSettings settings;
  EXPECT_EQ(loadKalvoraSettings(dir.path(), settings), std::nullopt);
  EXPECT_TRUE(settings.stations.empty());
  struct stat info {};
  EXPECT_NE(stat((dir.path() + "/kalvora.json").c_str(), &info), 0);
}

TEST(KalvoraSettings, SavedPrivatelyAndReadBackKeepingUnknownSections) {
  TempDir dir;
  const std::string path = dir.path() + "/kalvora.json";
  writeAll(path, R"({"future": {"x": [1, 2]}, "stations": {"PACS": {}}})");
  KalvoraSettings settings;
  ASSERT_EQ(loadKalvoraSettings(dir.path(), settings), std::nullopt);
  EXPECT_EQ(settings.stations.count("PACS"), 1u);
  ASSERT_EQ(saveKalvoraSettings(dir.path(), settings), std::nullopt);

  struct stat info {};
  ASSERT_EQ(stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  KalvoraSettings again;
  ASSERT_EQ(loadKalvoraSettings(dir.path(), again), std::nullopt);
  EXPECT_EQ(again.stations.count("PACS"), 1u);
  EXPECT_NE(readAll(path).find("\"future\""), std::string::npos);
}

TEST(KalvoraSettings, DamagedFilesAreRefusedWithTheirPath) {
  for (const std::string text : {"", "{", "[1]", R"({"stations": {"PACS": 3}})"}) {
    TempDir dir;
    writeAll(dir.path() + "/kalvora.json", text);
    KalvoraSettings settings;
    const auto message = loadKalvoraSettings(dir.path(), settings);
    ASSERT_TRUE(message.has_value()) << text;
    EXPECT_NE(message->find("kalvora.json"), std::string::npos) << *message;
  }
}

TEST(KalvoraSettings, QueryStationIsKeptInItsOwnSection) {
  TempDir dir;
  const std::string path = dir.path() + "/kalvora.json";
  KalvoraSettings settings;
  settings.queryStation = QueryStation{"WORKLIST", "ris.local", 4242, QueryModel::PatientRoot, {}};
  ASSERT_EQ(saveKalvoraSettings(dir.path(), settings), std::nullopt);
  EXPECT_NE(readAll(path).find("\"queryStation\""), std::string::npos);

  KalvoraSettings again;
  ASSERT_EQ(loadKalvoraSettings(dir.path(), again), std::nullopt);
  ASSERT_TRUE(again.queryStation.has_value());
  EXPECT_TRUE(*again.queryStation == *settings.queryStation);

  // Removed again: the section goes, the rest of the file stays.
  again.queryStation.reset();
  ASSERT_EQ(saveKalvoraSettings(dir.path(), again), std::nullopt);
  EXPECT_EQ(readAll(path).find("queryStation"), std::string::npos);
}

TEST(KalvoraSettings, AQueryStationThatCannotBeUsedIsRefused) {
  const std::string good = R"("aeTitle": "WL", "host": "ris", "port": 104, "model": "worklist")";
  for (const std::string& section :
       {std::string("[]"), std::string(R"({"aeTitle": "WL", "host": "ris", "port": 104})"),
        std::string(R"({"aeTitle": "WL", "host": "ris", "port": "104", "model": "worklist"})"),
        std::string(R"({"aeTitle": "WL", "host": "ris", "port": 0, "model": "worklist"})"),
        std::string(R"({"aeTitle": "WL", "host": "ris", "port": 104, "model": "study"})"),
        std::string(R"({"aeTitle": "ABCDEFGHIJKLMNOPQ", "host": "ris", "port": 104, )"
                    R"("model": "worklist"})"),
        std::string(R"({"aeTitle": "", "host": "ris", "port": 104, "model": "worklist"})")}) {
    TempDir dir;
    writeAll(dir.path() + "/kalvora.json", R"({"queryStation": )" + section + "}");
    KalvoraSettings settings;
    const auto message = loadKalvoraSettings(dir.path(), settings);
    ASSERT_TRUE(message.has_value()) << section;
    EXPECT_NE(message->find("queryStation"), std::string::npos) << *message;
  }
  TempDir dir;
  writeAll(dir.path() + "/kalvora.json", R"({"queryStation": {)" + good + "}}");
  KalvoraSettings settings;
  EXPECT_EQ(loadKalvoraSettings(dir.path(), settings), std::nullopt);
}

TEST(KalvoraSettings, StationAssociationsAreKeptAndValuesOutsideOneToEightRefused) {
  TempDir dir;
  KalvoraSettings settings;
  settings.stations["SLOW"].associations = 8;
  settings.stations["SERIAL"];
  ASSERT_EQ(saveKalvoraSettings(dir.path(), settings), std::nullopt);
  KalvoraSettings again;
  ASSERT_EQ(loadKalvoraSettings(dir.path(), again), std::nullopt);
  EXPECT_EQ(stationAssociations(again, "SLOW"), 8);
  EXPECT_EQ(stationAssociations(again, "SERIAL"), 1);
  EXPECT_EQ(stationAssociations(again, "UNLISTED"), 1);

  for (const std::string value : {"0", "9", "-1", "2.5", "\"4\"", "null"}) {
    writeAll(dir.path() + "/kalvora.json",
             R"({"stations": {"PACS": {"associations": )" + value + "}}}");
    KalvoraSettings refused;
    const auto message = loadKalvoraSettings(dir.path(), refused);
    ASSERT_TRUE(message.has_value()) << value;
    EXPECT_NE(message->find("PACS"), std::string::npos) << *message;
  }
  EXPECT_EQ(validateStationAssociations(1), std::nullopt);
  EXPECT_NE(validateStationAssociations(9), std::nullopt);
}

TEST(KalvoraSettings, TlsOfStationsAndQueryStationIsKeptAndDamagedSectionsRefused) {
  TempDir dir;
  KalvoraSettings settings;
  const TlsSettings tls{true, "/etc/pki/ca.pem", "/home/u/me.pem", "/home/u/me.key"};
  settings.stations["PACS"].tls = tls;
  settings.stations["PLAIN"].associations = 2;
  settings.queryStation = QueryStation{"WORKLIST", "ris", 104, QueryModel::Worklist, tls};
  ASSERT_EQ(saveKalvoraSettings(dir.path(), settings), std::nullopt);
  KalvoraSettings again;
  ASSERT_EQ(loadKalvoraSettings(dir.path(), again), std::nullopt);
  EXPECT_TRUE(stationTls(again, "PACS") == tls);
  EXPECT_FALSE(stationTls(again, "PLAIN").enabled);
  EXPECT_FALSE(stationTls(again, "UNLISTED").enabled);
  ASSERT_TRUE(again.queryStation.has_value());
  EXPECT_TRUE(again.queryStation->tls == tls);

  for (const std::string tlsSection :
       {"[]", R"({"enabled": 1})", R"({"enabled": true, "trustedCertificates": 7})"}) {
    writeAll(dir.path() + "/kalvora.json",
             R"({"stations": {"PACS": {"tls": )" + tlsSection + "}}}");
    KalvoraSettings refused;
    const auto message = loadKalvoraSettings(dir.path(), refused);
    ASSERT_TRUE(message.has_value()) << tlsSection;
    EXPECT_NE(message->find("PACS"), std::string::npos) << *message;
  }
}
