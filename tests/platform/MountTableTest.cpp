#include "platform/MountTable.h"

#include <gtest/gtest.h>

TEST(MountTableTest, ParsesMountInfoLines) {
  struct Case {
    std::string line;
    int mountId;
    std::string majorMinor, root, mountPoint, fsType, source;
  };
  const Case cases[] = {
      {"36 35 98:0 /mnt1 /mnt/parent rw,noatime master:1 - ext3 /dev/root rw,errors=continue", 36,
       "98:0", "/mnt1", "/mnt/parent", "ext3", "/dev/root"},
      {"25 1 0:22 / /proc rw,nosuid - proc proc rw", 25, "0:22", "/", "/proc", "proc", "proc"},
      {"80 29 8:17 / /media/user/MY\\040DISK rw shared:1 master:2 - vfat /dev/sdb1 rw", 80, "8:17",
       "/", "/media/user/MY DISK", "vfat", "/dev/sdb1"},
      // An escape at the very end, a tab, a newline and a backslash.
      {"81 29 11:0 / /media/CD\\040 ro - iso9660 /dev/sr0 ro", 81, "11:0", "/", "/media/CD ",
       "iso9660", "/dev/sr0"},
      {"82 29 8:18 /a\\011b /m\\012n\\134o rw - ext4 /dev/sdb2 rw", 82, "8:18", "/a\tb", "/m\nn\\o",
       "ext4", "/dev/sdb2"},
      // A backslash that starts no escape stays as it is.
      {"83 29 0:50 / /x\\y\\12 rw - cifs //server/share rw", 83, "0:50", "/", "/x\\y\\12", "cifs",
       "//server/share"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    const auto entry = parseMountInfoLine(c.line);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->mountId, c.mountId);
    EXPECT_EQ(entry->majorMinor, c.majorMinor);
    EXPECT_EQ(entry->root, c.root);
    EXPECT_EQ(entry->mountPoint, c.mountPoint);
    EXPECT_EQ(entry->fsType, c.fsType);
    EXPECT_EQ(entry->source, c.source);
  }
}

TEST(MountTableTest, RejectsLinesThatAreNoMountEntries) {
  for (const std::string line :
       {"", "garbage", "36 35 98:0 / /mnt rw master:1 ext3 /dev/root rw",
        "x 35 98:0 / /mnt rw - ext3 /dev/root rw", "36 35 98:0 / /mnt rw -"}) {
    EXPECT_FALSE(parseMountInfoLine(line)) << line;
  }
}

TEST(MountTableTest, ParsesAWholeTableSkippingBadLines) {
  const auto entries = parseMountInfo(
      "1 0 8:1 / / rw - ext4 /dev/sda1 rw\n"
      "broken line\n"
      "2 1 11:0 / /media/cd ro - iso9660 /dev/sr0 ro");
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].mountPoint, "/");
  EXPECT_EQ(entries[1].mountPoint, "/media/cd");
}
