#pragma once

#include "config/AppSettings.h"
#include "config/CFilterArray.h"
#include "config/CRuleArray.h"
#include "config/CStationArray.h"
#include "config/KalvoraSettings.h"

// The configuration the main window holds, edited in place by the dialogs.
struct LiveConfiguration {
  AppSettings& settings;
  CStationArray& stations;
  CRuleArray& rules;
  CFilterArray& filters;
  // The running engine's options per station (TLS); none where there is no engine.
  std::map<std::string, StationOptions>* stationOptions = nullptr;
};
