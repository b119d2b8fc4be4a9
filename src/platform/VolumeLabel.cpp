#include "platform/VolumeLabel.h"

#include <dirent.h>
#include <limits.h>
#include <stdlib.h>

#include "platform/MountTable.h"

namespace {

const char kLabelFolder[] = "/dev/disk/by-label";

std::string realPath(const std::string& path) {
  char resolved[PATH_MAX];
  return realpath(path.c_str(), resolved) ? std::string(resolved) : std::string();
}

std::string withoutTrailingSlash(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string unescapedLabel(const std::string& name) {
  std::string label;
  for (size_t at = 0; at < name.size(); ++at) {
    if (name.compare(at, 2, "\\x") == 0 && at + 3 < name.size() && hexValue(name[at + 2]) >= 0 &&
        hexValue(name[at + 3]) >= 0) {
      label += static_cast<char>(hexValue(name[at + 2]) * 16 + hexValue(name[at + 3]));
      at += 3;
    } else {
      label += name[at];
    }
  }
  return label;
}

std::string volumeLabelOf(const std::string& mountPoint) {
  const std::string wanted = withoutTrailingSlash(mountPoint);
  std::string device;
  // The last entry for a mount point is the one on top.
  for (const MountEntry& entry : readMountTable("/proc/self/mountinfo"))
    if (entry.mountPoint == wanted) device = entry.source;
  if (device.empty() || device.front() != '/') return "";
  const std::string deviceNode = realPath(device);
  if (deviceNode.empty()) return "";
  DIR* folder = opendir(kLabelFolder);
  if (!folder) return "";
  std::string label;
  while (dirent* entry = readdir(folder)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    if (realPath(std::string(kLabelFolder) + "/" + name) == deviceNode) {
      label = unescapedLabel(name);
      break;
    }
  }
  closedir(folder);
  return label;
}
