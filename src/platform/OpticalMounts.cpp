#include "platform/OpticalMounts.h"

#include <set>

#include "platform/DeviceKind.h"
#include "platform/MountTable.h"

std::vector<std::string> opticalMountPoints(const std::string& mountInfoPath,
                                            const std::string& sysfsRoot) {
  std::vector<std::string> mountPoints;
  std::set<std::string> listedFileSystems;
  for (const MountEntry& entry : readMountTable(mountInfoPath)) {
    if (classifyDevice(entry.source, sysfsRoot) != DeviceKind::Optical) continue;
    if (listedFileSystems.insert(entry.majorMinor).second) mountPoints.push_back(entry.mountPoint);
  }
  return mountPoints;
}
