#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

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

TEST(ConfigFiles, FirstStartCreatesFourEmptyFilesAndReportsAllFour) {
  TempDir dir;
  Configuration config;
  const ConfigLoadResult loaded = loadConfiguration(dir.path(), config);
  EXPECT_EQ(loaded.messages, kAllFourMessages);
  EXPECT_TRUE(loaded.damagedFiles.empty());  // a fresh start
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
  EXPECT_EQ(loadConfiguration(dir.path(), config, MissingFile::ReadAsEmpty).messages,
            kAllFourMessages);
  EXPECT_TRUE(loadConfiguration(dir.path(), config, MissingFile::Skip).messages.empty());
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

TEST(ConfigFiles, OnlyFilesThatExistButCannotBeReadCompletelyAreDamaged) {
  const std::string settings = written(AppSettings());
  struct Case {
    const char* name;
    std::function<void(const std::string& path)> make;
    bool damaged;
  };
  const Case cases[] = {
      {"missing", [](const std::string&) {}, false},
      {"empty, as a first start leaves it", [](const std::string& p) { writeFileBytes(p, ""); },
       false},
      {"whole", [&](const std::string& p) { writeFileBytes(p, settings); }, false},
      {"truncated",
       [&](const std::string& p) { writeFileBytes(p, settings.substr(0, settings.size() / 2)); },
       true},
      {"a folder", [](const std::string& p) { std::filesystem::create_directory(p); }, true},
      // Opened without blocking: a FIFO nobody writes to must not hang the load.
      {"a FIFO", [](const std::string& p) { ASSERT_EQ(mkfifo(p.c_str(), 0600), 0); }, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    c.make(dir / "config.dat");
    Configuration config;
    const ConfigLoadResult loaded = loadConfiguration(dir.path(), config, MissingFile::ReadAsEmpty);
    EXPECT_EQ(loaded.damagedFiles,
              c.damaged ? std::vector<std::string>{"config.dat"} : std::vector<std::string>{});
  }
}

TEST(ConfigFiles, ReplacingADamagedFileKeepsItsBytesBesideItOnce) {
  TempDir dir;
  const std::string damaged = written(AppSettings()).substr(0, 40);
  writeFileBytes(dir / "config.dat", damaged);
  Configuration config;
  ASSERT_EQ(loadConfiguration(dir.path(), config).damagedFiles,
            std::vector<std::string>{"config.dat"});

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
  loadConfiguration(dir.path(), config);  // creates the four empty files
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
