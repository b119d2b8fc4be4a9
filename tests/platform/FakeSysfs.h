#pragma once

#include <string>

#include "TempDir.h"

// A small sysfs tree laid out as the kernel does (class/block links into devices/):
// sr0 and sdc (CD drives: SCSI type 5), sdb (removable) with partition sdb1,
// sda (fixed) with partition sda1, loop0, and sdz (removable) with partitions sdz1
// and sdz2 and sdy (fixed) with sdy1, whose /dev nodes do not exist on any machine.
class FakeSysfs {
 public:
  FakeSysfs();
  const std::string& root() const { return dir_.path(); }
  // A folder of the tree for the test's own files.
  std::string scratch(const std::string& name) const;

 private:
  void addDisk(const std::string& name, bool removable, const std::string& scsiType,
               int partitions);
  TempDir dir_;
};
