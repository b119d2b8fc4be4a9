#include "platform/MediaArrival.h"

#include <set>
#include <tuple>

namespace {

// Mount ids are reused after an unmount, so an id alone does not say "the same mount".
using MountKey = std::tuple<int, std::string, std::string>;

MountKey keyOf(const MountEntry& entry) {
  return {entry.mountId, entry.majorMinor, entry.mountPoint};
}

}  // namespace

std::vector<MediaArrival> findArrivals(const std::vector<MountEntry>& before,
                                       const std::vector<MountEntry>& after,
                                       const std::string& sysfsRoot) {
  std::set<MountKey> knownMounts;
  for (const MountEntry& entry : before) knownMounts.insert(keyOf(entry));
  // A file system is known by its device number, which its bind mounts and further mounts
  // share. One still mounted from before is no arrival (nor are its old mounts); one
  // unmounted and mounted again is.
  std::set<std::string> mountedFileSystems;
  for (const MountEntry& entry : after)
    if (knownMounts.count(keyOf(entry))) mountedFileSystems.insert(entry.majorMinor);

  std::vector<MediaArrival> arrivals;
  for (const MountEntry& entry : after) {
    if (!mountedFileSystems.insert(entry.majorMinor).second) continue;
    const DeviceKind kind = classifyDevice(entry.source, sysfsRoot);
    if (kind != DeviceKind::Ignored) arrivals.push_back({entry.mountPoint, entry.source, kind});
  }
  return arrivals;
}
