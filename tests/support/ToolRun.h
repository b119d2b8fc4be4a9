#pragma once

#include <string>
#include <vector>

// Runs a command-line tool found on the PATH (DCMTK's, OpenJPEG's) with its output discarded.
// Throws when it cannot be started or exits with a non-zero status.
void runTool(const std::vector<std::string>& args);
