#pragma once

#include "config/AppSettings.h"
#include "config/CFilterArray.h"
#include "config/CRuleArray.h"
#include "config/CStationArray.h"

// The configuration the main window holds, edited in place by the dialogs.
struct LiveConfiguration {
  AppSettings& settings;
  CStationArray& stations;
  CRuleArray& rules;
  CFilterArray& filters;
};
