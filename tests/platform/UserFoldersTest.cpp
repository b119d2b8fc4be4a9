#include "platform/UserFolders.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

#include "TempDir.h"

namespace {

// Sets (or, with nullopt, removes) an environment variable for one scope.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::optional<std::string>& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value)
      setenv(name, value->c_str(), 1);
    else
      unsetenv(name);
  }
  ~ScopedEnv() {
    if (old_)
      setenv(name_, old_->c_str(), 1);
    else
      unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

unsigned modeOf(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return 0;
  return info.st_mode & 07777;
}

}  // namespace

TEST(UserFolders, WorkingFolderFollowsXdgConfigHomeAndIsCreatedPrivate) {
  struct Case {
    const char* name;
    std::optional<std::string> xdg;  // "@" stands for the test's temporary folder
    const char* expected;
  };
  const Case cases[] = {
      {"absolute, missing parents", "@/xdg/deeper/", "@/xdg/deeper/kalvora"},
      {"unset", std::nullopt, "@/home/.config/kalvora"},
      {"empty", "", "@/home/.config/kalvora"},
      {"relative: invalid", "relative/config", "@/home/.config/kalvora"},
  };
  // A umask that takes the owner's own bits must not leave a folder the next level cannot go in.
  for (const auto& [mask, maskText] :
       {std::pair<mode_t, const char*>{022, "022"}, {0277, "0277"}}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.name) + ", umask " + maskText);
      TempDir temp;
      const auto expand = [&](std::string text) {
        if (text.rfind('@', 0) == 0) text.replace(0, 1, temp.path());
        return text;
      };
      ScopedEnv home("HOME", temp / "home");
      ScopedEnv xdg("XDG_CONFIG_HOME", c.xdg ? std::optional<std::string>(expand(*c.xdg)) : c.xdg);
      const mode_t before = umask(mask);
      const std::string folder = defaultWorkingFolder();
      umask(before);
      EXPECT_EQ(folder, expand(c.expected));
      EXPECT_EQ(modeOf(folder), 0700u);
      EXPECT_EQ(modeOf(std::filesystem::path(folder).parent_path()), 0700u);
    }
  }
}

TEST(UserFolders, AnExistingWorkingFolderKeepsItsMode) {
  TempDir temp;
  ScopedEnv xdg("XDG_CONFIG_HOME", temp.path());
  std::filesystem::create_directory(temp / "kalvora");
  chmod((temp / "kalvora").c_str(), 0750);
  EXPECT_EQ(defaultWorkingFolder(), temp / "kalvora");
  EXPECT_EQ(modeOf(temp / "kalvora"), 0750u);
}

TEST(UserFolders, InstalledDataFolderIsBesideTheExecutablesBinFolder) {
  const std::filesystem::path executable = std::filesystem::canonical("/proc/self/exe");
  EXPECT_EQ(installedDataFolder(),
            (executable.parent_path().parent_path() / "share/kalvora").string());
}
