#pragma once

#include <cstdlib>
#include <optional>
#include <string>

// XDG_CONFIG_DIRS (the site's configuration folders) for the time of one test.
class SiteFolders {
 public:
  explicit SiteFolders(const std::string& value) {
    if (const char* old = getenv("XDG_CONFIG_DIRS")) saved_ = old;
    setenv("XDG_CONFIG_DIRS", value.c_str(), 1);
  }
  ~SiteFolders() {
    if (saved_)
      setenv("XDG_CONFIG_DIRS", saved_->c_str(), 1);
    else
      unsetenv("XDG_CONFIG_DIRS");
  }
  SiteFolders(const SiteFolders&) = delete;
  SiteFolders& operator=(const SiteFolders&) = delete;

 private:
  std::optional<std::string> saved_;
};
