#pragma once

#include <string>

// What a mounted file system's device is, as far as reading media goes.
enum class DeviceKind {
  Optical,    // CD/DVD drive
  Removable,  // a disk whose removable flag is set, or a partition of one
  Ignored,    // fixed and loop disks, network and virtual file systems
};

// Classifies a mount source such as "/dev/sr0", "/dev/sdb1" or "/dev/disk/by-uuid/...".
// Symbolic links are followed; the block device is looked up below `sysfsRoot`.
DeviceKind classifyDevice(const std::string& device, const std::string& sysfsRoot = "/sys");
