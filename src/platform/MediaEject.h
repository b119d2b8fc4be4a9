#pragma once

#include <string>

// Unmounts and ejects the removable or optical medium mounted at `root`.
// Does nothing for a folder that is not such a mount point; every failure is ignored.
void EjectMedia(const std::string& root);
