#pragma once

#include <string>
#include <vector>

#include "config/Configuration.h"

// The names of the four files (config.dat ...) whose contents differ between `before` and
// `after`, in the order they are saved: what a change of the configuration changed.
std::vector<std::string> changedConfigurationFiles(const Configuration& before,
                                                   const Configuration& after);
