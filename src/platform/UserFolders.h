#pragma once

#include <string>
#include <vector>

// The private per-user folder below which job folders go by default:
// $XDG_CACHE_HOME/kalvora/ (or ~/.cache/kalvora/), always ending in '/'.
std::string defaultTempFolder();

// The per-user working folder that holds the configuration files and the user's own help
// texts: $XDG_CONFIG_HOME/kalvora (or ~/.config/kalvora). Missing folders on the way are
// created private (0700); an existing folder is left as it is. A folder that cannot be
// created is still returned: reading and writing the files there report the problem.
std::string defaultWorkingFolder();

// The site's configuration folders, most important first: kalvora/ in each folder of
// $XDG_CONFIG_DIRS (default /etc/xdg). An administrator puts the four configuration files
// there as the starting point of every user who has none of their own.
std::vector<std::string> siteConfigurationFolders();

// The data folder installed with the running executable: <bin>/../share/kalvora, found
// from the executable's real location so that a relocated or unpacked tree works.
// Empty when the executable's location is unknown; the folder itself may not exist.
std::string installedDataFolder();
