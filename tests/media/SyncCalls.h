#pragma once

#include <string>
#include <vector>

// The calls of syncfs in this test program, which stand in for the C library's: the folder
// each was made on, in order. With a failure set, each fails with that errno (0: none).
std::vector<std::string> takeSyncedFolders();
void failSyncsWith(int error);
