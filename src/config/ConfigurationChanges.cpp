#include "config/ConfigurationChanges.h"

#include "config/ArchiveWriter.h"
#include "config/ConfigFiles.h"

namespace {

template <typename Source>
std::string bytesOf(const Source& source) {
  ArchiveWriter archive;
  source.Serialize(archive);
  return archive.bytes();
}

template <typename Source>
void noteChange(const char* fileName, const Source& before, const Source& after,
                std::vector<std::string>& changed) {
  if (bytesOf(before) != bytesOf(after)) changed.push_back(fileName);
}

}  // namespace

std::vector<std::string> changedConfigurationFiles(const Configuration& before,
                                                   const Configuration& after) {
  std::vector<std::string> changed;
  noteChange(kSettingsFileName, before.settings, after.settings, changed);
  noteChange(kFiltersFileName, before.filters, after.filters, changed);
  noteChange(kRulesFileName, before.rules, after.rules, changed);
  noteChange(kStationsFileName, before.stations, after.stations, changed);
  return changed;
}
