#include "config/FolderPath.h"

#include <sys/stat.h>

namespace {

bool isBlank(char c) { return c == '\t' || c == ' '; }

}  // namespace

bool isValidFolderName(const std::string& name) {
  // Hidden folders are the rule on Linux (~/.cache); a trailing dot also rules out . and ..
  if (name.empty() || isBlank(name.front()) || isBlank(name.back()) || name.back() == '.')
    return false;
  return name.find_first_of("\"*/:<>?\\|") == std::string::npos;
}

bool folderExists(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

FolderCheck checkFolderPath(const std::string& path, FolderCheckMode mode) {
  if (path.empty() || path[0] != '/') return FolderCheck::Invalid;
  const bool create = mode == FolderCheckMode::Create;
  if (path.size() == 1)
    return !create || folderExists(path) ? FolderCheck::Valid : FolderCheck::CannotCreate;

  std::size_t start = 1;
  while (true) {
    const std::size_t slash = path.find('/', start);
    const std::size_t end = slash == std::string::npos ? path.size() : slash;
    if (!isValidFolderName(path.substr(start, end - start))) return FolderCheck::Invalid;
    if (create) {
      const std::string level = path.substr(0, end);
      mkdir(level.c_str(), 0700);  // an existing folder is fine
      if (!folderExists(level)) return FolderCheck::CannotCreate;
    }
    if (slash == std::string::npos) return FolderCheck::Valid;
    start = slash + 1;
  }
}
