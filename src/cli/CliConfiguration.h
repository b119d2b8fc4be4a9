#pragma once

#include <string>

class KalvoraEngine;

// The folder given with --workdir, or (when none was given) the per-user working folder.
std::string workingFolder(const std::string& givenWorkdir);

// Loads the four configuration files of `workdir` (see workingFolder) into the engine as
// the application does at start-up, printing load problems on stderr. Writes nothing.
void loadCliConfiguration(const std::string& workdir, KalvoraEngine& engine);
