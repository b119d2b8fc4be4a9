#include "config/ConfigurationPassword.h"

#include <crypt.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <optional>

#include "platform/UserFolders.h"

namespace {

const char kBuiltInPassword[] = "TRELIMSOPAX";
const char kSitePasswordFileName[] = "password";

// The first line of the site's password file, when the file can be trusted.
std::optional<std::string> siteHash(const std::string& folder, uid_t trustedOwner) {
  const std::string path = folder + "/" + kSitePasswordFileName;
  const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  struct stat info {};
  std::string text;
  if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == trustedOwner &&
      (info.st_mode & (S_IWGRP | S_IWOTH)) == 0 && info.st_size < 4096) {
    char buffer[4096];
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got > 0) text.assign(buffer, static_cast<size_t>(got));
  }
  close(fd);
  const std::size_t end = text.find_first_of("\r\n");
  if (end != std::string::npos) text.erase(end);
  if (text.empty()) return std::nullopt;
  return text;
}

bool matchesHash(const std::string& typed, const std::string& hash) {
  struct crypt_data data {};
  const char* computed = crypt_r(typed.c_str(), hash.c_str(), &data);
  // crypt_r answers an unusable hash with a string starting with '*', never equal to it.
  return computed && computed[0] != '*' && hash == computed;
}

}  // namespace

bool configurationPasswordMatches(const std::string& typed,
                                  const std::vector<std::string>& siteFolders, uid_t trustedOwner) {
  for (const std::string& folder : siteFolders)
    if (const auto hash = siteHash(folder, trustedOwner)) return matchesHash(typed, *hash);
  return typed == kBuiltInPassword;
}

bool configurationPasswordMatches(const std::string& typed) {
  return configurationPasswordMatches(typed, siteConfigurationFolders());
}
