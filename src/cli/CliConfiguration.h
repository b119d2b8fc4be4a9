#pragma once

#include <string>

class KalvoraEngine;

// The folder given with --workdir, or (when none was given) the per-user working folder.
std::string workingFolder(const std::string& givenWorkdir);

// Loads the four configuration files of `workdir` (see workingFolder) into the engine as
// the application does at start-up, printing load problems on stderr. Writes nothing.
// False (with the reason on stderr) when a file exists but could not be read completely:
// a job must not run on defaults the user had changed, such as anonymization switched off.
bool loadCliConfiguration(const std::string& workdir, KalvoraEngine& engine);
