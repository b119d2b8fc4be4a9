#pragma once

#include "config/AppSettings.h"
#include "config/CFilterArray.h"
#include "config/CRuleArray.h"
#include "config/CStationArray.h"

// The whole configuration as the main window holds it: defaults and empty lists
// until loaded.
struct Configuration {
  AppSettings settings;
  CFilterArray filters;
  CRuleArray rules;
  CStationArray stations;
};
