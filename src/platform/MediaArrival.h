#pragma once

#include <string>
#include <vector>

#include "platform/DeviceKind.h"
#include "platform/MountTable.h"

// A medium that was just mounted: where to read it and what holds it.
struct MediaArrival {
  std::string mountPoint;
  std::string device;
  DeviceKind kind = DeviceKind::Ignored;
};

inline bool operator==(const MediaArrival& a, const MediaArrival& b) {
  return a.mountPoint == b.mountPoint && a.device == b.device && a.kind == b.kind;
}

// The optical and removable media among the mounts of `after` that `before` did not
// have, in table order. A file system counts once: a further mount of one that is
// mounted already (a bind mount, a second mount of its device) is no arrival.
std::vector<MediaArrival> findArrivals(const std::vector<MountEntry>& before,
                                       const std::vector<MountEntry>& after,
                                       const std::string& sysfsRoot = "/sys");
