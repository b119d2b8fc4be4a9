// The configuration archive reader on any bytes: the first byte picks which of the four
// files the rest is. A file read back must survive a save and a second load unchanged.

#include "FuzzSupport.h"

#include "config/ConfigFiles.h"
#include "config/Configuration.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

std::string fileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

template <typename Target, typename Load, typename Save>
void roundTrip(const std::string& folder, const char* fileName, Load load, Save save) {
  Target first;
  load(folder, first, MissingFile::Skip);  // damaged files keep what was read
  if (save(folder, first)) return;
  const std::string saved = fileBytes(folder + "/" + fileName);
  Target second;
  if (load(folder, second, MissingFile::Skip)) std::abort();  // our own file must load
  if (save(folder, second) || fileBytes(folder + "/" + fileName) != saved) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  static const std::string folder = scratchFolder() + "/config";
  static const bool made = std::filesystem::create_directories(folder);
  (void)made;
  const char* names[] = {kSettingsFileName, kFiltersFileName, kRulesFileName, kStationsFileName};
  const int kind = data[0] % 4;
  writeInput(folder + "/" + names[kind], data + 1, size - 1);
  switch (kind) {
    case 0:
      roundTrip<AppSettings>(folder, names[kind], loadSettings, saveSettings);
      break;
    case 1:
      roundTrip<CFilterArray>(folder, names[kind], loadFilters, saveFilters);
      break;
    case 2:
      roundTrip<CRuleArray>(folder, names[kind], loadRules, saveRules);
      break;
    default:
      roundTrip<CStationArray>(folder, names[kind], loadStations, saveStations);
      break;
  }
  return 0;
}
