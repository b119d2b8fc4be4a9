#pragma once

#include <string>

// The label of the file system mounted at `mountPoint` (as the disk's label list in
// /dev/disk/by-label names it), or "" when it has none or cannot be found.
std::string volumeLabelOf(const std::string& mountPoint);

// A name of /dev/disk/by-label with udev's escapes ("\x20") undone.
std::string unescapedLabel(const std::string& name);
