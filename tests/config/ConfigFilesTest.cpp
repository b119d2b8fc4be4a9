#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>

#include <filesystem>

#include "TempDir.h"
#include "config/ArchiveWriter.h"
#include "config/ConfigFiles.h"

namespace {

const std::vector<std::string> kAllFourMessages = {
    "Error: No configuration loaded", "Error: No filter list loaded", "Error: No rules loaded",
    "Error: No DICOM stations loaded"};

std::vector<std::string> filesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

template <typename T>
std::string written(const T& value) {
  ArchiveWriter archive;
  value.Serialize(archive);
  return archive.bytes();
}

// Lowers the file size limit so that writes beyond it fail with EFBIG, as a full disk
// would fail them; works for root too.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    previousHandler_ = signal(SIGXFSZ, SIG_IGN);
    rlimit lowered = saved_;
    lowered.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &lowered);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    signal(SIGXFSZ, previousHandler_);
  }

 private:
  rlimit saved_{};
  sighandler_t previousHandler_;
};

}  // namespace

TEST(ConfigFiles, FirstStartCreatesFourEmptyFilesAndReportsAllFour) {
  TempDir dir;
  Configuration config;
  EXPECT_EQ(loadConfiguration(dir.path(), config), kAllFourMessages);
  EXPECT_EQ(filesIn(dir.path()),
            (std::vector<std::string>{"config.dat", "filters.dat", "rules.dat", "stations.dat"}));
  for (const std::string& name : filesIn(dir.path())) EXPECT_EQ(readFileBytes(dir / name), "");
  EXPECT_EQ(written(config.settings), written(AppSettings()));

  // Exit after that first start: every file holds its full, empty-list form.
  ASSERT_EQ(saveConfiguration(dir.path(), config), std::nullopt);
  EXPECT_EQ(readFileBytes(dir / "config.dat"), written(AppSettings()));
  EXPECT_EQ(readFileBytes(dir / "stations.dat"), std::string(4, '\0'));
}

TEST(ConfigFiles, ReadOnlyAndChangeLoadsCreateNothing) {
  TempDir dir;
  Configuration config;
  EXPECT_EQ(loadConfiguration(dir.path(), config, MissingFile::ReadAsEmpty), kAllFourMessages);
  EXPECT_TRUE(loadConfiguration(dir.path(), config, MissingFile::Skip).empty());
  EXPECT_TRUE(filesIn(dir.path()).empty());
}

TEST(ConfigFiles, OnlyTheMissingStationsFileIsReported) {
  TempDir dir;
  Configuration saved;
  saved.settings.callingAeTitle = "SAVED";
  saved.filters.resetToDefaults();
  saved.rules.Add({8, 96, "CT", "PACS"});
  ASSERT_EQ(saveConfiguration(dir.path(), saved), std::nullopt);
  std::filesystem::remove(dir / "stations.dat");

  Configuration loaded;
  EXPECT_EQ(loadConfiguration(dir.path(), loaded),
            std::vector<std::string>{"Error: No DICOM stations loaded"});
  EXPECT_EQ(loaded.settings.callingAeTitle, "SAVED");
  EXPECT_EQ(loaded.filters.GetSize(), 14);
  EXPECT_EQ(loaded.rules.GetSize(), 1);
}

TEST(ConfigFiles, TruncatedFileIsReportedAndKeepsWhatWasRead) {
  TempDir dir;
  CStationArray stations;
  stations.Add({"A", "AE", "h", 1});
  stations.Add({"B", "AE", "h", 2});
  stations.Add({"C", "AE", "h", 3});
  const std::string bytes = written(stations);
  writeFileBytes(dir / "stations.dat", bytes.substr(0, bytes.size() - 3));

  CStationArray loaded;
  EXPECT_EQ(loadStations(dir.path(), loaded), "Error: No DICOM stations loaded");
  EXPECT_EQ(loaded.GetSize(), 2);
}

TEST(ConfigFiles, FailedSaveLeavesTheOldFileAndWritesNothingAfterIt) {
  TempDir dir;
  Configuration old;
  old.filters.Add({".old", "old filter"});
  ASSERT_EQ(saveConfiguration(dir.path(), old), std::nullopt);
  std::filesystem::remove(dir / "rules.dat");
  std::filesystem::remove(dir / "stations.dat");
  const std::string oldFilters = readFileBytes(dir / "filters.dat");

  Configuration changed;
  changed.settings.callingAeTitle = "NEW";
  for (int i = 0; i < 200; ++i) changed.filters.Add({".f" + std::to_string(i), "a description"});
  std::optional<std::string> message;
  {
    FileSizeLimit limit(1024);  // config.dat fits, the new filter list does not
    message = saveConfiguration(dir.path(), changed);
  }
  EXPECT_EQ(message, (dir / "filters.dat") + ": File too large");
  EXPECT_EQ(readFileBytes(dir / "config.dat"), written(changed.settings));
  EXPECT_EQ(readFileBytes(dir / "filters.dat"), oldFilters);
  // No half-written sibling is left, and the saves after the failed one did not run.
  EXPECT_EQ(filesIn(dir.path()), (std::vector<std::string>{"config.dat", "filters.dat"}));
}

TEST(ConfigFiles, UnreadableFileGivesTheSystemErrorText) {
  TempDir dir;
  std::filesystem::create_directory(dir / "rules.dat");
  CRuleArray rules;
  EXPECT_EQ(loadRules(dir.path(), rules), (dir / "rules.dat") + ": Is a directory");
  EXPECT_EQ(saveRules(dir.path(), rules), (dir / "rules.dat") + ": Is a directory");
}
