#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <functional>

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

mode_t modeOf(const std::string& path) {
  struct stat info {};
  EXPECT_EQ(stat(path.c_str(), &info), 0) << path;
  return info.st_mode & 07777;
}

}  // namespace

TEST(ConfigFiles, FirstStartGivesTheDefaultsAndTheDefaultFiltersAndCreatesNothing) {
  TempDir dir;
  Configuration config;
  const ConfigLoadResult loaded = loadConfiguration(dir.path(), config);
  EXPECT_TRUE(loaded.firstStart);
  EXPECT_TRUE(loaded.messages.empty());
  EXPECT_TRUE(loaded.damagedFiles.empty());
  EXPECT_TRUE(filesIn(dir.path()).empty());
  EXPECT_EQ(written(config.settings), written(AppSettings()));
  CFilterArray defaults;
  defaults.resetToDefaults();
  EXPECT_EQ(written(config.filters), written(defaults));
  EXPECT_EQ(config.filters.GetSize(), 14);

  // Exit after that first start: every file holds its full form.
  ASSERT_EQ(saveConfiguration(dir.path(), config), std::nullopt);
  EXPECT_EQ(readFileBytes(dir / "config.dat"), written(AppSettings()));
  EXPECT_EQ(readFileBytes(dir / "filters.dat"), written(defaults));
  EXPECT_EQ(readFileBytes(dir / "stations.dat"), std::string(4, '\0'));
}

TEST(ConfigFiles, SingleFileLoadsCreateNothing) {
  TempDir dir;
  AppSettings settings;
  EXPECT_EQ(loadSettings(dir.path(), settings), "Error: No configuration loaded");
  EXPECT_EQ(loadSettings(dir.path(), settings, MissingFile::Skip), std::nullopt);
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
  EXPECT_EQ(loadConfiguration(dir.path(), loaded).messages,
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

TEST(ConfigFiles, OnlyAFolderWithoutAnyOfTheFilesIsAFirstStart) {
  const Configuration saved = [] {
    Configuration config;
    config.settings.anonymize = 1;
    config.stations.Add({"PACS", "AE", "h", 104});
    return config;
  }();
  const std::string settings = written(saved.settings);
  struct Case {
    const char* name;
    std::function<void(const std::string& folder)> make;
    bool firstStart;
    std::vector<std::string> damaged;
  };
  const auto saveAll = [&](const std::string& folder) {
    ASSERT_EQ(saveConfiguration(folder, saved), std::nullopt);
  };
  const auto saveAllThen = [&](std::function<void(const std::string& path)> change) {
    return [=](const std::string& folder) {
      saveAll(folder);
      change(folder + "/config.dat");
    };
  };
  const Case cases[] = {
      {"none of the four", [](const std::string&) {}, true, {}},
      {"all four", saveAll, false, {}},
      {"config.dat missing",
       saveAllThen([](const std::string& p) { std::remove(p.c_str()); }),
       false,
       {"config.dat"}},
      {"config.dat empty",
       saveAllThen([](const std::string& p) { writeFileBytes(p, ""); }),
       false,
       {"config.dat"}},
      {"config.dat alone, empty",
       [](const std::string& f) { writeFileBytes(f + "/config.dat", ""); },
       false,
       {"config.dat", "filters.dat", "rules.dat", "stations.dat"}},
      {"config.dat truncated",
       saveAllThen([&](const std::string& p) {
         writeFileBytes(p, settings.substr(0, settings.size() / 2));
       }),
       false,
       {"config.dat"}},
      {"config.dat a folder",
       saveAllThen([](const std::string& p) {
         std::remove(p.c_str());
         std::filesystem::create_directory(p);
       }),
       false,
       {"config.dat"}},
      // Opened without blocking: a FIFO nobody writes to must not hang the load.
      {"config.dat a FIFO",
       saveAllThen([](const std::string& p) {
         std::remove(p.c_str());
         ASSERT_EQ(mkfifo(p.c_str(), 0600), 0);
       }),
       false,
       {"config.dat"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    c.make(dir.path());
    const std::vector<std::string> before = filesIn(dir.path());
    Configuration config;
    const ConfigLoadResult loaded = loadConfiguration(dir.path(), config);
    EXPECT_EQ(loaded.firstStart, c.firstStart);
    EXPECT_EQ(loaded.damagedFiles, c.damaged);
    EXPECT_EQ(loaded.messages.empty(), c.damaged.empty());
    EXPECT_EQ(filesIn(dir.path()), before);  // nothing created
    // Whatever could be read stays; the stations file is whole in every saved case.
    if (!c.firstStart && c.damaged.size() == 1) {
      EXPECT_EQ(config.stations.GetSize(), 1);
    }
  }
}

TEST(ConfigFiles, ReplacingADamagedFileKeepsItsBytesBesideItOnce) {
  TempDir dir;
  const std::string damaged = written(AppSettings()).substr(0, 40);
  writeFileBytes(dir / "config.dat", damaged);
  Configuration config;
  const std::vector<std::string> damagedFiles = loadConfiguration(dir.path(), config).damagedFiles;
  ASSERT_FALSE(damagedFiles.empty());
  ASSERT_EQ(damagedFiles[0], "config.dat");

  ASSERT_EQ(saveConfiguration(dir.path(), config), std::nullopt);
  ASSERT_EQ(saveConfiguration(dir.path(), config), std::nullopt);

  std::vector<std::string> kept;
  for (const std::string& name : filesIn(dir.path()))
    if (name.rfind("config.dat.damaged-", 0) == 0) kept.push_back(name);
  ASSERT_EQ(kept.size(), 1u);
  EXPECT_EQ(readFileBytes(dir / kept[0]), damaged);
  EXPECT_EQ(modeOf(dir / kept[0]), 0600u);
  EXPECT_EQ(readFileBytes(dir / "config.dat"), written(config.settings));
}

TEST(ConfigFiles, FilesArePrivateWhateverTheUmask) {
  TempDir dir;
  const mode_t previous = umask(0);
  Configuration config;
  ASSERT_EQ(saveConfiguration(dir.path(), config), std::nullopt);
  for (const std::string& name : filesIn(dir.path())) EXPECT_EQ(modeOf(dir / name), 0600u) << name;
  std::filesystem::remove(dir / "rules.dat");
  ASSERT_EQ(saveConfiguration(dir.path(), config), std::nullopt);
  EXPECT_EQ(modeOf(dir / "rules.dat"), 0600u);

  // A file others could write keeps being readable as it was, but no longer writable.
  chmod((dir / "stations.dat").c_str(), 0666);
  ASSERT_EQ(saveConfiguration(dir.path(), config), std::nullopt);
  EXPECT_EQ(modeOf(dir / "stations.dat"), 0644u);
  umask(previous);
}
