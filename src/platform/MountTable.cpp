#include "platform/MountTable.h"

#include <fstream>
#include <iterator>
#include <sstream>

namespace {

bool isOctalDigit(char c) { return c >= '0' && c <= '7'; }

// The kernel writes blank, tab, newline and backslash in a field as \ooo.
std::string unescapeMountField(const std::string& field) {
  std::string out;
  out.reserve(field.size());
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size() && isOctalDigit(field[i + 1]) &&
        isOctalDigit(field[i + 2]) && isOctalDigit(field[i + 3])) {
      out += static_cast<char>(((field[i + 1] - '0') << 6) | ((field[i + 2] - '0') << 3) |
                               (field[i + 3] - '0'));
      i += 3;
    } else {
      out += field[i];
    }
  }
  return out;
}

}  // namespace

std::optional<MountEntry> parseMountInfoLine(const std::string& line) {
  // id parent major:minor root mount-point options [optional fields...] - fstype source
  // super-options
  std::istringstream fields(line);
  std::string id, parent, majorMinor, root, mountPoint, options;
  if (!(fields >> id >> parent >> majorMinor >> root >> mountPoint >> options)) return std::nullopt;
  std::string field;
  while (fields >> field && field != "-") {
  }
  if (field != "-") return std::nullopt;
  std::string fsType, source;
  if (!(fields >> fsType >> source)) return std::nullopt;

  MountEntry entry;
  try {
    size_t used = 0;
    entry.mountId = std::stoi(id, &used);
    if (used != id.size()) return std::nullopt;
  } catch (...) {
    return std::nullopt;
  }
  entry.majorMinor = majorMinor;
  entry.root = unescapeMountField(root);
  entry.mountPoint = unescapeMountField(mountPoint);
  entry.fsType = unescapeMountField(fsType);
  entry.source = unescapeMountField(source);
  return entry;
}

std::vector<MountEntry> parseMountInfo(const std::string& text) {
  std::vector<MountEntry> entries;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    if (auto entry = parseMountInfoLine(line)) entries.push_back(std::move(*entry));
  }
  return entries;
}

std::vector<MountEntry> readMountTable(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return parseMountInfo(std::string(std::istreambuf_iterator<char>(in), {}));
}
