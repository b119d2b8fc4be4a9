#include "platform/DeviceKind.h"

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

// Follows the link chain without needing the final device node to exist, so a
// source can be classified from sysfs alone.
fs::path resolveDevicePath(const fs::path& device) {
  std::error_code error;
  fs::path resolved = fs::canonical(device, error);
  if (!error) return resolved;
  fs::path path = device.lexically_normal();
  for (int hops = 0; hops < 40 && fs::is_symlink(path, error); ++hops) {
    const fs::path target = fs::read_symlink(path, error);
    if (error) break;
    path = (target.is_absolute() ? target : path.parent_path() / target).lexically_normal();
  }
  return path;
}

std::string firstWord(const fs::path& file) {
  std::ifstream in(file);
  std::string word;
  in >> word;
  return word;
}

bool startsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

// SCSI peripheral type of a CD/DVD drive.
constexpr char kScsiTypeRom[] = "5";

}  // namespace

DeviceKind classifyDevice(const std::string& device, const std::string& sysfsRoot) {
  try {
    if (device.empty() || device[0] != '/') return DeviceKind::Ignored;
    const fs::path resolved = resolveDevicePath(device);
    if (resolved.parent_path() != "/dev") return DeviceKind::Ignored;
    const std::string name = resolved.filename().string();
    if (startsWith(name, "sr")) return DeviceKind::Optical;
    if (startsWith(name, "loop")) return DeviceKind::Ignored;

    std::error_code error;
    fs::path block = fs::canonical(fs::path(sysfsRoot) / "class" / "block" / name, error);
    if (error) return DeviceKind::Ignored;
    // A partition's flags live on its whole disk, one level up.
    if (fs::exists(block / "partition", error)) block = block.parent_path();
    if (firstWord(block / "device" / "type") == kScsiTypeRom) return DeviceKind::Optical;
    if (firstWord(block / "removable") == "1") return DeviceKind::Removable;
  } catch (...) {
  }
  return DeviceKind::Ignored;
}
