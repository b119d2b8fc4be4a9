#pragma once

#include <string>
#include <vector>

#include "config/AppSettings.h"
#include "config/CRuleArray.h"
#include "config/CStationArray.h"
#include "workers/UserPrompts.h"

struct DestinationSelection {
  std::vector<StationChoice> stations;
  // When `stations` is empty: why nothing is sent, a line for the job's log.
  std::string whyNone;
};

// The stations a finished job goes to, in the order its sends start: the standard
// destination, then every matching forward rule; the user's choice when both are off.
DestinationSelection selectDestinations(const AppSettings& settings, const CStationArray& stations,
                                        const CRuleArray& rules, const std::string& jobFolder,
                                        UserPrompts& prompts);
