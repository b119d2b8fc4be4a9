#include "FakeSysfs.h"

#include <filesystem>

namespace fs = std::filesystem;

FakeSysfs::FakeSysfs() {
  fs::create_directories(dir_ / "class/block");
  addDisk("sr0", true, "5", 0);
  addDisk("sdc", true, "5", 0);
  addDisk("sda", false, "0", 1);
  addDisk("sdb", true, "0", 1);
  addDisk("loop0", false, "", 0);
  addDisk("sdy", false, "0", 1);
  addDisk("sdz", true, "0", 2);
}

std::string FakeSysfs::scratch(const std::string& name) const {
  fs::create_directories(dir_ / name);
  return dir_ / name;
}

void FakeSysfs::addDisk(const std::string& name, bool removable, const std::string& scsiType,
                        int partitions) {
  const std::string disk = "devices/pci0000:00/host0/block/" + name;
  fs::create_directories(dir_ / disk);
  writeFileBytes(dir_ / (disk + "/removable"), removable ? "1\n" : "0\n");
  if (!scsiType.empty()) {
    fs::create_directories(dir_ / (disk + "/device"));
    writeFileBytes(dir_ / (disk + "/device/type"), scsiType + "\n");
  }
  fs::create_symlink("../../" + disk, dir_ / ("class/block/" + name));
  for (int number = 1; number <= partitions; ++number) {
    const std::string partition = name + std::to_string(number);
    fs::create_directories(dir_ / (disk + "/" + partition));
    writeFileBytes(dir_ / (disk + "/" + partition + "/partition"), std::to_string(number) + "\n");
    fs::create_symlink("../../" + disk + "/" + partition, dir_ / ("class/block/" + partition));
  }
}
