#include "platform/OpticalMounts.h"

#include <gtest/gtest.h>

#include "FakeSysfs.h"

TEST(OpticalMountsTest, ListsMountedOpticalMediaInTableOrder) {
  FakeSysfs sysfs;
  const std::string mountInfo = sysfs.scratch("proc") + "/mountinfo";
  writeFileBytes(mountInfo,
                 "1 0 8:1 / / rw - ext4 /dev/sda1 rw\n"
                 "40 1 11:0 / /media/user/DVD\\040DISC ro - iso9660 /dev/sr0 ro\n"
                 "41 1 8:17 / /media/user/STICK rw - vfat /dev/sdb1 rw\n"
                 "42 1 11:0 / /mnt/cd-bind ro - iso9660 /dev/sr0 ro\n"
                 "43 1 11:1 / /media/user/CD2 ro - udf /dev/sr1 ro\n");
  EXPECT_EQ(opticalMountPoints(mountInfo, sysfs.root()),
            (std::vector<std::string>{"/media/user/DVD DISC", "/media/user/CD2"}));
  EXPECT_TRUE(opticalMountPoints(sysfs.root() + "/no-such-file", sysfs.root()).empty());
}
