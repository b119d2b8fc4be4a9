#include "jobs/DestinationSelection.h"

#include <dcmtk/dcmdata/dcfilefo.h>

#include "dicom/GuardedDicomLoad.h"
#include "jobs/JobFolders.h"

namespace {

void addForwardRuleDestinations(const CStationArray& stations, const CRuleArray& rules,
                                const std::string& jobFolder, bool sendsToStandard,
                                const std::string& standardAeTitle,
                                std::vector<StationChoice>& destinations) {
  const std::string firstFile = FirstFileInFolder(jobFolder);
  if (firstFile.empty()) return;
  DcmFileFormat file;
  if (loadDicomFileGuarded(file, jobFolder + "/" + firstFile) != EC_Normal) return;
  DcmDataset* dataset = file.getDataset();
  for (const CRule& rule : rules) {
    OFString value;
    const DcmTagKey tag(static_cast<Uint16>(rule.group & 0xFFFF),
                        static_cast<Uint16>(rule.element & 0xFFFF));
    if (dataset->findAndGetOFString(tag, value, 0, OFFalse).bad()) continue;
    if (rule.compareValue != value.c_str()) continue;
    // The rule names an alias, yet it is compared with the standard station's AE title.
    if (sendsToStandard && rule.destination == standardAeTitle) continue;
    StationChoice station;
    if (stations.findStationByAlias(rule.destination, station.aeTitle, station.host, station.port))
      destinations.push_back(station);
  }
}

}  // namespace

std::vector<StationChoice> selectDestinations(const AppSettings& settings,
                                              const CStationArray& stations,
                                              const CRuleArray& rules, const std::string& jobFolder,
                                              UserPrompts& prompts) {
  std::vector<StationChoice> destinations;
  std::string standardAeTitle;
  if (settings.sendToStandardDestination && stations.isValidIndex(settings.standardDestination)) {
    const CStation& standard = stations[settings.standardDestination];
    destinations.push_back({standard.aeTitle, standard.host, standard.port});
    standardAeTitle = standard.aeTitle;
  }
  if (settings.useForwardRules) {
    addForwardRuleDestinations(stations, rules, jobFolder, settings.sendToStandardDestination != 0,
                               standardAeTitle, destinations);
  }
  if (!settings.sendToStandardDestination && !settings.useForwardRules) {
    if (std::optional<StationChoice> chosen = prompts.chooseStationFor(stations, jobFolder))
      destinations.push_back(*chosen);
  }
  return destinations;
}
