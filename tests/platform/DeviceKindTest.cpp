#include "platform/DeviceKind.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "FakeSysfs.h"

namespace fs = std::filesystem;

TEST(DeviceKindTest, ClassifiesBlockDevicesFromSysfs) {
  FakeSysfs sysfs;
  const struct {
    std::string device;
    DeviceKind kind;
  } cases[] = {
      {"/dev/sr0", DeviceKind::Optical},
      {"/dev/sr3", DeviceKind::Optical},  // known by its name even without sysfs
      {"/dev/sdc", DeviceKind::Optical},  // a CD drive by its SCSI type
      {"/dev/sdb", DeviceKind::Removable},
      {"/dev/sdb1", DeviceKind::Removable},  // partition of a removable disk
      {"/dev/sda", DeviceKind::Ignored},
      {"/dev/sda1", DeviceKind::Ignored},
      {"/dev/loop0", DeviceKind::Ignored},
      {"/dev/nosuchdisk", DeviceKind::Ignored},
      {"tmpfs", DeviceKind::Ignored},
      {"server:/export", DeviceKind::Ignored},
      {"//server/share", DeviceKind::Ignored},
      {"", DeviceKind::Ignored},
  };
  for (const auto& c : cases) EXPECT_EQ(classifyDevice(c.device, sysfs.root()), c.kind) << c.device;
}

TEST(DeviceKindTest, FollowsDeviceLinks) {
  FakeSysfs sysfs;
  const std::string byUuid = sysfs.scratch("dev/disk/by-uuid");
  const std::string byLabel = sysfs.scratch("dev/disk/by-label");
  fs::create_symlink("/dev/sdb1", byUuid + "/1234-ABCD");
  fs::create_symlink("../by-uuid/1234-ABCD", byLabel + "/STICK");
  fs::create_symlink("/dev/sda1", byUuid + "/fixed");
  fs::create_symlink("/dev/sr0", byLabel + "/CDROM");

  EXPECT_EQ(classifyDevice(byUuid + "/1234-ABCD", sysfs.root()), DeviceKind::Removable);
  EXPECT_EQ(classifyDevice(byLabel + "/STICK", sysfs.root()), DeviceKind::Removable);
  EXPECT_EQ(classifyDevice(byUuid + "/fixed", sysfs.root()), DeviceKind::Ignored);
  EXPECT_EQ(classifyDevice(byLabel + "/CDROM", sysfs.root()), DeviceKind::Optical);
}
