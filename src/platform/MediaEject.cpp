#include "platform/MediaEject.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>
#include <vector>

#include "platform/DeviceKind.h"
#include "platform/FileSystemPaths.h"
#include "platform/MountTable.h"

extern char** environ;

namespace {

// The mount on top at `mountPoint`: the last one listed there.
bool findMount(const std::string& mountPoint, MountEntry& found) {
  bool any = false;
  for (const MountEntry& entry : readMountTable("/proc/self/mountinfo")) {
    if (entry.mountPoint != mountPoint) continue;
    found = entry;
    any = true;
  }
  return any;
}

}  // namespace

void EjectMedia(const std::string& root) {
  try {
    const std::string mountPoint = withoutTrailingSlashes(root);
    MountEntry mount;
    if (mountPoint.empty() || !findMount(mountPoint, mount) ||
        classifyDevice(mount.source) == DeviceKind::Ignored)
      return;
    // Ejecting waits for the drive; never hold up the caller for it.
    std::thread([device = mount.source] {
      std::vector<char*> argv = {const_cast<char*>("eject"), const_cast<char*>(device.c_str()),
                                 nullptr};
      pid_t pid = 0;
      if (posix_spawnp(&pid, "eject", nullptr, nullptr, argv.data(), environ) == 0)
        waitpid(pid, nullptr, 0);
    }).detach();
  } catch (...) {
  }
}
