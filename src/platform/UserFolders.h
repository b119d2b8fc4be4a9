#pragma once

#include <string>

// The private per-user folder below which job folders go by default:
// $XDG_CACHE_HOME/kalvora/ (or ~/.cache/kalvora/), always ending in '/'.
std::string defaultTempFolder();
