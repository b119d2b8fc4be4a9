#pragma once

#include <optional>
#include <string>
#include <vector>

// One line of /proc/<pid>/mountinfo, with the escapes of the text fields undone.
struct MountEntry {
  int mountId = 0;
  std::string majorMinor;  // e.g. "8:17"
  std::string root;        // folder of the file system shown here; not "/" for a bind of a folder
  std::string mountPoint;
  std::string fsType;
  std::string source;  // e.g. "/dev/sdb1", "tmpfs", "server:/export"
};

// nullopt for a line that is not a mount entry.
std::optional<MountEntry> parseMountInfoLine(const std::string& line);

// All entries of `text` (a whole mountinfo file), in table order.
std::vector<MountEntry> parseMountInfo(const std::string& text);

// The file at `path` parsed; empty when it cannot be read.
std::vector<MountEntry> readMountTable(const std::string& path);
