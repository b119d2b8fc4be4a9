#include "platform/DisplayedPath.h"

std::string displayedPath(const std::string& path) {
  std::string shown;
  shown.reserve(path.size());
  for (const char c : path)
    if (c != '/' || shown.empty() || shown.back() != '/') shown += c;
  return shown;
}

std::string withDisplayedPath(std::string text, const std::string& path) {
  const std::string shown = displayedPath(path);
  if (path.empty() || shown == path) return text;
  for (std::size_t at = text.find(path); at != std::string::npos;
       at = text.find(path, at + shown.size()))
    text.replace(at, path.size(), shown);
  return text;
}
