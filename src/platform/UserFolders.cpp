#include "platform/UserFolders.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/FileSystemPaths.h"

namespace {

std::string homeFolder() {
  if (const char* home = std::getenv("HOME"); home && *home) return home;
  if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir) return entry->pw_dir;
  return "/tmp";
}

// Relative values are invalid and must be ignored.
std::string xdgFolder(const char* variable, const char* fallbackBelowHome) {
  if (const char* value = std::getenv(variable); value && *value == '/') return value;
  return homeFolder() + "/" + fallbackBelowHome;
}

}  // namespace

std::string defaultTempFolder() {
  std::string cache = xdgFolder("XDG_CACHE_HOME", ".cache");
  if (cache.back() != '/') cache += '/';
  return cache + "kalvora/";
}

std::string defaultWorkingFolder() {
  const std::string config = withoutTrailingSlashes(xdgFolder("XDG_CONFIG_HOME", ".config"));
  const std::string folder = (config == "/" ? "" : config) + "/kalvora";
  makePrivateFolders(folder);
  return folder;
}

std::vector<std::string> siteConfigurationFolders() {
  const char* value = std::getenv("XDG_CONFIG_DIRS");
  const std::string list = value && *value ? value : "/etc/xdg";
  std::vector<std::string> folders;
  std::size_t start = 0;
  while (start <= list.size()) {
    const std::size_t end = std::min(list.find(':', start), list.size());
    const std::string folder = withoutTrailingSlashes(list.substr(start, end - start));
    // Relative entries are invalid by the XDG rules and would depend on the current folder.
    if (!folder.empty() && folder[0] == '/')
      folders.push_back((folder == "/" ? "" : folder) + "/kalvora");
    start = end + 1;
  }
  return folders;
}

std::string installedDataFolder() {
  std::error_code error;
  const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error || executable.empty()) return {};
  return (executable.parent_path().parent_path() / "share" / "kalvora").string();
}
