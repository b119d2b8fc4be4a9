#pragma once

#include <string>

class KalvoraEngine;

// Loads the four configuration files of `workdir` into the engine as the application
// does at start-up, printing load problems on stderr. Writes nothing.
void loadCliConfiguration(const std::string& workdir, KalvoraEngine& engine);
