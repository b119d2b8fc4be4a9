#include "platform/MediaEject.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

extern char** environ;

namespace {

// mountinfo escapes blanks and backslashes as \ooo.
std::string unescapeMountField(const std::string& field) {
  std::string out;
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size()) {
      out += static_cast<char>(std::stoi(field.substr(i + 1, 3), nullptr, 8));
      i += 3;
    } else {
      out += field[i];
    }
  }
  return out;
}

struct MountedDevice {
  std::string device;      // e.g. /dev/sr0
  std::string majorMinor;  // e.g. 11:0
};

bool findMount(const std::string& mountPoint, MountedDevice& found) {
  std::ifstream mountinfo("/proc/self/mountinfo");
  std::string line;
  while (std::getline(mountinfo, line)) {
    std::istringstream fields(line);
    std::string id, parent, majorMinor, root, point;
    fields >> id >> parent >> majorMinor >> root >> point;
    if (unescapeMountField(point) != mountPoint) continue;
    std::string field;
    while (fields >> field && field != "-") {
    }
    std::string fsType, source;
    fields >> fsType >> source;
    found = {unescapeMountField(source), majorMinor};
  }
  return !found.device.empty();
}

bool readsOne(const std::string& path) {
  std::ifstream in(path);
  std::string value;
  return in >> value && value == "1";
}

bool isEjectable(const MountedDevice& mount) {
  if (mount.device.rfind("/dev/sr", 0) == 0) return true;
  const std::string sysfs = "/sys/dev/block/" + mount.majorMinor;
  // A partition's removable flag lives on its whole disk, one level up.
  return readsOne(sysfs + "/removable") || readsOne(sysfs + "/../removable");
}

}  // namespace

void EjectMedia(const std::string& root) {
  try {
    std::string mountPoint = root;
    while (mountPoint.size() > 1 && mountPoint.back() == '/') mountPoint.pop_back();
    MountedDevice mount;
    if (mountPoint.empty() || !findMount(mountPoint, mount) || !isEjectable(mount)) return;
    // Ejecting waits for the drive; never hold up the caller for it.
    std::thread([device = mount.device] {
      std::vector<char*> argv = {const_cast<char*>("eject"), const_cast<char*>(device.c_str()),
                                 nullptr};
      pid_t pid = 0;
      if (posix_spawnp(&pid, "eject", nullptr, nullptr, argv.data(), environ) == 0)
        waitpid(pid, nullptr, 0);
    }).detach();
  } catch (...) {
  }
}
