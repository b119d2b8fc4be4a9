#include "jobs/DestinationSelection.h"

#include <dcmtk/dcmdata/dcfilefo.h>

#include "dicom/GuardedDicomLoad.h"
#include "jobs/JobFolders.h"

namespace {

// Adds the stations of the matching rules; returns what kept rules from sending, if
// anything did.
std::string addForwardRuleDestinations(const CStationArray& stations, const CRuleArray& rules,
                                       const std::string& jobFolder, bool sendsToStandard,
                                       const std::string& standardAeTitle,
                                       std::vector<StationChoice>& destinations) {
  const std::string firstFile = FirstFileInFolder(jobFolder);
  if (firstFile.empty()) return "the job holds no file to apply the forward rules to";
  DcmFileFormat file;
  if (loadDicomFileGuarded(file, jobFolder + "/" + firstFile) != EC_Normal)
    return "the job's first file, " + firstFile + ", could not be read to apply the forward rules";
  DcmDataset* dataset = file.getDataset();
  std::string unknownStations;
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
    else
      unknownStations += (unknownStations.empty() ? "'" : ", '") + rule.destination + "'";
  }
  if (!unknownStations.empty())
    return "a forward rule matched, but names a station that is not in the station list (" +
           unknownStations + ")";
  return "no forward rule matched the job's first file";
}

}  // namespace

DestinationSelection selectDestinations(const AppSettings& settings, const CStationArray& stations,
                                        const CRuleArray& rules, const std::string& jobFolder,
                                        UserPrompts& prompts) {
  DestinationSelection selection;
  std::vector<StationChoice>& destinations = selection.stations;
  std::string standardAeTitle;
  const bool standardChosen = stations.isValidIndex(settings.standardDestination);
  if (settings.sendToStandardDestination && standardChosen) {
    const CStation& standard = stations[settings.standardDestination];
    destinations.push_back({standard.aeTitle, standard.host, standard.port});
    standardAeTitle = standard.aeTitle;
  }
  std::string whyNoRule;
  if (settings.useForwardRules) {
    whyNoRule = addForwardRuleDestinations(stations, rules, jobFolder,
                                           settings.sendToStandardDestination != 0, standardAeTitle,
                                           destinations);
  }
  if (!settings.sendToStandardDestination && !settings.useForwardRules) {
    if (std::optional<StationChoice> chosen = prompts.chooseStationFor(stations, jobFolder))
      destinations.push_back(*chosen);
    else
      selection.whyNone = "Nothing was sent: no station was chosen for this job.\r\n";
    return selection;
  }
  if (!destinations.empty()) return selection;

  // Sent nowhere, the job would look done while it is not: say why, once.
  std::string why;
  if (settings.sendToStandardDestination)
    why =
        "sending to the standard destination is on, but no station is chosen as the "
        "standard destination";
  else
    why = "sending to the standard destination is off";
  if (settings.useForwardRules) why += ", and " + whyNoRule;
  selection.whyNone = "Nothing was sent: " + why + ".\r\n";
  return selection;
}
