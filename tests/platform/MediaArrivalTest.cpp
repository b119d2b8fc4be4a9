#include "platform/MediaArrival.h"

#include <gtest/gtest.h>

#include <ostream>

#include "FakeSysfs.h"

std::ostream& operator<<(std::ostream& out, const MediaArrival& arrival) {
  return out << arrival.mountPoint << " " << arrival.device << " "
             << static_cast<int>(arrival.kind);
}

namespace {

MountEntry mount(int id, const std::string& majorMinor, const std::string& mountPoint,
                 const std::string& source, const std::string& root = "/") {
  return {id, majorMinor, root, mountPoint, "vfat", source};
}

const MountEntry kRoot = mount(1, "8:1", "/", "/dev/sda1");
const MountEntry kStick = mount(5, "8:257", "/media/usb", "/dev/sdz1");

}  // namespace

TEST(MediaArrivalTest, FindsNewOpticalAndRemovableMediaOnce) {
  FakeSysfs sysfs;
  const MediaArrival stick{"/media/usb", "/dev/sdz1", DeviceKind::Removable};
  const struct {
    const char* what;
    std::vector<MountEntry> before, after;
    std::vector<MediaArrival> arrivals;
  } cases[] = {
      {"nothing changed", {kRoot, kStick}, {kRoot, kStick}, {}},
      {"new media in table order, others ignored",
       {kRoot},
       {kRoot, mount(2, "0:40", "/run/user/0", "tmpfs"), mount(3, "11:0", "/media/cd", "/dev/sr0"),
        mount(4, "8:2", "/data", "/dev/sda2"), mount(6, "0:41", "/net", "server:/export"),
        mount(7, "7:0", "/mnt/image", "/dev/loop0"), kStick},
       {{"/media/cd", "/dev/sr0", DeviceKind::Optical}, stick}},
      {"a second mount point of the same file system in one change",
       {kRoot},
       {kRoot, kStick, mount(9, "8:257", "/mnt/bind", "/dev/sdz1", "/photos")},
       {stick}},
      {"a bind of a medium mounted before",
       {kRoot, kStick},
       {kRoot, kStick, mount(9, "8:257", "/mnt/bind", "/dev/sdz1")},
       {}},
      {"the medium unmounted and mounted again",
       {kRoot, kStick},
       {kRoot, mount(9, "8:257", "/media/usb", "/dev/sdz1")},
       {stick}},
      {"a reused mount id for another medium",
       {kRoot, kStick},
       {kRoot, mount(5, "8:258", "/media/usb", "/dev/sdz2")},
       {{"/media/usb", "/dev/sdz2", DeviceKind::Removable}}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(findArrivals(c.before, c.after, sysfs.root()), c.arrivals) << c.what;
}
