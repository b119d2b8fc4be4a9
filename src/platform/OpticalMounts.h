#pragma once

#include <string>
#include <vector>

// Mount points of the CD/DVD drives that hold a mounted medium, in mount table order;
// a medium mounted at several places is listed at its first.
std::vector<std::string> opticalMountPoints(
    const std::string& mountInfoPath = "/proc/self/mountinfo",
    const std::string& sysfsRoot = "/sys");
